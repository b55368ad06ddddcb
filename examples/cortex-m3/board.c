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

// Semihosting: SYS_EXIT with a reason code.
#define SYS_EXIT 0x18u
#define ADP_STOPPED_APPLICATION_EXIT 0x20026u
#define ADP_STOPPED_RUN_TIME_ERROR 0x20023u

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

void board_exit(int status) {
  register uint32_t operation __asm__("r0") = SYS_EXIT;
  register uint32_t reason __asm__("r1") = status == 0 ? ADP_STOPPED_APPLICATION_EXIT : ADP_STOPPED_RUN_TIME_ERROR;
  __asm__ volatile("bkpt 0xAB" : : "r"(operation), "r"(reason) : "memory");
  for (;;) {
  }
}

// The C library's exit() ends here: through semihosting, with its status.
void _exit(int status) {
  board_exit(status);
}
