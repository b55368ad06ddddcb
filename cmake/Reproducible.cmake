# SPDX-License-Identifier: Apache-2.0
# Reproducible builds: one commit built on one Debian release gives the same
# executables and the same Debian package, byte for byte, whatever the build
# folder, the clone's path, the time of day, the umask or the locale. A team
# can then rebuild a released signing tool and compare it before trusting it
# (scripts/check-reproducible.sh).

# The build's time is the last commit's, so that nothing records the hour of
# the build; only the package carries it.
set(RAVEL_SOURCE_DIR ${PROJECT_SOURCE_DIR})
include(cmake/SourceDateEpoch.cmake)
message(STATUS "Build time (SOURCE_DATE_EPOCH): ${RAVEL_SOURCE_DATE_EPOCH}")

# Debug information and __FILE__ name the source folder "." and the build
# folder "build", wherever they are. The build folder is mapped last: gcc
# tries the last map first, and the build folder may lie inside the source.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
# The compiler's clock must not reach the code either.
add_compile_options(-Wdate-time)

# Installed folders do not follow the umask of whoever installs or packages.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
