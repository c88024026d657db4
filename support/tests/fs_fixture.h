#ifndef SUPPORT_TESTS_FS_FIXTURE_H
#define SUPPORT_TESTS_FS_FIXTURE_H

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "scratch.h"

// errno before a call, to see whether the call set it.
constexpr int kUntouchedErrno = 12345;

// A fresh directory for each test, on the file system the tests run on, with the file-creation
// mask at 0 so that modes read back exactly. Every switch of the group is saved before the test
// and restored after it.
class FsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string path(const std::string &name) const { return dir_ + "/" + name; }
  // Puts every switch back to the value it had when the test began.
  void restore_switches();
  // pretend_only, deny_writes_a and deny_writes_b cleared: the operations act.
  static void clear_guards();

  std::string dir_;

 private:
  testing_support::ScratchDir scratch_{"fsops"};
  std::vector<int> saved_;
  mode_t saved_umask_ = 0;
};

// Every switch and setting of the group, in the header's order.
std::vector<int *> all_switches();

void write_file(const std::string &path, const std::string &content, mode_t mode = 0644);
std::string read_file(const std::string &path);
using testing_support::read_fd;
struct stat lstat_of(const std::string &path);
struct stat stat_of(const std::string &path);
off_t position(int fd);
inline std::string xs(size_t n) { return std::string(n, 'x'); }
inline std::string zeros(size_t n) { return std::string(n, '\0'); }

#endif
