// Format detection of sequence files: recognising FASTA and NBRF files, and the format and
// sequence type of a named file.
//
// Sections: format names; FASTA and NBRF recognition; detection of a named file.
#include <cstdio>
#include <cstdlib>

#include "alphabet/alphabet.h"
#include "hssp/hssp.h"
#include "models/models.h"
#include "seqformat/seqformat.h"
#include "seqfile/seqfile.h"
#include "util/util.h"

namespace qor {

int16_t seqfilef = 0;

// ---- Format names -----------------------------------------------------------------------------

// The name of a format code, from the multi-format reader's name table ("unknown" for 20).
static const char *format_name(int format) { return SeqFormatString(static_cast<int16_t>(format)); }

// ---- FASTA and NBRF recognition ---------------------------------------------------------------

static bool is_space_char(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

static bool not_fasta_warned = false;  // the "not read as fasta" warning is printed once per run

// is_fasta_or_nbrf
//   The file is FASTA when its first character other than white space is a '>' that starts a line;
//   it is NBRF when, in addition, the third character after that '>' is ';' (">P1;"), or when the
//   sequence-type guess finds line numbers before the letters (fasta_alphabet).
// Returns 8 (FASTA), 3 (NBRF) or 0; *seqtype (when given) gets the guessed type, 0 for format 0.
// Fatal: the file cannot be opened. Warning (once per run): a first '>' that does not start a line.
int is_fasta_or_nbrf(const char *filename, int *seqtype) {
  FILE *f = open_read(filename, OPEN_REQUIRED);
  int prev = '\n';
  int c;
  while ((c = getc(f)) != EOF && is_space_char(c)) prev = c;
  int format = SEQFORMAT_UNKNOWN;
  int type = SEQTYPE_UNKNOWN;
  if (c == '>' && prev == '\n') {
    int ch = c;
    int count = 0;
    while (count < 3) {
      ch = getc(f);
      count++;
      if (ch == '\n' || ch == EOF) break;
    }
    format = (count == 3 && ch == ';') ? SEQFORMAT_NBRF : SEQFORMAT_PEARSON;
    if (ch != EOF) ungetc(ch, f);
    fasta_alphabet(f, &type, &format);
  } else if (c == '>' && !not_fasta_warned) {
    not_fasta_warned = true;
    fprintf(stderr, "Warning: %s not read as fasta.\n", filename);
    fprintf(stderr, "The '>' must be the first character in a line, followed by ID.\n");
  }
  close_read(f);
  if (seqtype != nullptr) *seqtype = type;
  return format;
}

// ---- Detection of a named file ----------------------------------------------------------------

// detect_other_format
//   The formats that are neither FASTA/NBRF nor an empty file, tried in this order: model files by
//   name or content (format 20, no type guessed), HSSP files (format 19, protein), then the
//   multi-format detector (its format and lines to skip and, when want_type is set, the type
//   guessed from its first entry).
// Fatal: the detector reports an error ("See QOR manual for more information\n").
static void detect_other_format(const char *filename, int *format, int *seqtype, int *skip_lines,
                                bool want_type) {
  if (is_modelfilename(filename) || is_model_file(filename)) {
    *format = SEQFORMAT_MODEL;
    *seqtype = SEQTYPE_UNKNOWN;
    return;
  }
  if (isHSSP(filename)) {
    *format = SEQFORMAT_HSSP;
    *seqtype = SEQTYPE_PROTEIN;
    return;
  }
  FILE *f = open_read(filename, OPEN_REQUIRED);
  int32_t skip = 0;
  int16_t err = 0;
  int16_t fmt = seqFileFormatFp(f, &skip, &err);
  close_read(f);
  if (readSeqErr(err, filename)) error("See QOR manual for more information\n");
  *format = fmt;
  *skip_lines = skip;
  *seqtype = SEQTYPE_UNKNOWN;
  if (want_type) {
    int32_t length = 0;
    int16_t entries = 0;
    err = 0;
    char *text = readSeq(1, filename, skip, fmt, &length, &entries, &err, nullptr);
    if (text != nullptr) {
      *seqtype = getseqtype(text, length);
      free(text);
    }
  }
}

// seqfile_format_type
//   Detects the format of the one file named: FASTA or NBRF first, then an empty file (read as
//   FASTA of protein), then the other formats (detect_other_format). Stores the format in seqfilef.
// Returns the format's name; *format, *seqtype and *skip_lines (each may be null) get the format
// code, the sequence type and the number of lines before the first entry.
// Fatal: no name, more than one name, a file that cannot be opened or whose format is unknown.
const char *seqfile_format_type(const char *filename, int *format, int *seqtype, int *skip_lines) {
  NameList *names = parse_name_list(filename);
  if (names->count == 0) {
    free(names);
    error("attempt to determine alphabet from empty file name");
  }
  if (names->count > 1) {
    free(names);
    error("alphabet must be explictly specified when multiple sequence tracks are used");
  }
  const char *name = names->names[0];
  int type = SEQTYPE_UNKNOWN;
  int skip = 0;
  int fmt = is_fasta_or_nbrf(name, &type);
  if (fmt == SEQFORMAT_UNKNOWN) {
    FILE *f = open_read(name, OPEN_REQUIRED);
    int first = getc(f);
    close_read(f);
    if (first == EOF) {
      fmt = SEQFORMAT_PEARSON;
      type = SEQTYPE_PROTEIN;
    } else {
      detect_other_format(name, &fmt, &type, &skip, seqtype != nullptr);
    }
  }
  free(names);
  seqfilef = static_cast<int16_t>(fmt);
  if (format != nullptr) *format = fmt;
  if (seqtype != nullptr) *seqtype = type;
  if (skip_lines != nullptr) *skip_lines = skip;
  return format_name(fmt);
}

}  // namespace qor
