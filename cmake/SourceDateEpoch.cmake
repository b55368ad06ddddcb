# SPDX-License-Identifier: Apache-2.0
# Sets RAVEL_SOURCE_DATE_EPOCH, the build's time, for the source tree at
# RAVEL_SOURCE_DIR: SOURCE_DATE_EPOCH from the environment when given, else
# the last commit's time, else (a tree without git, such as a source archive)
# the date of the newest package changelog entry, as Debian's own tools take
# it. Read when CMake configures, and again by cpack when it packages, so a
# package made after a new commit in an old build folder takes that commit's
# time.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(RAVEL_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  set(RAVEL_SOURCE_DATE_EPOCH "")
  find_program(RAVEL_GIT git)
  if(RAVEL_GIT AND EXISTS "${RAVEL_SOURCE_DIR}/.git")
    execute_process(COMMAND "${RAVEL_GIT}" -C "${RAVEL_SOURCE_DIR}" log -1 --format=%ct
                    OUTPUT_VARIABLE RAVEL_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(NOT RAVEL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    file(STRINGS "${RAVEL_SOURCE_DIR}/cmake/debian/changelog.in" _ravel_entry_dates REGEX "^ -- .*  ")
    list(GET _ravel_entry_dates 0 _ravel_newest_entry)
    string(REGEX REPLACE "^ -- .*  " "" _ravel_newest_date "${_ravel_newest_entry}")
    execute_process(COMMAND date -u -d "${_ravel_newest_date}" +%s
                    OUTPUT_VARIABLE RAVEL_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
endif()
if(NOT RAVEL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "No build time: set SOURCE_DATE_EPOCH to the release's time in seconds since 1970")
endif()
