#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "alloc.h"
#include "output_capture.h"

namespace {

using output_capture::expect_fatal;
using output_capture::run_captured;
using output_capture::Written;

constexpr size_t kMax = SIZE_MAX;

// Keeps a block reachable in a death-test child, so that the leak checker has nothing to report at exit.
void *held_block;

// Every test starts from the settings of the programs (no ceiling, no prefix) and leaves them so.
class AllocTest : public testing::Test {
 protected:
  void TearDown() override {
    max_alloc_limit = 0;
    source_path_prefix = "";
    source_prefix_len = -1;
  }
};

// Fills a block so that a short one shows up under the sanitizers, and checks what a copy kept.
void fill(void *block, size_t bytes, unsigned char byte) { std::memset(block, byte, bytes); }
bool all_bytes(const void *block, size_t bytes, unsigned char byte) {
  auto p = static_cast<const unsigned char *>(block);
  for (size_t i = 0; i < bytes; i++)
    if (p[i] != byte) return false;
  return true;
}

TEST_F(AllocTest, CeilingLetsARequestPassOnlyWhileOneMoreElementFits) {
  struct Case {
    size_t size, count;
    bool passes;
  };
  const Case cases[] = {
      {1, 99, true},   {1, 100, false}, {3, 32, true},  {3, 33, false},    {100, 0, true},
      {100, 1, false}, {101, 0, false}, {0, 0, false},  {0, kMax, false},  {1, kMax, false},
      {50, 1, true},   {50, 2, false},  {kMax, 0, false},
  };
  max_alloc_limit = 100;
  for (auto [size, count, passes] : cases) {
    SCOPED_TRACE(testing::Message() << "size " << size << " count " << count);
    for (void *old : {static_cast<void *>(nullptr), zeroed_alloc_marker}) {
      void *block = my_alloc(old, count, size, nullptr, 0);
      EXPECT_EQ(block != nullptr, passes);
      if (block != nullptr) fill(block, count * size, 0x5a);
      std::free(block);
    }
  }
}

TEST_F(AllocTest, NoCeilingRefusesNothing) {
  const size_t sizes[][2] = {{kMax, 0}, {0, kMax}, {0, 0}, {1 << 20, 1}, {1, 1}};
  for (auto [count, size] : sizes) {
    SCOPED_TRACE(testing::Message() << count << " x " << size);
    void *block = my_alloc(nullptr, count, size, "a.c", 1);
    ASSERT_NE(block, nullptr);
    fill(block, count * size, 0x11);
    std::free(block);
  }
}

TEST_F(AllocTest, ResizeKeepsTheContentsAndObeysTheCeiling) {
  auto *block = static_cast<unsigned char *>(my_alloc(nullptr, 50, 1, "a.c", 1));
  fill(block, 50, 0xa5);
  block = static_cast<unsigned char *>(my_alloc(block, 99, 1, "a.c", 2));
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(all_bytes(block, 50, 0xa5));
  fill(block, 99, 0xa6);

  // Refused at the ceiling, even for the size the block already has; the block stays the caller's.
  max_alloc_limit = 100;
  EXPECT_EQ(my_alloc(block, 100, 1, nullptr, 3), nullptr);
  EXPECT_EQ(my_alloc(block, 99, 2, nullptr, 4), nullptr);
  block = static_cast<unsigned char *>(my_alloc(block, 99, 1, nullptr, 5));
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(all_bytes(block, 99, 0xa6));
  std::free(block);
}

// realloc releases a block asked to shrink to nothing and answers null, which a caller would take for
// a failure that left the block its own.
TEST_F(AllocTest, ResizeToZeroBytesGivesABlockAndIsNoFailure) {
  const size_t shapes[][2] = {{0, 1}, {5, 0}};
  for (auto [count, size] : shapes) {
    SCOPED_TRACE(testing::Message() << count << " x " << size);
    void *block = my_alloc(nullptr, 16, 1, nullptr, 0);
    fill(block, 16, 1);
    block = my_alloc(block, count, size, "a.c", 7);  // would be fatal if taken for a failure
    ASSERT_NE(block, nullptr);
    block = my_alloc(block, count, size, nullptr, 0);
    ASSERT_NE(block, nullptr);
    std::free(block);  // the only release: a double free shows under the sanitizers
  }
}

TEST_F(AllocTest, RefusalWithoutAFileNameWritesNothing) {
  max_alloc_limit = 100;
  void *held = my_alloc(nullptr, 10, 1, nullptr, 0);
  ASSERT_NE(held, nullptr);
  fill(held, 10, 0x3c);
  const size_t shapes[][2] = {{100, 1}, {33, 3}, {1, kMax}};
  for (void *old : {static_cast<void *>(nullptr), zeroed_alloc_marker, held})
    for (auto [count, size] : shapes) {
      SCOPED_TRACE(testing::Message() << (old == nullptr ? "new" : old == held ? "resize" : "zeroed") << ", " << count
                                      << " x " << size);
      void *got = &got;
      Written w = run_captured([&] { got = my_alloc(old, count, size, nullptr, 7); });
      EXPECT_EQ(got, nullptr);
      EXPECT_EQ(w.out, "");
      EXPECT_EQ(w.err, "");
    }
  EXPECT_TRUE(all_bytes(held, 10, 0x3c));
  std::free(held);
}

TEST_F(AllocTest, MarkerGivesANewZeroFilledBlock) {
  // A block released just before is likely to be handed out again, dirty, to a plain malloc.
  void *dirty = std::malloc(512);
  fill(dirty, 512, 0xee);
  std::free(dirty);
  void *block = my_alloc(zeroed_alloc_marker, 64, 8, "a.c", 1);
  ASSERT_NE(block, nullptr);
  EXPECT_NE(block, zeroed_alloc_marker);
  EXPECT_TRUE(all_bytes(block, 512, 0));
  EXPECT_STREQ(static_cast<const char *>(zeroed_alloc_marker), "42");
  std::free(block);
}

TEST_F(AllocTest, ProductBeyond64BitsIsAFailureNotAShortBlock) {
  const size_t half = size_t{1} << 32;  // half × half wraps to 0; 2^63 + 1 times 2 wraps to 2
  const size_t shapes[][2] = {{half, half}, {(size_t{1} << 63) + 1, 2}, {kMax, kMax}};
  for (auto [count, size] : shapes) {
    SCOPED_TRACE(testing::Message() << count << " x " << size);
    EXPECT_EQ(my_alloc(nullptr, count, size, nullptr, 0), nullptr);
    void *block = my_alloc(nullptr, 8, 1, nullptr, 0);
    fill(block, 8, 0x77);
    EXPECT_EQ(my_alloc(block, count, size, nullptr, 0), nullptr);
    EXPECT_TRUE(all_bytes(block, 8, 0x77));
    std::free(block);
  }
}

TEST_F(AllocTest, StripSourcePrefixCutsTheDirectoryPart) {
  struct Case {
    const char *prefix, *file;
    size_t cut;
    int len;
  };
  const Case cases[] = {
      {"", "src/a.c", 0, 0},
      {"src", "src/a.c", 0, 0},  // no '/': nothing to cut
      {"src/", "src/a.c", 4, 4},
      {"src/x.c", "src/a.c", 4, 4},
      {"src/x.c", "src/", 4, 4},  // the file name is the directory part: ""
      {"src/x.c", "srcx/a.c", 0, 4},
      {"src/x.c", "Src/a.c", 0, 4},
      {"src/x.c", "src", 0, 4},  // shorter than the directory part
      {"/home/u/proj/main.c", "/home/u/proj/lib/a.c", 13, 13},
      {"/home/u/proj/main.c", "/home/u/other/a.c", 0, 13},
      {"/", "/a.c", 1, 1},
      {"a//", "a//b", 3, 3},
  };
  for (auto [prefix, file, cut, len] : cases) {
    SCOPED_TRACE(testing::Message() << prefix << " " << file);
    source_path_prefix = prefix;
    source_prefix_len = -1;
    EXPECT_EQ(strip_source_prefix(file), file + cut);
    EXPECT_EQ(source_prefix_len, len);
    EXPECT_EQ(strip_source_prefix(file), file + cut);
  }
}

// The directory length is measured on the first call only: a prefix set later is compared on that length.
TEST_F(AllocTest, StripSourcePrefixKeepsTheFirstLength) {
  source_path_prefix = "src/x.c";
  source_prefix_len = -1;
  const char *first = "src/a.c";
  ASSERT_EQ(strip_source_prefix(first), first + 4);
  source_path_prefix = "longer/dir/x.c";
  const char *same_start = "longer/dir/a.c", *other = "lonXX";
  EXPECT_EQ(strip_source_prefix(same_start), same_start + 4);
  EXPECT_EQ(strip_source_prefix(other), other);
  EXPECT_EQ(source_prefix_len, 4);
}

TEST(AllocDeathTest, FatalReportsEndWithTheTraceAndStatus22) {
  struct Case {
    const char *name;
    std::function<void()> call;
    std::string err;
  };
  const Case cases[] = {
      {"out of memory", [] { fatal_out_of_memory("table", "src/x.c", 12); },
       "[tester] out of memory: table (file=src/x.c, line=12)\nexit(22): (123)\n"},
      {"buffer overflow", [] { fatal_buffer_overflow("name %s", "a.c", -3); },
       "[tester] buffer overflow: name %s (file=a.c, line=-3)\nexit(22): (129)\n"},
      {"prefix cut",
       [] {
         source_path_prefix = "/build/src/main.c";
         source_prefix_len = -1;
         fatal_buffer_overflow("path", "/build/src/lib/p.c", 9);
       },
       "[tester] buffer overflow: path (file=lib/p.c, line=9)\nexit(22): (129)\n"},
      {"product beyond 64 bits",
       [] { my_alloc(nullptr, size_t{1} << 32, size_t{1} << 32, "wrap.c", 5); },
       "[tester] out of memory: my_alloc caller (file=wrap.c, line=5)\nexit(22): (123)\n"},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    expect_fatal(c.call, 22, c.err);
  }
}

TEST(AllocDeathTest, RefusalReportsTheCeilingAndTheCaller) {
  enum Old { kNew, kZeroed, kResize };
  struct Case {
    size_t limit;
    Old old;
    size_t count, size;
    const char *ceiling;
  };
  const Case cases[] = {
      {100, kNew, 100, 1, "100"},
      {100, kResize, 33, 3, "100"},
      {4096, kZeroed, 0, 0, "4096"},
      {SIZE_MAX, kNew, SIZE_MAX, 1, "18446744073709551615"},  // beyond format_integer's signed range
      {size_t{1} << 63, kResize, 1, size_t{1} << 63, "9223372036854775808"},
  };
  for (auto c : cases) {
    SCOPED_TRACE(testing::Message() << "ceiling " << c.ceiling << ", " << c.count << " x " << c.size);
    expect_fatal(
        [&] {
          max_alloc_limit = c.limit;
          source_path_prefix = "src/";
          source_prefix_len = -1;
          void *old = c.old == kNew ? nullptr : c.old == kZeroed ? zeroed_alloc_marker : (held_block = std::malloc(10));
          my_alloc(old, c.count, c.size, "src/io.c", 7);
        },
        22, std::string("[tester] exceeded --max-alloc=") + c.ceiling + " setting (file=io.c, line=7)\nexit(22): (80)\n");
  }
}

}  // namespace
