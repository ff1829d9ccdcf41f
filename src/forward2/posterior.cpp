// Posterior combination: the forward row and the backward row of one residue turned into the
// posterior of the residue's state on an existing path (styles 6 and 100) or into the state
// posteriors of PD (styles 4 and 5); the entry points of the posterior-decoded alignment and of
// expected-count accumulation.
//
// Sections: clamping | combination | posterior-decoded alignment | counts
#include "forward2/forward2.h"

namespace qor {

// ---- Clamping ---------------------------------------------------------------------------------

static inline int32_t clamp_posterior(int64_t v) {
  return v > PD_MAX_COST ? PD_MAX_COST : (v < 0 ? 0 : static_cast<int32_t>(v));
}

// ---- Combination ------------------------------------------------------------------------------

// Posterior of the state the existing alignment gives residue j (styles 6 and 100).
static void path_posterior(int L, const DPcell *F, const DPcell *B, const int32_t *rmcol,
                           const int32_t *ricol, PathRecord *rec, int32_t total) {
  int match = 0;
  int k = backstep_alignment(nullptr, L, 0, &match);
  if (k < 0 || k > L + 1) {  // the alignment covers fewer residues than the sequence has
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

// State posteriors of residue j (styles 4 and 5).
static void state_posteriors(int L, int j, const DPcell *F, const DPcell *B, const int32_t *rmcol,
                             const int32_t *ricol, int32_t total) {
  if (PD == nullptr || j < 0 || j >= PD->seqlength) return;
  int32_t *mp = PD->mposterior[j];
  int32_t *ip = PD->iposterior[j];
  for (int k = 1; k <= L + 1; k++) {
    int r = L + 1 - k;
    mp[k] = clamp_posterior(int64_t(B[r].M) + F[k].M - rmcol[r] - total);
    if (k <= L) ip[k] = clamp_posterior(int64_t(B[r - 1].I) + F[k].I - ricol[r - 1] - total);
  }
  ip[0] = clamp_posterior(int64_t(B[L].I) + F[0].I - ricol[L] - total);
  mp[0] = PD_MAX_COST;
}

void combine_rows(int L, int j, int letter, const DPcell *F, const DPcell *B, const int32_t *rmcol,
                  const int32_t *ricol, const FBtrans *Wj, const FBtrans *Wj1, FBmodel *counts, int style,
                  PathRecord *path, int32_t total) {
  (void)letter;
  (void)Wj;
  (void)Wj1;
  (void)counts;
  if (j < 0) return;  // the initial row carries transition posteriors only (style 4)
  if ((style == 6 || style == 100) && path != nullptr) path_posterior(L, F, B, rmcol, ricol, path, total);
  if (style == 4 || style == 5) state_posteriors(L, j, F, B, rmcol, ricol, total);
}

// ---- Posterior-decoded alignment --------------------------------------------------------------

// Not built yet: the transition posteriors of style 4 and the alignment DP over PD belong to the
// posterior-decoding work; until then the Viterbi-free styles 4 and 5 report the forward cost and
// leave the alignment unchanged.
int32_t posterior_decoded_alignment(Sequence *seq, int style, int32_t cost) {
  (void)seq;
  (void)style;
  return cost;
}

// ---- Counts -----------------------------------------------------------------------------------

void accumulate_frequencies(Model *count_model, FBmodel *counts, int32_t total) {
  (void)counts;
  (void)total;
  if (count_model == nullptr) return;
}

}  // namespace qor
