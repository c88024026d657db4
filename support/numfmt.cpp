#include "numfmt.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "platform.h"

char group_separator;
char integer_text_ring[4][128];
int integer_text_slot;
char double_text_buffer[128];

namespace {

constexpr size_t kTextSize = sizeof integer_text_ring[0];

// Length of the digit form of num without a suffix: sign, digits and, at a non-zero level, separators.
size_t digit_text_length(int64_t num, int human) {
  size_t digits = 1;
  for (int64_t rest = num / 10; rest != 0; rest /= 10) digits++;
  return (num < 0 ? 1 : 0) + digits + (human != 0 ? (digits - 1) / 3 : 0);
}

void write_scaled(char *text, int64_t num, double multiplier) {
  double scaled = static_cast<double>(num) / multiplier;
  if (scaled < 0) scaled = -scaled;
  // The letter is chosen before rounding, and "P" takes whatever is left: 999999 by 1000 is 1000.00K.
  const char *unit = "KMGTP";
  while (scaled >= multiplier && unit[1] != '\0') {
    scaled /= multiplier;
    unit++;
  }
  snprintf(text, kTextSize, "%.2f%c", num < 0 ? -scaled : scaled, *unit);
}

}  // namespace

char group_separator_char(void) {
  if (group_separator != 0) return group_separator;
  char text[32];
  snprintf(text, sizeof text, "%f", 3.14);
  group_separator = strchr(text, '.') != nullptr ? ',' : '.';
  return group_separator;
}

char decimal_point_char(void) { return group_separator_char() == ',' ? '.' : ','; }

int time_of_day(struct timeval *tv) { return gettimeofday(tv, nullptr); }

int char_is_digit(const char *c) { return isdigit(static_cast<unsigned char>(*c)); }

const char *format_integer(int64_t num, int human, const char *suffix) {
  if (human != 0) group_separator_char();
  integer_text_slot = (integer_text_slot + 1) & 3;
  char *text = integer_text_ring[integer_text_slot];

  if (human > 1) {
    int64_t multiplier = human == 2 ? 1000 : 1024;
    if (num >= multiplier || num <= -multiplier) {
      write_scaled(text, num, static_cast<double>(multiplier));
      return text;
    }
  }

  // The digit form is built backwards, so that its NUL is always the buffer's last byte.
  char *start = text + kTextSize - 1;
  *start = '\0';
  if (suffix != nullptr) {
    size_t len = strlen(suffix);
    size_t room = kTextSize - 1 - digit_text_length(num, human);
    if (len > room) len = room;
    start -= len;
    strlcpy(start, suffix, len + 1);
  }
  int group = 0;
  bool negative = num < 0;
  if (num == 0) *--start = '0';
  if (negative) {
    // The last digit comes off before the negation, which keeps INT64_MIN in range.
    *--start = static_cast<char>('0' - num % 10);
    num = -(num / 10);
    group = 1;
  }
  while (num != 0) {
    if (human != 0) {
      if (group == 3) {
        *--start = group_separator;
        group = 1;
      } else {
        group++;
      }
    }
    *--start = static_cast<char>('0' + num % 10);
    num /= 10;
  }
  if (negative) *--start = '-';
  return start;
}

const char *format_double(double value, int human, int decimals) {
  snprintf(double_text_buffer, sizeof double_text_buffer, "%.*f", decimals, value);
  if (human == 0 || (value > -1000 && value < 1000)) return double_text_buffer;
  // NaN (which fails both tests above), the infinities and magnitudes from 2^63 on have no signed
  // 64-bit integer part to group or scale.
  if (!(value >= -0x1p63 && value < 0x1p63)) return double_text_buffer;

  const char *fraction = double_text_buffer + 1;
  while (char_is_digit(fraction)) fraction++;
  // The integer part is read back from the rendering rather than truncated from the value, so that a
  // rounding carry (1999.999 to two decimals is 2000.00) never shows as 1,999.00. It is summed
  // negatively because -2^63 has no positive counterpart.
  int64_t whole = 0;
  for (const char *p = double_text_buffer + (value < 0 ? 1 : 0); p < fraction; p++) whole = whole * 10 - (*p - '0');
  return format_integer(value < 0 ? whole : -whole, human, fraction);
}
