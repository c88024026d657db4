#include "inject.h"

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cassert>
#include <deque>
#include <type_traits>

namespace inject {
namespace {

struct Point {
  std::deque<Reply> replies;
  std::vector<Call> calls;
};

bool armed = false;
bool scope_alive = false;
Point points[static_cast<size_t>(Fn::kCount)];

Point &point(Fn fn) { return points[static_cast<size_t>(fn)]; }

long long address(const void *p) { return static_cast<long long>(reinterpret_cast<intptr_t>(p)); }

long long as_number(long long v) { return v; }
long long as_number(const void *p) { return address(p); }

// Records the call that `record` describes, then answers it from the script if a reply is waiting,
// else with `real`, the C library's own call; either answer is recorded with it.
template <typename R, typename Record, typename Real>
R answer(Fn fn, Record record, Real real) {
  if (!armed) return real();
  Point &p = point(fn);
  p.calls.push_back(record());
  R r;
  if (p.replies.empty()) {
    r = real();
  } else {
    Reply reply = std::move(p.replies.front());
    p.replies.pop_front();
    if (reply.effect) {
      armed = false;  // what the effect calls goes to the C library
      reply.effect(p.calls.back());
      armed = true;
    }
    if (reply.error != 0) errno = reply.error;
    if constexpr (std::is_pointer_v<R>)
      r = reinterpret_cast<R>(static_cast<intptr_t>(reply.result));
    else
      r = static_cast<R>(reply.result);
  }
  p.calls.back().result = as_number(r);
  return r;
}

void clear() {
  for (auto &p : points) p = Point{};
}

}  // namespace

Scope::Scope() {
  assert(!scope_alive);
  clear();
  scope_alive = armed = true;
}

Scope::~Scope() {
  stop();
  clear();
  scope_alive = false;
}

void Scope::script(Fn fn, std::vector<Reply> replies) {
  for (auto &r : replies) point(fn).replies.push_back(std::move(r));
}

void Scope::stop() { armed = false; }

const std::vector<Call> &Scope::calls(Fn fn) const { return point(fn).calls; }

size_t Scope::unused(Fn fn) const { return point(fn).replies.size(); }

}  // namespace inject

using inject::address;
using inject::answer;
using inject::Call;
using inject::Fn;

extern "C" {

ssize_t __real_write(int fd, const void *buf, size_t count);
int __real_close(int fd);
int __real_ftruncate(int fd, off_t length);
int __real_fstat(int fd, struct stat *st);
int __real_fallocate(int fd, int mode, off_t offset, off_t length);
char *__real_mktemp(char *name_template);
int __real_nanosleep(const struct timespec *request, struct timespec *remain);

ssize_t __wrap_write(int fd, const void *buf, size_t count) {
  return answer<ssize_t>(
      Fn::kWrite,
      [&] {
        return Call{{fd, address(buf), static_cast<long long>(count)}, std::string(static_cast<const char *>(buf), count)};
      },
      [&] { return __real_write(fd, buf, count); });
}

int __wrap_close(int fd) {
  return answer<int>(Fn::kClose, [&] { return Call{{fd}}; }, [&] { return __real_close(fd); });
}

int __wrap_ftruncate(int fd, off_t length) {
  return answer<int>(Fn::kFtruncate, [&] { return Call{{fd, length}}; }, [&] { return __real_ftruncate(fd, length); });
}

int __wrap_fstat(int fd, struct stat *st) {
  return answer<int>(Fn::kFstat, [&] { return Call{{fd, address(st)}}; }, [&] { return __real_fstat(fd, st); });
}

int __wrap_fallocate(int fd, int mode, off_t offset, off_t length) {
  return answer<int>(
      Fn::kFallocate, [&] { return Call{{fd, mode, offset, length}}; },
      [&] { return __real_fallocate(fd, mode, offset, length); });
}

char *__wrap_mktemp(char *name_template) {
  return answer<char *>(
      Fn::kMktemp, [&] { return Call{{address(name_template)}, name_template}; },
      [&] { return __real_mktemp(name_template); });
}

int __wrap_nanosleep(const struct timespec *request, struct timespec *remain) {
  return answer<int>(
      Fn::kNanosleep, [&] { return Call{{address(request), address(remain), request->tv_sec, request->tv_nsec}}; },
      [&] { return __real_nanosleep(request, remain); });
}

}  // extern "C"
