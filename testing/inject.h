#ifndef TESTING_INJECT_H
#define TESTING_INJECT_H

#include <functional>
#include <string>
#include <vector>

// Fault injection at the C-library boundary, for the failures a real file system will not give on
// demand. A test executable that links the `inject` library is linked with -Wl,--wrap= for each
// call named in Fn, so every call of those functions from any object file comes here first. While
// a Scope lives, each call is recorded and takes the next scripted reply, if there is one; outside
// a Scope, and once its script for the call is used up, the call goes to the C library unchanged.
namespace inject {

// The wrapped calls. Keep in step with INJECTED_CALLS in testing/CMakeLists.txt.
enum class Fn { kWrite, kClose, kFtruncate, kFstat, kFallocate, kMktemp, kNanosleep, kCount };

// What one call was passed: its arguments in order, pointers as addresses. Where a call reads a
// record or buffer it also gets, that is recorded after them: nanosleep adds the request's tv_sec
// and tv_nsec, write its bytes in `data`, mktemp the template in `data`. `result` is what the call
// returned, scripted or the C library's own (a pointer as its address), so that a test can tell
// which way the platform answered.
struct Call {
  std::vector<long long> args;
  std::string data;
  long long result = 0;
};

// A scripted reply: the call runs `effect` when one is given (with the recorded call, to fill an
// output argument, say; what the effect calls is neither recorded nor answered), sets errno to
// `error` unless that is 0, and returns `result` (for a pointer, the address `result`), all
// without calling the C library.
struct Reply {
  long long result;
  int error = 0;
  std::function<void(const Call &)> effect = nullptr;
};

class Scope {
 public:
  Scope();   // no scripts, no records; only one Scope at a time
  ~Scope();  // as stop(), and the records go
  Scope(const Scope &) = delete;
  Scope &operator=(const Scope &) = delete;

  // Replies for the next calls of fn, in order, after any still waiting.
  void script(Fn fn, std::vector<Reply> replies);
  // Stops recording and replying, so the test's own calls that follow are neither recorded nor
  // answered; the records stay readable.
  void stop();
  // The calls of fn recorded so far, scripted or not.
  const std::vector<Call> &calls(Fn fn) const;
  // Replies scripted for fn that no call has taken yet.
  size_t unused(Fn fn) const;
};

}  // namespace inject

#endif
