#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "devnum.h"

// Output lost to a full device or a closed descriptor must not pass for success.
static bool output_lost() {
  if (fflush(stdout) == 0 && !ferror(stdout)) return false;
  fprintf(stderr, "majmin: write error: %s\n", strerror(errno ? errno : EIO));
  return true;
}

int main(int argc, char **argv) {
  struct stat st;
  while (--argc > 0) {
    const char *path = *++argv;
    if (stat(path, &st) < 0) {
      fprintf(stderr, "Unable to stat `%s'\n", path);
      errno = 0;  // the stat's error says nothing about standard output
      output_lost();
      exit(1);
    }
    // Widened with zeros above bit 31, so a number of 2^31 or more never prints as negative.
    printf("%ld/%ld\n", static_cast<long>(dev_major(st.st_dev)), static_cast<long>(dev_minor(st.st_dev)));
  }
  return output_lost() ? 1 : 0;
}
