// Alphabet background files: blocks that replace regularizer weights, and every message of a
// faulty block. Each case runs with LF and CRLF line ends and without the final newline.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "alphabet/alphabet.h"
#include "alphabet/alphabet_test_support.h"

namespace {

using alphatest::AlphabetState;

qor::Alphabet *builtin(const char *name) {
  for (int i = 0; i < qor::NUM_BUILTIN_ALPHABETS; i++)
    if (strcmp(qor::alphabet_table[i].name, name) == 0) return &qor::alphabet_table[i];
  return nullptr;
}

// Processes content as the background file "bg"; returns what it wrote to standard error.
std::string process(const std::string &content) {
  alphatest::TempDir dir;
  std::string path = dir.write("bg", content);
  FILE *f = fopen(path.c_str(), "r");
  EXPECT_NE(f, nullptr);
  std::string err = alphatest::stderr_of([&] { qor::process_alphabet_backfile(f, "bg"); });
  fclose(f);
  return err;
}

// The three spellings of one file: as written (LF), CRLF, and without the final newline.
std::vector<std::string> variants(const std::string &lf) {
  std::vector<std::string> v = {lf, alphatest::crlf(lf)};
  if (!lf.empty() && lf.back() == '\n') v.push_back(lf.substr(0, lf.size() - 1));
  return v;
}

std::vector<float> weights(const qor::Alphabet *a, int n) {
  std::vector<float> w;
  for (int i = 0; i < n; i++) {
    EXPECT_EQ(a->insert_regularizer[i], a->match_regularizer[i]) << a->name << " " << i;
    w.push_back(a->match_regularizer[i]);
  }
  return w;
}

// DNA letters in index order: A G C T.
TEST(Backfile, BlocksForDNA) {
  struct Case {
    const char *what;
    std::string file;
    std::string messages;
    std::vector<float> weights;  // A G C T afterwards
  } cases[] = {
      {"order T C A G",
       "Alphabet DNA\nOrder T C A G\nProbs 0.3 0.2 0.3 0.2\n",
       "bg(DNA): Replacing background with Probs from file.\n",
       {0.3f, 0.2f, 0.2f, 0.3f}},
      {"'=' separators, any case, text between blocks",
       "% background\n\nalphabet = dna extra words\norder = g\tc a t\nPROBS = 0.4 0.3 0.2 0.1\n",
       "bg(dna): Replacing background with Probs from file.\n",
       {0.2f, 0.4f, 0.3f, 0.1f}},
      {"a letter read through a conversion",
       "Alphabet DNA\nOrder U C A G\nProbs 0.3 0.2 0.3 0.2\n",
       "bg(DNA): Replacing background with Probs from file.\n",
       {0.3f, 0.2f, 0.2f, 0.3f}},
      {"three numbers",
       "Alphabet DNA\nOrder T C A G\nProbs 0.1 0.2 0.3\n",
       "bg(DNA): Missing Probs (4 expected); only some Probs changed.\n",
       {0.3f, 0.25f, 0.2f, 0.1f}},
      {"five numbers: the fifth has no letter",
       "Alphabet DNA\nOrder T C A G\nProbs 0.1 0.2 0.3 0.4 0.5\n",
       "bg(DNA): Missing Probs (4 expected); only some Probs changed.\n",
       {0.3f, 0.4f, 0.2f, 0.1f}},
      {"a word that is no number",
       "Alphabet DNA\nOrder A G C T\nProbs 0.1 abc 0.3 0.4x\n",
       "bg(DNA): Probs value abc is not a number; read as 0.\n"
       "bg(DNA): Probs value 0.4x is not a number; read as 0.4.\n"
       "bg(DNA): Replacing background with Probs from file.\n",
       {0.1f, 0.0f, 0.3f, 0.4f}},
      {"wildcard in Order",
       "Alphabet DNA\nOrder T C A N\nProbs 0.3 0.2 0.3 0.2\n",
       "bg(DNA): Order character N is not an existing base character.\n"
       "bg(DNA): The characters are AGCT (do not include wildcards like RYN)\n"
       "bg(DNA): No Order character maps to character G.\n"
       "bg(DNA): Skipping probability assignments.\n",
       {0.25f, 0.25f, 0.25f, 0.25f}},
      {"unknown character in Order",
       "Alphabet DNA\nOrder T C A ?\nProbs 0.3 0.2 0.3 0.2\n",
       "bg(DNA): Order character ? is not an existing base character.\n"
       "bg(DNA): The characters are AGCT (do not include wildcards like RYN)\n"
       "bg(DNA): No Order character maps to character G.\n"
       "bg(DNA): Skipping probability assignments.\n",
       {0.25f, 0.25f, 0.25f, 0.25f}},
      {"a letter twice, one missing",
       "Alphabet DNA\nOrder T C A A\nProbs 0.3 0.2 0.3 0.2\n",
       "bg(DNA): 2 Order characters map to single character A.\n"
       "bg(DNA): No Order character maps to character G.\n"
       "bg(DNA): Skipping probability assignments.\n",
       {0.25f, 0.25f, 0.25f, 0.25f}},
      {"a word of several characters",
       "Alphabet DNA\nOrder TT C A G\nProbs 0.3 0.2 0.3 0.2\n",
       "bg(DNA): Order must be composed of single characters.\n"
       "bg(DNA): Skipping probability assignments.\n",
       {0.25f, 0.25f, 0.25f, 0.25f}},
      {"too few Order characters",
       "Alphabet DNA\nOrder T C A\nProbs 0.3 0.2 0.3 0.2\n",
       "bg(DNA): 3 characters in Order; but alphabet length is 4.\n"
       "bg(DNA): Skipping probability assignments.\n",
       {0.25f, 0.25f, 0.25f, 0.25f}},
      {"too many Order characters",
       "Alphabet DNA\nOrder T C A G A\nProbs 0.3 0.2 0.3 0.2\n",
       "bg(DNA): 5 characters in Order; but alphabet length is 4.\n"
       "bg(DNA): Skipping probability assignments.\n",
       {0.25f, 0.25f, 0.25f, 0.25f}},
      {"no Order line",
       "Alphabet DNA\nProbs 0.3 0.2 0.3 0.2\n",
       "bg(DNA): Order required after Alphabet.\nbg(DNA): Skipping probability assignments.\n",
       {0.25f, 0.25f, 0.25f, 0.25f}},
      {"the file ends after the Alphabet line",
       "Alphabet DNA\n",
       "bg(DNA): Order required after Alphabet.\nbg(DNA): Skipping probability assignments.\n",
       {0.25f, 0.25f, 0.25f, 0.25f}},
      {"no Probs line",
       "Alphabet DNA\nOrder T C A G\n# no probabilities\n",
       "bg(DNA): Probs required after Alphabet.\nbg(DNA): Skipping probability assignments.\n",
       {0.25f, 0.25f, 0.25f, 0.25f}},
      {"a block for an alphabet not installed",
       "Alphabet protein\nOrder A\nProbs 1\n",
       "",
       {0.25f, 0.25f, 0.25f, 0.25f}},
      {"not an Alphabet line",
       "Alphabets DNA\nOrder T C A G\nProbs 0.3 0.2 0.3 0.2\n",
       "",
       {0.25f, 0.25f, 0.25f, 0.25f}},
      {"an Alphabet line that does not start the line",
       " Alphabet DNA\nOrder T C A G\nProbs 0.3 0.2 0.3 0.2\n",
       "",
       {0.25f, 0.25f, 0.25f, 0.25f}},
      {"two blocks, the second one wins",
       "Alphabet DNA\nOrder T C A G\nProbs 0.3 0.2 0.3 0.2\n\nAlphabet DNA\n"
       "Order A G C T\nProbs 0.1 0.1 0.1\n",
       "bg(DNA): Replacing background with Probs from file.\n"
       "bg(DNA): Missing Probs (4 expected); only some Probs changed.\n",
       {0.1f, 0.1f, 0.1f, 0.3f}},
  };
  for (const Case &c : cases) {
    for (const std::string &file : variants(c.file)) {
      AlphabetState state;
      qor::init_alphabet_by_name("DNA", 0, "here");
      SCOPED_TRACE(std::string(c.what) + (file.find('\r') != std::string::npos ? " (CRLF)" : "") +
                   (file.back() != '\n' ? " (no final newline)" : ""));
      EXPECT_EQ(process(file), c.messages);
      EXPECT_EQ(weights(builtin("DNA"), 4), c.weights);
    }
  }
}

TEST(Backfile, OnlyInstalledAlphabetsAreCandidates) {
  AlphabetState state;
  qor::process_alphabet("alphabet DNA EHL", -1, "here");
  const std::string file =
      "Alphabet EHL\nOrder C H E\nProbs 0.5 0.3 0.2\nAlphabet RNA\nOrder U C A G\nProbs 0.1 0.2 0.3 0.4\n";
  EXPECT_EQ(process(file), "bg(EHL): Replacing background with Probs from file.\n");
  EXPECT_EQ(weights(builtin("EHL"), 3), (std::vector<float>{0.2f, 0.3f, 0.5f}));
  EXPECT_EQ(weights(builtin("RNA"), 4), (std::vector<float>{0.25f, 0.25f, 0.25f, 0.25f}));
}

TEST(Backfile, WithoutAlphabetsTheBuiltinsChange) {
  AlphabetState state;
  ASSERT_EQ(qor::num_alphabets, 0);
  const std::string file =
      "Alphabet protein\nOrder Y W V T S R Q P N M L K I H G F E D C A\n"
      "Probs 0.20 0.19 0.18 0.17 0.16 0.15 0.14 0.13 0.12 0.11 0.10 0.09 0.08 0.07 0.06 0.05 0.04 0.03 0.02 "
      "0.01\n";
  EXPECT_EQ(process(file), "bg(protein): Replacing background with Probs from file.\n");
  qor::init_alphabet_by_name("protein", 0, "here");
  // Letters in index order: A C D E F G H I K L M N P Q R S T V W Y.
  EXPECT_EQ(weights(qor::alphabet, 20),
            (std::vector<float>{0.01f, 0.02f, 0.03f, 0.04f, 0.05f, 0.06f, 0.07f, 0.08f, 0.09f, 0.10f,
                                0.11f, 0.12f, 0.13f, 0.14f, 0.15f, 0.16f, 0.17f, 0.18f, 0.19f, 0.20f}));
}

TEST(Backfile, NumericAlphabetsTakeProbsDirectly) {
  AlphabetState state;
  qor::init_alphabet_by_def("num", "5", 0, "here");
  EXPECT_EQ(process("Alphabet num\nProbs 0.1 0.2 0.3 0.4\n"),
            "bg(num): Replacing background with Probs from file.\n");
  EXPECT_EQ(weights(qor::alphabet, 5), (std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f, 0.0f}));
  EXPECT_EQ(process("Alphabet num\nOrder 1 2 3 4\nProbs 0.1\n"),
            "bg(num): Probs required after Alphabet.\nbg(num): Skipping probability assignments.\n");
}

