# SPDX-License-Identifier: Apache-2.0
# The key of examples/sample_info.txt is published: a device that trusts it
# trusts everyone. Signing or exporting it is refused unless
# RAVELSIGN_ALLOW_EXAMPLE_KEY is set, and then warned about: when CMake
# configures (RavelsignFunctions.cmake), and again in each build step that
# reads the information file, since a key moved in with an older time
# configures nothing again. The key export step runs it as
#   cmake -D RAVELSIGN_WHERE=<caller> -D RAVELSIGN_INFO_TOOL=<Ravelinfo> -D RAVELSIGN_INFO_FILE=<file>
#         -D RAVELSIGN_SCRATCH=<file> -D RAVELSIGN_ALLOW_EXAMPLE_KEY=<bool> -P RavelsignExampleKey.cmake

# The published key as Ravelinfo prints it.
set(_RAVELSIGN_EXAMPLE_PUBLIC_KEY
    "PUBLIC_KEY_1 = 60FED4BA255A9D31C961EB74C6356D68C049B8923B61FA6CE669622E60F29FB6\n"
    "PUBLIC_KEY_2 = 7903FE1008B8BC99A41AE9E95628BC64F2F1B20C2D7E9F5177A3C294D4462299\n")
string(CONCAT _RAVELSIGN_EXAMPLE_PUBLIC_KEY ${_RAVELSIGN_EXAMPLE_PUBLIC_KEY})

# Asks Ravelinfo which public key `info` holds, as every tool reads it, and
# compares that with the published one. Ravelinfo writes the key to
# `scratch`, which is removed. Sets `refusal` to why the file is refused, or
# to "" (warned about when `allowed`).
function(_ravelsign_refuse_example_key where ravelinfo info scratch allowed refusal)
  set(${refusal} "" PARENT_SCOPE)
  execute_process(COMMAND "${ravelinfo}" export "${info}" "${scratch}" RESULT_VARIABLE status
                  OUTPUT_VARIABLE key ERROR_VARIABLE key)
  file(REMOVE "${scratch}")
  if(NOT status EQUAL 0)
    # Without a public key no image passes the build's check; say so when
    # configuring. A build step's own check then says why.
    if(NOT CMAKE_SCRIPT_MODE_FILE)
      message(WARNING "${where}: Ravelinfo export finds no usable public key in ${info}, so the build's check "
                      "will refuse every image:\n${key}")
    endif()
    return()
  endif()
  string(FIND "${key}" "${_RAVELSIGN_EXAMPLE_PUBLIC_KEY}" published)
  if(published EQUAL -1)
    return()
  endif()
  if(NOT allowed)
    string(CONCAT why "${where}: ${info} holds the published example key, which anyone can sign with: "
                      "make a key of your own with 'Ravelinfo generate', or set "
                      "RAVELSIGN_ALLOW_EXAMPLE_KEY to sign a test image with it.")
    set(${refusal} "${why}" PARENT_SCOPE)
    return()
  endif()
  message(WARNING "${where}: signing with the published example key (RAVELSIGN_ALLOW_EXAMPLE_KEY is set): "
                  "a device that trusts this key trusts everyone's images.")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  cmake_minimum_required(VERSION 3.25)
  _ravelsign_refuse_example_key("${RAVELSIGN_WHERE}" "${RAVELSIGN_INFO_TOOL}" "${RAVELSIGN_INFO_FILE}"
                                "${RAVELSIGN_SCRATCH}" "${RAVELSIGN_ALLOW_EXAMPLE_KEY}" refusal)
  if(refusal)
    message(FATAL_ERROR "${refusal}")
  endif()
endif()
