# SPDX-License-Identifier: Apache-2.0
# The contents of a signing step's inputs, for a build tool that only
# compares times. Run on every build as
#   cmake -D RAVELSIGN_STAMP=<file> -P RavelsignInputsStamp.cmake -- <input>...
# it writes the SHA-256 of each input into the stamp file, and touches that
# file only when one of them changed. The signing and key export steps depend
# on the stamp, so that a key file moved or copied in with an older time (mv,
# cp -p, rsync -t, tar, a restored backup) still re-signs and re-exports:
# Make and Ninja would keep the image signed with the old key.
cmake_minimum_required(VERSION 3.25)

set(sums "")
set(listed FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(at RANGE ${last})
  set(argument "${CMAKE_ARGV${at}}")
  if(listed)
    if(EXISTS "${argument}")
      file(SHA256 "${argument}" sum)
    else()
      set(sum "missing")
    endif()
    string(APPEND sums "${sum}  ${argument}\n")
  elseif(argument STREQUAL "--")
    set(listed TRUE)
  endif()
endforeach()

set(before "")
if(EXISTS "${RAVELSIGN_STAMP}")
  file(READ "${RAVELSIGN_STAMP}" before)
endif()
if(NOT before STREQUAL sums)
  file(WRITE "${RAVELSIGN_STAMP}" "${sums}")
endif()
