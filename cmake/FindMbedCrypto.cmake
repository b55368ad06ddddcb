# SPDX-License-Identifier: Apache-2.0
# Debian's libmbedtls-dev (2.28) ships neither CMake nor pkg-config files, so
# the header and the crypto library are located by hand. Only mbedcrypto is
# linked: the tool needs no TLS and no X.509.
find_path(MBEDTLS_INCLUDE_DIR NAMES mbedtls/ecdsa.h REQUIRED)
find_library(MBEDCRYPTO_LIBRARY NAMES mbedcrypto REQUIRED)

file(STRINGS "${MBEDTLS_INCLUDE_DIR}/mbedtls/version.h" _mbedtls_version_line
     REGEX "^#define MBEDTLS_VERSION_STRING +\"[0-9.]+\"")
string(REGEX REPLACE ".*\"([0-9.]+)\".*" "\\1" MBEDTLS_VERSION "${_mbedtls_version_line}")
if(MBEDTLS_VERSION VERSION_LESS 2.7 OR NOT MBEDTLS_VERSION VERSION_LESS 3.0)
  message(FATAL_ERROR "mbed TLS 2.x (2.7 or later) is required, found ${MBEDTLS_VERSION}")
endif()
message(STATUS "mbed TLS ${MBEDTLS_VERSION}: ${MBEDCRYPTO_LIBRARY}")

add_library(MbedTLS::mbedcrypto UNKNOWN IMPORTED)
set_target_properties(MbedTLS::mbedcrypto PROPERTIES
  IMPORTED_LOCATION "${MBEDCRYPTO_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${MBEDTLS_INCLUDE_DIR}")
