# SPDX-License-Identifier: Apache-2.0
# Signing a firmware target as part of its build:
#
#   ravelsign_sign_image(<target> INFO_FILE <file> [OUTPUT <hex>])
#   ravelsign_hsm_sign_image(<target> PKCS11_URI <uri> INFO_FILE <file> [OUTPUT <hex>])
#   ravelsign_export_key(<info file> <header>)
#
# The signed file is a build output of its own, made by the target
# <target>_signed, which is built by default: the target's ELF becomes a raw
# image (CMAKE_OBJCOPY -O binary), which is signed into Intel HEX (Ravelsign,
# or Ravelhsm sign with a key in a PKCS#11 token) and checked as the device
# will check it (Ravelverify). It is made again whenever the ELF, the
# information file or a tool changes, or when it is missing; the information
# file and the tools are compared by content (a small step that runs on every
# build), so a key moved in with an older time re-signs too. A check that
# fails fails the build: Ravelsign reports a failed signature but exits with
# 0, so the check is what stops a broken image. The file is made in a folder
# beside the output (<hex>.unverified) and renamed to its own name only once
# the check accepts it; a failed build leaves neither. The lines of the
# signer's console that echo the private key or the nonce are withheld from
# the build log. An information file that fixes the nonce (RANDOM_K) fails
# the build: two images signed with one nonce give the private key.
#
# The output's path is the target property RAVELSIGN_SIGNED_HEX. A relative
# INFO_FILE is taken from the calling CMakeLists.txt's folder, a relative
# OUTPUT from its build folder; the default is <target>_SBoot.hex there, and
# $<CONFIG>/<target>_SBoot.hex with a multi-config generator, where an
# OUTPUT must name $<CONFIG> too, so that configurations built at once do
# not share a file.
#
# ravelsign_export_key() makes a C header with the information file's
# public key as a device stores it (Ravelinfo export --format c), for a
# first stage's sources; it is made again when the information file or
# Ravelinfo changes, by content as above. List the header among the first
# stage's sources.
#
# The key of examples/sample_info.txt is published: a device that trusts it
# trusts everyone. Signing or exporting it is refused unless
# RAVELSIGN_ALLOW_EXAMPLE_KEY is set, and then it is warned about, both when
# configuring and in each build step (RavelsignExampleKey.cmake).

include("${CMAKE_CURRENT_LIST_DIR}/RavelsignExampleKey.cmake")
set(_RAVELSIGN_EXAMPLE_KEY "${CMAKE_CURRENT_LIST_DIR}/RavelsignExampleKey.cmake")
set(_RAVELSIGN_SIGN_STEP "${CMAKE_CURRENT_LIST_DIR}/RavelsignSignStep.cmake")
set(_RAVELSIGN_INPUTS_STAMP "${CMAKE_CURRENT_LIST_DIR}/RavelsignInputsStamp.cmake")

