# SPDX-License-Identifier: Apache-2.0
# ravel_add_library(<name> SOURCES ... [PUBLIC <libs>...] [PRIVATE <libs>...])
#
# A static library for the folder that calls it. Its headers are included as
# "<folder>/<header>.h" (for example "crypto/ecdsa.h"), and only by targets
# that link it: each library's include root holds one link, named like the
# folder, to that folder alone. So a header used without its library on the
# link line fails to compile, and the target graph is the layering.
function(ravel_add_library name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;PUBLIC;PRIVATE")
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${PROJECT_BINARY_DIR}/include/${name})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${root})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()

# ravel_add_tool(<executable> <library>): a tool's main() on top of its library.
function(ravel_add_tool executable library)
  add_executable(${executable} main.cpp)
  target_link_libraries(${executable} PRIVATE ${library})
  set_target_properties(${executable} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
endfunction()
