// Alignment kernel: minimum over the paths with trace codes.
// The recurrence itself is written once, in dprow_impl.h.
#include "forward2/dprow_impl.h"

namespace qor {

using dprow_align_options = dprow::Options<false, true, false, true, true, true>;

DPcell *dprow_align(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n, int last,
                    int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace, int mode,
                    const PosConstraint *pc, const FBnodeinfo *info) {
  return dprow::dprow_kernel<dprow_align_options>(trans, mcol, icol, j, n, last, L, prev, cur, flow, trace,
                                                  mode, pc, info);
}

}  // namespace qor
