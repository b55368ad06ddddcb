# SPDX-License-Identifier: Apache-2.0
# mbed TLS, its crypto library only: the tools need no TLS and no X.509.
# The tools are built and tested against two series, 2.28 (Debian 12) and
# 3.6 LTS (Debian 13), and refuse any other.
#
# 3.6 installs a CMake package (target MbedTLS::mbedcrypto); a self-built one
# is found with -DCMAKE_PREFIX_PATH=<its prefix>. Debian's 2.28 ships no
# package file, so there the header and the library are located by hand, as
# they are when MBEDCRYPTO_LIBRARY is given (the Windows build does).
if(NOT MBEDCRYPTO_LIBRARY)
  find_package(MbedTLS CONFIG QUIET)
endif()

if(TARGET MbedTLS::mbedcrypto)
  set(MBEDTLS_VERSION ${MbedTLS_VERSION})
  set(_mbedtls_where "${MbedTLS_DIR}")
else()
  find_path(MBEDTLS_INCLUDE_DIR NAMES mbedtls/ecdsa.h REQUIRED)
  find_library(MBEDCRYPTO_LIBRARY NAMES mbedcrypto REQUIRED)
  # 3.x keeps its version in build_info.h, 2.x in version.h.
  foreach(_header build_info.h version.h)
    if(NOT MBEDTLS_VERSION AND EXISTS "${MBEDTLS_INCLUDE_DIR}/mbedtls/${_header}")
      file(STRINGS "${MBEDTLS_INCLUDE_DIR}/mbedtls/${_header}" _mbedtls_version_line
           REGEX "^#define MBEDTLS_VERSION_STRING +\"[0-9.]+\"")
      string(REGEX REPLACE ".*\"([0-9.]+)\".*" "\\1" MBEDTLS_VERSION "${_mbedtls_version_line}")
    endif()
  endforeach()
  set(_mbedtls_where "${MBEDCRYPTO_LIBRARY}")
  add_library(MbedTLS::mbedcrypto UNKNOWN IMPORTED)
  set_target_properties(MbedTLS::mbedcrypto PROPERTIES
    IMPORTED_LOCATION "${MBEDCRYPTO_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${MBEDTLS_INCLUDE_DIR}")
endif()

if(MBEDTLS_VERSION MATCHES "^(2\\.28|3\\.6)\\.")
  message(STATUS "mbed TLS ${MBEDTLS_VERSION}: ${_mbedtls_where}")
elseif(MBEDTLS_VERSION VERSION_GREATER_EQUAL 4.0)
  message(FATAL_ERROR "mbed TLS ${MBEDTLS_VERSION} (${_mbedtls_where}) is not supported: 4.x removed most "
    "of the legacy crypto interfaces in favour of PSA Crypto, whose ECDSA signing takes no caller-supplied "
    "nonce, and a fixed RANDOM_K needs one. Build against mbed TLS 3.6 LTS or 2.28.")
else()
  message(FATAL_ERROR "mbed TLS '${MBEDTLS_VERSION}' (${_mbedtls_where}) is not supported: build against "
    "mbed TLS 3.6 LTS or 2.28, the two series whose signing behaviour the tools are tested against.")
endif()
