#pragma once

// A pty in place of a serial port with modem lines and error counters. The library wraps ioctl():
// where the real call fails on a pty slave for TIOCMGET/TIOCMSET/TIOCMBIS/TIOCMBIC or TIOCGICOUNT,
// it answers from one state per process. Tests find these functions with dlsym(RTLD_DEFAULT, ...)
// so that they still link (and skip) without the library.
extern "C" {
// Everything as after the kernel opened a port: DTR and RTS asserted, the rest zero; no history.
void quillon_ptyshim_reset(void);
// Off: a plain pty again (no lines, no counters).
void quillon_ptyshim_set_enabled(int on);
// TIOCM_* bits: the lines as the program set them, and the input lines the test sets.
int quillon_ptyshim_lines(void);
void quillon_ptyshim_set_inputs(int bits);
// Every change the program made to DTR/RTS: the new bits and the monotonic time in ms. Returns
// the number of changes; fills at most max of them.
int quillon_ptyshim_history(int* bits, long long* ms, int max);
// TIOCGICOUNT: overrun, buf_overrun, frame, parity, brk.
void quillon_ptyshim_set_counts(int overrun, int bufOverrun, int frame, int parity, int brk);
}
