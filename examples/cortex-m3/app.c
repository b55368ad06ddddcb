// SPDX-License-Identifier: Apache-2.0
// The application: what a team's firmware would be. The first stage starts
// it once it has checked its signature.
#include "board.h"

int main(void) {
  board_uart_init();
  board_puts("Hello from the signed Cortex-M3 application.\n");
  return 0;
}
