// The four minimum row kernels (dprow_viterbi, dprow_align, dprow_swviterbi, dprow_swalign) in
// vector form, and the run-time choice between that form and the scalar reference kernels.
//
// A row is computed in blocks of eight nodes, each in two passes. The match/insert pass takes the
// eight nodes at once: M_k and I_k read only the previous row, so they, their trace codes and the
// local jumps in and out need no result of a neighbour; the pass also forms, per node, the better
// of the two delete candidates that come from this row's M_{k-1} and I_{k-1}. The delete pass
// then runs the row's only serial chain, D_k from D_{k-1}, one node at a time; it runs one block
// behind the match/insert pass, so that the processor overlaps the two. Nodes 0 and 1, the
// few nodes below L that do not fill a block of eight, node L and the end node run through the
// reference code of dprow_impl.h. Every comparison is the reference's, in its order, so all ties
// resolve alike: rows and trace codes are identical to the scalar kernels'.
//
// The vector form needs AVX2; it is compiled for that instruction set function by function and
// runs only when the processor reports it, the reference kernels everywhere else.
//
// Sections: vector helpers | one row | kernel entry | implementation choice | kernels
#include <cstddef>
#include <cstdint>

#include "forward2/dprow_impl.h"
#include "forward2/dprow_variants.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define QOR_DPROW_X86 1
#include <immintrin.h>

#include "forward2/dprow_avx2.h"
#else
#define QOR_DPROW_X86 0
#endif

