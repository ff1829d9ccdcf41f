// Substitution matrices: reading a matrix file (comment lines, a header naming the columns, one
// labelled row of integers per column) found along the BLASTMAT search path.
//
// Sections: lines | reading
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "models/model_prepare.h"
#include "util/util.h"

namespace qor {

// ---- Lines ------------------------------------------------------------------------------------

// Reads one line (newline included) of at most MATRIX_LINE_BUFFER - 1 characters into buf.
// 0 at end of file when nothing was read. Fatal: a longer line, a NUL byte.
static int read_matrix_line(FILE *f, char *buf, const char *name, int line_number) {
  int n = 0, c = EOF;
  while ((c = getc(f)) != EOF) {
    if (c == '\0') error("Error reading matrix:  line %d of %s holds a NUL byte", line_number, name);
    if (n == MATRIX_LINE_BUFFER - 1)
      error("Error reading matrix:  line %d of %s is longer than %d characters", line_number, name,
            MATRIX_LINE_BUFFER - 1);
    buf[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buf[n] = '\0';
  return n > 0;
}

static bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// ---- Reading ----------------------------------------------------------------------------------

// Reads the rows into matrix; false when a line is missing, a row label does not match, or a row
// does not hold exactly one integer per column.
static bool read_matrix_rows(FILE *f, char *buf, const char *name, int *line_number, int32_t **matrix,
                             const std::vector<char> &header, const std::vector<int> &index) {
  int columns = static_cast<int>(header.size());
  for (int j = 0; j < columns; j++) {
    ++*line_number;
    if (!read_matrix_line(f, buf, name, *line_number)) return false;
    char *p = buf;
    while (is_blank(*p)) p++;
    if (*p != header[j] || !(p[1] == '\0' || is_blank(p[1]))) return false;
    p++;
    int32_t *row = matrix[index[j]];
    for (int k = 0; k < columns; k++) {
      while (*p == ' ' || *p == '\t') p++;
      char *end = nullptr;
      errno = 0;
      long value = strtol(p, &end, 10);
      if (end == p || errno != 0 || value < INT32_MIN || value > INT32_MAX ||
          !(*end == '\0' || is_blank(*end)))
        return false;
      row[index[k]] = static_cast<int32_t>(value);
      p = end;
    }
    while (is_blank(*p)) p++;
    if (*p != '\0') return false;  // more numbers than columns
  }
  return true;
}

// read_matrix: the substitution matrix in file name, searched as given and then in
//   $BLASTMAT/matrix/<aa|nt|> (default directory /usr/local/lib/qor).
//   The file: '#' comment lines; a header whose non-blank characters name the fwild_length + 1
//   columns (the last one stands for '*'); one row per header character, in header order, made of
//   that character and fwild_length + 1 integers. Row and column of a character are its letter
//   index; the last header character's are fwild_length. With a log stream, "% Cost matrix:  "
//   and the name of the file used are written to it.
//   Returns fwild_length + 1 rows (release with double_free); a null or empty name gives null.
//   Fatal: a file that cannot be opened; a header with another number of columns ("should have %d
//   (alen + 1 for *) columns, not %d"); a letter the header does not name ("character %c is not
//   specified"); a missing, mislabelled or malformed row ("Error reading matrix").
int32_t **read_matrix(const char *name, void *reserved1, void *reserved2, FILE *log) {
  (void)reserved1;
  (void)reserved2;
  if (name == nullptr || name[0] == '\0') return nullptr;
  check_alphabet(nullptr);
  const Alphabet *a = alphabet;
  const char *kind = a->internal_id == 3 ? "aa" : (a->internal_id == 1 || a->internal_id == 2) ? "nt" : "";
  char subdir[16];
  snprintf(subdir, sizeof subdir, "matrix/%s", kind);
  if (log != nullptr) fprintf(log, "%% Cost matrix:  ");
  FILE *f = open_read_env(name, "BLASTMAT", "/usr/local/lib/qor", subdir, log, OPEN_REQUIRED);
  if (log != nullptr) fprintf(log, "\n");

  std::vector<char> buf(MATRIX_LINE_BUFFER);
  int line_number = 0;
  do {
    ++line_number;
    if (!read_matrix_line(f, buf.data(), name, line_number)) {
      close_read(f);
      error("Error reading matrix:  %s has no header line", name);
    }
  } while (buf[0] == '#');

  int fwild = a->fwild_length;
  std::vector<char> header;
  for (const char *p = buf.data(); *p != '\0'; p++)
    if (!is_blank(*p)) header.push_back(*p);
  int count = static_cast<int>(header.size());
  if (count != fwild + 1) {
    close_read(f);
    error("Error reading matrix:  should have %d (alen + 1 for *) columns, not %d", fwild + 1, count);
  }
  // Letter index of every column; the last column is '*'.
  std::vector<int> index(count);
  std::vector<char> named(fwild, 0);
  for (int j = 0; j < fwild; j++) {
    index[j] = a->translate[static_cast<unsigned char>(header[j])];
    if (index[j] < fwild) named[index[j]] = 1;
  }
  index[fwild] = fwild;
  for (int i = 0; i < fwild; i++) {
    if (!named[i]) {
      close_read(f);
      error("Error reading matrix:  character %c is not specified", alphabet_letter(a, i));
    }
  }

  int32_t **matrix = reinterpret_cast<int32_t **>(double_alloc(fwild + 1, fwild + 1, sizeof(int32_t)));
  bool ok = read_matrix_rows(f, buf.data(), name, &line_number, matrix, header, index);
  close_read(f);
  if (!ok) {
    double_free(reinterpret_cast<void **>(matrix), fwild + 1);
    error("Error reading matrix");
  }
  return matrix;
}

}  // namespace qor
