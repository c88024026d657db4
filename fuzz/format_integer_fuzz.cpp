// Any number, level and suffix. The text must lie inside the ring buffer that the call advanced to and
// leave the other three alone; a digit text ends at the buffer's last byte and, at levels 0 and 1,
// equals the C library's digits, grouped by a plain model, and the suffix cut to what fits; a scaled
// text starts the buffer and reads back as the number within its rounding.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <cmath>
#include <string>

#include "input.h"
#include "numfmt.h"

namespace {

constexpr size_t kSize = sizeof integer_text_ring[0];

std::string grouped(int64_t num, bool group) {
  char digits[32];
  snprintf(digits, sizeof digits, "%lld", static_cast<long long>(num));
  std::string d = digits[0] == '-' ? digits + 1 : digits, out;
  for (size_t i = 0; i < d.size(); i++) {
    if (group && i > 0 && (d.size() - i) % 3 == 0) out += ',';
    out += d[i];
  }
  return (num < 0 ? "-" : "") + out;
}

void check_scaled(const char *text, int64_t num, int human) {
  double m = human == 2 ? 1000 : 1024;
  char *end;
  double shown = strtod(text, &end);
  const char *letters = "KMGTP";
  const char *letter = end[0] != '\0' ? strchr(letters, end[0]) : nullptr;
  if (letter == nullptr || end[1] != '\0' || end == text) abort();
  // Two decimals after the ladder chose the letter: off by at most half a hundredth of the unit.
  double unit = std::pow(m, static_cast<double>(letter - letters + 1));
  if (std::fabs(shown * unit - static_cast<double>(num)) > 0.0051 * unit) abort();
  if (letter[1] != '\0' && std::fabs(shown) > m) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // number (8 bytes), level (1, signed), whether there is a suffix (1), the suffix up to a NUL
  FuzzInput in{data, size};
  int64_t num = in.take<int64_t>();
  int human = in.take<int8_t>();
  bool has_suffix = in.take<uint8_t>() & 1;
  std::string suffix = in.rest();
  group_separator = ',';

  char before[4][kSize];
  memcpy(before, integer_text_ring, sizeof before);
  int slot = (integer_text_slot + 1) & 3;
  const char *text = format_integer(num, human, has_suffix ? suffix.c_str() : nullptr);

  if (integer_text_slot != slot) abort();
  const char *mine = integer_text_ring[slot];
  if (text < mine || text >= mine + kSize) abort();
  if (memchr(text, '\0', static_cast<size_t>(mine + kSize - text)) == nullptr) abort();
  for (int i = 0; i < 4; i++)
    if (i != slot && memcmp(before[i], integer_text_ring[i], kSize) != 0) abort();

  int64_t m = human == 2 ? 1000 : 1024;
  if (human > 1 && (num >= m || num <= -m)) {
    if (text != mine) abort();
    check_scaled(text, num, human);
    return 0;
  }
  if (text + strlen(text) != mine + kSize - 1) abort();
  std::string number = grouped(num, human != 0);
  std::string tail = has_suffix ? suffix.c_str() : "";
  std::string want = number + tail.substr(0, kSize - 1 - number.size());
  if (want != text) abort();
  return 0;
}
