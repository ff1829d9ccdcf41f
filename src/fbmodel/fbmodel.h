// DP-ready model tables: flat integer cost tables of a prepared model in forward and reversed node
// order, the posterior store of one sequence, and the conversion of models and query sequences.
//
// Sections: records | FBmodel storage | PDmodel storage | conversion
#ifndef QOR_FBMODEL_FBMODEL_H
#define QOR_FBMODEL_FBMODEL_H

#include <cstdint>

#include "models/models.h"
#include "sequence/sequence.h"

namespace qor {

// Infinite cost inside the DP tables: an impossible state or transition.
constexpr int32_t DP_INFINITY = 100000000;
// Posterior costs are clamped to 0..PD_MAX_COST (20 nats).
constexpr int32_t PD_MAX_COST = 20000;

// ---- Records ----------------------------------------------------------------------------------

// The nine transition costs into the three states of one node, named source2target:
// into D_k from D, M, I of node k-1; into M_k from D, M, I of node k-1; into I_k from D, M, I of node k.
struct FBtrans {
  int32_t d2d, m2d, i2d;  // entries 1-3
  int32_t d2m, m2m, i2m;  // entries 4-6
  int32_t d2i, m2i, i2i;  // entries 7-9
};

// Label and type character of one node.
struct FBnodeinfo {
  int32_t label;  // node label, -1 when the node carries none
  char type;      // node type character (0, 'F', 'C', 'D', 'E', ...)
};

// Flat DP tables of one model. Each group of per-letter tables (itables, mtables, ritables,
// rmtables) is one block: table c starts at group[0] + c * (length + 2).
struct FBmodel {
  int32_t length;         // L, -1 when never sized
  FBtrans *trans;         // L + 2 entries
  FBtrans *rtrans;        // L + 2 entries, reversed model
  int32_t **itables;      // per letter: insert cost at nodes 0..L+1
  int32_t **mtables;      // per letter: match cost at nodes 0..L+1
  int32_t **ritables;     // reversed insert costs, or null
  int32_t **rmtables;     // reversed match costs, or null
  FBnodeinfo *nodeinfo;   // L + 2 entries
  FBnodeinfo *rnodeinfo;  // L + 2 entries in reversed node order, or null
  int32_t is_seqmodel;    // 1 when built from a query sequence
  int32_t num_letters;    // number of per-letter tables (fwild_length when sized)
};

// Posterior costs of one sequence.
struct PDmodel {
  int32_t modlength;     // L, -1 when never sized
  int32_t seqlength;     // n, -1 when never sized
  FBtrans **ptrans;      // rows -1..n (ptrans[-1] valid), each L + 2 entries; or null
  int32_t **mposterior;  // rows 0..n-1, each L + 2 costs
  int32_t **iposterior;  // rows 0..n-1, each L + 2 costs
};

// ---- FBmodel storage --------------------------------------------------------------------------

// A new record: length -1, every table absent, is_seqmodel 0.
FBmodel *alloc_FBmodel();
// Releases every table of fb and marks it absent; null does nothing. The record stays.
void clear_FBmodel(FBmodel *fb);
// Makes fb hold tables for length L and `letters` letter indices (reversed tables when with_reverse);
// keeps the tables when they already fit. New contents are undefined.
void size_FBmodel(FBmodel *fb, int L, int letters, int with_reverse);
// Sizes fb without reversed tables and sets every transition and emission cost to DP_INFINITY.
void zero_FBmodel(FBmodel *fb, int L, int letters);

// ---- PDmodel storage --------------------------------------------------------------------------

// A new record: both lengths -1, all tables absent.
PDmodel *alloc_PDmodel();
// Releases every row and marks the tables absent; null does nothing.
void clear_PDmodel(PDmodel *pd);
// Sizes pd for model length L and sequence length n (ptrans only when no_trans is 0).
void size_PDmodel(PDmodel *pd, int L, int n, int no_trans);
// Sizes pd, then sets every posterior (and, with ptrans, every transition posterior) to PD_MAX_COST.
void zero_PDmodel(PDmodel *pd, int L, int n, int no_trans);

// ---- Conversion -------------------------------------------------------------------------------

// Fills fb (allocated when null) from a prepared model, emission costs scaled by coefficient and
// truncated toward zero; returns it. Fatal "Null model or modweight in model2fbmodel".
FBmodel *model2fbmodel(Model *model, FBmodel *fb, float coefficient);
// Fills fb (allocated when null) for the query-sequence model of seq under matrix (rows by letter
// of seq, columns by letter index), gap and gap-continue costs; returns it.
FBmodel *seq2fbmodel(Sequence *seq, int32_t **matrix, int32_t gap, int32_t gap_continue, FBmodel *fb);

}  // namespace qor

#endif
