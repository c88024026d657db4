#include "fsops.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fs_fixture.h"

namespace {

// Taken before main, so before any test could change a switch.
const std::vector<int> kAtStart = [] {
  std::vector<int> v;
  for (int *s : all_switches()) v.push_back(*s);
  return v;
}();

TEST(Switches, StartWithTheirInitialValues) {
  // pretend_only, deny_writes_a, deny_writes_b, open_without_atime, report_mode_errors_a and _b,
  // emulate_special_files, read_real_links, prealloc_keep_size_a and _b.
  EXPECT_EQ(kAtStart, (std::vector<int>{0, 1, 0, 0, 0, 0, 0, 1, 0, 0}));
}

struct Outcome {
  long long result;
  int error;
};

bool same_time(const timespec &a, const timespec &b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Everything observable about a tree but the access times, which reading it changes.
void describe_tree(const std::string &dir, const std::string &rel, std::string &out) {
  std::vector<std::string> names;
  if (DIR *d = opendir(dir.c_str())) {
    while (dirent *e = readdir(d))
      if (std::string n = e->d_name; n != "." && n != "..") names.push_back(n);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  for (auto &n : names) {
    std::string p = dir + "/" + n;
    struct stat st = lstat_of(p);
    out += rel + n + " mode=" + std::to_string(st.st_mode) + " uid=" + std::to_string(st.st_uid) +
           " gid=" + std::to_string(st.st_gid) + " nlink=" + std::to_string(st.st_nlink) +
           " size=" + std::to_string(st.st_size) + " blocks=" + std::to_string(st.st_blocks) +
           " mtime=" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) +
           " ctime=" + std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec);
    if (S_ISREG(st.st_mode)) out += " [" + read_file(p) + "]";
    if (S_ISLNK(st.st_mode)) {
      char buf[256];
      ssize_t len = readlink(p.c_str(), buf, sizeof buf);
      out += " -> " + std::string(buf, len > 0 ? static_cast<size_t>(len) : 0);
    }
    out += "\n";
    if (S_ISDIR(st.st_mode)) describe_tree(p, rel + n + "/", out);
  }
}

std::string tree(const std::string &dir) {
  std::string out;
  describe_tree(dir, "", out);
  return out;
}

// The guard rule, over every guarded operation. Each case works in a tree of its own:
//   f  a regular file holding "0123456789", open read-write as fd
//   d  an empty directory
//   l  a symbolic link to f
struct Tree {
  std::string dir;
  int fd = -1;
  std::string arg;  // the writable path argument, for the operations that take one
  std::string p(const char *name) const { return dir + "/" + name; }
};

enum Yields { kZero, kValue };

struct GuardedOp {
  const char *name;
  Yields yields;
  Outcome (*call)(Tree &);
  const char *arg = nullptr;  // the writable argument's name in the tree
  void (*prepare)() = nullptr;
  bool fills_template_when_b_refuses = false;
  bool needs_root = false;
};

Outcome closing(int fd) {
  Outcome o{fd, errno};
  if (fd >= 0) close(fd);
  return o;
}

struct stat with_times(timespec atime, timespec mtime) {
  struct stat st {};
  st.st_atim = atime;
  st.st_mtim = mtime;
  return st;
}

void emulate() { emulate_special_files = -1; }

const struct stat kTimes = with_times({1000, 999999999}, {2000, 1});

const GuardedOp kGuardedOps[] = {
    {"unlink", kZero, [](Tree &t) { return Outcome{fsop_unlink(t.p("f").c_str()), errno}; }},
    {"rmdir", kZero, [](Tree &t) { return Outcome{fsop_rmdir(t.p("d").c_str()), errno}; }},
    {"hardlink", kZero,
     [](Tree &t) { return Outcome{fsop_hardlink(t.p("f").c_str(), t.p("f2").c_str()), errno}; }},
    {"rename", kZero,
     [](Tree &t) { return Outcome{fsop_rename(t.p("f").c_str(), t.p("g").c_str()), errno}; }},
    {"lchown", kZero, [](Tree &t) { return Outcome{fsop_lchown(t.p("l").c_str(), 4321, 4321), errno}; },
     nullptr, nullptr, false, true},
    {"chmod", kZero, [](Tree &t) { return Outcome{fsop_chmod(t.p("f").c_str(), S_IFREG | 0600), errno}; }},
    {"mkdir", kZero, [](Tree &t) { return Outcome{fsop_mkdir(t.arg.data(), 0755), errno}; }, "new///"},
    {"ftruncate", kZero, [](Tree &t) { return Outcome{fsop_ftruncate(t.fd, 3), errno}; }},
    {"open", kValue,
     [](Tree &t) { return closing(fsop_open(t.p("new").c_str(), O_WRONLY | O_CREAT, 0644)); }},
    {"open_nofollow", kValue,
     [](Tree &t) { return closing(fsop_open_nofollow(t.p("f").c_str(), O_WRONLY | O_TRUNC)); }},
    {"make_temp", kValue, [](Tree &t) { return closing(fsop_make_temp(t.arg.data(), 0600)); }, "tmp.XXXXXX",
     nullptr, true},
    {"symlink", kZero, [](Tree &t) { return Outcome{fsop_symlink("f", t.p("l2").c_str()), errno}; }},
    {"symlink emulated", kZero, [](Tree &t) { return Outcome{fsop_symlink("f", t.p("l2").c_str()), errno}; },
     nullptr, emulate},
    {"mknod", kZero,
     [](Tree &t) { return Outcome{fsop_mknod(t.p("fifo").c_str(), S_IFIFO | 0644, 0), errno}; }},
    {"mknod emulated", kZero,
     [](Tree &t) { return Outcome{fsop_mknod(t.p("n").c_str(), S_IFCHR | 0644, 0x103), errno}; }, nullptr,
     emulate},
    {"set_link_times_ns", kZero,
     [](Tree &t) { return Outcome{fsop_set_link_times_ns(t.p("f").c_str(), &kTimes), errno}; }},
    {"set_link_times_us", kZero,
     [](Tree &t) { return Outcome{fsop_set_link_times_us(t.p("f").c_str(), &kTimes), errno}; }},
    {"set_times_us", kZero,
     [](Tree &t) { return Outcome{fsop_set_times_us(t.p("l").c_str(), &kTimes), errno}; }},
    {"preallocate", kValue, [](Tree &t) { return Outcome{fsop_preallocate(t.fd, 0, 4096), errno}; }},
};

enum Expect { kActs, kPretends, kRefuses };

struct GuardSetting {
  const char *name;
  int pretend, deny_a, deny_b;
  Expect expect;
};

const GuardSetting kGuardSettings[] = {
    {"initial values", 0, 1, 0, kRefuses},
    {"pretend alone", 1, 0, 0, kPretends},
    {"pretend and deny_a", 1, 1, 0, kPretends},
    {"pretend and deny_b", 1, 0, 1, kPretends},
    {"deny_b alone", 0, 0, 1, kRefuses},
    {"both deny", 0, 1, 1, kRefuses},
    {"all clear", 0, 0, 0, kActs},
};

using GuardRule = FsTest;

TEST_F(GuardRule, Table) {
  int n = 0;
  for (const GuardSetting &s : kGuardSettings) {
    for (const GuardedOp &op : kGuardedOps) {
      SCOPED_TRACE(std::string(op.name) + ", " + s.name);
      restore_switches();
      Tree t{path(std::to_string(n++))};
      ASSERT_EQ(mkdir(t.dir.c_str(), 0755), 0);
      write_file(t.p("f"), "0123456789");
      ASSERT_EQ(mkdir(t.p("d").c_str(), 0755), 0);
      ASSERT_EQ(symlink("f", t.p("l").c_str()), 0);
      t.fd = open(t.p("f").c_str(), O_RDWR);
      ASSERT_GE(t.fd, 0);
      const std::string arg = op.arg ? t.p(op.arg) : "";
      t.arg = arg;
      const std::string before = tree(t.dir);

      if (op.prepare) op.prepare();
      pretend_only = s.pretend;
      deny_writes_a = s.deny_a;
      deny_writes_b = s.deny_b;
      errno = kUntouchedErrno;
      Outcome o = op.call(t);
      restore_switches();
      close(t.fd);

      switch (s.expect) {
        case kPretends:
          EXPECT_EQ(o.result, op.yields == kZero ? 0 : -1);
          EXPECT_EQ(o.error, op.yields == kZero ? kUntouchedErrno : 0);
          break;
        case kRefuses:
          EXPECT_EQ(o.result, -1);
          EXPECT_EQ(o.error, EROFS);
          break;
        case kActs:
          if (op.needs_root) continue;  // GuardRule.LchownActsForRoot
          if (op.yields == kZero)
            EXPECT_EQ(o.result, 0) << strerror(o.error);
          else
            EXPECT_GE(o.result, 0) << strerror(o.error);
          EXPECT_NE(tree(t.dir), before);
          continue;
      }
      EXPECT_EQ(tree(t.dir), before);
      bool filled = op.fills_template_when_b_refuses && s.expect == kRefuses && !s.deny_a;
      if (filled)
        EXPECT_EQ(t.arg.find("XXXXXX"), std::string::npos) << t.arg;
      else
        EXPECT_EQ(t.arg, arg);
    }
  }
}

// The acting row of the table that only root can run: giving a file away.
TEST_F(GuardRule, LchownActsForRoot) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file another owner needs root";
  write_file(path("f"), "x");
  ASSERT_EQ(symlink("f", path("l").c_str()), 0);
  clear_guards();
  EXPECT_EQ(fsop_lchown(path("l").c_str(), 4321, 4322), 0) << strerror(errno);
  struct stat l = lstat_of(path("l")), f = lstat_of(path("f"));
  EXPECT_EQ(l.st_uid, 4321u);
  EXPECT_EQ(l.st_gid, 4322u);
  EXPECT_EQ(f.st_uid, geteuid());
}

