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
  // taken at the line whose write failed, while errno still holds it; -1 until then. The stream's
  // flag is read rather than printf's result, which would keep the compiler from making the call
  // a plain puts; unlocked, as there is one thread.
  int write_errno = -1;
  for (int i = 1; i < argc; i++) {
    clip_trailing_slashes(argv[i]);
    printf("%s\n", argv[i]);
    if (write_errno < 0 && ferror_unlocked(stdout)) write_errno = errno;
  }
  if (fflush(stdout) != 0 && write_errno < 0) write_errno = errno;
  if (write_errno < 0 && !ferror(stdout)) return 0;
  if (write_errno > 0)
    fprintf(stderr, "pathclip: write error: %s\n", strerror(write_errno));
  else
    fputs("pathclip: write error\n", stderr);
  return 1;
}
