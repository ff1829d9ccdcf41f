// Forward kernel, scalar reference: log-sum over all paths (the vector form is in
// dprow_sum_fast.cpp). The recurrence itself is written once, in dprow_impl.h.
#include "forward2/dprow_impl.h"
#include "forward2/dprow_variants.h"

namespace qor {

using dprow_forward_options = dprow::Options<true, false, false, true, true, true>;

DPcell *dprow_forward_ref(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n,
                          int last, int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace, int mode,
                          const PosConstraint *pc, const FBnodeinfo *info) {
  return dprow::dprow_kernel<dprow_forward_options>(trans, mcol, icol, j, n, last, L, prev, cur, flow, trace,
                                                    mode, pc, info);
}

}  // namespace qor
