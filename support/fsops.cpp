#include "fsops.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include "clip.h"

int pretend_only = 0;
int deny_writes_a = 1;
int deny_writes_b = 0;
int open_without_atime = 0;
int report_mode_errors_a = 0;
int report_mode_errors_b = 0;
int emulate_special_files = 0;
int read_real_links = 1;
int prealloc_keep_size_a = 0;
int prealloc_keep_size_b = 0;

namespace {

constexpr int kAct = 1;
enum Yields { kZero, kValue };  // what the operation returns on success: 0, or a descriptor or size
enum DenyB { kTestDenyB, kSkipDenyB };

// The guard rule: kAct when the operation may go on; otherwise the result it must return, with
// errno set as the rule says.
int guard(Yields yields, DenyB deny_b = kTestDenyB) {
  if (pretend_only) {
    if (yields == kZero) return 0;
    errno = 0;
    return -1;
  }
  if (deny_writes_a || (deny_b == kTestDenyB && deny_writes_b)) {
    errno = EROFS;
    return -1;
  }
  return kAct;
}

constexpr mode_t kPermissionBits = S_ISUID | S_ISGID | S_ISVTX | S_IRWXU | S_IRWXG | S_IRWXO;
// Emulated links and nodes. O_NOFOLLOW: a symbolic link at the path must not have its target
// truncated and overwritten.
constexpr int kEmulatedCreate = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW;
constexpr mode_t kEmulatedMode = S_IRUSR | S_IWUSR;

bool emulating() { return emulate_special_files < 0; }

timeval to_timeval(const timespec &t) { return {t.tv_sec, t.tv_nsec / 1000}; }

}  // namespace

int fsop_unlink(const char *path) {
  if (int stop = guard(kZero); stop != kAct) return stop;
  return unlink(path);
}

int fsop_rmdir(const char *path) {
  if (int stop = guard(kZero); stop != kAct) return stop;
  return rmdir(path);
}

int fsop_hardlink(const char *existing, const char *new_path) {
  if (int stop = guard(kZero); stop != kAct) return stop;
  return linkat(AT_FDCWD, existing, AT_FDCWD, new_path, 0);
}

int fsop_rename(const char *old_path, const char *new_path) {
  if (int stop = guard(kZero); stop != kAct) return stop;
  return rename(old_path, new_path);
}

int fsop_lchown(const char *path, uid_t owner, gid_t group) {
  if (int stop = guard(kZero); stop != kAct) return stop;
  return lchown(path, owner, group);
}

int fsop_chmod(const char *path, mode_t mode) {
  if (int stop = guard(kZero); stop != kAct) return stop;
  int outcome = (mode & S_IFMT) == S_IFLNK ? 1 : chmod(path, mode & kPermissionBits);
  return outcome != 0 && (report_mode_errors_a || report_mode_errors_b) ? outcome : 0;
}

int fsop_mkdir(char *path, mode_t mode) {
  if (int stop = guard(kZero); stop != kAct) return stop;
  clip_trailing_slashes(path);
  return mkdir(path, mode);
}

int fsop_ftruncate(int fd, off_t length) {
  if (int stop = guard(kZero); stop != kAct) return stop;
  int r;
  do r = ftruncate(fd, length);
  while (r < 0 && errno == EINTR);
  return r;
}

int fsop_open(const char *path, int flags, mode_t mode) {
  if (flags != 0) {
    if (int stop = guard(kValue); stop != kAct) return stop;
  }
  if (open_without_atime) flags |= O_NOATIME;
  return open(path, flags, mode);
}

int fsop_open_nofollow(const char *path, int flags) {
  if (flags != 0) {
    if (int stop = guard(kValue); stop != kAct) return stop;
  }
  if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
    errno = EINVAL;
    return -1;
  }
  return open(path, flags | O_NOFOLLOW);
}

int fsop_make_temp(char *name_template, mode_t permissions) {
  if (int stop = guard(kValue, kSkipDenyB); stop != kAct) return stop;
  // mktemp rather than mkstemp: the file is made by the guarded, exclusive open below. Bionic's
  // mktemp fails with a null pointer, glibc's by emptying the template; bionic marks it deprecated.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  char *name = mktemp(name_template);
#pragma GCC diagnostic pop
  if (name == nullptr || *name == '\0') return -1;
  return fsop_open(name, O_RDWR | O_CREAT | O_EXCL, permissions | S_IWUSR);
}

