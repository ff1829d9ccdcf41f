// Backward kernel, scalar reference (the vector form is in dprow_sum_fast.cpp): log-sum over the reversed
// model, writing the transition-flow row.
//
// The recurrence is the one of every row kernel, run over the reversed tables (reverse node r is
// forward node L+1-r, and the residues arrive from last to first): node 0, then nodes 1..L+1 with
// D from the current row at r-1, M from the previous row at r-1 and I from the previous row at r,
// combined by log-sum. Beside the row it writes the flow row: each of the nine transition terms
// into node r (predecessor plus transition cost) before they are combined.
//
// Local jumps are those of the forward model read backwards, so that both directions sum over the
// same paths:
//   - a forward jump out of M_k into D_L becomes a jump from D'_1 of the previous backward row
//     into M'_r: granted in the rows where the forward model jumps out, at nodes whose type allows
//     a jump out, at the cost jump_out_cost;
//   - a forward jump in from D_1 into M_k becomes a jump out of M'_r into D'_L of the same row:
//     granted in the rows where the forward model jumps in, at nodes whose type allows a jump in,
//     at the cost jump_in_cost.
// With a constrained residue the forward kernels charge a jump in the raw match cost; its mirror,
// the jump out here, is charged the raw cost too, while every other use of M'_r carries the
// adjusted cost.
//
// Sections: combination | one node | one row | kernel entry
#include "forward2/dprow_variants.h"
#include "forward2/forward2.h"

