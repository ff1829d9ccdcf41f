// The two log-sum row kernels (dprow_forward, dprow_backward) in vector form, beside their scalar
// references (dprow_forward.cpp, dprow_backward.cpp).
//
// As in the vector minimum kernels (dprow_min_fast.cpp) a row is computed in blocks of eight
// nodes, each in two passes. The match/insert pass takes the eight nodes at once: M and I read only
// the previous row, so they, the constraint adjustment and the jump in need no neighbour's result;
// every log-sum a (+) b = min(a, b) - SUMLOG[|a - b|] (no correction beyond the table) is formed
// with one table gather for eight nodes. The pass also forms the two delete terms that come from
// this row's M and I at the node below, and (backward) writes entries 2..9 of the flow records.
// The serial pass then runs, one node at a time and one block behind, the row's chains: D from the
// D below, the log-sum of the local jumps out (and the flow entry 1, D to D). D waits for the D
// below only when that term comes within the table of the insert term: otherwise its value was
// formed by the vector pass (see serial_chain). Every log-sum is the reference's, with the same
// operands in the same order, so the rows are identical.
//
// Nodes 0 and 1, the nodes below L that do not fill a block, node L and the end node run scalar
// code: the forward kernel the reference's own (dprow_impl.h), the backward kernel the node step
// below, written as the reference's. The vector form needs AVX2 and runs only when the processor
// has it and the implementation chosen (dprow_select_path) is DPROW_AVX2; the references otherwise.
//
// Sections: vector helpers | forward | backward scalar nodes | backward | kernels
#include <cstddef>
#include <cstdint>

#include "forward2/dprow_impl.h"
#include "forward2/dprow_variants.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define QOR_SUM_X86 1
#include <immintrin.h>

#include "forward2/dprow_avx2.h"
#else
#define QOR_SUM_X86 0
#endif

