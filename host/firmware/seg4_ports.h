/* The port latches of a firmware run under qhost's `firmware` command (QEMU's mps2-an385
   board): link seg4_ports.c into the emulated build of the firmware, hand it the latches once,
   and call seg4_ports_changed() after every write to them (after each SHOW_DIGIT). It reports
   the latches with the time through semihosting, and ends the run when qhost's time is up.

   The time is the board's CMSDK timer 0 (0x40000000, 25 MHz), which the firmware must leave
   to this library; qhost runs the emulator on a fixed time per instruction, so the times are
   the same on every run. The semihosting calls stop a real board that has no debugger
   attached: this file belongs in the emulated build only. */
#ifndef SEG4_PORTS_H
#define SEG4_PORTS_H

#define SEG4_PORTS 8 /* porta .. porth */

/* Starts the clock and reports the latches as they are. `latches` holds the address of each
   port's output latch, porta first (null for a port the firmware does not have); `bits` is
   their width: 8, 16 or 32. */
void seg4_ports_start(volatile void* const latches[SEG4_PORTS], unsigned bits);

/* Reports the latches when any changed since the last report; ends the run once the time
   qhost asked for has passed. */
void seg4_ports_changed(void);

/* Writes what is pending and ends the run now. */
void seg4_ports_stop(void) __attribute__((noreturn));

#endif
