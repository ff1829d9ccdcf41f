// The implementations behind the row kernels: the scalar reference kernels, and the choice
// between them and the vector (AVX2) form that dprow_viterbi, dprow_align, dprow_swviterbi,
// dprow_swalign, dprow_forward and dprow_backward run when the processor has it.
//
// Sections: reference kernels | implementation choice
#ifndef QOR_FORWARD2_DPROW_VARIANTS_H
#define QOR_FORWARD2_DPROW_VARIANTS_H

#include "forward2/forward2.h"

namespace qor {

// ---- Reference kernels ------------------------------------------------------------------------
// The recurrence written node by node (dprow_impl.h); every faster form must give the same rows
// and trace codes. Same arguments as the kernels of forward2.h.

// Minimum (Viterbi) without trace, scalar reference.
DPcell *dprow_viterbi_ref(const FBtrans *, const int32_t *, const int32_t *, int, int, int, int, DPcell *,
                          DPcell *, FBtrans *, DPcell *, int, const PosConstraint *, const FBnodeinfo *);
// Minimum with trace codes, scalar reference.
DPcell *dprow_align_ref(const FBtrans *, const int32_t *, const int32_t *, int, int, int, int, DPcell *,
                        DPcell *, FBtrans *, DPcell *, int, const PosConstraint *, const FBnodeinfo *);
// Query-sequence minimum without trace, scalar reference.
DPcell *dprow_swviterbi_ref(const FBtrans *, const int32_t *, const int32_t *, int, int, int, int, DPcell *,
                            DPcell *, FBtrans *, DPcell *, int, const PosConstraint *, const FBnodeinfo *);
// Query-sequence minimum with trace codes, scalar reference.
DPcell *dprow_swalign_ref(const FBtrans *, const int32_t *, const int32_t *, int, int, int, int, DPcell *,
                          DPcell *, FBtrans *, DPcell *, int, const PosConstraint *, const FBnodeinfo *);

// Log-sum over all paths, scalar reference of dprow_forward.
DPcell *dprow_forward_ref(const FBtrans *, const int32_t *, const int32_t *, int, int, int, int, DPcell *,
                          DPcell *, FBtrans *, DPcell *, int, const PosConstraint *, const FBnodeinfo *);
// Log-sum over the reversed model with the transition-flow row, scalar reference of dprow_backward.
DPcell *dprow_backward_ref(const FBtrans *, const int32_t *, const int32_t *, int, int, int, int, DPcell *,
                           DPcell *, FBtrans *, DPcell *, int, const PosConstraint *, const FBnodeinfo *);
// The posterior combination written state by state, scalar reference of combine_rows (same
// arguments; the same posteriors and path record).
void combine_rows_ref(int L, int j, int letter, const DPcell *F, const DPcell *B, const int32_t *rmcol,
                      const int32_t *ricol, const FBtrans *Wj, const FBtrans *Wj1, FBmodel *counts, int style,
                      PathRecord *path, int32_t total);

// ---- Implementation choice --------------------------------------------------------------------

constexpr int DPROW_SCALAR = 0;  // the reference kernels
constexpr int DPROW_AVX2 = 1;    // the AVX2 minimum kernels (x86-64 processors with AVX2)

// The best implementation this processor runs: DPROW_AVX2 or DPROW_SCALAR.
int dprow_supported_path();
// The implementation the minimum kernels and the log-sum kernels (dprow_forward, dprow_backward)
// use now (at first the supported one); with DPROW_SCALAR combine_rows runs combine_rows_ref too.
int dprow_active_path();
// Makes the minimum and log-sum kernels use `path`, lowered to what the processor supports; returns the
// implementation now in use. For tests and benchmarks that compare the two.
int dprow_select_path(int path);

}  // namespace qor

#endif