namespace qor {
namespace dprow {
namespace {

#if QOR_DPROW_X86
using namespace ::qor::avx2;  // the shared vector helpers

// Labels and type characters of nodes info[0..7].
QOR_AVX2 inline void load_info(const FBnodeinfo *info, V *label, V *type) {
  __m256 a = _mm256_castsi256_ps(load8(info)), b = _mm256_castsi256_ps(load8(info + 4));
  // Within each half: nodes 0, 1, 4, 5 (low) and 2, 3, 6, 7 (high); the 64-bit permutation restores
  // node order.
  V l = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
  V t = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
  *label = _mm256_permute4x64_epi64(l, _MM_SHUFFLE(3, 1, 2, 0));
  *type = _mm256_and_si256(_mm256_permute4x64_epi64(t, _MM_SHUFFLE(3, 1, 2, 0)), set1(0xFF));
}

// The trace code of the minimum of candidates (d, m, i): D only when strictly below both others,
// else I when strictly below M, else M.
QOR_AVX2 inline V code3(V d, V m, V i) {
  V im = vadd(set1(TRACE_M), lt(i, m));  // -3 when I beats M, else -2
  return select(_mm256_and_si256(lt(d, m), lt(d, i)), set1(TRACE_D), im);
}

// ---- One row ----------------------------------------------------------------------------------

// How far ahead of the block being computed the current row is prefetched, in nodes.
constexpr int kPrefetchAhead = 64;

// Asks for the cache line `offset` bytes past `at` (possibly past the end of its array: a prefetch
// never faults, and the address is formed as an integer).
QOR_AVX2 inline void prefetch_for_writing(const DPcell *at, size_t offset) {
  __builtin_prefetch(reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(at) + offset), 1, 3);
}

// The delete chain of block k..k+7: D_k = min(D_{k-1} + T[k].1, P_k), the D candidate (code -1)
// only when strictly below P_k, else P_k's code. P and PC hold the block's P_k and codes.
template <class O>
QOR_AVX2 inline void delete_chain(int k, const FBtrans *T, const int32_t *P, const int32_t *PC, DPcell *R,
                                  DPcell *Tr, int32_t &D) {
  static_assert(TRACE_D == -1, "the delete code is all ones");
  for (int x = 0; x < 8; x++) {
    int32_t dd = D + T[k + x].d2d, p = P[x];
    int32_t take = -static_cast<int32_t>(dd < p);  // all ones when the D candidate wins
    D = dd < p ? dd : p;
    R[k + x].D = D;
    if constexpr (O::trace) Tr[k + x].D = PC[x] | take;
  }
}

// Nodes 2..last of the row, last = 1 + 8 * floor((L - 2) / 8) <= L - 1, the carry standing at
// node 1; returns last and leaves the carry and the jump state at node last.
//
// Each block of eight nodes runs the match/insert pass, then the delete chain of the block below:
// the chain, the row's only serial dependency, then overlaps with the vector work of the next
// block. The trace row may lie two cells below the previous row, and the current row may be the
// previous row itself: block k reads the previous row at k..k+7 before it writes any cell of
// k..k+7 (or of the trace two cells lower), and no block reads below its own k.
template <class O, bool kConstr, bool kIn, bool kOut>
QOR_AVX2 int row_middle(const FBtrans *T, const int32_t *mcol, const int32_t *icol, int L, const DPcell *Q,
                        DPcell *R, DPcell *Tr, const PosConstraint *pc, const FBnodeinfo *info, Carry &c,
                        Jumps &jp) {
  const int blocks = (L - 2) / 8;
  if (blocks <= 0) return 1;
  const int last = 1 + 8 * blocks;

  // Moved vectors of the block below (lane 0: its last node): previous row D, M, I; this row M, I.
  V mqd = set1(c.qd), mqm = set1(c.qm), mqi = set1(c.qi);
  V mrm = set1(c.rm), mri = set1(c.ri);
  const V in_base = set1(jp.in_base), out_cost = set1(jump_out_cost);
  const V type_c = set1('C'), type_d = set1('D'), type_e = set1('E');
  V out = set1(jp.out), out_node = set1(jp.out_node), node = _mm256_setr_epi32(2, 3, 4, 5, 6, 7, 8, 9);
  V con_label = set1(pc->label), con_sat = set1(pc->satisfied_cost), con_unsat = set1(pc->unsatisfied_cost),
    con_z = set1(pc->unconstrained_cost);
  // Per node of the last two blocks: P_k = min(M_{k-1} + T[k].2, I_{k-1} + T[k].3), and its code,
  // I when strictly below the M candidate, else M.
  alignas(32) int32_t P[16], PC[16];
  int32_t D = c.rd;

  for (int k = 2; k <= last; k += 8) {
    int32_t *p = P + (k & 8), *pcode = PC + (k & 8);  // blocks alternate between the two halves

    // Previous row at nodes k..k+7 (for I) and k-1..k+6 (for M).
    Cells q = load_cells(Q + k);
    V qd1 = from_below(q.d, mqd, &mqd), qm1 = from_below(q.m, mqm, &mqm), qi1 = from_below(q.i, mqi, &mqi);
    Trans t = load_trans(T + k);

    // Emission costs; with a constraint m becomes min(INF, d (+) (m + z)) and i becomes i + z.
    V raw_m = load8(mcol + k);
    V m = raw_m;
    V i = O::insert_emit ? load8(icol + k) : _mm256_setzero_si256();
    V label, type;
    if constexpr (kIn || kOut || kConstr) load_info(info + k, &label, &type);
    if constexpr (kConstr) {
      V d = select(eq(label, con_label), con_sat, con_unsat);
      V x = vadd(raw_m, con_z);
      V diff = _mm256_abs_epi32(_mm256_sub_epi32(d, x));
      V near = lt(diff, set1(SUMLOG_MAX + 1));
      V index = _mm256_min_epu32(diff, set1(SUMLOG_MAX));  // in the table whatever the mask says
      V correction = _mm256_and_si256(_mm256_i32gather_epi32(SUMLOG, index, 4), near);
      m = vmin(_mm256_sub_epi32(vmin(d, x), correction), set1(DP_INFINITY));
      if constexpr (O::insert_emit) i = vadd(i, con_z);
    }

    // M_k = m_k + min(Q[k-1].D + T.4, Q[k-1].M + T.5, Q[k-1].I + T.6).
    V md = qd1, mm = qm1, mi = qi1;
    if constexpr (O::match_trans) md = vadd(md, t.d2m), mm = vadd(mm, t.m2m), mi = vadd(mi, t.i2m);
    V M = vadd(m, vmin(vmin(md, mm), mi));
    // I_k = i_k + min(Q[k].D + T.7, Q[k].M + T.8, Q[k].I + T.9).
    V id = vadd(q.d, t.d2i), im = vadd(q.m, t.m2i), ii = vadd(q.i, t.i2i);
    V I = vadd(i, vmin(vmin(id, im), ii));
    V cm = _mm256_setzero_si256(), ci = _mm256_setzero_si256();
    if constexpr (O::trace) cm = code3(md, mm, mi), ci = code3(id, im, ii);

    // Jump in (type not 'D' or 'E'): replaces M_k when not above it, code 1.
    if constexpr (kIn) {
      V term = vadd(in_base, raw_m);
      V keep = _mm256_or_si256(_mm256_or_si256(eq(type, type_d), eq(type, type_e)), lt(M, term));
      M = select(keep, M, term);
      if constexpr (O::trace) cm = select(keep, cm, set1(TRACE_JUMP_IN));
    }
    // Jump out (type not 'C' or 'D'): each lane keeps its smallest M_k + jump_out_cost and its
    // first node; the lanes are merged after the row.
    if constexpr (kOut) {
      V term = vadd(M, out_cost);
      V take = _mm256_andnot_si256(_mm256_or_si256(eq(type, type_c), eq(type, type_d)), lt(term, out));
      out = select(take, term, out);
      out_node = select(take, node, out_node);
      node = vadd(node, set1(8));
    }

    // Delete candidates from this row at k-1: min(M_{k-1} + T.2, I_{k-1} + T.3) and its code.
    V dm = vadd(from_below(M, mrm, &mrm), t.m2d), di = vadd(from_below(I, mri, &mri), t.i2d);
    store8(p, vmin(dm, di));
    if constexpr (O::trace) store8(pcode, vadd(set1(TRACE_M), lt(di, dm)));

    store_mi(R + k, M, I);
    if constexpr (O::trace) store_mi(Tr + k, cm, ci);
    // Two lines (at least the 96 bytes of one block) of the current row kPrefetchAhead nodes ahead,
    // for writing; an address past the row is harmless.
    prefetch_for_writing(R + k, kPrefetchAhead * sizeof(DPcell));
    prefetch_for_writing(R + k, kPrefetchAhead * sizeof(DPcell) + 64);

    // The delete chain of the block below.
    if (k > 2) delete_chain<O>(k - 8, T, P + ((k - 8) & 8), PC + ((k - 8) & 8), R, Tr, D);
  }
  delete_chain<O>(last - 7, T, P + ((last - 7) & 8), PC + ((last - 7) & 8), R, Tr, D);

  c = Carry{lane0(mqd), lane0(mqm), lane0(mqi), D, lane0(mrm), lane0(mri)};
  if constexpr (kOut) {  // the smallest jump out over the lanes, the lowest node on ties
    alignas(32) int32_t value[8], at[8];
    store8(value, out);
    store8(at, out_node);
    for (int l = 0; l < 8; l++)
      if (value[l] < jp.out || (value[l] == jp.out && at[l] < jp.out_node))
        jp.out = value[l], jp.out_node = at[l];
  }
  return last;
}

// One row: the reference head (nodes 0, 1), the vector middle, the reference tail.
template <class O, bool kConstr, bool kIn, bool kOut>
QOR_AVX2 void row_fast(const FBtrans *T, const int32_t *mcol, const int32_t *icol, int L, DPcell *Q,
                       DPcell *R, DPcell *Tr, const PosConstraint *pc, const FBnodeinfo *info) {
  // The current row is usually a fresh slot of the row store, out of the cache: its first lines are
  // asked for now, the others by the blocks ahead of them (row_middle).
  for (size_t x = 0; x < kPrefetchAhead * sizeof(DPcell); x += 64) prefetch_for_writing(R, x);
  Jumps jp = row_jumps<kIn>(Q);
  Carry c;
  row_head<O, kConstr>(T, mcol, icol, Q, R, nullptr, Tr, pc, info, c, jp);
  int done = row_middle<O, kConstr, kIn, kOut>(T, mcol, icol, L, Q, R, Tr, pc, info, c, jp);
  row_tail<O, kConstr, kIn, kOut>(done + 1, T, mcol, icol, L, Q, R, nullptr, Tr, pc, info, c, jp);
}

// ---- Kernel entry -----------------------------------------------------------------------------

template <class O, bool kConstr>
QOR_AVX2 void fast_by_mode(bool in, bool out, const FBtrans *T, const int32_t *mcol, const int32_t *icol,
                           int L, DPcell *Q, DPcell *R, DPcell *Tr, const PosConstraint *pc,
                           const FBnodeinfo *info) {
  if (in && out)
    row_fast<O, kConstr, true, true>(T, mcol, icol, L, Q, R, Tr, pc, info);
  else if (in)
    row_fast<O, kConstr, true, false>(T, mcol, icol, L, Q, R, Tr, pc, info);
  else if (out)
    row_fast<O, kConstr, false, true>(T, mcol, icol, L, Q, R, Tr, pc, info);
  else
    row_fast<O, kConstr, false, false>(T, mcol, icol, L, Q, R, Tr, pc, info);
}

template <class O>
QOR_AVX2 DPcell *fast_kernel(const FBtrans *T, const int32_t *mcol, const int32_t *icol, int j, int n, int L,
                             DPcell *Q, DPcell *R, DPcell *Tr, int mode, const PosConstraint *pc,
                             const FBnodeinfo *info) {
  static_assert(!O::logsum && !O::flow && O::other_trans, "the vector form covers the minimum kernels");
  bool in, out;
  jumps_of_row(mode, j, n, &in, &out);
  if (pc == nullptr) pc = &noPosConstraint;
  if (pc->label != -1)
    fast_by_mode<O, true>(in, out, T, mcol, icol, L, Q, R, Tr, pc, info);
  else
    fast_by_mode<O, false>(in, out, T, mcol, icol, L, Q, R, Tr, pc, info);
  return R;
}

#endif  // QOR_DPROW_X86

// ---- Implementation choice --------------------------------------------------------------------

int detect_path() {
#if QOR_DPROW_X86
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return DPROW_AVX2;
#endif
  return DPROW_SCALAR;
}

const int supported_path = detect_path();
// Zero (the reference kernels) until this file's initialisation has run.
int active_path = supported_path;

}  // namespace
}  // namespace dprow

