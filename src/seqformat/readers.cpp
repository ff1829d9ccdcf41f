// The line-oriented readers: one entry after another, each ended by a line the format marks.
// On entry st->s holds the first non-empty line after the skipped ones.
//
// Sections: shared tests | IG | GenBank | NBRF | EMBL | GCG | Strider | Fitch | Pearson | Zuker |
//           Plain | PIR
#include <cctype>
#include <cstring>
#include <string>

#include "seqformat/reader_state.h"

namespace qor {

// ---- Shared tests -----------------------------------------------------------------------------

static bool never_ends(ReadSeqState *, bool *addend, bool *ungetend) {
  *addend = false;
  *ungetend = false;
  return false;
}

// The text of the line from its n-th character (counted from 1), or "" for a shorter line.
static const char *from_column(const ReadSeqState *st, int n) {
  return st->length >= n ? st->s + n - 1 : "";
}

// An entry whose header was read but whose sequence section is missing; it ends at st->s, which
// starts the next entry (and is pushed back when this was the wanted one).
static void empty_entry(ReadSeqState *st) {
  st->nseq++;
  if (st->nseq == st->choice) {
    st->seqlen = 0;
    st->seq[0] = '\0';
    st->allDone = 1;
    rs_ungetline(st);
  }
}

static bool begins_gt(const ReadSeqState *st) {
  return rs_begins(st, ">");
}
static bool begins_semicolon(const ReadSeqState *st) {
  return rs_begins(st, ";");
}

// ---- IG ---------------------------------------------------------------------------------------

// Empty, or beginning with ";" once leading blanks and control characters are passed.
static bool ig_comment(const char *s) {
  const unsigned char *p = reinterpret_cast<const unsigned char *>(s);
  while (*p != '\0' && *p <= ' ') p++;
  return *p == '\0' || *p == ';';
}

static bool end_ig(ReadSeqState *st, bool *addend, bool *ungetend) {
  if (strchr(st->s, ';') != nullptr) {  // the next entry's comment
    *addend = false;
    *ungetend = true;
    return true;
  }
  if (strchr(st->s, '1') != nullptr || strchr(st->s, '2') != nullptr) {  // linear / circular terminator
    *addend = true;
    *ungetend = false;
    return true;
  }
  return false;
}

void read_ig(ReadSeqState *st) {
  for (;;) {
    while (!st->eof && ig_comment(st->s)) rs_getline(st);
    if (st->eof) break;
    rs_take_id(st, st->s);
    rs_readloop(st, false, end_ig);
    if (st->allDone || st->eof) break;
    rs_getline(st);
  }
}

// ---- GenBank ----------------------------------------------------------------------------------

static bool gb_locus(const ReadSeqState *st) {
  return rs_begins(st, "LOCUS");
}
static bool gb_locus_or_origin(const ReadSeqState *st) {
  return rs_begins(st, "LOCUS") || rs_begins(st, "ORIGIN");
}

static bool end_genbank(ReadSeqState *st, bool *addend, bool *ungetend) {
  *addend = false;
  *ungetend = false;
  if (rs_begins(st, "LOCUS")) {
    *ungetend = true;
    return true;
  }
  return strstr(st->s, "//") != nullptr;
}

void read_genbank(ReadSeqState *st) {
  rs_skipto(st, gb_locus_or_origin);
  for (;;) {
    if (st->eof) break;
    st->started = 1;
    rs_take_id(st, from_column(st, 13));
    if (!rs_begins(st, "ORIGIN")) {
      do {
        rs_getline(st);
      } while (!st->eof && !gb_locus_or_origin(st));
      if (st->eof) break;
      if (gb_locus(st)) {  // an entry without ORIGIN
        empty_entry(st);
        if (st->allDone) break;
        continue;
      }
    }
    rs_readloop(st, false, end_genbank);
    if (st->allDone || st->eof) break;
    rs_getline(st);
    rs_skipto(st, gb_locus);
  }
}

// ---- NBRF -------------------------------------------------------------------------------------

// The line after the header is sequence data, not the title, when it has digits before its first
// letter, holds a letter, and holds nothing but digits, letters, "-", "." and white space.
static bool nbrf_sequence_line(const char *s) {
  bool digit_first = false, letter = false;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(s); *p != '\0'; p++) {
    if (isalpha(*p))
      letter = true;
    else if (isdigit(*p))
      digit_first = digit_first || !letter;
    else if (!(*p == '-' || *p == '.' || isspace(*p)))
      return false;
  }
  return digit_first && letter;
}

