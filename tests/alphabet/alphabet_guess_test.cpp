// Sequence-type guesses: FASTA streams (with the NBRF line-number hint) and single sequences.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "alphabet/alphabet.h"

namespace {

struct StreamGuess {
  int type;
  int format;
};

// The guess for a FASTA text that starts with its first '>'; format starts as 8.
StreamGuess guess_stream(const std::string &text) {
  FILE *f = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
  EXPECT_NE(f, nullptr);
  EXPECT_EQ(getc(f), '>');
  StreamGuess g{-1, 8};
  qor::fasta_alphabet(f, &g.type, &g.format);
  fclose(f);
  return g;
}

TEST(FastaAlphabet, TypeAndFormatGuesses) {
  struct Case {
    const char *what;
    std::string text;
    int type, format;
  } cases[] = {
      {"DNA", ">s1 desc\nACGTACGT\nTTGA\n", 1, 8},
      {"RNA", ">s1\nACGUACGU\n", 2, 8},
      {"lower-case RNA", ">s1\nacguu\n", 2, 8},
      {"nucleic: no T, no U", ">s1\nACGACG\n", 3, 8},
      {"equal T and U", ">s1\nACGTU\n", 3, 8},
      {"DNA ambiguity codes also protein letters", ">s1\nRYRY\n", 3, 8},
      {"protein", ">s1\nMKVLAAGIVL\n", 4, 8},
      {"B and Z are protein letters", ">s1\nBZBZ\n", 4, 8},
      {"only wildcards and unknown letters", ">s1\nXXJOxjo\n", 0, 8},
      {"no letters, line numbers", ">s1\n1234 5678\n", 0, 3},
      {"no sequence", ">s1\n", 0, 8},
      {"header only, no newline", ">s1", 0, 8},
      {"NBRF line numbers", ">s1\n1 ACGTACGT\n9 ACGT\n", 1, 3},
      {"NBRF numbers in the second entry", ">s1\nACGT\n>s2\n  10 ACGU\n", 3, 3},
      {"trailing numbers are no line numbers", ">s1\n1 ACGT 8\n", 1, 8},
      {"trailing numbers on another line", ">s1\n1 ACGT\nACGT 5\n", 1, 8},
      {"every entry counts", ">s1\nAC\n>s2\nUUUUU\n", 2, 8},
      {"a '>' after a blank ends the guess", ">s1\nAC\n >s2\nUUUUU\n", 3, 8},
      {"a '>' inside a line ends the guess", ">s1\nAC>s2\nUUUUU\n", 3, 8},
      {"CRLF line ends", ">s1\r\nACGT\r\n>s2\r\nTTTT\r\n", 1, 8},
      {"CRLF NBRF line numbers", ">s1\r\n1 ACGT\r\n", 1, 3},
      {"no final newline", ">s1\nACGU", 2, 8},
      {"bytes above 127 are ignored",
       ">s1\n\xC8\xC9\xFF"
       "ACGT\x80\n",
       1, 8},
      {"NUL bytes are ignored", std::string(">s1\nAC\0GT\n", 11), 1, 8},
  };
  for (const Case &c : cases) {
    StreamGuess g = guess_stream(c.text);
    EXPECT_EQ(g.type, c.type) << c.what;
    EXPECT_EQ(g.format, c.format) << c.what;
  }
}

TEST(FastaAlphabet, StopsAfterThreeHundredLetters) {
  // 300 DNA letters, then many more protein-only letters that must not be looked at.
  std::string dna(300, 'T');
  std::string protein(2000, 'L');
  EXPECT_EQ(guess_stream(">s1\n" + dna + "\n" + protein + "\n").type, 1);
  EXPECT_EQ(guess_stream(">s1\n" + dna.substr(1) + "\n" + protein + "\n").type, 4);
  // The limit holds across entries too.
  EXPECT_EQ(guess_stream(">s1\n" + dna + "\n>s2\n" + protein + "\n").type, 1);
}

TEST(GetSeqType, ClassesOfTheFirstThreeHundredCharacters) {
  struct Case {
    std::string text;
    int n;  // -1: the whole text
    int type;
  } cases[] = {
      {"ACGTACGT", -1, 1},
      {"ACGUACGU", -1, 2},
      {"acgu", -1, 2},
      {"ACGTU", -1, 1},  // U does not outnumber T
      {"ACGTN", -1, 3},  // N is an amino-acid code: more nucleotides than others
      {"ACNNN", -1, 4},
      {"ACGT*", -1, 3},  // '*' counts as an amino-acid code before it is a symbol
      {"MKVL", -1, 4},
      {"ACGTE", -1, 4},  // E is protein-only
      {"efipqz", -1, 4},
      {"ACGTJ", -1, 0},  // J is no code at all
      {"OOOO", -1, 0},   // O is skipped
      {"ACGTO", -1, 1},
      {"--..??__", -1, 0},
      {"ac-gt.ac", -1, 1},
      {"1234 ACGT\n", -1, 1},
      {"", -1, 0},
      {std::string("AC\0GT", 5), 5, 1},
      {"ACGT\xC5\xE9", -1, 1},
      {"ACGTE", 4, 1},  // only the first n characters
      {std::string(300, 'A') + "E", -1, 1},
      {std::string(299, 'A') + "E", -1, 4},
  };
  for (const Case &c : cases) {
    int n = c.n >= 0 ? c.n : static_cast<int>(c.text.size());
    EXPECT_EQ(qor::getseqtype(c.text.c_str(), n), c.type) << c.text.substr(0, 20) << " n=" << n;
  }
  EXPECT_EQ(qor::getseqtype(nullptr, 10), 0);
}

}  // namespace
