# SPDX-License-Identifier: Apache-2.0
# Run by cpack after it has made the Debian package (CPACK_POST_BUILD_SCRIPTS).
# cpack gives the package's three ar members (debian-binary, control.tar.*,
# data.tar.*) the mode its own temporary files had, so the builder's umask
# reached the package's bytes. Every member here gets mode 100644, as
# dpkg-deb writes it; the tar archives inside already carry fixed modes.
set(_ar_magic_size 8)        # "!<arch>\n"
set(_ar_header_size 60)      # one member's header
set(_ar_mode_offset 40)      # octal mode, 8 characters
set(_ar_size_offset 48)      # decimal size, 10 characters
set(_ar_member_mode "100644  ")

foreach(_package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT _package MATCHES "\\.deb$")
    continue()
  endif()
  file(SIZE "${_package}" _package_size)
  file(WRITE "${_package}.mode" "${_ar_member_mode}")
  set(_offset ${_ar_magic_size})
  while(_offset LESS _package_size)
    math(EXPR _size_at "${_offset} + ${_ar_size_offset}")
    file(READ "${_package}" _member_size OFFSET ${_size_at} LIMIT 10)
    string(STRIP "${_member_size}" _member_size)
    if(NOT _member_size MATCHES "^[0-9]+$")
      message(FATAL_ERROR "${_package}: no ar member header at byte ${_offset}")
    endif()
    math(EXPR _mode_at "${_offset} + ${_ar_mode_offset}")
    execute_process(COMMAND dd "of=${_package}" bs=1 seek=${_mode_at} count=8 conv=notrunc status=none
                    INPUT_FILE "${_package}.mode" RESULT_VARIABLE _written)
    if(NOT _written EQUAL 0)
      message(FATAL_ERROR "${_package}: cannot set the mode of the ar member at byte ${_offset}")
    endif()
    # Members start on even offsets.
    math(EXPR _offset "${_offset} + ${_ar_header_size} + ${_member_size} + (${_member_size} % 2)")
  endwhile()
  file(REMOVE "${_package}.mode")
endforeach()