# A target, run on every build, that keeps a stamp of the contents of the
# files after `name`, touched only when one changed; its path into `result`.
# Make and Ninja compare times alone: a key moved in with an older time
# would otherwise keep the image signed, and the first stage built, with the
# old key.
function(_ravelsign_inputs_stamp name result)
  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/${name}.inputs")
  get_property(multi GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
  if(multi)
    set(stamp "${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/$<CONFIG>/${name}.inputs")
  endif()
  add_custom_target(${name}
    COMMAND "${CMAKE_COMMAND}" "-DRAVELSIGN_STAMP=${stamp}" -P "${_RAVELSIGN_INPUTS_STAMP}" -- ${ARGN}
    BYPRODUCTS "${stamp}"
    COMMENT "Looking for changed contents in ${ARGV2} and the tools"
    VERBATIM)
  set(${result} "${stamp}" PARENT_SCOPE)
endfunction()

# The paths a path with $<CONFIG> in it stands for, one per configuration.
function(_ravelsign_config_paths path result)
  get_property(multi GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
  if(multi)
    set(configs ${CMAKE_CONFIGURATION_TYPES})
  else()
    set(configs "=${CMAKE_BUILD_TYPE}")  # one entry, even for no build type
  endif()
  set(paths "")
  foreach(config IN LISTS configs)
    string(REGEX REPLACE "^=" "" config "${config}")
    string(REPLACE "$<CONFIG>" "${config}" one "${path}")
    file(REAL_PATH "${one}" one)
    list(APPEND paths "${one}")
  endforeach()
  set(${result} "${paths}" PARENT_SCOPE)
endfunction()

# Refuses an output that resolves to an input: the signing step removes the
# output first, and a clean removes every output, so either would delete
# that input, maybe the only copy of a key.
function(_ravelsign_refuse_output_over where output input what)
  _ravelsign_config_paths("${output}" outputs)
  _ravelsign_config_paths("${input}" inputs)
  foreach(one IN LISTS outputs)
    if(one IN_LIST inputs)
      message(FATAL_ERROR "${where}: the output ${output} is the ${what} ${input}, which a build or a clean "
                          "would delete: give the output a file of its own.")
    endif()
  endforeach()
endfunction()

# The target's file is known once its folder's CMakeLists.txt is read whole.
function(_ravelsign_refuse_output_over_target where target output)
  get_target_property(folder ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT folder)
    get_target_property(folder ${target} BINARY_DIR)
    get_property(multi GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
    if(multi)
      string(APPEND folder "/$<CONFIG>")
    endif()
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  get_target_property(suffix ${target} SUFFIX)
  if(NOT suffix)
    set(suffix "${CMAKE_EXECUTABLE_SUFFIX}")
  endif()
  _ravelsign_refuse_output_over("${where}" "${output}" "${folder}/${name}${suffix}" "file of target ${target},")
endfunction()

# Sets info and output in the caller's scope, after checking the arguments and the key.
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
  get_property(_ravelsign_multi GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
  if(NOT ARG_OUTPUT)
    set(ARG_OUTPUT "${target}_SBoot.hex")
    if(_ravelsign_multi)
      set(ARG_OUTPUT "$<CONFIG>/${target}_SBoot.hex")
    endif()
  elseif(_ravelsign_multi AND NOT ARG_OUTPUT MATCHES "\\$<CONFIG>")
    message(FATAL_ERROR "${function}(${target}): OUTPUT ${ARG_OUTPUT} must name $<CONFIG>: with a multi-config "
                        "generator every configuration signs a file of its own.")
  endif()
  get_filename_component(output "${ARG_OUTPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  _ravelsign_refuse_output_over("${function}(${target})" "${output}" "${info}" "information file")
  cmake_language(EVAL CODE "cmake_language(DEFER CALL _ravelsign_refuse_output_over_target
                            [[${function}(${target})]] [[${target}]] [[${output}]])")
  _ravelsign_check_example_key("${function}(${target})" "${info}")
  # Edits to the information file configure again, so the key is checked again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${info}")
endmacro()

# The published-key check when configuring; the build steps check again.
function(_ravelsign_check_example_key where info)
  get_target_property(ravelinfo Ravelsign::Ravelinfo IMPORTED_LOCATION)
  file(MAKE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles")
  _ravelsign_refuse_example_key("${where}" "${ravelinfo}" "${info}"
                                "${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/ravelsign-key-check.pem"
                                "${RAVELSIGN_ALLOW_EXAMPLE_KEY}" refusal)
  if(refusal)
    message(FATAL_ERROR "${refusal}")
  endif()
endfunction()

# The build step that makes the signed file, and the target that builds it by default.
function(_ravelsign_add_step target info output signer)
  _ravelsign_inputs_stamp(${target}_signing_inputs stamp "${info}" "$<TARGET_FILE:${signer}>"
                          "$<TARGET_FILE:Ravelsign::Ravelverify>" "$<TARGET_FILE:Ravelsign::Ravelinfo>")
  add_custom_command(OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" "-DRAVELSIGN_TARGET_FILE=$<TARGET_FILE:${target}>"
            "-DRAVELSIGN_OBJCOPY=${CMAKE_OBJCOPY}" "-DRAVELSIGN_SIGNER=$<TARGET_FILE:${signer}>"
            "-DRAVELSIGN_VERIFIER=$<TARGET_FILE:Ravelsign::Ravelverify>" "-DRAVELSIGN_INFO_FILE=${info}"
            "-DRAVELSIGN_OUTPUT=${output}" "-DRAVELSIGN_INFO_TOOL=$<TARGET_FILE:Ravelsign::Ravelinfo>"
            "-DRAVELSIGN_ALLOW_EXAMPLE_KEY=${RAVELSIGN_ALLOW_EXAMPLE_KEY}" "-DRAVELSIGN_WHERE=${target}_signed"
            ${ARGN} -P "${_RAVELSIGN_SIGN_STEP}"
    DEPENDS ${target} "$<TARGET_FILE:${target}>" "${info}" "$<TARGET_FILE:${signer}>"
            "$<TARGET_FILE:Ravelsign::Ravelverify>" "$<TARGET_FILE:Ravelsign::Ravelinfo>"
            "${_RAVELSIGN_SIGN_STEP}" "${_RAVELSIGN_EXAMPLE_KEY}" "${stamp}"
    COMMENT "Signing ${target} into ${output}"
    VERBATIM)
  add_custom_target(${target}_signed ALL DEPENDS "${output}")
  set_property(TARGET ${target} PROPERTY RAVELSIGN_SIGNED_HEX "${output}")
endfunction()

function(ravelsign_sign_image target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "INFO_FILE;OUTPUT" "")
  _ravelsign_prepare(ravelsign_sign_image ${target})
  _ravelsign_add_step(${target} "${info}" "${output}" Ravelsign::Ravelsign)
endfunction()

# The URI as p11-kit reads it, for the refusal of a PIN in it: without
# whitespace, which p11-kit drops, percent-decoded until nothing changes
# (an encoded '%' must not hide an encoded name), lower case.
function(_ravelsign_uri_as_read uri result)
  string(ASCII 11 12 vertical)  # vertical tab and form feed
  set(space "[ \t\r\n${vertical}]")
  string(REGEX REPLACE "${space}" "" uri "${uri}")
  while(uri MATCHES "%([0-9A-Fa-f][0-9A-Fa-f])")
    math(EXPR code "0x${CMAKE_MATCH_1}")
    if(code EQUAL 0 OR code GREATER 126)
      set(char "?")
    else()
      string(ASCII ${code} char)
    endif()
    string(REPLACE "%${CMAKE_MATCH_1}" "${char}" uri "${uri}")
    string(REGEX REPLACE "${space}" "" uri "${uri}")
  endwhile()
  string(TOLOWER "${uri}" uri)
  set(${result} "${uri}" PARENT_SCOPE)
endfunction()

function(ravelsign_hsm_sign_image target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "PKCS11_URI;INFO_FILE;OUTPUT" "")
  if(NOT ARG_PKCS11_URI)
    message(FATAL_ERROR "ravelsign_hsm_sign_image(${target}): PKCS11_URI is required")
  endif()
  _ravelsign_uri_as_read("${ARG_PKCS11_URI}" uri)
  # The PIN never goes on a command line (the process list), into the
  # generated build files nor into the cache; nor does this message show it.
  if(uri MATCHES "pin-value")
    # A URI given with -D sits in the cache, which is saved even now: a
    # cache entry that holds it is dropped, or the PIN would stay there.
    get_property(cached DIRECTORY PROPERTY CACHE_VARIABLES)
    foreach(name IN LISTS cached)
      get_property(value CACHE "${name}" PROPERTY VALUE)
      string(FIND "${value}" "${ARG_PKCS11_URI}" at)
      if(NOT at EQUAL -1)
        unset("${name}" CACHE)
      endif()
    endforeach()
    message(FATAL_ERROR "ravelsign_hsm_sign_image(${target}): no pin-value in the URI: give the PIN as "
                        "RAVELHSM_PIN in the build's environment, or as pin-source=<file> in the URI.")
  endif()
  _ravelsign_prepare(ravelsign_hsm_sign_image ${target})
  if(NOT uri MATCHES "pin-source=" AND NOT DEFINED ENV{RAVELHSM_PIN})
    message(WARNING "ravelsign_hsm_sign_image(${target}): the token's PIN must come from RAVELHSM_PIN in the "
                    "build's environment or from pin-source=<file> in the URI; neither is there now.")
  endif()
  # A URI's ';' is no list separator.
  string(REPLACE ";" "$<SEMICOLON>" uri "${ARG_PKCS11_URI}")
  _ravelsign_add_step(${target} "${info}" "${output}" Ravelsign::Ravelhsm "-DRAVELSIGN_URI=${uri}")
endfunction()

function(ravelsign_export_key info header)
  get_filename_component(info "${info}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_filename_component(header "${header}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  if(NOT EXISTS "${info}")
    message(FATAL_ERROR "ravelsign_export_key(${info}): the information file does not exist")
  endif()
  _ravelsign_refuse_output_over("ravelsign_export_key(${info})" "${header}" "${info}" "information file")
  # A device that trusts the published key trusts everyone.
  _ravelsign_check_example_key("ravelsign_export_key(${info})" "${info}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${info}")
  string(SHA256 name "${header}")
  string(SUBSTRING "${name}" 0 12 name)
  _ravelsign_inputs_stamp(ravelsign_key_inputs_${name} stamp "${info}" "$<TARGET_FILE:Ravelsign::Ravelinfo>")
  add_custom_command(OUTPUT "${header}"
    COMMAND "${CMAKE_COMMAND}" "-DRAVELSIGN_WHERE=ravelsign_export_key(${info})"
            "-DRAVELSIGN_INFO_TOOL=$<TARGET_FILE:Ravelsign::Ravelinfo>" "-DRAVELSIGN_INFO_FILE=${info}"
            "-DRAVELSIGN_SCRATCH=${header}.key-check.pem" "-DRAVELSIGN_ALLOW_EXAMPLE_KEY=${RAVELSIGN_ALLOW_EXAMPLE_KEY}"
            -P "${_RAVELSIGN_EXAMPLE_KEY}"
    COMMAND Ravelsign::Ravelinfo export --format c "${info}" "${header}"
    DEPENDS "${info}" "$<TARGET_FILE:Ravelsign::Ravelinfo>" "${_RAVELSIGN_EXAMPLE_KEY}" "${stamp}"
    COMMENT "Exporting the public key of ${info} into ${header}"
    VERBATIM)
endfunction()
