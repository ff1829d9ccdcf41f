// The interleaved readers: MSF, Olsen and PAUP/NEXUS entries are read by number from the start of
// the file; Phylip entries (sequential and interleaved) from the header line.
//
// Sections: shared helpers | MSF | Olsen | PAUP/NEXUS | Phylip
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "seqformat/reader_state.h"

namespace qor {

// ---- Shared helpers ---------------------------------------------------------------------------

static const char *skip_blanks(const char *p) {
  while (*p == ' ' || *p == '\t') p++;
  return p;
}

// The first word of text (ended by white space); *rest is set to the text after it.
static std::string first_word(const char *text, const char **rest) {
  const char *p = skip_blanks(text);
  const char *e = p;
  while (*e != '\0' && !isspace(static_cast<unsigned char>(*e))) e++;
  if (rest != nullptr) *rest = e;
  return std::string(p, e);
}

static int16_t clamp16(long n) {
  return static_cast<int16_t>(n > 32767 ? 32767 : (n < -32768 ? -32768 : n));
}

// Counts one more declared entry, never past the 16-bit limit.
static void count_entry(int16_t *count) {
  if (*count < 32767) (*count)++;
}

// ---- MSF --------------------------------------------------------------------------------------

void read_msf(ReadSeqState *st) {
  rs_rewind(st);
  std::string name;
  int16_t count = 0;
  bool data = false;
  for (rs_getline(st); !st->eof; rs_getline(st)) {
    if (strstr(st->s, "//") != nullptr) {
      data = true;
      break;
    }
    const char *p = strstr(st->s, "Name: ");
    if (p == nullptr || st->continued) continue;
    count_entry(&count);
    if (count == st->choice) {
      rs_setid(st, p + 6);
      name = first_word(p + 6, nullptr);
    }
  }
  st->nseq = count;
  if (st->choice == -1) return;
  if (count < st->choice) {
    st->err = READSEQ_NO_DATA;
    return;
  }
  st->started = 1;
  if (!data) {
    rs_warn(st, "no \"//\" line: the alignment has no sequence data.\n");
    return;
  }
  bool adding = false;
  for (rs_getline(st); !st->eof; rs_getline(st)) {
    const char *rest = st->s;
    if (!st->continued) adding = !name.empty() && first_word(st->s, &rest) == name;
    if (!adding) continue;
    for (const char *p = rest; *p != '\0'; p++) {
      char c = *p;
      if (c == '_' || c == '.') c = '-';
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (st->isseqchar(static_cast<unsigned char>(c))) rs_addchar(st, c);
    }
  }
  st->allDone = 1;
}

// ---- Olsen ------------------------------------------------------------------------------------

// The id of a declaration line: the text after the first "(", with "): " replaced by a blank, the
// blanks before it dropped and the other blanks of the name turned into "_".
static std::string olsen_id(const char *line, const char *close) {
  const char *open = strchr(line, '(');
  const char *from = open != nullptr && open < close ? open + 1 : line;
  std::string name(from, close);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  for (char &c : name)
    if (c == ' ') c = '_';
  return name + " " + (close + 3);
}

static const char olsen_digits[] = "~!@#$%^&*(";

void read_olsen(ReadSeqState *st) {
  rs_rewind(st);
  std::string rowname, pattern;
  int16_t count = 0;
  bool data = false;
  for (rs_getline(st); !st->eof; rs_getline(st)) {
    if (strstr(st->s, "identity:   Data:") != nullptr) {
      data = true;
      break;
    }
    const char *close = strstr(st->s, "): ");
    if (close == nullptr || st->continued) continue;
    count_entry(&count);
    if (count != st->choice) continue;
    rs_setid(st, olsen_id(st->s, close).c_str());
    rowname = first_word(st->s, nullptr).substr(0, 19);
    const char *open = strchr(st->s, '(');
    pattern = open != nullptr && open < close ? std::string(open + 1, close) : std::string();
  }
  st->nseq = count;
  if (st->choice == -1) return;
  if (count < st->choice) {
    st->err = READSEQ_NO_DATA;
    return;
  }
  st->started = 1;
  if (!data) {
    rs_warn(st, "no \"identity:   Data:\" line: the alignment has no sequence data.\n");
    return;
  }
  st->isseqchar = is_any_char;
  bool warned = false;
  for (rs_getline(st); !st->eof; rs_getline(st)) {
    if (st->continued && !warned) {
      rs_warn(st, "a data line is longer than %d characters; its rest is not read.\n",
              READSEQ_LINE_BUFFER - 1);
      warned = true;
    }
    if (st->continued || pattern.empty() || rowname.empty()) continue;
    const char *at = strstr(st->s, pattern.c_str());
    if (at == nullptr) continue;
    const char *row = strstr(st->s, rowname.c_str());
    if (row == nullptr || row >= at) continue;
    const char *next = strstr(at + pattern.size(), pattern.c_str());
    long from = (at - st->s) + 10;
    long to = next != nullptr ? (next - st->s) - 2 : st->length;
    if (to > st->length) to = st->length;
    for (long i = from; i < to; i++) {
      char c = st->s[i];
      if (c == ' ') c = '.';
      if (c >= '0' && c <= '9') c = olsen_digits[c - '0'];
      if (st->isseqchar(static_cast<unsigned char>(c))) rs_addchar(st, c);
    }
  }
  st->allDone = 1;
}

// ---- PAUP/NEXUS -------------------------------------------------------------------------------

// The value after key in a lower-cased header line (white space after "=" allowed).
static bool header_number(const char *line, const char *key, long *value) {
  const char *p = strstr(line, key);
  return p != nullptr && sscanf(p + strlen(key), "%ld", value) == 1;
}

// The name that begins a matrix line (a quoted name may hold blanks); *rest is the text after it.
static std::string matrix_name(const char *p, const char **rest) {
  p = skip_blanks(p);
  if (*p == '\'') {
    const char *e = strchr(p + 1, '\'');
    if (e == nullptr) e = p + strlen(p);
    *rest = *e == '\'' ? e + 1 : e;
    return std::string(p + 1, e);
  }
  return first_word(p, rest);
}

// True when the matrix line begins (after blanks) with a name: a letter, a digit or a quote.
static bool matrix_row(const char *s) {
  const unsigned char c = static_cast<unsigned char>(*skip_blanks(s));
  return isalnum(c) || c == '\'';
}

// Adds the sequence characters of text to the wanted entry; the match character stands for the
// first sequence's character at the same position.
static void paup_add(ReadSeqState *st, const char *text, const std::string &first, bool is_first) {
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p != '\0'; p++) {
    if (!st->isseqchar(*p)) continue;
    char c = static_cast<char>(*p);
    if (!is_first && st->matchchar != 0 && c == st->matchchar &&
        static_cast<size_t>(st->seqlen) < first.size())
      c = first[static_cast<size_t>(st->seqlen)];
    rs_addchar(st, c);
  }
}

