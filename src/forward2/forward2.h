// The DP engine: row kernels (log-sum and minimum), the memory-bounded driver with checkpoints,
// Viterbi traceback and alignment encoding, the posterior combination entry points, null-model
// scores and probabilistic-sequence scaling.
//
// Sections: cells and tables | row kernels | engine state | set-up and passes | traceback and
// encoding | posterior combination | null scores | DP cost range
#ifndef QOR_FORWARD2_FORWARD2_H
#define QOR_FORWARD2_FORWARD2_H

#include <cstdint>

#include "fbmodel/fbmodel.h"
#include "models/models.h"
#include "sequence/sequence.h"

namespace qor {

// ---- Cells and tables -------------------------------------------------------------------------

// One node of one DP row (costs), or of one trace row (predecessor codes).
struct DPcell {
  int32_t D, M, I;
};

// Trace codes of a trace row: the predecessor state (of node k-1 for D and M, of node k for I),
// 1 for a match entered by a jump in from the begin, k >= 0 in D_L for a jump out of M_k.
constexpr int32_t TRACE_D = -1;
constexpr int32_t TRACE_M = -2;
constexpr int32_t TRACE_I = -3;
constexpr int32_t TRACE_JUMP_IN = 1;
// End of a path code list.
constexpr int32_t PATH_END = -4;

// Largest cost difference the log-sum table covers.
constexpr int SUMLOG_MAX = 7600;
// SUMLOG[d]: the cost correction for adding two probabilities whose costs differ by d.
extern int32_t SUMLOG[SUMLOG_MAX + 1];
// 693 once SUMLOG is built, 0 before.
extern int32_t log05;
// Fills SUMLOG and sets log05.
void build_sumlog();
// a (+) b: the cost of the sum of the two probabilities of costs a and b.
inline int32_t sumlog(int32_t a, int32_t b) {
  int32_t lo = a < b ? a : b;
  int32_t d = a < b ? b - a : a - b;
  return d <= SUMLOG_MAX ? lo - SUMLOG[d] : lo;
}

// The constraint of a residue without constraints: (-1, 80000, 80000, 0).
extern PosConstraint noPosConstraint;

// ---- Row kernels ------------------------------------------------------------------------------

// Every kernel: transitions (null for dprow_zalign), match and insert cost columns of residue j,
// j, n, last node (>= L+1), L, previous row, current row (written), transition-flow row (backward
// kernel only), trace row (alignment kernels only; may lie two cells below the previous row),
// local mode (0 global, 1 semi-local, 2 local), constraint of residue j, node information.
// Returns the current row.
typedef DPcell *(*DPkernel)(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n,
                            int last, int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace,
                            int mode, const PosConstraint *pc, const FBnodeinfo *info);

// Log-sum over all paths.
DPcell *dprow_forward(const FBtrans *, const int32_t *, const int32_t *, int, int, int, int, DPcell *,
                      DPcell *, FBtrans *, DPcell *, int, const PosConstraint *, const FBnodeinfo *);
// Log-sum over the reversed model, writing the transition-flow row.
DPcell *dprow_backward(const FBtrans *, const int32_t *, const int32_t *, int, int, int, int, DPcell *,
                       DPcell *, FBtrans *, DPcell *, int, const PosConstraint *, const FBnodeinfo *);
// Minimum (Viterbi) without trace.
DPcell *dprow_viterbi(const FBtrans *, const int32_t *, const int32_t *, int, int, int, int, DPcell *,
                      DPcell *, FBtrans *, DPcell *, int, const PosConstraint *, const FBnodeinfo *);
// Minimum with trace codes.
DPcell *dprow_align(const FBtrans *, const int32_t *, const int32_t *, int, int, int, int, DPcell *, DPcell *,
                    FBtrans *, DPcell *, int, const PosConstraint *, const FBnodeinfo *);
// Minimum with trace codes, emissions only (the transition table is ignored).
DPcell *dprow_zalign(const FBtrans *, const int32_t *, const int32_t *, int, int, int, int, DPcell *,
                     DPcell *, FBtrans *, DPcell *, int, const PosConstraint *, const FBnodeinfo *);
// Query-sequence models: minimum, no transition into match states, no insert emission.
DPcell *dprow_swviterbi(const FBtrans *, const int32_t *, const int32_t *, int, int, int, int, DPcell *,
                        DPcell *, FBtrans *, DPcell *, int, const PosConstraint *, const FBnodeinfo *);
// As dprow_swviterbi, with trace codes.
DPcell *dprow_swalign(const FBtrans *, const int32_t *, const int32_t *, int, int, int, int, DPcell *,
                      DPcell *, FBtrans *, DPcell *, int, const PosConstraint *, const FBnodeinfo *);

// ---- Engine state -----------------------------------------------------------------------------

extern FBmodel *FB;                          // DP tables of the track-0 model
extern FBmodel *FBtrack[MAX_TRACKS];         // DP tables per track; entry 0 is FB
extern Model *MD;                            // the track-0 model as passed in
extern Model *Modtrack[MAX_TRACKS];          // the models as passed in
extern double trackcoeff[MAX_TRACKS];        // track coefficients
extern int32_t numtracks;                    // tracks set up (0)
extern int32_t DP_style;                     // DP style code (0)
extern int32_t Traceback;                    // traceback storage flag; 3 = all-paths cost for styles 4, 5 (0)
extern int32_t SW_mode;                      // local mode handed to the kernels (0)
extern int32_t Prob_seq_method;              // probabilistic-residue scoring method
extern const char *pdoc_output_file;         // output file name of style 2
extern float scalefactor;                    // cost divisor of the returned score (1000)
extern int32_t jump_in_cost, jump_out_cost;  // local-jump costs (80000)
extern int32_t SWgap, SWcont;                // gap costs of a query-sequence model
extern int32_t dpmodlen;                     // L (-1)
extern int32_t rowlen;                       // cells per stored row (-1)
extern int32_t rowbytes;                     // bytes per stored row (-1)
extern DPcell *dpspace;                      // row store: two spare cells, then rowtot rows
extern int32_t dpmemalloc;                   // bytes held by the row store (0)
extern int32_t rowtot;                       // rows in the row store (-1)
extern int32_t *rowindex;                    // per slot: residue row held, -1 none, -j a trace row
extern int32_t dprowtot;                     // allocated length of rowindex (-1)
extern DPcell *betaspace, *boldspace;        // current and previous backward rows
extern FBtrans *betatransspace, *boldtransspace;  // current and previous flow rows
extern int32_t dprowbytes, dpbetalength;          // allocated sizes of the backward rows and flow rows (-1)
extern int32_t *alignspace;                       // path code list
extern int32_t dpalen;                            // allocated length of alignspace (-1)
extern int32_t *mtabmem, *itabmem;                // scratch emission columns
extern int32_t imtaballoc;                        // allocated length of the scratch columns (0)
extern PDmodel *PD;                               // posteriors of the current sequence
extern DPcell *posspace;                          // row store of the posterior-decoded alignment
extern int32_t pdmemalloc;                        // bytes held by posspace (0)
extern int32_t posdecodeseqlen;                   // longest sequence that can be posterior-decoded (0)
extern FBmodel *fbfreq;                           // expected-count accumulator
extern DPkernel forward_inplace, forward_save, backward_trace;  // kernel slots

// Probabilistic-sequence scaling per track (1.0 and 0.0 by default).
extern double ps_scale[MAX_TRACKS];
extern double ps_shift[MAX_TRACKS];

// ---- Set-up and passes ------------------------------------------------------------------------

// Sets up a run for one track (model null keeps the models already set up).
void init_forward2(Model *model, float coefficient, int maxlen, int sw_option, double jump_in_prob,
                   double jump_out_prob, int style, int pseq_method, int traceback, const char *pdoc_file);
// Sets up a run for ntracks tracks.
void init_forward2_tracks(Model **models, const float *coefficients, int ntracks, int maxlen, int sw_option,
                          double jump_in_prob, double jump_out_prob, int style, int pseq_method,
                          int traceback, const char *pdoc_file);
// Adds track `track` (which must be numtracks) with its model and coefficient.
void add_track_forward2(Model *model, int track, float coefficient);
// Releases every table and all working storage; sizes back to their initial values.
void free_forward2();
// Aligns one sequence; returns its cost / scalefactor. count_model is null in this system.
double forback2(Sequence *seq, Model *count_model, int track);
// Chooses the kernels for seq; returns the style used for it.
int set_procedures_and_style(Sequence *seq, int style, int pseq_method);
// The emission columns of residue j (forward, or reversed when reverse is 1).
void set_prob_mi_tabs(int32_t **mcol, int32_t **icol, Sequence *seq, int j, int reverse);
// Writes the initial row (and the initial flow row when flow is given) of a model of length L.
void init_dprow(int L, DPcell *row, const FBtrans *table, FBtrans *flow);

// Letter index of residue j of seq on track (codon index under the codon alphabet, reading in
// the pass's direction).
int dp_letter_index(const Sequence *seq, int track, int j, int reverse);

// A record of the checkpoint schedule of the last forback2 calls, for inspection: when
// dp_schedule_log is non-null the driver appends one event per checkpoint stored and per segment
// of rows (re)computed or found stored.
struct DPscheduleEvent {
  int32_t kind;       // DP_EVENT_STORED, DP_EVENT_CHECKPOINT, DP_EVENT_SEGMENT, DP_EVENT_FOUND
  int32_t first_row;  // first row of the run
  int32_t last_row;   // last row of the run
  int32_t slot;       // slot of the first row (checkpoint: the slot it is kept in)
};
constexpr int DP_EVENT_STORED = 1;      // phase 1: rows stored in slots 1..
constexpr int DP_EVENT_CHECKPOINT = 2;  // phase 2: a checkpoint row kept in one slot
constexpr int DP_EVENT_SEGMENT = 3;     // phase 3: rows recomputed into consecutive slots
constexpr int DP_EVENT_FOUND = 4;       // phase 3: rows found stored from phase 1
constexpr int DP_SCHEDULE_CAPACITY = 4096;
struct DPscheduleLog {
  int32_t count;  // events recorded (at most DP_SCHEDULE_CAPACITY; later events are dropped)
  int32_t s1;     // rows stored in phase 1
  DPscheduleEvent events[DP_SCHEDULE_CAPACITY];
};
extern DPscheduleLog *dp_schedule_log;

// ---- Traceback and encoding -------------------------------------------------------------------

// Appends the path codes of one trace row; updates *state and *node.
void viterbi_traceback(const DPcell *trace, int32_t *path, int *path_length, int *state, int j, int *node);
// Appends one insert code for each of the rows s..0, then the end marker.
void fast_viterbi(int32_t *path, int *path_length, int s);
// Replaces seq's alignment with the encoding of path; returns the path's cost (64-bit: a long
// sequence may cost more than the 32-bit range holds).
int64_t encode_alignment(const int32_t *path, Sequence *seq, int L, Model *count_model);
// With seq: starts a backward walk over its alignment and returns L. With null: the node of the
// next residue backwards (*match 1 match, 0 insert), or -1 when the walk is over.
int backstep_alignment(Sequence *seq, int L, int style, int *match);

// ---- Posterior combination --------------------------------------------------------------------

// Combines the forward row F and backward row B of residue j (j = -1: the initial row) into the
// posteriors of the style; counts are added only when count tables are given.
void combine_rows(int L, int j, int letter, const DPcell *F, const DPcell *B, const int32_t *rmcol,
                  const int32_t *ricol, const FBtrans *Wj, const FBtrans *Wj1, FBmodel *counts, int style,
                  PathRecord *path, int32_t total);
// The posterior-decoded alignment of styles 4 and 5 over PD (after the backward pass); returns
// the cost that forback2 reports.
int32_t posterior_decoded_alignment(Sequence *seq, int style, int32_t cost);
// Expected-count accumulation: returns at once when count_model is null.
void accumulate_frequencies(Model *count_model, FBmodel *counts, int32_t total);

// ---- Null scores ------------------------------------------------------------------------------

// (x - base_null_score) + score_adjustment; 1000000 passes through.
long double null_mod_score(Model **models, const float *coefficients, int ntracks, Sequence *seq, float x,
                           int adjust);
// Null-model score of seq in nats.
double base_null_score(Model **models, const float *coefficients, int ntracks, Sequence *seq);
// Length adjustment of mode adjust for sequence length n and model length L.
long double score_adjustment(int adjust, int n, int L);
// Sets ps_scale and ps_shift of every track for seq under method.
void set_pseq_scale(Model **models, int ntracks, Sequence *seq, int method);

// ---- DP cost range ----------------------------------------------------------------------------

// Row values are kept at most DP_SAFE_MAX in magnitude so that no sum formed by a kernel leaves
// the 32-bit range; a sequence whose costs would go beyond is refused (fatal, naming it).
constexpr int32_t DP_SAFE_MAX = 1400000000;

// Viterbi rows (style 1) are renormalised so that their finite values stay far below the DP
// infinity that node 0 holds as a plain number: once the smallest value of a computed row reaches
// DP_RENORM_TRIGGER, that minimum is subtracted from every cell below DP_INFINITY (cells at or
// above it are left as they are) and added to a 64-bit offset kept with the row; stored rows and
// checkpoints carry their offsets, and the returned cost adds the offset back. Minimum
// comparisons and trace codes do not change under the shift, and no row of a sequence whose
// values stay below the trigger is touched. dp_renormalise 0 turns it off (for tests) (1).
constexpr int32_t DP_RENORM_TRIGGER = 60000000;
extern int32_t dp_renormalise;

}  // namespace qor

#endif
