// Sequence records and tables: making and resizing records, table growth, removal and compaction,
// sorting and search by id, and the length statistics.
#include <cmath>
#include <string>
#include <vector>

#include "seqtest.h"

namespace {

using namespace qor;
using seqtest::copy_text;

Sequence *seq_with(const char *id, int length) {
  Sequence *s = alloc_sequence(length, 1);
  s->id = copy_text(id);
  return s;
}

SequenceTable *table_of_lengths(const std::vector<int> &lengths) {
  SequenceTable *t = alloc_sequence_table();
  for (size_t i = 0; i < lengths.size(); i++)
    add_seq_to_table(t, seq_with(("s" + std::to_string(i)).c_str(), lengths[i]));
  return t;
}

TEST(Sequence, AllocSetsScoresAndLetterArrays) {
  Sequence *s = alloc_sequence(5, 2);
  EXPECT_EQ(s->length, 5);
  EXPECT_EQ(s->num_tracks, 2);
  EXPECT_EQ(s->converted, 0);
  EXPECT_EQ(s->id, nullptr);
  EXPECT_EQ(s->score, 1000000.0f);
  EXPECT_EQ(s->null_score, 1000000.0f);
  EXPECT_EQ(s->column1, 1000000.0f);
  EXPECT_EQ(s->column2, 1000000.0f);
  EXPECT_EQ(s->zscore, 1000000.0);
  EXPECT_EQ(s->xcount, 0.0f);
  for (int t = 0; t < 2; t++) {
    ASSERT_NE(s->tracks[t].letters, nullptr);
    for (int i = 0; i < 7; i++) EXPECT_EQ(s->tracks[t].letters[i], 0);  // length + 2 zeroed bytes
    EXPECT_EQ(s->tracks[t].probs, nullptr);
  }
  EXPECT_EQ(s->tracks[2].letters, nullptr);
  free_sequence(s);

  Sequence *empty = alloc_sequence(0, 3);  // the reader fills the letters later
  for (int t = 0; t < MAX_TRACKS; t++) EXPECT_EQ(empty->tracks[t].letters, nullptr);
  free_sequence(empty);
  free_sequence(nullptr);
}

TEST(Sequence, ReallocGrowsAndShrinksLettersAndProbabilityRows) {
  // A model sequence: made empty, then sized to the model, as the model-sequence reader does.
  Sequence *s = alloc_sequence(0, 2);
  realloc_sequence(s, 3);
  EXPECT_EQ(s->length, 3);
  ASSERT_NE(s->tracks[1].letters, nullptr);
  float **rows = alloc_prob_seq_track(s, seqtest::PROTEIN_TRACK);
  ASSERT_EQ(rows, s->tracks[1].probs);
  rows[2][19] = 0.5f;  // flength 20 of protein
  s->tracks[1].letters[2] = 7;

  realloc_sequence(s, 6);
  EXPECT_EQ(s->length, 6);
  EXPECT_EQ(s->tracks[1].probs[2][19], 0.5f);
  EXPECT_EQ(s->tracks[1].letters[2], 7);
  for (int i = 3; i < 6; i++)
    for (int j = 0; j < 20; j++) EXPECT_EQ(s->tracks[1].probs[i][j], 0.0f);
  for (int i = 3; i < 8; i++) EXPECT_EQ(s->tracks[1].letters[i], 0);
  EXPECT_EQ(s->tracks[0].probs, nullptr);  // only present arrays are resized

  realloc_sequence(s, 2);  // the released rows must not leak (checked by the sanitizer build)
  EXPECT_EQ(s->length, 2);
  free_sequence(s);

  Sequence *none = alloc_sequence(0, 1);
  EXPECT_EQ(alloc_prob_seq_track(none, 0), nullptr);  // nothing for an empty sequence
  free_sequence(none);
}

TEST(Sequence, FatalArguments) {
  EXPECT_EXIT(alloc_prob_seq_track(nullptr, 0), testing::ExitedWithCode(1),
              "^Error: realloc_prob_seq_track with null sequence\n$");
  EXPECT_EXIT(
      {
        Sequence *s = alloc_sequence(4, 1);
        s->constraints = static_cast<PosConstraint *>(mem_alloc(4 * sizeof(PosConstraint)));
        realloc_sequence(s, 8);
      },
      testing::ExitedWithCode(1), "^Error: can't realloc_sequence with constraints\n$");
  EXPECT_EXIT(alloc_sequence(1, MAX_TRACKS + 1), testing::ExitedWithCode(1), "^Error: alloc_sequence: ");
}

TEST(SequenceTable, GrowsInStepsOf4096KeepingOrder) {
  SequenceTable *t = alloc_sequence_table();
  EXPECT_EQ(t->count, 0);
  EXPECT_EQ(t->capacity, 0);
  EXPECT_EQ(t->items, nullptr);
  add_seq_to_table(t, nullptr);  // nothing
  EXPECT_EQ(t->capacity, 0);
  std::vector<Sequence *> added;
  for (int i = 0; i < 4097; i++) {
    added.push_back(alloc_sequence(i % 7, 1));
    add_seq_to_table(t, added.back());
    if (i == 4095) {
      EXPECT_EQ(t->capacity, 4096);
    }
  }
  EXPECT_EQ(t->count, 4097);
  EXPECT_EQ(t->capacity, 8192);
  for (int i = 0; i < 4097; i++) ASSERT_EQ(t->items[i], added[static_cast<size_t>(i)]);
  clean_sequence_table(t);
  EXPECT_EQ(t->count, 0);
  EXPECT_EQ(t->capacity, 8192);  // the item array is kept
  add_seq_to_table(t, alloc_sequence(1, 1));
  EXPECT_EQ(t->count, 1);
  free_sequence_table(t);
  free_sequence_table(nullptr);
}

TEST(SequenceTable, RemoveThenCompactKeepsOrder) {
  SequenceTable *t = table_of_lengths({1, 2, 3, 4, 5});
  Sequence *third = t->items[2];
  EXPECT_EQ(remove_seq_from_table(t, 2), third);
  EXPECT_EQ(t->items[2], nullptr);
  EXPECT_EQ(remove_seq_from_table(t, 5), nullptr);
  EXPECT_EQ(remove_seq_from_table(t, -1), nullptr);
  free_sequence(third);  // the caller owns it
  compact_sequence_table(t);
  ASSERT_EQ(t->count, 4);
  const char *ids[] = {"s0", "s1", "s3", "s4"};
  for (int i = 0; i < 4; i++) EXPECT_STREQ(t->items[i]->id, ids[i]);
  free_sequence_table(t);
}

TEST(SequenceTable, NullTableIsFatal) {
  EXPECT_EXIT(add_seq_to_table(nullptr, nullptr), testing::ExitedWithCode(1),
              "^Error: sequence:add_seq_to_table\\(\\)  Null seqtab\n\n$");
  EXPECT_EXIT(remove_seq_from_table(nullptr, 0), testing::ExitedWithCode(1),
              "^Error: sequence:remove_seq_from_table\\(\\)  Null seqtab\n\n$");
}

TEST(SequenceTable, SortAndSearchById) {
  SequenceTable *t = alloc_sequence_table();
  const char *ids[] = {"mouse", "Zebra", "ant", "cat", "bee", "ant2"};
  for (const char *id : ids) add_seq_to_table(t, seq_with(id, 1));
  sequence_sort(t);
  const char *sorted[] = {"Zebra", "ant", "ant2", "bee", "cat", "mouse"};  // byte order
  for (int i = 0; i < 6; i++) EXPECT_STREQ(t->items[i]->id, sorted[i]);
  for (int i = 0; i < 6; i++) EXPECT_EQ(sequence_search(sorted[i], t), i) << sorted[i];
  for (const char *absent : {"", "an", "zebra", "dog", "zzz", "AAA"})
    EXPECT_EQ(sequence_search(absent, t), -1);
  free_sequence_table(t);

  SequenceTable *empty = alloc_sequence_table();
  EXPECT_EQ(sequence_search("a", empty), -1);
  free_sequence_table(empty);
}

TEST(SequenceTable, SortPutsRemovedEntriesLast) {
  SequenceTable *t = alloc_sequence_table();
  for (const char *id : {"d", "b", "e", "a", "c"}) add_seq_to_table(t, seq_with(id, 1));
  free_sequence(remove_seq_from_table(t, 1));
  sequence_sort(t);
  const char *sorted[] = {"a", "c", "d", "e"};
  for (int i = 0; i < 4; i++) EXPECT_STREQ(t->items[i]->id, sorted[i]);
  EXPECT_EQ(t->items[4], nullptr);
  EXPECT_EQ(sequence_search("e", t), 3);
  EXPECT_EQ(sequence_search("b", t), -1);
  free_sequence_table(t);
}

TEST(CompareId, ByteWiseAndNullEntriesEqual) {
  Sequence *a = seq_with("abc", 1);
  Sequence *b = seq_with("abd", 1);
  Sequence *high = seq_with("\xe9", 1);  // compared as an unsigned byte
  Sequence *null_entry = nullptr;
  EXPECT_LT(compare_ID(&a, &b), 0);
  EXPECT_GT(compare_ID(&b, &a), 0);
  EXPECT_EQ(compare_ID(&a, &a), 0);
  EXPECT_LT(compare_ID(&b, &high), 0);
  EXPECT_EQ(compare_ID(&null_entry, &a), 0);
  free_sequence(a);
  free_sequence(b);
  free_sequence(high);
}

TEST(SeqMaxStats, LengthsTenTwentyThirty) {
  SequenceTable *t = table_of_lengths({10, 20, 30});
  SeqInfo info{};
  seq_max_stats(t, &info, 1, 1);
  EXPECT_EQ(info.min_length, 10);
  EXPECT_EQ(info.max_length, 30);
  EXPECT_EQ(info.num_seqs, 3);
  EXPECT_EQ(info.total_length, 60);
  EXPECT_EQ(info.mean_length, 20);
  EXPECT_EQ(info.total_excess, 57);
  EXPECT_EQ(info.sum_squares, 1400);
  EXPECT_EQ(info.sd_length, 10);

  // Without reset the counts go on: six sequences, mean 20, sd sqrt(400/5).
  seq_max_stats(t, &info, 1, 0);
  EXPECT_EQ(info.num_seqs, 6);
  EXPECT_EQ(info.total_length, 120);
  EXPECT_EQ(info.sum_squares, 2800);
  EXPECT_EQ(info.mean_length, 20);
  EXPECT_DOUBLE_EQ(info.sd_length, std::sqrt(80.0));
  free_sequence_table(t);
}

TEST(SeqMaxStats, SingleShortAndEmptyTables) {
  SeqInfo info{};
  info.sd_length = 123.5;
  SequenceTable *one = table_of_lengths({1});
  seq_max_stats(one, &info, 1, 1);
  EXPECT_EQ(info.num_seqs, 1);
  EXPECT_EQ(info.total_excess, 1);  // max(1 - 1, 1)
  EXPECT_EQ(info.mean_length, 1);
  EXPECT_EQ(info.sd_length, 123.5);  // not computed for a single sequence
  free_sequence_table(one);

  SequenceTable *empty = alloc_sequence_table();
  info.min_length = 9;
  seq_max_stats(empty, &info, 1, 1);
  EXPECT_EQ(info.min_length, 0);
  EXPECT_EQ(info.num_seqs, 0);
  EXPECT_EQ(info.mean_length, 0);
  free_sequence_table(empty);

  info.total_length = 5;
  seq_max_stats(nullptr, &info, 1, 0);  // a null table resets too
  EXPECT_EQ(info.total_length, 0);

  EXPECT_EXIT(seq_max_stats(nullptr, nullptr, 1, 1), testing::ExitedWithCode(1),
              "^Error: seq_max_stats passed null SeqInfo\n$");
}

TEST(SeqMaxStats, MeanIsSinglePrecision) {
  // 16777217 (2^24 + 1) is not a float: the total rounds to 16777216 before the division.
  SequenceTable *t = table_of_lengths({16777217});
  SeqInfo info{};
  seq_max_stats(t, &info, 1, 1);
  EXPECT_EQ(info.total_length, 16777217);
  EXPECT_EQ(info.mean_length, 16777216);
  free_sequence_table(t);
}

// Regression: squares formed in 32-bit integers wrapped for lengths above 46340 and gave a wrong
// sum of squares and standard deviation.
TEST(SeqMaxStats, LongLengthsSquareWithoutWrapping) {
  SequenceTable *t = table_of_lengths({50000, 50000, 10});
  SeqInfo info{};
  seq_max_stats(t, &info, 1, 1);
  EXPECT_EQ(info.sum_squares, 5000000100.0);
  EXPECT_EQ(info.total_excess, 49999.0 * 2 + 9);
  double n = 3;
  double expected = std::sqrt((5000000100.0 - 100010.0 * 100010.0 / n) / (n - 1));
  EXPECT_DOUBLE_EQ(info.sd_length, expected);
  EXPECT_NEAR(info.sd_length, 28861.74, 0.01);

  SequenceTable *equal = table_of_lengths({50000, 50000});
  seq_max_stats(equal, &info, 1, 1);
  EXPECT_EQ(info.sd_length, 0);
  free_sequence_table(t);
  free_sequence_table(equal);
}

}  // namespace