TEST(Backfile, CodonProbsFollowTheOrderOfTheBases) {
  AlphabetState state;
  qor::init_alphabet_by_name("CODON", 0, "here");
  // With the bases in the order T C G A, number i belongs to the codon whose bases are the Order
  // characters at (i/16)%4, (i/4)%4 and i%4; the 65th number wraps round to the first codon.
  std::string probs = "Probs";
  for (int i = 0; i < 65; i++) probs += " " + std::to_string(i + 1);
  EXPECT_EQ(process("Alphabet CODON\nOrder T C G A\n" + probs + "\n"),
            "bg(CODON): Missing Probs (64 expected); only some Probs changed.\n");
  struct {
    const char *codon;  // in AGCT letters
    float value;
  } cases[] = {{"TTT", 65.0f}, {"TTC", 2.0f}, {"TCT", 5.0f}, {"CTT", 17.0f}, {"AAA", 64.0f}, {"GAT", 45.0f}};
  for (const auto &c : cases) {
    int index = 0;
    for (int k = 0; k < 3; k++) index = 4 * index + static_cast<int>(strchr("AGCT", c.codon[k]) - "AGCT");
    EXPECT_EQ(qor::alphabet->match_regularizer[index], c.value) << c.codon;
    EXPECT_EQ(qor::alphabet->insert_regularizer[index], c.value) << c.codon;
  }
}