namespace qor {
namespace sumfast {
namespace {

#if QOR_SUM_X86
using namespace ::qor::avx2;  // the shared vector helpers

// ---- Scalar helpers ---------------------------------------------------------------------------

// sumlog(a, b) without a branch on the difference (the serial chains would mispredict it): the
// index is held in the table and the correction dropped beyond it by selection.
inline int32_t sumlog_nb(int32_t a, int32_t b) {
  const int32_t lo = a < b ? a : b;
  const int32_t d = a < b ? b - a : a - b;
  const uint32_t index = static_cast<uint32_t>(d) < SUMLOG_MAX ? static_cast<uint32_t>(d) : SUMLOG_MAX;
  const int32_t correction = SUMLOG[index];
  return lo - (d <= SUMLOG_MAX ? correction : 0);
}

// ---- Vector helpers ---------------------------------------------------------------------------

// min(x, DP_INFINITY).
QOR_AVX2 inline V vcap(V x) {
  return vmin(x, set1(DP_INFINITY));
}
// a (+) b of sumlog, lane by lane: the lower value less the table's correction for the difference
// (none beyond the table).
QOR_AVX2 inline V vsumlog(V a, V b) {
  V diff = _mm256_abs_epi32(_mm256_sub_epi32(a, b));
  V near = lt(diff, set1(SUMLOG_MAX + 1));
  V index = _mm256_min_epu32(diff, set1(SUMLOG_MAX));  // in the table whatever the mask says
  V correction = _mm256_and_si256(_mm256_i32gather_epi32(SUMLOG, index, 4), near);
  return _mm256_sub_epi32(vmin(a, b), correction);
}
// cap(cap(d (+) i) (+) m): the combination of the three terms into one state.
QOR_AVX2 inline V vlogsum3(V d, V m, V i) {
  return vcap(vsumlog(vcap(vsumlog(d, i)), m));
}
// Writes entries 2..9 of the records F[0..7] from eight vectors of one entry each (the inverse of
// load_trans): an 8x8 transposition, then one store of eight values per record.
QOR_AVX2 inline void store_flow8(FBtrans *F, V e1, V e2, V e3, V e4, V e5, V e6, V e7, V e8) {
  V a0 = _mm256_unpacklo_epi32(e1, e2), a1 = _mm256_unpackhi_epi32(e1, e2);
  V a2 = _mm256_unpacklo_epi32(e3, e4), a3 = _mm256_unpackhi_epi32(e3, e4);
  V a4 = _mm256_unpacklo_epi32(e5, e6), a5 = _mm256_unpackhi_epi32(e5, e6);
  V a6 = _mm256_unpacklo_epi32(e7, e8), a7 = _mm256_unpackhi_epi32(e7, e8);
  V b0 = _mm256_unpacklo_epi64(a0, a2), b1 = _mm256_unpackhi_epi64(a0, a2);
  V b2 = _mm256_unpacklo_epi64(a1, a3), b3 = _mm256_unpackhi_epi64(a1, a3);
  V b4 = _mm256_unpacklo_epi64(a4, a6), b5 = _mm256_unpackhi_epi64(a4, a6);
  V b6 = _mm256_unpacklo_epi64(a5, a7), b7 = _mm256_unpackhi_epi64(a5, a7);
  int32_t *f = reinterpret_cast<int32_t *>(F) + 1;
  // b0: nodes 0 (low half) and 4 (high half), entries 2..5 of e1..e4 | b4 the entries 6..9.
  store8(f + 0 * 9, _mm256_permute2x128_si256(b0, b4, 0x20));
  store8(f + 1 * 9, _mm256_permute2x128_si256(b1, b5, 0x20));
  store8(f + 2 * 9, _mm256_permute2x128_si256(b2, b6, 0x20));
  store8(f + 3 * 9, _mm256_permute2x128_si256(b3, b7, 0x20));
  store8(f + 4 * 9, _mm256_permute2x128_si256(b0, b4, 0x31));
  store8(f + 5 * 9, _mm256_permute2x128_si256(b1, b5, 0x31));
  store8(f + 6 * 9, _mm256_permute2x128_si256(b2, b6, 0x31));
  store8(f + 7 * 9, _mm256_permute2x128_si256(b3, b7, 0x31));
}

// Labels and type characters of nodes info[0..7].
QOR_AVX2 inline void load_info(const FBnodeinfo *info, V *label, V *type) {
  __m256 a = _mm256_castsi256_ps(load8(info)), b = _mm256_castsi256_ps(load8(info + 4));
  V l = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
  V t = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
  *label = _mm256_permute4x64_epi64(l, _MM_SHUFFLE(3, 1, 2, 0));
  *type = _mm256_and_si256(_mm256_permute4x64_epi64(t, _MM_SHUFFLE(3, 1, 2, 0)), set1(0xFF));
}

// The match cost after the constraint adjustment, min(INF, d (+) (m + z)).
QOR_AVX2 inline V adjusted_match(V raw_m, V label, const PosConstraint *pc) {
  V d = select(eq(label, set1(pc->label)), set1(pc->satisfied_cost), set1(pc->unsatisfied_cost));
  return vcap(vsumlog(d, vadd(raw_m, set1(pc->unconstrained_cost))));
}

// The serial chain of one block: D_k = cap(cap((D_{k-1} + T[k].1) (+) DI_k) (+) DM_k), with the
// flow entry 1 when F is given; then, in node order, the jumps out: out = cap(out (+) OT_k) where
// OA_k is set. When the D term lies more than the table above DI_k, the inner log-sum is DI_k
// whatever its exact value, and D_k is EK_k = cap(cap(DI_k) (+) DM_k), formed beforehand for the
// whole block: then D_k does not wait for D_{k-1} (the test is predicted, not waited for).
template <bool kOut>
QOR_AVX2 inline void serial_chain(int k, const FBtrans *T, const int32_t *DM, const int32_t *DI,
                                  const int32_t *EK, const int32_t *OT, const int32_t *OA, DPcell *R,
                                  FBtrans *F, int32_t &D, int32_t &out) {
  for (int x = 0; x < 8; x++) {
    const int32_t dd = D + T[k + x].d2d;
    if (F != nullptr) F[k + x].d2d = dd;
    if (dd > DI[x] && dd - DI[x] > SUMLOG_MAX)
      D = EK[x];
    else
      D = dprow::cap(sumlog_nb(dprow::cap(sumlog_nb(dd, DI[x])), DM[x]));
    R[k + x].D = D;
  }
  if constexpr (kOut) {
    for (int x = 0; x < 8; x++)
      if (OA[x]) out = dprow::cap(sumlog_nb(out, OT[x]));
  }
}

// ---- Forward ----------------------------------------------------------------------------------

using ForwardOptions = dprow::Options<true, false, false, true, true, true>;

// Nodes 2..last of a forward row, last = 1 + 8 * floor((L - 2) / 8) <= L - 1, the carry standing at
// node 1; returns last and leaves the carry and the jump state at node last. The current row may
// be the previous row itself: block k reads the previous row at k..k+7 before it writes there, and
// node k-1 of the previous row comes from the block below.
template <bool kConstr, bool kIn, bool kOut>
QOR_AVX2 int forward_middle(const FBtrans *T, const int32_t *mcol, const int32_t *icol, int L,
                            const DPcell *Q, DPcell *R, const PosConstraint *pc, const FBnodeinfo *info,
                            dprow::Carry &c, dprow::Jumps &jp) {
  const int blocks = (L - 2) / 8;
  if (blocks <= 0) return 1;
  const int last = 1 + 8 * blocks;
  V mqd = set1(c.qd), mqm = set1(c.qm), mqi = set1(c.qi);
  V mrm = set1(c.rm), mri = set1(c.ri);
  const V in_base = set1(jp.in_base), out_cost = set1(jump_out_cost);
  const V type_c = set1('C'), type_d = set1('D'), type_e = set1('E');
  alignas(32) int32_t DM[16], DI[16], EK[16], OT[16], OA[16];
  int32_t D = c.rd, out = jp.out;

  for (int k = 2; k <= last; k += 8) {
    const int h = k & 8;  // blocks alternate between the two halves of the scratch arrays
    Cells q = load_cells(Q + k);
    V qd1 = from_below(q.d, mqd, &mqd), qm1 = from_below(q.m, mqm, &mqm), qi1 = from_below(q.i, mqi, &mqi);
    Trans t = load_trans(T + k);
    V raw_m = load8(mcol + k);
    V m = raw_m, i = load8(icol + k);
    V label, type;
    if constexpr (kIn || kOut || kConstr) load_info(info + k, &label, &type);
    if constexpr (kConstr) {
      m = adjusted_match(raw_m, label, pc);
      i = vadd(i, set1(pc->unconstrained_cost));
    }
    V M = vadd(m, vlogsum3(vadd(qd1, t.d2m), vadd(qm1, t.m2m), vadd(qi1, t.i2m)));
    V I = vadd(i, vlogsum3(vadd(q.d, t.d2i), vadd(q.m, t.m2i), vadd(q.i, t.i2i)));
    if constexpr (kIn) {  // jump in (type not 'D' or 'E')
      V barred = _mm256_or_si256(eq(type, type_d), eq(type, type_e));
      M = select(barred, M, vcap(vsumlog(M, vadd(in_base, raw_m))));
    }
    if constexpr (kOut) {  // jump out (type not 'C' or 'D'), summed in node order by the chain
      store8(OT + h, vadd(M, out_cost));
      store8(OA + h, _mm256_andnot_si256(_mm256_or_si256(eq(type, type_c), eq(type, type_d)), set1(-1)));
    }
    const V dm = vadd(from_below(M, mrm, &mrm), t.m2d), di = vadd(from_below(I, mri, &mri), t.i2d);
    store8(DM + h, dm);
    store8(DI + h, di);
    store8(EK + h, vcap(vsumlog(vcap(di), dm)));
    store_mi(R + k, M, I);
    if (k > 2) {
      const int b = (k - 8) & 8;
      serial_chain<kOut>(k - 8, T, DM + b, DI + b, EK + b, OT + b, OA + b, R, nullptr, D, out);
    }
  }
  const int b = (last - 7) & 8;
  serial_chain<kOut>(last - 7, T, DM + b, DI + b, EK + b, OT + b, OA + b, R, nullptr, D, out);
  c = dprow::Carry{lane0(mqd), lane0(mqm), lane0(mqi), D, lane0(mrm), lane0(mri)};
  jp.out = out;
  return last;
}

template <bool kConstr, bool kIn, bool kOut>
QOR_AVX2 void forward_row(const FBtrans *T, const int32_t *mcol, const int32_t *icol, int L, DPcell *Q,
                          DPcell *R, const PosConstraint *pc, const FBnodeinfo *info) {
  dprow::Jumps jp = dprow::row_jumps<kIn>(Q);
  dprow::Carry c;
  dprow::row_head<ForwardOptions, kConstr>(T, mcol, icol, Q, R, nullptr, nullptr, pc, info, c, jp);
  int done = forward_middle<kConstr, kIn, kOut>(T, mcol, icol, L, Q, R, pc, info, c, jp);
  dprow::row_tail<ForwardOptions, kConstr, kIn, kOut>(done + 1, T, mcol, icol, L, Q, R, nullptr, nullptr, pc,
                                                      info, c, jp);
}

template <bool kConstr>
QOR_AVX2 void forward_by_mode(bool in, bool out, const FBtrans *T, const int32_t *mcol, const int32_t *icol,
                              int L, DPcell *Q, DPcell *R, const PosConstraint *pc, const FBnodeinfo *info) {
  if (in && out)
    forward_row<kConstr, true, true>(T, mcol, icol, L, Q, R, pc, info);
  else if (in)
    forward_row<kConstr, true, false>(T, mcol, icol, L, Q, R, pc, info);
  else if (out)
    forward_row<kConstr, false, true>(T, mcol, icol, L, Q, R, pc, info);
  else
    forward_row<kConstr, false, false>(T, mcol, icol, L, Q, R, pc, info);
}

QOR_AVX2 DPcell *forward_fast(const FBtrans *T, const int32_t *mcol, const int32_t *icol, int j, int n, int L,
                              DPcell *Q, DPcell *R, int mode, const PosConstraint *pc,
                              const FBnodeinfo *info) {
  bool in, out;
  dprow::jumps_of_row(mode, j, n, &in, &out);
  if (pc == nullptr) pc = &noPosConstraint;
  if (pc->label != -1)
    forward_by_mode<true>(in, out, T, mcol, icol, L, Q, R, pc, info);
  else
    forward_by_mode<false>(in, out, T, mcol, icol, L, Q, R, pc, info);
  return R;
}

// ---- Backward scalar nodes --------------------------------------------------------------------

// Jump state of one backward row.
struct BackJumps {
  int32_t in_base;  // Q[1].D + jump_out_cost: the mirror of the forward jump out
  int32_t out;      // the log-sum of the jumps out towards D'_L, the mirror of the forward jump in
};

inline int32_t logsum3(int32_t d, int32_t m, int32_t i) {
  return dprow::cap(sumlog_nb(dprow::cap(sumlog_nb(d, i)), m));
}

// Node r of a backward row, as the reference computes it (kIn, kOut: the row grants the jumps).
template <bool kConstr, bool kIn, bool kOut>
inline void back_node(int r, const FBtrans *T, const int32_t *mcol, const int32_t *icol, const DPcell *Q,
                      DPcell *R, FBtrans *F, const PosConstraint *pc, const FBnodeinfo *info, BackJumps &jp) {
  const FBtrans &t = T[r];
  const int32_t raw_m = mcol[r];
  int32_t m = raw_m, i = icol[r];
  if constexpr (kConstr) {
    int32_t d = info[r].label == pc->label ? pc->satisfied_cost : pc->unsatisfied_cost;
    m = dprow::cap(sumlog_nb(d, raw_m + pc->unconstrained_cost));
    i += pc->unconstrained_cost;
  }
  const int32_t dd = R[r - 1].D + t.d2d, dm = R[r - 1].M + t.m2d, di = R[r - 1].I + t.i2d;
  const int32_t md = Q[r - 1].D + t.d2m, mm = Q[r - 1].M + t.m2m, mi = Q[r - 1].I + t.i2m;
  const int32_t id = Q[r].D + t.d2i, im = Q[r].M + t.m2i, ii = Q[r].I + t.i2i;
  F[r] = FBtrans{dd, dm, di, md, mm, mi, id, im, ii};
  const int32_t D = logsum3(dd, dm, di);
  const int32_t pre = logsum3(md, mm, mi);
  int32_t M = m + pre;
  const int32_t I = i + logsum3(id, im, ii);
  const char type = info[r].type;
  const bool in_allowed = type != 'C' && type != 'D';
  if constexpr (kIn) {
    if (in_allowed) M = dprow::cap(sumlog_nb(M, jp.in_base + m));
  }
  if constexpr (kOut) {
    if (type != 'D' && type != 'E') {
      int32_t from = M;
      if constexpr (kConstr) {
        from = raw_m + pre;
        if constexpr (kIn) {
          if (in_allowed) from = dprow::cap(sumlog_nb(from, jp.in_base + raw_m));
        }
      }
      jp.out = dprow::cap(sumlog_nb(jp.out, from + jump_in_cost));
    }
  }
  R[r] = DPcell{D, M, I};
}

// ---- Backward ---------------------------------------------------------------------------------

// Nodes 2..last of a backward row (last as in forward_middle), nodes 0 and 1 written; returns last
// and leaves the jump state at node last. The current row is not the previous row.
template <bool kConstr, bool kIn, bool kOut>
QOR_AVX2 int backward_middle(const FBtrans *T, const int32_t *mcol, const int32_t *icol, int L,
                             const DPcell *Q, DPcell *R, FBtrans *F, const PosConstraint *pc,
                             const FBnodeinfo *info, BackJumps &jp) {
  const int blocks = (L - 2) / 8;
  if (blocks <= 0) return 1;
  const int last = 1 + 8 * blocks;
  V mqd = set1(Q[1].D), mqm = set1(Q[1].M), mqi = set1(Q[1].I);
  V mrm = set1(R[1].M), mri = set1(R[1].I);
  const V in_base = set1(jp.in_base), in_cost = set1(jump_in_cost);
  const V type_c = set1('C'), type_d = set1('D'), type_e = set1('E');
  alignas(32) int32_t DM[16], DI[16], EK[16], OT[16], OA[16];
  int32_t D = R[1].D, out = jp.out;

  for (int r = 2; r <= last; r += 8) {
    const int h = r & 8;
    Cells q = load_cells(Q + r);
    V qd1 = from_below(q.d, mqd, &mqd), qm1 = from_below(q.m, mqm, &mqm), qi1 = from_below(q.i, mqi, &mqi);
    Trans t = load_trans(T + r);
    V raw_m = load8(mcol + r);
    V m = raw_m, i = load8(icol + r);
    V label, type;
    if constexpr (kIn || kOut || kConstr) load_info(info + r, &label, &type);
    if constexpr (kConstr) {
      m = adjusted_match(raw_m, label, pc);
      i = vadd(i, set1(pc->unconstrained_cost));
    }
    const V md = vadd(qd1, t.d2m), mm = vadd(qm1, t.m2m), mi = vadd(qi1, t.i2m);
    const V id = vadd(q.d, t.d2i), im = vadd(q.m, t.m2i), ii = vadd(q.i, t.i2i);
    const V pre = vlogsum3(md, mm, mi);
    V M = vadd(m, pre);
    const V I = vadd(i, vlogsum3(id, im, ii));
    V in_barred = _mm256_setzero_si256();
    if constexpr (kIn) {  // from D'_1 of the previous row (type not 'C' or 'D')
      in_barred = _mm256_or_si256(eq(type, type_c), eq(type, type_d));
      M = select(in_barred, M, vcap(vsumlog(M, vadd(in_base, m))));
    }
    if constexpr (kOut) {  // towards D'_L (type not 'D' or 'E'), summed in node order by the chain
      V from = M;
      if constexpr (kConstr) {
        from = vadd(raw_m, pre);
        if constexpr (kIn) from = select(in_barred, from, vcap(vsumlog(from, vadd(in_base, raw_m))));
      }
      store8(OT + h, vadd(from, in_cost));
      store8(OA + h, _mm256_andnot_si256(_mm256_or_si256(eq(type, type_d), eq(type, type_e)), set1(-1)));
    }
    const V dm = vadd(from_below(M, mrm, &mrm), t.m2d), di = vadd(from_below(I, mri, &mri), t.i2d);
    store8(DM + h, dm);
    store8(DI + h, di);
    store8(EK + h, vcap(vsumlog(vcap(di), dm)));
    store_flow8(F + r, dm, di, md, mm, mi, id, im, ii);
    store_mi(R + r, M, I);
    if (r > 2) {
      const int b = (r - 8) & 8;
      serial_chain<kOut>(r - 8, T, DM + b, DI + b, EK + b, OT + b, OA + b, R, F, D, out);
    }
  }
  const int b = (last - 7) & 8;
  serial_chain<kOut>(last - 7, T, DM + b, DI + b, EK + b, OT + b, OA + b, R, F, D, out);
  jp.out = out;
  return last;
}

template <bool kConstr, bool kIn, bool kOut>
QOR_AVX2 void backward_row(const FBtrans *T, const int32_t *mcol, const int32_t *icol, int L, const DPcell *Q,
                           DPcell *R, FBtrans *F, const PosConstraint *pc, const FBnodeinfo *info) {
  BackJumps jp{0, DP_INFINITY};
  if constexpr (kIn) jp.in_base = Q[1].D + jump_out_cost;
  {  // node 0: D and M impossible; I from the previous row at node 0
    int32_t i0 = icol[0];
    if constexpr (kConstr) i0 += pc->unconstrained_cost;
    const int32_t id = Q[0].D + T[0].d2i, im = Q[0].M + T[0].m2i, ii = Q[0].I + T[0].i2i;
    F[0] = FBtrans{DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY, id, im, ii};
    R[0] = DPcell{DP_INFINITY, DP_INFINITY, i0 + logsum3(id, im, ii)};
  }
  back_node<kConstr, false, false>(1, T, mcol, icol, Q, R, F, pc, info, jp);
  const int done = backward_middle<kConstr, kIn, kOut>(T, mcol, icol, L, Q, R, F, pc, info, jp);
  for (int r = done + 1; r <= L - 1; r++)
    back_node<kConstr, kIn, kOut>(r, T, mcol, icol, Q, R, F, pc, info, jp);
  if (L > 1) back_node<kConstr, false, false>(L, T, mcol, icol, Q, R, F, pc, info, jp);
  if constexpr (kOut) R[L].D = dprow::cap(sumlog_nb(jp.out, R[L].D));
  back_node<kConstr, false, false>(L + 1, T, mcol, icol, Q, R, F, pc, info, jp);
}

template <bool kConstr>
QOR_AVX2 void backward_by_mode(bool in, bool out, const FBtrans *T, const int32_t *mcol, const int32_t *icol,
                               int L, const DPcell *Q, DPcell *R, FBtrans *F, const PosConstraint *pc,
                               const FBnodeinfo *info) {
  if (in && out)
    backward_row<kConstr, true, true>(T, mcol, icol, L, Q, R, F, pc, info);
  else if (in)
    backward_row<kConstr, true, false>(T, mcol, icol, L, Q, R, F, pc, info);
  else if (out)
    backward_row<kConstr, false, true>(T, mcol, icol, L, Q, R, F, pc, info);
  else
    backward_row<kConstr, false, false>(T, mcol, icol, L, Q, R, F, pc, info);
}

// The jumps of backward row j: in where the forward model jumps out, out where it jumps in.
QOR_AVX2 DPcell *backward_fast(const FBtrans *T, const int32_t *mcol, const int32_t *icol, int j, int n,
                               int L, const DPcell *Q, DPcell *R, FBtrans *F, int mode,
                               const PosConstraint *pc, const FBnodeinfo *info) {
  const bool in = mode == 2 || (mode == 1 && j == n - 1 && n != 1);
  const bool out = mode == 2 || (mode == 1 && j == 0);
  if (pc == nullptr) pc = &noPosConstraint;
  if (pc->label != -1)
    backward_by_mode<true>(in, out, T, mcol, icol, L, Q, R, F, pc, info);
  else
    backward_by_mode<false>(in, out, T, mcol, icol, L, Q, R, F, pc, info);
  return R;
}

#endif  // QOR_SUM_X86

}  // namespace
}  // namespace sumfast

// ---- Kernels ----------------------------------------------------------------------------------

DPcell *dprow_forward(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n, int last,
                      int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace, int mode,
                      const PosConstraint *pc, const FBnodeinfo *info) {
#if QOR_SUM_X86
  if (dprow_active_path() == DPROW_AVX2)
    return sumfast::forward_fast(trans, mcol, icol, j, n, L, prev, cur, mode, pc, info);
#endif
  return dprow_forward_ref(trans, mcol, icol, j, n, last, L, prev, cur, flow, trace, mode, pc, info);
}

DPcell *dprow_backward(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n, int last,
                       int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace, int mode,
                       const PosConstraint *pc, const FBnodeinfo *info) {
#if QOR_SUM_X86
  if (dprow_active_path() == DPROW_AVX2)
    return sumfast::backward_fast(trans, mcol, icol, j, n, L, prev, cur, flow, mode, pc, info);
#endif
  return dprow_backward_ref(trans, mcol, icol, j, n, last, L, prev, cur, flow, trace, mode, pc, info);
}

}  // namespace qor
