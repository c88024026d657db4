#include "fs_fixture.h"

#include <fcntl.h>
#include <unistd.h>

#include "fsops.h"

std::vector<int *> all_switches() {
  return {&pretend_only,         &deny_writes_a,        &deny_writes_b,         &open_without_atime,
          &report_mode_errors_a, &report_mode_errors_b, &emulate_special_files, &read_real_links,
          &prealloc_keep_size_a, &prealloc_keep_size_b};
}

void FsTest::SetUp() {
  dir_ = scratch_.path();
  ASSERT_FALSE(dir_.empty());
  saved_umask_ = umask(0);
  for (int *s : all_switches()) saved_.push_back(*s);
}

void FsTest::TearDown() {
  restore_switches();
  umask(saved_umask_);
}

void FsTest::restore_switches() {
  auto switches = all_switches();
  for (size_t i = 0; i < saved_.size(); i++) *switches[i] = saved_[i];
}

void FsTest::clear_guards() { pretend_only = deny_writes_a = deny_writes_b = 0; }

void write_file(const std::string &path, const std::string &content, mode_t mode) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
  ASSERT_GE(fd, 0) << path;
  EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  close(fd);
}

std::string read_file(const std::string &path) {
  int fd = open(path.c_str(), O_RDONLY);
  EXPECT_GE(fd, 0) << path;
  if (fd < 0) return {};
  std::string s = read_fd(fd);
  close(fd);
  return s;
}

struct stat lstat_of(const std::string &path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

struct stat stat_of(const std::string &path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st;
}

off_t position(int fd) { return lseek(fd, 0, SEEK_CUR); }
