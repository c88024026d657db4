#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "devnum.h"

namespace {

struct Case {
  uint64_t dev;
  const char *line;
};

constexpr Case kCases[] = {
    {0x803, "8/3"},
    {(uint64_t{1} << 19) | (uint64_t{1} << 7), "2048/128"},
    {~uint64_t{0}, "4294967295/4294967295"},
    {(uint64_t{1} << 20) | (uint64_t{1} << 44), "4096/256"},
    {0, "0/0"},
    {uint64_t{1} << 63, "2147483648/0"},
    {uint64_t{1} << 43, "0/2147483648"},
    {0xfe00, "254/0"},
};

// Printed the way majmin prints them, so that a number of 2^31 or more is seen to stay positive.
TEST(DeviceSplit, Table) {
  for (auto [dev, line] : kCases) {
    SCOPED_TRACE(line);
    char text[64];
    snprintf(text, sizeof text, "%ld/%ld", static_cast<long>(dev_major(dev)), static_cast<long>(dev_minor(dev)));
    EXPECT_STREQ(text, line);
  }
}

}  // namespace
