# SPDX-License-Identifier: Apache-2.0
# Signing a firmware target right after it links:
#
#   ravelsign_sign_image(<target> INFO_FILE <file> [OUTPUT <hex>])
#   ravelsign_hsm_sign_image(<target> PKCS11_URI <uri> INFO_FILE <file> [OUTPUT <hex>])
#
# The target's ELF becomes a raw image (CMAKE_OBJCOPY -O binary), which is
# signed into Intel HEX (Ravelsign, or Ravelhsm sign with a key in a PKCS#11
# token) and checked as the device will check it (Ravelverify). A check that
# fails fails the build: Ravelsign reports a failed signature but exits with
# 0, so the check is what stops a broken image. The signed file is written
# under a staging name and takes its own only once the check accepts it; a
# failed build leaves none. Its path is the target property
# RAVELSIGN_SIGNED_HEX. A relative INFO_FILE is taken from the calling
# CMakeLists.txt's folder, a relative OUTPUT from its build folder (default
# <target>_SBoot.hex there).
#
# The key of examples/sample_info.txt is published: a device that trusts it
# trusts everyone. Signing with it is refused unless RAVELSIGN_ALLOW_EXAMPLE_KEY
# is set, and then it is warned about.

set(_RAVELSIGN_EXAMPLE_PRIVATE_KEY "C9AFA9D845BA75166B5C215767B1D6934E50C3DB36E89B127B8A622B120F6721")
set(_RAVELSIGN_EXAMPLE_PUBLIC_KEY_1 "60FED4BA255A9D31C961EB74C6356D68C049B8923B61FA6CE669622E60F29FB6")

# Sets info, output and stage in the caller's scope, after checking the
# arguments and the key.
macro(_ravelsign_prepare function target)
  if(NOT TARGET ${target})
    message(FATAL_ERROR "${function}(${target}): there is no target ${target}")
  endif()
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "${function}(${target}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT ARG_INFO_FILE)
    message(FATAL_ERROR "${function}(${target}): INFO_FILE is required")
  endif()
  if(NOT CMAKE_OBJCOPY)
    message(FATAL_ERROR "${function}(${target}): CMAKE_OBJCOPY is not set; the raw image is made with objcopy")
  endif()
  get_filename_component(info "${ARG_INFO_FILE}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  if(NOT EXISTS "${info}")
    message(FATAL_ERROR "${function}(${target}): information file ${info} does not exist")
  endif()
  if(NOT ARG_OUTPUT)
    set(ARG_OUTPUT "${target}_SBoot.hex")
  endif()
  get_filename_component(output "${ARG_OUTPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  set(stage "${CMAKE_CURRENT_BINARY_DIR}/ravelsign-stage/${target}")
  _ravelsign_refuse_example_key("${function}(${target})" "${info}")
  # Edits to the information file configure again, so the key is checked again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${info}")
endmacro()

function(_ravelsign_refuse_example_key where info)
  file(STRINGS "${info}" lines REGEX "^ *(PRIVATE_KEY|PUBLIC_KEY_1)[ =]")
  foreach(line IN LISTS lines)
    string(TOUPPER "${line}" line)
    if(line MATCHES "${_RAVELSIGN_EXAMPLE_PRIVATE_KEY}|${_RAVELSIGN_EXAMPLE_PUBLIC_KEY_1}")
      if(NOT RAVELSIGN_ALLOW_EXAMPLE_KEY)
        message(FATAL_ERROR "${where}: ${info} holds the published example key, which anyone can sign with: "
                            "make a key of your own with 'Ravelinfo generate', or set "
                            "RAVELSIGN_ALLOW_EXAMPLE_KEY to sign a test image with it.")
      endif()
      message(WARNING "${where}: signing with the published example key (RAVELSIGN_ALLOW_EXAMPLE_KEY is set): "
                      "a device that trusts this key trusts everyone's images.")
      return()
    endif()
  endforeach()
endfunction()

# The post-build steps around one signing command.
function(_ravelsign_add_steps target info output stage)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E rm -f "${output}"
    COMMAND ${CMAKE_COMMAND} -E rm -rf "${stage}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${stage}"
    COMMAND ${CMAKE_OBJCOPY} -O binary "$<TARGET_FILE:${target}>" "${stage}/${target}.bin"
    COMMAND ${ARGN} "${stage}/${target}.bin"
    COMMAND Ravelsign::Ravelverify "${info}" "${stage}/${target}_SBoot.hex"
    COMMAND ${CMAKE_COMMAND} -E rename "${stage}/${target}_SBoot.hex" "${output}"
    COMMENT "Signing ${target} into ${output}"
    VERBATIM)
  set_property(TARGET ${target} PROPERTY RAVELSIGN_SIGNED_HEX "${output}")
endfunction()

function(ravelsign_sign_image target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "INFO_FILE;OUTPUT" "")
  _ravelsign_prepare(ravelsign_sign_image ${target})
  _ravelsign_add_steps(${target} "${info}" "${output}" "${stage}" Ravelsign::Ravelsign "${info}")
endfunction()

function(ravelsign_hsm_sign_image target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "PKCS11_URI;INFO_FILE;OUTPUT" "")
  _ravelsign_prepare(ravelsign_hsm_sign_image ${target})
  if(NOT ARG_PKCS11_URI)
    message(FATAL_ERROR "ravelsign_hsm_sign_image(${target}): PKCS11_URI is required")
  endif()
  string(TOLOWER "${ARG_PKCS11_URI}" uri)
  # The PIN never goes on a command line (the process list) nor into the cache.
  if(uri MATCHES "pin-value=")
    message(FATAL_ERROR "ravelsign_hsm_sign_image(${target}): no pin-value in the URI: give the PIN as "
                        "RAVELHSM_PIN in the build's environment, or as pin-source=<file> in the URI.")
  endif()
  if(NOT uri MATCHES "pin-source=" AND NOT DEFINED ENV{RAVELHSM_PIN})
    message(WARNING "ravelsign_hsm_sign_image(${target}): the token's PIN must come from RAVELHSM_PIN in the "
                    "build's environment or from pin-source=<file> in the URI; neither is there now.")
  endif()
  # A URI's ';' is no list separator.
  string(REPLACE ";" "$<SEMICOLON>" uri "${ARG_PKCS11_URI}")
  _ravelsign_add_steps(${target} "${info}" "${output}" "${stage}" Ravelsign::Ravelhsm sign "${uri}" "${info}")
endfunction()
