// The implementations behind the minimum row kernels: the scalar reference kernels, and the
// choice between them and the vector (AVX2) form that dprow_viterbi, dprow_align,
// dprow_swviterbi and dprow_swalign run when the processor has it.
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

// ---- Implementation choice --------------------------------------------------------------------

constexpr int DPROW_SCALAR = 0;  // the reference kernels
constexpr int DPROW_AVX2 = 1;    // the AVX2 minimum kernels (x86-64 processors with AVX2)

// The best implementation this processor runs: DPROW_AVX2 or DPROW_SCALAR.
int dprow_supported_path();
// The implementation the minimum kernels use now (at first the supported one).
int dprow_active_path();
// Makes the minimum kernels use `path`, lowered to what the processor supports; returns the
// implementation now in use. For tests and benchmarks that compare the two.
int dprow_select_path(int path);

}  // namespace qor

#endif
