// Run information: the banner block, the header of statistics files, CPU time, host and user names.
#include <pwd.h>
#include <sys/times.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

#include "util/util.h"

namespace qor {

const char *get_time() {
  static char buffer[32];
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  char full[64];
  asctime_r(&local, full);  // "Wed Dec  9 16:22:12 2026\n"
  size_t n = strcspn(full, "\n");
  if (n >= sizeof buffer) n = sizeof buffer - 1;
  memcpy(buffer, full, n);
  buffer[n] = '\0';
  return buffer;
}

void format_cpu_time(char *buf, long user, long sys) {
  snprintf(buf, 48, "user %3d:%2d:%2d    system %3d:%2d:%2d", static_cast<int>(user / 3600),
           static_cast<int>((user / 60) % 60), static_cast<int>(user % 60), static_cast<int>(sys / 3600),
           static_cast<int>((sys / 60) % 60), static_cast<int>(sys % 60));
}

const char *cpu_time() {
  static char buffer[48];
  struct tms t;
  times(&t);
  long ticks = sysconf(_SC_CLK_TCK);
  if (ticks <= 0) ticks = 100;
  format_cpu_time(buffer, static_cast<long>(t.tms_utime) / ticks, static_cast<long>(t.tms_stime) / ticks);
  return buffer;
}

const char *get_host_name() {
  static char buffer[200];
  memset(buffer, 0, sizeof buffer);
  if (gethostname(buffer, sizeof buffer) != 0) buffer[0] = '\0';
  buffer[199] = '\0';
  return buffer;
}

const char *get_user_name() {
  static char buffer[200];
  memset(buffer, 0, sizeof buffer);
  struct passwd *pw = getpwuid(geteuid());
  if (pw != nullptr && pw->pw_name != nullptr) strncpy(buffer, pw->pw_name, 199);
  return buffer;
}

void print_copyright(FILE *out, const char *description, char c) {
  fprintf(out, "%c  %s\n", c, description);
  fprintf(out, "%c  Copyright (C) 2026 the QOR developers\n", c);
  fprintf(out, "%c\n", c);
  fprintf(out, "%c      QOR: a toolkit for profile hidden Markov models of biological sequences\n", c);
  fprintf(out, "%c      https://example.org/qor\n", c);
  fprintf(out, "%c\n", c);
  fprintf(out, "%c ----------------------------- Please cite: -----------------------------\n", c);
  fprintf(out, "%c L. R. Rabiner, A tutorial on hidden Markov models and selected\n", c);
  fprintf(out, "%c   applications in speech recognition, Proc. IEEE 77:257-286, 1989.\n", c);
  fprintf(out, "%c T. F. Smith and M. S. Waterman, Identification of common molecular\n", c);
  fprintf(out, "%c   subsequences, J. Mol. Biol. 147:195-197, 1981.\n", c);
  fprintf(out, "%c S. B. Needleman and C. D. Wunsch, A general method applicable to the search\n", c);
  fprintf(out, "%c   for similarities in the amino acid sequence of two proteins, JMB 48:443-453, 1970.\n", c);
  fprintf(out, "%c ---------------------------------------------------------------------\n", c);
}

FILE *prepare_statfile(const char *base, const char *description, const char *suffix) {
  FILE *out = open_outputfile(base, suffix);
  print_copyright(out, description, '%');
  fprintf(out, "%%  %s   Host: %s    %s\n", base, get_host_name(), get_time());
  char format[64];
  snprintf(format, sizeof format, "%%%%  %%-%ds   Dir:  %%s\n", static_cast<int>(strlen(base)));
  char cwd[1024];
  if (getcwd(cwd, sizeof cwd) == nullptr) cwd[0] = '\0';
  fprintf(out, format, get_user_name(), cwd);
  fprintf(out, "%% ---------------------------------------------------------------------\n");
  return out;
}

void stat_print_time(FILE *out) {
  fprintf(out, "%%\n%%  Total CPU time:  %s\n", cpu_time());
  fprintf(out, "%%  Finished at:  %s\n", get_time());
}

}  // namespace qor
