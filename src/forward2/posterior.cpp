// Posterior combination: the forward row and the backward row of one residue turned into the
// posterior of the residue's state on an existing path (styles 6 and 100), into the state
// posteriors of PD (styles 4 and 5) and the transition posteriors of PD (style 4); the
// posterior-decoded alignment over PD; the entry point of expected-count accumulation.
//
// Rows: F is indexed by forward node k, the backward row B and the flow rows W_j, W_{j+1} by
// reverse node r = L+1-k. A posterior cost is clamp(x - total): -1000 ln P limited to 0..20000.
//
// Sections: clamping | path posteriors | state posteriors | transition posteriors | combination |
//           posterior-decoded alignment | counts
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "forward2/dprow_variants.h"
#include "forward2/forward2.h"
#include "util/util.h"

namespace qor {

// ---- Clamping ---------------------------------------------------------------------------------

static inline int32_t clamp_posterior(int64_t v) {
  return v > PD_MAX_COST ? PD_MAX_COST : (v < 0 ? 0 : static_cast<int32_t>(v));
}

// ---- Path posteriors (styles 6 and 100) -------------------------------------------------------

// path_posterior: the posterior of the state that the sequence's alignment gives residue j, read
//   from the alignment walker (which steps one residue backwards per call). The emission of
//   residue j is in both F and B and is taken out once. A residue the walker cannot place (the
//   alignment covers fewer residues than the sequence) gets -20.0, its node as the walker gave it
//   and the insert flag.
static void path_posterior(int L, const DPcell *F, const DPcell *B, const int32_t *rmcol,
                           const int32_t *ricol, PathRecord *rec, int32_t total) {
  int match = 0;
  int k = backstep_alignment(nullptr, L, 0, &match);
  bool placed = match ? (k >= 1 && k <= L + 1) : (k >= 0 && k <= L);
  if (!placed) {
    rec->log_posterior = -20.0f;
    rec->position = k;
    rec->match = 0;
    return;
  }
  int64_t x;
  if (match)
    x = int64_t(B[L + 1 - k].M) + F[k].M - rmcol[L + 1 - k] - total;
  else
    x = int64_t(B[L - k].I) + F[k].I - ricol[L - k] - total;
  rec->log_posterior =
      x > PD_MAX_COST ? -20.0f : static_cast<float>(-0.001 * static_cast<double>(x > 0 ? x : 0));
  rec->position = k;
  rec->match = match;
}

// ---- State posteriors (styles 4 and 5) --------------------------------------------------------

// state_posteriors: mposterior[j][k] and iposterior[j][k] of every node. M_0 does not exist and
//   the insert state of the end node is on no path: both get 20000.
static void state_posteriors(int L, int j, const DPcell *F, const DPcell *B, const int32_t *rmcol,
                             const int32_t *ricol, int32_t total) {
  if (PD == nullptr || j < 0 || j >= PD->seqlength) return;
  int32_t *mp = PD->mposterior[j];
  int32_t *ip = PD->iposterior[j];
  mp[0] = PD_MAX_COST;
  ip[0] = clamp_posterior(int64_t(B[L].I) + F[0].I - ricol[L] - total);
  for (int k = 1; k <= L; k++) {
    int r = L + 1 - k;
    mp[k] = clamp_posterior(int64_t(B[r].M) + F[k].M - rmcol[r] - total);
    ip[k] = clamp_posterior(int64_t(B[r - 1].I) + F[k].I - ricol[r - 1] - total);
  }
  mp[L + 1] = clamp_posterior(int64_t(B[0].M) + F[L + 1].M - rmcol[0] - total);
  ip[L + 1] = PD_MAX_COST;
}

// ---- Transition posteriors (style 4) ----------------------------------------------------------

// The three terms out of one state of node k: into D_{k+1}, into M_{k+1}, into I_k.
struct OutTerms {
  int64_t to_d, to_m, to_i;
};

constexpr int64_t NO_TERM = static_cast<int64_t>(PD_MAX_COST) * 1000000;  // clamps to 20000

// transition_posteriors: the posterior of every transition at residue j (j = -1: the initial
//   row, where only the delete states exist), filed in the trans layout under the row at which
//   the target state is entered: the transitions into delete states stay in row j, those into
//   match and insert states (which emit residue j+1) move to row j+1.
static void transition_posteriors(int L, int j, const DPcell *F, const FBtrans *Wj, const FBtrans *Wj1,
                                  int32_t total) {
  if (PD == nullptr || PD->ptrans == nullptr || j < -1 || j >= PD->seqlength) return;
  if (Wj1 == nullptr || (j >= 0 && Wj == nullptr)) return;
  FBtrans *P = PD->ptrans[j];
  const bool initial = j < 0;
  // Out-going terms of node k - 1 (prev_*) and node k (cur_*) while walking k upwards.
  OutTerms prev_d{NO_TERM, NO_TERM, NO_TERM}, prev_m = prev_d, prev_i = prev_d;
  auto post = [total](int64_t term) { return clamp_posterior(term - total); };
  for (int k = 0; k <= L + 1; k++) {
    const int r = L + 1 - k;
    // Out of D_k: F[k].D + W_{j+1}[r] entries 1, 2, 3.
    OutTerms cur_d{int64_t(F[k].D) + Wj1[r].d2d, int64_t(F[k].D) + Wj1[r].m2d, int64_t(F[k].D) + Wj1[r].i2d};
    OutTerms cur_m{NO_TERM, NO_TERM, NO_TERM}, cur_i{NO_TERM, NO_TERM, NO_TERM};
    if (!initial) {
      // Out of M_k: F[k].M + W_j[r] entries 4, 5, 6.
      cur_m = OutTerms{int64_t(F[k].M) + Wj[r].d2m, int64_t(F[k].M) + Wj[r].m2m, int64_t(F[k].M) + Wj[r].i2m};
      // Out of I_k (nodes k <= L): F[k].I + W_j[r-1] entries 7, 8, 9.
      if (k <= L)
        cur_i = OutTerms{int64_t(F[k].I) + Wj[r - 1].d2i, int64_t(F[k].I) + Wj[r - 1].m2i,
                         int64_t(F[k].I) + Wj[r - 1].i2i};
    }
    FBtrans &p = P[k];
    if (k == 0) {
      p = FBtrans{PD_MAX_COST, PD_MAX_COST,      PD_MAX_COST, PD_MAX_COST,     PD_MAX_COST,
                  PD_MAX_COST, post(cur_d.to_i), PD_MAX_COST, post(cur_i.to_i)};
    } else {
      p.d2d = post(prev_d.to_d);  // into D_k from D_{k-1}
      p.m2d = post(prev_m.to_d);  // into D_k from M_{k-1}
      p.i2d = post(prev_i.to_d);  // into D_k from I_{k-1}
      p.d2m = post(prev_d.to_m);  // into M_k from D_{k-1}
      p.m2m = post(prev_m.to_m);  // into M_k from M_{k-1}
      p.i2m = post(prev_i.to_m);  // into M_k from I_{k-1}
      p.d2i = post(cur_d.to_i);   // into I_k from D_k
      p.m2i = post(cur_m.to_i);   // into I_k from M_k
      p.i2i = post(cur_i.to_i);   // into I_k from I_k
    }
    prev_d = cur_d;
    prev_m = cur_m;
    prev_i = cur_i;
  }
  // Transitions into the emitting states of residue j+1 belong to row j+1.
  if (j + 1 > PD->seqlength) return;
  FBtrans *next = PD->ptrans[j + 1];
  for (int k = 0; k <= L; k++) {
    FBtrans &p = P[k], &q = next[k];
    q.d2m = p.d2m, q.m2m = p.m2m, q.i2m = p.i2m;
    q.d2i = p.d2i, q.m2i = p.m2i, q.i2i = p.i2i;
    p.d2m = p.m2m = p.i2m = p.d2i = p.m2i = p.i2i = PD_MAX_COST;
  }
}

// ---- Combination ------------------------------------------------------------------------------

// combine_rows_posdecode: the posteriors of the style at residue j: the path record (styles 6
//   and 100), the state posteriors (styles 4 and 5, j >= 0) and the transition posteriors
//   (style 4, j >= -1).
static void combine_rows_posdecode(int L, int j, int letter, const DPcell *F, const DPcell *B,
                                   const int32_t *rmcol, const int32_t *ricol, const FBtrans *Wj,
                                   const FBtrans *Wj1, int style, PathRecord *path, int32_t total) {
  (void)letter;
  if (j >= 0 && (style == 6 || style == 100) && path != nullptr)
    path_posterior(L, F, B, rmcol, ricol, path, total);
  if (j >= 0 && (style == 4 || style == 5)) state_posteriors(L, j, F, B, rmcol, ricol, total);
  if (style == 4) transition_posteriors(L, j, F, Wj, Wj1, total);
}

// combine_rows_ref: the posteriors of residue j (j = -1: the forward initial row, after the
//   backward pass) for the styles 2, 4, 5, 6, 7 and 100; expected counts only when count tables
//   are given (never in this system). The reference of combine_rows.
void combine_rows_ref(int L, int j, int letter, const DPcell *F, const DPcell *B, const int32_t *rmcol,
                      const int32_t *ricol, const FBtrans *Wj, const FBtrans *Wj1, FBmodel *counts, int style,
                      PathRecord *path, int32_t total) {
  if (style == 2 || style == 4 || style == 5 || style == 6 || style == 7 || style == 100)
    combine_rows_posdecode(L, j, letter, F, B, rmcol, ricol, Wj, Wj1, style, path, total);
  (void)counts;  // expected-count accumulation serves training programs outside this system
}

// clamp_posterior without branches (clamps of drawn-out rows mispredict).
static inline int32_t clamp_nb(int64_t v) {
  const int64_t low = v < 0 ? 0 : v;
  return static_cast<int32_t>(low < PD_MAX_COST ? low : PD_MAX_COST);
}

// state_posteriors_fast: state_posteriors over restrict pointers, one loop per state row.
static void state_posteriors_fast(int L, int j, const DPcell *__restrict F, const DPcell *__restrict B,
                                  const int32_t *__restrict rmcol, const int32_t *__restrict ricol,
                                  int32_t total) {
  if (PD == nullptr || j < 0 || j >= PD->seqlength) return;
  int32_t *__restrict mp = PD->mposterior[j];
  int32_t *__restrict ip = PD->iposterior[j];
  const int64_t t = total;
  mp[0] = PD_MAX_COST;
  ip[0] = clamp_nb(int64_t(B[L].I) + F[0].I - ricol[L] - t);
  for (int k = 1; k <= L + 1; k++) {
    const int r = L + 1 - k;
    mp[k] = clamp_nb(int64_t(B[r].M) + F[k].M - rmcol[r] - t);
  }
  for (int k = 1; k <= L; k++) {
    const int r = L - k;
    ip[k] = clamp_nb(int64_t(B[r].I) + F[k].I - ricol[r] - t);
  }
  ip[L + 1] = PD_MAX_COST;
}

// transition_posteriors_fast: transition_posteriors with the terms of node k-1 read straight from
//   the rows (no carried records) and the entries of row j+1 written in place of the copy.
static void transition_posteriors_fast(int L, int j, const DPcell *__restrict F, const FBtrans *__restrict Wj,
                                       const FBtrans *__restrict Wj1, int32_t total) {
  if (PD == nullptr || PD->ptrans == nullptr || j < -1 || j >= PD->seqlength) return;
  if (Wj1 == nullptr || (j >= 0 && Wj == nullptr)) return;
  FBtrans *__restrict P = PD->ptrans[j];
  // Transitions into the emitting states of residue j+1 belong to row j+1 (nodes 0..L).
  FBtrans *__restrict next = j + 1 <= PD->seqlength ? PD->ptrans[j + 1] : nullptr;
  const int64_t t = total;
  auto post = [t](int32_t a, int32_t b) { return clamp_nb(int64_t(a) + b - t); };
  constexpr int32_t X = PD_MAX_COST;
  // Writes the six entries into M_k and I_k: to row j+1 (row j keeps 20000) or to row j.
  auto emit_entries = [&](int k, int32_t d2m, int32_t m2m, int32_t i2m, int32_t d2i, int32_t m2i,
                          int32_t i2i) {
    FBtrans &p = P[k];
    if (next != nullptr && k <= L) {
      FBtrans &q = next[k];
      q.d2m = d2m, q.m2m = m2m, q.i2m = i2m, q.d2i = d2i, q.m2i = m2i, q.i2i = i2i;
      p.d2m = p.m2m = p.i2m = p.d2i = p.m2i = p.i2i = X;
    } else {
      p.d2m = d2m, p.m2m = m2m, p.i2m = i2m, p.d2i = d2i, p.m2i = m2i, p.i2i = i2i;
    }
  };
  if (j < 0) {  // the initial row: only the delete states exist
    P[0].d2d = P[0].m2d = P[0].i2d = X;
    emit_entries(0, X, X, X, post(F[0].D, Wj1[L + 1].i2d), X, X);
    for (int k = 1; k <= L + 1; k++) {
      const int r = L + 1 - k;
      const int32_t fd = F[k - 1].D;
      P[k].d2d = post(fd, Wj1[r + 1].d2d);
      P[k].m2d = X;
      P[k].i2d = X;
      emit_entries(k, post(fd, Wj1[r + 1].m2d), X, X, post(F[k].D, Wj1[r].i2d), X, X);
    }
    return;
  }
  P[0].d2d = P[0].m2d = P[0].i2d = X;
  emit_entries(0, X, X, X, post(F[0].D, Wj1[L + 1].i2d), X, post(F[0].I, Wj[L].i2i));
  for (int k = 1; k <= L + 1; k++) {
    const int r = L + 1 - k;
    const DPcell f = F[k - 1];
    const FBtrans &w1 = Wj1[r + 1], &w = Wj[r + 1], &wi = Wj[r];
    P[k].d2d = post(f.D, w1.d2d);
    P[k].m2d = post(f.M, w.d2m);
    P[k].i2d = post(f.I, wi.d2i);
    emit_entries(k, post(f.D, w1.m2d), post(f.M, w.m2m), post(f.I, wi.m2i), post(F[k].D, Wj1[r].i2d),
                 post(F[k].M, wi.i2m), k <= L ? post(F[k].I, Wj[r - 1].i2i) : X);
  }
}

// combine_rows: combine_rows_ref with the state and transition posteriors written in single
//   passes; the same posteriors and path record. With the scalar implementation chosen
//   (dprow_select_path) it runs the reference itself, so that whole passes can be compared.
void combine_rows(int L, int j, int letter, const DPcell *F, const DPcell *B, const int32_t *rmcol,
                  const int32_t *ricol, const FBtrans *Wj, const FBtrans *Wj1, FBmodel *counts, int style,
                  PathRecord *path, int32_t total) {
  if (dprow_active_path() == DPROW_SCALAR) {
    combine_rows_ref(L, j, letter, F, B, rmcol, ricol, Wj, Wj1, counts, style, path, total);
    return;
  }
  (void)letter;
  (void)counts;  // expected-count accumulation serves training programs outside this system
  if (j >= 0 && (style == 6 || style == 100) && path != nullptr)
    path_posterior(L, F, B, rmcol, ricol, path, total);
  if (j >= 0 && (style == 4 || style == 5)) state_posteriors_fast(L, j, F, B, rmcol, ricol, total);
  if (style == 4) transition_posteriors_fast(L, j, F, Wj, Wj1, total);
}

// ---- Posterior-decoded alignment --------------------------------------------------------------

// Row r of posspace (rows of rowlen cells).
static inline DPcell *pos_row(int r) {
  return posspace + static_cast<int64_t>(r) * rowlen;
}

static const char *id_of(const Sequence *seq) {
  return seq->id != nullptr ? seq->id : "";
}

// Row values of the alignment DP over posteriors: every posterior cost lies in 0..20000, so the
// largest value of a row exceeds the largest of the previous row (or the infinity of node 0) by at
// most 60000 (a transition and an emission from the previous row, then one transition within the
// row); values fall only through negative jump costs. The bounds are carried from row to row and
// the row is measured exactly only when they come near the 32-bit limits.
struct PosGuard {
  int64_t hi, lo, fall;
};

static void pos_measure(PosGuard *g, const DPcell *row, int L) {
  int64_t hi = row[0].D, lo = row[0].D;
  for (int k = 0; k <= L + 1; k++) {
    const int64_t v[3] = {row[k].D, row[k].M, row[k].I};
    for (int64_t x : v) {
      hi = x > hi ? x : hi;
      lo = x < lo ? x : lo;
    }
  }
  g->hi = hi;
  g->lo = lo;
}

static void pos_guard_row(PosGuard *g, const DPcell *prev, int L, const Sequence *seq, int j) {
  const int64_t rise = 3 * static_cast<int64_t>(PD_MAX_COST);
  auto unsafe = [&]() {
    return (g->hi > DP_INFINITY ? g->hi : DP_INFINITY) + rise > INT32_MAX || g->lo - g->fall < INT32_MIN;
  };
  if (unsafe()) {
    pos_measure(g, prev, L);
    if (unsafe())
      error(
          "Sequence %s (length %d) is too long for posterior decoding with this model: its DP costs leave "
          "the 32-bit range at residue %d",
          id_of(seq), seq->length, j);
  }
  g->hi = (g->hi > DP_INFINITY ? g->hi : DP_INFINITY) + rise;
  g->lo -= g->fall;
}

// posterior_decoded_alignment: the alignment DP of styles 4 and 5 over the posteriors of PD, its
//   traceback and encoding into seq's alignment. Style 4 aligns in SW_mode over the state and
//   transition posteriors, its initial row deleting at the posterior costs of the begin-to-delete
//   transitions; style 5 aligns globally over the state posteriors alone, from an initial row of
//   zeros. The DP row of residue j lies in posspace row j+3 and its trace in row j+1 (over the DP
//   row of residue j-2, no longer read). Returns the model cost of the encoded path, or `cost`
//   (the all-paths cost) when Traceback is 3.
//   Fatal: a sequence whose posterior alignment leaves the 32-bit range or reaches the DP
//   infinity (the trace no longer describes an alignment then).
int32_t posterior_decoded_alignment(Sequence *seq, int style, int32_t cost) {
  const int n = seq->length;
  const int L = FB->length;
  if (PD == nullptr || posspace == nullptr || n > PD->seqlength || (style == 4 && PD->ptrans == nullptr) ||
      static_cast<int64_t>(n + 4) * rowbytes > pdmemalloc)
    error("Posterior decoding of %s (length %d) without posterior storage for it", id_of(seq), n);
  const int mode = style == 4 ? SW_mode : 0;

  DPcell *initial = pos_row(2);
  init_dprow(L, initial, style == 4 ? PD->ptrans[-1] : nullptr, nullptr);
  PosGuard guard{0, 0, 0};
  if (style == 4) {
    if (jump_in_cost < 0) guard.fall -= jump_in_cost;
    if (jump_out_cost < 0) guard.fall -= jump_out_cost;
  }
  pos_measure(&guard, initial, L);
  for (int j = 0; j < n; j++) {
    DPcell *prev = pos_row(j + 2), *cur = pos_row(j + 3), *trace = pos_row(j + 1);
    pos_guard_row(&guard, prev, L, seq, j);
    if (style == 4)
      dprow_align(PD->ptrans[j], PD->mposterior[j], PD->iposterior[j], j, n, L + 2, L, prev, cur, nullptr,
                  trace, mode, &noPosConstraint, FB->nodeinfo);
    else
      dprow_zalign(nullptr, PD->mposterior[j], PD->iposterior[j], j, n, L + 2, L, prev, cur, nullptr, trace,
                   mode, &noPosConstraint, FB->nodeinfo);
  }
  const int32_t best = pos_row(n + 2)[L + 1].D;
  if (best >= DP_INFINITY)
    error(
        "Sequence %s (length %d) is too long for posterior decoding with this model: its posterior "
        "alignment cost %d reaches the DP infinity %d",
        id_of(seq), n, best, DP_INFINITY);

  // Traceback from the end state over all n trace rows, then the deletions down to node 1.
  if (dpalen < n + 2 * L + 4) {
    free(alignspace);
    dpalen = n + 2 * L + 4;
    alignspace = static_cast<int32_t *>(mem_alloc(dpalen * static_cast<int>(sizeof(int32_t))));
  }
  int state = TRACE_D, node = L + 1, plen = 0;
  for (int j = n - 1; j >= 0; j--) {
    if (node < 0 || plen + L + 4 > dpalen)
      error("Internal traceback error: posterior path of %s at residue %d", id_of(seq), j);
    viterbi_traceback(pos_row(j + 1), alignspace, &plen, &state, j, &node);
  }
  for (int k = (n == 0 ? L + 1 : node); k >= 1; k--) alignspace[plen++] = TRACE_D;
  alignspace[plen] = PATH_END;
  int32_t path_cost = static_cast<int32_t>(encode_alignment(alignspace, seq, L, nullptr));
  return Traceback == 3 ? cost : path_cost;
}

// ---- Counts -----------------------------------------------------------------------------------

// accumulate_frequencies: expected-count accumulation into a count model; returns at once when
//   there is none (always in this system).
void accumulate_frequencies(Model *count_model, FBmodel *counts, int32_t total) {
  (void)counts;
  (void)total;
  if (count_model == nullptr) return;
}

}  // namespace qor
