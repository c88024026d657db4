// The layer's static state as the process starts, before any call has touched it. A program of its
// own, so that no other test can have run first in the same process.
#include <gtest/gtest.h>

#include <string>

#include "alloc.h"
#include "numfmt.h"

namespace {

TEST(StartState, AsTheProcessBegins) {
  EXPECT_EQ(group_separator, 0) << "the separator is detected on first use, not before";
  EXPECT_EQ(source_prefix_len, -1);
  EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, '\0'));
  EXPECT_EQ(sum_as_hex(0, nullptr, 0), nullptr);
  EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, '\0'));

  // The first four texts land in buffers 1, 2, 3 and 0 of the ring.
  for (int want : {1, 2, 3, 0}) {
    const char *text = format_integer(want, 0, nullptr);
    EXPECT_EQ(text + 2, integer_text_ring[want] + sizeof integer_text_ring[want]) << want;
  }
}

}  // namespace
