// SPDX-License-Identifier: Apache-2.0
// Start-up for both programs: the vector table, and the reset handler that
// copies .data, clears .bss and calls main().
#include <stdint.h>

#include "board.h"

extern uint32_t __stack_top;
extern uint32_t __data_load, __data_start, __data_end, __bss_start, __bss_end;
int main(void);

void Reset_Handler(void) {
  const uint32_t *from = &__data_load;
  for (uint32_t *to = &__data_start; to < &__data_end;) {
    *to++ = *from++;
  }
  for (uint32_t *to = &__bss_start; to < &__bss_end;) {
    *to++ = 0u;
  }
  board_exit(main());
}

static void Fault_Handler(void) {
  board_puts("Fault: stopped.\n");
  board_exit(BOARD_STATUS_FAULT);
}

// Slots 7 to 10 (bytes 0x1C-0x2B) are reserved in ARMv7-M: a signed image
// carries the secure boot header words there (magic, INFO address, zero,
// check word), so they must stay unused. The table is whole, interrupts
// included: a first stage refuses an image whose signed bytes do not cover
// it, since a handler slot past them would be unsigned.
__attribute__((section(".vectors"), used)) const uintptr_t vector_table[BOARD_VECTOR_COUNT] = {
    (uintptr_t)&__stack_top,    // 0: initial main stack pointer
    (uintptr_t)Reset_Handler,   // 1
    (uintptr_t)Fault_Handler,   // 2: NMI
    (uintptr_t)Fault_Handler,   // 3: HardFault
    (uintptr_t)Fault_Handler,   // 4: MemManage
    (uintptr_t)Fault_Handler,   // 5: BusFault
    (uintptr_t)Fault_Handler,   // 6: UsageFault
    0u, 0u, 0u, 0u,             // 7-10: the secure boot header words
    (uintptr_t)Fault_Handler,   // 11: SVCall
    (uintptr_t)Fault_Handler,   // 12: DebugMonitor
    0u,                         // 13: reserved
    (uintptr_t)Fault_Handler,   // 14: PendSV
    (uintptr_t)Fault_Handler,   // 15: SysTick
    [16 ... BOARD_VECTOR_COUNT - 1] = (uintptr_t)Fault_Handler,  // the board's interrupts: none is used
};
