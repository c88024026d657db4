#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "clip.h"

int main(int argc, char **argv) {
  if (argc <= 1) {
    fprintf(stderr, "pathclip: needs at least one argument\n");
    return 1;
  }
  for (int i = 1; i < argc; i++) {
    clip_trailing_slashes(argv[i]);
    printf("%s\n", argv[i]);
  }
  // Output lost to a full device or a closed descriptor must not pass for success. Nothing but a
  // failed write sets errno here, so it still names the cause if the failure came before the flush.
  if (fflush(stdout) != 0 || ferror(stdout)) {
    fprintf(stderr, "pathclip: write error: %s\n", strerror(errno ? errno : EIO));
    return 1;
  }
  return 0;
}
