// Backward kernel: log-sum over the reversed model, writing the transition-flow row.
// The recurrence itself is written once, in dprow_impl.h.
#include "forward2/dprow_impl.h"

namespace qor {

using dprow_backward_options = dprow::Options<true, false, true, true, true, true>;

DPcell *dprow_backward(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n, int last,
                       int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace, int mode,
                       const PosConstraint *pc, const FBnodeinfo *info) {
  return dprow::dprow_kernel<dprow_backward_options>(trans, mcol, icol, j, n, last, L, prev, cur, flow, trace,
                                                     mode, pc, info);
}

}  // namespace qor
