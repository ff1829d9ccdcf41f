// Alphabet background files: blocks of Alphabet, Order and Probs lines that replace the match and
// insert regularizer weights of alphabets.
//
// Sections: lines and words; one block; the file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alphabet/alphabet.h"
#include "util/util.h"

namespace qor {

// A line is read in pieces of at most this many characters; each piece is handled as a line.
constexpr int BACKFILE_LINE = 999;

// ---- Lines and words --------------------------------------------------------------------------

// Words are separated by blanks, tabs, '=' and line ends ('\r' included, so that CRLF files read
// like LF files).
static bool is_word_separator(char c) {
  return c == ' ' || c == '\t' || c == '=' || c == '\n' || c == '\r';
}

static std::vector<std::string> split_words(const char *line) {
  std::vector<std::string> words;
  const char *p = line;
  while (*p != '\0') {
    while (*p != '\0' && is_word_separator(*p)) p++;
    const char *start = p;
    while (*p != '\0' && !is_word_separator(*p)) p++;
    if (p > start) words.emplace_back(start, p);
  }
  return words;
}

// Reads the next line (or piece of a long line) into buf; false at end of file.
static bool read_line(FILE *stream, char (&buf)[BACKFILE_LINE + 1]) {
  return fgets(buf, sizeof buf, stream) != nullptr;
}

// ---- One block --------------------------------------------------------------------------------

// Reads the Order line of a letter alphabet into order (length entries); false after a message.
static bool read_order(FILE *stream, const char *filename, const char *name, const Alphabet *a, int *order) {
  char buf[BACKFILE_LINE + 1];
  std::vector<std::string> words;
  if (read_line(stream, buf)) words = split_words(buf);
  if (words.empty() || capscomp(words[0].c_str(), "Order") != 0) {
    fprintf(stderr, "%s(%s): Order required after Alphabet.\n", filename, name);
    return false;
  }
  bool ok = true;
  int counts[256] = {0};  // Order characters per letter index
  const int letters_len = static_cast<int>(strlen(a->letters));
  const int regular_end = a->length < letters_len ? a->length : letters_len;
  const int wild_end = a->wild_length < letters_len ? a->wild_length : letters_len;
  const int positions = static_cast<int>(words.size()) - 1;
  for (int k = 0; k < positions; k++) {
    const std::string &w = words[k + 1];
    if (w.size() > 1) {
      fprintf(stderr, "%s(%s): Order must be composed of single characters.\n", filename, name);
      ok = false;
    }
    const unsigned char c = static_cast<unsigned char>(w[0]);
    const int index = a->translate[c];
    if (k < a->length) order[k] = index;
    counts[index]++;
    if (index >= a->length) {
      fprintf(stderr, "%s(%s): Order character %c is not an existing base character.\n", filename, name, c);
      fprintf(stderr, "%s(%s): The characters are %.*s (do not include wildcards like %.*s)\n", filename,
              name, regular_end, a->letters, wild_end > regular_end ? wild_end - regular_end : 0,
              a->letters + regular_end);
      ok = false;
    }
  }
  if (positions != a->length) {
    fprintf(stderr, "%s(%s): %d characters in Order; but alphabet length is %d.\n", filename, name, positions,
            a->length);
    return false;
  }
  for (int i = 0; i < a->length; i++) {
    const char letter = i < letters_len ? a->letters[i] : '?';
    if (counts[i] > 1) {
      fprintf(stderr, "%s(%s): %d Order characters map to single character %c.\n", filename, name, counts[i],
              letter);
      ok = false;
    } else if (counts[i] == 0) {
      fprintf(stderr, "%s(%s): No Order character maps to character %c.\n", filename, name, letter);
      ok = false;
    }
  }
  return ok;
}

// Reads the Probs line and stores its numbers; false after a message when the line is missing.
static bool read_probs(FILE *stream, const char *filename, const char *name, Alphabet *a, const int *order) {
  char buf[BACKFILE_LINE + 1];
  std::vector<std::string> words;
  if (read_line(stream, buf)) words = split_words(buf);
  if (words.empty() || capscomp(words[0].c_str(), "Probs") != 0) {
    fprintf(stderr, "%s(%s): Probs required after Alphabet.\n", filename, name);
    return false;
  }
  const int count = static_cast<int>(words.size()) - 1;
  const bool codon = a->internal_id == CODON_ID;
  for (int i = 0; i < count; i++) {
    const char *word = words[i + 1].c_str();
    char *end = nullptr;
    const float value = static_cast<float>(strtod(word, &end));
    if (end == word || *end != '\0')
      fprintf(stderr, "%s(%s): Probs value %s is not a number; read as %g.\n", filename, name, word,
              static_cast<double>(value));
    int index;
    if (codon)
      index = 16 * order[(i / 16) % 4] + 4 * order[(i / 4) % 4] + order[i % 4];
    else if (i < a->length)
      index = order[i];
    else
      continue;  // more numbers than order positions: the extra ones have no letter
    a->match_regularizer[index] = value;
    a->insert_regularizer[index] = value;
  }
  if (count == a->flength)
    fprintf(stderr, "%s(%s): Replacing background with Probs from file.\n", filename, name);
  else
    fprintf(stderr, "%s(%s): Missing Probs (%d expected); only some Probs changed.\n", filename, name,
            a->flength);
  return true;
}

// Handles the Order and Probs lines that follow the Alphabet line of alphabet a.
static void read_block(FILE *stream, const char *filename, const char *name, Alphabet *a) {
  int order[MAX_ALPHA_LENGTH] = {0};
  bool ok = true;
  if (a->letters != nullptr)
    ok = read_order(stream, filename, name, a, order);
  else
    for (int k = 0; k < a->length && k < MAX_ALPHA_LENGTH; k++) order[k] = k;
  if (ok) ok = read_probs(stream, filename, name, a, order);
  if (!ok) fprintf(stderr, "%s(%s): Skipping probability assignments.\n", filename, name);
}

// ---- The file ---------------------------------------------------------------------------------

// process_alphabet_backfile
//   Reads every block of the stream: an "Alphabet name" line, for letter alphabets an Order line
//   (one character per regular letter, naming the letter of each probability) and a Probs line.
//   The alphabets are the installed track alphabets, or the built-in ones when none is installed;
//   the first of them with the name gets the probabilities in both regularizer arrays (CODON: 64
//   numbers over the codons of the Order bases). Lines not starting with 'A'/'a' between blocks
//   are skipped; a block for an alphabet not among them is ignored.
// Bounds: an Order line must have exactly one character per regular letter (any alphabet
//   length); numbers of a Probs line beyond the order positions are ignored (CODON's wrap around).
// Nothing is fatal: a faulty block is reported and changes nothing; a short Probs line changes
//   the letters it reaches. All messages go to standard error.
void process_alphabet_backfile(FILE *stream, const char *filename) {
  ensure_alphabets_initialized();  // Order characters are read through the translate tables
  filename = filename != nullptr ? filename : "";
  char buf[BACKFILE_LINE + 1];
  while (read_line(stream, buf)) {
    if (buf[0] != 'A' && buf[0] != 'a') continue;
    std::vector<std::string> words = split_words(buf);
    if (words.size() < 2 || capscomp(words[0].c_str(), "Alphabet") != 0) continue;
    const char *name = words[1].c_str();
    Alphabet *target = nullptr;
    if (num_alphabets > 0) {
      for (int t = 0; t < num_alphabets && t < MAX_TRACKS && target == nullptr; t++)
        if (alphabets[t] != nullptr && capscomp(alphabets[t]->name, name) == 0) target = alphabets[t];
    } else {
      for (int i = 0; i < NUM_BUILTIN_ALPHABETS && target == nullptr; i++)
        if (capscomp(alphabet_table[i].name, name) == 0) target = &alphabet_table[i];
    }
    if (target != nullptr) read_block(stream, filename, name, target);
  }
}

}  // namespace qor
