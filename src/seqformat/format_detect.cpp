// Format detection from a file's first lines: the mail-header skip, the marks each format's lines
// set, the decision, and the vote between interleaved and sequential Phylip.
//
// Sections: line tests | Phylip vote | detection
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alphabet/alphabet.h"
#include "seqformat/reader_state.h"

namespace qor {

// ---- Line tests -------------------------------------------------------------------------------

static bool contains(const char *s, const char *part) {
  return strstr(s, part) != nullptr;
}

// Two positive integers at the start of the line (the Phylip header).
// (strtol: a number beyond the range of long is held at LONG_MAX, where sscanf's is undefined.)
static bool two_positive_ints(const char *s, long *n, long *l) {
  char *end = nullptr;
  *n = strtol(s, &end, 10);
  if (end == s) return false;
  const char *rest = end;
  *l = strtol(rest, &end, 10);
  if (end == rest) return false;
  return *n > 0 && *l > 0;
}

// More than 20 characters in groups of a blank and three non-blanks (the Fitch layout).
static bool fitch_line(const char *s, int32_t length) {
  if (length <= 20) return false;
  for (int32_t i = 0; i < length; i++) {
    bool blank = s[i] == ' ' || s[i] == '\t';
    if ((i % 4 == 0) != blank) return false;
  }
  return true;
}

static int seqtype_of(const char *s, int32_t from, int32_t length) {
  if (from >= length) return getseqtype("", 0);
  return getseqtype(s + from, length - from);
}

// ---- Phylip vote ------------------------------------------------------------------------------

// One line of the vote: the scores of the interleaved and sequential readings.
struct PhylipVote {
  long n, l;  // declared number of sequences and length
  long c;     // characters counted (letters, digits, punctuation, blanks)
  long line;  // lines after the header (the first is 1)
  long i, s;  // the scores
};

static void vote_line(PhylipVote *v, const char *text, int32_t length) {
  v->line++;
  int32_t from = v->line == 1 ? 10 : 0;
  for (int32_t k = from; k < length; k++) {
    unsigned char ch = static_cast<unsigned char>(text[k]);
    if (isalnum(ch) || ispunct(ch) || ch == ' ' || ch == '\t') v->c++;
  }
  int p = 0;
  while (p < 10 && p < length && (text[p] == ' ' || text[p] == '\t')) p++;
  int head = length < 10 ? length : 10;
  int tn = getseqtype(text, head);
  int tr = seqtype_of(text, 10, length);
  bool tn_nucleic = tn == SEQTYPE_DNA || tn == SEQTYPE_RNA;
  if (v->line >= 2 && v->line <= v->n) {
    if (p > 8) {
      v->s += 10;
    } else {
      if (tr == tn)
        v->s += 1;
      else
        v->i += 1;
      if (tn_nucleic)
        v->s += 1;
      else
        v->i += 1;
      if (v->c <= v->l) {
        if (tn == SEQTYPE_UNKNOWN)
          v->i += 10;
        else if (tn_nucleic || tn == SEQTYPE_PROTEIN)
          v->s += 1;
        else
          v->i += 1;
      }
    }
    if (p > 8 && v->c > v->l) v->c = 0;
  } else if (v->line > v->n && v->line - v->n <= v->n) {  // lines n+1..2n, written without 2n
    if (p <= 8) {
      if (tn == SEQTYPE_UNKNOWN) v->s += 10;
      if (tr == tn)
        v->i += 1;
      else
        v->s += 1;
      if (tn_nucleic)
        v->i += 1;
      else
        v->s += 1;
    }
    if (v->c > v->l) {
      if (p > 9)
        v->i += 10;
      else if (tn == SEQTYPE_UNKNOWN)
        v->s += 10;
      v->c = 0;
    }
  }
}

// Splits Phylip into interleaved (12) or sequential (11). lines holds the lines read by detection
// from the header on; the vote goes on reading the stream after them when it needs more.
static int16_t phylip_vote(ReadSeqState *st, const std::vector<std::string> &lines) {
  PhylipVote v = {0, 0, 0, 0, 0, 0};
  if (lines.empty() || !two_positive_ints(lines[0].c_str(), &v.n, &v.l)) return SEQFMT_PHYLIP;
  size_t next = 1;
  while (v.line - v.n < v.n) {  // v.line < 2 * v.n for any declared n
    const char *text;
    int32_t length;
    if (next < lines.size()) {
      text = lines[next].c_str();
      length = static_cast<int32_t>(lines[next].size());
      next++;
    } else {
      rs_getline(st);
      if (st->eof) break;
      text = st->s;
      length = st->length;
    }
    if (rs_blank(text)) continue;  // blank lines between interleaved blocks are not counted
    vote_line(&v, text, length);
  }
  return v.i > v.s ? SEQFMT_PHYLIP : SEQFMT_PHYLIP_SEQUENTIAL;
}

// ---- Detection --------------------------------------------------------------------------------

namespace {
struct Marks {
  bool ig, genbank, nbrf, embl, gcg, strider, fitch, pearson, zuker, olsen, msf, asn1, paup, pir;
  bool maybe_phylip, phylip;
};
}  // namespace

int16_t seqFileFormatFp(FILE *stream, int32_t *skiplines, int16_t *error) {
  if (skiplines != nullptr) *skiplines = 0;
  if (error != nullptr) *error = 0;
  if (stream == nullptr) {
    if (error != nullptr) *error = READSEQ_FILE_NOT_FOUND;
    return SEQFMT_UNKNOWN;
  }
  ReadSeqState st;
  rs_init(&st, 1, nullptr, stream, nullptr);
  Marks m = {};
  int32_t skipped = 0;
  long maxlines = READSEQ_DETECT_LINES;
  long nlines = 0, other_lines = 0, nucleic_lines = 0, protein_lines = 0;
  std::vector<std::string> phylip_lines;  // from the Phylip header on, for the vote
  int16_t format = SEQFMT_UNKNOWN;
  bool decided = false;

  for (;;) {
    rs_getline(&st);
    if (st.eof) break;
    nlines++;
    const char *s = st.s;
    if (nlines <= 3 && (rs_begins(&st, "From ") || rs_begins(&st, "Received:"))) {
      // A mail header: skip to its first blank line.
      while (!st.eof && !rs_blank(st.s)) {
        rs_getline(&st);
        if (!st.eof) nlines++;
      }
      skipped = static_cast<int32_t>(nlines);
      if (st.eof) break;
      continue;
    }
    if (contains(s, "): ")) maxlines++;
    if (m.maybe_phylip && phylip_lines.size() < static_cast<size_t>(2 * READSEQ_DETECT_LINES + 2))
      phylip_lines.push_back(std::string(s, static_cast<size_t>(st.length)));
    if (!rs_blank(s)) {
      if (contains(s, "MSF:") && contains(s, "Type:") && contains(s, "Check:"))
        m.msf = true;
      else if (contains(s, "..") && contains(s, "Check:"))
        m.gcg = true;
      else if (contains(s, "identity:   Data:"))
        m.olsen = true;
      else if (contains(s, "::=") &&
               (contains(s, "Bioseq") || contains(s, "Seq-entry") || contains(s, "Seq-submit")))
        m.asn1 = true;
      else if (rs_begins(&st, "#NEXUS"))
        m.paup = true;
      else if (rs_begins(&st, ";")) {
        if (contains(s, "Strider"))
          m.strider = true;
        else
          m.ig = true;
      } else if (rs_begins(&st, "LOCUS") || rs_begins(&st, "ORIGIN"))
        m.genbank = true;
      else if (rs_begins(&st, "ENTRY   ") || rs_begins(&st, "SEQUENCE"))
        m.pir = true;
      else if (rs_begins(&st, ">")) {
        if (st.length >= 4 && s[3] == ';')
          m.nbrf = true;
        else
          m.pearson = true;
      } else if (rs_begins(&st, "ID   ") || rs_begins(&st, "SQ   "))
        m.embl = true;
      else if (rs_begins(&st, "("))
        m.zuker = true;
      else {
        long n, l;
        if (nlines == skipped + 1 && two_positive_ints(s, &n, &l)) {
          m.maybe_phylip = true;
          phylip_lines.push_back(std::string(s, static_cast<size_t>(st.length)));
        } else if (nlines == skipped + 2 && m.maybe_phylip && isalpha(static_cast<unsigned char>(s[0])) &&
                   seqtype_of(s, 10, st.length) != SEQTYPE_UNKNOWN) {
          m.phylip = true;
        } else if (fitch_line(s, st.length)) {
          m.fitch = true;
        }
        switch (getseqtype(s, st.length)) {
          case SEQTYPE_UNKNOWN:
            other_lines++;
            break;
          case SEQTYPE_DNA:
          case SEQTYPE_RNA:
            nucleic_lines++;
            break;
          case SEQTYPE_PROTEIN:
            protein_lines++;
            break;
          default:
            break;
        }
      }
    }
    if (m.olsen) {
      format = SEQFMT_OLSEN;
    } else if (m.msf) {
      format = SEQFMT_MSF;
    } else if (m.asn1) {
      format = contains(s, "Bioseq-set")  ? SEQFMT_ASN1_SET
               : contains(s, "Seq-entry") ? SEQFMT_ASN1_ENTRY
                                          : SEQFMT_ASN1;
    } else if (m.paup) {
      format = SEQFMT_PAUP;
    } else if (m.gcg) {
      format = m.ig ? SEQFMT_IG : SEQFMT_GCG;
    } else if (nucleic_lines <= 1 && nlines < maxlines) {
      continue;
    }
    decided = true;
    break;
  }
  if (!decided || format == SEQFMT_UNKNOWN) {
    if (m.strider)
      format = SEQFMT_STRIDER;
    else if (m.genbank)
      format = SEQFMT_GENBANK;
    else if (m.pir)
      format = SEQFMT_PIR;
    else if (m.embl)
      format = SEQFMT_EMBL;
    else if (m.nbrf)
      format = SEQFMT_NBRF;
    else if (m.ig)
      format = SEQFMT_IG;
    else if (m.pearson)
      format = SEQFMT_PEARSON;
    else if (m.zuker)
      format = SEQFMT_ZUKER;
    else if (m.phylip)
      format = SEQFMT_PHYLIP;
    else if (m.fitch)
      format = SEQFMT_FITCH;
    else if (other_lines > 0)
      format = SEQFMT_UNKNOWN;
    else if (nucleic_lines > 0 || protein_lines > 0)
      format = SEQFMT_PLAIN;
    else
      format = SEQFMT_UNKNOWN;
  }
  if (format == SEQFMT_PHYLIP) format = phylip_vote(&st, phylip_lines);
  rs_release(&st, false);
  if (skiplines != nullptr) *skiplines = skipped;
  return format;
}

}  // namespace qor