int fsop_symlink(const char *text, const char *link_path) {
  if (int stop = guard(kZero); stop != kAct) return stop;
  if (!emulating()) return symlink(text, link_path);
  // A text too long for one write fails as a short write; it is never cut to a shorter length.
  size_t length = strlen(text);
  int fd = open(link_path, kEmulatedCreate, kEmulatedMode);
  if (fd < 0) return -1;
  bool ok = write(fd, text, length) == static_cast<ssize_t>(length);
  if (close(fd) < 0) ok = false;
  return ok ? 0 : -1;
}

ssize_t fsop_readlink(const char *path, char *buf, size_t size) {
  if (!emulating()) return readlink(path, buf, size);
  int fd = fsop_open_nofollow(path, O_RDONLY);
  if (fd >= 0) {
    ssize_t n = read(fd, buf, size);
    int read_errno = errno;
    close(fd);
    errno = read_errno;
    return n;
  }
  if (errno != ELOOP) return -1;
  if (!read_real_links) return 0;
  return readlink(path, buf, size);
}

int fsop_mknod(const char *path, mode_t mode, dev_t dev) {
  if (int stop = guard(kZero); stop != kAct) return stop;
  if (!emulating()) return mknod(path, mode, dev);
  int fd = open(path, kEmulatedCreate, kEmulatedMode);
  if (fd < 0) return -1;
  return close(fd) < 0 ? -1 : 0;
}

int fsop_stat(const char *path, struct stat *st) { return stat(path, st); }

int fsop_lstat(const char *path, struct stat *st) { return lstat(path, st); }

int fsop_fstat(int fd, struct stat *st) { return fstat(fd, st); }

off_t fsop_lseek(int fd, off_t offset, int whence) { return lseek(fd, offset, whence); }

int fsop_set_link_times_ns(const char *path, const struct stat *st) {
  if (int stop = guard(kZero); stop != kAct) return stop;
  const timespec times[2] = {st->st_atim, st->st_mtim};
  return utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW);
}

int fsop_set_link_times_us(const char *path, const struct stat *st) {
  if (int stop = guard(kZero); stop != kAct) return stop;
  const timeval times[2] = {to_timeval(st->st_atim), to_timeval(st->st_mtim)};
  return lutimes(path, times);
}

int fsop_set_times_us(const char *path, const struct stat *st) {
  if (int stop = guard(kZero); stop != kAct) return stop;
  const timeval times[2] = {to_timeval(st->st_atim), to_timeval(st->st_mtim)};
  return utimes(path, times);
}

off_t fsop_preallocate(int fd, off_t offset, off_t length) {
  int mode = prealloc_keep_size_a || prealloc_keep_size_b ? FALLOC_FL_KEEP_SIZE : 0;
  if (int stop = guard(kValue); stop != kAct) return stop;
  off_t adjusted;
  if (__builtin_add_overflow(length, length % 2 != 0 ? 1 : -1, &adjusted)) {
    errno = length > 0 ? EFBIG : EINVAL;  // what fallocate says of a length just inside
    return -1;
  }
  length = adjusted;
  if (int r = fallocate(fd, mode, offset, length); r < 0) return r;
  if (mode == FALLOC_FL_KEEP_SIZE) return 0;
  struct stat st;
  if (fsop_fstat(fd, &st) < 0) return length;
  return st.st_blocks * 512;
}

int fsop_clear_range(int fd, off_t offset, off_t length) {
  if (fallocate(fd, FALLOC_FL_KEEP_SIZE | FALLOC_FL_PUNCH_HOLE, offset, length) != 0 &&
      fallocate(fd, FALLOC_FL_ZERO_RANGE, offset, length) != 0) {
    char block[4096];
    memset(block, 0, sizeof block);
    off_t left = length;
    while (left > 0) {
      size_t chunk = left < off_t{sizeof block} ? static_cast<size_t>(left) : sizeof block;
      ssize_t n = write(fd, block, chunk);
      if (n > 0)
        left -= n;
      else if (n == 0 || errno != EINTR)
        return -1;
    }
    return 0;
  }
  return fsop_lseek(fd, length, SEEK_CUR) == offset + length ? 0 : -1;
}

int sleep_milliseconds(int milliseconds) {
  timespec t = {milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000};
  while (nanosleep(&t, &t) < 0 && errno == EINTR) {
  }
  return 1;
}
