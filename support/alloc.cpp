#include "alloc.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "alloc_internal.h"
#include "messages.h"
#include "numfmt.h"
#include "platform.h"

size_t max_alloc_limit = 0;
// No allocation can return the address of a static object; the text itself is never read.
static const char zeroed_marker_text[] = "42";
void *zeroed_alloc_marker = const_cast<char *>(zeroed_marker_text);
const char *source_path_prefix = "";
int source_prefix_len = -1;
char buf[33];

namespace {

constexpr int kReportClass = 3;
constexpr int kFatalStatus = 22;

// format_integer takes a signed number: a ceiling from 2^63 on is given as its leading digits with
// the last digit as suffix, so that the report still shows its true value.
const char *ceiling_text(size_t limit) {
  if (limit <= INT64_MAX) return format_integer(static_cast<int64_t>(limit), 0, nullptr);
  const char last[2] = {static_cast<char>('0' + limit % 10), '\0'};
  return format_integer(static_cast<int64_t>(limit / 10), 0, last);
}

}  // namespace

void *my_alloc(void *old, size_t count, size_t size, const char *file, int line) {
  if (max_alloc_limit != 0 && count >= (size != 0 ? max_alloc_limit / size : 0)) {
    if (file == nullptr) return nullptr;
    const char *identity = program_role_name();
    const char *ceiling = ceiling_text(max_alloc_limit);
    report_message(kReportClass, "[%s] exceeded --max-alloc=%s setting (file=%s, line=%d)\n", identity, ceiling,
                   strip_source_prefix(file), line);
    exit_with_trace(kFatalStatus, "", 80);
  }
  size_t bytes;
  // A product beyond 64 bits is a failed request, never a block of its low bits.
  bool too_big = __builtin_mul_overflow(count, size, &bytes);
  void *block;
  if (old == nullptr) {
    block = too_big ? nullptr : malloc(bytes);
  } else if (old == zeroed_alloc_marker) {
    block = calloc(count, size);
  } else {
    // realloc frees the block and answers null for 0 bytes, which would read as a failure that left
    // the block the caller's; one byte keeps every null a real failure.
    block = too_big ? nullptr : realloc(old, bytes != 0 ? bytes : 1);
  }
  if (block == nullptr && file != nullptr) fatal_out_of_memory("my_alloc caller", file, line);
  return block;
}

const char *strip_source_prefix(const char *file) {
  if (source_prefix_len < 0) {
    const char *slash = strrchr(source_path_prefix, '/');
    source_prefix_len = slash != nullptr ? static_cast<int>(slash - source_path_prefix) + 1 : 0;
  }
  if (source_prefix_len == 0) return file;
  size_t len = static_cast<size_t>(source_prefix_len);
  return strncmp(file, source_path_prefix, len) == 0 ? file + len : file;
}

// Each report's trace names no file, only a fixed line of its own.
void fatal_out_of_memory(const char *subject, const char *file, int line) {
  const char *identity = program_role_name();
  report_message(kReportClass, "[%s] out of memory: %s (file=%s, line=%d)\n", identity, subject,
                 strip_source_prefix(file), line);
  exit_with_trace(kFatalStatus, "", 123);
}

void fatal_buffer_overflow(const char *subject, const char *file, int line) {
  const char *identity = program_role_name();
  report_message(kReportClass, "[%s] buffer overflow: %s (file=%s, line=%d)\n", identity, subject,
                 strip_source_prefix(file), line);
  exit_with_trace(kFatalStatus, "", 129);
}

const char *sum_as_hex(int csum_type, const char *sum, int flag) {
  int byte_order = checksum_byte_order(csum_type);
  int sum_len = checksum_length(csum_type, flag);
  return sum_as_hex_ordered(byte_order, sum_len, sum);
}

const char *sum_as_hex_ordered(int byte_order, int sum_len, const char *sum) {
  if (byte_order == 0) return nullptr;
  // Compared as a length: the doubled length of the reported test could overflow.
  if (sum_len > static_cast<int>(sizeof buf) / 2)
    report_assertion_failure("", 104, "const char *sum_as_hex(int, const char *, int)", "sum_len*2 < (int)sizeof buf");
  static const char digits[] = "0123456789abcdef";
  int k = 0;
  for (; k < sum_len; k++) {
    auto b = static_cast<unsigned char>(sum[byte_order < 0 ? k : sum_len - 1 - k]);
    buf[2 * k] = digits[b >> 4];
    buf[2 * k + 1] = digits[b & 0xf];
  }
  buf[2 * k] = '\0';
  return buf;
}
