#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "devnum.h"

// errno of the first write to standard output that failed, taken at once: by the end of the run a
// failed stat may have overwritten it. -1 while no write has failed.
static int write_errno = -1;

// Output lost to a full device or a closed descriptor must not pass for success.
static bool output_lost() {
  if (fflush(stdout) != 0 && write_errno < 0) write_errno = errno;
  if (write_errno < 0 && !ferror(stdout)) return false;
  if (write_errno > 0)
    fprintf(stderr, "majmin: write error: %s\n", strerror(write_errno));
  else
    fputs("majmin: write error\n", stderr);
  return true;
}

int main(int argc, char **argv) {
  struct stat st;
  while (--argc > 0) {
    const char *path = *++argv;
    if (stat(path, &st) < 0) {
      fprintf(stderr, "Unable to stat `%s'\n", path);
      output_lost();
      exit(1);
    }
    // Widened with zeros above bit 31, so a number of 2^31 or more never prints as negative.
    printf("%ld/%ld\n", static_cast<long>(dev_major(st.st_dev)), static_cast<long>(dev_minor(st.st_dev)));
    // The stream's flag, unlocked as there is one thread: a cheap test on every line.
    if (write_errno < 0 && ferror_unlocked(stdout)) write_errno = errno;
  }
  return output_lost() ? 1 : 0;
}
