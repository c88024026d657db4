#include <gtest/gtest.h>

#include <string>

#include "clip.h"

namespace {

struct Case {
  const char *in, *out;
};

constexpr Case kCases[] = {
    {"", ""},       {"/", "/"},     {"//", "/"},     {"///", "/"},      {"a", "a"},
    {"a/", "a"},    {"a//", "a"},   {"/a", "/a"},    {"/a/", "/a"},     {"a/b//", "a/b"},
    {"a//b", "a//b"}, {"./", "."},  {"a/ ", "a/ "},  {"-/", "-"},       {"a\\", "a\\"},
    {"//a//b///", "//a//b"},        {"\\/", "\\"},   {"\xff/", "\xff"},
};

TEST(ClipTrailingSlashes, Table) {
  for (auto [in, out] : kCases) {
    SCOPED_TRACE(in);
    std::string s = in;
    clip_trailing_slashes(s.data());
    EXPECT_STREQ(s.c_str(), out);
  }
}

// The removed slashes become NULs, the last first, and nothing in front of them moves; the byte
// behind the original end is never touched.
TEST(ClipTrailingSlashes, OverwritesRemovedSlashesWithNul) {
  char text[] = {'a', '/', '/', '/', '\0', 'x'};
  clip_trailing_slashes(text);
  const char want[] = {'a', '\0', '\0', '\0', '\0', 'x'};
  EXPECT_EQ(std::string(text, sizeof text), std::string(want, sizeof want));

  char slashes[] = {'/', '/', '/', '\0', 'x'};
  clip_trailing_slashes(slashes);
  const char want_slashes[] = {'/', '\0', '\0', '\0', 'x'};
  EXPECT_EQ(std::string(slashes, sizeof slashes), std::string(want_slashes, sizeof want_slashes));
}

TEST(ClipTrailingSlashes, LongText) {
  std::string s(1 << 20, 'a');
  s.append(1000, '/');
  clip_trailing_slashes(s.data());
  EXPECT_EQ(s.find('\0'), size_t{1} << 20);
  EXPECT_EQ(s.find_first_not_of('\0', size_t{1} << 20), std::string::npos);
}

}  // namespace
