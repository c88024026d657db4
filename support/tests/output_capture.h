#ifndef SUPPORT_TESTS_OUTPUT_CAPTURE_H
#define SUPPORT_TESTS_OUTPUT_CAPTURE_H

#include <functional>
#include <string>

// Collects what the layer writes on the standard streams, in the test process or in a death-test child.
namespace output_capture {

// A death-test pattern that matches `text` exactly and nothing around it.
std::string exactly(const std::string &text);

struct Written {
  std::string out, err;
};
// What `call` wrote to descriptors 1 and 2; standard output is flushed before and after.
Written run_captured(const std::function<void()> &call);

// Runs `call` in a death-test child that has text pending in its standard output buffer, and checks
// that the child exits with `status`, writes exactly `err` on standard error, and still writes out
// the pending text. `tolerated` is a pattern for lines of the test's own tooling that may precede
// `err` (a sanitizer's warning), or empty.
void expect_fatal(const std::function<void()> &call, int status, const std::string &err,
                  const std::string &tolerated = "");

}  // namespace output_capture

#endif
