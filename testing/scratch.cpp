#include "scratch.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

namespace testing_support {

ScratchDir::ScratchDir(const std::string &name) {
  std::string tmpl = ::testing::TempDir() + name + ".XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) {
    ADD_FAILURE() << "cannot make " << tmpl;
    return;
  }
  path_ = tmpl;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string read_fd(int fd) {
  std::string s;
  char buf[65536];
  ssize_t n;
  for (off_t at = 0; (n = pread(fd, buf, sizeof buf, at)) > 0; at += n) s.append(buf, static_cast<size_t>(n));
  return s;
}

}  // namespace testing_support
