// SPDX-License-Identifier: Apache-2.0
// The Arm MPS2 AN385 board (Cortex-M3) as both programs use it: UART0 for
// text, semihosting to end the run with a status.
#ifndef RAVEL_BOARD_H
#define RAVEL_BOARD_H

void board_uart_init(void);
void board_puts(const char *text);
void board_put_hex32(unsigned value);
// Ends the run: status 0 through semihosting's "application exit", any
// other as a failure (on M-profile, QEMU reports 0 or 1).
void board_exit(int status) __attribute__((noreturn));

#endif
