/* The latch reports of a firmware run under qhost, through semihosting: one line
     seg4-ports <ticks per second> <latch bits>
   then, whenever a latch changed, the time in timer ticks (16 hexadecimal digits) and the eight
   latches (8 hexadecimal digits each, 0 for a missing port). */
#include "seg4_ports.h"

#include <stdint.h>

enum { SYS_WRITE0 = 0x04, SYS_GET_CMDLINE = 0x15, SYS_EXIT = 0x18 };
enum { EXIT_NORMAL = 0x20026 };

/* CMSDK APB timer 0 of the board: a 32-bit down counter at the 25 MHz peripheral clock. */
#define TIMER_CTRL (*(volatile uint32_t*)0x40000000u)
#define TIMER_VALUE (*(volatile uint32_t*)0x40000004u)
#define TIMER_RELOAD (*(volatile uint32_t*)0x40000008u)
#define TICKS_PER_SECOND "25000000"

static uint32_t semihost(uint32_t operation, const void* argument) {
    register uint32_t r0 __asm__("r0") = operation;
    register const void* r1 __asm__("r1") = argument;
    __asm__ volatile("bkpt 0xAB" : "+r"(r0) : "r"(r1) : "memory");
    return r0;
}

static volatile void* const* ports;
static unsigned width;
static uint32_t reported[SEG4_PORTS];
static uint64_t ticks, limit; /* limit 0: none */
static uint32_t lastValue;

/* Lines are gathered and written in large pieces: each semihosting call stops the core. */
static char pending[4096];
static unsigned pendingLength;

static void flush(void) {
    if (pendingLength == 0) return;
    pending[pendingLength] = '\0';
    semihost(SYS_WRITE0, pending);
    pendingLength = 0;
}

static void put(const char* text) {
    while (*text) {
        if (pendingLength == sizeof pending - 1) flush();
        pending[pendingLength++] = *text++;
    }
}

static void putHex(uint32_t value, int digits) {
    char text[9];
    int i;
    text[digits] = '\0';
    for (i = digits - 1; i >= 0; --i, value >>= 4) text[i] = "0123456789abcdef"[value & 0xFu];
    put(text);
}

static uint32_t latch(int port) {
    if (!ports[port]) return 0;
    if (width == 8) return *(volatile uint8_t*)ports[port];
    if (width == 16) return *(volatile uint16_t*)ports[port];
    return *(volatile uint32_t*)ports[port];
}

static void tick(void) {
    const uint32_t value = TIMER_VALUE;
    ticks += (uint32_t)(lastValue - value); /* a down counter; one wrap at most between calls */
    lastValue = value;
}

static void report(void) {
    int port;
    putHex((uint32_t)(ticks >> 32), 8);
    putHex((uint32_t)ticks, 8);
    for (port = 0; port < SEG4_PORTS; ++port) {
        reported[port] = latch(port);
        put(" ");
        putHex(reported[port], 8);
    }
    put("\n");
}

/* qhost passes the run's length in timer ticks as the last word of the command line. */
static uint64_t askLimit(void) {
    static char line[128];
    struct {
        char* text;
        uint32_t length;
    } block = {line, sizeof line};
    uint64_t n = 0;
    const char* word = line;
    const char* c;
    if (semihost(SYS_GET_CMDLINE, &block) != 0) return 0;
    for (c = line; *c; ++c)
        if (*c == ' ') word = c + 1;
    for (c = word; *c >= '0' && *c <= '9'; ++c) n = n * 10u + (uint64_t)(*c - '0');
    return *c == '\0' ? n : 0;
}

void seg4_ports_start(volatile void* const latches[SEG4_PORTS], unsigned bits) {
    ports = latches;
    width = bits == 8 || bits == 16 ? bits : 32;
    limit = askLimit();
    TIMER_CTRL = 0;
    TIMER_RELOAD = 0xFFFFFFFFu;
    TIMER_VALUE = 0xFFFFFFFFu;
    lastValue = 0xFFFFFFFFu;
    TIMER_CTRL = 1;
    ticks = 0;
    put("seg4-ports " TICKS_PER_SECOND " ");
    put(width == 8 ? "8" : width == 16 ? "16" : "32");
    put("\n");
    report();
}

void seg4_ports_changed(void) {
    int port;
    tick();
    for (port = 0; port < SEG4_PORTS; ++port)
        if (latch(port) != reported[port]) {
            report();
            break;
        }
    if (limit != 0 && ticks >= limit) seg4_ports_stop();
}

void seg4_ports_stop(void) {
    flush();
    for (;;) semihost(SYS_EXIT, (const void*)(uintptr_t)EXIT_NORMAL);
}
