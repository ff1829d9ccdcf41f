// Score-list operations: negation (sign bit only), Z-scores as scores, the column1 comparison and
// sorting, and the test whether two lists carry Z-scores.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "scores/scores.h"
#include "sequence/sequence.h"

namespace {

// A table of records with the given column1 values (column2 = 2 * column1 + 1, zscore from zs).
qor::SequenceTable *make_list(const std::vector<float> &c1, const std::vector<double> &zs = {}) {
  qor::SequenceTable *t = qor::alloc_sequence_table();
  for (size_t k = 0; k < c1.size(); k++) {
    qor::Sequence *s = qor::alloc_sequence(0, 1);
    s->id = static_cast<char *>(malloc(32));
    snprintf(s->id, 32, "s%zu", k);
    s->column1 = c1[k];
    s->column2 = 2 * c1[k] + 1;
    if (k < zs.size()) s->zscore = zs[k];
    qor::add_seq_to_table(t, s);
  }
  return t;
}

uint32_t bits_of(float v) {
  uint32_t b;
  memcpy(&b, &v, sizeof b);
  return b;
}

float from_bits(uint32_t b) {
  float v;
  memcpy(&v, &b, sizeof v);
  return v;
}

TEST(NegateScoreList, FlipsOnlyTheSignBitAndTwiceRestores) {
  const std::vector<float> values = {0.0f,
                                     -0.0f,
                                     1.5f,
                                     -3.25f,
                                     FLT_MIN / 4,
                                     FLT_MAX,
                                     HUGE_VALF,
                                     from_bits(0x7fc01234u),
                                     from_bits(0xffa00001u)};
  qor::SequenceTable *t = make_list(values, {0.75});
  std::vector<uint32_t> c1, c2;
  for (int k = 0; k < t->count; k++) {
    c1.push_back(bits_of(t->items[k]->column1));
    c2.push_back(bits_of(t->items[k]->column2));
  }

  qor::negate_score_list(0, t);  // flag 0: nothing changes
  for (int k = 0; k < t->count; k++) EXPECT_EQ(bits_of(t->items[k]->column1), c1[k]) << k;

  qor::negate_score_list(1, t);
  for (int k = 0; k < t->count; k++) {
    EXPECT_EQ(bits_of(t->items[k]->column1), c1[k] ^ 0x80000000u) << k;
    EXPECT_EQ(bits_of(t->items[k]->column2), c2[k] ^ 0x80000000u) << k;
  }
  EXPECT_TRUE(std::signbit(t->items[0]->column1));  // 0.0 becomes -0.0
  EXPECT_EQ(t->items[0]->zscore, 0.75);             // the Z-score is not touched

  qor::negate_score_list(-7, t);  // any non-zero flag
  for (int k = 0; k < t->count; k++) {
    EXPECT_EQ(bits_of(t->items[k]->column1), c1[k]) << k;
    EXPECT_EQ(bits_of(t->items[k]->column2), c2[k]) << k;
  }
  qor::free_sequence_table(t);
}

TEST(CopyZscoreToDist, RoundsToSinglePrecision) {
  qor::SequenceTable *t = make_list({9, 9, 9, 9, 9}, {0.1, -2.5e-7, 1e-300, 1e39, -1e39});
  qor::copy_zscore_to_dist(t);
  EXPECT_EQ(t->items[0]->column1, 0.1f);
  EXPECT_EQ(t->items[1]->column1, static_cast<float>(-2.5e-7));
  EXPECT_EQ(t->items[2]->column1, 0.0f);
  EXPECT_EQ(t->items[3]->column1, HUGE_VALF);
  EXPECT_EQ(t->items[4]->column1, -HUGE_VALF);
  EXPECT_EQ(t->items[0]->column2, 19.0f);  // column2 is kept
  EXPECT_EQ(t->items[0]->zscore, 0.1);
  qor::free_sequence_table(t);
}

TEST(C1Compare, OrderAndNotANumber) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float x, y;
    int expected;
  } cases[] = {{2, 1, 1},    {1, 2, -1},   {-3, -3, 0},   {0.0f, -0.0f, 0},
               {nan, 1, -1}, {1, nan, -1}, {nan, nan, -1}};
  for (const auto &c : cases) {
    qor::SequenceTable *t = make_list({c.x, c.y});
    EXPECT_EQ(qor::c1compare(&t->items[0], &t->items[1]), c.expected) << c.x << " vs " << c.y;
    qor::free_sequence_table(t);
  }
}

