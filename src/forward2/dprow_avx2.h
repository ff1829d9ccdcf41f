// AVX2 helpers shared by the vector row kernels (dprow_min_fast.cpp, dprow_sum_fast.cpp): loads and
// stores of eight nodes' costs, lane operations, and the moves between the rows' cell and transition
// records (arrays of structures) and one vector per state or entry. Compiled for AVX2 by function
// attribute only; callers run them after a runtime check of the processor.
#ifndef QOR_FORWARD2_DPROW_AVX2_H
#define QOR_FORWARD2_DPROW_AVX2_H

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "forward2/dprow_impl.h"

#define QOR_AVX2 __attribute__((target("avx2")))

namespace qor {
namespace avx2 {

static_assert(sizeof(DPcell) == 12, "a DP cell is three 32-bit values");
static_assert(sizeof(FBtrans) == 36, "a transition record is nine 32-bit values");
static_assert(sizeof(FBnodeinfo) == 8 && offsetof(FBnodeinfo, type) == 4,
              "node information is a 32-bit label and a type character in the next 32-bit slot");

// ---- Vector helpers ---------------------------------------------------------------------------

typedef __m256i V;  // eight 32-bit costs (or codes) of nodes k..k+7

QOR_AVX2 inline V load8(const void *p) {
  return _mm256_loadu_si256(static_cast<const V *>(p));
}
QOR_AVX2 inline void store8(void *p, V v) {
  _mm256_storeu_si256(static_cast<V *>(p), v);
}
QOR_AVX2 inline V set1(int32_t x) {
  return _mm256_set1_epi32(x);
}
QOR_AVX2 inline V vadd(V a, V b) {
  return _mm256_add_epi32(a, b);
}
QOR_AVX2 inline V vmin(V a, V b) {
  return _mm256_min_epi32(a, b);
}
QOR_AVX2 inline V lt(V a, V b) {  // all ones where a < b
  return _mm256_cmpgt_epi32(b, a);
}
QOR_AVX2 inline V eq(V a, V b) {
  return _mm256_cmpeq_epi32(a, b);
}
QOR_AVX2 inline V select(V mask, V yes, V no) {
  return _mm256_blendv_epi8(no, yes, mask);
}
QOR_AVX2 inline V perm(V x, V index) {
  return _mm256_permutevar8x32_epi32(x, index);
}
QOR_AVX2 inline int32_t lane0(V x) {
  return _mm_cvtsi128_si32(_mm256_castsi256_si128(x));
}
// Four values at lo in the low half, four at hi in the high half.
QOR_AVX2 inline V load_pair(const int32_t *lo, const int32_t *hi) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(lo))),
      _mm_loadu_si128(reinterpret_cast<const __m128i *>(hi)), 1);
}
// x moved up one node; node k-1 (lane 0) taken from the previous block's moved vector, whose lane 0
// holds that block's last node. *moved receives x moved, for the next block.
QOR_AVX2 inline V from_below(V x, V previous_moved, V *moved) {
  *moved = perm(x, _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6));
  return _mm256_blend_epi32(*moved, previous_moved, 0x01);
}

// The three states of cells k..k+7 of a row.
struct Cells {
  V d, m, i;
};

// Cells row[0..7] (24 values D, M, I, D, ...) split into their three states: two blends gather the
// values of one state from the three loads, a permutation puts them in node order.
QOR_AVX2 inline Cells load_cells(const DPcell *row) {
  const int32_t *p = reinterpret_cast<const int32_t *>(row);
  V a = load8(p), b = load8(p + 8), c = load8(p + 16);
  V d = _mm256_blend_epi32(_mm256_blend_epi32(a, b, 0x92), c, 0x24);
  V m = _mm256_blend_epi32(_mm256_blend_epi32(a, b, 0x24), c, 0x49);
  V i = _mm256_blend_epi32(_mm256_blend_epi32(a, b, 0x49), c, 0x92);
  return Cells{perm(d, _mm256_setr_epi32(0, 3, 6, 1, 4, 7, 2, 5)),
               perm(m, _mm256_setr_epi32(1, 4, 7, 2, 5, 0, 3, 6)),
               perm(i, _mm256_setr_epi32(2, 5, 0, 3, 6, 1, 4, 7))};
}

// Writes the M and I entries of cells row[0..7] (the inverse of load_cells). The D entries receive
// placeholder values here; the delete pass writes them afterwards.
QOR_AVX2 inline void store_mi(DPcell *row, V m, V i) {
  int32_t *p = reinterpret_cast<int32_t *>(row);
  V ym = perm(m, _mm256_setr_epi32(5, 0, 3, 6, 1, 4, 7, 2));
  V yi = perm(i, _mm256_setr_epi32(2, 5, 0, 3, 6, 1, 4, 7));
  store8(p, _mm256_blend_epi32(ym, yi, 0x24));
  store8(p + 8, _mm256_blend_epi32(ym, yi, 0x49));
  store8(p + 16, _mm256_blend_epi32(ym, yi, 0x92));
}

// Transition entries 2..9 of nodes k..k+7 (entry 1, D to D, is read by the delete pass).
struct Trans {
  V m2d, i2d, d2m, m2m, i2m, d2i, m2i, i2i;
};

// Four vectors [four entries of node n | the same of node n+4], n = 0..3, turned into four vectors
// of one entry each for nodes 0..7.
QOR_AVX2 inline void transpose4(V a0, V a1, V a2, V a3, V *e0, V *e1, V *e2, V *e3) {
  V u0 = _mm256_unpacklo_epi32(a0, a1), u1 = _mm256_unpackhi_epi32(a0, a1);
  V u2 = _mm256_unpacklo_epi32(a2, a3), u3 = _mm256_unpackhi_epi32(a2, a3);
  *e0 = _mm256_unpacklo_epi64(u0, u2);
  *e1 = _mm256_unpackhi_epi64(u0, u2);
  *e2 = _mm256_unpacklo_epi64(u1, u3);
  *e3 = _mm256_unpackhi_epi64(u1, u3);
}

// Entries 2..9 of the transition records T[0..7] (nine values each).
QOR_AVX2 inline Trans load_trans(const FBtrans *T) {
  const int32_t *t = reinterpret_cast<const int32_t *>(T);
  Trans r;
  transpose4(load_pair(t + 1, t + 37), load_pair(t + 10, t + 46), load_pair(t + 19, t + 55),
             load_pair(t + 28, t + 64), &r.m2d, &r.i2d, &r.d2m, &r.m2m);
  transpose4(load_pair(t + 5, t + 41), load_pair(t + 14, t + 50), load_pair(t + 23, t + 59),
             load_pair(t + 32, t + 68), &r.i2m, &r.d2i, &r.m2i, &r.i2i);
  return r;
}

}  // namespace avx2
}  // namespace qor

#endif
#endif