static bool end_nbrf(ReadSeqState *st, bool *addend, bool *ungetend) {
  *addend = false;
  *ungetend = false;
  char *star = strchr(st->s, '*');
  if (star != nullptr) {
    *star = '\0';
    st->length = static_cast<int32_t>(star - st->s);
    *addend = true;
    return true;
  }
  if (rs_begins(st, ">")) {
    *ungetend = true;
    return true;
  }
  return false;
}

void read_nbrf(ReadSeqState *st) {
  rs_skipto(st, begins_gt);
  for (;;) {
    if (st->eof) break;
    st->started = 1;
    rs_take_id(st, from_column(st, 5));
    rs_getline(st);  // the title
    if (!st->eof && (nbrf_sequence_line(st->s) || rs_begins(st, ">"))) rs_ungetline(st);
    rs_readloop(st, false, end_nbrf);
    if (st->allDone || st->eof) break;
    rs_getline(st);
    rs_skipto(st, begins_gt);
  }
}

// ---- EMBL -------------------------------------------------------------------------------------

static bool embl_id(const ReadSeqState *st) {
  return rs_begins(st, "ID   ");
}
static bool embl_id_or_sq(const ReadSeqState *st) {
  return rs_begins(st, "ID   ") || rs_begins(st, "SQ   ");
}

static bool end_embl(ReadSeqState *st, bool *addend, bool *ungetend) {
  *addend = false;
  *ungetend = false;
  if (rs_begins(st, "ID   ")) {
    *ungetend = true;
    return true;
  }
  return strstr(st->s, "//") != nullptr;
}

void read_embl(ReadSeqState *st) {
  rs_skipto(st, embl_id);
  for (;;) {
    if (st->eof) break;
    st->started = 1;
    rs_take_id(st, from_column(st, 6));
    do {
      rs_getline(st);
    } while (!st->eof && !embl_id_or_sq(st));
    if (st->eof) break;
    if (embl_id(st)) {  // an entry without SQ
      empty_entry(st);
      if (st->allDone) break;
      continue;
    }
    rs_readloop(st, false, end_embl);
    if (st->allDone || st->eof) break;
    rs_getline(st);
    rs_skipto(st, embl_id);
  }
}

// ---- GCG --------------------------------------------------------------------------------------

static bool gcg_dots(const ReadSeqState *st) {
  return strstr(st->s, "..") != nullptr;
}

void read_gcg(ReadSeqState *st) {
  rs_skipto(st, gcg_dots);
  if (st->eof) return;
  st->started = 1;
  const char *cut = strstr(st->s, "  Length: ");
  if (cut == nullptr) cut = strstr(st->s, "..");
  rs_setid_n(st, st->s, static_cast<size_t>(cut - st->s));
  rs_skip_rest_of_line(st);
  rs_readloop(st, false, never_ends);
  if (!st->allDone && st->choice != -1) st->err = READSEQ_ONE_PER_FILE;
}

// ---- Strider ----------------------------------------------------------------------------------

static const char strider_dna[] = "; DNA sequence  ";

static bool end_strider(ReadSeqState *st, bool *addend, bool *ungetend) {
  *addend = false;
  *ungetend = false;
  return strstr(st->s, "//") != nullptr;
}

void read_strider(ReadSeqState *st) {
  rs_skipto(st, begins_semicolon);
  for (;;) {
    if (st->eof) break;
    st->started = 1;
    rs_take_id(st, rs_begins(st, strider_dna) ? st->s + strlen(strider_dna) : st->s + 1);
    // Further comment lines; a "; DNA sequence  " line among them names the entry.
    for (rs_getline(st); !st->eof && rs_begins(st, ";"); rs_getline(st))
      if (rs_begins(st, strider_dna)) rs_take_id(st, st->s + strlen(strider_dna));
    rs_readloop(st, true, end_strider);
    if (st->allDone || st->eof) break;
    rs_getline(st);
    rs_skipto(st, begins_semicolon);
  }
}

