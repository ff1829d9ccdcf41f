// Constraints: model node labels (the label map, node-label lines of model files, putting labels on
// nodes and writing them back); constraint files and tables; attaching constraints to sequences and
// saving alignments as constraints.
#ifndef QOR_CONSTRAINTS_CONSTRAINTS_H
#define QOR_CONSTRAINTS_CONSTRAINTS_H

#include <cstdint>
#include <cstdio>

#include "models/models.h"

namespace qor {

// ---- Node labels ------------------------------------------------------------------------------

// From model label to node number: nodes[l] is the node that carries label l, or -2 when none does.
struct LabelMap {
  int32_t length;  // number of entries; 256 when created
  int32_t *nodes;  // length entries
};

constexpr int32_t LABEL_MAP_INITIAL = 256;  // entries of a new label map
constexpr int32_t LABEL_NO_NODE = -2;       // entry of a label that no node carries

// A map of LABEL_MAP_INITIAL entries, all LABEL_NO_NODE.
LabelMap *create_label_map();
// Releases the map; null does nothing.
void free_label_map(LabelMap *map);
// Grows the map to 256 entries when n < 100, else to 2n + 2 (never shrinks); new entries LABEL_NO_NODE.
void grow_label_map(LabelMap *map, int32_t n);
// Enters label -> node, growing the map as needed. An entry already set is kept: the result is
// whether it equals node. Otherwise the node is stored and the result is 1.
int set_label_map(LabelMap *map, int32_t label, int32_t node);
// Enters the labels of one node-label line ("NODELABELS first-last: label") into map (created when
// null) and returns the map; location names the source in the fatal message for a bad line.
LabelMap *parse_model_node_labels(LabelMap *map, const char *location, const char *line);
// Sets the label of every labelled node of the bundle. A label naming a node the bundle left empty
// creates that node as a copy of the GENERIC node (what assembly would put there); without a
// GENERIC node the label is dropped with a warning naming location (may be null) and the node.
// A bundle of length 0 is left unchanged (with a warning when the map holds labels).
void label_rmodel_from_map(LabelMap *map, RModel *rmodel, const char *location = nullptr);
// Fills view with a model over the bundle's nodes (borrowed, not copied): length, generic and a
// fresh nodes array of length + 2 entries. Release only view->nodes afterwards. Returns length + 1.
int fake_model_from_rmodel(Model *view, const RModel *rmodel);
// Writes the node-label lines of nodes 1..L+1 (fatal when labels are out of order).
void write_model_node_labels(const Model *model, FILE *out);
// Writes the node-label lines of a bundle; nothing for a bundle of length 0 or less.
void write_rmodel_node_labels(const RModel *rmodel, FILE *out);

// ---- Constraint tables and files --------------------------------------------------------------

constexpr int32_t CONSTRAINT_BUCKETS = 128;       // hash chains of a constraint table
constexpr int32_t CONSTRAINT_NO_LABEL = -3;       // label of a range (or residue) without a model label
constexpr int32_t CONSTRAINT_UNCONSTRAINED = -1;  // label of an unconstrained residue
constexpr int32_t CONSTRAINT_MAX_ID = 512;        // longest sequence identifier of a constraint line
constexpr int32_t CONSTRAINT_MAX_NUMBER = 91;     // longest number text of a definition

// One range: positions start..start+length-1 (from 1) at labels label, label+1, ... (label -3: none).
struct ConstraintRange {
  int32_t start;
  int32_t label;
  int32_t length;
  int32_t satisfied_cost;
  int32_t unsatisfied_cost;
  int32_t unconstrained_cost;
  ConstraintRange *next;
};

// The ranges of one sequence, in the order they were added; one link of a hash chain.
struct ConstraintSeq {
  char *seq_id;     // stored in the entry's own allocation
  int32_t max_pos;  // highest position covered by a range; 0 initially
  ConstraintRange *first;
  ConstraintRange *last;
  ConstraintSeq *next;
};

// Constraint ranges by sequence identifier: chain hash_string(id) & 127, new entries at the head.
struct ConstraintTable {
  int32_t count;  // entries
  ConstraintSeq *buckets[CONSTRAINT_BUCKETS];
  int32_t max_node_label;  // highest label covered by a labelled range; -1 when none
  int32_t has_unlabeled;   // 1 once a range without a label was added
};

// An empty table (max_node_label -1).
ConstraintTable *create_constraint_table();
// Releases every entry, its ranges and the table; null does nothing.
void free_constraint_table(ConstraintTable *table);
// The entry with exactly this identifier, or null.
ConstraintSeq *find_seq_constraints(const ConstraintTable *table, const char *seq_id);
// A new empty entry for seq_id at the head of its chain (count + 1); returns it.
ConstraintSeq *add_seq_constraint(ConstraintTable *table, const char *seq_id);
// Appends a range to seq_id's entry (created when needed) and updates max_pos and max_node_label or
// has_unlabeled. Fatal for a range that is empty, starts before 1 or runs past the 32-bit range.
void add_constraint_to_table(ConstraintTable *table, const char *seq_id, int32_t start, int32_t label,
                             int32_t length, int32_t satisfied_cost, int32_t unsatisfied_cost,
                             int32_t unconstrained_cost);
// Adds the ranges of a constraint file (costs 0, 80000, 80000) to the table; bad input is fatal.
void read_constraints_file(ConstraintTable *table, const char *filename);
// A new table filled from count files in order, or null when count <= 0. Unless allow_unlabeled,
// a file that leaves the table with a range without a label is fatal.
ConstraintTable *read_constraints_table(char **filenames, int count, int allow_unlabeled);
// Writes the table as a constraint file, entries in hash-chain order (an empty table: empty file).
void write_constraints_table(const ConstraintTable *table, const char *filename);

// ---- Applying and saving constraints ----------------------------------------------------------

// Creates seq->constraints when absent and sets every position to noPosConstraint.
void alloc_seq_constraints(Sequence *seq);
// Releases seq->constraints and sets it to null.
void free_seq_constraints(Sequence *seq);
// Writes one range into seq->constraints (created when absent); fatal when the range does not fit
// the sequence or gives a labelled position a different label.
void set_seq_constraints(const ConstraintRange *range, Sequence *seq);
// Applies the ranges of every sequence of seqs that has an entry in table; a null table does nothing.
void apply_seqs_constraints(const ConstraintTable *table, SequenceTable *seqs);
// Adds to table the ranges matched by the alignments of the sequences that carry constraints.
void save_align_constraints(ConstraintTable *table, const SequenceTable *seqs);
// Adds to table the runs of constrained positions that seq's alignment matches to consecutive nodes,
// each as a range labelled with the node of its first position.
void create_new_align_constraints(const Sequence *seq, ConstraintTable *table);

}  // namespace qor

#endif
