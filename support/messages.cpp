#include "messages.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

void report_message(int, const char *format, ...) {
  va_list ap;
  va_start(ap, format);
  vfprintf(stderr, format, ap);
  va_end(ap);
}

void report_sys_error(int, int errnum, const char *format, ...) {
  fputs("ormix: ", stderr);
  va_list ap;
  va_start(ap, format);
  vfprintf(stderr, format, ap);
  va_end(ap);
  fprintf(stderr, ": %s (%d)\n", strerror(errnum), errnum);
}

void exit_with_trace(int status, const char *file, int line) {
  fprintf(stderr, "exit(%d): %s(%d)\n", status, file, line);
  exit(status);
}

int fixed_zero_4args(const void *, int, const void *, int) { return 0; }
int fixed_minus_one_2args(const void *, const void *) { return -1; }
void ignore_pointer_a(const void *) {}
void ignore_pointer_b(const void *) {}
void *fixed_null_pointer(int) { return nullptr; }
int fixed_zero_1arg(int) { return 0; }
const char *program_role_name(void) { return "tester"; }
void do_nothing(void) {}

int checksum_length(int csum_type, int flag) { return csum_type != 0 || flag == 0 ? 16 : 1; }
int checksum_byte_order(int) { return 0; }
