#ifndef SUPPORT_PLATFORM_H
#define SUPPORT_PLATFORM_H

// What the platform's C library may lack or spell differently, and nothing else. Android's C library
// has both routines of its own; glibc before 2.38 has no strlcpy, and its assertion report takes its
// arguments in another order. HAVE_STRLCPY is set at configure time.

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// Reports a failed assertion through the C library's own report, which aborts the process.
void report_assertion_failure(const char *file, int line, const char *function, const char *expression)
    __attribute__((noreturn));

#ifndef HAVE_STRLCPY
// Copies at most size - 1 bytes of src and a NUL (nothing when size is 0); returns strlen(src).
size_t strlcpy(char *dst, const char *src, size_t size);
#endif

#ifdef __cplusplus
}
#endif

#endif
