#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "clip.h"

int main(int argc, char **argv) {
  if (argc <= 1) {
    fprintf(stderr, "pathclip: needs at least one argument\n");
    return 1;
  }
  // Output lost to a full device or a closed descriptor must not pass for success. The cause is
  // taken when a write fails: by the end, errno may say nothing about it.
  int write_errno = 0;
  for (int i = 1; i < argc; i++) {
    clip_trailing_slashes(argv[i]);
    if (printf("%s\n", argv[i]) < 0 && write_errno == 0) write_errno = errno;
  }
  if (fflush(stdout) != 0 && write_errno == 0) write_errno = errno;
  if (write_errno == 0 && !ferror(stdout)) return 0;
  if (write_errno != 0)
    fprintf(stderr, "pathclip: write error: %s\n", strerror(write_errno));
  else
    fputs("pathclip: write error\n", stderr);
  return 1;
}
