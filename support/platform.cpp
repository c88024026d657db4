#include "platform.h"

// The assertion report must be declared whatever the build's NDEBUG: it is called for a check that
// always runs, not for an assert().
#undef NDEBUG
#include <assert.h>
#include <string.h>

void report_assertion_failure(const char *file, int line, const char *function, const char *expression) {
#ifdef __ANDROID__
  __assert2(file, line, function, expression);
#else
  __assert_fail(expression, file, static_cast<unsigned>(line), function);
#endif
}

#ifndef HAVE_STRLCPY
size_t strlcpy(char *dst, const char *src, size_t size) {
  size_t len = strlen(src);
  if (size != 0) {
    size_t n = len < size ? len : size - 1;
    memcpy(dst, src, n);
    dst[n] = '\0';
  }
  return len;
}
#endif
