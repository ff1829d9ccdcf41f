// Alignment kernel: minimum over the paths with trace codes. Scalar reference.
// The recurrence itself is written once, in dprow_impl.h; dprow_min_fast.cpp holds the kernel by the
// plain name, which runs the vector form where the processor has it.
#include "forward2/dprow_impl.h"
#include "forward2/dprow_variants.h"

namespace qor {

DPcell *dprow_align_ref(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n,
                        int last, int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace, int mode,
                        const PosConstraint *pc, const FBnodeinfo *info) {
  return dprow::dprow_kernel<dprow::AlignOptions>(trans, mcol, icol, j, n, last, L, prev, cur, flow, trace,
                                                  mode, pc, info);
}

}  // namespace qor
