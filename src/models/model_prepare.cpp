// Model preparation: the cost rule, assembly of a model read from a file into the dense form,
// normalisation of every probability vector, and the integer cost tables the DP engine reads.
//
// Sections: costs | preparation | assembly | normalisation | cost tables | begin/end conventions
#include "models/model_prepare.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "util/util.h"

namespace qor {

// ---- Costs ------------------------------------------------------------------------------------

// prob_cost: the cost of probability p in thousandths of a nat.
//   p <= 2.0612e-9 costs 80000 (impossible). Otherwise the integer part (truncation toward zero)
//   of 0.5 - 1000 ln p in extended precision: -1000 ln p rounded half up for p <= 1, a negative
//   cost for p above 1. A value that is not a number counts as impossible; an infinite p costs as
//   much as the largest finite float, so the cast never leaves the 32-bit range.
int32_t prob_cost(float p) {
  if (!(p > COST_MIN_PROB)) return COST_IMPOSSIBLE;
  if (std::isinf(p)) p = FLT_MAX;
  long double cost = 0.5L - 1000.0L * logl(static_cast<long double>(p));
  return static_cast<int32_t>(cost);
}

// ---- Preparation ------------------------------------------------------------------------------

// process_rmodel: assembles *holder (consumed and nulled) and prepares the result.
//   Returns the prepared model.
Model *process_rmodel(RModel **holder, int add_fims, int local_mode, ScoreParams *score, int track,
                      FILE *log) {
  Model *model = destruct_rmodel2model(holder);
  reprocess_model(&model, add_fims, local_mode, score, track, log);
  return model;
}

// reprocess_model: prepares the assembled model *holder in place.
//   1. Insert methods: track <= 0 with a Score record takes FIM_method_score and
//      Insert_method_score, otherwise 0 and 0; negative values are automatic. The effective methods
//      go to score->fim_method_used and score->insert_method_used.
//   2. Local mode and FIMs at the ends (setup_sw_add_fims); *holder may get a longer model.
//   3. score->model_length gets the model length.
//   4. Normalisation, then the cost tables.
//   Fatal: a model with a missing node (change_inserts_set_fim aborts on a null model).
void reprocess_model(Model **holder, int add_fims, int local_mode, ScoreParams *score, int track, FILE *log) {
  Model *model = holder != nullptr ? *holder : nullptr;
  if (model != nullptr) {
    for (int k = 0; k <= model->length + 1; k++)
      if (model->nodes == nullptr || model->nodes[k] == nullptr)
        error("reprocess_model: node %d of the model (length %d) is missing; the model cannot be prepared", k,
              model->length);
  }
  int fim_method = 0, insert_method = 0;
  if (track <= 0 && score != nullptr) {
    fim_method = score->FIM_method_score;
    insert_method = score->Insert_method_score;
  }
  int fim_used = 0, insert_used = 0;
  change_inserts_set_fim(model, fim_method, insert_method, 1, &fim_used, &insert_used);
  if (score != nullptr) {
    score->fim_method_used = fim_used;
    score->insert_method_used = insert_used;
  }

  int32_t private_adjust = 0;
  int32_t *adjust = score != nullptr ? &score->adjust_score : &private_adjust;
  setup_sw_add_fims(holder, add_fims, local_mode, adjust, track, log);
  model = *holder;
  if (score != nullptr) score->model_length = model->length;

  normalize_model(model);
  log_model(model);
}

// ---- Assembly ---------------------------------------------------------------------------------

// destruct_rmodel2model: the dense model of the bundle *holder (consumed and nulled).
//   Nodes 0..length come from the numbered slots, the end slots (last first) follow; an empty slot
//   becomes a copy of GENERIC (keeping GENERIC's type). Nodes of type '$' become FIMs with
//   GENERIC's insert table. FIMs read with match values are rebuilt (check_fims, with warning).
//   A null bundle gives a model of length 0 without nodes.
//   Fatal: a missing node, or a '$' node, in a model without GENERIC; a bundle without any node.
Model *destruct_rmodel2model(RModel **holder) {
  RModel *rm = holder != nullptr ? *holder : nullptr;
  if (rm != nullptr && (rm->length < 0 || rm->slots == nullptr))
    error("Destruct_rmodel2model: the model has no begin or numbered node\n");
  int n = rm != nullptr ? rm->length + rm->neg_count : 0;
  Model *model = alloc_model(-n);
  if (rm == nullptr) return model;

  model->generic = rm->generic;
  model->lettcount = rm->lettcount;
  model->freqave = rm->freqave;
  rm->generic = rm->lettcount = rm->freqave = nullptr;

  for (int k = 0; k <= rm->length; k++) {
    Node *node = rm->slots[k];
    rm->slots[k] = nullptr;
    if (node == nullptr) {
      if (model->generic == nullptr)
        error("Destruct_rmodel2model missing node %d (of %d), no generic\n", k, n);
      node = dup_node(model->generic);
    }
    model->nodes[k] = node;
  }
  // The end slots, last first, so that the first end slot (the end node) becomes node n + 1.
  int index = rm->length + 1;
  for (int e = rm->neg_count; e >= 0; e--, index++) {
    Node *node = rm->end_slots[e];
    rm->end_slots[e] = nullptr;
    if (node == nullptr) {
      if (model->generic == nullptr)
        error("Destruct_rmodel2model missing node -%d (%d of %d), no generic\n", e, index, n);
      node = dup_node(model->generic);
    }
    model->nodes[index] = node;
  }

  for (int k = 0; k <= n; k++) {
    if (model->nodes[k]->type != '$') continue;
    if (model->generic == nullptr)
      error(
          "Destruct_rmodel2model node %d (of %d) has type '$' but the model has no generic node "
          "to take its FIM insert table from\n",
          k, n);
    turn_into_fim(model, model->generic->insert, k);
  }

  free_rmodel(holder);
  check_fims(model, 1);
  return model;
}

// ---- Normalisation ----------------------------------------------------------------------------

// init_begin_end: writes x into node 0's djump and mjump and its ijump from D, node 1's djump and
// mjump from D, node L+1's djump and ijump, and node L+1's first `length` match and insert values.
void init_begin_end(Model *model, float x) {
  if (model == nullptr || model->length < 0) return;
  int L = model->length;
  Node *begin = model->nodes[0], *first = model->nodes[1], *end = model->nodes[L + 1];
  for (int s = 0; s < 3; s++) {
    begin->djump[s] = x;
    begin->mjump[s] = x;
  }
  begin->ijump[0] = x;
  first->djump[0] = x;
  first->mjump[0] = x;
  for (int s = 0; s < 3; s++) {
    end->djump[s] = x;
    end->ijump[s] = x;
  }
  for (int i = 0; i < alphabet->length; i++) {
    end->match[i] = x;
    end->insert[i] = x;
  }
}

// Normalises the first m entries of v when their sum exceeds 2.0612e-9, else sets them to 0.
static void normalize_vector(float *v, int m) {
  float sum = 0.0f;
  for (int i = 0; i < m; i++) sum += v[i];
  for (int i = 0; i < m; i++) v[i] = sum > COST_MIN_PROB ? v[i] / sum : 0.0f;
}

// Transitions out of node i's states: column s (source D, M, I) is into D_{i+1}, into M_{i+1},
// into I_i.
static void normalize_transitions(Model *model, int i) {
  Node *node = model->nodes[i], *next = model->nodes[i + 1];
  float *into[3][3];  // [source][destination D, M, I]
  for (int s = 0; s < 3; s++) {
    into[s][0] = &next->djump[s];
    into[s][1] = &next->mjump[s];
    into[s][2] = &node->ijump[s];
  }
  if (node->type == 'F') {
    // The free path: sources I and (M at the begin node, D elsewhere) go everywhere at probability
    // 1, the remaining source nowhere; these ones are not divided.
    int free_source = i == 0 ? 1 : 0, closed_source = i == 0 ? 0 : 1;
    for (int d = 0; d < 3; d++) {
      *into[2][d] = 1.0f;
      *into[free_source][d] = 1.0f;
      *into[closed_source][d] = 0.0f;
    }
  } else if (node->type == 'C' || node->type == 'D') {
    float sum = *into[1][0] + *into[1][1];
    for (int d = 0; d < 2; d++) *into[1][d] = sum > COST_MIN_PROB ? *into[1][d] / sum : 0.0f;
    *into[1][2] = 0.0f;
    for (int d = 0; d < 3; d++) {
      *into[0][d] = 0.0f;
      *into[2][d] = 0.0f;
    }
    *into[0][0] = 1.0f;  // D_i -> D_{i+1}
  } else {
    for (int s = 0; s < 3; s++) {
      float sum = *into[s][0] + *into[s][1] + *into[s][2];
      if (sum > COST_MIN_PROB)
        for (int d = 0; d < 3; d++) *into[s][d] /= sum;
    }
  }
}

// Emissions of one node (nodes 0..L).
static void normalize_emissions(Node *node) {
  const Alphabet *a = alphabet;
  if (a->internal_id != CODON_ID) {
    normalize_vector(node->match, a->length);
    normalize_vector(node->insert, a->length);
    return;
  }
  if (node->type == 'D' || node->type == 'E') {
    for (int i = 0; i < a->flength; i++) node->match[i] = i < a->length ? 1.0f : 0.0f;
  } else {
    int m = node->type == 'C' ? a->flength : a->length;
    normalize_vector(node->match, m);
    for (int i = m; i < a->flength; i++) node->match[i] = 0.0f;
  }
  if (node->type == 'C' || node->type == 'D') {
    for (int i = 0; i < a->flength; i++) node->insert[i] = 0.0f;
  } else {
    normalize_vector(node->insert, a->length);
    for (int i = a->length; i < a->flength; i++) node->insert[i] = 0.0f;
  }
}

// normalize_model: clears the begin/end positions (init_begin_end with 0), then normalises the
//   transitions out of nodes 0..L by node type (FIM, codon 'C'/'D', ordinary) and the emissions of
//   nodes 0..L. A model of negative length is left alone.
void normalize_model(Model *model) {
  if (model == nullptr || model->length < 0) return;
  init_begin_end(model, 0.0f);
  for (int i = 0; i <= model->length; i++) normalize_transitions(model, i);
  for (int i = 0; i <= model->length; i++) normalize_emissions(model->nodes[i]);
}

// ---- Cost tables ------------------------------------------------------------------------------

// The FIM self-loop cost and, with a negative fimtrans, the inserts of the other nodes.
static void set_fim_transition_costs(Model *model) {
  int L = model->length;
  double f = fimtrans;
  if (f == 0.0) {
    model->fim_weight->ijump[2] = prob_cost(1.0f);
    return;
  }
  // Average M->M cost of the model's ordinary steps (neither end of the step a FIM).
  int64_t sum = 0;
  int count = 0;
  for (int k = 1; k <= L; k++) {
    if (model->nodes[k - 1]->type == 'F' || model->nodes[k]->type == 'F') continue;
    int32_t c = model->weights[k]->mjump[1];
    if (c > COST_IMPOSSIBLE - 1) continue;
    sum += c;
    count++;
  }
  double m = fabs(f);
  if (count > 0) {
    int32_t c = static_cast<int32_t>(static_cast<double>(sum) / count);  // integer part of the average
    float p = c > COST_IMPOSSIBLE - 1 ? COST_MIN_PROB : static_cast<float>(exp(-0.001 * c));
    m = static_cast<double>(p) * fabs(f);
  }
  int32_t b = prob_cost(static_cast<float>(m));
  for (int k = 0; k <= L; k++) {
    if (model->nodes[k]->type == 'F') {
      model->weights[k]->ijump[2] = b;
    } else if (f < 0.0) {
      double v = model->nodes[k]->ijump[2];
      model->weights[k]->ijump[2] = prob_cost(static_cast<float>(v * (1.0 - v * (1.0 - m))));
    }
  }
  model->fim_weight->ijump[2] = b;
}

// log_model: the cost tables of the model.
//   Allocates weights and fim_weight when weights is absent. Every node's nine transition costs are
//   the costs of its probabilities; then the FIM loop cost from fimtrans (see set_fim_transition_costs);
//   then the emission costs, inserts scaled by |fimstrength| (negative fimstrength: every node) or
//   fimstrength (FIM nodes only); finally fim_weight's inserts from fim_node (node 0 without one)
//   scaled by |fimstrength|.
void log_model(Model *model) {
  if (model == nullptr || model->length < 0 || model->nodes == nullptr) return;
  if (model->weights == nullptr) {
    free_mod_weight_entry(model->fim_weight);
    model->fim_weight = nullptr;
    alloc_mod_weight(model);
  }
  if (model->fim_weight == nullptr) model->fim_weight = alloc_mod_weight_entry();
  int L = model->length;
  for (int k = 0; k <= L + 1; k++)
    for (int j = 0; j < 9; j++) model->weights[k]->block[j] = prob_cost(model->nodes[k]->block[j]);

  set_fim_transition_costs(model);

  float s = static_cast<float>(fimstrength);
  for (int k = 0; k <= L + 1; k++) {
    Node *node = model->nodes[k];
    float insert_scale = s < 0.0f ? fabsf(s) : (node->type == 'F' ? s : 1.0f);
    log_chartable(model->weights[k], node, 1.0f, CHARTABLE_MATCH);
    log_chartable(model->weights[k], node, insert_scale, CHARTABLE_INSERT);
  }
  const Node *fim = model->fim_node != nullptr ? model->fim_node : model->nodes[0];
  log_chartable(model->fim_weight, fim, fabsf(s), CHARTABLE_INSERT);
}

// Codon emission costs (125 patterns 25a + 5b + c, 4 = N) from a 64-entry table (16a + 4b + c).
static void log_codon_chartable(int32_t *cost, const Node *node, const float *v, float x, int kind) {
  const Alphabet *a = alphabet;
  if (kind == CHARTABLE_MATCH && node->type == 'C') {
    for (int p1 = 0; p1 < 5; p1++)
      for (int p2 = 0; p2 < 5; p2++)
        for (int p3 = 0; p3 < 5; p3++) {
          int pattern = 25 * p1 + 5 * p2 + p3;
          if (p1 == 4 && p2 == 4 && p3 == 4) {
            cost[pattern] = prob_cost(x);
            continue;
          }
          float sum = 0.0f;
          for (int b1 = 0; b1 < 4; b1++)
            for (int b2 = 0; b2 < 4; b2++)
              for (int b3 = 0; b3 < 4; b3++)
                if ((p1 == 4 || p1 == b1) && (p2 == 4 || p2 == b2) && (p3 == 4 || p3 == b3))
                  sum += v[16 * b1 + 4 * b2 + b3];
          cost[pattern] = prob_cost(x * sum);
        }
  } else if (kind == CHARTABLE_MATCH && (node->type == 'D' || node->type == 'E')) {
    for (int i = 0; i < a->fwild_length; i++) cost[i] = 0;
  } else if (kind != CHARTABLE_MATCH && (node->type == 'C' || node->type == 'D')) {
    for (int i = 0; i < a->fwild_length; i++) cost[i] = COST_IMPOSSIBLE;
  } else {
    // A node emitting single nucleotides: the pattern's first position decides.
    for (int pattern = 0; pattern < 125 && pattern < a->fwild_length; pattern++) {
      int first = pattern / 25;
      cost[pattern] = first < 4 ? prob_cost(x * v[first]) : prob_cost(x);
    }
  }
}

// log_chartable: emission costs of node into weight (kind 1 match, otherwise insert), scale x.
//   Letters: cost(x * v[i]); the wildcard: cost(x); protein B and Z and nucleotide R and Y from
//   the summed probabilities of their letters. Other entries keep their values. Codon alphabet:
//   see log_codon_chartable. A null weight or node writes nothing.
void log_chartable(ModWeight *weight, const Node *node, float x, int kind) {
  if (weight == nullptr || node == nullptr) return;
  const float *v = kind == CHARTABLE_MATCH ? node->match : node->insert;
  int32_t *cost = kind == CHARTABLE_MATCH ? weight->match : weight->insert;
  const Alphabet *a = alphabet;
  if (a->internal_id == CODON_ID) {
    log_codon_chartable(cost, node, v, x, kind);
    return;
  }
  for (int i = 0; i < a->length; i++) cost[i] = prob_cost(x * v[i]);
  cost[a->wild_length - 1] = prob_cost(x);
  if (a->internal_id == 3) {  // protein: B = D + N, Z = E + Q
    cost[20] = prob_cost(x * (v[2] + v[11]));
    cost[21] = prob_cost(x * (v[3] + v[13]));
  } else if (a->internal_id == 1 || a->internal_id == 2) {  // DNA, RNA: R = A + G, Y = C + T/U
    cost[4] = prob_cost(x * (v[0] + v[1]));
    cost[5] = prob_cost(x * (v[2] + v[3]));
  }
}

// ---- Begin/end conventions --------------------------------------------------------------------

static void swap_costs(int32_t *a, int32_t *b) {
  int32_t t = *a;
  *a = *b;
  *b = t;
}

// swap_match_del: on the cost tables, exchanges node 0's ijump costs from D and from M, node 1's
//   djump and mjump costs from D and from M, and node L+1's whole djump and mjump triples.
//   A model without cost tables is left alone.
void swap_match_del(Model *model) {
  if (model == nullptr || model->weights == nullptr || model->length < 0) return;
  ModWeight *begin = model->weights[0], *first = model->weights[1], *end = model->weights[model->length + 1];
  swap_costs(&begin->ijump[0], &begin->ijump[1]);
  swap_costs(&first->djump[0], &first->djump[1]);
  swap_costs(&first->mjump[0], &first->mjump[1]);
  for (int s = 0; s < 3; s++) swap_costs(&end->djump[s], &end->mjump[s]);
}

}  // namespace qor
