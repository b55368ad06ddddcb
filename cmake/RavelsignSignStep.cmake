# SPDX-License-Identifier: Apache-2.0
# One signing step of ravelsign_sign_image() and ravelsign_hsm_sign_image(),
# run by the build as
#   cmake -D RAVELSIGN_<NAME>=<value>... -P RavelsignSignStep.cmake
# with RAVELSIGN_TARGET_FILE (the ELF), RAVELSIGN_OBJCOPY, RAVELSIGN_SIGNER
# (Ravelsign, or Ravelhsm with RAVELSIGN_URI), RAVELSIGN_VERIFIER
# (Ravelverify), RAVELSIGN_INFO_FILE, RAVELSIGN_OUTPUT, and for the
# published-key check RAVELSIGN_INFO_TOOL (Ravelinfo), RAVELSIGN_WHERE and
# RAVELSIGN_ALLOW_EXAMPLE_KEY.
#
# The raw image is signed and checked as the device will check it in a
# folder beside the output, named so that nothing in it passes for a signed
# image, and only a file the check accepts is renamed to the output: one
# rename in one file system. A failed step removes that folder and the
# output, shows the tools' whole console and fails with the tool's status.
#
# The build log is kept by CI and shown to everyone who can read the build.
# The signer echoes the private key and the nonce, and the nonce, one
# signature and the digest give the private key: those lines are withheld
# from the log, every other line is shown as the tool printed it.
cmake_minimum_required(VERSION 3.25)

# An output that is a symbolic link is written where the link points, as a
# program writing to that name would (a link into a deploy folder, say):
# renaming over the link would leave its target holding the old image.
foreach(hop RANGE 40)
  if(NOT IS_SYMLINK "${RAVELSIGN_OUTPUT}")
    break()
  endif()
  file(READ_SYMLINK "${RAVELSIGN_OUTPUT}" target)
  if(NOT IS_ABSOLUTE "${target}")
    get_filename_component(folder "${RAVELSIGN_OUTPUT}" DIRECTORY)
    set(target "${folder}/${target}")
  endif()
  set(RAVELSIGN_OUTPUT "${target}")
endforeach()
set(stage "${RAVELSIGN_OUTPUT}.unverified")
set(withheld "[withheld from the build log]")
# The console lines that echo a secret.
set(secret_lines "^(PRIVATE_KEY: |RANDOM K: |random_k_hex: )")

# The console of one tool, without the lines that echo a secret.
function(ravelsign_show console)
  set(shown "")
  while(NOT console STREQUAL "")
    string(FIND "${console}" "\n" end)
    if(end EQUAL -1)
      set(line "${console}")
      set(console "")
    else()
      string(SUBSTRING "${console}" 0 ${end} line)
      math(EXPR end "${end} + 1")
      string(SUBSTRING "${console}" ${end} -1 console)
    endif()
    if(line MATCHES "${secret_lines}")
      set(line "${CMAKE_MATCH_1}${withheld}")
    endif()
    string(APPEND shown "${line}\n")
  endwhile()
  string(REGEX REPLACE "\n$" "" shown "${shown}")
  if(NOT shown STREQUAL "")
    message("${shown}")
  endif()
endfunction()

function(ravelsign_fail status why)
  file(REMOVE_RECURSE "${stage}")
  file(REMOVE "${RAVELSIGN_OUTPUT}")
  message("${why}: no signed image was written.")
  # Before 3.29 a script can end only with status 1.
  if(CMAKE_VERSION VERSION_GREATER_EQUAL 3.29)
    cmake_language(EXIT ${status})
  endif()
  message(FATAL_ERROR "${why} (status ${status})")
endfunction()

# After one tool ran: its console goes to the log, and a failure ends the step.
function(ravelsign_ran what status console)
  ravelsign_show("${console}")
  if(NOT status STREQUAL "0")
    if(NOT status MATCHES "^[0-9]+$")
      message("${status}")  # the tool did not run at all
      set(status 1)
    endif()
    ravelsign_fail(${status} "${what} failed")
  endif()
