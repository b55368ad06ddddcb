# SPDX-License-Identifier: Apache-2.0
# nlohmann/json (Debian's nlohmann-json3-dev), header-only, for Ravelverify
# --json. Being header-only, the build machine's copy serves every target,
# the Windows cross build included: the target ravel_nlohmann_json puts on
# the include path a folder that holds only a link to nlohmann/, never the
# whole of /usr/include, whose C library headers would shadow mingw's.
# RAVEL_NLOHMANN_JSON_DIR names another copy (the folder holding nlohmann/).
find_path(RAVEL_NLOHMANN_JSON_DIR NAMES nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH
  DOC "folder holding nlohmann/json.hpp")
if(NOT RAVEL_NLOHMANN_JSON_DIR)
  message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev (scripts/install-deps.sh)")
endif()
file(STRINGS "${RAVEL_NLOHMANN_JSON_DIR}/nlohmann/detail/abi_macros.hpp" _nlohmann_json_major
     REGEX "^#define NLOHMANN_JSON_VERSION_MAJOR [0-9]+")
if(NOT _nlohmann_json_major MATCHES "MAJOR 3( |$)")
  message(FATAL_ERROR "nlohmann/json 3.x is needed; ${RAVEL_NLOHMANN_JSON_DIR} has ${_nlohmann_json_major}")
endif()
set(_nlohmann_json_root ${PROJECT_BINARY_DIR}/include/nlohmann_json)
file(MAKE_DIRECTORY ${_nlohmann_json_root})
file(CREATE_LINK ${RAVEL_NLOHMANN_JSON_DIR}/nlohmann ${_nlohmann_json_root}/nlohmann SYMBOLIC)
add_library(ravel_nlohmann_json INTERFACE)
target_include_directories(ravel_nlohmann_json SYSTEM INTERFACE ${_nlohmann_json_root})
# The tools throw no exceptions: a failure inside the library aborts rather
# than unwinding (the output's text is made valid UTF-8 so that dump() never
# has a reason to throw).
target_compile_definitions(ravel_nlohmann_json INTERFACE JSON_NOEXCEPTION)
