#ifndef SUPPORT_FSOPS_H
#define SUPPORT_FSOPS_H

// The support layer's file-system group: wrappers around the C library's file-system calls,
// steered by process-wide switches.
//
// Unless its comment below says otherwise, every operation returns what its C-library call returns:
// 0, a descriptor, a count or an offset, and -1 with errno as the C library left it on failure. On
// top of that, for a guarded operation:
//  - refusal: with deny_writes_a or deny_writes_b set, errno is EROFS and the result -1; nothing is
//    called and no argument is changed;
//  - pretend: with pretend_only set (it wins over the deny switches), nothing is called or changed
//    and the result is 0, errno untouched; an operation that yields a descriptor or a size (a guarded
//    open, fsop_make_temp, fsop_preallocate) returns -1 with errno 0 instead.
// Guarded: every operation that changes the file system, except fsop_clear_range; fsop_open and
// fsop_open_nofollow only when their flags are non-zero. fsop_make_temp tests deny_writes_b only
// through its closing fsop_open. Not guarded: fsop_open/fsop_open_nofollow with flags 0,
// fsop_readlink, the status and seek pass-throughs, fsop_clear_range and sleep_milliseconds.
//
// The switches are read afresh at every call and never written by the layer.

#include <sys/stat.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

// Switches and settings, with their initial values.
extern int pretend_only;           // 0
extern int deny_writes_a;          // 1
extern int deny_writes_b;          // 0
extern int open_without_atime;     // 0: non-zero adds O_NOATIME in fsop_open
extern int report_mode_errors_a;   // 0: either one makes fsop_chmod report its outcome
extern int report_mode_errors_b;   // 0
extern int emulate_special_files;  // 0: negative stores links and nodes as regular files
extern int read_real_links;        // 1: in emulation, a real link is read with readlink
extern int prealloc_keep_size_a;   // 0: either one makes fsop_preallocate keep the size
extern int prealloc_keep_size_b;   // 0

// Guarded operations. Two-path operations take the existing path first.
int fsop_unlink(const char *path);
int fsop_rmdir(const char *path);
int fsop_hardlink(const char *existing, const char *new_path);  // a symbolic link is not followed
int fsop_rename(const char *old_path, const char *new_path);
int fsop_lchown(const char *path, uid_t owner, gid_t group);
// Passes only the 12 permission bits; a link-type mode changes nothing (outcome 1). Returns 0 unless
// a report switch is set, then the outcome (1, or chmod's -1).
int fsop_chmod(const char *path, mode_t mode);
// Clips the trailing slashes of path in place, once the guard lets the call through.
int fsop_mkdir(char *path, mode_t mode);
int fsop_ftruncate(int fd, off_t length);  // repeated while interrupted
int fsop_open(const char *path, int flags, mode_t mode);
// Adds O_NOFOLLOW. Takes no permissions: a creating flag (O_CREAT, O_TMPFILE) fails with EINVAL.
int fsop_open_nofollow(const char *path, int flags);
// Fills the trailing Xs of the template in place, then creates the file read-write and exclusively
// with the permissions plus owner write. Refused by deny_writes_b, the template is already filled.
int fsop_make_temp(char *name_template, mode_t permissions);

// Special files. With emulate_special_files negative, a link is a regular file (0600) holding the
// link text, a node an empty one; a symbolic link at the path fails with ELOOP and is left alone.
int fsop_symlink(const char *text, const char *link_path);
// Never NUL-terminates; bytes past the returned count are untouched.
ssize_t fsop_readlink(const char *path, char *buf, size_t size);
int fsop_mknod(const char *path, mode_t mode, dev_t dev);

// Status, seek and times. The time setters give the path the access and modification times of
// the record: the first two leave a final symbolic link unfollowed, fsop_set_times_us follows it.
// The microsecond setters truncate the nanoseconds toward zero.
int fsop_stat(const char *path, struct stat *st);
int fsop_lstat(const char *path, struct stat *st);
int fsop_fstat(int fd, struct stat *st);
off_t fsop_lseek(int fd, off_t offset, int whence);
int fsop_set_link_times_ns(const char *path, const struct stat *st);
int fsop_set_link_times_us(const char *path, const struct stat *st);
int fsop_set_times_us(const char *path, const struct stat *st);

// Space, range clearing and sleeping.
// Reserves the range with its length moved by one (odd up, even down). Returns the bytes allocated
// to the whole file, 0 with a keep-size switch set, or the adjusted length when the status cannot
// be read. A length whose adjustment overflows fails with EINVAL (negative) or EFBIG, uncalled.
off_t fsop_preallocate(int fd, off_t offset, off_t length);
// Makes the range read as zeros: punches a hole, else zeroes it in place, else writes zeros at the
// current position. Expects the position at offset and leaves it at offset + length; 0 or -1.
int fsop_clear_range(int fd, off_t offset, off_t length);
// Sleeps the whole time, across signals; always returns 1.
int sleep_milliseconds(int milliseconds);

#ifdef __cplusplus
}
#endif

#endif
