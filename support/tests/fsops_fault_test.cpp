// Failures the file system will not give on demand, injected at the C-library boundary.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdint.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fs_fixture.h"
#include "fsops.h"
#include "inject.h"

namespace {

using inject::Call;
using inject::Fn;
using inject::Reply;

using Args = std::vector<long long>;

// Closes the descriptor for real while the wrapped close reports a failure.
void really_close(const Call &c) { syscall(SYS_close, static_cast<int>(c.args[0])); }

int open_rw(const std::string &path) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
  EXPECT_GE(fd, 0);
  return fd;
}

using FaultTest = FsTest;

TEST_F(FaultTest, FtruncateRepeatsOnlyInterruptedCalls) {
  clear_guards();
  write_file(path("f"), "0123456789");
  int fd = open_rw(path("f"));
  {
    inject::Scope s;
    s.script(Fn::kFtruncate, {{-1, EINTR}, {-1, EINTR}});
    EXPECT_EQ(fsop_ftruncate(fd, 5), 0);
    s.stop();
    ASSERT_EQ(s.calls(Fn::kFtruncate).size(), 3u);
    for (auto &c : s.calls(Fn::kFtruncate)) EXPECT_EQ(c.args, (Args{fd, 5}));
  }
  EXPECT_EQ(read_fd(fd), "01234");
  {
    inject::Scope s;
    s.script(Fn::kFtruncate, {{-1, EINTR}, {-1, EIO}, {0}});
    EXPECT_EQ(fsop_ftruncate(fd, 2), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(s.unused(Fn::kFtruncate), 1u);
  }
  close(fd);
}

TEST_F(FaultTest, MakeTempTakesNoSecondChance) {
  clear_guards();
  std::string tmpl = path("t.XXXXXX");
  {
    // Another process takes the name between mktemp and the open.
    const std::string taken = path("t.TAKEN1");
    inject::Scope s;
    s.script(Fn::kMktemp, {{reinterpret_cast<intptr_t>(tmpl.data()), 0, [&](const Call &) {
                              tmpl.replace(tmpl.size() - 6, 6, "TAKEN1");
                              write_file(taken, "theirs");
                            }}});
    EXPECT_EQ(fsop_make_temp(tmpl.data(), 0600), -1);
    EXPECT_EQ(errno, EEXIST);
    s.stop();
    EXPECT_EQ(s.calls(Fn::kMktemp).size(), 1u);
    EXPECT_EQ(s.calls(Fn::kMktemp)[0].data, path("t.XXXXXX"));
    EXPECT_EQ(read_file(taken), "theirs");
  }
  {
    inject::Scope s;
    s.script(Fn::kMktemp, {{0, EEXIST}});
    tmpl = path("t.XXXXXX");
    EXPECT_EQ(fsop_make_temp(tmpl.data(), 0600), -1);
    EXPECT_EQ(errno, EEXIST);
  }
  EXPECT_EQ(access(path("t.XXXXXX").c_str(), F_OK), -1);
}

TEST_F(FaultTest, EmulatedLinkWritesOnceAndAlwaysCloses) {
  clear_guards();
  emulate_special_files = -1;
  const std::string text = "some/target";
  const long long len = static_cast<long long>(text.size());
  struct Case {
    const char *name;
    std::vector<Reply> write, close;
    int result, error;
    std::string left;  // what the file holds afterwards
  };
  const Case cases[] = {
      {"whole", {}, {}, 0, 0, text},
      {"short write", {{len - 1}}, {}, -1, kUntouchedErrno, ""},
      {"write of 0", {{0}}, {}, -1, kUntouchedErrno, ""},
      {"write fails", {{-1, EIO}}, {}, -1, EIO, ""},
      {"close fails", {}, {{-1, EIO, really_close}}, -1, EIO, text},
      {"both fail", {{-1, ENOSPC}}, {{-1, EIO, really_close}}, -1, EIO, ""},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    inject::Scope s;
    s.script(Fn::kWrite, c.write);
    s.script(Fn::kClose, c.close);
    errno = kUntouchedErrno;
    int r = fsop_symlink(text.c_str(), path("l").c_str());
    int e = errno;
    s.stop();
    EXPECT_EQ(r, c.result);
    if (c.error != 0) EXPECT_EQ(e, c.error);
    ASSERT_EQ(s.calls(Fn::kWrite).size(), 1u);
    const Call &w = s.calls(Fn::kWrite)[0];
    EXPECT_EQ(w.args[2], len);
    EXPECT_EQ(w.data, text);
    ASSERT_EQ(s.calls(Fn::kClose).size(), 1u);
    EXPECT_EQ(s.calls(Fn::kClose)[0].args[0], w.args[0]);
    EXPECT_EQ(read_file(path("l")), c.left);
    EXPECT_EQ(fcntl(static_cast<int>(w.args[0]), F_GETFD), -1);  // closed, whatever close said
  }
}

TEST_F(FaultTest, EmulatedNodeReportsAFailingClose) {
  clear_guards();
  emulate_special_files = -1;
  inject::Scope s;
  s.script(Fn::kClose, {{-1, EIO, really_close}});
  EXPECT_EQ(fsop_mknod(path("n").c_str(), S_IFCHR | 0600, 0), -1);
  EXPECT_EQ(errno, EIO);
  s.stop();
  EXPECT_EQ(s.calls(Fn::kWrite).size(), 0u);
  EXPECT_EQ(lstat_of(path("n")).st_mode, S_IFREG | 0600);
}

TEST_F(FaultTest, EmulatedReadKeepsTheReadsErrorAcrossAFailingClose) {
  ASSERT_EQ(mkdir(path("d").c_str(), 0755), 0);
  emulate_special_files = -1;
  char buf[16];
  inject::Scope s;
  s.script(Fn::kClose, {{-1, EIO, really_close}});
  EXPECT_EQ(fsop_readlink(path("d").c_str(), buf, sizeof buf), -1);
  EXPECT_EQ(errno, EISDIR);
  EXPECT_EQ(s.unused(Fn::kClose), 0u);
}

TEST_F(FaultTest, PreallocateAsksForTheAdjustedLength) {
  struct Case {
    off_t length, asked;
    int keep_a, keep_b, mode;
  };
  const Case cases[] = {{10, 9, 0, 0, 0},
                        {9, 10, 0, 0, 0},
                        {4096, 4095, 1, 0, FALLOC_FL_KEEP_SIZE},
                        {4095, 4096, 0, 1, FALLOC_FL_KEEP_SIZE},
                        {1, 2, 1, 1, FALLOC_FL_KEEP_SIZE},
                        {0, -1, 0, 0, 0},
                        {-3, -2, 0, 0, 0}};
  clear_guards();
  int fd = open_rw(path("f"));
  for (auto c : cases) {
    SCOPED_TRACE(c.length);
    prealloc_keep_size_a = c.keep_a;
    prealloc_keep_size_b = c.keep_b;
    inject::Scope s;
    s.script(Fn::kFallocate, {{0}});
    s.script(Fn::kFstat, {{0, 0, [](const Call &f) {
                             reinterpret_cast<struct stat *>(static_cast<intptr_t>(f.args[1]))->st_blocks = 7;
                           }}});
    off_t r = fsop_preallocate(fd, 100, c.length);
    s.stop();
    ASSERT_EQ(s.calls(Fn::kFallocate).size(), 1u);
    EXPECT_EQ(s.calls(Fn::kFallocate)[0].args, (Args{fd, c.mode, 100, c.asked}));
    if (c.mode == FALLOC_FL_KEEP_SIZE) {
      EXPECT_EQ(r, 0);
      EXPECT_EQ(s.calls(Fn::kFstat).size(), 0u);
    } else {
      EXPECT_EQ(s.calls(Fn::kFstat).size(), 1u);
      EXPECT_EQ(r, 7 * 512);
    }
  }
  close(fd);
}

TEST_F(FaultTest, PreallocateFailures) {
  clear_guards();
  int fd = open_rw(path("f"));
  {
    SCOPED_TRACE("fallocate fails");
    inject::Scope s;
    s.script(Fn::kFallocate, {{-1, ENOSPC}});
    EXPECT_EQ(fsop_preallocate(fd, 0, 100), -1);
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(s.calls(Fn::kFstat).size(), 0u);
  }
  {
    SCOPED_TRACE("status unreadable");
    inject::Scope s;
    s.script(Fn::kFallocate, {{0}});
    s.script(Fn::kFstat, {{-1, EIO}});
    EXPECT_EQ(fsop_preallocate(fd, 0, 100), 99);
    EXPECT_EQ(s.unused(Fn::kFstat), 0u);
  }
  struct Stopped {
    const char *name;
    int pretend, deny_a, deny_b;
    off_t length;
    int error;
  };
  const Stopped stopped[] = {
      {"initial values", 0, 1, 0, 100, EROFS},         {"deny_b", 0, 0, 1, 100, EROFS},
      {"pretend and deny", 1, 1, 1, 100, 0},           {"largest length", 0, 0, 0, INT64_MAX, EFBIG},
      {"smallest length", 0, 0, 0, INT64_MIN, EINVAL},
  };
  for (auto &c : stopped) {
    SCOPED_TRACE(c.name);
    pretend_only = c.pretend;
    deny_writes_a = c.deny_a;
    deny_writes_b = c.deny_b;
    inject::Scope s;
    errno = kUntouchedErrno;
    EXPECT_EQ(fsop_preallocate(fd, 0, c.length), -1);
    EXPECT_EQ(errno, c.error);
    EXPECT_EQ(s.calls(Fn::kFallocate).size(), 0u);
  }
  close(fd);
}

// The platform's answers are scripted, so that the order of the ways shows whatever the scratch
// file system supports. A scripted success changes nothing in the file: only the routine's own
// writes and its position check show.
TEST_F(FaultTest, ClearRangeTriesEachWayInTurn) {
  const Reply refused{-1, EOPNOTSUPP}, done{0};
  struct Case {
    const char *name;
    std::vector<Reply> fallocate;
    off_t position, offset, length;
    int result;
    std::vector<int> modes;         // the fallocate modes tried, in order
    std::vector<long long> writes;  // the counts given to write
    std::string after;
    off_t end;
  };
  const int punch = FALLOC_FL_KEEP_SIZE | FALLOC_FL_PUNCH_HOLE, zero = FALLOC_FL_ZERO_RANGE;
  // Each file starts as 8192 bytes of 'x'.
  const Case cases[] = {
      {"punched", {done}, 1000, 1000, 2000, 0, {punch}, {}, xs(8192), 3000},
      {"zeroed past the end", {refused, done}, 6000, 6000, 4000, 0, {punch, zero}, {}, xs(8192), 10000},
      {"written past the end", {refused, refused}, 6000, 6000, 10000, 0, {punch, zero}, {4096, 4096, 1808},
       xs(6000) + zeros(10000), 16000},
      {"punched, position away", {done}, 0, 4096, 100, -1, {punch}, {}, xs(8192), 100},
      {"zeroed, position away", {refused, done}, 0, 4096, 100, -1, {punch, zero}, {}, xs(8192), 100},
      {"written, position away", {refused, refused}, 0, 4096, 100, 0, {punch, zero}, {100},
       zeros(100) + xs(8092), 100},
      {"nothing to write", {refused, refused}, 10, 10, 0, 0, {punch, zero}, {}, xs(8192), 10},
  };
  clear_guards();
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    write_file(path("f"), xs(8192));
    int fd = open_rw(path("f"));
    ASSERT_EQ(lseek(fd, c.position, SEEK_SET), c.position);
    inject::Scope s;
    s.script(Fn::kFallocate, c.fallocate);
    EXPECT_EQ(fsop_clear_range(fd, c.offset, c.length), c.result);
    s.stop();
    std::vector<int> modes;
    for (auto &f : s.calls(Fn::kFallocate)) {
      EXPECT_EQ(f.args, (Args{fd, f.args[1], c.offset, c.length}));
      modes.push_back(static_cast<int>(f.args[1]));
    }
    EXPECT_EQ(modes, c.modes);
    EXPECT_EQ(s.unused(Fn::kFallocate), 0u);
    std::vector<long long> writes;
    for (auto &w : s.calls(Fn::kWrite)) {
      writes.push_back(w.args[2]);
      EXPECT_EQ(w.data, zeros(w.data.size()));
    }
    EXPECT_EQ(writes, c.writes);
    EXPECT_EQ(read_fd(fd), c.after);
    EXPECT_EQ(position(fd), c.end);
    close(fd);
  }
}

