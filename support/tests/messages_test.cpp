#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "messages.h"
#include "output_capture.h"

namespace {

using output_capture::expect_fatal;
using output_capture::run_captured;
using output_capture::Written;

std::string described(int errnum) { return std::strerror(errnum); }

TEST(ReportMessage, WritesTheFormattedTextAloneOnStandardError) {
  for (int msg_class : {0, 3, -7, 1 << 30}) {
    SCOPED_TRACE(msg_class);
    Written w = run_captured([&] {
      report_message(msg_class, "%s=%d", "a", 1);
      report_message(msg_class, "[%5.2f|%%]", 2.5);
    });
    EXPECT_EQ(w.err, "a=1[ 2.50|%]");  // no prefix and no newline of its own
    EXPECT_EQ(w.out, "");
  }
}

TEST(ReportSysError, DescribesTheNumberItIsGivenNotErrno) {
  struct Case {
    int errnum, errno_before;
  };
  const Case cases[] = {{EACCES, 0}, {EACCES, ENOENT}, {ENOENT, EACCES}, {0, EIO}, {9999, 0}, {-5, 0}};
  for (auto [errnum, errno_before] : cases) {
    SCOPED_TRACE(errnum);
    for (int msg_class : {0, 3, 42}) {
      Written w = run_captured([&] {
        errno = errno_before;
        report_sys_error(msg_class, errnum, "cannot open %s", "f");
      });
      EXPECT_EQ(w.err, "ormix: cannot open f: " + described(errnum) + " (" + std::to_string(errnum) + ")\n");
      EXPECT_EQ(w.out, "");
    }
  }
}

TEST(ReportSysError, EmptyFormatAndNewlineInFormat) {
  const char *empty = "";
  const std::string suffix = described(EIO) + " (" + std::to_string(EIO) + ")\n";
  EXPECT_EQ(run_captured([&] { report_sys_error(3, EIO, empty); }).err, "ormix: : " + suffix);
  EXPECT_EQ(run_captured([] { report_sys_error(3, EIO, "a\nb"); }).err, "ormix: a\nb: " + suffix);
}

TEST(ExitWithTraceDeathTest, WritesTheTraceAndExitsWithTheStatus) {
  struct Case {
    int status;
    const char *file;
    int line;
    const char *trace;
  };
  const Case cases[] = {
      {22, "", 80, "exit(22): (80)\n"},
      {3, "src/a.c", -1, "exit(3): src/a.c(-1)\n"},
      {0, "%d", 0, "exit(0): %d(0)\n"},
  };
  for (auto c : cases) {
    SCOPED_TRACE(c.trace);
    expect_fatal([&] { exit_with_trace(c.status, c.file, c.line); }, c.status, c.trace);
  }
}

// The hooks never read their arguments: any pointer value, valid or not, must do.
int some_object;
const void *const kPointers[] = {nullptr, &some_object, reinterpret_cast<const void *>(uintptr_t{1}),
                                 reinterpret_cast<const void *>(UINTPTR_MAX)};
const int kInts[] = {0, 1, -1, INT_MIN, INT_MAX};

TEST(FixedHooks, AnswerTheSameWhateverTheArguments) {
  for (const void *p : kPointers)
    for (const void *q : kPointers) {
      SCOPED_TRACE(testing::Message() << p << ", " << q);
      EXPECT_EQ(fixed_minus_one_2args(p, q), -1);
      for (int n : kInts)
        for (int m : kInts) EXPECT_EQ(fixed_zero_4args(p, n, q, m), 0) << n << ", " << m;
    }
  for (int n : kInts) {
    SCOPED_TRACE(n);
    EXPECT_EQ(fixed_null_pointer(n), nullptr);
    EXPECT_EQ(fixed_zero_1arg(n), 0);
  }
}

TEST(FixedHooks, RoleNameIsOneTextAtOneAddress) {
  const char *first = program_role_name();
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first, "tester");
  for (int i = 0; i < 3; i++) EXPECT_EQ(program_role_name(), first) << i;
}

TEST(FixedHooks, EmptyHooksTouchNoStreamAndNoErrno) {
  struct Hook {
    const char *name;
    void (*call)(const void *);
  };
  const Hook hooks[] = {
      {"ignore_pointer_a", ignore_pointer_a},
      {"ignore_pointer_b", ignore_pointer_b},
      {"do_nothing", [](const void *) { do_nothing(); }},
  };
  for (auto [name, call] : hooks)
    for (const void *p : kPointers)
      for (int errno_before : {0, EDOM}) {
        SCOPED_TRACE(testing::Message() << name << "(" << p << "), errno " << errno_before);
        int errno_after = -1;
        Written w = run_captured([&] {
          errno = errno_before;
          call(p);
          errno_after = errno;
        });
        EXPECT_EQ(errno_after, errno_before);
        EXPECT_EQ(w.out, "");
        EXPECT_EQ(w.err, "");
      }
}

}  // namespace
