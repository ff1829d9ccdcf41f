// Shared harness of the reader fuzz targets: fatal errors turned into an exception that ends the
// input, the input bytes written to a file in a private working directory, and the reset of the
// process-wide state (parameters, alphabets, models, open descriptors) between inputs.
//
// Sections: fatal errors | the working directory | process-wide state | one input
#ifndef QOR_FUZZ_FUZZ_COMMON_H
#define QOR_FUZZ_FUZZ_COMMON_H

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "alphabet/alphabet.h"
#include "init/init.h"
#include "models/model_prepare.h"
#include "models/models.h"
#include "util/util.h"

namespace qor_fuzz {

// ---- Fatal errors -------------------------------------------------------------------------------

// Thrown by the error hook: the reader reached a fatal error, which is a defined outcome.
struct FatalError {};

[[noreturn]] inline void throw_fatal() {
  throw FatalError{};
}

// ---- The working directory ----------------------------------------------------------------------

// The private directory the harness runs in (files a reader writes, such as templates, land here).
inline std::string &work_dir() {
  static std::string dir;
  return dir;
}

// Writes the bytes to work_dir/name and returns the full path.
inline std::string write_input(const uint8_t *data, size_t size, const char *name) {
  std::string path = work_dir() + "/" + name;
  FILE *f = fopen(path.c_str(), "wb");
  if (f == nullptr) {
    perror(path.c_str());
    abort();
  }
  if (size > 0 && fwrite(data, 1, size, f) != size) abort();
  if (fclose(f) != 0) abort();
  return path;
}

// A stream the harness opened: closed when the scope ends, also when a fatal error ends the read.
struct Stream {
  FILE *f;
  explicit Stream(FILE *stream) : f(stream) {}
  Stream(const Stream &) = delete;
  Stream &operator=(const Stream &) = delete;
  ~Stream() {
    if (f != nullptr) qor::close_read(f);
  }
};

// ---- Process-wide state -------------------------------------------------------------------------

// The alphabet table as it stood after init_alphabets (user-defined slots empty).
inline qor::Alphabet *alphabet_snapshot() {
  static qor::Alphabet saved[sizeof qor::alphabet_table / sizeof qor::alphabet_table[0]];
  return saved;
}

// Forgets every alphabet choice: user-defined slots are released and the table restored (background
// files change the built-in regularizers), no track has an alphabet.
inline void reset_alphabets() {
  constexpr size_t n = sizeof qor::alphabet_table / sizeof qor::alphabet_table[0];
  for (size_t i = 0; i < n; i++) {
    qor::Alphabet &a = qor::alphabet_table[i];
    if (a.internal_id == qor::ALPHABET_DEF_ID) {
      free(a.name);
      free(a.letters);
      free(a.digit_table);
    }
  }
  memcpy(qor::alphabet_table, alphabet_snapshot(), sizeof qor::alphabet_table);
  for (int t = 0; t < qor::MAX_TRACKS; t++) qor::alphabets[t] = nullptr;
  qor::num_alphabets = 0;
  qor::alphabet = nullptr;
}

// Releases the model bundles the parameter system holds, then sets every parameter to its default.
inline void reset_parameters() {
  qor::free_rmodel(&qor::base_model);
  qor::free_rmodel(&qor::base_regularizer);
  qor::free_rmodel(&qor::base_frequencies);
  qor::free_rmodel(&qor::users_null);
  qor::initialize_variables();
  for (qor::OptionEntry *row = qor::read_vars; row->type != qor::VAR_END; row++) row->changed = 0;
  qor::verbout = nullptr;  // progress lines are not part of what is tested
  qor::clear_fims_added();
}

inline void reset_state() {
  reset_parameters();
  reset_alphabets();
}

// The open descriptors of the process on files of the working directory (what a reader opens).
inline std::set<int> open_fds() {
  std::set<int> fds;
  DIR *d = opendir("/proc/self/fd");
  if (d == nullptr) return fds;
  int self = dirfd(d);
  while (struct dirent *e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    int fd = atoi(e->d_name);
    if (fd == self) continue;
    char link[4096];
    std::string proc = std::string("/proc/self/fd/") + e->d_name;
    ssize_t n = readlink(proc.c_str(), link, sizeof link - 1);
    if (n <= 0) continue;
    link[n] = '\0';
    if (strncmp(link, work_dir().c_str(), work_dir().size()) == 0) fds.insert(fd);
  }
  closedir(d);
  return fds;
}

// One-time set-up: the error hook, a private working directory for the inputs and what readers
// write (also HOME, so that no default parameter file is found; the current directory is left
// alone, since libFuzzer reads its corpus through relative names), an environment without search paths, the
// alphabets.
inline void setup() {
  static bool done = false;
  if (done) return;
  done = true;
  qor::error_exit_hook = throw_fatal;
  char templ[] = "/tmp/qorfuzz-XXXXXX";
  if (mkdtemp(templ) == nullptr) {
    perror("mkdtemp");
    abort();
  }
  work_dir() = templ;
  setenv("HOME", templ, 1);
  unsetenv("QORRC");
  unsetenv("PRIOR_PATH");
  unsetenv("BLASTMAT");
  qor::initialize_variables();
  qor::init_alphabets();
  memcpy(alphabet_snapshot(), qor::alphabet_table, sizeof qor::alphabet_table);
  reset_state();
}

// ---- One input ----------------------------------------------------------------------------------

// Runs body on one input: a fatal error ends it; afterwards the state is reset. Descriptors opened
// by an input that ended in a fatal error are closed (the reader had no chance to); a descriptor
// left open after a normal end is a fault of the reader and stops the run.
template <typename Body>
void run_one(Body body) {
  bool fatal = false;
  try {
    body();
  } catch (const FatalError &) {
    fatal = true;
  }
  fflush(stdout);
  for (int fd : open_fds()) {
    if (!fatal) {
      fprintf(stderr, "fuzz: descriptor %d left open by a read that ended normally\n", fd);
      abort();
    }
    close(fd);
  }
  reset_state();
}

}  // namespace qor_fuzz

#endif
