#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

using testing_support::Options;
using testing_support::Outcome;
using testing_support::run_program;
using testing_support::Stdout;

const char kUsage[] = "pathclip: needs at least one argument\n";

struct Case {
  std::vector<std::string> args;
  std::string out, err;
  int status;
};

void expect_run(const Case &c, const Options &opt = {}) {
  Outcome r = run_program(PATHCLIP_PATH, c.args, opt);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.status, c.status);
}

std::string describe(const std::vector<std::string> &args) {
  std::string s;
  for (auto &a : args) s += "[" + a + "]";
  return s;
}

TEST(Pathclip, PrintsEachArgumentClipped) {
  const Case cases[] = {
      {{""}, "\n", "", 0},
      {{"/"}, "/\n", "", 0},
      {{"//"}, "/\n", "", 0},
      {{"///"}, "/\n", "", 0},
      {{"a"}, "a\n", "", 0},
      {{"a/"}, "a\n", "", 0},
      {{"a//"}, "a\n", "", 0},
      {{"/a"}, "/a\n", "", 0},
      {{"/a/"}, "/a\n", "", 0},
      {{"a/b//"}, "a/b\n", "", 0},
      {{"a//b"}, "a//b\n", "", 0},
      {{"./"}, ".\n", "", 0},
      {{"a/ "}, "a/ \n", "", 0},
      {{"-/"}, "-\n", "", 0},
      {{"--help"}, "--help\n", "", 0},
      {{"a\\"}, "a\\\n", "", 0},
      {{"100%s%n%%/"}, "100%s%n%%\n", "", 0},
      {{"\x01\xff\t/"}, "\x01\xff\t\n", "", 0},
      {{"a/", "//", ""}, "a\n/\n\n", "", 0},
      {{"x/", "x/"}, "x\nx\n", "", 0},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(describe(c.args));
    expect_run(c);
  }
}

TEST(Pathclip, NoArgumentIsAUsageError) { expect_run({{}, "", kUsage, 1}); }

TEST(Pathclip, ArgumentCountOfZeroIsAUsageError) {
  if (!testing_support::can_start_without_arguments())
    GTEST_SKIP() << "the emulator always passes the program one argument";
  Outcome r = testing_support::run_program_without_arguments(PATHCLIP_PATH);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, kUsage);
  EXPECT_EQ(r.status, 1);
}

TEST(Pathclip, ManyAndLongArguments) {
  Case c{{}, "", "", 0};
  for (int i = 0; i < 8000; i++) {
    std::string dir = "dir" + std::to_string(i) + "/sub";
    c.args.push_back(dir + std::string(i % 4, '/'));
    c.out += dir + "\n";
  }
  std::string long_name(100000, 'n');
  c.args.push_back(long_name + "////");
  c.out += long_name + "\n";
  expect_run(c);
}

TEST(Pathclip, LostOutputIsAnError) {
  struct WriteCase {
    const char *name;
    Stdout out;
    std::vector<std::string> args;
    std::string err;
    int status;
  };
  // Larger than any stdio buffer: its write fails before the end and leaves the buffer empty, so
  // nothing is left to fail at exit; a line after it is.
  const std::string big(20000, 'b');
  const WriteCase cases[] = {
      {"full device", Stdout::kDevFull, {"a/"}, "pathclip: write error: No space left on device\n", 1},
      {"full device, nothing left at exit", Stdout::kDevFull, {big}, "pathclip: write error: No space left on device\n", 1},
      {"full device, a line left at exit", Stdout::kDevFull, {big, "a"}, "pathclip: write error: No space left on device\n", 1},
      {"closed", Stdout::kClosed, {"a/", "b"}, "pathclip: write error: Bad file descriptor\n", 1},
      {"usage writes nothing", Stdout::kDevFull, {}, kUsage, 1},
      // SIGPIPE keeps its default: a reader that went away ends the program quietly.
      {"broken pipe", Stdout::kBrokenPipe, {"a/"}, "", 128 + SIGPIPE},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    Outcome r = run_program(PATHCLIP_PATH, c.args, {.out = c.out});
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
  }
}

}  // namespace
