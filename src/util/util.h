// Foundation utilities: allocation, the fatal-error routine, input files (compressed, search paths),
// output files, row arrays, name lists, string hashing, and run information (banner, timing, host, user).
#ifndef QOR_UTIL_UTIL_H
#define QOR_UTIL_UTIL_H

#include <cstdint>
#include <cstdio>

namespace qor {

// ---- Open flags -------------------------------------------------------------------------------
constexpr int OPEN_REQUIRED = 1;  // failure to open is fatal
constexpr int OPEN_QUIET = 2;     // open_read_env prints no warning when the search fails
constexpr int OPEN_SEEKABLE = 4;  // a compressed file is decompressed into a rewindable temporary file

// Length of the buffers that hold names built here (search-path and output-file names).
constexpr int FILENAME_BUFFER = 2000;

// ---- Memory -----------------------------------------------------------------------------------
// Zero-filled block of size + 4 bytes; never null (fatal "out of memory allocating %d bytes").
void *mem_alloc(int size);
// Resizes ptr (may be null) to size + 4 bytes; new bytes are not cleared; never null.
void *mem_realloc(void *ptr, int size);
// n row pointers, each to a zero-filled row of m elements of elsize bytes.
void **double_alloc(int n, int m, int elsize);
// Frees every non-null row (and nulls its slot), then the array; a null array does nothing.
void double_free(void **rows, int n);

// ---- Fatal errors -----------------------------------------------------------------------------
// Flushes stdout, writes "Error: " + message + "\n" to stderr, exits with status 1.
[[noreturn]] void error(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Null in the programs. When set, error calls it after writing the message instead of exiting; it
// must not return (a fuzzing harness throws out of the reader). Should it return, error exits as usual.
extern void (*error_exit_hook)();

// ---- Strings ----------------------------------------------------------------------------------
// 0 when a and b are equal ignoring case and the separators '-' and '_', else 1 or -1.
int capscomp(const char *a, const char *b);
// h = 9*h + c over the signed bytes of s, 32-bit wrap-around.
int32_t hash_string(const char *s);

// A list of names split from one text: one allocation holding this header, count + 1 pointers
// (the last null) and a private copy of the text. Release it with free().
struct NameList {
  int32_t count;
  char **names;
};
// Splits s at white space and commas; a null s gives an empty list. Never null.
NameList *parse_name_list(const char *s);

// ---- Input files ------------------------------------------------------------------------------
// Opens name (plain, or through the decompressor for .gz/.Z, or name.gz / name.Z); null on failure.
FILE *do_open_read(const char *name, int flags);
// As do_open_read; fatal "Couldn't open file %s: %s\n" when it fails and OPEN_REQUIRED is set.
FILE *open_read(const char *name, int flags);
// Tries name, then dir/[subdir/]name with dir from the environment variable env or default_dir;
// writes the name used (or "File Not Found (%s)") to log when log is given.
FILE *open_read_env(const char *name, const char *env, const char *default_dir, const char *subdir, FILE *log,
                    int flags);
// Closes a stream from the opening functions; checks a decompressor's exit status.
// Returns 1 for a tolerated non-zero status of an abandoned pipe, 0 for a clean pipe, else fclose's result.
int close_read(FILE *stream);
// Opens base + suffix for writing; suffix ">" gives stdout, ">&" stderr; never null.
FILE *open_outputfile(const char *base, const char *suffix);

// ---- Run information --------------------------------------------------------------------------
// Current local time, e.g. "Wed Dec  9 16:22:12 2026" (static buffer).
const char *get_time();
// "user %3d:%2d:%2d    system %3d:%2d:%2d" of this process (static buffer).
const char *cpu_time();
// Formats a user and system CPU time given in whole seconds into buf (at least 48 bytes).
void format_cpu_time(char *buf, long user_seconds, long system_seconds);
// Host name, at most 199 characters (static buffer; empty when unknown).
const char *get_host_name();
// Login name of the effective user, at most 199 characters (static buffer; empty when unknown).
const char *get_user_name();
// Writes the fourteen-line banner block, each line starting with comment.
void print_copyright(FILE *out, const char *description, char comment);
// Opens base + suffix and writes the run-information header; returns the stream.
FILE *prepare_statfile(const char *base, const char *description, const char *suffix);
// Writes the two timing lines (CPU time, finishing time).
void stat_print_time(FILE *out);

}  // namespace qor

#endif
