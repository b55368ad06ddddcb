// SPDX-License-Identifier: Apache-2.0
// mbed TLS 3.6 for the first stage: the crypto library only, verification
// only (SHA-256, bignum, ECP on P-256, ECDSA), and a static buffer instead of
// a heap.
#ifndef RAVEL_MBEDTLS_FIRST_STAGE_CONFIG_H
#define RAVEL_MBEDTLS_FIRST_STAGE_CONFIG_H

#define MBEDTLS_PLATFORM_C
#define MBEDTLS_PLATFORM_MEMORY
#define MBEDTLS_MEMORY_BUFFER_ALLOC_C
// No C library heap: until the static buffer is set, allocation fails.
#define MBEDTLS_PLATFORM_STD_CALLOC first_stage_no_calloc
#define MBEDTLS_PLATFORM_STD_FREE first_stage_no_free
#include <stddef.h>
void *first_stage_no_calloc(size_t count, size_t size);
void first_stage_no_free(void *pointer);
#define MBEDTLS_NO_PLATFORM_ENTROPY

#define MBEDTLS_SHA256_C
#define MBEDTLS_BIGNUM_C
#define MBEDTLS_ECP_C
#define MBEDTLS_ECP_DP_SECP256R1_ENABLED
#define MBEDTLS_ECP_NIST_OPTIM
#define MBEDTLS_ECDSA_C
#define MBEDTLS_ASN1_PARSE_C
#define MBEDTLS_ASN1_WRITE_C

#endif
