// Sequence-type guesses: from the start of a FASTA stream, and from the text of one sequence.
//
// Sections: character classes; FASTA streams; one sequence.
#include <cstdio>

#include "alphabet/alphabet.h"
#include "seqfile/seqfile.h"

namespace qor {

// Letters inspected before a guess is made.
constexpr int GUESS_LETTERS = 300;

// ---- Character classes ------------------------------------------------------------------------

static bool is_space_char(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
static bool is_letter(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
static bool is_digit(int c) {
  return c >= '0' && c <= '9';
}

// c is one of the characters of set (never true for the NUL byte).
static bool in_set(const char *set, int c) {
  for (; *set != '\0'; set++)
    if (static_cast<unsigned char>(*set) == c) return true;
  return false;
}

// ---- FASTA streams ----------------------------------------------------------------------------

// fasta_alphabet
//   Reads the entries of a FASTA stream whose first '>' has just been read, until 300 letters are
//   counted, the file ends or a '>' is met that does not start a line. Every letter counts as a
//   protein hit unless the protein alphabet reads it as its wildcard, as a DNA hit unless the DNA
//   alphabet reads it as its wildcard, and T and U are counted apart. Digits before the first letter
//   of a line are leading digits (line numbers), later ones trailing digits.
// Result: *type 0 (no hits), 4 (more protein than DNA hits), else 1 (more T than U), 2 (more U than
//   T) or 3; *format becomes 3 (NBRF) when leading digits and no trailing digits were seen.
void fasta_alphabet(FILE *stream, int *type, int *format) {
  ensure_alphabets_initialized();
  const Alphabet *protein = alphabet_id_to_info(3);
  const Alphabet *dna = alphabet_id_to_info(1);
  const int protein_wild = protein->wild_length - 1;
  const int dna_wild = dna->wild_length - 1;
  long letters = 0, protein_hits = 0, dna_hits = 0, t_count = 0, u_count = 0;
  long leading_digits = 0, trailing_digits = 0;
  int prev = '\n';
  int c = '>';
  for (;;) {
    while (c != EOF && is_space_char(c)) {
      prev = c;
      c = getc(stream);
    }
    if (c != '>' || prev != '\n') break;
    // The header line.
    do c = getc(stream);
    while (c != EOF && c != '\n');
    if (c == EOF) break;
    prev = c;
    // The sequence lines, up to the next '>' (or the letter limit).
    bool letter_on_line = false;
    while (letters < GUESS_LETTERS) {
      c = getc(stream);
      if (c == EOF || c == '>') break;
      if (is_letter(c)) {
        letters++;
        if (protein->translate[c] < protein_wild) protein_hits++;
        if (dna->translate[c] < dna_wild) dna_hits++;
        if (c == 'T' || c == 't') t_count++;
        if (c == 'U' || c == 'u') u_count++;
        letter_on_line = true;
      } else if (is_digit(c)) {
        if (letter_on_line)
          trailing_digits++;
        else
          leading_digits++;
      } else if (c == '\n') {
        letter_on_line = false;
      }
      prev = c;
    }
    if (letters >= GUESS_LETTERS || c == EOF) break;
  }

  int guess;
  if (protein_hits == 0 && dna_hits == 0 && t_count == 0 && u_count == 0)
    guess = SEQTYPE_UNKNOWN;
  else if (protein_hits > dna_hits)
    guess = SEQTYPE_PROTEIN;
  else if (t_count > u_count)
    guess = SEQTYPE_DNA;
  else if (u_count > t_count)
    guess = SEQTYPE_RNA;
  else
    guess = SEQTYPE_NUCLEIC;
  if (type != nullptr) *type = guess;
  if (leading_digits > 0 && trailing_digits == 0 && format != nullptr) *format = SEQFORMAT_NBRF;
}

// ---- One sequence -----------------------------------------------------------------------------

// getseqtype
//   Looks at the first 300 characters of text (fewer when n is smaller), upper-casing a-z and
//   skipping 'O'. Each character counts in the first class that holds it: protein-only letters
//   EFIPQZ (k), nucleotides ACGTU (nuc, T and U also apart), amino-acid codes (l), sequence
//   symbols _.-*? (ignored), any other letter (j); other bytes are ignored.
// Returns 0 when j > 0 or nothing counted; 4 when k > 0; with l = 0, 2 when U outnumbers T, else 1;
//   otherwise 3 when nuc > l, else 4.
int getseqtype(const char *text, int n) {
  static const char protonly[] = "EFIPQZ";
  static const char primenuc[] = "ACGTU";
  static const char aminos[] = "ABCDEFGHIKLMNPQRSTVWXYZ*";
  static const char seqsymbols[] = "_.-*?";
  if (text == nullptr || n <= 0) return SEQTYPE_UNKNOWN;
  int limit = n < GUESS_LETTERS ? n : GUESS_LETTERS;
  int k = 0, nuc = 0, l = 0, j = 0, t_count = 0, u_count = 0;
  for (int i = 0; i < limit; i++) {
    int c = static_cast<unsigned char>(text[i]);
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    if (c == 'O') continue;
    if (in_set(protonly, c)) {
      k++;
    } else if (in_set(primenuc, c)) {
      nuc++;
      if (c == 'T') t_count++;
      if (c == 'U') u_count++;
    } else if (in_set(aminos, c)) {
      l++;
    } else if (in_set(seqsymbols, c)) {
      // gap and stop symbols say nothing about the type
    } else if (c >= 'A' && c <= 'Z') {
      j++;
    }
  }
  if (j > 0 || k + l + nuc == 0) return SEQTYPE_UNKNOWN;
  if (k > 0) return SEQTYPE_PROTEIN;
  if (l == 0) return u_count > t_count ? SEQTYPE_RNA : SEQTYPE_DNA;
  return nuc > l ? SEQTYPE_NUCLEIC : SEQTYPE_PROTEIN;
}

}  // namespace qor