endfunction()

# A resolved path equal to an input's would delete that input first.
file(REAL_PATH "${RAVELSIGN_OUTPUT}" output)
foreach(input IN ITEMS "${RAVELSIGN_INFO_FILE}" "${RAVELSIGN_TARGET_FILE}")
  file(REAL_PATH "${input}" input_path)
  if(input_path STREQUAL output)
    message(FATAL_ERROR "The signed image ${RAVELSIGN_OUTPUT} would replace its input ${input}")
  endif()
endforeach()

file(REMOVE "${RAVELSIGN_OUTPUT}")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}")
# The published key, checked again here: a key moved in with an older time
# configures nothing again.
include("${CMAKE_CURRENT_LIST_DIR}/RavelsignExampleKey.cmake")
_ravelsign_refuse_example_key("${RAVELSIGN_WHERE}" "${RAVELSIGN_INFO_TOOL}" "${RAVELSIGN_INFO_FILE}"
                              "${stage}/key-check.pem" "${RAVELSIGN_ALLOW_EXAMPLE_KEY}" refusal)
if(refusal)
  ravelsign_fail(1 "${refusal}")
endif()
# Ravelsign names its output after the raw image: unverified_SBoot.hex.
set(raw "${stage}/unverified.bin")
execute_process(COMMAND "${RAVELSIGN_OBJCOPY}" -O binary "${RAVELSIGN_TARGET_FILE}" "${raw}"
                RESULT_VARIABLE status OUTPUT_VARIABLE console ERROR_VARIABLE console)
ravelsign_ran("objcopy" "${status}" "${console}")
# A URI's ';' stays inside its one quoted argument. Ravelhsm asks a terminal
# for a PIN it has no other way to get, but its prompt would go into
# `console`, unseen, and the build would wait for ever: it gets no terminal
# and says what is missing.
set(no_terminal /dev/null)
if(CMAKE_HOST_WIN32)
  set(no_terminal NUL)
endif()
if(DEFINED RAVELSIGN_URI)
  execute_process(COMMAND "${RAVELSIGN_SIGNER}" sign "${RAVELSIGN_URI}" "${RAVELSIGN_INFO_FILE}" "${raw}"
                  INPUT_FILE "${no_terminal}" RESULT_VARIABLE status OUTPUT_VARIABLE console ERROR_VARIABLE console)
else()
  execute_process(COMMAND "${RAVELSIGN_SIGNER}" "${RAVELSIGN_INFO_FILE}" "${raw}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE console ERROR_VARIABLE console)
endif()
get_filename_component(signer "${RAVELSIGN_SIGNER}" NAME_WE)
# A RANDOM_K line fixes the nonce, so every image this build signs shares
# one: two of its signatures give the private key. The signer echoes the
# line as it read it (an empty one leaves the nonce random). Such a run
# fails, and its signature is withheld too: two failed builds' logs, with
# r, s and the digest, would give the key as surely.
if(console MATCHES "(^|\n)RANDOM K: \\[[^]]")
  set(secret_lines "^(PRIVATE_KEY: |RANDOM K: |random_k_hex: |r = |s = )")
  ravelsign_show("${console}")
  string(CONCAT why "${RAVELSIGN_INFO_FILE} fixes the nonce with RANDOM_K, and two images signed with one "
                    "nonce give the private key: remove the RANDOM_K line")
  ravelsign_fail(1 "${why}")
endif()
ravelsign_ran("${signer}" "${status}" "${console}")
execute_process(COMMAND "${RAVELSIGN_VERIFIER}" "${RAVELSIGN_INFO_FILE}" "${stage}/unverified_SBoot.hex"
                RESULT_VARIABLE status OUTPUT_VARIABLE console ERROR_VARIABLE console)
ravelsign_ran("Ravelverify, the device's checks," "${status}" "${console}")
file(RENAME "${stage}/unverified_SBoot.hex" "${RAVELSIGN_OUTPUT}")
file(REMOVE_RECURSE "${stage}")
