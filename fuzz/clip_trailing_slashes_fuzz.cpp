// Any bytes up to the first NUL are a path. The clipped text must match a plain model, the removed
// slashes must be NULs, and nothing else, before or behind the text, may change.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "clip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Exactly the input and one NUL, so that any access past them is caught.
  char *text = static_cast<char *>(malloc(size + 1));
  char *before = static_cast<char *>(malloc(size + 1));
  memcpy(text, data, size);
  text[size] = '\0';
  memcpy(before, text, size + 1);

  size_t len = strlen(before);
  size_t keep = len;
  while (keep > 1 && before[keep - 1] == '/') keep--;

  clip_trailing_slashes(text);

  if (memcmp(text, before, keep) != 0) abort();
  for (size_t i = keep; i < len; i++)
    if (text[i] != '\0') abort();
  if (memcmp(text + len, before + len, size + 1 - len) != 0) abort();
  if (len > 0 && strspn(before, "/") == len && strcmp(text, "/") != 0) abort();
  free(text);
  free(before);
  return 0;
}
