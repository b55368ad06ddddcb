// SPDX-License-Identifier: Apache-2.0
// A first stage that does what the device does: before it starts the image
// at CODE_EXE_ADDR it runs the four checks Ravelverify runs, in the same
// order, on the bytes in memory, and it never jumps into an image that fails
// one. It is the reference to compare a team's own boot code against.
// RAVEL_CODE_EXE_ADDR and RAVEL_INFO_ADDR come from the build; the key it
// trusts from the header Ravelinfo makes of the information file.
#include <stdint.h>
#include <string.h>

#include "board.h"
#include "mbedtls/ecdsa.h"
#include "mbedtls/memory_buffer_alloc.h"
#include "mbedtls/sha256.h"
#include "ravel_public_key.h"  // Ravelinfo export --format c of the information file

// The secure boot format: header words in the image, the INFO block.
#define HEADER_MAGIC_OFFSET 0x1Cu
#define HEADER_INFO_ADDR_OFFSET 0x20u
#define HEADER_ZERO_OFFSET 0x24u
#define HEADER_CHECK_OFFSET 0x28u
#define HEADER_MAGIC 0x786C7154u  // "Tqlx"
#define HEADER_END 0x2Cu          // the signed bytes must reach past the check word
#define INFO_FORMAT_OFFSET 0x40u
#define INFO_IMAGE_DESC_SIZE_OFFSET 0x44u
#define INFO_CODE_EXE_ADDR_OFFSET 0x48u
#define INFO_IMAGE_LENGTH_OFFSET 0x4Cu
#define INFO_DIGEST_DESC_SIZE_OFFSET 0x60u
#define INFO_IMAGE_DIGEST_OFFSET 0x70u
#define INFO_SIGNATURE_R_OFFSET 0x90u
#define INFO_SIGNATURE_S_OFFSET 0xB0u
#define INFO_SIGNED_LENGTH 0x90u
#define IMAGE_LENGTH_LIMIT 0x40000u  // an image is shorter than 256 KiB
#define NUMBER_SIZE 32u
#define VECTOR_RESET 1u
#define VECTOR_HEADER_FIRST 7u  // slots 7-10 carry the header words
#define VECTOR_HEADER_LAST 10u
#define VECTOR_RESERVED 13u
#define VECTOR_TABLE_SIZE (BOARD_VECTOR_COUNT * 4u)

// One verification needs 4-6 KiB of heap; twice that leaves room.
static unsigned char heap[12 * 1024];

void *first_stage_no_calloc(size_t count, size_t size) {
  (void)count;
  (void)size;
  return NULL;
}

void first_stage_no_free(void *pointer) {
  (void)pointer;
}

static uint32_t le32(const uint8_t *bytes) {
  return (uint32_t)bytes[0] | ((uint32_t)bytes[1] << 8) | ((uint32_t)bytes[2] << 16) | ((uint32_t)bytes[3] << 24);
}

// Says why the boot stops; returns the check's number.
static int failed(int check, const char *what) {
  board_puts("Secure boot: check ");
  const char digit[2] = {(char)('0' + check), '\0'};
  board_puts(digit);
  board_puts(" failed: ");
  board_puts(what);
  board_puts("\n");
  return check;
}

// 1. Magic, INFO address (the one this device expects), zero word, and a
// check word that adds up with the magic to the INFO address.
static int check_header(const uint8_t *image) {
  const uint32_t magic = le32(image + HEADER_MAGIC_OFFSET);
  const uint32_t info = le32(image + HEADER_INFO_ADDR_OFFSET);
  if (magic != HEADER_MAGIC) {
    return failed(1, "no secure boot magic in the image header");
  }
  if (le32(image + HEADER_ZERO_OFFSET) != 0u) {
    return failed(1, "the reserved header word is not zero");
  }
  if ((uint32_t)(magic + le32(image + HEADER_CHECK_OFFSET)) != info) {
    return failed(1, "the header's check word does not match its INFO address");
  }
  if (info != RAVEL_INFO_ADDR) {
    return failed(1, "the header points to an INFO block elsewhere");
  }
  return 0;
}

// 2. The INFO block's constant words, execution address and length. The
// signed bytes must cover the header words, or nobody signed where the INFO
// block lies; and, since this stage knows its board, the whole vector table,
// with the reset vector and every handler in it pointing inside them: a
// handler past the signed bytes would run unsigned code at the first
// interrupt or fault.
static int check_info_words(const uint8_t *image, const uint8_t *block) {
  if (le32(block + INFO_FORMAT_OFFSET) != 1u || le32(block + INFO_IMAGE_DESC_SIZE_OFFSET) != 24u ||
      le32(block + INFO_DIGEST_DESC_SIZE_OFFSET) != 12u) {
    return failed(2, "the INFO block's constant words are wrong");
  }
  if (le32(block + INFO_CODE_EXE_ADDR_OFFSET) != RAVEL_CODE_EXE_ADDR) {
    return failed(2, "the INFO block names another execution address");
  }
  const uint32_t length = le32(block + INFO_IMAGE_LENGTH_OFFSET);
  if (length >= IMAGE_LENGTH_LIMIT) {
    return failed(2, "the image length is 256 KiB or more");
  }
  if (length < HEADER_END) {
    board_puts("Secure boot: check 2 failed: the image length ");
    board_put_decimal(length);
    board_puts(" does not cover the header words at 0x1C-0x2B\n");
    return 2;
  }
  if (length < VECTOR_TABLE_SIZE) {
    board_puts("Secure boot: check 2 failed: the image length ");
    board_put_decimal(length);
    board_puts(" does not cover the vector table (");
    board_put_decimal(VECTOR_TABLE_SIZE);
    board_puts(" bytes)\n");
    return 2;
  }
  for (uint32_t slot = VECTOR_RESET; slot < BOARD_VECTOR_COUNT; ++slot) {
    if ((slot >= VECTOR_HEADER_FIRST && slot <= VECTOR_HEADER_LAST) || slot == VECTOR_RESERVED) {
      continue;
    }
    // A Thumb address: bit 0 set, the instruction at the even address; at
    // least its first halfword must be signed.
    const uint32_t handler = le32(image + 4u * slot) & ~1u;
    if (handler < RAVEL_CODE_EXE_ADDR || handler - RAVEL_CODE_EXE_ADDR > length - 2u) {
      board_puts("Secure boot: check 2 failed: vector ");
      board_put_decimal(slot);
      board_puts(slot == VECTOR_RESET ? " (reset)" : "");
      board_puts(" points to ");
      board_put_hex32(handler);
      board_puts(", outside the signed image\n");
      return 2;
    }
  }
  return 0;
}

