# SPDX-License-Identifier: Apache-2.0
# Reproducible builds: one commit built on one Debian release gives the same
# executables and the same Debian package, byte for byte, whatever the build
# folder, the clone's path, the time of day, the umask or the locale. A team
# can then rebuild a released signing tool and compare it before trusting it
# (scripts/check-reproducible.sh).

# The build's time is the last commit's, so that nothing records the hour of
# the build. A build from a tree without git (a source archive) takes the
# date of the newest package changelog entry instead, as Debian's own tools
# do. A SOURCE_DATE_EPOCH given by the caller wins.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(RAVEL_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  find_package(Git QUIET)
  if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
                    OUTPUT_VARIABLE RAVEL_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(NOT RAVEL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in _ravel_entry_dates REGEX "^ -- .*  ")
    list(GET _ravel_entry_dates 0 _ravel_newest_entry)
    string(REGEX REPLACE "^ -- .*  " "" _ravel_newest_date "${_ravel_newest_entry}")
    execute_process(COMMAND date -u -d "${_ravel_newest_date}" +%s
                    OUTPUT_VARIABLE RAVEL_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
endif()
if(NOT RAVEL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "No build time: set SOURCE_DATE_EPOCH to the release's time in seconds since 1970")
endif()
message(STATUS "Build time (SOURCE_DATE_EPOCH): ${RAVEL_SOURCE_DATE_EPOCH}")

# Debug information and __FILE__ name the source folder "." and the build
# folder "build", wherever they are. The build folder is mapped last: gcc
# tries the last map first, and the build folder may lie inside the source.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
# The compiler's clock must not reach the code either.
add_compile_options(-Wdate-time)

# Installed folders do not follow the umask of whoever installs or packages.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
