// DP-ready model tables: allocation, sizing and zeroing of FBmodel and PDmodel records, and the
// conversion of prepared models and query sequences into FBmodel tables.
//
// Sections: FBmodel storage | PDmodel storage | model conversion | query-sequence conversion
#include "fbmodel/fbmodel.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>

#include "alphabet/alphabet.h"
#include "models/model_prepare.h"
#include "util/util.h"

namespace qor {

// ---- FBmodel storage --------------------------------------------------------------------------

FBmodel *alloc_FBmodel() {
  FBmodel *fb = static_cast<FBmodel *>(mem_alloc(sizeof(FBmodel)));
  fb->length = -1;
  fb->is_seqmodel = 0;
  return fb;
}

// Releases one group of per-letter tables (one block and its index) and nulls the holder.
static void free_letter_tables(int32_t ***holder) {
  if (*holder != nullptr) {
    free((*holder)[0]);
    free(*holder);
    *holder = nullptr;
  }
}

// A group of `letters` per-letter tables of `cells` costs each, in one block.
static int32_t **alloc_letter_tables(int letters, int cells) {
  int count = letters > 0 ? letters : 1;
  int32_t **tables = static_cast<int32_t **>(mem_alloc(count * static_cast<int>(sizeof(int32_t *))));
  int64_t bytes = static_cast<int64_t>(count) * cells * static_cast<int64_t>(sizeof(int32_t));
  if (bytes > 2000000000) error("FBmodel tables of %d letters for %d nodes are too large", letters, cells);
  int32_t *block = static_cast<int32_t *>(mem_alloc(static_cast<int>(bytes)));
  for (int c = 0; c < count; c++) tables[c] = block + static_cast<int64_t>(c) * cells;
  return tables;
}

void clear_FBmodel(FBmodel *fb) {
  if (fb == nullptr) return;
  free_letter_tables(&fb->itables);
  free_letter_tables(&fb->mtables);
  free_letter_tables(&fb->ritables);
  free_letter_tables(&fb->rmtables);
  free(fb->trans);
  free(fb->rtrans);
  free(fb->nodeinfo);
  free(fb->rnodeinfo);
  fb->trans = fb->rtrans = nullptr;
  fb->nodeinfo = fb->rnodeinfo = nullptr;
  fb->num_letters = 0;
}

void size_FBmodel(FBmodel *fb, int L, int letters, int with_reverse) {
  if (fb->length == L && fb->num_letters == letters && fb->trans != nullptr &&
      (with_reverse == 0 || fb->rmtables != nullptr))
    return;
  clear_FBmodel(fb);
  if (L < 0 || L > MAX_MODEL_NODES + 2) error("FBmodel cannot be sized for a model of length %d", L);
  int cells = L + 2;
  fb->length = L;
  fb->num_letters = letters;
  fb->trans = static_cast<FBtrans *>(mem_alloc(cells * static_cast<int>(sizeof(FBtrans))));
  fb->rtrans = static_cast<FBtrans *>(mem_alloc(cells * static_cast<int>(sizeof(FBtrans))));
  fb->itables = alloc_letter_tables(letters, cells);
  fb->mtables = alloc_letter_tables(letters, cells);
  fb->nodeinfo = static_cast<FBnodeinfo *>(mem_alloc(cells * static_cast<int>(sizeof(FBnodeinfo))));
  if (with_reverse != 0) {
    fb->ritables = alloc_letter_tables(letters, cells);
    fb->rmtables = alloc_letter_tables(letters, cells);
    fb->rnodeinfo = static_cast<FBnodeinfo *>(mem_alloc(cells * static_cast<int>(sizeof(FBnodeinfo))));
  }
}

void zero_FBmodel(FBmodel *fb, int L, int letters) {
  size_FBmodel(fb, L, letters, 0);
  for (int k = 0; k <= L + 1; k++) {
    fb->trans[k] = FBtrans{DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY,
                           DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY};
    for (int c = 0; c < letters; c++) fb->itables[c][k] = fb->mtables[c][k] = DP_INFINITY;
  }
}

// ---- PDmodel storage --------------------------------------------------------------------------

PDmodel *alloc_PDmodel() {
  PDmodel *pd = static_cast<PDmodel *>(mem_alloc(sizeof(PDmodel)));
  pd->modlength = -1;
  pd->seqlength = -1;
  return pd;
}

void clear_PDmodel(PDmodel *pd) {
  if (pd == nullptr) return;
  int n = pd->seqlength;
  if (pd->ptrans != nullptr) {
    for (int j = -1; j <= n; j++) free(pd->ptrans[j]);
    free(pd->ptrans - 1);
    pd->ptrans = nullptr;
  }
  if (pd->mposterior != nullptr) {
    for (int j = 0; j < n; j++) free(pd->mposterior[j]);
    free(pd->mposterior);
    pd->mposterior = nullptr;
  }
  if (pd->iposterior != nullptr) {
    for (int j = 0; j < n; j++) free(pd->iposterior[j]);
    free(pd->iposterior);
    pd->iposterior = nullptr;
  }
}

void size_PDmodel(PDmodel *pd, int L, int n, int no_trans) {
  if (pd->seqlength == n && pd->modlength == L && (pd->ptrans != nullptr) == (no_trans == 0) &&
      pd->mposterior != nullptr)
    return;
  clear_PDmodel(pd);
  if (L < 0 || n < 0) error("PDmodel cannot be sized for model length %d and sequence length %d", L, n);
  pd->modlength = L;
  pd->seqlength = n;
  int cells = L + 2;
  if (static_cast<int64_t>(cells) * static_cast<int64_t>(sizeof(FBtrans)) > 2000000000)
    error("Insufficient memory in PDmodel creation");
  if (no_trans == 0) {
    FBtrans **rows = static_cast<FBtrans **>(mem_alloc((n + 2) * static_cast<int>(sizeof(FBtrans *))));
    pd->ptrans = rows + 1;  // rows -1..n
    for (int j = -1; j <= n; j++)
      pd->ptrans[j] = static_cast<FBtrans *>(mem_alloc(cells * static_cast<int>(sizeof(FBtrans))));
  }
  int nrows = n > 0 ? n : 1;
  pd->mposterior = static_cast<int32_t **>(mem_alloc(nrows * static_cast<int>(sizeof(int32_t *))));
  pd->iposterior = static_cast<int32_t **>(mem_alloc(nrows * static_cast<int>(sizeof(int32_t *))));
  for (int j = 0; j < n; j++) {
    pd->mposterior[j] = static_cast<int32_t *>(mem_alloc(cells * static_cast<int>(sizeof(int32_t))));
    pd->iposterior[j] = static_cast<int32_t *>(mem_alloc(cells * static_cast<int>(sizeof(int32_t))));
  }
  if (n > 0 && pd->mposterior[n - 1] == nullptr) {
    fprintf(stderr, "Insufficient memory for posdecode values (modlength=%d seqlength=%d)\n", L, n);
    error("Insufficient memory in PDmodel creation");
  }
}

void zero_PDmodel(PDmodel *pd, int L, int n, int no_trans) {
  size_PDmodel(pd, L, n, no_trans);
  for (int j = 0; j < n; j++)
    for (int k = 0; k <= L + 1; k++) pd->mposterior[j][k] = pd->iposterior[j][k] = PD_MAX_COST;
  if (no_trans == 0)
    for (int j = -1; j <= n; j++)
      for (int k = 0; k <= L + 1; k++)
        pd->ptrans[j][k] = FBtrans{PD_MAX_COST, PD_MAX_COST, PD_MAX_COST, PD_MAX_COST, PD_MAX_COST,
                                   PD_MAX_COST, PD_MAX_COST, PD_MAX_COST, PD_MAX_COST};
}

// ---- Model conversion -------------------------------------------------------------------------

// An emission cost scaled by the track coefficient: the product in extended precision, truncated
// toward zero. A product beyond the DP infinity would break the cost arithmetic: fatal.
static int32_t scaled_cost(int32_t cost, float coefficient) {
  long double product = static_cast<long double>(cost) * static_cast<long double>(coefficient);
  if (product > DP_INFINITY || product < -DP_INFINITY)
    error("Track coefficient %g makes the emission cost %d exceed the DP cost range", coefficient, cost);
  return static_cast<int32_t>(product);
}

// The begin and end states of a Model are M_0 and M_{L+1}; the DP tables have them as D_0 and
// D_{L+1}. The exchange is applied while reading the cost tables (the Model is not modified):
// node 0's insert entries from D and M, node 1's delete and match entries from D and M, and node
// L+1's whole delete and match triples trade places.
static FBtrans fb_trans_of_node(const Model *model, int k) {
  const ModWeight *w = model->weights[k];
  int L = model->length;
  FBtrans t{w->djump[0], w->djump[1], w->djump[2], w->mjump[0], w->mjump[1],
            w->mjump[2], w->ijump[0], w->ijump[1], w->ijump[2]};
  if (k == 0) {
    int32_t x = t.d2i;
    t.d2i = t.m2i;
    t.m2i = x;
  }
  if (k == 1) {
    int32_t x = t.d2d;
    t.d2d = t.m2d;
    t.m2d = x;
    x = t.d2m;
    t.d2m = t.m2m;
    t.m2m = x;
  }
  if (k == L + 1) {
    FBtrans s = t;
    t.d2d = s.d2m;
    t.m2d = s.m2m;
    t.i2d = s.i2m;
    t.d2m = s.d2d;
    t.m2m = s.m2d;
    t.i2m = s.i2d;
  }
  return t;
}

FBmodel *model2fbmodel(Model *model, FBmodel *fb, float coefficient) {
  if (fb == nullptr) fb = alloc_FBmodel();
  if (model != nullptr && model->is_seqmodel == 1)
    return seq2fbmodel(model->query, model->matrix, model->gap_cost, model->continue_cost, fb);
  if (model == nullptr || model->weights == nullptr) error("Null model or modweight in model2fbmodel");
  int L = model->length;
  int letters = alphabet->fwild_length;
  size_FBmodel(fb, L, letters, 1);
  fb->is_seqmodel = 0;

  FBtrans *T = fb->trans;
  for (int k = 0; k <= L + 1; k++) {
    const ModWeight *w = model->weights[k];
    T[k] = fb_trans_of_node(model, k);
    for (int c = 0; c < letters; c++) {
      fb->itables[c][k] = scaled_cost(w->insert[c], coefficient);
      fb->mtables[c][k] = scaled_cost(w->match[c], coefficient);
    }
    fb->nodeinfo[k].label = model->nodes[k]->label;
    fb->nodeinfo[k].type = model->nodes[k]->type;
  }

  // Reversed transitions: reverse node r stands for forward node L+1-r.
  FBtrans *R = fb->rtrans;
  for (int r = 0; r <= L + 1; r++) {
    FBtrans &x = R[r];
    if (r >= 1) {
      const FBtrans &a = T[L + 2 - r];
      const FBtrans &b = T[L + 1 - r];
      x.d2d = a.d2d;
      x.m2d = a.d2m;
      x.i2d = b.d2i;
      x.d2m = a.m2d;
      x.m2m = a.m2m;
      x.i2m = b.m2i;
    } else {
      x.d2d = x.m2d = x.i2d = x.d2m = x.m2m = x.i2m = DP_INFINITY;
    }
    if (r <= L) {
      x.d2i = T[L + 1 - r].i2d;
      x.m2i = T[L + 1 - r].i2m;
      x.i2i = T[L - r].i2i;
    } else {
      x.d2i = x.m2i = x.i2i = DP_INFINITY;
    }
  }

  // Reversed emissions and node information.
  for (int c = 0; c < letters; c++) {
    const int32_t *it = fb->itables[c];
    const int32_t *mt = fb->mtables[c];
    int32_t *rit = fb->ritables[c];
    int32_t *rmt = fb->rmtables[c];
    for (int r = 0; r <= L; r++) rit[r] = it[L - r];
    rit[L + 1] = it[L + 1];
    for (int r = 1; r <= L; r++) rmt[r] = mt[L + 1 - r];
    rmt[0] = mt[0];
    rmt[L + 1] = mt[L + 1];
  }
  for (int r = 0; r <= L + 1; r++) fb->rnodeinfo[r] = fb->nodeinfo[L + 1 - r];
  return fb;
}

// ---- Query-sequence conversion ----------------------------------------------------------------

FBmodel *seq2fbmodel(Sequence *seq, int32_t **matrix, int32_t gap, int32_t gap_continue, FBmodel *fb) {
  if (seq == nullptr || seq->length <= 0 || matrix == nullptr)
    error("Null model or modweight in model2fbmodel");
  assert(seq->converted);
  if (seq->converted == 0) {
    fprintf(stderr, "Assertion failed: seq->converted\n");
    abort();
  }
  int32_t g = gap < 0 ? -gap : gap;
  int32_t e = gap_continue < 0 ? -gap_continue : gap_continue;
  set_fims_added();
  if (fb == nullptr) fb = alloc_FBmodel();
  int n = seq->length;
  int letters = alphabet->fwild_length;
  size_FBmodel(fb, n + 1, letters, 0);
  fb->is_seqmodel = 1;
  const unsigned char *s = seq->tracks[0].letters;
  for (int k = 0; k <= n + 2; k++) {
    fb->trans[k] = FBtrans{e, g, g, 0, 0, 0, g, g, e};
    fb->nodeinfo[k].label = -1;
    fb->nodeinfo[k].type = 0;
    for (int c = 0; c < letters; c++) {
      fb->itables[c][k] = 0;
      fb->mtables[c][k] = (k == 0 || k > n) ? DP_INFINITY : -matrix[s[k - 1]][c];
    }
  }
  const int32_t X = DP_INFINITY;
  fb->trans[0] = FBtrans{X, X, X, X, X, X, 0, X, 0};
  fb->trans[1].d2d = 0;
  fb->trans[1].i2d = 0;
  fb->trans[n + 1] = FBtrans{0, 0, 0, X, X, X, 0, 0, 0};
  fb->trans[n + 2] = FBtrans{0, 0, 0, X, X, X, X, X, X};
  return fb;
}

}  // namespace qor
