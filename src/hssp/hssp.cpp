// The HSSP reader and the structure-template writer.
//
// Sections: recognising | lines | reading | template
#include "hssp/hssp.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "util/util.h"

namespace qor {

// ---- Recognising ------------------------------------------------------------------------------

int isHSSP(const char *filename) {
  if (filename == nullptr || filename[0] == '\0') return 0;
  FILE *f = do_open_read(filename, 0);
  if (f == nullptr) return 0;
  char head[4];
  size_t got = fread(head, 1, sizeof head, f);
  close_read(f);
  return got == sizeof head && memcmp(head, "HSSP", 4) == 0 ? 1 : 0;
}

// ---- Lines ------------------------------------------------------------------------------------

namespace {
struct HsspLines {
  FILE *f;
  const char *where;  // the file name, or a description of the file for messages
  char line[HSSP_LINE_BUFFER];
  int length;   // characters in line (the newline kept, as read)
  long number;  // lines read
  bool warned_long;
};
}  // namespace

// Reads the next line (at most HSSP_LINE_BUFFER-1 characters, its newline kept); the rest of a
// longer line is passed over with a warning. False at end of file.
static bool next_line(HsspLines *r) {
  int n = 0, c = 0;
  while (n < HSSP_LINE_BUFFER - 1 && (c = getc(r->f)) != EOF) {
    r->line[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  r->line[n] = '\0';
  r->length = n;
  if (n == 0) return false;
  r->number++;
  if (n == HSSP_LINE_BUFFER - 1 && r->line[n - 1] != '\n') {
    int skipped = 0;
    while ((c = getc(r->f)) != EOF && c != '\n') skipped++;
    if (skipped > 0 && !r->warned_long) {
      fprintf(stderr, "Warning: line %ld of %s is longer than %d characters; the rest of it is ignored.\n",
              r->number, r->where, HSSP_LINE_BUFFER - 1);
      r->warned_long = true;
    }
  }
  return true;
}

static bool begins(const HsspLines *r, const char *prefix) {
  return strncmp(r->line, prefix, strlen(prefix)) == 0;
}

// Column of the first occurrence of part in the line, or -1.
static int column_of(const HsspLines *r, const char *part) {
  const char *p = strstr(r->line, part);
  return p != nullptr ? static_cast<int>(p - r->line) : -1;
}

// The character at column col, or 0 beyond the line.
static char char_at(const HsspLines *r, long col) {
  return col >= 0 && col < r->length ? r->line[col] : '\0';
}

// ---- Reading ----------------------------------------------------------------------------------

// Largest alignment (NALIGN texts of SEQLENGTH + 2 bytes and their pointers) the reader makes.
constexpr long HSSP_MAX_ALIGNMENT_BYTES = 1L << 30;

namespace {
// The texts of the alignment while it is read: released unless handed on (seqs nulled).
struct Alignment {
  char **seqs = nullptr;
  long count = 0;
  Alignment() = default;
  Alignment(const Alignment &) = delete;
  Alignment &operator=(const Alignment &) = delete;
  ~Alignment() {
    if (seqs == nullptr) return;
    for (long k = 0; k < count; k++) free(seqs[k]);
    free(seqs);
  }
};
}  // namespace

namespace {
struct Columns {
  int aa, structure, acc, ruler;
};
}  // namespace

// Reads the "## ALIGNMENTS first - last" range of the current line.
static void block_range(const HsspLines *r, int *first, int *last) {
  *first = *last = 0;
  if (sscanf(r->line, "%*s %*s %d - %d", first, last) != 2)
    error("%s: line %ld: alignment block header without its sequence range: %.60s", r->where, r->number,
          r->line);
}

static Columns column_header(HsspLines *r, bool check) {
  Columns c = {-1, -1, -1, -1};
  if (!next_line(r))
    error("%s: the file ends after the alignment block header at line %ld", r->where, r->number);
  c.aa = column_of(r, "AA");
  c.structure = column_of(r, "STRUCT");
  c.acc = column_of(r, "ACC");
  c.ruler = column_of(r, ".");
  if (!check) return c;
  const char *missing = c.aa < 0          ? "AA"
                        : c.structure < 0 ? "STRUCT"
                        : c.acc < 0       ? "ACC"
                        : c.ruler < 0     ? "."
                                          : nullptr;
  if (missing != nullptr)
    error("%s: the column header at line %ld has no \"%s\" column", r->where, r->number, missing);
  return c;
}

// An aligned character as it is stored: gaps and blanks become "-", lower case upper case.
static char aligned_char(char c) {
  if (c == '\0' || c == ' ' || c == '_' || c == '.' || c == '\n' || c == '\t' || c == '\r' || c == '\v' ||
      c == '\f')
    return '-';
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  return c;
}

static int32_t accessibility_at(const HsspLines *r, int col) {
  char digits[4] = {0, 0, 0, 0};
  for (int k = 0; k < 3; k++) {
    char c = char_at(r, col + k);
    if (c == '\0') break;
    digits[k] = c;
  }
  return static_cast<int32_t>(atoi(digits));
}

char **read_HSSP_named(FILE *stream, int32_t *nalign_out, int template_flag, const char *run_name,
                       const char *filename) {
  std::unique_ptr<HsspLines> lines(new HsspLines());  // released on every path
  HsspLines *r = lines.get();
  r->f = stream;
  r->where = filename != nullptr && filename[0] != '\0' ? filename : "the HSSP file";
  long seqlength = 0, nalign = 0;
  int first = 0, last = 0;
  bool block = false;
  if (nalign_out != nullptr) *nalign_out = 0;

  // Header: SEQLENGTH, NALIGN, up to the first block header.
  while (next_line(r)) {
    if (begins(r, "SEQLENGTH")) {
      sscanf(r->line, "%*s %ld", &seqlength);
    } else if (begins(r, "NALIGN")) {
      sscanf(r->line, "%*s %ld", &nalign);
      if (nalign < 0 || nalign > INT_MAX / 8)
        error("%s: line %ld: NALIGN %ld out of range", r->where, r->number, nalign);
      if (nalign_out != nullptr) *nalign_out = static_cast<int32_t>(nalign);
    } else if (begins(r, "## ALIGNMENTS")) {
      block_range(r, &first, &last);
      block = true;
      break;
    }
  }
  if (seqlength < 0 || seqlength > INT_MAX - 16) error("%s: SEQLENGTH %ld out of range", r->where, seqlength);
  if (!block && (nalign > 0 || template_flag > 0))
    error("%s: no alignment block (a line beginning \"## ALIGNMENTS\") in the file", r->where);

  // The header's sizes are bounded; the texts and the template columns then grow with the residue
  // lines actually read, so that a header claiming more than the file holds costs no memory.
  if (nalign > 0 && seqlength + 2 + static_cast<long>(sizeof(char *)) > HSSP_MAX_ALIGNMENT_BYTES / nalign)
    error("%s: NALIGN %ld sequences of SEQLENGTH %ld residues exceed %ld bytes", r->where, nalign, seqlength,
          HSSP_MAX_ALIGNMENT_BYTES);
  const int32_t length = static_cast<int32_t>(seqlength);
  Alignment out;  // released on a fatal error; handed to the caller at the end
  out.count = nalign;
  out.seqs = static_cast<char **>(mem_alloc(static_cast<int>(sizeof(char *) * static_cast<size_t>(nalign))));
  char **seqs = out.seqs;
  std::vector<char> residues, structure;
  std::vector<int32_t> accessibility;

  if (block) {
    Columns col = column_header(r, true);
    for (bool first_block = true;; first_block = false) {
      // The block's sequences that exist: numbers from..to (1-based).
      long from = first < 1 ? 1 : first;
      long to = last > nalign ? nalign : last;
      int32_t room = 0;  // rows the block's texts hold so far
      for (int32_t i = 0; i < length;) {
        if (!next_line(r))
          error("%s: the file ends after %d of the %d residue lines of the alignment block %d - %d", r->where,
                i, length, first, last);
        if (memchr(r->line, '!', static_cast<size_t>(r->length)) != nullptr) continue;  // chain break
        if (first_block) {
          char aa = char_at(r, col.aa);
          residues.push_back(aa == '\0' || aa == '\n' ? ' ' : aa);
          char ss = char_at(r, col.structure);
          structure.push_back(ss == ' ' || ss == '\0' || ss == '\n' ? '*' : ss);
          accessibility.push_back(accessibility_at(r, col.acc));
        }
        if (i == room) {
          room = room > length / 2 ? length : (room < 32 ? (length < 64 ? length : 64) : 2 * room);
          for (long n = from; n <= to; n++)
            seqs[n - 1] = static_cast<char *>(mem_realloc(seqs[n - 1], room + 2));
        }
        for (long n = from; n <= to; n++)
          seqs[n - 1][i] = aligned_char(char_at(r, col.ruler + (n - first) + 1));
        i++;
      }
      if (last >= nalign) break;
      bool found = false;
      while (next_line(r)) {
        if (begins(r, "## ALIGNMENTS")) {
          found = true;
          break;
        }
      }
      if (!found)
        error("%s: the file ends after the alignment block %d - %d; NALIGN is %ld", r->where, first, last,
              nalign);
      int next_first = 0, next_last = 0;
      block_range(r, &next_first, &next_last);
      // Blocks follow each other without overlap, so that each text is written by one block (and
      // the work is bounded by the size of the alignment).
      if (next_first <= last || next_last <= last)
        error("%s: line %ld: alignment block %d - %d does not follow block %d - %d", r->where, r->number,
              next_first, next_last, first, last);
      first = next_first;
      last = next_last;
      column_header(r, false);
    }
  }

  // Every text at its full size: a sequence of a block holds its length characters, one that no
  // block covers is empty.
  for (long k = 0; k < nalign; k++) {
    if (seqs[k] == nullptr) {
      seqs[k] = static_cast<char *>(mem_alloc(length + 2));
    } else {
      seqs[k] = static_cast<char *>(mem_realloc(seqs[k], length + 2));
      seqs[k][length] = seqs[k][length + 1] = '\0';
    }
  }
  if (template_flag > 0) {
    // A template needs a block, whose first residue lines have given all length columns.
    PrintTemplate(run_name, residues.data(), structure.data(), accessibility.data(), length);
  }
  out.seqs = nullptr;
  return seqs;
}

char **read_HSSP(FILE *stream, int32_t *nalign, int template_flag, const char *run_name) {
  return read_HSSP_named(stream, nalign, template_flag, run_name, nullptr);
}

// ---- Template ---------------------------------------------------------------------------------

void PrintTemplate(const char *run_name, const char *residues, const char *structure,
                   const int32_t *accessibility, int32_t length) {
  const char *run = run_name != nullptr ? run_name : "";
  std::string name = std::string(run) + ".tplate";
  FILE *out = fopen(name.c_str(), "w");
  if (out == nullptr) error("can not open \"%s\": %s", name.c_str(), strerror(errno));

  char date[64] = "";
  time_t now = time(nullptr);
  struct tm utc;
  if (gmtime_r(&now, &utc) == nullptr || strftime(date, sizeof date, "%a %b %e %H:%M:%S %Y\n", &utc) == 0)
    snprintf(date, sizeof date, "(unknown time)\n");

  fprintf(out, "TEMPLATE\n");
  fprintf(out, "%%\n%%\n%%\tTemplate sequence from %s\n%%", run);
  fprintf(out, "\n%%\tFile generated %s%%\n%%", date);
  fprintf(out, "\nSEQLENGTH   %d\nID  %s\n%%\n%%", length, run);
  fprintf(out, "\n%%AA    STRUCTURE    ACCESSIBILITY");
  fprintf(out, "\n%%--   -----------   -------------\n\n");
  for (int32_t i = 0; i < length; i++)
    fprintf(out, " %c         %c          %d\n", residues[i], structure[i], accessibility[i]);
  bool failed = ferror(out) != 0;
  int saved = errno;
  if (fclose(out) != 0) {
    failed = true;
    saved = errno;
  }
  if (failed) error("error writing \"%s\": %s", name.c_str(), strerror(saved));
}

}  // namespace qor
