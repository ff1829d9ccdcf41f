// Applying and saving constraints: residue constraints from ranges, conflicts, sequences too short
// for a range, and ranges derived back from alignment strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "constraint_test_support.h"
#include "forward2/forward2.h"

using constrtest::make_sequence;
using constrtest::ranges_of;
using namespace qor;

namespace {

// The labels of every position of seq, blank-separated ("none" without constraints).
std::string labels_of(const Sequence *seq) {
  if (seq->constraints == nullptr) return "none";
  std::string s;
  for (int p = 0; p < seq->length; p++) s += (p ? " " : "") + std::to_string(seq->constraints[p].label);
  return s;
}

ConstraintRange range(int32_t start, int32_t label, int32_t length, int32_t sat = 0, int32_t unsat = 80000,
                      int32_t uncon = 80000) {
  return ConstraintRange{start, label, length, sat, unsat, uncon, nullptr};
}

// The alignment string of the given run bytes (0 appended), owned by the caller through free().
unsigned char *alignment_of(const std::vector<int> &runs) {
  unsigned char *a = static_cast<unsigned char *>(mem_alloc(static_cast<int>(runs.size()) + 1));
  for (size_t k = 0; k < runs.size(); k++) a[k] = static_cast<unsigned char>(runs[k]);
  return a;
}

}  // namespace

TEST(ApplyConstraints, RangeOnSequences) {
  EXPECT_EQ(noPosConstraint.label, -1);
  EXPECT_EQ(noPosConstraint.satisfied_cost, 80000);
  EXPECT_EQ(noPosConstraint.unsatisfied_cost, 80000);
  EXPECT_EQ(noPosConstraint.unconstrained_cost, 0);

  Sequence *seq = make_sequence("seq1", 20);
  ConstraintRange r = range(3, 21, 8);
  set_seq_constraints(&r, seq);
  ASSERT_NE(seq->constraints, nullptr);
  for (int p = 1; p <= 20; p++) {
    const PosConstraint &pc = seq->constraints[p - 1];
    SCOPED_TRACE(p);
    if (p >= 3 && p <= 10) {
      EXPECT_EQ(pc.label, 18 + p);
      EXPECT_EQ(pc.satisfied_cost, 0);
      EXPECT_EQ(pc.unsatisfied_cost, 80000);
      EXPECT_EQ(pc.unconstrained_cost, 80000);
    } else {
      EXPECT_EQ(pc.label, -1);
      EXPECT_EQ(pc.satisfied_cost, 80000);
      EXPECT_EQ(pc.unsatisfied_cost, 80000);
      EXPECT_EQ(pc.unconstrained_cost, 0);
    }
  }
  // A range that ends exactly at the last position fits; an unlabeled range keeps -3 throughout.
  ConstraintRange tail = range(18, -3, 3, 5, 6, 7);
  set_seq_constraints(&tail, seq);
  EXPECT_EQ(labels_of(seq), "-1 -1 21 22 23 24 25 26 27 28 -1 -1 -1 -1 -1 -1 -1 -3 -3 -3");
  EXPECT_EQ(seq->constraints[19].satisfied_cost, 5);
  EXPECT_EQ(seq->constraints[19].unconstrained_cost, 7);

  // alloc_seq_constraints resets every position; free_seq_constraints leaves none.
  alloc_seq_constraints(seq);
  EXPECT_EQ(labels_of(seq), "-1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1");
  free_seq_constraints(seq);
  EXPECT_EQ(seq->constraints, nullptr);
  free_sequence(seq);

  EXPECT_FATAL(
      [] {
        Sequence *s8 = make_sequence("seq1", 8);
        ConstraintRange r8 = range(3, 21, 8);
        set_seq_constraints(&r8, s8);
      },
      "constraint 3-10 for seq1 is longer than the sequence (8)");
  EXPECT_FATAL(
      [] {
        Sequence *s0 = make_sequence("empty", 0);
        ConstraintRange r1 = range(1, 4, 1);
        set_seq_constraints(&r1, s0);
      },
      "constraint 1-1 for empty is longer than the sequence (0)");
}

