/* A demo firmware for qhost's `firmware` command: the generated SHOW_DIGIT multiplexing
   "1234" with the point after the 2, a digit every 2.5 ms (a 100 Hz refresh), reporting the
   port latches through seg4_ports.c after every call. Built with the folder of show_digit.c
   on the include path. The latches are ordinary 8-bit
   variables here; on a real board they would be the port output registers. */
#include "firmware.h"
#include "seg4_ports.h"

volatile uint8_t porta, portb, portc, portd, porte, portf, portg, porth;

/* The display's generated program for its wiring, as qhost's `codegen` writes it. */
#include "show_digit.c"

/* Some 2.5 ms on the emulated core: qhost runs it with 128 ns an instruction (an 8 MHz clock),
   and one pass of the loop takes some 300 ns there. */
#define DIGIT_LOOPS 8240u

static void wait(unsigned loops) {
    while (loops--) __asm__ volatile("");
}

int run_programs(void) {
    static volatile void* const latches[SEG4_PORTS] = {&porta, &portb, &portc, &portd,
                                                       &porte, &portf, &portg, &porth};
    static const char figures[4] = {4, 3, 2, 1}; /* DIGIT 0 is the rightmost */
    int digit;
    seg4_ports_start(latches, 8);
    for (;;)
        for (digit = 0; digit < 4; ++digit) {
            SHOW_DIGIT((char)digit, figures[digit], (char)(digit == 2));
            seg4_ports_changed();
            wait(DIGIT_LOOPS);
        }
}
