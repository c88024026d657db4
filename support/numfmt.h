#ifndef SUPPORT_NUMFMT_H
#define SUPPORT_NUMFMT_H

// Number formatting for people. Every text result lives in a static buffer of this unit and is never
// freed: a text of format_integer stays intact while the next three calls write the other buffers of
// its ring, and format_double's own rendering stays until its next call. Nothing here allocates,
// writes a stream or reports an error.
//
// The human level selects format_integer's form: 0 plain digits; 1 and every negative level digits
// grouped by three; 2 scaled by 1000 to "%.2f" and a unit letter (K, M, G, T, P) from a magnitude of
// 1000 on, and 3 and above scaled by 1024 from 1024 on, grouped below that. The suffix follows the
// digit forms only; a suffix too long for its buffer is cut.

#include <stdint.h>
#include <sys/time.h>

#ifdef __cplusplus
extern "C" {
#endif

extern char group_separator;  // 0 until detected, then ',' or '.'
extern char integer_text_ring[4][128];
extern int integer_text_slot;  // the ring buffer of the latest format_integer
extern char double_text_buffer[128];

// ',' when the C library's decimal point is '.', else '.'; detected on the first call only.
char group_separator_char(void);
char decimal_point_char(void);
int time_of_day(struct timeval *tv);
const char *format_integer(int64_t num, int human, const char *suffix);
// From a magnitude of 1000 on (at a non-zero level), the integer part goes through format_integer with
// the rendering's fraction as suffix; otherwise, and for NaN, infinities and magnitudes of 2^63 and
// more, the result is the C library's rendering.
const char *format_double(double value, int human, int decimals);
int char_is_digit(const char *c);

#ifdef __cplusplus
}
#endif

#endif