// The real effect, on whatever the scratch file system supports: the platform's answers are only
// recorded, and the way that succeeded decides the size. Punching keeps the size; zeroing in place
// and writing zeros make a range past the end part of the file. The guards play no part.
TEST_F(FaultTest, ClearRangeClearsTheRangeWhicheverWaySucceeds) {
  struct Case {
    const char *name;
    size_t size;
    off_t offset, length;
  };
  const Case cases[] = {
      {"inside", 12288, 4096, 4096},
      {"unaligned", 10000, 100, 5000},
      {"past the end", 4096, 2048, 4096},
      {"wholly past the end", 100, 200, 50},
      {"length 0", 100, 50, 0},
      {"negative length", 100, 50, -10},
  };
  const int punch = FALLOC_FL_KEEP_SIZE | FALLOC_FL_PUNCH_HOLE;
  pretend_only = deny_writes_a = deny_writes_b = 1;
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    write_file(path("f"), xs(c.size));
    int fd = open_rw(path("f"));
    ASSERT_EQ(lseek(fd, c.offset, SEEK_SET), c.offset);
    inject::Scope s;
    EXPECT_EQ(fsop_clear_range(fd, c.offset, c.length), 0);
    s.stop();
    bool punched = false;
    for (auto &f : s.calls(Fn::kFallocate)) punched |= f.result == 0 && f.args[1] == punch;
    // An empty range clears nothing and leaves the position where it was.
    const size_t from = static_cast<size_t>(c.offset), to = from + static_cast<size_t>(std::max<off_t>(c.length, 0));
    std::string want = xs(c.size);
    for (size_t i = from; i < std::min(to, want.size()); i++) want[i] = '\0';
    if (!punched && to > want.size()) want.resize(to, '\0');  // any gap before the range is a hole
    EXPECT_EQ(read_fd(fd), want) << (punched ? "punched" : "zeroed or written");
    EXPECT_EQ(position(fd), static_cast<off_t>(to));
    close(fd);
  }
}