namespace qor {
namespace {

// ---- Combination ------------------------------------------------------------------------------

inline int32_t cap(int32_t x) {
  return x < DP_INFINITY ? x : DP_INFINITY;
}

// Three candidates of one state: (d (+) i) capped, (+) m, capped.
inline int32_t logsum3(int32_t d, int32_t m, int32_t i) {
  return cap(sumlog(cap(sumlog(d, i)), m));
}

// ---- One node ---------------------------------------------------------------------------------

// Jump state of one backward row.
struct BackJumps {
  int32_t in_base;  // Q[1].D + jump_out_cost: the mirror of the forward jump out
  int32_t out;      // X: the log-sum of M'_r + jump_in_cost, the mirror of the forward jump in
};

// Node r of the row (kIn, kOut: this node may take the jumps the row grants).
// Invariant: R[0..r-1] hold the current row, Q the previous backward row (residue j+1).
template <bool kConstr, bool kIn, bool kOut>
inline void back_node(int r, const FBtrans *T, const int32_t *mcol, const int32_t *icol, const DPcell *Q,
                      DPcell *R, FBtrans *F, const PosConstraint *pc, const FBnodeinfo *info, BackJumps &jp) {
  const FBtrans &t = T[r];
  const int32_t raw_m = mcol[r];
  int32_t m = raw_m, i = icol[r];
  if constexpr (kConstr) {  // m = min(INF, d (+) (m + z)), i = i + z
    int32_t d = info[r].label == pc->label ? pc->satisfied_cost : pc->unsatisfied_cost;
    m = cap(sumlog(d, raw_m + pc->unconstrained_cost));
    i += pc->unconstrained_cost;
  }
  // The nine terms into node r.
  const int32_t dd = R[r - 1].D + t.d2d, dm = R[r - 1].M + t.m2d, di = R[r - 1].I + t.i2d;
  const int32_t md = Q[r - 1].D + t.d2m, mm = Q[r - 1].M + t.m2m, mi = Q[r - 1].I + t.i2m;
  const int32_t id = Q[r].D + t.d2i, im = Q[r].M + t.m2i, ii = Q[r].I + t.i2i;
  F[r] = FBtrans{dd, dm, di, md, mm, mi, id, im, ii};

  const int32_t D = logsum3(dd, dm, di);      // D'_r: silent move within the row
  const int32_t pre = logsum3(md, mm, mi);    // M'_r before its emission
  int32_t M = m + pre;                        // M'_r: emits residue j
  const int32_t I = i + logsum3(id, im, ii);  // I'_r: emits residue j

  const char type = info[r].type;
  if constexpr (kIn) {  // from D'_1 of the previous row (forward: jump out of M_k)
    if (type != 'C' && type != 'D') M = cap(sumlog(M, jp.in_base + m));
  }
  if constexpr (kOut) {  // towards D'_L of this row (forward: jump in to M_k, raw match cost)
    if (type != 'D' && type != 'E') {
      int32_t from = M;
      if constexpr (kConstr) {
        from = raw_m + pre;
        if constexpr (kIn) {
          if (type != 'C' && type != 'D') from = cap(sumlog(from, jp.in_base + raw_m));
        }
      }
      jp.out = cap(sumlog(jp.out, from + jump_in_cost));
    }
  }
  R[r] = DPcell{D, M, I};
}

// ---- One row ----------------------------------------------------------------------------------

template <bool kConstr, bool kIn, bool kOut>
void back_row(const FBtrans *T, const int32_t *mcol, const int32_t *icol, int L, const DPcell *Q, DPcell *R,
              FBtrans *F, const PosConstraint *pc, const FBnodeinfo *info) {
  BackJumps jp{0, DP_INFINITY};
  if constexpr (kIn) jp.in_base = Q[1].D + jump_out_cost;

  // Node 0: D and M impossible; I from the previous row at node 0 (only the insert cost adjusted).
  {
    int32_t i0 = icol[0];
    if constexpr (kConstr) i0 += pc->unconstrained_cost;
    const int32_t id = Q[0].D + T[0].d2i, im = Q[0].M + T[0].m2i, ii = Q[0].I + T[0].i2i;
    F[0] = FBtrans{DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY, id, im, ii};
    R[0] = DPcell{DP_INFINITY, DP_INFINITY, i0 + logsum3(id, im, ii)};
  }
  // Node 1: never jumps.
  back_node<kConstr, false, false>(1, T, mcol, icol, Q, R, F, pc, info, jp);
  // Nodes 2..L-1: the only nodes where local jumps happen.
  for (int r = 2; r <= L - 1; r++) back_node<kConstr, kIn, kOut>(r, T, mcol, icol, Q, R, F, pc, info, jp);
  // Node L (when L > 1), where the jumps out land in D'_L.
  if (L > 1) back_node<kConstr, false, false>(L, T, mcol, icol, Q, R, F, pc, info, jp);
  if constexpr (kOut) R[L].D = cap(sumlog(jp.out, R[L].D));
  // End node L+1 (the forward begin node).
  back_node<kConstr, false, false>(L + 1, T, mcol, icol, Q, R, F, pc, info, jp);
}

// ---- Kernel entry -----------------------------------------------------------------------------

template <bool kConstr>
void back_row_by_jumps(bool in, bool out, const FBtrans *T, const int32_t *mcol, const int32_t *icol, int L,
                       const DPcell *Q, DPcell *R, FBtrans *F, const PosConstraint *pc,
                       const FBnodeinfo *info) {
  if (in && out)
    back_row<kConstr, true, true>(T, mcol, icol, L, Q, R, F, pc, info);
  else if (in)
    back_row<kConstr, true, false>(T, mcol, icol, L, Q, R, F, pc, info);
  else if (out)
    back_row<kConstr, false, true>(T, mcol, icol, L, Q, R, F, pc, info);
  else
    back_row<kConstr, false, false>(T, mcol, icol, L, Q, R, F, pc, info);
}

}  // namespace

// dprow_backward_ref: row j of the backward pass (residue j of n; the previous row is that of j+1,
//   or the initial backward row for j = n-1) over the reversed tables T, reversed emission
//   columns and reversed node information; writes the current row and the flow row and returns
//   the current row. The reversed model jumps in where the forward model jumps out (semi-local:
//   residue n-1, not when n is 1; local: every residue) and jumps out where the forward model
//   jumps in (semi-local: residue 0; local: every residue). All nodes 0..L+1 are computed.
DPcell *dprow_backward_ref(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n,
                           int last, int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace, int mode,
                           const PosConstraint *pc, const FBnodeinfo *info) {
  (void)last;
  (void)trace;
  const bool in = mode == 2 || (mode == 1 && j == n - 1 && n != 1);  // forward jump out
  const bool out = mode == 2 || (mode == 1 && j == 0);               // forward jump in
  if (pc == nullptr) pc = &noPosConstraint;
  if (pc->label != -1)
    back_row_by_jumps<true>(in, out, trans, mcol, icol, L, prev, cur, flow, pc, info);
  else
    back_row_by_jumps<false>(in, out, trans, mcol, icol, L, prev, cur, flow, pc, info);
  return cur;
}

}  // namespace qor
