// Posterior-annotated and trimmed alignments: posterior digits and their scale, the annotation of
// the posterior rows, trimming of uncertain match letters, dot padding of rows by their text, and
// the fatal paths.
#include <cmath>
#include <string>
#include <vector>

#include "seqtest.h"

namespace {

using namespace qor;
using seqtest::indices;
using seqtest::make_seq;
using seqtest::written;

constexpr int P = seqtest::PROTEIN_TRACK;

// One aligned sequence with a path record per letter: posterior probability (0 for an insert
// letter, whose record is not read for a digit) and match flag, in letter order.
struct Letter {
  double posterior;
  int match;
};

Sequence *aligned(const char *id, const char *annotation, const std::string &letters,
                  const std::vector<unsigned char> &code, const std::vector<Letter> &path) {
  Sequence *s = make_seq(id, annotation, P, indices(P, letters), code);
  s->path = static_cast<PathRecord *>(mem_alloc(static_cast<int>((path.size() + 4) * sizeof(PathRecord))));
  for (size_t j = 0; j < path.size(); j++)
    s->path[j] = PathRecord{path[j].posterior > 0 ? static_cast<float>(log(path[j].posterior)) : -20.0f,
                            static_cast<int32_t>(j + 1), path[j].match};
  return s;
}

SequenceTable *table_of(std::vector<Sequence *> seqs) {
  SequenceTable *t = alloc_sequence_table();
  for (Sequence *s : seqs) add_seq_to_table(t, s);
  return t;
}

const char *const kUnscaled = " Alignment posteriors -ln(P)";

// Ac-DE: A 0.9, the insert c, a delete, D 0.2, E 0.95.
Sequence *acde(const char *annotation = "a b") {
  return aligned("s1", annotation, "ACDE", {101, 1, 201, 102}, {{0.9, 1}, {0, 0}, {0.2, 1}, {0.95, 1}});
}

TEST(PrintSeqPathAlignment, PosteriorDigitsAndTheirScale) {
  struct Case {
    const char *what;
    double scale;
    std::vector<double> posteriors;
    const char *annotation;
    const char *digits;
  } cases[] = {
      {"posteriors 0.5, 0.1 and 0.0001 at scale 1", 1.0, {0.5, 0.1, 0.0001}, kUnscaled, "029"},
      {"the same at scale 2",
       2.0,
       {0.5, 0.1, 0.0001},
       " Alignment posteriors  -ln(P)* 2.00  (ppscale)",
       "149"},
      {"scale 10, truncated toward zero",
       10.0,
       {0.99, 0.95, 0.5},
       " Alignment posteriors  -ln(P)*10.00  (ppscale)",
       "006"},
      {"scale 0.5", 0.5, {0.5, 0.1, 0.0001}, " Alignment posteriors  -ln(P)* 0.50  (ppscale)", "014"},
      {"a log posterior above 0 writes 0", 1.0, {1.0, 7.4, 1.0}, kUnscaled, "000"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Letter> path;
    for (double p : c.posteriors) path.push_back({p, 1});
    SequenceTable *t = table_of({aligned("s1", nullptr, "KLM", {103}, path)});
    for (int dots : {0, 1})
      EXPECT_EQ(written([&](FILE *f) { print_seqpathalignment(f, t, dots, P, c.scale); }),
                std::string(">s1\nKLM\n>s1") + c.annotation + "\n" + c.digits + "\n");
    free_sequence_table(t);
  }
}

TEST(PrintSeqPathAlignment, RowOfInsertsDeletesAndMatches) {
  SequenceTable *t = table_of({acde()});
  EXPECT_EQ(written([&](FILE *f) { print_seqpathalignment(f, t, 0, P, 1.0); }),
            std::string(">s1 a b\nAc-DE\n>s1") + kUnscaled + "\n0c-10\n");
  free_sequence_table(t);
}

// With dots every row of the file has one length: Ac-DE and Kvw-DE pad to Ac.-DE and Kvw-DE, and
// each posterior row is padded where its own text is.
TEST(PrintSeqPathAlignment, DotsGiveRowsOfEqualLength) {
  SequenceTable *t = table_of({acde(nullptr), aligned("s2", nullptr, "KVWDE", {101, 2, 201, 102},
                                                      {{0.01, 1}, {0, 0}, {0, 0}, {0.5, 1}, {0.36, 1}})});
  const std::string head = std::string(">s1\nAc.-DE\n>s1") + kUnscaled + "\n0c.-10\n";
  EXPECT_EQ(written([&](FILE *f) { print_seqpathalignment(f, t, 1, P, 1.0); }),
            head + ">s2\nKvw-DE\n>s2" + kUnscaled + "\n4vw-01\n");
  EXPECT_EQ(
      written([&](FILE *f) { print_seqpathalignment(f, t, 0, P, 1.0); }),
      std::string(">s1\nAc-DE\n>s1") + kUnscaled + "\n0c-10\n>s2\nKvw-DE\n>s2" + kUnscaled + "\n4vw-01\n");
  free_sequence_table(t);
}

TEST(PrintTrimAlignment, UncertainMatchLettersBecomeInsertsBesideADelete) {
  struct Case {
    const char *what;
    double threshold;
    const char *text;
  } cases[] = {
      {"threshold 1: D (-ln P 1.61) is trimmed", 1.0, "Ac-d-E"},
      {"threshold 0.1: A (0.105) and D", 0.1, "a-c-d-E"},
      {"threshold 2: nothing", 2.0, "Ac-DE"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    SequenceTable *t = table_of({acde()});
    EXPECT_EQ(written([&](FILE *f) { print_trimalignment(f, t, 0, P, c.threshold); }),
              std::string(">s1 a b\n") + c.text + "\n");
    free_sequence_table(t);
  }
}

// The trimmed texts keep the column count, so dots pad them to one length by their own table.
TEST(PrintTrimAlignment, DotsPadTheTrimmedTexts) {
  SequenceTable *t = table_of(
      {acde(nullptr), aligned("s2", nullptr, "KLMN", {104}, {{0.9, 1}, {0.9, 1}, {0.9, 1}, {0.9, 1}})});
  EXPECT_EQ(written([&](FILE *f) { print_trimalignment(f, t, 1, P, 1.0); }), ">s1\nAc-d-E\n>s2\nK.L.MN\n");
  EXPECT_EQ(written([&](FILE *f) { print_trimalignment(f, t, 0, P, 1.0); }), ">s1\nAc-d-E\n>s2\nKLMN\n");
  free_sequence_table(t);
}

TEST(AddDotsBySecondSeq, PadsTheRowWhereTheTextIsPadded) {
  // Control of Ac-DE and Kvw-DE: two inserts before column 1.
  int *control = nullptr;
  add_control("Ac-DE", &control);
  add_control("Kvw-DE", &control);
  char *row = add_dots_by_second_seq(seqtest::copy_text("0c-10"), "Ac-DE", 6, control);
  EXPECT_STREQ(row, "0c.-10");
  free(row);
  row = add_dots_by_second_seq(seqtest::copy_text("4vw-01"), "Kvw-DE", 6, control);
  EXPECT_STREQ(row, "4vw-01");
  free(row);
  control[0] = -1;  // texts of different column counts: everything empty
  row = add_dots_by_second_seq(seqtest::copy_text("0c-10"), "Ac-DE", 6, control);
  EXPECT_STREQ(row, "");
  free(row);
  free(control);
}

TEST(PathWriters, EmptyTablesWriteNothing) {
  SequenceTable *empty = alloc_sequence_table();
  print_seqpathalignment(nullptr, empty, 1, P, 1.0);
  print_trimalignment(nullptr, empty, 1, P, 1.0);
  print_seqpathalignment(nullptr, nullptr, 1, P, 1.0);
  print_trimalignment(nullptr, nullptr, 1, P, 1.0);
  free_sequence_table(empty);
}

TEST(PathWriters, FatalPaths) {
  EXPECT_EXIT(print_seqpathalignment(nullptr, table_of({acde()}), 1, P, 1.0), testing::ExitedWithCode(1),
              "^Error: print_seqalignment with null file\n\n$");
  EXPECT_EXIT(print_trimalignment(nullptr, table_of({acde()}), 1, P, 1.0), testing::ExitedWithCode(1),
              "^Error: print_trimalignment with null file\n\n$");
  EXPECT_EXIT(
      {
        SequenceTable *t = table_of({make_seq("n", nullptr, seqtest::NUM10_TRACK, {1, 2}, {102})});
        t->items[0]->path = static_cast<PathRecord *>(mem_alloc(4 * sizeof(PathRecord)));
        print_trimalignment(stdout, t, 1, seqtest::NUM10_TRACK, 1.0);
      },
      testing::ExitedWithCode(1), "^Error: print_trimalignment cannot be used with numberic sequences\n\n$");
  EXPECT_EXIT(
      {
        SequenceTable *t = table_of({make_seq("nopath", nullptr, P, indices(P, "AC"), {102})});
        print_seqpathalignment(stdout, t, 1, P, 1.0);
      },
      testing::ExitedWithCode(1),
      "^Error: print_seqpathalignment: sequence nopath has no path posteriors\n$");
  EXPECT_EXIT(
      {
        SequenceTable *t = table_of({make_seq("nopath", nullptr, P, indices(P, "AC"), {102})});
        print_trimalignment(stdout, t, 0, P, 1.0);
      },
      testing::ExitedWithCode(1), "^Error: print_trimalignment: sequence nopath has no path posteriors\n$");
}

}  // namespace
