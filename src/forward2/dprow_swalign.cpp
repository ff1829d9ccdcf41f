// Query-sequence alignment kernel: as the query-sequence Viterbi kernel, with trace codes.
// The recurrence itself is written once, in dprow_impl.h.
#include "forward2/dprow_impl.h"

namespace qor {

using dprow_swalign_options = dprow::Options<false, true, false, false, true, false>;

DPcell *dprow_swalign(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n, int last,
                      int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace, int mode,
                      const PosConstraint *pc, const FBnodeinfo *info) {
  return dprow::dprow_kernel<dprow_swalign_options>(trans, mcol, icol, j, n, last, L, prev, cur, flow, trace,
                                                    mode, pc, info);
}

}  // namespace qor
