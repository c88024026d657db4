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

// Records the call and, if a reply is waiting, gives it through *out and returns true.
template <typename R>
bool answer(Fn fn, Call call, R *out) {
  Point &p = point(fn);
  p.calls.push_back(std::move(call));
  if (p.replies.empty()) return false;
  Reply r = std::move(p.replies.front());
  p.replies.pop_front();
  if (r.effect) {
    armed = false;  // what the effect calls goes to the C library
    r.effect(p.calls.back());
    armed = true;
  }
  if (r.error != 0) errno = r.error;
  if constexpr (std::is_pointer_v<R>)
    *out = reinterpret_cast<R>(static_cast<intptr_t>(r.result));
  else
    *out = static_cast<R>(r.result);
  return true;
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
using inject::armed;
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
  ssize_t r;
  if (armed && answer(Fn::kWrite,
                      {{fd, address(buf), static_cast<long long>(count)},
                       std::string(static_cast<const char *>(buf), count)},
                      &r))
    return r;
  return __real_write(fd, buf, count);
}

int __wrap_close(int fd) {
  int r;
  if (armed && answer(Fn::kClose, {{fd}, {}}, &r)) return r;
  return __real_close(fd);
}

int __wrap_ftruncate(int fd, off_t length) {
  int r;
  if (armed && answer(Fn::kFtruncate, {{fd, length}, {}}, &r)) return r;
  return __real_ftruncate(fd, length);
}

int __wrap_fstat(int fd, struct stat *st) {
  int r;
  if (armed && answer(Fn::kFstat, {{fd, address(st)}, {}}, &r)) return r;
  return __real_fstat(fd, st);
}

int __wrap_fallocate(int fd, int mode, off_t offset, off_t length) {
  int r;
  if (armed && answer(Fn::kFallocate, {{fd, mode, offset, length}, {}}, &r)) return r;
  return __real_fallocate(fd, mode, offset, length);
}

char *__wrap_mktemp(char *name_template) {
  char *r;
  if (armed && answer(Fn::kMktemp, {{address(name_template)}, name_template}, &r)) return r;
  return __real_mktemp(name_template);
}

int __wrap_nanosleep(const struct timespec *request, struct timespec *remain) {
  int r;
  if (armed && answer(Fn::kNanosleep,
                      {{address(request), address(remain), request->tv_sec, request->tv_nsec}, {}}, &r))
    return r;
  return __real_nanosleep(request, remain);
}

}  // extern "C"
