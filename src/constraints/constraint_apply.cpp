// Applying and saving constraints: one PosConstraint per residue from the ranges of a constraint
// table, and ranges back from the alignments of constrained sequences.
//
// Sections: residue constraints | applying ranges | saving alignments
#include <climits>
#include <cstdlib>

#include "constraints/constraints.h"
#include "forward2/forward2.h"
#include "util/util.h"

namespace qor {

// ---- Residue constraints ----------------------------------------------------------------------

// alloc_seq_constraints: creates seq->constraints (one record per position) when absent and sets
// every position to noPosConstraint.
void alloc_seq_constraints(Sequence *seq) {
  if (seq == nullptr) error("alloc_seq_constraints: null sequence");
  int64_t n = seq->length > 0 ? seq->length : 0;
  if (seq->constraints == nullptr) {
    int64_t bytes = n * static_cast<int64_t>(sizeof(PosConstraint));
    if (bytes > INT_MAX)
      error("alloc_seq_constraints: sequence %s of %d residues is too long", seq->id, seq->length);
    seq->constraints = static_cast<PosConstraint *>(mem_alloc(static_cast<int>(bytes)));
  }
  for (int64_t p = 0; p < n; p++) seq->constraints[p] = noPosConstraint;
}

// free_seq_constraints: releases seq->constraints and sets it to null; a null sequence does nothing.
void free_seq_constraints(Sequence *seq) {
  if (seq == nullptr) return;
  free(seq->constraints);
  seq->constraints = nullptr;
}

// ---- Applying ranges --------------------------------------------------------------------------

// set_seq_constraints: gives positions start..start+length-1 of seq the range's label (counting up
// from it, unless it is -3) and its three costs, creating seq->constraints when absent.
// Fatal: "constraint %d-%d for %s is longer than the sequence (%d)" when the range ends past the
// sequence; "sequence \"%s\", positon %d already has label %d, trying to set it to %d" when a
// position already carries another label (the same label again is accepted).
void set_seq_constraints(const ConstraintRange *range, Sequence *seq) {
  if (range == nullptr || seq == nullptr) error("set_seq_constraints: null range or sequence");
  int64_t last = static_cast<int64_t>(range->start) + range->length - 1;
  if (last > seq->length)
    error("constraint %d-%d for %s is longer than the sequence (%d)", range->start,
          static_cast<int32_t>(last), seq->id, seq->length);
  // Ranges of a constraint table always pass these; a range built by hand might not.
  if (range->start < 1 || range->length < 0 ||
      (range->label != CONSTRAINT_NO_LABEL &&
       (range->label < 0 || static_cast<int64_t>(range->label) + range->length - 1 > INT32_MAX)))
    error("set_seq_constraints: invalid range (start %d, length %d, label %d) for %s", range->start,
          range->length, range->label, seq->id);
  if (seq->constraints == nullptr) alloc_seq_constraints(seq);
  int32_t label = range->label;
  for (int64_t p = range->start; p <= last; p++) {
    PosConstraint *pc = &seq->constraints[p - 1];
    if (pc->label != CONSTRAINT_UNCONSTRAINED && pc->label != label)
      error("sequence \"%s\", positon %d already has label %d, trying to set it to %d", seq->id,
            static_cast<int32_t>(p), pc->label, label);
    pc->label = label;
    pc->satisfied_cost = range->satisfied_cost;
    pc->unsatisfied_cost = range->unsatisfied_cost;
    pc->unconstrained_cost = range->unconstrained_cost;
    if (label != CONSTRAINT_NO_LABEL && p < last) label++;
  }
}

// apply_seqs_constraints: for every sequence of seqs whose id has an entry in table (exact match),
// applies the entry's ranges in order. A null table (no constraint files) does nothing.
void apply_seqs_constraints(const ConstraintTable *table, SequenceTable *seqs) {
  if (table == nullptr || seqs == nullptr) return;
  for (int32_t s = 0; s < seqs->count; s++) {
    Sequence *seq = seqs->items[s];
    if (seq == nullptr) continue;
    const ConstraintSeq *entry = find_seq_constraints(table, seq->id);
    if (entry == nullptr) continue;
    for (const ConstraintRange *range = entry->first; range != nullptr; range = range->next)
      set_seq_constraints(range, seq);
  }
}

// ---- Saving alignments ------------------------------------------------------------------------

// save_align_constraints: create_new_align_constraints for every sequence of seqs that carries
// constraints; the others are passed over.
void save_align_constraints(ConstraintTable *table, const SequenceTable *seqs) {
  if (table == nullptr) error("save_align_constraints: null constraint table");
  if (seqs == nullptr) return;
  for (int32_t s = 0; s < seqs->count; s++) {
    const Sequence *seq = seqs->items[s];
    if (seq != nullptr && seq->constraints != nullptr) create_new_align_constraints(seq, table);
  }
}

namespace {

// The run of constrained positions being collected while an alignment is walked.
struct OpenRun {
  bool open;
  int32_t start;  // first position (from 1)
  int32_t node;   // the node that matched it
};

}  // namespace

// Adds the open run, ending before position i, to the table and closes it.
static void close_run(OpenRun *run, int64_t i, const Sequence *seq, ConstraintTable *table) {
  if (!run->open) return;
  const PosConstraint &first = seq->constraints[run->start - 1];
  add_constraint_to_table(table, seq->id, run->start, run->node, static_cast<int32_t>(i - run->start),
                          first.satisfied_cost, first.unsatisfied_cost, first.unconstrained_cost);
  run->open = false;
}

// create_new_align_constraints: walks the alignment string of seq (position i and node c from 1)
// and adds to table every run of constrained positions that one match run puts on consecutive
// nodes with consecutive labels and equal costs, as the range (first position, node of the first
// position, run length, costs of the first position). Inserts and deletes end a run; so do an
// unconstrained position, a label that does not follow the previous one and a change of costs.
// A sequence without constraints or alignment adds nothing. Fatal when the alignment matches more
// letters than the sequence has.
void create_new_align_constraints(const Sequence *seq, ConstraintTable *table) {
  if (seq == nullptr || table == nullptr) error("create_new_align_constraints: null sequence or table");
  if (seq->constraints == nullptr || seq->alignment == nullptr) return;
  const PosConstraint *pc = seq->constraints;
  OpenRun run = {false, 0, 0};
  int64_t i = 1, c = 1;
  for (const unsigned char *code = seq->alignment; *code != 0; code++) {
    int k = *code;
    if (k <= 100) {  // k letters inserted
      close_run(&run, i, seq, table);
      i += k;
    } else if (k <= 200) {  // k - 100 match columns
      for (int col = 0; col < k - 100; col++, i++, c++) {
        if (i > seq->length || c > INT32_MAX)
          error("create_new_align_constraints: the alignment of %s is longer than the sequence (%d)", seq->id,
                seq->length);
        const PosConstraint &here = pc[i - 1];
        if (run.open) {
          const PosConstraint &before = pc[i - 2];
          if (here.label == CONSTRAINT_UNCONSTRAINED ||
              here.label != static_cast<int64_t>(before.label) + 1 ||
              here.satisfied_cost != before.satisfied_cost ||
              here.unsatisfied_cost != before.unsatisfied_cost ||
              here.unconstrained_cost != before.unconstrained_cost)
            close_run(&run, i, seq, table);
        }
        if (here.label != CONSTRAINT_UNCONSTRAINED && !run.open)
          run = OpenRun{true, static_cast<int32_t>(i), static_cast<int32_t>(c)};
      }
    } else {  // k - 200 delete columns
      close_run(&run, i, seq, table);
      c += k - 200;
    }
  }
  close_run(&run, i, seq, table);
}

}  // namespace qor