TEST(Backfile, WildcardWithoutLetterAndLongLines) {
  AlphabetState state;
  qor::init_alphabet_by_name("RELSA2", 0, "here");
  EXPECT_EQ(process("Alphabet RELSA2\nOrder B X\nProbs 0.5 0.5\n"),
            "bg(RELSA2): Order character X is not an existing base character.\n"
            "bg(RELSA2): The characters are BE (do not include wildcards like )\n"
            "bg(RELSA2): No Order character maps to character E.\n"
            "bg(RELSA2): Skipping probability assignments.\n");
  // A Probs line longer than a line buffer: the blanks after the numbers are further pieces that
  // start with a blank and are skipped.
  EXPECT_EQ(process("Alphabet RELSA2\nOrder E B\nProbs 0.7 0.3" + std::string(2500, ' ') + "\nAlphabet x\n"),
            "bg(RELSA2): Replacing background with Probs from file.\n");
  EXPECT_EQ(weights(qor::alphabet, 3), (std::vector<float>{0.3f, 0.7f, 0.0f}));
  // An over-long name matches nothing; an Order line with far more characters than letters is
  // counted, not stored.
  std::string many;
  for (int i = 0; i < 480; i++) many += " B";
  EXPECT_EQ(
      process("Alphabet " + std::string(3000, 'R') + "\nAlphabet RELSA2\nOrder" + many + "\nProbs 1 1\n"),
      "bg(RELSA2): 480 characters in Order; but alphabet length is 2.\n"
      "bg(RELSA2): Skipping probability assignments.\n");
}

}  // namespace