TEST(ApplyConstraints, SameAndConflictingLabels) {
  Sequence *seq = make_sequence("seq1", 12);
  ConstraintRange a = range(3, 21, 8), b = range(5, 23, 3), c = range(10, 28, 3);
  set_seq_constraints(&a, seq);
  set_seq_constraints(&b, seq);  // positions 5-7 again at labels 23-25: the same labels
  set_seq_constraints(&c, seq);  // position 10 again at 28, then 11-12 fresh
  EXPECT_EQ(labels_of(seq), "-1 -1 21 22 23 24 25 26 27 28 29 30");
  free_sequence(seq);

  struct Case {
    ConstraintRange first, second;
    const char *message;
  } cases[] = {
      {range(3, 21, 8), range(6, 30, 2),
       "sequence \"seq1\", positon 6 already has label 24, trying to set it to 30"},
      {range(3, 21, 8), range(1, 5, 4),
       "sequence \"seq1\", positon 3 already has label 21, trying to set it to 7"},
      {range(4, -3, 2), range(5, 9, 1),
       "sequence \"seq1\", positon 5 already has label -3, trying to set it to 9"},
      {range(4, 9, 2), range(4, -3, 1),
       "sequence \"seq1\", positon 4 already has label 9, trying to set it to -3"},
  };
  for (const Case &k : cases) {
    EXPECT_FATAL(([&] {
                   Sequence *s = make_sequence("seq1", 12);
                   set_seq_constraints(&k.first, s);
                   set_seq_constraints(&k.second, s);
                 }),
                 k.message);
  }
  // Unlabeled on unlabeled is the same label.
  seq = make_sequence("seq1", 6);
  ConstraintRange u1 = range(2, -3, 3), u2 = range(3, -3, 3);
  set_seq_constraints(&u1, seq);
  set_seq_constraints(&u2, seq);
  EXPECT_EQ(labels_of(seq), "-1 -3 -3 -3 -3 -1");
  free_sequence(seq);
}

TEST(ApplyConstraints, TableOnSequenceTable) {
  apply_seqs_constraints(nullptr, nullptr);
  ConstraintTable *t = create_constraint_table();
  add_constraint_to_table(t, "seq1", 3, 21, 2, 0, 80000, 80000);
  add_constraint_to_table(t, "seq1", 6, 40, 1, 0, 80000, 80000);
  add_constraint_to_table(t, "other", 1, 1, 1, 0, 80000, 80000);  // no such sequence: ignored
  add_constraint_to_table(t, "seq2", 1, 7, 2, 0, 80000, 80000);

  SequenceTable *seqs = alloc_sequence_table();
  add_seq_to_table(seqs, make_sequence("seq2", 3));
  add_seq_to_table(seqs, make_sequence("seq1", 6));
  add_seq_to_table(seqs, make_sequence("Seq1", 6));  // identifiers match exactly
  add_seq_to_table(seqs, make_sequence("free", 4));
  apply_seqs_constraints(nullptr, seqs);
  for (int s = 0; s < seqs->count; s++) EXPECT_EQ(seqs->items[s]->constraints, nullptr);
  apply_seqs_constraints(t, seqs);
  EXPECT_EQ(labels_of(seqs->items[0]), "7 8 -1");
  EXPECT_EQ(labels_of(seqs->items[1]), "-1 -1 21 22 -1 40");
  EXPECT_EQ(labels_of(seqs->items[2]), "none");
  EXPECT_EQ(labels_of(seqs->items[3]), "none");
  free_sequence_table(seqs);
  free_constraint_table(t);
}

// Saving: an alignment string and the labels of a sequence, and the ranges that result.
struct SaveCase {
  const char *name;
  std::vector<int> alignment;
  std::vector<ConstraintRange> applied;
  const char *saved;  // ranges_of the saved table for seq1
};

