// Posterior-path and trimmed alignments: every aligned sequence followed by a row of digits that
// tells how certain each match letter is, and alignments in which uncertain match letters are
// turned into inserts. Both read the path records (log posterior, node, match flag) that the
// alignment engine leaves in each sequence, one per letter.
//
// Sections: helpers | padding by a second text | posterior rows | posterior-annotated alignment |
//           trimmed alignment
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sequence/sequence.h"
#include "util/util.h"

namespace qor {

// ---- Helpers ----------------------------------------------------------------------------------

static bool is_insert_char(char c) {
  return c >= 'a' && c <= 'z';
}

static const char *seq_id(const Sequence *seq) {
  return seq->id != nullptr ? seq->id : "";
}

// A new text holding s, released with free().
static char *new_text(const std::string &s) {
  if (s.size() > 0x7ffffff0u)
    error("alignment text too long (%lu characters)", static_cast<unsigned long>(s.size()));
  char *t = static_cast<char *>(mem_alloc(static_cast<int>(s.size()) + 1));
  memcpy(t, s.data(), s.size());
  t[s.size()] = '\0';
  return t;
}

// The padded length of a column control table: the sum of (entry + 1) over its entries; 0 when
// there is no table or the texts had different numbers of columns.
static int padded_length_of(const int *control, const char *who) {
  long long padded = 0;
  if (control != nullptr && control[0] != -1)
    for (int k = 0; control[k] != -1; k++) padded += control[k] + 1;
  if (padded > 0x7ffffff0LL) error("%s: padded alignment too long", who);
  return static_cast<int>(padded);
}

// The path records of seq, which the writers below need. Fatal when they are missing.
static const PathRecord *path_of(const Sequence *seq, const char *who) {
  if (seq->path == nullptr) error("%s: sequence %s has no path posteriors", who, seq_id(seq));
  return seq->path;
}

// -ln(P) of a path record.
static double neg_log_posterior(const PathRecord &rec) {
  return -static_cast<double>(rec.log_posterior);
}

// ---- Padding by a second text -----------------------------------------------------------------

// add_dots_by_second_seq: row (as long as text, released here) padded by the pattern of text: for
//   each control region the row's characters at the text's insert positions, then '.' up to the
//   region's entry, then the row's character at the text's column position. Returns a new text
//   of padded_length characters (empty when control[0] is -1). Characters beyond a region's size
//   are kept, so nothing of the row is lost.
char *add_dots_by_second_seq(char *row, const char *text, int padded_length, const int *control) {
  if (control == nullptr) error("add_dots_by_second_seq with null control table");
  const char *p = text != nullptr ? text : "";
  const char *q = row != nullptr ? row : "";
  std::string out;
  out.reserve(padded_length > 0 ? static_cast<size_t>(padded_length) : 0);
  // The row's character at the text's position (a '.' should the row be shorter).
  auto next_of_row = [&q]() {
    char c = *q != '\0' ? *q : '.';
    if (*q != '\0') q++;
    return c;
  };
  if (control[0] != -1) {
    for (int k = 0; control[k] != -1; k++) {
      int n = 0;
      while (is_insert_char(*p)) {
        out += next_of_row();
        p++;
        n++;
      }
      if (n < control[k]) out.append(static_cast<size_t>(control[k] - n), '.');
      if (*p != '\0') {
        out += next_of_row();
        p++;
      }
    }
  }
  free(row);
  return new_text(out);
}

// ---- Posterior rows ---------------------------------------------------------------------------

// The posterior code of a match letter: the integer part of -ln(P)*scale, "9" above 9, "0" when
// negative.
static char posterior_digit(const PathRecord &rec, double scale) {
  double v = std::trunc(neg_log_posterior(rec) * scale);
  if (v > 9) return '9';
  if (!(v >= 0)) return '0';
  return static_cast<char>('0' + static_cast<int>(v));
}

// The posterior row of an alignment text: "-" for a delete, the digit of a letter whose record
// has the match flag set, the letter itself for an insert.
static char *posterior_row(const Sequence *seq, const char *text, double scale) {
  const PathRecord *path = path_of(seq, "print_seqpathalignment");
  std::string row(text);
  int r = 0;  // next path record
  for (char &c : row) {
    if (c == '-') continue;
    const PathRecord &rec = path[r++];
    if (rec.match != 0) c = posterior_digit(rec, scale);
  }
  return new_text(row);
}

// ---- Posterior-annotated alignment ------------------------------------------------------------

// print_seqpathalignment: every sequence of table (in table order) as its A2M alignment record on
//   track, followed by its posterior row as a record with the same id and the annotation
//   "Alignment posteriors -ln(P)" (scale exactly 1) or "Alignment posteriors  -ln(P)*%5.2f
//   (ppscale)". With dots non-zero the alignment texts are padded with '.' to equal lengths and
//   each posterior row by the pattern of its own text. An empty or null table writes nothing;
//   null entries are skipped.
//   Fatal: a null stream; a sequence without path records.
void print_seqpathalignment(FILE *stream, const SequenceTable *table, int dots, int track, double scale) {
  if (table == nullptr || table->count == 0) return;
  if (stream == nullptr) error("print_seqalignment with null file\n");
  if (track < 0 || track >= MAX_TRACKS) error("print_seqpathalignment: track %d out of range", track);
  std::string annotation;
  if (scale == 1.0) {
    annotation = "Alignment posteriors -ln(P)";
  } else {
    int size = snprintf(nullptr, 0, "Alignment posteriors  -ln(P)*%5.2f  (ppscale)", scale);
    std::vector<char> buf(static_cast<size_t>(size > 0 ? size : 0) + 1);
    snprintf(buf.data(), buf.size(), "Alignment posteriors  -ln(P)*%5.2f  (ppscale)", scale);
    annotation = buf.data();
  }
  std::vector<char *> texts(static_cast<size_t>(table->count), nullptr);
  int *control = nullptr;
  for (int i = 0; i < table->count; i++) {
    if (table->items[i] == nullptr) continue;
    texts[i] = str_w_deletions(table->items[i], 0, track, 0);
    add_control(texts[i], &control);
  }
  int padded = padded_length_of(control, "print_seqpathalignment");
  for (int i = 0; i < table->count; i++) {
    const Sequence *seq = table->items[i];
    if (seq == nullptr) continue;
    char *text = texts[i];
    char *row = posterior_row(seq, text, scale);
    if (dots != 0) {
      row = add_dots_by_second_seq(row, text, padded, control);
      text = add_dots(text, padded, control);
    }
    print_string(stream, text, seq->id, seq->annotation);
    print_string(stream, row, seq->id, annotation.c_str());
    free(row);
    free(text);
  }
  free(control);
}

// ---- Trimmed alignment ------------------------------------------------------------------------

// The trimmed form of an alignment text: a letter whose record has the match flag set and whose
// -ln(P) is at least the threshold becomes its lower-case form followed by "-" (an insert, its
// column kept as a delete); "-" and every other letter stay. A match character outside A..Z has
// no insert form and stays.
static char *trimmed_text(const Sequence *seq, const char *text, double threshold) {
  const PathRecord *path = path_of(seq, "print_trimalignment");
  std::string out;
  out.reserve(strlen(text) * 2);
  int r = 0;
  for (const char *p = text; *p != '\0'; p++) {
    char c = *p;
    if (c == '-') {
      out += c;
      continue;
    }
    const PathRecord &rec = path[r++];
    if (rec.match != 0 && c >= 'A' && c <= 'Z' && neg_log_posterior(rec) >= threshold) {
      out += static_cast<char>(c + 32);
      out += '-';
    } else {
      out += c;
    }
  }
  return new_text(out);
}

// print_trimalignment: every sequence of table (in table order) as an A2M record of its trimmed
//   alignment text on track (match letters with -ln(P) at or above threshold become inserts
//   beside a delete); with dots non-zero the trimmed texts are padded with '.' to equal lengths
//   by their own column control table. An empty or null table writes nothing; null entries are
//   skipped.
//   Fatal: a null stream; a track whose alphabet has no letters; a sequence without path records.
void print_trimalignment(FILE *stream, const SequenceTable *table, int dots, int track, double threshold) {
  if (table == nullptr || table->count == 0) return;
  if (stream == nullptr) error("print_trimalignment with null file\n");
  if (track < 0 || track >= MAX_TRACKS) error("print_trimalignment: track %d out of range", track);
  const Alphabet *a = alphabets[track] != nullptr ? alphabets[track] : alphabet;
  if (a == nullptr) error("print_trimalignment: no alphabet set for track %d", track);
  if (a->letters == nullptr) error("print_trimalignment cannot be used with numberic sequences\n");
  std::vector<char *> texts(static_cast<size_t>(table->count), nullptr);
  int *control = nullptr;
  for (int i = 0; i < table->count; i++) {
    const Sequence *seq = table->items[i];
    if (seq == nullptr) continue;
    char *text = str_w_deletions(seq, 0, track, 0);
    texts[i] = trimmed_text(seq, text, threshold);
    free(text);
    add_control(texts[i], &control);
  }
  int padded = padded_length_of(control, "print_trimalignment");
  for (int i = 0; i < table->count; i++) {
    const Sequence *seq = table->items[i];
    if (seq == nullptr) continue;
    char *text = texts[i];
    if (dots != 0) text = add_dots(text, padded, control);
    print_string(stream, text, seq->id, seq->annotation);
    free(text);
  }
  free(control);
}

}  // namespace qor