TEST_F(FaultTest, ClearRangeWriteFaults) {
  const Reply refused{-1, EOPNOTSUPP};
  struct Case {
    const char *name;
    std::vector<Reply> write;
    int result, error;
    std::vector<long long> writes;  // the counts given to write
  };
  const Case cases[] = {
      {"interrupted", {{-1, EINTR}, {-1, EINTR}}, 0, 0, {4096, 4096, 4096, 4096, 1808}},
      {"short", {{100}, {5}}, 0, 0, {4096, 4096, 4096, 4096, 1703}},
      {"zero", {{4096}, {0}}, -1, EOPNOTSUPP, {4096, 4096}},  // errno as the refused fallocate left it
      {"zero after an interrupted one", {{-1, EINTR}, {0}}, -1, EINTR, {4096, 4096}},
      {"fails", {{-1, EINTR}, {-1, EIO}}, -1, EIO, {4096, 4096}},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    int fd = open_rw(path("f"));
    inject::Scope s;
    s.script(Fn::kFallocate, {refused, refused});
    s.script(Fn::kWrite, c.write);
    errno = kUntouchedErrno;
    int r = fsop_clear_range(fd, 0, 10000);
    int e = errno;
    s.stop();
    EXPECT_EQ(r, c.result);
    if (c.error != 0) EXPECT_EQ(e, c.error);
    std::vector<long long> writes;
    for (auto &w : s.calls(Fn::kWrite)) writes.push_back(w.args[2]);
    EXPECT_EQ(writes, c.writes);
    close(fd);
    unlink(path("f").c_str());
  }
}

