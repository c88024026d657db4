#include <gtest/gtest.h>

#include <clocale>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "numfmt.h"

namespace {

constexpr int64_t kMin = INT64_MIN;
constexpr int64_t kMaxInt = INT64_MAX;

// Index of the ring buffer that holds `text`, or -1 when it lies in none.
int ring_index(const char *text) {
  for (int i = 0; i < 4; i++)
    if (text >= integer_text_ring[i] && text < integer_text_ring[i] + sizeof integer_text_ring[i]) return i;
  return -1;
}

const char *end_of(int slot) { return integer_text_ring[slot] + sizeof integer_text_ring[slot] - 1; }

TEST(FormatInteger, Table) {
  struct Case {
    int64_t num;
    int human;
    const char *suffix, *text;
  };
  const Case cases[] = {
      {1234567, 0, nullptr, "1234567"},
      {1234567, 1, nullptr, "1,234,567"},
      {1234567, 2, nullptr, "1.23M"},
      {1234567, 3, nullptr, "1.18M"},
      {1234567, -1, nullptr, "1,234,567"},
      {-1234567, 1, "B", "-1,234,567B"},
      {123456789, 1, "/s", "123,456,789/s"},
      {0, 1, "B", "0B"},
      {-1000, 1, nullptr, "-1,000"},
      {-1000, 2, nullptr, "-1.00K"},
      {999, 2, "x", "999x"},
      {1000, 2, "B", "1.00K"},
      {999, 3, nullptr, "999"},
      {1000, 3, nullptr, "1,000"},
      {1023, 3, "B", "1,023B"},
      {1024, 3, "B", "1.00K"},
      {-1023, 3, nullptr, "-1,023"},
      {1536, 3, nullptr, "1.50K"},
      {999999, 2, nullptr, "1000.00K"},
      {1048575, 3, nullptr, "1024.00K"},
      {1000000000, 2, nullptr, "1.00G"},
      {1000000000000000, 2, nullptr, "1.00P"},
      {1000000000000000000, 2, nullptr, "1000.00P"},
      {(int64_t{1} << 50) - 1, 3, nullptr, "1024.00T"},
      {int64_t{1} << 60, 3, nullptr, "1024.00P"},
      {kMaxInt, 1, nullptr, "9,223,372,036,854,775,807"},
      {kMaxInt, 2, nullptr, "9223.37P"},
      {kMaxInt, 3, nullptr, "8192.00P"},
      {kMin, 0, nullptr, "-9223372036854775808"},
      {kMin, 1, nullptr, "-9,223,372,036,854,775,808"},
      {kMin, 2, nullptr, "-9223.37P"},
      {kMin, 3, nullptr, "-8192.00P"},
      // Further cases.
      {0, 0, nullptr, "0"},
      {0, 0, "", "0"},
      {7, 1, "", "7"},
      {-7, 0, "s", "-7s"},
      {-999, 2, "x", "-999x"},
      {100, 1, nullptr, "100"},
      {-100000, 1, nullptr, "-100,000"},
      {1234567, INT_MIN, "B", "1,234,567B"},
      {kMin, -5, nullptr, "-9,223,372,036,854,775,808"},
      {1234567, 1000, nullptr, "1.18M"},
      {-1048576, 7, "B", "-1.00M"},
      {1073741824, 3, nullptr, "1.00G"},
  };
  for (auto [num, human, suffix, text] : cases) {
    SCOPED_TRACE(testing::Message() << num << " level " << human << " suffix " << (suffix ? suffix : "none"));
    const char *got = format_integer(num, human, suffix);
    EXPECT_STREQ(got, text);
    // A scaled text begins its buffer; a digit text ends at the buffer's last byte.
    int slot = ring_index(got);
    ASSERT_EQ(slot, integer_text_slot);
    if (std::strchr(text, ',') == nullptr && human > 1 && std::strpbrk(text, "KMGTP") != nullptr)
      EXPECT_EQ(got, integer_text_ring[slot]);
    else
      EXPECT_EQ(got + std::strlen(got), end_of(slot));
  }
}

TEST(FormatInteger, RingOfFourBuffers) {
  integer_text_slot = 0;  // as at process start
  const char *texts[4];
  const int64_t nums[4] = {1, 22, 1234567, 4444};
  const int levels[4] = {0, 1, 2, 1};
  for (int i = 0; i < 4; i++) {
    texts[i] = format_integer(nums[i], levels[i], "u");
    EXPECT_EQ(ring_index(texts[i]), (i + 1) & 3) << i;
    EXPECT_EQ(integer_text_slot, (i + 1) & 3);
  }
  EXPECT_STREQ(texts[0], "1u");
  EXPECT_STREQ(texts[1], "22u");
  EXPECT_STREQ(texts[2], "1.23M");
  EXPECT_STREQ(texts[3], "4,444u");
  const char *fifth = format_integer(5, 0, nullptr);
  EXPECT_EQ(ring_index(fifth), 1);
  EXPECT_STREQ(texts[1], "22u");
  EXPECT_STREQ(texts[2], "1.23M");
  EXPECT_STREQ(texts[3], "4,444u");
}

// A suffix longer than the room left by its number is cut at the buffer's end; the neighbouring
// buffers of the ring, which an overrun would reach first, keep their bytes.
TEST(FormatInteger, SuffixTooLongIsCutInsideItsBuffer) {
  struct Case {
    int64_t num;
    int human;
    size_t suffix_len, kept;
  };
  const Case cases[] = {
      {kMin, 1, 101, 101},  // the longest number with the longest suffix that always fits
      {kMin, 1, 102, 101},
      {kMin, 0, 200, 107},
      {0, 1, 126, 126},  // fits exactly: "0" and 126 characters
      {0, 1, 127, 126},
      {-5, 1, 5000, 125},
      {999, 2, 300, 124},
  };
  for (auto [num, human, suffix_len, kept] : cases) {
    SCOPED_TRACE(testing::Message() << num << " with a suffix of " << suffix_len);
    std::string suffix(suffix_len, 's');
    std::memset(integer_text_ring, '#', sizeof integer_text_ring);
    integer_text_slot = 1;  // the next call writes buffer 2, between buffers 1 and 3
    const char *got = format_integer(num, human, suffix.c_str());
    ASSERT_EQ(ring_index(got), 2);
    EXPECT_EQ(got + std::strlen(got), end_of(2));
    for (int other : {1, 3}) {
      EXPECT_EQ(std::string(integer_text_ring[other], 128), std::string(128, '#')) << other;
    }
    std::string text = got;
    EXPECT_EQ(text, format_integer(num, human, nullptr) + suffix.substr(0, kept));
  }
}

// Restores the separator of the C locale that the tables assume.
class SeparatorTest : public testing::Test {
 protected:
  void TearDown() override {
    std::setlocale(LC_NUMERIC, "C");
    group_separator = 0;
    group_separator_char();
  }
  static bool use_comma_decimal_point() {
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"})
      if (std::setlocale(LC_NUMERIC, name) != nullptr) return true;
    return false;
  }
};

TEST_F(SeparatorTest, DetectedOnceFromTheDecimalPoint) {
  group_separator = 0;
  EXPECT_STREQ(format_integer(1234, 0, nullptr), "1234");
  EXPECT_EQ(group_separator, 0) << "level 0 needs no separator";
  EXPECT_STREQ(format_integer(1234, 2, nullptr), "1.23K");
  EXPECT_EQ(group_separator, ',') << "every non-zero level detects it";
  EXPECT_EQ(decimal_point_char(), '.');

  // Once detected, the stored separator is the answer: nothing renders a number again.
  group_separator = '.';
  EXPECT_EQ(group_separator_char(), '.');
  EXPECT_EQ(decimal_point_char(), ',');
  EXPECT_STREQ(format_integer(1234567, 1, nullptr), "1.234.567");
}

TEST_F(SeparatorTest, CommaDecimalPointGivesADotSeparator) {
  if (!use_comma_decimal_point()) GTEST_SKIP() << "no locale with a comma as decimal point is installed";
  group_separator = 0;
  EXPECT_EQ(decimal_point_char(), ',');
  EXPECT_EQ(group_separator_char(), '.');
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(group_separator_char(), '.') << "a later change of locale changes nothing";
}

// The fraction is whatever follows the rendering's digits, so it keeps the locale's comma.
TEST_F(SeparatorTest, CommaDecimalPointFormatsDoublesWithDotGroups) {
  if (!use_comma_decimal_point()) GTEST_SKIP() << "no locale with a comma as decimal point is installed";
  group_separator = 0;
  ASSERT_EQ(group_separator_char(), '.');
  struct Case {
    double value;
    int human, decimals;
    const char *text;
  };
  const Case cases[] = {
      {1234.5, 1, 2, "1.234,50"},
      {-1234567.25, 1, 2, "-1.234.567,25"},
      {1234.0, 1, 0, "1.234"},
      {1536.75, 3, 2, "1,50K"},  // scaled by snprintf, in the locale
      {999.5, 1, 2, "999,50"},
  };
  for (auto [value, human, decimals, text] : cases) {
    SCOPED_TRACE(testing::Message() << value << " level " << human << " decimals " << decimals);
    EXPECT_STREQ(format_double(value, human, decimals), text);
  }
}

TEST(FormatDouble, Table) {
  struct Case {
    double value;
    int human, decimals;
    const char *text;
    bool in_ring;
  };
  const Case cases[] = {
      {1234.5, 0, 2, "1234.50", false},
      {1234.5, 1, 2, "1,234.50", true},
      {1234.5, 1, 1, "1,234.5", true},
      {-1234.56, 1, 2, "-1,234.56", true},
      {1234.0, 1, 0, "1,234", true},
      {1234567.0, 1, 3, "1,234,567.000", true},
      {1234.5, 1, -1, "1,234.500000", true},
      {1000.0, 1, 2, "1,000.00", true},
      {-1000.0, 1, 2, "-1,000.00", true},
      {999.999, 1, 2, "1000.00", false},
      {-999.5, 1, 2, "-999.50", false},
      {999.5, 2, 2, "999.50", false},
      {1000.5, 3, 2, "1,000.50", true},
      {1536.75, 3, 2, "1.50K", true},
      {1234567.891, 2, 2, "1.23M", true},
      // Further cases.
      {1e15, 0, 0, "1000000000000000", false},
      {-1234.5, -3, 1, "-1,234.5", true},
      {0x1p53, 1, 0, "9,007,199,254,740,992", true},
      {-0x1p63, 1, 2, "-9,223,372,036,854,775,808.00", true},
      {0x1p63 - 1024, 1, 0, "9,223,372,036,854,774,784", true},
      // Rounding that carries into the integer part shows the rendering's integer part.
      {1999.999, 1, 2, "2,000.00", true},
      {-1999.999, 1, 2, "-2,000.00", true},
      {1234.7, 1, 0, "1,235", true},
      {999999.9999, 1, 3, "1,000,000.000", true},
      {1999.999, 2, 2, "2.00K", true},
      {1023.999, 3, 2, "1.00K", true},
      {1023.4, 3, 0, "1,023", true},
  };
  for (auto [value, human, decimals, text, in_ring] : cases) {
    SCOPED_TRACE(testing::Message() << value << " level " << human << " decimals " << decimals);
    const char *got = format_double(value, human, decimals);
    EXPECT_STREQ(got, text);
    if (in_ring)
      EXPECT_EQ(ring_index(got), integer_text_slot);
    else
      EXPECT_EQ(got, double_text_buffer);
  }
}

// No signed 64-bit integer part: the C library's own rendering, whatever the level.
TEST(FormatDouble, NoIntegerPartGivesTheRendering) {
  const double values[] = {NAN, -NAN, INFINITY, -INFINITY, 0x1p63, -0x1p64, 1e300};
  for (double value : values) {
    for (int human : {1, 2, 3, -1}) {
      SCOPED_TRACE(testing::Message() << value << " level " << human);
      char want[128];
      std::snprintf(want, sizeof want, "%.*f", 2, value);
      EXPECT_EQ(format_double(value, human, 2), double_text_buffer);
      EXPECT_STREQ(double_text_buffer, want);
    }
  }
}

TEST(FormatDouble, LongRenderingIsCutAndStaysInItsBuffers) {
  std::memset(integer_text_ring, '#', sizeof integer_text_ring);
  integer_text_slot = 1;
  const char *got = format_double(1e20, 0, 200);
  EXPECT_EQ(std::strlen(got), 127u);
  EXPECT_EQ(std::string(got, 24), "100000000000000000000.00");
  got = format_double(123456.25, 1, 300);
  ASSERT_EQ(ring_index(got), 2);
  EXPECT_EQ(std::string(got).substr(0, 12), "123,456.2500");
  EXPECT_EQ(got + std::strlen(got), end_of(2));
  EXPECT_EQ(std::string(integer_text_ring[3], 128), std::string(128, '#'));
}

TEST(CharIsDigit, OnlyTheTenDecimalDigits) {
  for (int c = 0; c < 256; c++) {
    const char ch = static_cast<char>(c);
    EXPECT_EQ(char_is_digit(&ch) != 0, c >= '0' && c <= '9') << c;
  }
}

TEST(TimeOfDay, FillsTheRecord) {
  struct timeval tv = {-1, -1};
  time_t before = std::time(nullptr);
  ASSERT_EQ(time_of_day(&tv), 0);
  EXPECT_GE(tv.tv_sec, before);
  EXPECT_LE(tv.tv_sec, std::time(nullptr));
  EXPECT_GE(tv.tv_usec, 0);
  EXPECT_LT(tv.tv_usec, 1000000);
}

}  // namespace
