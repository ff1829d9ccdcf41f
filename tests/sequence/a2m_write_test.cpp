// A2M output: records, alignment texts from alignment codes, dot padding through the column
// control table, plain sequences, and numeric records.
#include <string>
#include <vector>

#include "seqtest.h"

namespace {

using namespace qor;
using seqtest::indices;
using seqtest::make_seq;
using seqtest::written;

constexpr int P = seqtest::PROTEIN_TRACK;

std::string text_of(const Sequence *s, int track, int numeric = 0) {
  char *t = str_w_deletions(s, 0, track, numeric);
  std::string r = t;
  free(t);
  return r;
}

TEST(PrintString, HeaderAndFiftyColumnLines) {
  std::string t120;
  for (int i = 0; i < 120; i++) t120 += static_cast<char>('A' + i % 26);
  EXPECT_EQ(written([&](FILE *f) { print_string(f, t120.c_str(), "s1", nullptr); }),
            ">s1\n" + t120.substr(0, 50) + "\n" + t120.substr(50, 50) + "\n" + t120.substr(100) + "\n");
  EXPECT_EQ(written([&](FILE *f) { print_string(f, t120.substr(0, 50).c_str(), "s1", "a b"); }),
            ">s1 a b\n" + t120.substr(0, 50) + "\n");
  EXPECT_EQ(written([](FILE *f) { print_string(f, "", "s1", "a b"); }), ">s1 a b\n");
}

TEST(StrWDeletions, AlignmentCodes) {
  struct Case {
    std::string letters;
    std::vector<unsigned char> code;
    std::string text;
    std::string numeric;
  } cases[] = {
      {"ACDE", {101, 1, 201, 102}, "Ac-DE", "Xx-XX"},
      {"ACDEF", {102, 201, 3}, "AC-def", "XX-xxx"},  // inserts at node 3 after the last column
      {"MK", {203, 1, 101, 255}, "---mK" + std::string(55, '-'), "---xX" + std::string(55, '-')},
      {"", {}, "", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    Sequence *s = make_seq("s", nullptr, P, indices(P, c.letters), c.code);
    EXPECT_EQ(text_of(s, P), c.text);
    EXPECT_EQ(text_of(s, P, 1), c.numeric);
    free_sequence(s);
  }
  // Runs of the full code ranges (100 inserts, 100 matches), and a text that outgrows the buffer.
  std::string many(300, 'W');
  std::vector<unsigned char> code = {100, 100, 200};
  for (int i = 0; i < 100; i++) code.push_back(255);
  Sequence *s = make_seq("s", nullptr, P, indices(P, many), code);
  EXPECT_EQ(text_of(s, P), std::string(200, 'w') + std::string(100, 'W') + std::string(5500, '-'));
  free_sequence(s);
}

TEST(StrWDeletions, CodeBeyondTheLettersIsFatal) {
  EXPECT_EXIT(
      {
        Sequence *s = make_seq("short", nullptr, P, indices(P, "AC"), {103});
        str_w_deletions(s, 0, P, 0);
      },
      testing::ExitedWithCode(1),
      "^Error: str_w_deletions: the alignment of short uses more letters than its length 2\n");
}

TEST(PrintAlignment, AcDERecord) {
  Sequence *s = make_seq("s1", "a b", P, indices(P, "ACDE"), {101, 1, 201, 102});
  EXPECT_EQ(written([&](FILE *f) { print_alignment(f, s, P); }), ">s1 a b\nAc-DE\n");
  free_sequence(s);
}

TEST(ColumnControl, DotsExample) {
  char *ac = strdup("Ac-DE");
  char *kvw = strdup("Kvw-DE");
  int *control = nullptr;
  add_control(ac, &control);
  add_control(kvw, &control);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(std::vector<int>(control, control + 6), (std::vector<int>{0, 2, 0, 0, 0, -1}));
  char *pa = add_dots(ac, 10, control);
  char *pk = add_dots(kvw, 10, control);
  EXPECT_STREQ(pa, "Ac.-DE");
  EXPECT_STREQ(pk, "Kvw-DE");
  free(pa);
  free(pk);
  free(control);
}

TEST(ColumnControl, InsertsAtBothEndsAndEmptyTexts) {
  int *control = nullptr;
  for (const char *t : {"abX-", "X-c", "cdX-efg"}) add_control(t, &control);
  EXPECT_EQ(std::vector<int>(control, control + 4), (std::vector<int>{2, 0, 3, -1}));
  const char *padded[] = {"abX-...", "..X-c..", "cdX-efg"};
  int i = 0;
  for (const char *t : {"abX-", "X-c", "cdX-efg"}) {
    char *p = add_dots(strdup(t), 8, control);
    EXPECT_STREQ(p, padded[i++]);
    free(p);
  }
  free(control);

  control = nullptr;
  add_control("", &control);
  add_control("ab", &control);
  EXPECT_EQ(std::vector<int>(control, control + 2), (std::vector<int>{2, -1}));
  char *p = add_dots(strdup(""), 3, control);
  EXPECT_STREQ(p, "..");
  free(p);
  free(control);
}

TEST(ColumnControl, DifferentColumnCountsEmptyEveryText) {
  int *control = nullptr;
  std::string messages = seqtest::capture(stderr, [&] {
    add_control("ACD", &control);
    add_control("ACDE", &control);  // more columns than the first text has room for
    add_control("AC", &control);
    add_control("ACD", &control);  // matches again, but the table stays failed
  });
  EXPECT_EQ(messages,
            "sequence:add_control(): Not all alignments of same length\n"
            "sequence:add_control(): Not all alignments of same length\n");
  EXPECT_EQ(control[0], -1);
  char *p = add_dots(strdup("ACD"), 4, control);
  EXPECT_STREQ(p, "");
  free(p);
  free(control);
}

SequenceTable *aligned_table(const std::vector<std::pair<std::string, std::vector<unsigned char>>> &rows) {
  SequenceTable *t = alloc_sequence_table();
  int i = 0;
  for (const auto &r : rows) {
    std::string id = "r" + std::to_string(++i);
    add_seq_to_table(t, make_seq(id.c_str(), i == 2 ? "second" : nullptr, P, indices(P, r.first), r.second));
  }
  return t;
}

TEST(PrintSeqAlignment, WithAndWithoutDots) {
  SequenceTable *t = aligned_table({{"ACDE", {101, 1, 201, 102}}, {"KVWDE", {101, 2, 201, 102}}});
  EXPECT_EQ(written([&](FILE *f) { print_seqalignment(f, t, 0, P); }), ">r1\nAc-DE\n>r2 second\nKvw-DE\n");
  EXPECT_EQ(written([&](FILE *f) { print_seqalignment(f, t, 1, P); }), ">r1\nAc.-DE\n>r2 second\nKvw-DE\n");
  free_sequence_table(t);

  // Padded rows longer than a line are cut at 50 like any text.
  std::string a(60, 'A');
  SequenceTable *wide = aligned_table({{a, {160}}, {"C" + a, {1, 160}}});
  std::string row1 = "." + a;
  std::string row2 = "c" + a;
  EXPECT_EQ(written([&](FILE *f) { print_seqalignment(f, wide, 1, P); }),
            ">r1\n" + row1.substr(0, 50) + "\n" + row1.substr(50) + "\n>r2 second\n" + row2.substr(0, 50) +
                "\n" + row2.substr(50) + "\n");
  free_sequence_table(wide);
}

TEST(PrintSeqAlignment, DifferentColumnCountsWriteHeadersOnly) {
  SequenceTable *t = aligned_table({{"ACDE", {101, 1, 201, 102}}, {"ACDEF", {105}}});
  std::string out;
  std::string messages =
      seqtest::capture(stderr, [&] { out = written([&](FILE *f) { print_seqalignment(f, t, 1, P); }); });
  EXPECT_EQ(messages, "sequence:add_control(): Not all alignments of same length\n");
  EXPECT_EQ(out, ">r1\n>r2 second\n");
  free_sequence_table(t);
}

TEST(PrintSeqAlignment, EmptyTableAndNullStream) {
  SequenceTable *empty = alloc_sequence_table();
  print_seqalignment(nullptr, empty, 0, P);  // nothing for an empty table
  print_seqalignment(nullptr, nullptr, 1, P);
  free_sequence_table(empty);
  EXPECT_EXIT(
      {
        SequenceTable *t = aligned_table({{"A", {101}}});
        print_seqalignment(nullptr, t, 0, P);
      },
      testing::ExitedWithCode(1), "^Error: print_seqalignment with null file\n\n$");
}

TEST(WildcardLetter, AlphabetWithoutWildcardCharacterWritesX) {
  // CB_BURIAL_12_7 has the letters ABCDEFG and the wildcard index 7 without a character.
  constexpr int B = seqtest::BURIAL_TRACK;
  Alphabet *burial = alphabets[B];
  EXPECT_EQ(alphabet_letter(burial, 7), 'X');
  EXPECT_EQ(alphabet_letter(burial, 6), 'G');
  EXPECT_EQ(burial->translate['X'], 7);  // and X reads back as the wildcard
  EXPECT_EQ(burial->translate['x'], 7);
  Sequence *s = make_seq("b", nullptr, B, {0, 7, 7, 6}, {101, 1, 102});
  EXPECT_EQ(text_of(s, B), "AxXG");
  {
    seqtest::CurrentAlphabet use(B);
    Sequence *plain = make_seq("b", nullptr, 0, {0, 7, 6});
    EXPECT_EQ(written([&](FILE *f) { pretty_print_sequence(f, plain); }), ">b\nAXG\n");
    free_sequence(plain);
  }
  free_sequence(s);
  // Alphabets with a wildcard letter write it.
  EXPECT_EQ(alphabet_letter(alphabets[P], 22), 'X');
  EXPECT_EQ(alphabet_letter(alphabets[seqtest::DNA_TRACK], 6), 'N');
}

TEST(WildcardLetter, XAmongTheLettersPicksAnotherWildcardLetter) {
  Alphabet a = *alphabets[seqtest::BURIAL_TRACK];
  char letters[] = "ABXDEFG";
  a.letters = letters;
  set_trans_table(&a);
  EXPECT_EQ(alphabet_letter(&a, 2), 'X');
  EXPECT_EQ(alphabet_letter(&a, 7), 'C');  // the first letter that reads as the wildcard
  EXPECT_EQ(a.translate['C'], 7);
}

TEST(PrettyPrint, FiftyLettersPerLine) {
  std::string dna(120, 'A');
  for (size_t i = 0; i < dna.size(); i++) dna[i] = "ACGT"[i % 4];
  Sequence *s = make_seq("d", "long one", 0, indices(0, dna));
  EXPECT_EQ(written([&](FILE *f) { pretty_print_sequence(f, s); }),
            ">d long one\n" + dna.substr(0, 50) + "\n" + dna.substr(50, 50) + "\n" + dna.substr(100) + "\n");
  Sequence *empty = make_seq("e", nullptr, 0, {});
  EXPECT_EQ(written([&](FILE *f) { pretty_print_sequence(f, empty); }), ">e\n");

  SequenceTable *t = alloc_sequence_table();
  add_seq_to_table(t, empty);
  add_seq_to_table(t, make_seq("f", nullptr, 0, indices(0, "gattaca")));
  EXPECT_EQ(written([&](FILE *f) { print_sequence_table(f, t); }), ">e\n>f\nGATTACA\n");
  free_sequence_table(t);
  free_sequence(s);

  EXPECT_EXIT(print_sequence_table(nullptr, nullptr), testing::ExitedWithCode(1),
              "^Error: Print_sequence_table called with no file!\n$");
  EXPECT_EXIT(print_sequence_table(stdout, nullptr), testing::ExitedWithCode(1),
              "^Error: Print_sequence_table called with no sequence file!\n$");
}

// ---- Numeric records --------------------------------------------------------------------------

std::vector<unsigned char> counting(int n, int modulo) {
  std::vector<unsigned char> v;
  for (int i = 0; i < n; i++) v.push_back(static_cast<unsigned char>(i % modulo));
  return v;
}

TEST(NumericRecord, OneDigitValuesTenPerLine) {
  constexpr int N = seqtest::NUM10_TRACK;
  Sequence *s = make_seq("n", "ten", N, counting(12, 10));
  EXPECT_EQ(written([&](FILE *f) { print_num_alignment(f, s, nullptr, N); }),
            ">n ten\n 0 1 2 3 4 5 6 7 8 9\n 0 1\n");
  free_sequence(s);
  Sequence *empty = make_seq("e", nullptr, N, {});
  EXPECT_EQ(written([&](FILE *f) { print_num_alignment(f, empty, nullptr, N); }), ">e\n");
  free_sequence(empty);
}

TEST(NumericRecord, TwoDigitValuesFourPerLine) {
  constexpr int N = seqtest::NUM20_TRACK;
  Sequence *s = make_seq("n", nullptr, N, {7, 19, 0, 12, 3});
  EXPECT_EQ(written([&](FILE *f) { print_num_alignment(f, s, nullptr, N); }), ">n\n 07 19 00 12\n 03\n");
  free_sequence(s);
}

TEST(NumericRecord, AlignmentMarks) {
  constexpr int N = seqtest::NUM20_TRACK;
  // Code: a match, two inserts, a delete, two matches, a trailing delete (not written).
  Sequence *s = make_seq("n", nullptr, N, {7, 19, 0, 12, 3}, {101, 2, 201, 102, 201});
  EXPECT_EQ(text_of(s, N, 1), "Xxx-XX-");
  // Per line: a value takes 5 columns, a delete 3; positions go on while the count is below 20.
  EXPECT_EQ(written([&](FILE *f) { print_alignment(f, s, N); }), ">n\n*07.19.00-  *12\n*03\n");
  free_sequence(s);
}

TEST(NumericRecord, DotsInATable) {
  constexpr int N = seqtest::NUM10_TRACK;
  SequenceTable *t = alloc_sequence_table();
  add_seq_to_table(t, make_seq("a", nullptr, N, {1, 2}, {101, 101}));
  add_seq_to_table(t, make_seq("b", nullptr, N, {3, 4, 5}, {101, 1, 101}));
  // Padded texts X.X and XxX: the dot writes a blank mark and a blank digit.
  EXPECT_EQ(written([&](FILE *f) { print_seqalignment(f, t, 1, N); }), ">a\n*1  *2\n>b\n*3.4*5\n");
  free_sequence_table(t);
}

TEST(NumericRecord, CurrentNumericAlphabetInPrettyPrint) {
  seqtest::CurrentAlphabet use(seqtest::NUM10_TRACK);
  // pretty_print_sequence writes track 0 as a numeric record when the current alphabet is numeric.
  Sequence *s = make_seq("p", nullptr, 0, {4, 0, 9});
  EXPECT_EQ(written([&](FILE *f) { pretty_print_sequence(f, s); }), ">p\n 4 0 9\n");
  free_sequence(s);
}

}  // namespace