TEST_F(FaultTest, ClearRangeReportsAFailedPositionCheck) {
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  inject::Scope s;
  s.script(Fn::kFallocate, {{0}});
  EXPECT_EQ(fsop_clear_range(p[1], 0, 100), -1);
  EXPECT_EQ(errno, ESPIPE);
  s.stop();
  EXPECT_EQ(s.calls(Fn::kWrite).size(), 0u);
  close(p[0]);
  close(p[1]);
}

struct Sleep {
  long long sec, nsec;
};

std::vector<Sleep> requests(const inject::Scope &s) {
  std::vector<Sleep> v;
  for (auto &c : s.calls(Fn::kNanosleep)) {
    EXPECT_EQ(c.args[0], c.args[1]);  // one record, request and remainder
    v.push_back({c.args[2], c.args[3]});
  }
  return v;
}

bool operator==(const Sleep &a, const Sleep &b) { return a.sec == b.sec && a.nsec == b.nsec; }
void PrintTo(const Sleep &s, std::ostream *os) { *os << "{" << s.sec << ", " << s.nsec << "}"; }

TEST(SleepFault, Request) {
  struct Case {
    int ms;
    Sleep request;
  };
  const Case cases[] = {{0, {0, 0}},
                        {999, {0, 999000000}},
                        {1500, {1, 500000000}},
                        {-1, {0, -1000000}},
                        {-1500, {-1, -500000000}},
                        {INT_MAX, {2147483, 647000000}},
                        {INT_MIN, {-2147483, -648000000}}};
  for (auto c : cases) {
    SCOPED_TRACE(c.ms);
    inject::Scope s;
    s.script(Fn::kNanosleep, {{0}});
    EXPECT_EQ(sleep_milliseconds(c.ms), 1);
    s.stop();
    EXPECT_EQ(requests(s), std::vector<Sleep>{c.request});
  }
}

