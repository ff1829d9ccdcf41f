// Sequence and A2M alignment output: letters of an alphabet, A2M records, alignment texts from the
// run-length alignment code, column control and dot padding, plain sequences, numeric records.
//
// Sections: letters | records | alignment texts | column control and padding | tables |
//           numeric records | plain sequences
#include <cstdlib>
#include <cstring>

#include "sequence/sequence.h"
#include "util/util.h"

namespace qor {

// ---- Letters ----------------------------------------------------------------------------------

// The character for an index that the alphabet's letter string has no character for.
static char wildcard_char(const Alphabet *a) {
  const char *letters = a->letters != nullptr ? a->letters : "";
  if (strchr(letters, 'X') == nullptr) return 'X';
  for (int c = 'A'; c <= 'Z'; c++)
    if (strchr(letters, c) == nullptr && a->translate[c] == a->wild_length - 1) return static_cast<char>(c);
  return 'X';
}

// alphabet_letter: the output character of letter index `index` of a; see the header for the
// character of an index without a letter.
char alphabet_letter(const Alphabet *a, int index) {
  size_t n = a->letters != nullptr ? strlen(a->letters) : 0;
  if (index >= 0 && static_cast<size_t>(index) < n) return a->letters[index];
  return wildcard_char(a);
}

// Output characters of all 256 letter indices of a (upper case).
static void letter_table(const Alphabet *a, char table[256]) {
  char wild = wildcard_char(a);
  size_t n = a->letters != nullptr ? strlen(a->letters) : 0;
  for (int i = 0; i < 256; i++) table[i] = static_cast<size_t>(i) < n ? a->letters[i] : wild;
}

// The alphabet of a track: alphabets[track], else the current alphabet. Fatal when neither is set.
static const Alphabet *track_alphabet(int track, const char *who) {
  if (track < 0 || track >= MAX_TRACKS) error("%s: track %d out of range", who, track);
  const Alphabet *a = alphabets[track] != nullptr ? alphabets[track] : alphabet;
  if (a == nullptr) error("%s: no alphabet set for track %d", who, track);
  return a;
}

static const char *id_text(const Sequence *seq) {
  return seq->id != nullptr ? seq->id : "";
}

// ">id annotation\n" or ">id\n" when there is no annotation.
static void print_header_line(FILE *stream, const Sequence *seq) {
  if (seq->annotation != nullptr)
    fprintf(stream, ">%s %s\n", id_text(seq), seq->annotation);
  else
    fprintf(stream, ">%s\n", id_text(seq));
}

// ---- Records ----------------------------------------------------------------------------------

// print_string: one A2M record: the header, then the text in pieces of 50 characters, each
//   preceded by a newline, then a final newline (an empty text gives the header line alone).
void print_string(FILE *stream, const char *text, const char *id, const char *annotation) {
  if (stream == nullptr) error("print_string with null file");
  if (id == nullptr) id = "";
  if (annotation != nullptr)
    fprintf(stream, ">%s %s", id, annotation);
  else
    fprintf(stream, ">%s", id);
  size_t n = text != nullptr ? strlen(text) : 0;
  for (size_t i = 0; i < n; i += 50) {
    putc('\n', stream);
    fwrite(text + i, 1, n - i < 50 ? n - i : 50, stream);
  }
  putc('\n', stream);
}

// ---- Alignment texts --------------------------------------------------------------------------

// A text buffer that doubles when full.
struct TextBuffer {
  char *data;
  int size;
  int used;
};

static void text_reserve(TextBuffer *b, long long extra) {
  long long need = static_cast<long long>(b->used) + extra + 1;
  if (need <= b->size) return;
  long long size = b->size;
  while (size < need) size *= 2;
  if (size > 0x7ffffff0LL) error("alignment text too long (%lld characters)", need);
  b->data = static_cast<char *>(mem_realloc(b->data, static_cast<int>(size)));
  b->size = static_cast<int>(size);
}

static void text_repeat(TextBuffer *b, char c, int n) {
  text_reserve(b, n);
  memset(b->data + b->used, c, static_cast<size_t>(n));
  b->used += n;
}

// str_w_deletions: the A2M text of seq's alignment on track, as a new text.
//   Deletes give '-'; matches the letters in upper case ('X' when numeric); inserts the letters in
//   lower case, formed by adding 32 ('x' when numeric). A null alignment gives an empty text.
//   Fatal: an alignment that uses more letters than the sequence has.
char *str_w_deletions(const Sequence *seq, int initial_size, int track, int numeric) {
  if (seq == nullptr) error("str_w_deletions with null sequence");
  const Alphabet *a = track_alphabet(track, "str_w_deletions");
  char letters[256];
  letter_table(a, letters);
  long long size = initial_size < 100 ? 100 : initial_size;
  if (2LL * seq->length > size) size = 2LL * seq->length;
  if (size > 0x7ffffff0LL) size = 0x7ffffff0LL;
  TextBuffer b{static_cast<char *>(mem_alloc(static_cast<int>(size))), static_cast<int>(size), 0};
  const unsigned char *seqletters = seq->tracks[track].letters;
  int next = 0;  // next letter of the sequence
  const unsigned char *code = seq->alignment;
  for (; code != nullptr && *code != 0; code++) {
    int c = *code;
    if (c > 200) {
      text_repeat(&b, '-', c - 200);
      continue;
    }
    bool match = c > 100;
    int n = match ? c - 100 : c;
    if (n > seq->length - next || (seqletters == nullptr && n > 0))
      error("str_w_deletions: the alignment of %s uses more letters than its length %d", id_text(seq),
            seq->length);
    text_reserve(&b, n);
    char *out = b.data + b.used;
    if (numeric) {
      memset(out, match ? 'X' : 'x', static_cast<size_t>(n));
    } else {
      for (int i = 0; i < n; i++) {
        char l = letters[seqletters[next + i]];
        out[i] = match ? l : static_cast<char>(l + 32);
      }
    }
    next += n;
    b.used += n;
  }
  b.data[b.used] = '\0';
  return b.data;
}

// print_alignment: one aligned sequence of track, as an A2M record (letter alphabets) or as a
//   numeric record (alphabets without letters).
void print_alignment(FILE *stream, const Sequence *seq, int track) {
  if (seq == nullptr) return;
  const Alphabet *a = track_alphabet(track, "print_alignment");
  bool numeric = a->letters == nullptr;
  char *text = str_w_deletions(seq, 0, track, numeric);
  if (numeric)
    print_num_alignment(stream, seq, text, track);
  else
    print_string(stream, text, seq->id, seq->annotation);
  free(text);
}

// ---- Column control and padding ---------------------------------------------------------------

static bool is_insert(char c) {
  return c >= 'a' && c <= 'z';
}

// Number of column characters (anything but a lower-case insert) in text.
static int count_columns(const char *text) {
  int n = 0;
  for (const char *p = text; *p != '\0'; p++)
    if (!is_insert(*p)) n++;
  return n;
}

// add_control: raises each entry k of *control to the number of inserts before the k-th column
//   of text (the last entry: inserts after the last column). The first call makes the table of
//   strlen(text) + 5 entries and ends it with -1 after the last entry. A later text with another
//   number of columns is reported and sets entry 0 to -1; once entry 0 is -1 it stays so.
void add_control(const char *text, int **control) {
  if (control == nullptr) error("add_control with null control table");
  if (text == nullptr) text = "";
  int columns = count_columns(text);
  int *table = *control;
  if (table == nullptr) {
    long long entries = static_cast<long long>(strlen(text)) + 5;
    if (entries * static_cast<long long>(sizeof(int)) > 0x7ffffff0LL) error("add_control: text too long");
    table = static_cast<int *>(mem_alloc(static_cast<int>(entries * static_cast<long long>(sizeof(int)))));
    table[columns + 1] = -1;
    *control = table;
  } else {
    // The terminator is the first -1 after entry 0 (entry 0 is -1 only after a mismatch).
    int end = 1;
    while (table[end] != -1) end++;
    if (end != columns + 1) {
      fprintf(stderr, "sequence:add_control(): Not all alignments of same length\n");
      table[0] = -1;
      return;
    }
    if (table[0] == -1) return;
  }
  int k = 0;
  int inserts = 0;
  for (const char *p = text;; p++) {
    if (*p != '\0' && is_insert(*p)) {
      inserts++;
      continue;
    }
    if (inserts > table[k]) table[k] = inserts;
    if (*p == '\0') break;
    inserts = 0;
    k++;
  }
}

// add_dots: the padded form of text: per control region its inserts, then '.' up to the region's
//   size, then its column character. Releases text; returns a new text (empty when control[0]
//   is -1). Inserts beyond a region's size are kept, so no letter is ever lost.
char *add_dots(char *text, int padded_length, const int *control) {
  if (control == nullptr) error("add_dots with null control table");
  const char *p = text != nullptr ? text : "";
  int size = padded_length < 1 ? 1 : padded_length;
  TextBuffer b{static_cast<char *>(mem_alloc(size)), size, 0};
  if (control[0] != -1) {
    for (int k = 0; control[k] != -1; k++) {
      int n = 0;
      while (is_insert(*p)) {
        text_reserve(&b, 1);
        b.data[b.used++] = *p++;
        n++;
      }
      if (n < control[k]) text_repeat(&b, '.', control[k] - n);
      if (*p != '\0') {
        text_reserve(&b, 1);
        b.data[b.used++] = *p++;
      }
    }
  }
  text_reserve(&b, 0);
  b.data[b.used] = '\0';
  free(text);
  return b.data;
}

// ---- Tables -----------------------------------------------------------------------------------

// print_seqalignment: the alignments of every sequence of table on track, in table order; with
//   dots non-zero the texts are padded with add_dots to equal lengths. An empty or null table
//   writes nothing; null entries are skipped. Fatal: a null stream.
void print_seqalignment(FILE *stream, const SequenceTable *table, int dots, int track) {
  if (table == nullptr || table->count == 0) return;
  if (stream == nullptr) error("print_seqalignment with null file\n");
  if (dots == 0) {
    for (int i = 0; i < table->count; i++) print_alignment(stream, table->items[i], track);
    return;
  }
  const Alphabet *a = track_alphabet(track, "print_seqalignment");
  bool numeric = a->letters == nullptr;
  char **texts = static_cast<char **>(mem_alloc(table->count * static_cast<int>(sizeof(char *))));
  int *control = nullptr;
  for (int i = 0; i < table->count; i++) {
    if (table->items[i] == nullptr) continue;
    texts[i] = str_w_deletions(table->items[i], 0, track, numeric);
    add_control(texts[i], &control);
  }
  long long padded = 0;
  if (control != nullptr && control[0] != -1)
    for (int k = 0; control[k] != -1; k++) padded += control[k] + 1;
  if (padded > 0x7ffffff0LL) error("print_seqalignment: padded alignment too long");
  for (int i = 0; i < table->count; i++) {
    const Sequence *seq = table->items[i];
    if (seq == nullptr) continue;
    char *text = add_dots(texts[i], static_cast<int>(padded), control);
    if (numeric)
      print_num_alignment(stream, seq, text, track);
    else
      print_string(stream, text, seq->id, seq->annotation);
    free(text);
  }
  free(control);
  free(texts);
}

// ---- Numeric records --------------------------------------------------------------------------

// Writes value v in d decimal digits, most significant first, with leading zeros.
static void put_digits(FILE *stream, const Alphabet *a, int v, int d) {
  bool from_table = a->digit_table != nullptr && a->num_digits == d && v <= a->wild_length;
  int scale = 1;
  for (int j = 1; j < d; j++) scale *= 10;
  for (int j = d - 1; j >= 0; j--, scale /= 10) {
    int digit = from_table ? a->digit_table[v * d + j] : (v / scale) % 10;
    putc('0' + digit, stream);
  }
}

// A numeric record of track written with the digits of alphabet a (see print_num_alignment).
static void print_num_record(FILE *stream, const Sequence *seq, const char *text, int track,
                             const Alphabet *a) {
  if (stream == nullptr) error("print_num_alignment with null file");
  if (seq == nullptr) return;
  int d = a->num_digits;
  if (d <= 0) {  // not a numeric alphabet: digits of the largest index
    d = 1;
    for (int v = a->wild_length - 1; v >= 10; v /= 10) d++;
  }
  int bound = ((60 / (d + 1)) / 5) * 5;
  if (bound < 1) bound = 1;
  print_header_line(stream, seq);
  const unsigned char *values = seq->tracks[track].letters;
  int length = values != nullptr ? seq->length : 0;
  int next = 0;
  const char *p = text;
  bool text_done = false;
  while (next < length && !text_done) {
    int column = 0;
    bool wrote = false;
    while (column < bound && next < length) {
      char c = 0;
      if (p != nullptr) {
        if (*p == '\0') {
          text_done = true;
          break;
        }
        c = *p++;
      }
      char mark = p == nullptr ? ' ' : c == 'x' ? '.' : c == 'X' ? '*' : c == '-' ? '-' : ' ';
      putc(mark, stream);
      wrote = true;
      if (p == nullptr || c == 'X' || c == 'x') {
        put_digits(stream, a, values[next++], d);
        column += d;
      } else {
        for (int j = 0; j < d; j++) putc(' ', stream);
      }
      column += d + 1;
    }
    if (wrote) putc('\n', stream);
  }
}

// print_num_alignment: a record of the numeric alphabet of track (digit count d, line bound
//   b = ((60 / (d+1)) / 5) * 5). Each alignment position writes a mark ('.' insert, '*' match,
//   '-' delete, a blank otherwise or without text) and either the next value in d digits (inserts,
//   matches, no text) or d blanks; a value advances the line counter by 2d+1, another position by
//   d+1. Positions after the last value are not written; the end of the text ends the record.
//   The digit count and the digits come from the track's alphabet (the current alphabet when the
//   track has none), so that they always belong to one alphabet.
void print_num_alignment(FILE *stream, const Sequence *seq, const char *text, int track) {
  print_num_record(stream, seq, text, track, track_alphabet(track, "print_num_alignment"));
}

// ---- Plain sequences --------------------------------------------------------------------------

// pretty_print_sequence: track 0 of a converted sequence: the header line, then the letters of
//   the current alphabet, 50 per line, each line ended by a newline; a numeric current alphabet
//   writes a numeric record without alignment text. Fatal: no current alphabet.
void pretty_print_sequence(FILE *stream, const Sequence *seq) {
  if (stream == nullptr) error("pretty_print_sequence with null file");
  if (seq == nullptr) return;
  if (alphabet == nullptr) error("pretty_print_sequence: no alphabet set");
  if (alphabet->letters == nullptr) {
    print_num_record(stream, seq, nullptr, 0, alphabet);
    return;
  }
  char letters[256];
  letter_table(alphabet, letters);
  print_header_line(stream, seq);
  const unsigned char *s = seq->tracks[0].letters;
  if (s == nullptr) return;
  char line[51];
  for (int i = 0; i < seq->length; i += 50) {
    int n = seq->length - i < 50 ? seq->length - i : 50;
    for (int j = 0; j < n; j++) line[j] = letters[s[i + j]];
    line[n] = '\n';
    fwrite(line, 1, static_cast<size_t>(n) + 1, stream);
  }
}

// print_sequence_table: every sequence of table with pretty_print_sequence (null entries skipped).
//   Fatal: a null stream or a null table.
void print_sequence_table(FILE *stream, const SequenceTable *table) {
  if (stream == nullptr) error("Print_sequence_table called with no file!");
  if (table == nullptr) error("Print_sequence_table called with no sequence file!");
  for (int i = 0; i < table->count; i++) pretty_print_sequence(stream, table->items[i]);
}

}  // namespace qor
