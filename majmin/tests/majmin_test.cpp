#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "run_program.h"
#include "scratch.h"

namespace {

using testing_support::Outcome;
using testing_support::run_program;
using testing_support::Stdout;

// The oracle: the kernel's own major and minor of the device that holds `path`, from statx, which
// shares no code with majmin's split of st_dev and agrees with it on every file system.
std::string kernel_device(const std::string &path) {
  struct statx sx;
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS, &sx) != 0) return "statx failed: " + path;
  return std::to_string(sx.stx_dev_major) + "/" + std::to_string(sx.stx_dev_minor);
}

class Majmin : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    ASSERT_FALSE(dir_.empty());
    file_ = dir_ + "/file";
    std::ofstream(file_) << "x";
  }

  testing_support::ScratchDir scratch_{"majmin"};
  std::string dir_, file_;
};

struct Case {
  const char *name;
  std::vector<std::string> args;
  std::string out, err;
  int status;
};

void expect_cases(const std::vector<Case> &cases, const std::string &cwd = "") {
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    Outcome r = run_program(MAJMIN_PATH, c.args, {.cwd = cwd});
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
  }
}

TEST_F(Majmin, PrintsTheDeviceThatHoldsEachPath) {
  const std::string root = kernel_device("/") + "\n", proc = kernel_device("/proc") + "\n",
                    file = kernel_device(file_) + "\n", dev = kernel_device("/dev/null") + "\n";
  ASSERT_NE(root, proc) << "the oracle should tell these mounts apart";
  ASSERT_NE(dev, "1/3\n") << "the oracle should give the device that holds the node, not the node's own";
  ASSERT_EQ(symlink("/proc", (dir_ + "/link").c_str()), 0);
  ASSERT_EQ(symlink("missing", (dir_ + "/dangling").c_str()), 0);
  ASSERT_EQ(symlink("file", (dir_ + "/-n").c_str()), 0);
  expect_cases({
      {"root", {"/"}, root, "", 0},
      {"proc", {"/proc"}, proc, "", 0},
      {"a file", {file_}, file, "", 0},
      {"several in order", {"/", "/proc", file_}, root + proc + file, "", 0},
      {"same path twice", {file_, file_}, file + file, "", 0},
      {"a link reports its target", {dir_ + "/link"}, proc, "", 0},
      {"a device node reports the mount that holds it", {"/dev/null"}, dev, "", 0},
  });
}

TEST_F(Majmin, StopsAtTheFirstPathItCannotStat) {
  const std::string root = kernel_device("/") + "\n";
  const std::string missing = dir_ + "/missing";
  ASSERT_EQ(symlink("missing", (dir_ + "/dangling").c_str()), 0);
  ASSERT_EQ(symlink("file", (dir_ + "/-n").c_str()), 0);
  const std::string u = "Unable to stat `";
  expect_cases({
      {"missing second", {"/", missing}, root, u + missing + "'\n", 1},
      {"missing in the middle", {"/", missing, "/"}, root, u + missing + "'\n", 1},
      {"missing first", {missing, "/"}, "", u + missing + "'\n", 1},
      {"dangling link", {dir_ + "/dangling"}, "", u + dir_ + "/dangling'\n", 1},
      {"empty argument", {""}, "", u + "'\n", 1},
      {"not a directory", {file_ + "/x"}, "", u + file_ + "/x'\n", 1},
      {"percent sign", {"no/%s%n%d"}, "", u + "no/%s%n%d'\n", 1},
      {"a dash is a path: missing", {"-v"}, "", u + "-v'\n", 1},
  });
  // Relative to the test's directory, where "-n" is a link to the file.
  expect_cases({{"a dash is a path: present", {"-n", "--"}, kernel_device(file_) + "\n", u + "--'\n", 1}}, dir_);
}

TEST_F(Majmin, NoArgumentPrintsNothing) { expect_cases({{"no argument", {}, "", "", 0}}); }

TEST_F(Majmin, ArgumentCountOfZeroPrintsNothing) {
  if (!testing_support::can_start_without_arguments())
    GTEST_SKIP() << "argument count 0: the emulator always passes the program one argument";
  Outcome r = testing_support::run_program_without_arguments(MAJMIN_PATH);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

// The size of the buffer that the C library gives a stream on `path`: the device's block size where
// that is smaller than BUFSIZ.
size_t stdio_buffer_size(const char *path) {
  struct stat st;
  if (stat(path, &st) == 0 && st.st_blksize > 0 && st.st_blksize < BUFSIZ) return static_cast<size_t>(st.st_blksize);
  return BUFSIZ;
}

TEST_F(Majmin, LostOutputIsAnError) {
  const char full[] = "majmin: write error: No space left on device\n";
  const std::string missing = dir_ + "/missing", unable = "Unable to stat `" + missing + "'\n";
  // Lines of "/" to fill the buffer: the last of `fill` paths is the one whose write fails, and it
  // leaves the buffer empty, so nothing is left to fail at exit.
  const size_t line = kernel_device("/").size() + 1, fill = stdio_buffer_size("/dev/full") / line + 1;
  auto roots = [](size_t n, std::vector<std::string> more = {}) {
    std::vector<std::string> args(n, "/");
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  struct WriteCase {
    const char *name;
    Stdout out;
    std::vector<std::string> args;
    std::string err;
    int status;
  };
  const WriteCase cases[] = {
      {"full device", Stdout::kDevFull, {"/"}, full, 1},
      {"full device, buffer filled", Stdout::kDevFull, roots(fill - 1), full, 1},
      {"full device, buffer emptied by the failed write", Stdout::kDevFull, roots(fill), full, 1},
      {"full device, one more line", Stdout::kDevFull, roots(fill + 1), full, 1},
      {"full device, long", Stdout::kDevFull, roots(2000), full, 1},
      {"closed", Stdout::kClosed, {"/", "/"}, "majmin: write error: Bad file descriptor\n", 1},
      {"stat failure too", Stdout::kDevFull, {"/", missing}, unable + full, 1},
      // The stat's error comes after the write's and must not be taken for its cause.
      {"stat failure after the buffer emptied", Stdout::kDevFull, roots(fill, {missing}), unable + full, 1},
      {"stat failure first writes nothing", Stdout::kDevFull, {missing}, unable, 1},
      {"nothing written", Stdout::kDevFull, {}, "", 0},
      {"broken pipe", Stdout::kBrokenPipe, {"/"}, "", 128 + SIGPIPE},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    Outcome r = run_program(MAJMIN_PATH, c.args, {.out = c.out});
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
  }
}

// majmin's own entry on device numbers that no file here has.
TEST(MajminAnyDevice, PrintsBothNumbersInFullAndNonNegative) {
  struct Case {
    const char *dev, *line;
  };
  const Case cases[] = {
      {"803", "8/3"},
      {"80080", "2048/128"},  // bits 19 and 7
      {"100000100000", "4096/256"},  // bits 44 and 20
      {"ffffffffffffffff", "4294967295/4294967295"},
      {"8000000000000000", "2147483648/0"},  // the top bit of the major
      {"80000000000", "0/2147483648"},  // the top bit of the minor
      {"0", "0/0"},
  };
  for (auto [dev, line] : cases) {
    SCOPED_TRACE(dev);
    Outcome r = run_program(MAJMIN_ANY_DEVICE_PATH, {std::string("dev:") + dev});
    EXPECT_EQ(r.out, std::string(line) + "\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
  }
}

}  // namespace
