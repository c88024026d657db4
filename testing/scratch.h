#ifndef TESTING_SCRATCH_H
#define TESTING_SCRATCH_H

#include <string>

// Files for tests: a fresh directory per test, and whole-file reads.
namespace testing_support {

// A new directory under the test temporary directory, removed with all it holds when the object goes.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string &name);
  ~ScratchDir();
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;

  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

// Everything the open file holds, from its start, leaving its position as it was.
std::string read_fd(int fd);

}  // namespace testing_support

#endif
