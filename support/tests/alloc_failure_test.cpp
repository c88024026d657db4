// Requests that the platform allocator cannot meet. A separate program, because AddressSanitizer must
// be told to answer them with null instead of ending the process.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "alloc.h"
#include "output_capture.h"

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ASAN 1
#endif
#endif

#ifdef UNDER_ASAN
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace {

#ifdef UNDER_ASAN
// The sanitizer's allocator warns before it answers null to a request beyond its largest size.
const char kAllocatorWarning[] = "==[0-9]+==WARNING: AddressSanitizer failed to allocate 0x[0-9a-f]+ bytes\n";
#else
const char kAllocatorWarning[] = "";
#endif

constexpr size_t kHuge = size_t{1} << 62;  // more than any machine here can give, still in range

enum class Old { kNone, kMarker, kBlock };

struct Case {
  const char *name;
  Old old;
  size_t count, size;
};
const Case kCases[] = {
    {"new block", Old::kNone, 1, kHuge},
    {"zero-filled block", Old::kMarker, 2, kHuge},
    {"zero-filled, product beyond 64 bits", Old::kMarker, kHuge, 8},
    {"resize", Old::kBlock, kHuge, 1},
};

void *held_block;  // reachable at exit in a death-test child

void *old_block(Old old) {
  switch (old) {
    case Old::kNone:
      return nullptr;
    case Old::kMarker:
      return zeroed_alloc_marker;
    case Old::kBlock:
      held_block = std::malloc(32);
      std::memset(held_block, 0x3c, 32);
      return held_block;
  }
  return nullptr;
}

TEST(AllocFailure, WithoutSourceFileIsNullAndTheOldBlockStays) {
  for (auto &c : kCases) {
    SCOPED_TRACE(c.name);
    void *old = old_block(c.old);
    EXPECT_EQ(my_alloc(old, c.count, c.size, nullptr, 0), nullptr);
    if (c.old == Old::kBlock) {
      const unsigned char *p = static_cast<unsigned char *>(old);
      for (int i = 0; i < 32; i++) ASSERT_EQ(p[i], 0x3c) << i;
      std::free(old);
    }
  }
}

TEST(AllocFailureDeathTest, WithSourceFileIsTheOutOfMemoryReport) {
  for (auto &c : kCases) {
    SCOPED_TRACE(c.name);
    output_capture::expect_fatal(
        [&] {
          source_path_prefix = "/src/tree/x";
          source_prefix_len = -1;
          my_alloc(old_block(c.old), c.count, c.size, "/src/tree/lib/buf.c", 314);
        },
        22, "[tester] out of memory: my_alloc caller (file=lib/buf.c, line=314)\nexit(22): (123)\n", kAllocatorWarning);
  }
}

}  // namespace
