#ifndef SUPPORT_ALLOC_INTERNAL_H
#define SUPPORT_ALLOC_INTERNAL_H

// Internal entry points of alloc.cpp for tests and fuzz targets; no part of the layer's interface.

#ifdef __cplusplus
extern "C" {
#endif

// sum_as_hex's conversion, with the byte order and length given instead of asked from the hooks.
// Byte order 0: null, buf untouched. Below 0 the bytes are written first to last, above 0 last to
// first. A length above 16 fails an assertion before anything is written; 0 or less gives "".
const char *sum_as_hex_ordered(int byte_order, int sum_len, const char *sum);

#ifdef __cplusplus
}
#endif

#endif