TEST(SleepFault, InterruptedSleepsWhatIsLeft) {
  auto remaining = [](Sleep left) {
    return [left](const Call &c) {
      auto *rem = reinterpret_cast<timespec *>(static_cast<intptr_t>(c.args[1]));
      *rem = {left.sec, left.nsec};
    };
  };
  inject::Scope s;
  s.script(Fn::kNanosleep, {{-1, EINTR, remaining({1, 250})}, {-1, EINTR, remaining({0, 100})}, {0}});
  EXPECT_EQ(sleep_milliseconds(2000), 1);
  s.stop();
  EXPECT_EQ(requests(s), (std::vector<Sleep>{{2, 0}, {1, 250}, {0, 100}}));
  std::vector<long long> records;
  for (auto &c : s.calls(Fn::kNanosleep)) records.push_back(c.args[0]);
  EXPECT_EQ(records, std::vector<long long>(3, records[0]));
}

TEST(SleepFault, OtherErrorsEndTheSleep) {
  {
    inject::Scope s;
    s.script(Fn::kNanosleep, {{-1, EFAULT}, {0}});
    EXPECT_EQ(sleep_milliseconds(10), 1);
    EXPECT_EQ(s.unused(Fn::kNanosleep), 1u);
  }
  {
    // The C library's own answer to a negative request.
    inject::Scope s;
    EXPECT_EQ(sleep_milliseconds(-1500), 1);
    s.stop();
    EXPECT_EQ(s.calls(Fn::kNanosleep).size(), 1u);
  }
}

}  // namespace
