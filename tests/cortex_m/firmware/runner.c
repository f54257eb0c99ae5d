/* Calls SHOW_DIGIT of every generated program for DIGIT 0..4, VALUE 0..255 and DECIMAL_PT 0
   and 1, and after each call reports the eight port latches, one line per call:
     <program> <digit> <value> <point> <porta> .. <porth>      (latches in hexadecimal)
   then "end <calls>". Before the first call every latch holds a pattern of its own, so that a
   bit the program must not touch is as likely to be 1 as 0; the harness knows the pattern. */
#include "firmware.h"

static uint32_t read_port(const struct program* p, int port) {
    return p->portBits == 8 ? *(volatile uint8_t*)p->ports[port] : *(volatile uint32_t*)p->ports[port];
}

static void preset_port(const struct program* p, int port, uint32_t value) {
    if (p->portBits == 8)
        *(volatile uint8_t*)p->ports[port] = (uint8_t)value;
    else
        *(volatile uint32_t*)p->ports[port] = value;
}

static void put_number(unsigned n) {
    char text[11];
    int i = 10;
    text[i] = '\0';
    do {
        text[--i] = (char)('0' + n % 10u);
        n /= 10u;
    } while (n != 0);
    put_text(text + i);
}

int run_programs(void) {
    unsigned n, calls = 0;
    int digit, value, point, port;
    for (n = 0; n < programCount; ++n) {
        const struct program* p = &programs[n];
        for (port = 0; port < PORT_COUNT; ++port)
            preset_port(p, port, 0x96A5C35Au ^ (0x11111111u * (uint32_t)port));
        for (digit = 0; digit <= 4; ++digit)
            for (value = 0; value <= 255; ++value)
                for (point = 0; point <= 1; ++point) {
                    p->showDigit((char)digit, (char)value, (char)point);
                    put_text(p->name);
                    put_text(" ");
                    put_number((unsigned)digit);
                    put_text(" ");
                    put_number((unsigned)value);
                    put_text(" ");
                    put_number((unsigned)point);
                    for (port = 0; port < PORT_COUNT; ++port) {
                        put_text(" ");
                        put_hex(read_port(p, port));
                    }
                    put_text("\n");
                    ++calls;
                }
    }
    put_text("end ");
    put_number(calls);
    put_text("\n");
    return 1;
}