std::vector<float> column1s(const qor::SequenceTable *t) {
  std::vector<float> v;
  for (int k = 0; k < t->count; k++) v.push_back(t->items[k]->column1);
  return v;
}

TEST(SortScoreList, AscendingByColumn1) {
  qor::SequenceTable *t = make_list({3, -1, 2});
  qor::sort_score_list(t);
  EXPECT_EQ(column1s(t), (std::vector<float>{-1, 2, 3}));
  EXPECT_STREQ(t->items[0]->id, "s1");  // records move whole
  EXPECT_EQ(t->items[0]->column2, -1.0f);
  qor::free_sequence_table(t);

  const unsigned seed = 20050715;
  srand(seed);
  std::vector<float> values;
  for (int k = 0; k < 5000; k++) values.push_back(static_cast<float>(rand() % 2001 - 1000) / 8);
  t = make_list(values);
  qor::sort_score_list(t);
  std::sort(values.begin(), values.end());
  EXPECT_EQ(column1s(t), values) << "seed " << seed;
  qor::free_sequence_table(t);

  t = make_list({});
  qor::sort_score_list(t);  // an empty list is left alone
  EXPECT_EQ(t->count, 0);
  qor::free_sequence_table(t);
}

// Sorts with sort_direction -1 and exits with 0 when the order is descending.
void sort_descending_and_exit() {
  qor::sort_direction = -1;
  qor::SequenceTable *t = make_list({3, -1, 2, 7});
  qor::sort_score_list(t);
  bool ok = column1s(t) == std::vector<float>{7, 3, 2, -1};
  qor::free_sequence_table(t);
  fprintf(stderr, ok ? "descending\n" : "wrong order\n");
  exit(ok ? 0 : 2);
}

TEST(SortScoreList, SortDirectionReversesTheOrder) {
  // sort_direction is process-wide: it is changed only in a child process.
  EXPECT_EXIT(sort_descending_and_exit(), testing::ExitedWithCode(0), "^descending\n$");
  EXPECT_EQ(qor::sort_direction, 1);
}

TEST(ScoreListsUseZscores, FirstEntriesAndTheMarker) {
  const double none = qor::SCORE_NO_ZSCORE;
  struct Case {
    const char *name;
    std::vector<double> za, zb;
    int expected;
    const char *warning;  // expected stderr
  } cases[] = {
      {"both carry Z-scores", {2.5, 1}, {-1, 0}, 1, ""},
      {"first member Z-score 0", {0, 1}, {1, 1}, 0, ""},
      {"first database Z-score 0", {1, 1}, {0, 1}, 0, ""},
      {"three-number lines (marker)", {none, none}, {none, none}, 0, ""},
      {"one file without Z-scores", {3, 4}, {none, none}, 0, ""},
      {"a later member line without one",
       {3, none},
       {1, 2},
       0,
       "Warning: a.dist (s1): score line without a Z-score; the ordinary scores are used.\n"},
      {"a later database line without one",
       {3, 4},
       {1, 2, none},
       0,
       "Warning: b.dist (s2): score line without a Z-score; the ordinary scores are used.\n"},
  };
  for (const auto &c : cases) {
    qor::SequenceTable *a = make_list(std::vector<float>(c.za.size(), 1.0f), c.za);
    qor::SequenceTable *b = make_list(std::vector<float>(c.zb.size(), 1.0f), c.zb);
    testing::internal::CaptureStderr();
    EXPECT_EQ(qor::score_lists_use_zscores(a, "a.dist", b, "b.dist"), c.expected) << c.name;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.warning) << c.name;
    qor::free_sequence_table(a);
    qor::free_sequence_table(b);
  }
  qor::SequenceTable *empty = make_list({}), *one = make_list({1}, {2});
  EXPECT_EQ(qor::score_lists_use_zscores(empty, "a", one, "b"), 0);
  EXPECT_EQ(qor::score_lists_use_zscores(one, "a", empty, "b"), 0);
  qor::free_sequence_table(empty);
  qor::free_sequence_table(one);
}

}  // namespace