// The guards, for the operations that never consult them.
TEST_F(GuardRule, UnguardedOperationsWorkUnderEverySetting) {
  write_file(path("f"), "0123456789");
  ASSERT_EQ(symlink("f", path("l").c_str()), 0);
  for (const GuardSetting &s : kGuardSettings) {
    SCOPED_TRACE(s.name);
    pretend_only = s.pretend;
    deny_writes_a = s.deny_a;
    deny_writes_b = s.deny_b;
    int fd = fsop_open(path("f").c_str(), 0, 0);
    EXPECT_GE(fd, 0);
    close(fd);
    fd = fsop_open_nofollow(path("f").c_str(), 0);
    ASSERT_GE(fd, 0);
    struct stat st;
    EXPECT_EQ(fsop_fstat(fd, &st), 0);
    EXPECT_EQ(st.st_size, 10);
    EXPECT_EQ(fsop_lseek(fd, 4, SEEK_SET), 4);
    close(fd);
    EXPECT_EQ(fsop_stat(path("l").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(fsop_lstat(path("l").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    char buf[8];
    EXPECT_EQ(fsop_readlink(path("l").c_str(), buf, sizeof buf), 1);
    emulate_special_files = -1;
    EXPECT_EQ(fsop_readlink(path("f").c_str(), buf, sizeof buf), 8);
    emulate_special_files = 0;
  }
}

using OpenTest = FsTest;

// The flags as the kernel holds them for the open file.
int open_file_flags(int fd) {
  std::string info = read_file("/proc/self/fdinfo/" + std::to_string(fd));
  size_t at = info.find("flags:");
  if (at == std::string::npos) {
    ADD_FAILURE() << "no flags in " << info;
    return 0;
  }
  return std::stoi(info.substr(at + 6), nullptr, 8);
}

TEST_F(OpenTest, FlagsZeroIsNeverGuardedButOtherReadOnlyFlagsAre) {
  write_file(path("f"), "x");
  deny_writes_a = 1;
  int fd = fsop_open(path("f").c_str(), 0, 0);
  EXPECT_GE(fd, 0);
  close(fd);
  EXPECT_EQ(fsop_open(path("f").c_str(), O_RDONLY | O_CLOEXEC, 0), -1);
  EXPECT_EQ(errno, EROFS);
  EXPECT_EQ(fsop_open_nofollow(path("f").c_str(), O_RDONLY | O_CLOEXEC), -1);
  EXPECT_EQ(errno, EROFS);
}

TEST_F(OpenTest, NoAtimeAddedWhenTheSwitchIsSet) {
  // The file is the test's own, so the kernel grants O_NOATIME whoever runs the test.
  write_file(path("f"), "x");
  struct Case {
    int atime_switch, flags, deny_a;
    bool noatime;
  };
  // Added after the guard test, so it never makes an open of flags 0 a guarded one.
  const Case cases[] = {{0, 0, 1, false}, {1, 0, 1, true}, {0, O_RDWR, 0, false}, {1, O_RDWR, 0, true}};
  for (auto c : cases) {
    SCOPED_TRACE(std::to_string(c.atime_switch) + " " + std::to_string(c.flags));
    open_without_atime = c.atime_switch;
    deny_writes_a = c.deny_a;
    int fd = fsop_open(path("f").c_str(), c.flags, 0);
    ASSERT_GE(fd, 0) << strerror(errno);
    EXPECT_EQ((open_file_flags(fd) & O_NOATIME) != 0, c.noatime);
    EXPECT_EQ(open_file_flags(fd) & O_ACCMODE, c.flags & O_ACCMODE);
    close(fd);
  }
  // The no-follow open leaves the switch alone.
  int fd = fsop_open_nofollow(path("f").c_str(), 0);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(open_file_flags(fd) & O_NOATIME, 0);
  close(fd);
}

TEST_F(OpenTest, CreatesWithTheGivenMode) {
  clear_guards();
  int fd = fsop_open(path("new").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0640);
  ASSERT_GE(fd, 0);
  close(fd);
  EXPECT_EQ(lstat_of(path("new")).st_mode, S_IFREG | 0640);
}

TEST_F(OpenTest, NofollowRefusesAFinalLinkAndCreatingFlags) {
  write_file(path("f"), "x");
  ASSERT_EQ(symlink("f", path("l").c_str()), 0);
  EXPECT_EQ(fsop_open_nofollow(path("l").c_str(), 0), -1);
  EXPECT_EQ(errno, ELOOP);
  clear_guards();
  for (int flags : {O_WRONLY | O_CREAT, O_RDWR | O_TMPFILE}) {
    SCOPED_TRACE(flags);
    EXPECT_EQ(fsop_open_nofollow(path(flags & O_CREAT ? "new" : ".").c_str(), flags), -1);
    EXPECT_EQ(errno, EINVAL);
  }
  EXPECT_EQ(access(path("new").c_str(), F_OK), -1);
  int fd = fsop_open_nofollow(path("f").c_str(), O_WRONLY | O_APPEND);
  EXPECT_GE(fd, 0);
  close(fd);
  // O_TMPFILE holds the bits of O_DIRECTORY, which creates nothing.
  fd = fsop_open_nofollow(dir_.c_str(), O_DIRECTORY);
  EXPECT_GE(fd, 0) << strerror(errno);
  close(fd);
}

using ChmodTest = FsTest;

TEST_F(ChmodTest, PassesOnlyThePermissionBits) {
  write_file(path("f"), "x", 0644);
  clear_guards();
  struct Case {
    mode_t mode, expect;
  };
  const Case cases[] = {{S_IFREG | S_ISUID | 0755, S_IFREG | S_ISUID | 0755},
                        {S_IFDIR | 0700, S_IFREG | 0700},
                        {S_IFMT | S_ISVTX | 0600, S_IFREG | S_ISVTX | 0600},
                        {0640, S_IFREG | 0640}};
  for (auto c : cases) {
    SCOPED_TRACE(c.mode);
    EXPECT_EQ(fsop_chmod(path("f").c_str(), c.mode), 0);
    EXPECT_EQ(lstat_of(path("f")).st_mode, c.expect);
  }
}

TEST_F(ChmodTest, OutcomeReportedOnlyWithAReportSwitch) {
  write_file(path("f"), "x", 0644);
  struct Case {
    const char *name;
    int report_a, report_b;
    const char *file;
    mode_t mode;
    int result, error;
  };
  const Case cases[] = {
      {"link mode", 0, 0, "f", S_IFLNK | 0777, 0, kUntouchedErrno},
      {"link mode, report a", 1, 0, "f", S_IFLNK | 0777, 1, kUntouchedErrno},
      {"link mode, report b", 0, 1, "f", S_IFLNK | 0777, 1, kUntouchedErrno},
      {"missing", 0, 0, "missing", 0600, 0, ENOENT},
      {"missing, report a", 1, 0, "missing", 0600, -1, ENOENT},
      {"missing, report b", 0, 1, "missing", 0600, -1, ENOENT},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    clear_guards();
    report_mode_errors_a = c.report_a;
    report_mode_errors_b = c.report_b;
    errno = kUntouchedErrno;
    EXPECT_EQ(fsop_chmod(path(c.file).c_str(), c.mode), c.result);
    EXPECT_EQ(errno, c.error);
    EXPECT_EQ(lstat_of(path("f")).st_mode, S_IFREG | 0644);
    // Refused, it says so whatever the report switches say.
    deny_writes_b = 1;
    EXPECT_EQ(fsop_chmod(path(c.file).c_str(), c.mode), -1);
    EXPECT_EQ(errno, EROFS);
  }
}

using MkdirTest = FsTest;

TEST_F(MkdirTest, ClipsTrailingSlashesInTheCallersString) {
  clear_guards();
  std::string p = path("d") + "///";
  EXPECT_EQ(fsop_mkdir(p.data(), 0750), 0);
  EXPECT_STREQ(p.c_str(), path("d").c_str());
  EXPECT_EQ(lstat_of(path("d")).st_mode, S_IFDIR | 0750);

  char root[] = "/";
  EXPECT_EQ(fsop_mkdir(root, 0755), -1);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_STREQ(root, "/");
}

using MakeTempTest = FsTest;

TEST_F(MakeTempTest, CreatesReadWriteWithOwnerWrite) {
  clear_guards();
  std::string tmpl = path("t.XXXXXX");
  int fd = fsop_make_temp(tmpl.data(), 0400);
  ASSERT_GE(fd, 0) << strerror(errno);
  EXPECT_EQ(tmpl.find("XXXXXX"), std::string::npos);
  EXPECT_EQ(tmpl.size(), path("t.XXXXXX").size());
  EXPECT_EQ(open_file_flags(fd) & O_ACCMODE, O_RDWR);
  EXPECT_EQ(write(fd, "ab", 2), 2);
  close(fd);
  EXPECT_EQ(lstat_of(tmpl).st_mode, S_IFREG | 0600);
  EXPECT_EQ(read_file(tmpl), "ab");
}

TEST_F(MakeTempTest, AddsNoAtimeThroughTheOpen) {
  clear_guards();
  open_without_atime = 1;
  std::string tmpl = path("t.XXXXXX");
  int fd = fsop_make_temp(tmpl.data(), 0600);
  ASSERT_GE(fd, 0);
  EXPECT_NE(open_file_flags(fd) & O_NOATIME, 0);
  close(fd);
}

TEST_F(MakeTempTest, DenyBRefusesAfterTheNameIsChosen) {
  deny_writes_a = 0;
  deny_writes_b = 1;
  std::string tmpl = path("t.XXXXXX");
  EXPECT_EQ(fsop_make_temp(tmpl.data(), 0600), -1);
  EXPECT_EQ(errno, EROFS);
  EXPECT_EQ(tmpl.find("XXXXXX"), std::string::npos);
  EXPECT_EQ(access(tmpl.c_str(), F_OK), -1);
}

TEST_F(MakeTempTest, TemplateWithoutXsFailsWithTheCLibrarysError) {
  clear_guards();
  std::string tmpl = path("plain");
  EXPECT_EQ(fsop_make_temp(tmpl.data(), 0600), -1);
  EXPECT_EQ(errno, EINVAL);
}

using LinkTest = FsTest;

TEST_F(LinkTest, HardLinkOfASymbolicLinkNamesTheLinkItself) {
  write_file(path("f"), "x");
  ASSERT_EQ(symlink("f", path("l").c_str()), 0);
  clear_guards();
  EXPECT_EQ(fsop_hardlink(path("l").c_str(), path("l2").c_str()), 0);
  struct stat l = lstat_of(path("l")), l2 = lstat_of(path("l2"));
  EXPECT_TRUE(S_ISLNK(l2.st_mode));
  EXPECT_EQ(l2.st_ino, l.st_ino);
  EXPECT_EQ(l2.st_nlink, 2u);
  EXPECT_EQ(lstat_of(path("f")).st_nlink, 1u);
}

// Waits until the clock that stamps inode changes has passed `t`, so that a change made now shows.
void wait_until_clock_passes(const timespec &t) {
  for (;;) {
    timespec now;
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    if (now.tv_sec > t.tv_sec || (now.tv_sec == t.tv_sec && now.tv_nsec > t.tv_nsec)) return;
    const timespec tick = {0, 1000000};
    nanosleep(&tick, nullptr);
  }
}

// Owner and group -1 change nothing but the change time, which any user may do to their own files:
// it shows which of link and target the call reached.
TEST_F(LinkTest, LchownChangesTheLinkNotItsTarget) {
  write_file(path("target"), "x");
  ASSERT_EQ(symlink("target", path("l").c_str()), 0);
  const struct stat link_before = lstat_of(path("l")), target_before = lstat_of(path("target"));
  wait_until_clock_passes(link_before.st_ctim);
  wait_until_clock_passes(target_before.st_ctim);
  clear_guards();
  EXPECT_EQ(fsop_lchown(path("l").c_str(), static_cast<uid_t>(-1), static_cast<gid_t>(-1)), 0) << strerror(errno);
  const struct stat link_after = lstat_of(path("l")), target_after = lstat_of(path("target"));
  EXPECT_FALSE(same_time(link_after.st_ctim, link_before.st_ctim)) << "the link was not changed";
  EXPECT_TRUE(same_time(target_after.st_ctim, target_before.st_ctim)) << "the target was changed";
  EXPECT_EQ(link_after.st_uid, link_before.st_uid);
}

TEST_F(LinkTest, PlatformFailuresPassThrough) {
  write_file(path("f"), "x");
  ASSERT_EQ(mkdir(path("d").c_str(), 0755), 0);
  write_file(path("d/inner"), "x");
  clear_guards();
  char buf[8];
  struct Case {
    const char *name;
    int result, error, expect;
  };
  // Each row is evaluated in order: the call, then the errno it left.
  const Case cases[] = {
      {"unlink missing", fsop_unlink(path("missing").c_str()), errno, ENOENT},
      {"rmdir not empty", fsop_rmdir(path("d").c_str()), errno, ENOTEMPTY},
      {"hardlink onto existing", fsop_hardlink(path("f").c_str(), path("d/inner").c_str()), errno, EEXIST},
      {"rename missing", fsop_rename(path("missing").c_str(), path("g").c_str()), errno, ENOENT},
      {"ftruncate closed", fsop_ftruncate(-1, 0), errno, EBADF},
      {"symlink onto existing", fsop_symlink("x", path("f").c_str()), errno, EEXIST},
      {"mknod onto existing", fsop_mknod(path("f").c_str(), S_IFIFO | 0600, 0), errno, EEXIST},
      {"readlink of a file", static_cast<int>(fsop_readlink(path("f").c_str(), buf, sizeof buf)), errno,
       EINVAL},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.error, c.expect);
  }
}

using SpecialFileTest = FsTest;

// The descriptor that the next open will get: the lowest one free.
int next_descriptor() {
  int fd = open("/dev/null", O_RDONLY);
  EXPECT_GE(fd, 0);
  close(fd);
  return fd;
}

TEST_F(SpecialFileTest, EmulatedLinksAreFilesHoldingTheText) {
  clear_guards();
  emulate_special_files = -1;
  struct Case {
    const char *text;
    size_t buffer;
    ssize_t count;
  };
  const Case cases[] = {{"abc", 64, 3}, {"", 64, 0}, {"a/long/target", 4, 4}, {"xy", 2, 2}};
  for (auto c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_EQ(fsop_symlink(c.text, path("l").c_str()), 0);
    EXPECT_EQ(lstat_of(path("l")).st_mode, S_IFREG | 0600);
    EXPECT_EQ(read_file(path("l")), c.text);
    std::string buf(c.buffer + 4, '#');
    const int next = next_descriptor();
    EXPECT_EQ(fsop_readlink(path("l").c_str(), buf.data(), c.buffer), c.count);
    EXPECT_EQ(fcntl(next, F_GETFD), -1) << "descriptor left open";
    const size_t n = static_cast<size_t>(c.count);
    EXPECT_EQ(buf, std::string(c.text, n) + std::string(buf.size() - n, '#'));
  }
}

TEST_F(SpecialFileTest, EmulatedNodesAreEmptyFiles) {
  clear_guards();
  emulate_special_files = -1;
  write_file(path("existing"), "old content");
  struct Case {
    const char *name;
    mode_t mode;
    dev_t dev;
    mode_t made;  // an existing file keeps its mode
  };
  const Case cases[] = {{"chr", S_IFCHR | 0666, makedev(1, 3), S_IFREG | 0600},
                        {"blk", S_IFBLK | 0640, makedev(8, 1), S_IFREG | 0600},
                        {"fifo", S_IFIFO | 0644, 0, S_IFREG | 0600},
                        {"existing", S_IFREG | 0755, 0, S_IFREG | 0644}};
  for (auto c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(fsop_mknod(path(c.name).c_str(), c.mode, c.dev), 0);
    struct stat st = lstat_of(path(c.name));
    EXPECT_EQ(st.st_mode, c.made);
    EXPECT_EQ(st.st_size, 0);
  }
}

TEST_F(SpecialFileTest, EmulatedLinkReplacesAnExistingFile) {
  clear_guards();
  emulate_special_files = -1;
  write_file(path("l"), "a much longer old content");
  EXPECT_EQ(fsop_symlink("new", path("l").c_str()), 0);
  EXPECT_EQ(read_file(path("l")), "new");
}

// Without O_NOFOLLOW the open would truncate the file the link points to, or create it.
TEST_F(SpecialFileTest, EmulatedCreateOverASymbolicLinkLeavesTheTargetAlone) {
  clear_guards();
  emulate_special_files = -1;
  write_file(path("target"), "precious");
  ASSERT_EQ(symlink("target", path("l").c_str()), 0);
  ASSERT_EQ(symlink("absent", path("dangling").c_str()), 0);
  for (const char *at : {"l", "dangling"}) {
    SCOPED_TRACE(at);
    EXPECT_EQ(fsop_symlink("text", path(at).c_str()), -1);
    EXPECT_EQ(errno, ELOOP);
    EXPECT_EQ(fsop_mknod(path(at).c_str(), S_IFCHR | 0600, 0), -1);
    EXPECT_EQ(errno, ELOOP);
    EXPECT_TRUE(S_ISLNK(lstat_of(path(at)).st_mode));
  }
  EXPECT_EQ(read_file(path("target")), "precious");
  EXPECT_EQ(access(path("absent").c_str(), F_OK), -1);
}

TEST_F(SpecialFileTest, EmulatedReadOfOtherEntries) {
  write_file(path("f"), "plain file");
  ASSERT_EQ(symlink("the/real/text", path("l").c_str()), 0);
  ASSERT_EQ(mkdir(path("d").c_str(), 0755), 0);
  emulate_special_files = -1;
  struct Case {
    const char *name;
    int real_links;
    const char *entry;
    ssize_t count;
    int error;  // errno after the call; 0: not checked
    const char *text;
  };
  const Case cases[] = {
      {"real link, read", 1, "l", 13, 0, "the/real/text"},
      {"real link, not read", 0, "l", 0, ELOOP, ""},
      {"missing", 1, "missing", -1, ENOENT, ""},
      {"plain file", 1, "f", 10, 0, "plain file"},
      {"directory", 1, "d", -1, EISDIR, ""},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    read_real_links = c.real_links;
    char buf[64];
    std::fill(std::begin(buf), std::end(buf), '#');
    const int next = next_descriptor();
    errno = kUntouchedErrno;
    EXPECT_EQ(fsop_readlink(path(c.entry).c_str(), buf, sizeof buf), c.count);
    if (c.error != 0) EXPECT_EQ(errno, c.error);
    EXPECT_EQ(fcntl(next, F_GETFD), -1) << "descriptor left open";
    std::string got(buf, sizeof buf);
    EXPECT_EQ(got, c.text + std::string(sizeof buf - strlen(c.text), '#'));
  }
}

TEST_F(SpecialFileTest, EmulationOffOrPositiveMakesRealEntries) {
  clear_guards();
  for (int emulation : {0, 1}) {
    SCOPED_TRACE(emulation);
    emulate_special_files = emulation;
    std::string l = path("l" + std::to_string(emulation)), fifo = path("p" + std::to_string(emulation));
    EXPECT_EQ(fsop_symlink("some/text", l.c_str()), 0);
    EXPECT_TRUE(S_ISLNK(lstat_of(l).st_mode));
    char buf[64];
    EXPECT_EQ(fsop_readlink(l.c_str(), buf, sizeof buf), 9);
    EXPECT_EQ(std::string(buf, 9), "some/text");
    EXPECT_EQ(fsop_mknod(fifo.c_str(), S_IFIFO | 0640, 0), 0);
    EXPECT_EQ(lstat_of(fifo).st_mode, S_IFIFO | 0640);
  }
}

using TimesTest = FsTest;
using TimeSetter = int (*)(const char *, const struct stat *);

// Expects the nanosecond timestamps of ext4 (and tmpfs): a coarser file system would round what
// is read back.
TEST_F(TimesTest, NanosecondsAndTheirTruncationToMicroseconds) {
  write_file(path("f"), "x");
  clear_guards();
  struct Case {
    long nsec;
    long ns_read;  // read back after the nanosecond setter; -1: refused with EINVAL
    long us_read;  // after either microsecond setter
  };
  const Case cases[] = {{999999999, 999999999, 999999000},
                        {1999, 1999, 1000},
                        {0, 0, 0},
                        {-999, -1, 0},
                        {-1000, -1, -1},
                        {1000000000, -1, -1}};
  const std::pair<const char *, TimeSetter> setters[] = {
      {"ns", fsop_set_link_times_ns}, {"link us", fsop_set_link_times_us}, {"us", fsop_set_times_us}};
  for (auto c : cases) {
    for (auto [name, set] : setters) {
      SCOPED_TRACE(std::to_string(c.nsec) + " " + name);
      const bool ns = set == fsop_set_link_times_ns;
      const long want = ns ? c.ns_read : c.us_read;
      struct stat rec = with_times({1000, c.nsec}, {2000, 1});
      struct stat reset = with_times({7, 0}, {7, 0});
      ASSERT_EQ(fsop_set_link_times_ns(path("f").c_str(), &reset), 0);
      int r = set(path("f").c_str(), &rec);
      struct stat got = lstat_of(path("f"));
      if (want < 0) {
        EXPECT_EQ(r, -1);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_TRUE(same_time(got.st_atim, {7, 0}));
        continue;
      }
      EXPECT_EQ(r, 0) << strerror(errno);
      EXPECT_TRUE(same_time(got.st_atim, {1000, want})) << got.st_atim.tv_sec << "." << got.st_atim.tv_nsec;
      EXPECT_TRUE(same_time(got.st_mtim, {2000, ns ? 1 : 0}))
          << got.st_mtim.tv_sec << "." << got.st_mtim.tv_nsec;
    }
  }
}

TEST_F(TimesTest, OnASymbolicLink) {
  write_file(path("target"), "x");
  ASSERT_EQ(symlink("target", path("l").c_str()), 0);
  clear_guards();
  struct Case {
    const char *name;
    TimeSetter set;
    bool follows;
  };
  const Case cases[] = {{"ns", fsop_set_link_times_ns, false},
                        {"link us", fsop_set_link_times_us, false},
                        {"us", fsop_set_times_us, true}};
  const timespec reset[2] = {{7, 0}, {8, 0}};
  const struct stat rec = with_times({1000, 5000}, {2000, 6000});
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    for (const char *entry : {"l", "target"})
      ASSERT_EQ(utimensat(AT_FDCWD, path(entry).c_str(), reset, AT_SYMLINK_NOFOLLOW), 0);
    EXPECT_EQ(c.set(path("l").c_str(), &rec), 0);
    struct stat changed = lstat_of(path(c.follows ? "target" : "l"));
    struct stat kept = lstat_of(path(c.follows ? "l" : "target"));
    EXPECT_TRUE(same_time(changed.st_atim, rec.st_atim));
    EXPECT_TRUE(same_time(changed.st_mtim, rec.st_mtim));
    // Following the link reads it, which may set its access time.
    if (!c.follows) EXPECT_TRUE(same_time(kept.st_atim, reset[0]));
    EXPECT_TRUE(same_time(kept.st_mtim, reset[1]));
  }
}

TEST_F(TimesTest, StoppedByTheGuardTheRecordIsNotRead) {
  for (TimeSetter set : {fsop_set_link_times_ns, fsop_set_link_times_us, fsop_set_times_us}) {
    pretend_only = 1;
    EXPECT_EQ(set(path("missing").c_str(), nullptr), 0);
    pretend_only = 0;
    deny_writes_a = 1;
    EXPECT_EQ(set(path("missing").c_str(), nullptr), -1);
    EXPECT_EQ(errno, EROFS);
  }
}

using StatusTest = FsTest;

TEST_F(StatusTest, PassThroughs) {
  write_file(path("target"), "0123456789");
  ASSERT_EQ(symlink("target", path("l").c_str()), 0);
  struct stat st;
  ASSERT_EQ(fsop_stat(path("l").c_str(), &st), 0);
  EXPECT_EQ(st.st_ino, lstat_of(path("target")).st_ino);
  ASSERT_EQ(fsop_lstat(path("l").c_str(), &st), 0);
  EXPECT_EQ(st.st_ino, lstat_of(path("l")).st_ino);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(fsop_stat(path("missing").c_str(), &st), -1);
  EXPECT_EQ(errno, ENOENT);

  int fd = open(path("target").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(fsop_fstat(fd, &st), 0);
  EXPECT_EQ(st.st_size, 10);
  EXPECT_EQ(fsop_lseek(fd, 3, SEEK_SET), 3);
  EXPECT_EQ(fsop_lseek(fd, 4, SEEK_CUR), 7);
  EXPECT_EQ(fsop_lseek(fd, off_t{1} << 40, SEEK_SET), off_t{1} << 40);
  EXPECT_EQ(fsop_lseek(fd, -1, SEEK_SET), -1);
  EXPECT_EQ(errno, EINVAL);
  close(fd);
  EXPECT_EQ(fsop_fstat(fd, &st), -1);
  EXPECT_EQ(errno, EBADF);
}

using PreallocateTest = FsTest;

TEST_F(PreallocateTest, ReturnsTheWholeFilesAllocation) {
  write_file(path("f"), std::string(65536, 'x'));
  int fd = open(path("f").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  clear_guards();
  off_t r = fsop_preallocate(fd, 65536, 4096);  // asks for 4095 bytes
  struct stat st;
  ASSERT_EQ(fstat(fd, &st), 0);
  EXPECT_EQ(st.st_size, 65536 + 4095);
  EXPECT_EQ(r, st.st_blocks * 512);
  EXPECT_GE(r, 65536 + 4095);
  close(fd);
}

TEST_F(PreallocateTest, KeepSizeReturnsZeroAndKeepsTheSize) {
  clear_guards();
  for (int *keep : {&prealloc_keep_size_a, &prealloc_keep_size_b}) {
    write_file(path("f"), "");
    int fd = open(path("f").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    prealloc_keep_size_a = prealloc_keep_size_b = 0;
    *keep = 1;
    EXPECT_EQ(fsop_preallocate(fd, 0, 65536), 0);
    struct stat st;
    ASSERT_EQ(fstat(fd, &st), 0);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_GT(st.st_blocks, 0);
    close(fd);
  }
}

TEST_F(PreallocateTest, LengthZeroBecomesARefusedMinusOne) {
  write_file(path("f"), "");
  int fd = open(path("f").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  clear_guards();
  EXPECT_EQ(fsop_preallocate(fd, 0, 0), -1);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(fsop_preallocate(-1, 0, 10), -1);
  EXPECT_EQ(errno, EBADF);
  close(fd);
}

using ClearRangeTest = FsTest;

// A pipe takes neither fallocate way, so the zeros are written.
TEST_F(ClearRangeTest, WritesZerosWhereNoHoleCanBeMade) {
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  EXPECT_EQ(fsop_clear_range(p[1], 0, 10000), 0);
  close(p[1]);
  std::string got;
  char buf[4096];
  for (ssize_t n; (n = read(p[0], buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(n));
  close(p[0]);
  EXPECT_EQ(got, zeros(10000));
}

TEST(Sleep, ReturnsOne) {
  EXPECT_EQ(sleep_milliseconds(0), 1);
  EXPECT_EQ(sleep_milliseconds(1), 1);
  EXPECT_EQ(sleep_milliseconds(-1), 1);
}

}  // namespace