static void append_seq(const ReadSeqState *st, std::string *out, const char *text) {
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p != '\0'; p++)
    if (st->isseqchar(*p)) out->push_back(static_cast<char>(*p));
}

// Cuts the line at ";" (the end of the matrix); true when it held one.
static bool cut_at_semicolon(ReadSeqState *st) {
  char *semi = strchr(st->s, ';');
  if (semi == nullptr) return false;
  *semi = '\0';
  st->length = static_cast<int32_t>(semi - st->s);
  return true;
}

static void check_declared_length(ReadSeqState *st) {
  if (st->topseqlen > 0 && st->seqlen != st->topseqlen)
    rs_warn(st, "entry %d (%s) has %d characters, the header declares %d.\n", st->choice,
            st->seqid != nullptr ? st->seqid : "", st->seqlen, st->topseqlen);
}

static void paup_interleaved(ReadSeqState *st) {
  std::vector<std::string> names;
  std::string first;
  bool block_done = false;
  int unknown_rows = 0;
  size_t idx = 0;  // entry of the current line (1-based; 0 none)
  for (rs_getline(st); !st->eof; rs_getline(st)) {
    bool last = cut_at_semicolon(st);
    const char *rest = st->s;
    if (st->continued) {
      // the rest of an over-long line belongs to the entry its start named
    } else if (rs_blank(st->s)) {
      if (!names.empty()) block_done = true;
      idx = 0;
    } else if (matrix_row(st->s)) {
      std::string name = matrix_name(st->s, &rest);
      idx = 0;
      for (size_t i = 0; i < names.size() && idx == 0; i++)
        if (names[i] == name) idx = i + 1;
      if (idx != 0) {
        block_done = true;
      } else if (!block_done) {
        names.push_back(name);
        idx = names.size();
        if (st->topnseq > 0 && names.size() == static_cast<size_t>(st->topnseq)) block_done = true;
      } else {
        unknown_rows++;
      }
    } else {
      idx = 0;
    }
    if (idx == 1) append_seq(st, &first, rest);
    if (idx != 0 && idx == static_cast<size_t>(st->choice)) paup_add(st, rest, first, idx == 1);
    if (last) break;
  }
  st->nseq = clamp16(static_cast<long>(names.size()));
  if (st->choice == 1 && st->topnseq > 0 && names.size() != static_cast<size_t>(st->topnseq))
    rs_warn(st, "the header declares %d sequences (ntax), the matrix names %d.\n", st->topnseq,
            static_cast<int>(names.size()));
  if (st->choice == 1 && unknown_rows > 0)
    rs_warn(st, "%d matrix lines name no declared sequence and are ignored.\n", unknown_rows);
  if (st->choice == -1) return;
  if (static_cast<size_t>(st->choice) > names.size()) {
    st->err = READSEQ_NO_DATA;
    return;
  }
  rs_setid(st, names[static_cast<size_t>(st->choice) - 1].c_str());
  st->allDone = 1;
  check_declared_length(st);
}

