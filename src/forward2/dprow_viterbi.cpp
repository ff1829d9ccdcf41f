// Viterbi kernel: minimum over the paths, no trace.
// The recurrence itself is written once, in dprow_impl.h.
#include "forward2/dprow_impl.h"

namespace qor {

using dprow_viterbi_options = dprow::Options<false, false, false, true, true, true>;

DPcell *dprow_viterbi(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n, int last,
                      int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace, int mode,
                      const PosConstraint *pc, const FBnodeinfo *info) {
  return dprow::dprow_kernel<dprow_viterbi_options>(trans, mcol, icol, j, n, last, L, prev, cur, flow, trace,
                                                    mode, pc, info);
}

}  // namespace qor
