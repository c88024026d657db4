#ifndef SUPPORT_ALLOC_H
#define SUPPORT_ALLOC_H

// Bounded allocation, the layer's fatal reports, and checksum text.
//
// A fatal report is one line on standard error, "[tester] <condition> (file=<file>, line=<line>)",
// with source_path_prefix's directory part cut from the file name, then the exit trace of
// exit_with_trace; the process ends with status 22. my_alloc given a source file name never returns
// null: a refused or failed request is fatal. Given a null file name it returns null instead, writes
// nothing, and an old block stays valid and the caller's. Blocks come from the platform allocator and
// belong to the caller.

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// Ceiling in bytes for one request; 0 means none. A request passes only while count is below
// max_alloc_limit / size, that is while one element more would still fit.
extern size_t max_alloc_limit;
// An old-block value that asks for a new zero-filled block; only its address matters.
extern void *zeroed_alloc_marker;
// The reports cut this path's directory part, up to its last '/', from the front of file names. Its
// length is computed on first use and kept in source_prefix_len, -1 until then.
extern const char *source_path_prefix;
extern int source_prefix_len;

// old: null for a new block, zeroed_alloc_marker for a new zero-filled one, else a block to resize.
// A count × size beyond 64 bits is a failed request.
void *my_alloc(void *old, size_t count, size_t size, const char *file, int line);
const char *strip_source_prefix(const char *file);
void fatal_out_of_memory(const char *subject, const char *file, int line) __attribute__((noreturn));
void fatal_buffer_overflow(const char *subject, const char *file, int line) __attribute__((noreturn));

// The text of sum_as_hex: two lower-case hexadecimal digits per checksum byte, at most 16 bytes.
extern char buf[33];
// buf, or null (buf untouched, checksum unread) when the byte-order hook asks for no text, which it
// always does.
const char *sum_as_hex(int csum_type, const char *sum, int flag);

#ifdef __cplusplus
}
#endif

#endif
