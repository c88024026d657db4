#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"
#include "scratch.h"

namespace {

using testing_support::Outcome;
using testing_support::run_program;
using testing_support::Stdout;

// Mount points in mountinfo escape blanks, tabs, newlines and backslashes as octal.
std::string unescape(const std::string &s) {
  std::string out;
  for (size_t i = 0; i < s.size(); i++) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool under(const std::string &path, const std::string &mount) {
  if (mount == "/") return true;
  return path.compare(0, mount.size(), mount) == 0 && (path.size() == mount.size() || path[mount.size()] == '/');
}

// The oracle: the "major/minor" that the kernel's mount table gives for the mount holding `path`
// (the longest mount point above it; the last one listed where one is mounted over another).
std::string mount_device(const std::string &path) {
  char real[PATH_MAX];
  if (!realpath(path.c_str(), real)) return "realpath failed: " + path;
  std::ifstream in("/proc/self/mountinfo");
  std::string line, best_mount, best_dev;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, dev, root, mount;
    fields >> id >> parent >> dev >> root >> mount;
    mount = unescape(mount);
    if (under(real, mount) && mount.size() >= best_mount.size()) {
      best_mount = mount;
      best_dev = dev;
    }
  }
  auto colon = best_dev.find(':');
  if (colon == std::string::npos) return "no mount for " + path;
  return best_dev.substr(0, colon) + "/" + best_dev.substr(colon + 1);
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
  const std::string root = mount_device("/") + "\n", proc = mount_device("/proc") + "\n",
                    file = mount_device(file_) + "\n", dev = mount_device("/dev") + "\n";
  ASSERT_NE(root, proc) << "the oracle should tell these mounts apart";
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
  const std::string root = mount_device("/") + "\n";
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
  expect_cases({{"a dash is a path: present", {"-n", "--"}, mount_device(file_) + "\n", u + "--'\n", 1}}, dir_);
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

TEST_F(Majmin, LostOutputIsAnError) {
  const char full[] = "majmin: write error: No space left on device\n";
  struct WriteCase {
    const char *name;
    Stdout out;
    std::vector<std::string> args;
    std::string err;
    int status;
  };
  const std::vector<std::string> many(2000, "/");  // more output than a stdio buffer holds
  const WriteCase cases[] = {
      {"full device", Stdout::kDevFull, {"/"}, full, 1},
      {"full device, long", Stdout::kDevFull, many, full, 1},
      {"closed", Stdout::kClosed, {"/", "/"}, "majmin: write error: Bad file descriptor\n", 1},
      {"stat failure too", Stdout::kDevFull, {"/", dir_ + "/missing"}, "Unable to stat `" + dir_ + "/missing'\n" + full, 1},
      {"stat failure first writes nothing", Stdout::kDevFull, {dir_ + "/missing"}, "Unable to stat `" + dir_ + "/missing'\n", 1},
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

}  // namespace
