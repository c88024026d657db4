#ifndef SUPPORT_MESSAGES_H
#define SUPPORT_MESSAGES_H

// Message and exit routines, and hooks with fixed answers.
//
// Every message goes to standard error, whatever its class: the class selects nothing and adds
// nothing. No routine reads errno or tests the result of a write. exit_with_trace ends the process
// through exit(), so exit handlers run and buffered output, standard output included, is written out.
// The hooks read none of their arguments and always give the same answer.

#ifdef __cplusplus
extern "C" {
#endif

// Writes the formatted message and nothing else: no prefix, no newline.
void report_message(int msg_class, const char *format, ...) __attribute__((format(printf, 2, 3)));
// Writes "ormix: ", the formatted message, then ": <strerror(errnum)> (<errnum>)\n".
void report_sys_error(int msg_class, int errnum, const char *format, ...) __attribute__((format(printf, 3, 4)));
// Writes "exit(<status>): <file>(<line>)\n" and exits with the status.
void exit_with_trace(int status, const char *file, int line) __attribute__((noreturn));

int fixed_zero_4args(const void *, int, const void *, int);  // 0
int fixed_minus_one_2args(const void *, const void *);       // -1
void ignore_pointer_a(const void *);
void ignore_pointer_b(const void *);
void *fixed_null_pointer(int);  // null
int fixed_zero_1arg(int);       // 0
const char *program_role_name(void);  // "tester", always at the same address
void do_nothing(void);

// The hooks of sum_as_hex: the checksum length in bytes, 16 unless the type is 0 and the flag is
// not (then 1); and the byte order, always 0, which asks for no text.
int checksum_length(int csum_type, int flag);
int checksum_byte_order(int csum_type);

#ifdef __cplusplus
}
#endif

#endif
