# SPDX-License-Identifier: Apache-2.0
# The signing step checks the image with the information file's addresses;
# this board's first stage has its own built in (CODE_EXE_ADDR, INFO_ADDR in
# CMakeLists.txt). An information file with other ones would give a build
# that passes and an image the board refuses. This step asks Ravelverify
# (--json) where the signed image says its INFO block lies and where it runs,
# and fails the build unless that is where the first stage looks. Run as
#   cmake -D VERIFIER=<Ravelverify> -D INFO_FILE=<file> -D SIGNED_HEX=<hex> -D CODE_EXE_ADDR=<address>
#         -D INFO_ADDR=<address> -D STAMP=<file> -P check-device-addresses.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND "${VERIFIER}" --json "${INFO_FILE}" "${SIGNED_HEX}" OUTPUT_VARIABLE json)
# Check 1 reads the header's INFO address, check 2 the INFO block's execution address.
string(JSON info_addr ERROR_VARIABLE missing GET "${json}" checks 0 info_addr)
string(JSON code_exe_addr ERROR_VARIABLE missing GET "${json}" checks 1 code_exe_addr)
foreach(name IN ITEMS INFO_ADDR CODE_EXE_ADDR)
  string(TOLOWER "${name}" signed)
  set(signed "${${signed}}")
  math(EXPR wanted "${${name}}" OUTPUT_FORMAT HEXADECIMAL)
  if(NOT signed MATCHES "^0x[0-9A-Fa-f]+$")
    message(FATAL_ERROR "${SIGNED_HEX}: Ravelverify gives no ${name} for it")
  endif()
  math(EXPR signed "${signed}" OUTPUT_FORMAT HEXADECIMAL)
  if(NOT signed STREQUAL wanted)
    message(FATAL_ERROR "${SIGNED_HEX} is signed for ${name} ${signed} (from ${INFO_FILE}), but this board's "
                        "first stage looks at ${wanted}: make the information file's ${name} line say ${wanted}.")
  endif()
endforeach()
file(TOUCH "${STAMP}")