// ---- Fitch ------------------------------------------------------------------------------------

static bool end_fitch(ReadSeqState *st, bool *addend, bool *ungetend) {
  *addend = false;
  *ungetend = false;
  if (st->continued || rs_blank(st->s) || st->s[0] == ' ' || st->s[0] == '\t') return false;
  *ungetend = true;  // the next entry's name
  return true;
}

void read_fitch(ReadSeqState *st) {
  for (;;) {
    if (st->eof) break;
    st->started = 1;
    rs_take_id(st, st->s);
    rs_getline(st);
    rs_readloop(st, true, end_fitch);
    if (st->allDone || st->eof) break;
    rs_getline(st);
  }
}

// ---- Pearson ----------------------------------------------------------------------------------

static bool end_pearson(ReadSeqState *st, bool *addend, bool *ungetend) {
  *addend = false;
  *ungetend = rs_begins(st, ">");
  return *ungetend;
}

void read_pearson(ReadSeqState *st) {
  rs_skipto(st, begins_gt);
  for (;;) {
    if (st->eof) break;
    st->started = 1;
    rs_take_id(st, st->s + 1);
    rs_readloop(st, false, end_pearson);
    if (st->allDone || st->eof) break;
    rs_getline(st);
  }
}

// ---- Zuker ------------------------------------------------------------------------------------

static bool begins_paren(const ReadSeqState *st) {
  return rs_begins(st, "(");
}

static bool end_zuker(ReadSeqState *st, bool *addend, bool *ungetend) {
  *addend = false;
  *ungetend = rs_begins(st, "(");
  return *ungetend;
}

void read_zuker(ReadSeqState *st) {
  rs_skipto(st, begins_paren);
  for (;;) {
    if (st->eof) break;
    rs_getline(st);  // the id line
    if (st->eof) break;
    st->started = 1;
    rs_take_id(st, from_column(st, 7));
    rs_readloop(st, false, end_zuker);
    if (st->allDone || st->eof) break;
    rs_getline(st);
  }
}

// ---- Plain ------------------------------------------------------------------------------------

void read_plain(ReadSeqState *st) {
  st->started = 1;
  std::string id;
  char number[32];
  if (st->fname != nullptr) {
    const char *slash = strrchr(st->fname, '/');
    id = slash != nullptr ? slash + 1 : st->fname;
    snprintf(number, sizeof number, "(%d)", st->nseq + 1);
  } else {
    snprintf(number, sizeof number, "[%d]", st->nseq + 1);
  }
  id += number;
  rs_setid(st, id.c_str());
  rs_readloop(st, true, never_ends);
  if (!st->allDone && st->choice != -1) st->err = READSEQ_ONE_PER_FILE;
}

// ---- PIR --------------------------------------------------------------------------------------

static bool pir_header(const ReadSeqState *st) {
  return strstr(st->s, "ENTRY") != nullptr || strstr(st->s, "SEQUENCE") != nullptr;
}

static bool end_pir(ReadSeqState *st, bool *addend, bool *ungetend) {
  *addend = false;
  *ungetend = false;
  if (rs_begins(st, "ENTRY")) {
    *ungetend = true;
    return true;
  }
  return strstr(st->s, "///") != nullptr;
}

void read_pir(ReadSeqState *st) {
  for (;;) {
    rs_skipto(st, pir_header);
    if (st->eof) break;
    st->started = 1;
    rs_take_id(st, from_column(st, 17));
    if (!rs_begins(st, "SEQUENCE")) {
      do {
        rs_getline(st);
      } while (!st->eof && !rs_begins(st, "SEQUENCE") && !rs_begins(st, "ENTRY"));
      if (st->eof) break;
      if (rs_begins(st, "ENTRY")) {  // an entry without SEQUENCE
        empty_entry(st);
        if (st->allDone) break;
        continue;
      }
    }
    rs_readloop(st, false, end_pir);
    if (st->allDone || st->eof) break;
    rs_getline(st);
  }
}

}  // namespace qor
