# SPDX-License-Identifier: Apache-2.0
# Debian's gcc-arm-none-eabi with newlib, for bare-metal Cortex-M.
#   cmake -DCMAKE_TOOLCHAIN_FILE=arm-none-eabi.cmake ...
# The CPU flags are set by the project (add_compile_options), not here:
# flags in CMAKE_C_FLAGS_INIT are lost when a user passes -DCMAKE_C_FLAGS.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_ASM_COMPILER arm-none-eabi-gcc)
# No program can run while CMake tests the compiler: link no executable then.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The signing tools are programs of the build machine: their CMake package
# (find_package(Ravelsign)) is looked for there too.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
