/* Start-up of the test firmware on an emulated Cortex-M3: the vector table, the reset handler
   that prepares memory and runs main, and the semihosting calls through which the firmware
   reports to the emulator's standard output and ends the emulation with a status. No C
   library: the firmware needs nothing from one. */
#include "firmware.h"

#include <stdint.h>

extern uint32_t data_start[], data_end[], data_image[], bss_start[], bss_end[], stack_top[];

void reset_handler(void);
void fault_handler(void);

/* Semihosting operations and the reasons SYS_EXIT reports (0x20026: the application ended
   normally; the emulator exits with 0 for it and 1 for any other). */
enum { SYS_WRITE0 = 0x04, SYS_EXIT = 0x18 };
enum { EXIT_NORMAL = 0x20026, EXIT_RUNTIME_ERROR = 0x20023 };

static uint32_t semihost(uint32_t operation, const void* argument) {
    register uint32_t r0 __asm__("r0") = operation;
    register const void* r1 __asm__("r1") = argument;
    __asm__ volatile("bkpt 0xAB" : "+r"(r0) : "r"(r1) : "memory");
    return r0;
}

/* Output is gathered and written in large pieces: each semihosting call stops the emulated
   core, and the firmware reports tens of thousands of lines. */
static char pending[8192];
static unsigned pendingLength;

static void flush(void) {
    if (pendingLength == 0) return;
    pending[pendingLength] = '\0';
    semihost(SYS_WRITE0, pending);
    pendingLength = 0;
}

void put_text(const char* text) {
    while (*text) {
        if (pendingLength == sizeof pending - 1) flush();
        pending[pendingLength++] = *text++;
    }
}

void put_hex(uint32_t value) {
    char digits[9];
    int i;
    for (i = 7; i >= 0; --i) {
        digits[i] = "0123456789abcdef"[value & 0xFu];
        value >>= 4;
    }
    digits[8] = '\0';
    put_text(digits);
}

void finish(int ok) {
    flush();
    for (;;) semihost(SYS_EXIT, (const void*)(uintptr_t)(ok ? EXIT_NORMAL : EXIT_RUNTIME_ERROR));
}

void reset_handler(void) {
    uint32_t* to = data_start;
    const uint32_t* from = data_image;
    while (to < data_end) *to++ = *from++;
    for (to = bss_start; to < bss_end;) *to++ = 0;
    finish(run_programs());
}

/* A fault of the code under test ends the run with a message instead of hanging it. */
void fault_handler(void) {
    put_text("\nfault: the firmware took an exception\n");
    finish(0);
}

/* The initial stack pointer, then reset and the fourteen other system exceptions (NMI ..
   SysTick), all of which end the run if they ever occur. */
struct vector_table {
    uint32_t* stack;
    void (*handlers[15])(void);
};
__attribute__((section(".vectors"), used)) static const struct vector_table vectors = {
    stack_top,
    {reset_handler, fault_handler, fault_handler, fault_handler, fault_handler, fault_handler, 0, 0, 0, 0,
     fault_handler, fault_handler, 0, fault_handler, fault_handler},
};
