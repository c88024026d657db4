#ifndef PATHCLIP_CLIP_H
#define PATHCLIP_CLIP_H

#ifdef __cplusplus
extern "C" {
#endif

// Removes the trailing slashes of a path in place by overwriting each with a NUL, the last one first.
// The first byte is never removed: a path of slashes alone becomes "/", and "" stays "".
void clip_trailing_slashes(char *path);

#ifdef __cplusplus
}
#endif

#endif