int dprow_supported_path() {
  return dprow::supported_path;
}

int dprow_active_path() {
  return dprow::active_path;
}

int dprow_select_path(int path) {
  dprow::active_path = path < dprow::supported_path ? path : dprow::supported_path;
  if (dprow::active_path < DPROW_SCALAR) dprow::active_path = DPROW_SCALAR;
  return dprow::active_path;
}

// ---- Kernels ----------------------------------------------------------------------------------

#if QOR_DPROW_X86
#define QOR_DPROW_FAST(options, ref)                                                                         \
  if (dprow::active_path == DPROW_AVX2)                                                                      \
    return dprow::fast_kernel<dprow::options>(trans, mcol, icol, j, n, L, prev, cur, trace, mode, pc, info); \
  return ref(trans, mcol, icol, j, n, last, L, prev, cur, flow, trace, mode, pc, info)
#else
#define QOR_DPROW_FAST(options, ref) \
  return ref(trans, mcol, icol, j, n, last, L, prev, cur, flow, trace, mode, pc, info)
#endif

DPcell *dprow_viterbi(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n, int last,
                      int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace, int mode,
                      const PosConstraint *pc, const FBnodeinfo *info) {
  QOR_DPROW_FAST(ViterbiOptions, dprow_viterbi_ref);
}

DPcell *dprow_align(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n, int last,
                    int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace, int mode,
                    const PosConstraint *pc, const FBnodeinfo *info) {
  QOR_DPROW_FAST(AlignOptions, dprow_align_ref);
}

DPcell *dprow_swviterbi(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n,
                        int last, int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace, int mode,
                        const PosConstraint *pc, const FBnodeinfo *info) {
  QOR_DPROW_FAST(SWViterbiOptions, dprow_swviterbi_ref);
}

DPcell *dprow_swalign(const FBtrans *trans, const int32_t *mcol, const int32_t *icol, int j, int n, int last,
                      int L, DPcell *prev, DPcell *cur, FBtrans *flow, DPcell *trace, int mode,
                      const PosConstraint *pc, const FBnodeinfo *info) {
  QOR_DPROW_FAST(SWAlignOptions, dprow_swalign_ref);
}

}  // namespace qor
