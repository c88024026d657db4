#ifndef TESTING_RUN_PROGRAM_H
#define TESTING_RUN_PROGRAM_H

#include <string>
#include <vector>

// Runs a built program as a real process and collects what it wrote and how it ended. In a cross
// build the program is started through the emulator, since nothing else would run it.
namespace testing_support {

enum class Stdout {
  kPipe,        // collected
  kDevFull,     // every write fails with ENOSPC
  kClosed,      // descriptor 1 is not open
  kBrokenPipe,  // a pipe whose reading end is already closed
};

struct Outcome {
  std::string out, err;
  int status = -1;  // the exit status, or 128 + the signal that ended the process
};

struct Options {
  Stdout out = Stdout::kPipe;
  std::string cwd;  // empty: the caller's
};

// Starts `program` with `args` as argv[1] onwards; argv[0] is the program's path.
Outcome run_program(const std::string &program, const std::vector<std::string> &args, const Options &opt = {});

// Starts `program` with an empty argument vector, so that its argc is 0. Not possible under the
// emulator, which always hands the program one argument: check can_start_without_arguments().
Outcome run_program_without_arguments(const std::string &program);
bool can_start_without_arguments();

}  // namespace testing_support

#endif