static void paup_sequential(ReadSeqState *st) {
  std::string first;
  int entry = 0;
  int32_t count = 0;
  bool in_entry = false;
  for (rs_getline(st); !st->eof; rs_getline(st)) {
    bool last = cut_at_semicolon(st);
    const char *text = st->s;
    if (!in_entry) {
      if (st->continued || !matrix_row(st->s)) {
        if (last) break;
        continue;
      }
      std::string name = matrix_name(st->s, &text);
      entry++;
      count = 0;
      in_entry = true;
      if (entry == st->choice) {
        st->started = 1;
        rs_setid(st, name.c_str());
      }
    }
    count += rs_countseq(st, text);
    if (entry == 1) append_seq(st, &first, text);
    if (entry == st->choice) paup_add(st, text, first, entry == 1);
    if (st->topseqlen <= 0 || count >= st->topseqlen) {
      in_entry = false;
      if (entry == st->choice) break;
    }
    if (last) break;
  }
  st->nseq = clamp16(entry);
  if (st->choice == -1) return;
  if (entry < st->choice) {
    if (st->topnseq > 0 && st->choice <= st->topnseq)
      rs_warn(st, "the header declares %d sequences (ntax), the matrix holds %d.\n", st->topnseq, entry);
    st->err = READSEQ_NO_DATA;
    return;
  }
  st->allDone = 1;
  check_declared_length(st);
}

void read_paup(ReadSeqState *st) {
  rs_rewind(st);
  bool matrix = false, interleaved = false;
  long ntax = 0, nchar = 0;
  for (rs_getline(st); !st->eof; rs_getline(st)) {
    for (char *p = st->s; *p != '\0'; p++) *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    header_number(st->s, "ntax=", &ntax);
    header_number(st->s, "nchar=", &nchar);
    const char *m = strstr(st->s, "matchchar=");
    if (m != nullptr) {
      m += strlen("matchchar=");
      m = skip_blanks(m);
      if (*m == '\'' || *m == '"') m++;
      if (*m != '\0' && !isspace(static_cast<unsigned char>(*m))) st->matchchar = *m;
    }
    if (strstr(st->s, "interleav") != nullptr) interleaved = true;
    if (strstr(st->s, "matrix") != nullptr) {
      matrix = true;
      break;
    }
  }
  st->topnseq = clamp16(ntax);
  st->topseqlen = nchar > 0 && nchar < 2000000000L ? static_cast<int32_t>(nchar) : 0;
  if (!matrix) {
    if (st->choice != -1) st->err = READSEQ_NO_DATA;
    return;
  }
  if (interleaved)
    paup_interleaved(st);
  else
    paup_sequential(st);
}

