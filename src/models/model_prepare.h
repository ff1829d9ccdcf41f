// Model preparation: the cost of a probability, assembly of a model read from a file, normalisation,
// the integer cost tables; free insertion modules (FIMs), insert methods and local modes; loading
// the models of a run (model parameter, per-track model files, query sequence); substitution
// matrices.
//
// Sections: costs | assembly, normalisation, cost tables | FIMs, insert methods, local modes |
//           loading | substitution matrices
#ifndef QOR_MODELS_MODEL_PREPARE_H
#define QOR_MODELS_MODEL_PREPARE_H

#include <cstdint>
#include <cstdio>

#include "alphabet/alphabet.h"
#include "init/init.h"
#include "models/models.h"
#include "sequence/sequence.h"

namespace qor {

// ---- Costs ------------------------------------------------------------------------------------

// Largest probability that counts as impossible (e^-20 to five significant digits).
constexpr float COST_MIN_PROB = 2.0612e-9f;
// Cost of an impossible event in the model's own tables.
constexpr int32_t COST_IMPOSSIBLE = 80000;

// Cost of p in thousandths of a nat: 80000 when p <= 2.0612e-9 (or p is not a number), else the
// integer part of 0.5 - 1000 ln p computed in extended precision.
int32_t prob_cost(float p);

// ---- Assembly, normalisation, cost tables (model_prepare.cpp) ---------------------------------

// Table kinds of log_chartable.
constexpr int CHARTABLE_MATCH = 1;
constexpr int CHARTABLE_INSERT = 2;

// Assembles *holder (consumed, nulled) and prepares it for alignment; returns the prepared model.
Model *process_rmodel(RModel **holder, int add_fims, int local_mode, ScoreParams *score, int track,
                      FILE *log);
// Prepares the assembled model *holder in place (insert methods, local mode and end FIMs,
// normalisation, cost tables); *holder may receive a new, longer model.
void reprocess_model(Model **holder, int add_fims, int local_mode, ScoreParams *score, int track, FILE *log);
// Moves the nodes of *holder (consumed, nulled) into a new dense model, filling missing nodes from
// GENERIC and making '$' nodes FIMs; returns the model.
Model *destruct_rmodel2model(RModel **holder);
// Writes x into the begin and end positions (transitions into/out of node 0, end-node emissions).
void init_begin_end(Model *model, float x);
// Normalises every transition and emission vector of the model in place.
void normalize_model(Model *model);
// Builds the cost tables weights (allocated on first use) and fim_weight from the probabilities.
void log_model(Model *model);
// Fills the match (kind 1) or insert (kind 2) costs of weight from node's table scaled by x,
// wildcards included; a null node writes nothing.
void log_chartable(ModWeight *weight, const Node *node, float x, int kind);
// Exchanges the begin/end cost conventions of the cost tables; twice restores them. Null: nothing.
void swap_match_del(Model *model);

// ---- FIMs, insert methods, local modes (fims.cpp) ---------------------------------------------

// Method numbers of FIM_method_score / Insert_method_score.
constexpr int METHOD_ORIGINAL = 0;           // tables not modified
constexpr int METHOD_LETTCOUNT = 1;          // training letter frequencies
constexpr int METHOD_FREQAVE = 2;            // match frequency arithmetic mean
constexpr int METHOD_FLAT = 3;               // the flat distribution
constexpr int METHOD_TARGET = 4;             // target letter frequencies (invalid here)
constexpr int METHOD_GENERIC = 5;            // the generic node
constexpr int METHOD_GEOMETRIC = 6;          // geometric mean of match probabilities
constexpr int METHOD_FIRST_NODE = 7;         // node 0's insert (recorded only)
constexpr int METHOD_FIRST_FIM = 8;          // the first FIM's insert (recorded only)
constexpr int METHOD_NO_NODE = 9;            // nothing (FIM_METHOD_NONE)
constexpr int I_METHOD_STRING_BUFFER = 100;  // size of the static buffer of I_method_string

// "description (n)" of method |m|, or "Illegal method setting (n)"; one static buffer, overwritten.
const char *I_method_string(int m);
// 0 when m < 0 and automatic is set, else |m|.
int revise_method(int m, int automatic);
// Sets *table to the table of method *method (see the method numbers); an invalid or unavailable
// method writes a message naming name and sets *method to 0.
void set_table(int *method, float **table, float *flat, Node *lettcount, Node *freqave, Node *generic,
               Node *geometric, const char *name);
// A new node holding the normalised geometric means of the model's non-FIM transitions and
// emissions. Fatal when the model has no non-FIM node among 1..L-1.
Node *make_geometric_ave_node(Model *model);
// Normalises the transition columns and the emission tables of one node (positive sums only).
void normalize_node(Node *node);
// Copies a's flength entries from src to dst; nothing when either is null.
void copy_alphlen_table(float *dst, const float *src, const Alphabet *a);
// Makes node k a FIM whose insert table is table (codon-typed nodes: message, unchanged).
void turn_into_fim(Model *model, const float *table, int k);
// Rebuilds FIM nodes that carry match values; warns once per process when warn is set.
void check_fims(Model *model, int warn);
// Adds FIMs at both ends unless nodes 0 and L are FIMs: *holder gets a model one node longer.
// *added (may be null) says whether it did; *method (may be null) the method of the insert table.
void add_fims_at_ends(Model **holder, int *added, int *method);
// 1 when any node 0..L+1 is a FIM.
int has_fim(const Model *model);
// Applies FIM_method / Insert_method to the model's inserts and fills fim_node; 1 when a table
// was found. The effective methods go to *fim_used and *insert_used (both may be null).
int change_inserts_set_fim(Model *model, int fim_method, int insert_method, int automatic, int *fim_used,
                           int *insert_used);
// Local-mode step: reports the mode once, forces *adjust_score to 0 in modes 0 and 3, adds FIMs at
// the ends when the mode and add ask for them, reports FIMs per track. log may be null.
void setup_sw_add_fims(Model **holder, int add, int local_mode, int32_t *adjust_score, int track, FILE *log);
// Sets the process-wide flag that FIMs were added at the ends (or a query model was built).
void set_fims_added();
// Clears that flag.
void clear_fims_added();
// The flag: 1 when FIMs were added at the ends or a query model was built.
int fims_added();
// Takes back the delete step through the appended end FIM from seq's alignment string, when FIMs
// were added; null or unaligned sequences are left alone.
void remove_fim_delete_if_auto(Sequence *seq);

// ---- Loading (model_load.cpp) -----------------------------------------------------------------

// Loads the models of a run from *base_holder (consumed), a query sequence (score->query) or the
// trackmod files; *models and *coefficients get arrays with one entry per track. Returns the number
// of models, 0 after a non-fatal failure (flags bit 1 makes every failure fatal).
int read_and_process_track_models(RModel **base_holder, const char *display_name, Model ***models,
                                  float **coefficients, const char *trackmod, const char *trackcoeff,
                                  int add_fims, int local_mode, ScoreParams *score, FILE *log,
                                  int require_all_tracks, int flags);
// Releases models[0..count-1] and both arrays, nulling both holders; null holders are fine.
void free_track_models(Model ***models, float **coefficients, int count);
// The query-sequence model of score->query, scored with score->matrix and the gap costs.
Model *sw_model(ScoreParams *score, FILE *log);

// ---- Substitution matrices (matrix.cpp) -------------------------------------------------------

constexpr int MATRIX_LINE_BUFFER = 2000;  // capacity of a line of a matrix file

// Reads the substitution matrix file name (along BLASTMAT); fwild_length + 1 rows, release with
// double_free. A null or empty name gives null. reserved1 and reserved2 are unused (pass null).
int32_t **read_matrix(const char *name, void *reserved1, void *reserved2, FILE *log);

}  // namespace qor

#endif