// 3. The image's SHA-256, header words as they stand, against the block's.
static int check_image_digest(const uint8_t *image, const uint8_t *block) {
  uint8_t digest[NUMBER_SIZE];
  if (mbedtls_sha256(image, le32(block + INFO_IMAGE_LENGTH_OFFSET), digest, 0) != 0) {
    return failed(3, "SHA-256 could not be computed");
  }
  if (memcmp(digest, block + INFO_IMAGE_DIGEST_OFFSET, sizeof digest) != 0) {
    return failed(3, "the image's SHA-256 is not the one the INFO block holds");
  }
  return 0;
}

// 4. The ECDSA P-256 signature (r, s) over the SHA-256 of the block's first
// 144 bytes, with the public key built into this first stage.
static int check_signature(const uint8_t *block) {
  uint8_t public_key[1 + sizeof ravel_public_key] = {0x04};  // uncompressed: 04 || X || Y
  memcpy(public_key + 1, ravel_public_key, sizeof ravel_public_key);
  uint8_t digest[NUMBER_SIZE];
  mbedtls_ecp_group group;
  mbedtls_ecp_point key;
  mbedtls_mpi r;
  mbedtls_mpi s;
  mbedtls_ecp_group_init(&group);
  mbedtls_ecp_point_init(&key);
  mbedtls_mpi_init(&r);
  mbedtls_mpi_init(&s);
  int result = mbedtls_sha256(block, INFO_SIGNED_LENGTH, digest, 0);
  if (result == 0) {
    result = mbedtls_ecp_group_load(&group, MBEDTLS_ECP_DP_SECP256R1);
  }
  if (result == 0) {
    result = mbedtls_ecp_point_read_binary(&group, &key, public_key, sizeof public_key);
  }
  if (result == 0) {
    result = mbedtls_mpi_read_binary(&r, block + INFO_SIGNATURE_R_OFFSET, NUMBER_SIZE);
  }
  if (result == 0) {
    result = mbedtls_mpi_read_binary(&s, block + INFO_SIGNATURE_S_OFFSET, NUMBER_SIZE);
  }
  if (result == 0) {
    result = mbedtls_ecdsa_verify(&group, digest, sizeof digest, &key, &r, &s);
  }
  mbedtls_mpi_free(&s);
  mbedtls_mpi_free(&r);
  mbedtls_ecp_point_free(&key);
  mbedtls_ecp_group_free(&group);
  // Out of heap looks like a bad signature to a caller that does not look.
  if (result == MBEDTLS_ERR_MPI_ALLOC_FAILED || result == MBEDTLS_ERR_ECP_ALLOC_FAILED) {
    return failed(4, "out of memory for the verification (enlarge the heap buffer)");
  }
  if (result != 0) {
    return failed(4, "the signature does not verify with this device's public key");
  }
  return 0;
}

// Starts the image as the core would start it from reset: SysTick and
// interrupts off, the vector table moved to the image, the main stack
// pointer and the reset handler taken from its first two words.
__attribute__((noreturn)) static void start_image(uint32_t address) {
  volatile uint32_t *const syst_csr = (volatile uint32_t *)0xE000E010u;
  volatile uint32_t *const vtor = (volatile uint32_t *)0xE000ED08u;
  const uint32_t *const vectors = (const uint32_t *)address;
  *syst_csr = 0u;
  __asm__ volatile("cpsid i" ::: "memory");
  *vtor = address;  // a multiple of 256 bytes, the table of 48 words rounded up to a power of two
  __asm__ volatile("dsb\n isb" ::: "memory");
  __asm__ volatile("msr msp, %0\n bx %1" : : "r"(vectors[0]), "r"(vectors[1]) : "memory");
  __builtin_unreachable();
}

int main(void) {
  board_uart_init();
  mbedtls_memory_buffer_alloc_init(heap, sizeof heap);
  const uint8_t *const image = (const uint8_t *)RAVEL_CODE_EXE_ADDR;
  const uint8_t *const block = (const uint8_t *)RAVEL_INFO_ADDR;
  // In order; the first that fails stops the boot. Check 1 has made sure
  // that the INFO block is where this device expects it.
  int refused = check_header(image);
  if (refused == 0) {
    refused = check_info_words(image, block);
  }
  if (refused == 0) {
    refused = check_image_digest(image, block);
  }
  if (refused == 0) {
    refused = check_signature(block);
  }
  if (refused != 0) {
    return BOARD_STATUS_REFUSED + refused;
  }
  board_puts("Secure boot: image verified, starting it.\n");
  start_image(RAVEL_CODE_EXE_ADDR);
}