TEST(SaveConstraints, RunsFromAlignments) {
  // Sequences of length 12. Node c counts from 1 with each match or delete column.
  const SaveCase cases[] = {
      // 2 inserts, then positions 3-10 matched to nodes 30-37 in one match run (29 deletes first).
      {"one run", {2, 229, 108, 2}, {range(3, 21, 8)}, "3+8:30"},
      // Unconstrained positions 1-2 and 11-12 are matched but not saved.
      {"matched around", {112}, {range(3, 21, 8)}, "3+8:3"},
      // An unconstrained position inside the match run breaks it.
      {"gap in labels", {112}, {range(2, 5, 3), range(6, 9, 3)}, "2+3:2 6+3:6"},
      // A label jump (5,6 then 10) breaks the run although the nodes go on.
      {"label jump", {112}, {range(2, 5, 2), range(4, 10, 2)}, "2+2:2 4+2:4"},
      // Costs that differ break the run.
      {"cost change", {112}, {range(2, 5, 2), range(4, 7, 2, 1, 80000, 80000)}, "2+2:2 4+2:4/1,80000,80000"},
      // A delete inside the run: positions 3-5 at nodes 3-5, then 6-10 at nodes 8-12.
      {"delete", {105, 202, 107}, {range(3, 21, 8)}, "3+3:3 6+5:8"},
      // An insert inside the run: positions 5-6 inserted and not saved.
      {"insert", {104, 2, 106}, {range(3, 21, 8)}, "3+2:3 7+4:5"},
      // Match runs split over two bytes of the same kind do not break a run.
      {"split bytes", {101, 103, 108}, {range(1, 1, 12)}, "1+12:1"},
      // Every unlabeled position is a run of its own.
      {"unlabeled", {112}, {range(4, -3, 2)}, "4+1:4 5+1:5"},
      // Costs of the first position are saved.
      {"costs", {112}, {range(1, 2, 12, 0, 500, 40)}, "1+12:1/0,500,40"},
      // All inserted: nothing saved, no entry.
      {"all inserted", {12}, {range(3, 21, 8)}, "absent"},
  };
  for (const SaveCase &c : cases) {
    SCOPED_TRACE(c.name);
    SequenceTable *seqs = alloc_sequence_table();
    Sequence *seq = make_sequence("seq1", 12);
    for (const ConstraintRange &r : c.applied) set_seq_constraints(&r, seq);
    seq->alignment = alignment_of(c.alignment);
    add_seq_to_table(seqs, seq);
    // Unconstrained sequences are passed over even with an alignment.
    Sequence *plain = make_sequence("plain", 4);
    plain->alignment = alignment_of({104});
    add_seq_to_table(seqs, plain);
    ConstraintTable *t = create_constraint_table();
    save_align_constraints(t, seqs);
    EXPECT_EQ(ranges_of(t, "seq1"), c.saved);
    EXPECT_EQ(ranges_of(t, "plain"), "absent");
    free_constraint_table(t);
    free_sequence_table(seqs);
  }
}

TEST(SaveConstraints, EdgeCases) {
  // No constrained sequence: the table stays empty and writes an empty file.
  SequenceTable *seqs = alloc_sequence_table();
  Sequence *seq = make_sequence("seq1", 3);
  seq->alignment = alignment_of({103});
  add_seq_to_table(seqs, seq);
  ConstraintTable *t = create_constraint_table();
  save_align_constraints(t, seqs);
  EXPECT_EQ(t->count, 0);
  save_align_constraints(t, nullptr);

  // A constrained sequence without an alignment adds nothing.
  alloc_seq_constraints(seq);
  free(seq->alignment);
  seq->alignment = nullptr;
  ConstraintRange r = range(1, 1, 3);
  set_seq_constraints(&r, seq);
  save_align_constraints(t, seqs);
  EXPECT_EQ(t->count, 0);

  // Saving adds to what the table holds already.
  seq->alignment = alignment_of({103});
  add_constraint_to_table(t, "seq1", 9, 9, 1, 0, 80000, 80000);
  create_new_align_constraints(seq, t);
  EXPECT_EQ(ranges_of(t, "seq1"), "9+1:9 1+3:1");
  free_constraint_table(t);
  free_sequence_table(seqs);

  // An alignment that matches more letters than the sequence has is refused, not read past the end.
  EXPECT_FATAL(
      [] {
        Sequence *s = make_sequence("seq1", 3);
        ConstraintRange all = range(1, 1, 3);
        set_seq_constraints(&all, s);
        s->alignment = alignment_of({2, 102});
        ConstraintTable *table = create_constraint_table();
        create_new_align_constraints(s, table);
      },
      "create_new_align_constraints: the alignment of seq1 is longer than the sequence (3)");
}
