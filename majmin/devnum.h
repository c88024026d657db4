#ifndef MAJMIN_DEVNUM_H
#define MAJMIN_DEVNUM_H

#include <stdint.h>

// The Linux split of a 64-bit device number, written out rather than taken from the C library's
// macros so that every value splits the same way on every target.
static inline uint32_t dev_major(uint64_t dev) {
  return static_cast<uint32_t>(((dev >> 32) & 0xfffff000) | ((dev >> 8) & 0xfff));
}

static inline uint32_t dev_minor(uint64_t dev) {
  return static_cast<uint32_t>(((dev >> 12) & 0xffffff00) | (dev & 0xff));
}

#endif
