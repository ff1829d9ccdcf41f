// Model records: nodes and their environments, cost tables, prepared models and model bundles —
// allocation, copying and release — and the detection of shared insert tables.
//
// Sections: nodes | environments | cost tables | models | bundles | shared insert tables
#include <cstdlib>
#include <cstring>

#include "models/models.h"
#include "util/util.h"

namespace qor {

// ---- Nodes ------------------------------------------------------------------------------------

// Points the five views of a node into its block of 2 * flength + 9 numbers.
static void set_node_views(Node *node, int flength) {
  node->djump = node->block;
  node->mjump = node->block + 3;
  node->ijump = node->block + 6;
  node->match = node->block + 9;
  node->insert = node->block + 9 + flength;
}

Node *alloc_node() {
  check_alphabet(nullptr);
  int flength = alphabet->flength;
  Node *node = static_cast<Node *>(mem_alloc(sizeof(Node)));
  node->type = 0;
  node->block_length = 2 * flength + 9;
  node->block = static_cast<float *>(mem_alloc(node->block_length * static_cast<int>(sizeof(float))));
  for (int i = 0; i < node->block_length; i++) node->block[i] = 0.0f;
  set_node_views(node, flength);
  node->env = nullptr;
  node->label = -1;
  return node;
}

void free_node(Node *node) {
  if (node == nullptr) return;
  free_NodeEnv(node->env);
  free(node->block);
  free(node);
}

void copy_node(const Node *src, Node *dst) {
  if (src == nullptr || dst == nullptr) return;
  dst->type = src->type;
  dst->label = src->label;
  int n = src->block_length < dst->block_length ? src->block_length : dst->block_length;
  for (int i = 0; i < n; i++) dst->block[i] = src->block[i];
  copy_node_env(src->env, dst->env);
}

Node *dup_node(const Node *node) {
  if (node == nullptr) return nullptr;
  Node *copy = alloc_node();
  copy_node(node, copy);
  return copy;
}

// ---- Environments -----------------------------------------------------------------------------

NodeEnv *alloc_NodeEnv() {
  NodeEnv *env = static_cast<NodeEnv *>(mem_alloc(sizeof(NodeEnv)));
  env->acc = -1;
  env->env = -1;
  env->code = 0;
  return env;
}

void copy_node_env(const NodeEnv *src, NodeEnv *dst) {
  if (src == nullptr || dst == nullptr) return;
  dst->acc = src->acc;
  dst->env = src->env;
  dst->code = src->code;
}

void free_NodeEnv(NodeEnv *env) {
  free(env);
}

int32_t GetEnvCode(const Node *node) {
  return (node != nullptr && node->env != nullptr) ? node->env->code : 0;
}

// ---- Cost tables ------------------------------------------------------------------------------

ModWeight *alloc_mod_weight_entry() {
  check_alphabet(nullptr);
  int fwild = alphabet->fwild_length;
  ModWeight *w = static_cast<ModWeight *>(mem_alloc(sizeof(ModWeight)));
  w->block_length = 2 * fwild + 9;
  w->block = static_cast<int32_t *>(mem_alloc(w->block_length * static_cast<int>(sizeof(int32_t))));
  w->djump = w->block;
  w->mjump = w->block + 3;
  w->ijump = w->block + 6;
  w->match = w->block + 9;
  w->insert = w->block + 9 + fwild;
  return w;
}

void free_mod_weight_entry(ModWeight *weight) {
  if (weight == nullptr) return;
  free(weight->block);
  free(weight);
}

void alloc_mod_weight(Model *model) {
  int n = model->length + 2;
  model->weights = static_cast<ModWeight **>(mem_alloc(n * static_cast<int>(sizeof(ModWeight *))));
  for (int k = 0; k < n; k++) model->weights[k] = alloc_mod_weight_entry();
  model->fim_weight = alloc_mod_weight_entry();
}

void free_mod_weight(Model *model) {
  if (model == nullptr) return;
  if (model->weights != nullptr) {
    for (int k = 0; k < model->length + 2; k++) free_mod_weight_entry(model->weights[k]);
    free(model->weights);
    model->weights = nullptr;
  }
  free_mod_weight_entry(model->fim_weight);
  model->fim_weight = nullptr;
}

// ---- Models -----------------------------------------------------------------------------------

Model *alloc_model(int32_t n) {
  int64_t magnitude = n < 0 ? -static_cast<int64_t>(n) : n;
  if (magnitude > MAX_MODEL_NODES)
    error("alloc_model: model length %lld exceeds %d", static_cast<long long>(magnitude), MAX_MODEL_NODES);
  int32_t len = static_cast<int32_t>(magnitude);
  Model *model = static_cast<Model *>(mem_alloc(sizeof(Model)));
  model->length = len;
  model->is_seqmodel = 0;
  model->fim_method = FIM_METHOD_NONE;
  model->nodes = static_cast<Node **>(mem_alloc((len + 2) * static_cast<int>(sizeof(Node *))));
  for (int k = 0; k < len + 2; k++) model->nodes[k] = n > 0 ? alloc_node() : nullptr;
  return model;
}

void init_model(Model *model, float x) {
  for (int k = 0; k <= model->length + 1; k++) {
    Node *node = model->nodes[k];
    if (node == nullptr) continue;
    node->type = 0;
    for (int i = 0; i < node->block_length; i++) node->block[i] = x;
  }
}

void free_model(Model *model) {
  if (model == nullptr) return;
  if (model->nodes != nullptr) {
    for (int k = 0; k < model->length + 2; k++) free_node(model->nodes[k]);
    free(model->nodes);
  }
  free_node(model->generic);
  free_node(model->lettcount);
  free_node(model->freqave);
  free_node(model->fim_node);
  free_mod_weight(model);
  if (model->matrix != nullptr) {
    // The matrix has fwild_length + 1 rows of the alphabet the model was built under.
    if (alphabet != nullptr)
      double_free(reinterpret_cast<void **>(model->matrix), alphabet->fwild_length + 1);
    else
      free(model->matrix);
  }
  free_sequence(model->query);
  free(model);
}

// ---- Bundles ----------------------------------------------------------------------------------

RModel *alloc_rmodel(RModel *rmodel) {
  if (rmodel == nullptr) return static_cast<RModel *>(mem_alloc(sizeof(RModel)));
  if (rmodel->length < -1 || rmodel->neg_count < 0 || rmodel->length > MAX_MODEL_NODES ||
      rmodel->neg_count > MAX_MODEL_NODES)
    error("alloc_rmodel: impossible model size (length %d, extra slots %d)", rmodel->length,
          rmodel->neg_count);
  rmodel->slot_count = rmodel->length + rmodel->neg_count + 2;
  rmodel->slots = static_cast<Node **>(mem_alloc(rmodel->slot_count * static_cast<int>(sizeof(Node *))));
  rmodel->end_slots = rmodel->slots + rmodel->length + 1;
  return rmodel;
}

void free_rmodel(RModel **holder) {
  if (holder == nullptr || *holder == nullptr) return;
  RModel *rm = *holder;
  if (rm->slots != nullptr) {
    for (int k = 0; k < rm->slot_count; k++) free_node(rm->slots[k]);
    free(rm->slots);
  }
  free_node(rm->generic);
  free_node(rm->lettcount);
  free_node(rm->freqave);
  free(rm);
  *holder = nullptr;
}

// ---- Shared insert tables ---------------------------------------------------------------------

int node_ins_is_same(const Node *a, const Node *b) {
  int fa = (a->block_length - 9) / 2, fb = (b->block_length - 9) / 2;
  if (fa != fb) return 0;
  for (int i = 0; i < fa; i++)
    if (a->insert[i] != b->insert[i]) return 0;
  return 1;
}

void check_node_array(Node *const *nodes, int n, int skip, int *fim_index, int *other_index) {
  int fim = -1, other = -1;
  bool fim_shared = true, other_shared = true;
  for (int k = 0; nodes != nullptr && k <= n && (fim_shared || other_shared); k++) {
    if (k == skip || nodes[k] == nullptr) continue;
    if (nodes[k]->type == 'F') {
      if (fim < 0)
        fim = k;
      else if (fim_shared && !node_ins_is_same(nodes[fim], nodes[k]))
        fim_shared = false;
    } else {
      if (other < 0)
        other = k;
      else if (other_shared && !node_ins_is_same(nodes[other], nodes[k]))
        other_shared = false;
    }
  }
  *fim_index = fim_shared ? fim : -1;
  *other_index = other_shared ? other : -1;
}

}  // namespace qor
