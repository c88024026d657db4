#include <gtest/gtest.h>

#include <cerrno>
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

}  // namespace
