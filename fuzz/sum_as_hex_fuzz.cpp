// Any checksum bytes, byte order and length up to 16. The text must decode back to the bytes in the
// order asked for, end with a NUL behind the last digit and leave the rest of buf alone; byte order 0
// gives null and touches nothing.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "alloc.h"
#include "alloc_internal.h"
#include "input.h"

namespace {

int nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // byte order (1, signed), length (1, taken as -2 to 16), the checksum bytes
  FuzzInput in{data, size};
  int order = in.take<int8_t>();
  int len = in.take<uint8_t>() % 19 - 2;
  std::string rest = in.rest();
  // Exactly the bytes the length covers, so that any read past them is caught.
  std::vector<uint8_t> bytes(len > 0 ? static_cast<size_t>(len) : 0);
  for (size_t i = 0; i < bytes.size() && i < rest.size(); i++) bytes[i] = static_cast<uint8_t>(rest[i]);
  std::vector<char> sum(bytes.begin(), bytes.end());

  char before[sizeof buf];
  memcpy(before, buf, sizeof buf);
  const char *text = sum_as_hex_ordered(order, len, sum.data());

  if (order == 0) {
    if (text != nullptr || memcmp(before, buf, sizeof buf) != 0) abort();
    return 0;
  }
  size_t n = bytes.size();
  if (text != buf || strlen(buf) != 2 * n) abort();
  for (size_t k = 0; k < n; k++) {
    uint8_t want = bytes[order < 0 ? k : n - 1 - k];
    if (nibble(buf[2 * k]) * 16 + nibble(buf[2 * k + 1]) != want) abort();
  }
  if (memcmp(buf + 2 * n + 1, before + 2 * n + 1, sizeof buf - 2 * n - 1) != 0) abort();
  // Vary what stands behind the next text.
  memset(buf, 'x', sizeof buf - 1);
  return 0;
}
