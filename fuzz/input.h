#ifndef FUZZ_INPUT_H
#define FUZZ_INPUT_H

// Reads fixed-width fields from the front of a fuzz input, zeros once it runs out, so that a seed file
// is just its fields one after another, little-endian (see seeds.py).
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

struct FuzzInput {
  const uint8_t *p;
  size_t n;

  template <class T>
  T take() {
    T v{};
    size_t k = n < sizeof v ? n : sizeof v;
    if (k != 0) memcpy(&v, p, k);
    p += k;
    n -= k;
    return v;
  }
  std::string rest() {
    std::string s(reinterpret_cast<const char *>(p), n);
    p += n;
    n = 0;
    return s;
  }
};

#endif
