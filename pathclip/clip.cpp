#include "clip.h"

#include <string.h>

void clip_trailing_slashes(char *path) {
  // size_t rather than int: the result is the same for every shorter text, and a text of 2 GiB or
  // more is clipped like any other instead of being misread through a truncated length.
  size_t n = strlen(path);
  while (n > 1) {
    --n;
    if (path[n] != '/') break;
    path[n] = '\0';
  }
}
