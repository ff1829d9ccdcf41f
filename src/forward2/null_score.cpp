// Null-model scores: the cost of a sequence under the model's own FIM (every residue from the FIM
// insert distribution, every step paying the FIM loop), the length adjustment of adjust_score,
// and the per-track scale and shift of probabilistic-sequence scoring.
//
// Sections: probabilistic costs | null score | adjustment | scaling
#include <cmath>
#include <cstdio>

#include "alphabet/alphabet.h"
#include "forward2/forward2.h"
#include "util/util.h"

namespace qor {

double ps_scale[MAX_TRACKS] = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
double ps_shift[MAX_TRACKS] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};

static const Alphabet *track_alphabet(int t) {
  return alphabets[t] != nullptr ? alphabets[t] : alphabet;
}

static int32_t prob_cost(long double p) {
  if (p <= 2.0612e-9L) return 80000;
  return static_cast<int32_t>(0.5L - 1000.0L * logl(p));
}

// ---- Probabilistic costs ----------------------------------------------------------------------

// Cost of one probabilistic position q against the FIM insert probabilities p.
static int64_t probabilistic_cost(const float *q, const float *p, int letters, int method, int t) {
  if (method < 0) error("Unknown combine_mod_probseq method %d\n", method);
  long double s = 0, u = 0;
  if (method == 0 || method == 1) {
    for (int b = 0; b < letters; b++) {
      s += static_cast<long double>(prob_cost(p[b])) * q[b];
      u += static_cast<long double>(prob_cost(q[b])) * p[b];
    }
    return method == 0 ? static_cast<int64_t>(s) : static_cast<int64_t>(0.5L * (s + u));
  }
  for (int b = 0; b < letters; b++) s += static_cast<long double>(q[b]) * p[b];
  return static_cast<int64_t>(1000.0L * (-logl(s) * ps_scale[t] + ps_shift[t]) + 0.5L);
}

// ---- Null score -------------------------------------------------------------------------------

double base_null_score(Model **models, const float *coefficients, int ntracks, Sequence *seq) {
  set_pseq_scale(models, ntracks, seq, Prob_seq_method);
  int n = seq->length;
  long double total = 0;
  for (int t = 0; t < ntracks; t++) {
    const Model *model = models[t];
    if (model == nullptr || model->fim_weight == nullptr)
      error("base_null_score: track %d has no FIM costs", t);
    const int32_t *w = model->fim_weight->insert;
    const Alphabet *a = track_alphabet(t);
    long double sum = 0;
    for (int j = 0; j < n; j++) {
      if (seq->tracks[t].probs == nullptr) {
        int letter = seq->tracks[t].letters[j];
        sum += a->internal_id == CODON_ID ? w[25 * letter + 24] : w[letter];
      } else {
        if (a->internal_id == CODON_ID) error("Codon alphabet not supported with probabilistic sequences");
        const float *p = model->fim_node->insert;
        sum += probabilistic_cost(seq->tracks[t].probs[j], p, a->flength, Prob_seq_method, t);
      }
    }
    total += coefficients != nullptr ? sum * coefficients[t] : sum;
  }
  total += static_cast<long double>(n) * models[0]->fim_weight->ijump[2];
  return static_cast<double>(total / 1000.0L);
}

// ---- Adjustment -------------------------------------------------------------------------------

long double score_adjustment(int adjust, int n, int L) {
  if (adjust == 1) return n + L < 1 ? 0.0f : static_cast<float>(log(static_cast<double>(n + L)));
  if (adjust == 2) return n < 1 ? 0.0f : static_cast<float>(log(static_cast<double>(n)));
  return 0.0f;
}

long double null_mod_score(Model **models, const float *coefficients, int ntracks, Sequence *seq, float x,
                           int adjust) {
  if (x == 1000000.0f) return 1000000.0L;
  return (x - static_cast<long double>(base_null_score(models, coefficients, ntracks, seq))) +
         score_adjustment(adjust, seq->length, models[0]->length);
}

// ---- Scaling ----------------------------------------------------------------------------------

void set_pseq_scale(Model **models, int ntracks, Sequence *seq, int method) {
  for (int t = 0; t < ntracks && t < MAX_TRACKS; t++) {
    if (seq->tracks[t].probs == nullptr || method <= 2 || models == nullptr || models[t] == nullptr) {
      ps_shift[t] = 0.0;
      ps_scale[t] = 1.0;
      continue;
    }
    if (method > 8) error("Illegal pseqmethod %d\n", method);
    const Model *model = models[t];
    const float *p = model->fim_node->insert;
    int letters = track_alphabet(t)->flength;
    int n = seq->length;
    double H = 0, S = 0;
    for (int b = 0; b < letters; b++) {
      if (p[b] <= 0) continue;  // ln 0 is undefined: such entries are skipped
      double lp = log(static_cast<double>(p[b]));
      H -= p[b] * lp;
      S += p[b] * lp * lp;
    }
    double c = 0, v = 0, g = 0, u = 0;
    for (int j = 0; j < n; j++) {
      double s = 0;
      for (int b = 0; b < letters; b++) s += p[b] * seq->tracks[t].probs[j][b];
      double x = log(s);
      c += x;
      v += x * x;
    }
    for (int l = 1; l <= model->length; l++) {
      double s = 0;
      for (int b = 0; b < letters; b++) s += p[b] * model->nodes[l]->match[b];
      double y = log(s);
      g += y;
      u += y * y;
    }
    double dn = n > 0 ? n : 1;
    c = -c / dn, v = v / dn, g = -g / dn, u = u / dn;
    double scale = 1.0, shift = 0.0, replaced = 0.0;
    bool rescaled = false;
    switch (method) {
      case 3:
        shift = H - c;
        break;
      case 4:
        scale = H / c;
        break;
      case 6:
        shift = H - g;
        break;
      case 7:
        scale = H / g;
        break;
      case 5:
      case 8: {
        double mean = method == 5 ? c : g, sq = method == 5 ? v : u;
        scale = sq - mean * mean < 2.0612e-9 ? 1.0 : sqrt((S - H * H) / (sq - mean * mean));
        if (scale > 4) {
          replaced = scale;
          rescaled = true;
          scale = 1.0;
        }
        shift = H - mean * scale;
        break;
      }
    }
    ps_scale[t] = scale;
    ps_shift[t] = shift;
    if (rescaled)
      fprintf(stderr, "Pseqmeth %d Seq %s scale %5.2f shift %5.2f (rescaled from %5.2f)\n", method, seq->id,
              scale, shift, replaced);
    else
      fprintf(stderr, "Pseqmeth %d Seq %s scale %5.2f shift %5.2f\n", method, seq->id, scale, shift);
  }
}

}  // namespace qor
