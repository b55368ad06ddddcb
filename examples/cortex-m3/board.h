// SPDX-License-Identifier: Apache-2.0
// The Arm MPS2 AN385 board (Cortex-M3) as both programs use it: UART0 for
// text, semihosting to end the run with a status.
#ifndef RAVEL_BOARD_H
#define RAVEL_BOARD_H

// The vector table: the 16 words every Cortex-M3 has, then one for each of
// the board's 32 interrupts.
#define BOARD_VECTOR_COUNT 48u

// How a run ends, as run-in-qemu.sh tells it apart from QEMU's own failure
// (status 1): an image refused at check N ends with BOARD_STATUS_REFUSED + N,
// a started image that faults with BOARD_STATUS_FAULT.
#define BOARD_STATUS_REFUSED 10
#define BOARD_STATUS_FAULT 3

void board_uart_init(void);
void board_puts(const char *text);
void board_put_hex32(unsigned value);
void board_put_decimal(unsigned value);
// Ends the run with `status`, through semihosting's extended exit, which
// QEMU passes on as its own exit status.
void board_exit(int status) __attribute__((noreturn));

#endif
