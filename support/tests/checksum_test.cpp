#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>

#include "alloc.h"
#include "alloc_internal.h"
#include "messages.h"

namespace {

// buf filled with a byte that no conversion writes, so that untouched bytes can be told apart.
class ChecksumTest : public testing::Test {
 protected:
  void SetUp() override { std::memset(buf, '#', sizeof buf); }
  static std::string rest_of_buf(size_t from) { return std::string(buf + from, sizeof buf - from); }
};

const char kCounting[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

TEST_F(ChecksumTest, PublicRoutineGivesNoTextAndReadsNothing) {
  for (int type : {0, 5, -1}) {
    for (int flag : {0, 1, -1}) {
      SCOPED_TRACE(testing::Message() << "type " << type << " flag " << flag);
      EXPECT_EQ(sum_as_hex(type, nullptr, flag), nullptr);
      EXPECT_EQ(sum_as_hex(type, kCounting, flag), nullptr);
      EXPECT_EQ(rest_of_buf(0), std::string(sizeof buf, '#'));
    }
  }
}

TEST(ChecksumLength, SixteenUnlessTypeZeroWithAFlag) {
  struct Case {
    int type, flag, len;
  };
  const Case cases[] = {{0, 0, 16}, {0, 1, 1}, {0, -1, 1}, {5, 0, 16}, {5, 1, 16}, {-1, 0, 16}, {-1, -1, 16}};
  for (auto [type, flag, len] : cases) {
    SCOPED_TRACE(testing::Message() << "type " << type << " flag " << flag);
    EXPECT_EQ(checksum_length(type, flag), len);
  }
}

TEST_F(ChecksumTest, ConversionInBothOrders) {
  struct Case {
    int order, len;
    const char *sum, *text;
  };
  const Case cases[] = {
      {-1, 16, kCounting, "000102030405060708090a0b0c0d0e0f"},
      {1, 16, kCounting, "0f0e0d0c0b0a09080706050403020100"},
      {-7, 4, "\xab\xff\x80\x7f", "abff807f"},
      {7, 4, "\xab\xff\x80\x7f", "7f80ffab"},
      {-1, 1, "\x80", "80"},
      {1, 1, "\x09", "09"},
      {-1, 0, nullptr, ""},
      {1, -4, nullptr, ""},
  };
  for (auto [order, len, sum, text] : cases) {
    SCOPED_TRACE(testing::Message() << "order " << order << " length " << len);
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(sum_as_hex_ordered(order, len, sum), buf);
    EXPECT_STREQ(buf, text);
    // Only the digits and their NUL are written; a full checksum fills buf exactly.
    size_t end = std::strlen(text) + 1;
    EXPECT_EQ(rest_of_buf(end), std::string(sizeof buf - end, '#'));
  }
}

TEST_F(ChecksumTest, ByteOrderZeroIsNullWhateverTheLength) {
  for (int len : {16, 17, 1 << 30}) {
    EXPECT_EQ(sum_as_hex_ordered(0, len, nullptr), nullptr);
    EXPECT_EQ(rest_of_buf(0), std::string(sizeof buf, '#'));
  }
}

TEST(ChecksumDeathTest, TooLongForBufFailsTheAssertion) {
  static const char sum[64] = {};
  const std::string report = ":104: .*const char \\*sum_as_hex\\(int, const char \\*, int\\).*sum_len\\*2 < \\(int\\)sizeof buf";
  for (int len : {17, 64, 1 << 30, 0x7fffffff}) {
    SCOPED_TRACE(len);
    EXPECT_EXIT(sum_as_hex_ordered(-1, len, sum), testing::KilledBySignal(SIGABRT), report);
  }
}

}  // namespace
