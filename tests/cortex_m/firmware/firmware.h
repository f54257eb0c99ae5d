/* What the parts of the test firmware share: the reporting calls of the start-up code, the
   table of generated programs the harness links in, and the runner over it. */
#ifndef FIRMWARE_H
#define FIRMWARE_H

#include <stdint.h>

#define PORT_COUNT 8 /* porta .. porth */

/* One generated program with the port latches it writes, ordinary variables of the width the
   program was given (8 or 32 bits). */
struct program {
    const char* name;
    unsigned portBits;
    volatile void* ports[PORT_COUNT];
    void (*showDigit)(char digit, char value, char point);
};

extern const struct program programs[];
extern const unsigned programCount;

/* Appends text or eight hexadecimal digits to the emulator's standard output. */
void put_text(const char* text);
void put_hex(uint32_t value);
/* Writes what is pending and ends the emulation, with status 0 when `ok`. */
void finish(int ok) __attribute__((noreturn));

/* Runs every program over every call; non-zero when they all ran. */
int run_programs(void);

#endif
