// Any double, level and decimals. The text must be NUL-terminated inside double_text_buffer or a ring
// buffer; at level 1 it must be the C library's rendering with separators put in, so taking them out
// gives the rendering back, whatever the magnitude or rounding.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "input.h"
#include "numfmt.h"

namespace {

bool inside(const char *text, const char *buffer, size_t size) {
  return text >= buffer && text < buffer + size && memchr(text, '\0', static_cast<size_t>(buffer + size - text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // value (8 bytes, any bit pattern), level (1, signed), decimals (1, taken as -1 to 20)
  FuzzInput in{data, size};
  double value = in.take<double>();
  int human = in.take<int8_t>();
  int decimals = in.take<uint8_t>() % 22 - 1;
  group_separator = ',';

  const char *text = format_double(value, human, decimals);

  bool in_ring = false;
  for (auto &b : integer_text_ring) in_ring |= inside(text, b, sizeof b);
  if (!in_ring && !inside(text, double_text_buffer, sizeof double_text_buffer)) abort();

  char rendering[128];
  snprintf(rendering, sizeof rendering, "%.*f", decimals, value);
  std::string shown = text;
  if (human == 1) {
    std::string plain;
    for (char c : shown)
      if (c != ',') plain += c;
    if (plain != rendering) abort();
  } else if (human == 0 && shown != rendering) {
    abort();
  }
  return 0;
}
