#include "output_capture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>

#include "scratch.h"

namespace output_capture {
namespace {

std::string read_all(FILE *f) { return testing_support::read_fd(fileno(f)); }

// Points descriptor `fd` at a temporary file for the lifetime of the object.
class Redirect {
 public:
  explicit Redirect(int fd) : fd_(fd), file_(std::tmpfile()), saved_(dup(fd)) {
    if (file_ == nullptr || saved_ < 0 || dup2(fileno(file_), fd_) < 0) ADD_FAILURE() << "cannot redirect " << fd;
  }
  ~Redirect() {
    restore();
    if (file_ != nullptr) std::fclose(file_);
  }
  std::string take() {
    restore();
    return file_ != nullptr ? read_all(file_) : "";
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    dup2(saved_, fd_);
    close(saved_);
    saved_ = -1;
  }
  int fd_;
  FILE *file_;
  int saved_;
};

std::string escaped(const std::string &text) {
  std::string pattern;
  for (char c : text) {
    if (std::string_view(".[]{}()\\*+?^$|").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern;
}

}  // namespace

std::string exactly(const std::string &text) { return "^" + escaped(text) + "$"; }

Written run_captured(const std::function<void()> &call) {
  std::fflush(stdout);
  Redirect out(1), err(2);
  call();
  std::fflush(stdout);
  Written w;
  w.err = err.take();
  w.out = out.take();
  return w;
}

void expect_fatal(const std::function<void()> &call, int status, const std::string &err,
                  const std::string &tolerated) {
  static const char kPending[] = "pending, not yet flushed";
  FILE *out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  EXPECT_EXIT(
      {
        std::fflush(stdout);
        dup2(fileno(out), 1);
        std::printf("%s", kPending);  // no newline: stays in the buffer until exit() writes it out
        call();
      },
      testing::ExitedWithCode(status),
      tolerated.empty() ? exactly(err) : "^(" + tolerated + ")?" + escaped(err) + "$");
  EXPECT_EQ(read_all(out), kPending);
  std::fclose(out);
}

}  // namespace output_capture