// ---- Phylip -----------------------------------------------------------------------------------

// Reads the header "N L" of the current line into the state; false (with a warning) when the line
// is not one.
static bool phylip_header(ReadSeqState *st) {
  long n = 0, l = 0;
  st->started = 1;
  if (sscanf(st->s, "%ld %ld", &n, &l) != 2 || n <= 0 || l <= 0 || l >= 2000000000L) {
    char shown[41];  // the start of the line, unprintable bytes shown as "?"
    int k = 0;
    for (; k < 40 && st->s[k] != '\0'; k++) shown[k] = st->s[k] >= ' ' && st->s[k] < 127 ? st->s[k] : '?';
    shown[k] = '\0';
    rs_warn(
        st,
        "expected the Phylip header (number of sequences and length) where entry %d begins, read \"%s\".\n",
        st->choice, shown);
    st->err = READSEQ_ITEM_NOT_FOUND;
    return false;
  }
  st->topnseq = clamp16(n);
  st->topseqlen = static_cast<int32_t>(l);
  return true;
}

static void next_nonblank_line(ReadSeqState *st) {
  do {
    rs_getline(st);
  } while (!st->eof && !st->continued && rs_blank(st->s));
}

// The wanted entry is beyond those present: quietly past the declared count, else a shortfall.
static void phylip_missing(ReadSeqState *st, int present) {
  if (st->choice <= st->topnseq) {
    rs_warn(st, "the header declares %d sequences, the file holds %d.\n", st->topnseq, present);
    st->err = READSEQ_ITEM_NOT_FOUND;
  } else {
    st->err = READSEQ_NO_DATA;
  }
}

void read_phylip_sequential(ReadSeqState *st) {
  if (!phylip_header(st)) return;
  int entry = 0;
  next_nonblank_line(st);
  while (!st->eof && entry < st->topnseq) {
    entry++;
    bool wanted = entry == st->choice;
    const char *text = st->length > 10 ? st->s + 10 : "";
    // An entry's characters, its first line's from the 11th character on, reach the declared length.
    st->seqlencount = rs_countseq(st, text);
    if (wanted) {
      rs_setid_n(st, st->s, 10);
      rs_addseq(st, text);
    }
    while (st->seqlencount < st->topseqlen) {
      rs_getline(st);
      if (st->eof) break;
      st->seqlencount += rs_countseq(st, st->s);
      if (wanted) rs_addseq(st, st->s);
    }
    if (wanted) {
      st->allDone = 1;
      break;
    }
    next_nonblank_line(st);
  }
  st->nseq = clamp16(entry);
  if (st->choice == -1) return;
  if (!st->allDone) {
    phylip_missing(st, entry);
    return;
  }
  check_declared_length(st);
}

void read_phylip_interleaved(ReadSeqState *st) {
  if (!phylip_header(st)) return;
  const long n = st->topnseq;
  long k = 0;        // non-empty lines after the header
  long current = 0;  // entry of the current line
  for (rs_getline(st); !st->eof; rs_getline(st)) {
    const char *text = st->s;
    if (!st->continued) {
      if (rs_blank(st->s)) continue;
      current = k < n ? k + 1 : (k % n) + 1;
      if (k < n) {
        if (current == st->choice) rs_setid_n(st, st->s, 10);
        text = st->length > 10 ? st->s + 10 : "";
      }
      k++;
    }
    if (current == st->choice) rs_addseq(st, text);
  }
  int present = static_cast<int>(k < n ? k : n);
  st->nseq = clamp16(present);
  if (st->choice == -1) return;
  if (st->choice > present) {
    phylip_missing(st, present);
    return;
  }
  st->allDone = 1;
  check_declared_length(st);
}

}  // namespace qor
