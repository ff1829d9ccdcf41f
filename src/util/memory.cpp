// Memory and fatal errors: allocation that never returns null, row arrays, and the error routine.
#include <cstdarg>
#include <cstdlib>

#include "util/util.h"

namespace qor {

// ---- The fatal-error routine ------------------------------------------------------------------

void (*error_exit_hook)() = nullptr;

void error(const char *format, ...) {
  fflush(stdout);
  fputs("Error: ", stderr);
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
  fputc('\n', stderr);
  fflush(stderr);
  if (error_exit_hook != nullptr) error_exit_hook();
  exit(1);
}

// ---- Allocation -------------------------------------------------------------------------------

void *mem_alloc(int size) {
  void *p = size < 0 ? nullptr : calloc(static_cast<size_t>(size) + 4, 1);
  if (p == nullptr) error("out of memory allocating %d bytes", size);
  return p;
}

void *mem_realloc(void *ptr, int size) {
  void *p = size < 0 ? nullptr : realloc(ptr, static_cast<size_t>(size) + 4);
  if (p == nullptr) error("out of memory reallocating %d bytes", size);
  return p;
}

// ---- Row arrays -------------------------------------------------------------------------------

void **double_alloc(int n, int m, int elsize) {
  long long rowbytes = static_cast<long long>(m) * elsize;
  if (n < 0 || rowbytes < 0 || rowbytes > 0x7ffffff0LL ||
      static_cast<long long>(n) * static_cast<long long>(sizeof(void *)) > 0x7ffffff0LL)
    error("out of memory allocating %lld bytes", static_cast<long long>(n) * rowbytes);
  void **rows = static_cast<void **>(mem_alloc(n * static_cast<int>(sizeof(void *))));
  for (int i = 0; i < n; i++) rows[i] = mem_alloc(static_cast<int>(rowbytes));
  return rows;
}

void double_free(void **rows, int n) {
  if (rows == nullptr) return;
  for (int i = 0; i < n; i++) {
    if (rows[i] != nullptr) {
      free(rows[i]);
      rows[i] = nullptr;
    }
  }
  free(rows);
}

}  // namespace qor
