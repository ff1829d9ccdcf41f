// Score-file reader: one score line of a score-distribution file becomes one Sequence record of a
// new SequenceTable.
//
// Sections: line input | parsing one score line | reading a file
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "scores/scores.h"
#include "util/util.h"

namespace qor {

// ---- Line input -------------------------------------------------------------------------------

// What reading one line into the buffer gave.
enum LineState { LINE_OK, LINE_END, LINE_TOO_LONG, LINE_HAS_NUL };

// Reads the next line, newline included, into buf (SCORE_LINE_BUFFER bytes, 0-terminated).
//   A line that does not fit (more than SCORE_LINE_BUFFER - 2 characters before its newline) is
//   consumed up to its newline and reported as LINE_TOO_LONG; a line holding a NUL byte is consumed
//   and reported as LINE_HAS_NUL. Returns LINE_END at the end of the file.
static LineState read_score_line(FILE *in, char *buf) {
  int length = 0;
  bool nul = false, too_long = false;
  int c;
  while ((c = getc(in)) != EOF) {
    if (c == '\0') nul = true;
    if (length < SCORE_LINE_BUFFER - 1)
      buf[length++] = static_cast<char>(c);
    else
      too_long = true;
    if (c == '\n') break;
  }
  buf[length] = '\0';
  if (length == 0 && c == EOF) return LINE_END;
  // A full buffer whose last character is not the newline: the line did not fit.
  if (too_long) return LINE_TOO_LONG;
  if (nul) return LINE_HAS_NUL;
  return LINE_OK;
}

// ---- Parsing one score line -------------------------------------------------------------------

// Copy of the bytes [from, from + n) as a new 0-terminated text.
static char *copy_text(const char *from, size_t n) {
  if (n > static_cast<size_t>(INT_MAX) - 8) error("score line too long to copy");
  char *s = static_cast<char *>(mem_alloc(static_cast<int>(n) + 1));
  memcpy(s, from, n);
  s[n] = '\0';
  return s;
}

// A real of the line, stored in single precision: it must be a finite number within that range.
static bool fits_single(double v) {
  return std::isfinite(v) && std::fabs(v) <= FLT_MAX;
}

// Reads the fields "%d%lf%lf%lf" from rest: returns how many were read (stops at the first field
// that does not parse, like sscanf). *range_error is set when a field parsed but its value is out of
// range (an integer beyond 32 bits, a real that is not a finite single-precision number), and
// *bad_length when the integer runs straight into other characters ("10.5").
static int scan_score_fields(const char *rest, long *length, double reals[3], bool *range_error,
                             bool *bad_length) {
  const char *p = rest;
  char *end;
  errno = 0;
  long v = strtol(p, &end, 10);
  if (end == p) return 0;
  if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) *range_error = true;
  if (*end != '\0' && strchr(" \t\r\n\v\f", *end) == nullptr) *bad_length = true;
  *length = v;
  p = end;
  int got = 1;
  for (int k = 0; k < 3; k++) {
    double r = strtod(p, &end);
    if (end == p) break;
    // A Z-score is stored as a double, but may be used as the single-precision score.
    if (!fits_single(r)) *range_error = true;
    reals[k] = r;
    p = end;
    got++;
  }
  return got;
}

// The X count of rest (already cut at the annotation): the integer that ends just before the first
// 'X' (blanks between them allowed); 0 when there is no 'X' or no integer there.
static float scan_xcount(const char *rest) {
  const char *x = strchr(rest, 'X');
  if (x == nullptr || x == rest) return 0.0f;
  const char *p = x - 1;
  while (p > rest && (*p == ' ' || *p == '\t')) p--;
  while (p > rest && p[-1] != ' ' && p[-1] != '\t') p--;
  char *end;
  errno = 0;
  long v = strtol(p, &end, 10);
  if (end == p || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return 0.0f;
  return static_cast<float>(v);
}

// Parses one data line (not a comment) of file `name`, line number `line_number`, into a new
// Sequence; writes a warning and returns null when the line holds no usable score record.
static Sequence *parse_score_line(char *line, const char *name, int line_number) {
  size_t id_length = strcspn(line, " \t");
  char *rest = line + id_length;
  if (*rest != '\0') rest++;  // past the separator

  long length = 0;
  double reals[3] = {0.0, 0.0, 0.0};
  bool range_error = false, bad_length = false;
  int got = scan_score_fields(rest, &length, reals, &range_error, &bad_length);
  if (got < 3 || bad_length) {
    fprintf(stderr, "Warning: %s(%d): no length and two scores after the identifier; line skipped\n", name,
            line_number);
    return nullptr;
  }
  if (range_error) {
    fprintf(stderr, "Warning: %s(%d): a number is not finite or out of range; line skipped\n", name,
            line_number);
    return nullptr;
  }

  Sequence *seq = alloc_sequence(0, 1);
  seq->id = copy_text(line, id_length);
  seq->length = static_cast<int32_t>(length);
  seq->column1 = static_cast<float>(reals[0]);
  seq->column2 = static_cast<float>(reals[1]);
  seq->zscore = got == 4 ? reals[2] : SCORE_NO_ZSCORE;

  char *colon = strchr(rest, ':');
  if (colon != nullptr) {
    seq->annotation = copy_text(colon + 1, strlen(colon + 1));
    *colon = '\0';
  }
  seq->xcount = scan_xcount(rest);
  return seq;
}

// ---- Reading a file ---------------------------------------------------------------------------

// read_score_file: a new table with one Sequence per data line of the score file, in file order.
//   Writes "Reading scores from file %s\n" to stderr first. Comment lines (';' or '%' first) are
//   skipped silently; data lines without a usable length and two scores, lines with a NUL byte and
//   lines longer than the buffer are skipped with a warning naming the file and the line number.
//   Fatal: the file cannot be opened ("Couldn't open file %s: %s\n"), or a read error.
SequenceTable *read_score_file(const char *filename) {
  fprintf(stderr, "Reading scores from file %s\n", filename);
  FILE *in = open_read(filename, OPEN_REQUIRED);
  SequenceTable *table = alloc_sequence_table();
  char *buf = static_cast<char *>(mem_alloc(SCORE_LINE_BUFFER));
  int line_number = 0;
  LineState state;
  while ((state = read_score_line(in, buf)) != LINE_END) {
    line_number++;
    if (state == LINE_TOO_LONG) {
      fprintf(stderr, "Warning: %s(%d): line longer than %d characters; line skipped\n", filename,
              line_number, SCORE_LINE_BUFFER - 2);
      continue;
    }
    if (state == LINE_HAS_NUL) {
      fprintf(stderr, "Warning: %s(%d): line holds a NUL byte; line skipped\n", filename, line_number);
      continue;
    }
    if (buf[0] == ';' || buf[0] == '%') continue;
    Sequence *seq = parse_score_line(buf, filename, line_number);
    if (seq != nullptr) add_seq_to_table(table, seq);
  }
  bool failed = ferror(in) != 0;
  free(buf);
  close_read(in);
  if (failed) error("Error reading score file %s", filename);
  return table;
}

}  // namespace qor
