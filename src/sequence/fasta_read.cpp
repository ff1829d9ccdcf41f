// The FASTA/A2M reader: header lines (id and annotation), sequence texts, and numeric sequences of
// alphabets whose letters are written as decimal numbers.
//
// The reader takes one byte at a time with getc_unlocked (an inlined read from the stream's
// buffer) and classifies it through a 256-entry table, so a large database is read at the speed
// of the stream; text buffers double when full.
//
// Sections: character classes | header lines | sequence texts | numeric sequences
#include <cstdlib>
#include <cstring>
#include <string>

#include "sequence/sequence.h"
#include "util/util.h"

namespace qor {

// ---- Character classes ------------------------------------------------------------------------

enum CharClass : unsigned char {
  CC_OTHER = 0,  // any character the reader does not expect
  CC_KEEP,       // letters, digits, '-' and '.': kept in a sequence text
  CC_SPACE,      // white space
  CC_GT,         // '>': the start of the next header
  CC_EOF,        // end of file (index 0 of the table)
};

struct ClassTable {
  unsigned char cls[257];  // indexed by character + 1, so that EOF (-1) is entry 0
  ClassTable() : cls() {
    cls[0] = CC_EOF;
    for (int c = 0; c < 256; c++) {
      unsigned char k = CC_OTHER;
      if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.')
        k = CC_KEEP;
      else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f')
        k = CC_SPACE;
      else if (c == '>')
        k = CC_GT;
      cls[c + 1] = k;
    }
  }
};

static const ClassTable char_classes;

static inline unsigned char char_class(int c) {
  return char_classes.cls[c + 1];
}
static inline bool is_space(int c) {
  return c >= 0 && char_class(c) == CC_SPACE;
}

static const char *file_name(const OpenSeqFile *file) {
  return file->name != nullptr ? file->name : "";
}

// A carriage return that ends a line (followed by a newline or the end of the file) is read as
// the newline; any other carriage return is given back as it is.
static int fold_line_end(FILE *f, int c) {
  if (c != '\r') return c;
  int next = getc_unlocked(f);
  if (next == '\n' || next == EOF) return '\n';
  ungetc(next, f);
  return '\r';
}

// ---- Header lines -----------------------------------------------------------------------------

// next_fasta_initial: reads the next header line of file.
//   Skips white space; text before a '>' is skipped with the "Missing >" messages. Counts the
//   entry in seq_count. *id gets the id (up to the first white space or comma, at most
//   FASTA_MAX_ID characters; an empty id becomes "<file name without directory>#<count>").
//   When annotation is not null, *annotation gets the rest of the line after blanks, tabs and
//   commas (at most FASTA_MAX_ANNOTATION characters), or null when that is empty.
//   Returns the character that ended the header line ('\n' or -1); at end of file returns -1 with
//   *id null. A CR before the newline belongs to the line end. NUL bytes in a header and the part
//   of an id beyond FASTA_MAX_ID are dropped with a message.
//   Fatal: a null file or stream.
int next_fasta_initial(OpenSeqFile *file, char **id, char **annotation) {
  if (file == nullptr || file->stream == nullptr) error("Bad openseqfile passed to next_fasta_seq\n");
  if (id != nullptr) *id = nullptr;
  if (annotation != nullptr) *annotation = nullptr;
  FILE *f = file->stream;
  const char *name = file_name(file);

  int c;
  do c = getc_unlocked(f);
  while (is_space(c));
  if (c == EOF) return -1;
  if (c != '>') {
    fprintf(stderr, "Missing > in fasta file %s after sequence %d\n", name, file->seq_count);
    do c = getc_unlocked(f);
    while (c != '>' && c != EOF);
    if (c == EOF) {
      fprintf(stderr, "Skipping rest of file.");
      return -1;
    }
    fprintf(stderr, "Skipping to next >\n");
  }
  file->seq_count++;

  // The id, gathered in the line buffer.
  char *buf = file->line_buffer;
  int n = 0;
  bool nul_seen = false;
  bool id_cut = false;
  for (;;) {
    c = fold_line_end(f, getc_unlocked(f));
    if (c == EOF || c == ',' || is_space(c)) break;
    if (c == 0) {
      nul_seen = true;
    } else if (n < FASTA_MAX_ID) {
      buf[n++] = static_cast<char>(c);
    } else {
      id_cut = true;
    }
  }
  buf[n] = '\0';
  char *new_id;
  if (n == 0) {
    const char *slash = strrchr(name, '/');
    const char *base = slash != nullptr ? slash + 1 : name;
    int size = static_cast<int>(strlen(base)) + 16;
    new_id = static_cast<char *>(mem_alloc(size));
    snprintf(new_id, static_cast<size_t>(size), "%s#%d", base, file->seq_count);
  } else {
    new_id = static_cast<char *>(mem_alloc(n + 1));
    memcpy(new_id, buf, static_cast<size_t>(n) + 1);
  }
  if (id_cut) fprintf(stderr, "%s (%s):  ID truncated to %d char.\n", name, new_id, FASTA_MAX_ID);

  // The annotation, gathered in the line buffer too.
  if (annotation != nullptr && c != '\n' && c != EOF) {
    do c = getc_unlocked(f);
    while (c == ' ' || c == '\t' || c == ',');
    n = 0;
    for (;; c = getc_unlocked(f)) {
      c = fold_line_end(f, c);
      if (c == '\n' || c == EOF) break;
      if (c == 0) {
        nul_seen = true;
        continue;
      }
      if (n >= FASTA_MAX_ANNOTATION) {
        fprintf(stderr, "%s (%s):  Annotation truncated to %d char.\n", name, new_id, FASTA_MAX_ANNOTATION);
        break;
      }
      buf[n++] = static_cast<char>(c);
    }
    if (n > 0) {
      *annotation = static_cast<char *>(mem_alloc(n + 1));
      memcpy(*annotation, buf, static_cast<size_t>(n));
      (*annotation)[n] = '\0';
    }
  }
  // The rest of the header line.
  while (c != '\n' && c != EOF) {
    c = getc_unlocked(f);
    if (c == 0) nul_seen = true;
  }
  if (nul_seen) fprintf(stderr, "%s (%s): NUL characters in header line ignored\n", name, new_id);

  if (id != nullptr)
    *id = new_id;
  else
    free(new_id);
  return c;
}

// ---- Sequence texts ---------------------------------------------------------------------------

// A buffer of `size` elements of which `used` are filled; doubles whenever fewer than 2 are free.
template <typename T>
static void grow_if_full(T **buf, int *size, int used, OpenSeqFile *file, const char *id) {
  if (*size - used >= 2) return;
  if (*size > 0x3ffffff0 / static_cast<int>(sizeof(T)))
    error("%s (%s): sequence longer than %d characters", file_name(file), id, used);
  *size *= 2;
  *buf = static_cast<T *>(mem_realloc(*buf, *size * static_cast<int>(sizeof(T))));
}

// Handles the '>' that ends an entry: the message when the last character read after the header
// line is not a line end, and the '>' pushed back for the next header.
static void end_at_next_header(FILE *f, int last, OpenSeqFile *file, const char *id) {
  if (last != -2 && last != '\n' && last != '\r')
    fprintf(stderr, "%s (%s): Newline not present before terminating >\n", file_name(file), id);
  ungetc('>', f);
}

// next_fasta_string: reads the next entry of file; returns its sequence characters as a new text
//   (letters, digits, '-' and '.' as they are; white space skipped; other characters skipped, the
//   first of an entry reported), or null at end of file. *id and *annotation as next_fasta_initial.
//   A '>' ends the entry and is left for the next call.
char *next_fasta_string(OpenSeqFile *file, char **id, char **annotation) {
  char *new_id = nullptr;
  int end = next_fasta_initial(file, &new_id, annotation);
  if (id != nullptr) *id = nullptr;
  if (new_id == nullptr) return nullptr;
  FILE *f = file->stream;
  int size = 1000;
  int n = 0;
  char *buf = static_cast<char *>(mem_alloc(size));
  bool strange_reported = false;
  int last = -2;  // the last character read after the header line; -2 for none
  while (end != EOF) {
    int c = getc_unlocked(f);
    unsigned char k = char_class(c);
    if (k == CC_KEEP) {
      grow_if_full(&buf, &size, n, file, new_id);
      buf[n++] = static_cast<char>(c);
    } else if (k == CC_SPACE) {
      // skipped
    } else if (k == CC_GT) {
      end_at_next_header(f, last, file, new_id);
      break;
    } else if (k == CC_EOF) {
      break;
    } else if (!strange_reported) {
      fprintf(stderr, "%s (%s): Strange characters (%c) ignored\n", file_name(file), new_id, c);
      strange_reported = true;
    }
    last = c;
  }
  buf = static_cast<char *>(mem_realloc(buf, n + 3));
  buf[n] = '\0';
  if (id != nullptr)
    *id = new_id;
  else
    free(new_id);
  return buf;
}

// ---- Numeric sequences ------------------------------------------------------------------------

// next_fasta_numstring: reads the next entry of file as values of the current alphabet.
//   A run of x/X is one wildcard (wild_length - 1); a run of digits is one decimal number,
//   replaced by the wildcard when above wild_length - 1 (or longer than FASTA_MAX_DIGITS
//   digits); white space, '.', '-' and '*' are skipped; other characters are skipped, the first
//   of an entry reported. Returns a new array of *length values, or null at end of file.
//   Fatal: no current alphabet.
unsigned char *next_fasta_numstring(OpenSeqFile *file, char **id, char **annotation, int *length) {
  if (length != nullptr) *length = 0;
  if (id != nullptr) *id = nullptr;
  char *new_id = nullptr;
  int end = next_fasta_initial(file, &new_id, annotation);
  if (new_id == nullptr) return nullptr;
  if (alphabet == nullptr) error("%s (%s): no alphabet set for a numeric sequence", file_name(file), new_id);
  const Alphabet *a = alphabet;
  const int wild = a->wild_length - 1;
  FILE *f = file->stream;
  const char *name = file_name(file);
  int size = 1000;
  int n = 0;
  unsigned char *values = static_cast<unsigned char *>(mem_alloc(size));
  bool strange_reported = false;
  bool x_reported = false;
  int last = -2;
  int c = end == EOF ? EOF : getc_unlocked(f);
  while (c != EOF) {
    if (c == 'x' || c == 'X') {
      int run = 0;
      while (c == 'x' || c == 'X') {
        run++;
        c = getc_unlocked(f);
      }
      last = 'x';
      if (run > a->num_digits && !x_reported) {
        fprintf(stderr, "%s (%s): X repeated more than the number of digits (%d).  Treated as one X.\n", name,
                new_id, a->num_digits);
        x_reported = true;
      }
      grow_if_full(&values, &size, n, file, new_id);
      values[n++] = static_cast<unsigned char>(wild);
      continue;
    }
    if (c >= '0' && c <= '9') {
      char digits[FASTA_MAX_DIGITS + 1];  // the number without leading zeros
      int nd = 0;
      long long run = 0;
      unsigned long long value = 0;
      while (c >= '0' && c <= '9') {
        run++;
        if (nd > 0 || c != '0') {
          if (nd < FASTA_MAX_DIGITS) digits[nd] = static_cast<char>(c);
          nd++;
        }
        if (value <= 0xffffffffULL) value = value * 10 + static_cast<unsigned>(c - '0');
        c = getc_unlocked(f);
      }
      last = '0';
      int v = static_cast<int>(value > static_cast<unsigned long long>(wild) ? wild + 1 : value);
      if (run > FASTA_MAX_DIGITS) {
        fprintf(stderr,
                "%s (%s): Number of more than %d digits is out of range for alphabet %s.  Replaced with X "
                "(%d).\n",
                name, new_id, FASTA_MAX_DIGITS, a->name != nullptr ? a->name : "", wild);
        v = wild;
      } else if (v > wild) {
        digits[nd] = '\0';  // printed as "%d" prints it, for any size of number
        fprintf(stderr, "%s (%s): Number %s is out of range for alphabet %s.  Replaced with X (%d).\n", name,
                new_id, digits, a->name != nullptr ? a->name : "", wild);
        v = wild;
      }
      grow_if_full(&values, &size, n, file, new_id);
      values[n++] = static_cast<unsigned char>(v);
      continue;
    }
    if (c == '>') {
      end_at_next_header(f, last, file, new_id);
      break;
    }
    if (!is_space(c) && c != '.' && c != '-' && c != '*' && !strange_reported) {
      fprintf(stderr, "%s (%s): Strange characters (%c) ignored\n", name, new_id, c);
      strange_reported = true;
    }
    last = c;
    c = getc_unlocked(f);
  }
  values = static_cast<unsigned char *>(mem_realloc(values, n + 2));
  if (length != nullptr) *length = n;
  if (id != nullptr)
    *id = new_id;
  else
    free(new_id);
  return values;
}

}  // namespace qor
