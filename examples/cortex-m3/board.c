// SPDX-License-Identifier: Apache-2.0
#include "board.h"

#include <stdint.h>

// CMSDK APB UART0.
#define UART0_BASE 0x40004000u
#define UART_DATA (*(volatile uint32_t *)(UART0_BASE + 0x00u))
#define UART_STATE (*(volatile uint32_t *)(UART0_BASE + 0x04u))
#define UART_CTRL (*(volatile uint32_t *)(UART0_BASE + 0x08u))
#define UART_BAUDDIV (*(volatile uint32_t *)(UART0_BASE + 0x10u))
#define UART_STATE_TX_FULL 0x1u
#define UART_CTRL_TX_ENABLE 0x1u

// Semihosting: SYS_EXIT_EXTENDED with a parameter block of a reason code and
// the status (plain SYS_EXIT on M-profile ends QEMU with 0 or 1 only).
#define SYS_EXIT_EXTENDED 0x20u
#define ADP_STOPPED_APPLICATION_EXIT 0x20026u

void board_uart_init(void) {
  UART_BAUDDIV = 16u;
  // The UART drops every byte until its transmitter is enabled.
  UART_CTRL = UART_CTRL_TX_ENABLE;
}

static void put_char(char c) {
  while ((UART_STATE & UART_STATE_TX_FULL) != 0u) {
  }
  UART_DATA = (uint32_t)(unsigned char)c;
}

void board_puts(const char *text) {
  for (; *text != '\0'; ++text) {
    put_char(*text);
  }
}

void board_put_hex32(unsigned value) {
  static const char digits[] = "0123456789ABCDEF";
  board_puts("0x");
  for (int shift = 28; shift >= 0; shift -= 4) {
    put_char(digits[(value >> (unsigned)shift) & 0xFu]);
  }
}

void board_put_decimal(unsigned value) {
  char digits[11];  // 4294967295
  unsigned at = sizeof digits;
  digits[--at] = '\0';
  do {
    digits[--at] = (char)('0' + value % 10u);
    value /= 10u;
  } while (value != 0u && at > 0u);
  board_puts(&digits[at]);
}

void board_exit(int status) {
  const uint32_t block[2] = {ADP_STOPPED_APPLICATION_EXIT, (uint32_t)status};
  register uint32_t operation __asm__("r0") = SYS_EXIT_EXTENDED;
  register const uint32_t *parameters __asm__("r1") = block;
  __asm__ volatile("bkpt 0xAB" : : "r"(operation), "r"(parameters) : "memory");
  for (;;) {
  }
}

// The C library's exit() ends here: through semihosting, with its status.
void _exit(int status) {
  board_exit(status);
}
