// The row recurrence shared by the seven row kernels, written once: node 0, node 1, the nodes
// 2..L-1 that may take local jumps, node L (where a jump out lands) and the end node L+1. These
// scalar kernels are the reference; the vector minimum kernels (dprow_min_fast.cpp) reuse the
// row's head and tail from here and must give identical rows and trace codes.
// A kernel is an instantiation of dprow_kernel with its combination (log-sum or minimum) and its
// options; the local mode, the row position and the presence of a constraint select one of eight
// loop instantiations once per row, so the loop over nodes branches only on the node type.
//
// Sections: combination | one node | one row | kernel entry
#ifndef QOR_FORWARD2_DPROW_IMPL_H
#define QOR_FORWARD2_DPROW_IMPL_H

#include "forward2/forward2.h"

namespace qor {
namespace dprow {

// ---- Combination ------------------------------------------------------------------------------

// Compile-time description of one kernel.
template <bool kLogsum, bool kTrace, bool kFlow, bool kMatchTrans, bool kOtherTrans, bool kInsertEmit>
struct Options {
  static constexpr bool logsum = kLogsum;           // combine by log-sum (else minimum)
  static constexpr bool trace = kTrace;             // write trace codes
  static constexpr bool flow = kFlow;               // write the transition-flow row
  static constexpr bool match_trans = kMatchTrans;  // transition costs into match states
  static constexpr bool other_trans = kOtherTrans;  // transition costs into delete and insert states
  static constexpr bool insert_emit = kInsertEmit;  // insert emission costs
};

// The minimum kernels: log-sum, trace, flow, match transitions, other transitions, insert emissions.
using ViterbiOptions = Options<false, false, false, true, true, true>;      // dprow_viterbi
using AlignOptions = Options<false, true, false, true, true, true>;         // dprow_align
using SWViterbiOptions = Options<false, false, false, false, true, false>;  // dprow_swviterbi
using SWAlignOptions = Options<false, true, false, false, true, false>;     // dprow_swalign

inline int32_t cap(int32_t x) {
  return x < DP_INFINITY ? x : DP_INFINITY;
}

// Three candidates of one state (from D, M, I): (d (+) i) capped, (+) m, capped; or the minimum.
// With trace, *code receives the winner: D only when strictly below both others, else I when
// strictly below M, else M.
template <class O>
inline int32_t combine3(int32_t d, int32_t m, int32_t i, int32_t *code) {
  if constexpr (O::logsum) {
    (void)code;
    return cap(sumlog(cap(sumlog(d, i)), m));
  } else {
    int32_t v = d < m ? d : m;
    v = v < i ? v : i;
    if constexpr (O::trace) {                                   // branch-free form of the tie-break above
      int32_t not_m = -static_cast<int32_t>(i < m);             // -1 when I beats M
      int32_t dwin = -static_cast<int32_t>((d < m) & (d < i));  // -1 when D beats both
      int32_t im = TRACE_M + not_m;                             // -3 or -2
      *code = im ^ ((im ^ TRACE_D) & dwin);
    }
    return v;
  }
}

// Combination of two values: log-sum capped, or the minimum.
template <class O>
inline int32_t combine2(int32_t a, int32_t b) {
  if constexpr (O::logsum)
    return cap(sumlog(a, b));
  else
    return a < b ? a : b;
}

// ---- One row ----------------------------------------------------------------------------------

// Row state carried from node to node.
struct Carry {
  int32_t qd, qm, qi;  // previous row at node k-1
  int32_t rd, rm, ri;  // current row at node k-1
};

// Emission costs of node k after the constraint adjustment: the match cost becomes
// min(INF, d (+) (m + z)), the insert cost i + z (log-sum in every kernel).
template <bool kConstr>
inline void adjust(int32_t raw_m, int32_t raw_i, int32_t node_label, const PosConstraint *pc, int32_t *m,
                   int32_t *i) {
  if constexpr (kConstr) {
    int32_t d = node_label == pc->label ? pc->satisfied_cost : pc->unsatisfied_cost;
    *m = cap(sumlog(d, raw_m + pc->unconstrained_cost));
    *i = raw_i + pc->unconstrained_cost;
  } else {
    (void)node_label;
    (void)pc;
    *m = raw_m;
    *i = raw_i;
  }
}

// Jump state of one row.
struct Jumps {
  int32_t in_base;   // Q[1].D + jump_in_cost
  int32_t out;       // X: the best (or summed) M_k + jump_out_cost
  int32_t out_node;  // node of the best jump out (minimum kernels)
};

// Node k of the row: D from the current row at k-1, M from the previous row at k-1, I from the
// previous row at k; then the local jumps this node may take (kIn, kOut, node type permitting).
template <class O, bool kConstr, bool kIn, bool kOut>
inline void node_step(int k, const FBtrans *T, const int32_t *mcol, const int32_t *icol, const DPcell *Q,
                      DPcell *R, FBtrans *F, DPcell *Tr, const PosConstraint *pc, const FBnodeinfo *info,
                      Carry &c, Jumps &jp) {
  const int32_t qd = Q[k].D, qm = Q[k].M, qi = Q[k].I;  // previous row at node k
  int32_t m, i;
  int32_t raw_m = mcol[k];
  int32_t raw_i = O::insert_emit ? icol[k] : 0;
  if constexpr (O::insert_emit)
    adjust<kConstr>(raw_m, raw_i, info[k].label, pc, &m, &i);
  else {
    int32_t dummy;
    adjust<kConstr>(raw_m, 0, info[k].label, pc, &m, &dummy);
    i = 0;
  }

  // Candidate terms.
  int32_t dd = c.rd, dm = c.rm, di = c.ri;  // into D_k from the current row at k-1
  int32_t md = c.qd, mm = c.qm, mi = c.qi;  // into M_k from the previous row at k-1
  int32_t id = qd, im = qm, ii = qi;        // into I_k from the previous row at k
  if constexpr (O::other_trans) {
    const FBtrans &t = T[k];
    dd += t.d2d, dm += t.m2d, di += t.i2d;
    id += t.d2i, im += t.m2i, ii += t.i2i;
  }
  if constexpr (O::match_trans) {
    const FBtrans &t = T[k];
    md += t.d2m, mm += t.m2m, mi += t.i2m;
  }
  if constexpr (O::flow) {
    F[k] = FBtrans{dd, dm, di, md, mm, mi, id, im, ii};
  }

  int32_t cd = 0, cm = 0, ci = 0;
  int32_t D = combine3<O>(dd, dm, di, &cd);      // D_k: silent move within the row
  int32_t M = m + combine3<O>(md, mm, mi, &cm);  // M_k: emits residue j
  int32_t I = i + combine3<O>(id, im, ii, &ci);  // I_k: emits residue j

  if constexpr (kIn) {  // jump in from the begin (via D_1 of the previous row)
    char t = info[k].type;
    int32_t term = jp.in_base + raw_m;
    bool allowed = t != 'D' && t != 'E';
    if constexpr (O::logsum) {
      M = allowed ? cap(sumlog(M, term)) : M;
    } else {
      int32_t take = -static_cast<int32_t>(allowed & (term <= M));
      M = M ^ ((M ^ term) & take);
      if constexpr (O::trace) cm = cm ^ ((cm ^ TRACE_JUMP_IN) & take);
    }
  }
  if constexpr (kOut) {  // jump out towards D_L
    char t = info[k].type;
    int32_t term = M + jump_out_cost;
    bool allowed = t != 'C' && t != 'D';
    if constexpr (O::logsum) {
      jp.out = allowed ? cap(sumlog(jp.out, term)) : jp.out;
    } else {
      int32_t take = -static_cast<int32_t>(allowed & (term < jp.out));
      jp.out = jp.out ^ ((jp.out ^ term) & take);
      jp.out_node = jp.out_node ^ ((jp.out_node ^ k) & take);
    }
  }

  R[k].D = D;
  R[k].M = M;
  R[k].I = I;
  if constexpr (O::trace) {
    Tr[k].D = cd;
    Tr[k].M = cm;
    Tr[k].I = ci;
  }
  c.qd = qd, c.qm = qm, c.qi = qi;
  c.rd = D, c.rm = M, c.ri = I;
}

// Nodes 0 and 1 of a row (neither takes a local jump): leaves the carry at node 1.
template <class O, bool kConstr>
inline void row_head(const FBtrans *T, const int32_t *mcol, const int32_t *icol, const DPcell *Q, DPcell *R,
                     FBtrans *F, DPcell *Tr, const PosConstraint *pc, const FBnodeinfo *info, Carry &c,
                     Jumps &jp) {
  // Node 0: D and M impossible; I from the previous row at node 0.
  int32_t m0, i0;
  int32_t raw_i0 = O::insert_emit ? icol[0] : 0;
  adjust<kConstr>(0, raw_i0, info[0].label, pc, &m0, &i0);
  if constexpr (!O::insert_emit) i0 = 0;
  int32_t id = Q[0].D, im = Q[0].M, ii = Q[0].I;
  if constexpr (O::other_trans) id += T[0].d2i, im += T[0].m2i, ii += T[0].i2i;
  if constexpr (O::flow)
    F[0] = FBtrans{DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY, id, im, ii};
  int32_t ci = 0;
  int32_t I = i0 + combine3<O>(id, im, ii, &ci);
  c = Carry{Q[0].D, Q[0].M, Q[0].I, DP_INFINITY, DP_INFINITY, I};
  R[0].D = DP_INFINITY;
  R[0].M = DP_INFINITY;
  R[0].I = I;
  if constexpr (O::trace) Tr[0] = DPcell{0, 0, ci};
  // Node 1: never jumps.
  node_step<O, kConstr, false, false>(1, T, mcol, icol, Q, R, F, Tr, pc, info, c, jp);
}

// Nodes `from`..L+1 of a row, the carry standing at node from-1: the nodes up to L-1 that may
// take local jumps, node L (where the jumps out land in D_L) and the end node L+1.
template <class O, bool kConstr, bool kIn, bool kOut>
inline void row_tail(int from, const FBtrans *T, const int32_t *mcol, const int32_t *icol, int L,
                     const DPcell *Q, DPcell *R, FBtrans *F, DPcell *Tr, const PosConstraint *pc,
                     const FBnodeinfo *info, Carry &c, Jumps &jp) {
  // Nodes from..L-1: the only nodes where local jumps happen.
  for (int k = from; k <= L - 1; k++)
    node_step<O, kConstr, kIn, kOut>(k, T, mcol, icol, Q, R, F, Tr, pc, info, c, jp);
  // Node L (when L > 1), where the jumps out land in D_L.
  if (L > 1) {
    node_step<O, kConstr, false, false>(L, T, mcol, icol, Q, R, F, Tr, pc, info, c, jp);
  }
  if constexpr (kOut) {
    if constexpr (O::logsum) {
      R[L].D = cap(sumlog(jp.out, R[L].D));
    } else if (jp.out < R[L].D) {
      R[L].D = jp.out;
      if constexpr (O::trace) Tr[L].D = jp.out_node;
    }
    c.rd = R[L].D;
  }
  // End node L+1.
  node_step<O, kConstr, false, false>(L + 1, T, mcol, icol, Q, R, F, Tr, pc, info, c, jp);
}

// The jump state at the start of a row: Q[1].D + jump_in_cost (read before any trace write), no
// jump out yet.
template <bool kIn>
inline Jumps row_jumps(const DPcell *Q) {
  Jumps jp{0, DP_INFINITY, TRACE_D};
  if constexpr (kIn) jp.in_base = Q[1].D + jump_in_cost;
  return jp;
}

// One row; kIn and kOut say whether the mode grants jumps in this row, kConstr whether residue j
// is constrained.
template <class O, bool kConstr, bool kIn, bool kOut>
void row_loop(const FBtrans *T, const int32_t *mcol, const int32_t *icol, int L, DPcell *Q, DPcell *R,
              FBtrans *F, DPcell *Tr, const PosConstraint *pc, const FBnodeinfo *info) {
  Jumps jp = row_jumps<kIn>(Q);
  Carry c;
  row_head<O, kConstr>(T, mcol, icol, Q, R, F, Tr, pc, info, c, jp);
  row_tail<O, kConstr, kIn, kOut>(2, T, mcol, icol, L, Q, R, F, Tr, pc, info, c, jp);
}

// ---- Kernel entry -----------------------------------------------------------------------------

template <class O, bool kConstr>
inline void row_by_mode(bool in, bool out, const FBtrans *T, const int32_t *mcol, const int32_t *icol, int L,
                        DPcell *Q, DPcell *R, FBtrans *F, DPcell *Tr, const PosConstraint *pc,
                        const FBnodeinfo *info) {
  if (in && out)
    row_loop<O, kConstr, true, true>(T, mcol, icol, L, Q, R, F, Tr, pc, info);
  else if (in)
    row_loop<O, kConstr, true, false>(T, mcol, icol, L, Q, R, F, Tr, pc, info);
  else if (out)
    row_loop<O, kConstr, false, true>(T, mcol, icol, L, Q, R, F, Tr, pc, info);
  else
    row_loop<O, kConstr, false, false>(T, mcol, icol, L, Q, R, F, Tr, pc, info);
}

// The jumps granted in row j of n by the local mode: semi-local jumps in at row 0 and out at row
// n-1 (not when n is 1); local jumps in every row; global never.
inline void jumps_of_row(int mode, int j, int n, bool *in, bool *out) {
  *in = mode == 2 || (mode == 1 && j == 0);
  *out = mode == 2 || (mode == 1 && j == n - 1 && n != 1);
}

template <class O>
DPcell *dprow_kernel(const FBtrans *T, const int32_t *mcol, const int32_t *icol, int j, int n, int last,
                     int L, DPcell *Q, DPcell *R, FBtrans *F, DPcell *Tr, int mode, const PosConstraint *pc,
                     const FBnodeinfo *info) {
  (void)last;
  bool in, out;
  jumps_of_row(mode, j, n, &in, &out);
  if (pc == nullptr) pc = &noPosConstraint;
  if (pc->label != -1)
    row_by_mode<O, true>(in, out, T, mcol, icol, L, Q, R, F, Tr, pc, info);
  else
    row_by_mode<O, false>(in, out, T, mcol, icol, L, Q, R, F, Tr, pc, info);
  return R;
}

}  // namespace dprow
}  // namespace qor

#endif
