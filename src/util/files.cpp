// File access: input files that may be compressed or found on a search path, their closing with the
// decompressor's status check, and output files named after the run.
//
// Sections: decompressor pipes | opening input | search path | closing input | output files
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "util/util.h"

namespace qor {

// ---- Decompressor pipes -----------------------------------------------------------------------

static const char gunzipcmd[] = "exec gunzip -c ";
static const char uncompcmd[] = "exec uncompress -c ";

// The streams that are decompressor pipes, so that close_read knows which to pclose.
// A plain named pipe opened as a file is thus never mistaken for one.
static std::vector<FILE *> &pipe_streams() {
  static std::vector<FILE *> streams;
  return streams;
}

static bool forget_pipe(FILE *f) {
  auto &v = pipe_streams();
  for (size_t i = 0; i < v.size(); i++) {
    if (v[i] == f) {
      v.erase(v.begin() + static_cast<long>(i));
      return true;
    }
  }
  return false;
}

static bool ends_with(const char *name, const char *suffix) {
  size_t n = strlen(name), k = strlen(suffix);
  return n >= k && strcmp(name + n - k, suffix) == 0;
}

// The name as one shell word: single-quoted, with each ' written as '\''. No name can run a command.
static std::string shell_quote(const char *name) {
  std::string q = "'";
  for (const char *p = name; *p != '\0'; p++) {
    if (*p == '\'')
      q += "'\\''";
    else
      q += *p;
  }
  q += "'";
  return q;
}

// Starts the decompressor for name; with OPEN_SEEKABLE copies its output into a temporary file.
static FILE *open_compressed(const char *name, int flags) {
  if (access(name, R_OK) != 0) return nullptr;
  std::string command = ends_with(name, ".Z") ? uncompcmd : gunzipcmd;
  command += shell_quote(name);
  fflush(nullptr);
  FILE *pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return nullptr;
  if (!(flags & OPEN_SEEKABLE)) {
    pipe_streams().push_back(pipe);
    return pipe;
  }
  FILE *tmp = tmpfile();
  if (tmp == nullptr) {
    int saved = errno;
    pclose(pipe);
    errno = saved;
    return nullptr;
  }
  char buffer[1024];
  size_t got, put;
  do {
    got = fread(buffer, 1, sizeof buffer, pipe);
    put = got > 0 ? fwrite(buffer, 1, got, tmp) : 0;
  } while (got == sizeof buffer && put == got);
  bool ok = !ferror(pipe) && !ferror(tmp) && put == got;
  int saved = errno;
  int status = pclose(pipe);
  if (status != 0) ok = false;
  if (ok && fseek(tmp, 0L, SEEK_SET) == 0) return tmp;
  if (saved == 0) saved = EIO;  // a decompressor failure sets no errno of its own
  fclose(tmp);
  errno = saved;
  return nullptr;
}

// ---- Opening input ----------------------------------------------------------------------------

FILE *do_open_read(const char *name, int flags) {
  if (ends_with(name, ".gz") || ends_with(name, ".Z")) return open_compressed(name, flags);
  FILE *f = fopen(name, "r");
  if (f != nullptr) return f;
  int saved = errno;
  std::string alt = std::string(name) + ".gz";
  f = open_compressed(alt.c_str(), flags);
  if (f != nullptr) return f;
  alt = std::string(name) + ".Z";
  f = open_compressed(alt.c_str(), flags);
  if (f == nullptr && errno == ENOENT) errno = saved;
  return f;
}

FILE *open_read(const char *name, int flags) {
  FILE *f = do_open_read(name, flags);
  if (f == nullptr && (flags & OPEN_REQUIRED)) error("Couldn't open file %s: %s\n", name, strerror(errno));
  return f;
}

// ---- Search path ------------------------------------------------------------------------------

FILE *open_read_env(const char *name, const char *env, const char *default_dir, const char *subdir,
                    FILE *log, int flags) {
  if (name == nullptr || name[0] == '\0') {
    if (flags & OPEN_REQUIRED) error("No file name given.\n");
    return nullptr;
  }
  int inner = (flags & OPEN_SEEKABLE) | OPEN_QUIET;
  FILE *f = do_open_read(name, inner);
  if (f != nullptr) {
    if (log != nullptr) fputs(name, log);
    return f;
  }
  if (env == nullptr && default_dir == nullptr) {
    if (log != nullptr) fputs(name, log);
    return nullptr;
  }
  const char *dir = env != nullptr ? getenv(env) : nullptr;
  if (dir == nullptr) dir = default_dir != nullptr ? default_dir : "";
  std::string directory = dir;
  if (!directory.empty() && directory.back() == '/') directory.pop_back();
  std::string full = directory + "/";
  if (subdir != nullptr) full += std::string(subdir) + "/";
  full += name;
  if (full.size() >= static_cast<size_t>(FILENAME_BUFFER))
    error("file name too long (%zu characters, at most %d): %s", full.size(), FILENAME_BUFFER - 1, full.c_str());
  f = do_open_read(full.c_str(), inner);
  if (f != nullptr) {
    if (log != nullptr) fputs(full.c_str(), log);
    return f;
  }
  int saved = errno;
  if (!(flags & OPEN_QUIET))
    fprintf(stderr, "Warning:  %s not found in current directory\nor using $%s %s", name, env != nullptr ? env : "",
            full.c_str());
  if (flags & OPEN_REQUIRED) error("Couldn't open file %s: %s\n", name, strerror(saved));
  if (log != nullptr) fprintf(log, "File Not Found (%s)", name);
  errno = saved;
  return nullptr;
}

// ---- Closing input ----------------------------------------------------------------------------

int close_read(FILE *stream) {
  struct stat st;
  if (stream == nullptr || fstat(fileno(stream), &st) != 0) error("close_read: file not open");
  if (!forget_pipe(stream)) return fclose(stream);
  bool reached_end = feof(stream) != 0;
  int status = pclose(stream);
  if (status == -1) error("pclose failed: %s", strerror(errno));
  if (status == 0) return 0;
  if (status > 0 && reached_end) error("gzcat terminated on an error: %d", status);
  return 1;
}

// ---- Output files -----------------------------------------------------------------------------

FILE *open_outputfile(const char *base, const char *suffix) {
  if (suffix != nullptr && suffix[0] == '>') return suffix[1] == '&' ? stderr : stdout;
  std::string name = base != nullptr ? base : "";
  if (suffix != nullptr) name += suffix;
  if (name.size() >= static_cast<size_t>(FILENAME_BUFFER))
    error("(open_outputfile):  Could not open file %s", name.c_str());
  FILE *f = fopen(name.c_str(), "w");
  if (f == nullptr) error("(open_outputfile):  Could not open file %s", name.c_str());
  return f;
}

}  // namespace qor
