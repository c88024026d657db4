// Linked into a test build of majmin's own entry with stat wrapped: a path "dev:<hex>" reports that
// device number, so a test can hand main any st_dev; every other path goes to the C library.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

extern "C" int __real_stat(const char *path, struct stat *st);

extern "C" int __wrap_stat(const char *path, struct stat *st) {
  if (strncmp(path, "dev:", 4) != 0) return __real_stat(path, st);
  memset(st, 0, sizeof *st);
  st->st_dev = strtoull(path + 4, nullptr, 16);
  return 0;
}
