// Node labels: the label map, reading node-label lines, putting labels onto the nodes of a model
// bundle (through a borrowed model view), and writing the labels of a model back as lines.
//
// Sections: label map | node-label lines | model view | applying labels | writing labels
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "constraints/constraints.h"
#include "util/util.h"

namespace qor {

// ---- Label map --------------------------------------------------------------------------------

LabelMap *create_label_map() {
  LabelMap *map = static_cast<LabelMap *>(mem_alloc(sizeof(LabelMap)));
  map->length = 0;
  map->nodes = nullptr;
  grow_label_map(map, 0);
  return map;
}

void free_label_map(LabelMap *map) {
  if (map == nullptr) return;
  free(map->nodes);
  free(map);
}

void grow_label_map(LabelMap *map, int32_t n) {
  if (n > MAX_MODEL_NODES + 1)
    error("grow_label_map: %d labels exceed the limit of %d", n, MAX_MODEL_NODES + 1);
  int32_t new_length = n < 100 ? LABEL_MAP_INITIAL : 2 * n + 2;
  if (new_length <= map->length) return;
  map->nodes =
      static_cast<int32_t *>(mem_realloc(map->nodes, new_length * static_cast<int>(sizeof(int32_t))));
  for (int32_t l = map->length; l < new_length; l++) map->nodes[l] = LABEL_NO_NODE;
  map->length = new_length;
}

int set_label_map(LabelMap *map, int32_t label, int32_t node) {
  if (label < 0) error("set_label_map: negative label %d", label);
  if (label >= map->length) grow_label_map(map, label + 1);
  if (map->nodes[label] != LABEL_NO_NODE) return map->nodes[label] == node;
  map->nodes[label] = node;
  return 1;
}

// ---- Node-label lines -------------------------------------------------------------------------

// Reads one integer as "%d" would (white space, optional sign, digits); false when there is none
// or it is out of the 32-bit range.
static bool scan_int(const char **p, long *value) {
  const char *s = *p;
  while (isspace(static_cast<unsigned char>(*s))) s++;
  const char *digits = (*s == '-' || *s == '+') ? s + 1 : s;
  if (!isdigit(static_cast<unsigned char>(*digits))) return false;
  char *end;
  errno = 0;
  long v = strtol(s, &end, 10);
  if (errno == ERANGE || v > INT32_MAX || v < INT32_MIN) return false;
  *value = v;
  *p = end;
  return true;
}

// Matches the literal c after optional white space.
static bool scan_char(const char **p, char c) {
  const char *s = *p;
  while (isspace(static_cast<unsigned char>(*s))) s++;
  if (*s != c) return false;
  *p = s + 1;
  return true;
}

LabelMap *parse_model_node_labels(LabelMap *map, const char *location, const char *line) {
  if (map == nullptr) map = create_label_map();
  // Grammar "%*s %d - %d : %d": any first word, then first node, '-', last node, ':', first label.
  const char *p = line;
  while (isspace(static_cast<unsigned char>(*p))) p++;
  while (*p != '\0' && !isspace(static_cast<unsigned char>(*p))) p++;
  long first, last, label;
  bool ok = scan_int(&p, &first) && scan_char(&p, '-') && scan_int(&p, &last) && scan_char(&p, ':') &&
            scan_int(&p, &label);
  // Node numbers and labels are never negative, and bounded so that the map stays allocatable.
  if (ok && (first < 0 || last < 0 || label < 0 || last > MAX_MODEL_NODES + 1 ||
             (last >= first && label + (last - first) > MAX_MODEL_NODES)))
    ok = false;
  if (!ok) error("%s: invalid node label line:\n%s", location, line);
  for (long n = first; n <= last; n++, label++)
    set_label_map(map, static_cast<int32_t>(label), static_cast<int32_t>(n));
  return map;
}

// ---- Model view -------------------------------------------------------------------------------

int fake_model_from_rmodel(Model *view, const RModel *rmodel) {
  memset(view, 0, sizeof(Model));
  view->fim_method = FIM_METHOD_NONE;
  int32_t c = rmodel->length + rmodel->neg_count;
  view->length = c;
  view->generic = rmodel->generic;
  view->nodes = static_cast<Node **>(mem_alloc((c + 2) * static_cast<int>(sizeof(Node *))));
  for (int32_t i = 0; i <= c + 1; i++) {
    int32_t k = c + 1 - i;
    Node *slot = (rmodel->slots != nullptr && i <= rmodel->length) ? rmodel->slots[i] : nullptr;
    Node *end =
        (rmodel->slots != nullptr && k >= 0 && k <= rmodel->neg_count) ? rmodel->end_slots[k] : nullptr;
    if (slot != nullptr)
      view->nodes[i] = (i > c / 2 && end != nullptr) ? end : slot;
    else
      view->nodes[i] = end;
  }
  return c + 1;
}

// ---- Applying labels --------------------------------------------------------------------------

// The bundle slot that view node i stands for when the view has no node there: slot i of a
// numbered node, else end slot c + 1 - i; null when there is none.
static Node **bundle_slot_of_view_node(RModel *rmodel, int32_t i) {
  if (rmodel->slots == nullptr) return nullptr;
  if (i <= rmodel->length) return &rmodel->slots[i];
  int32_t k = rmodel->length + rmodel->neg_count + 1 - i;
  if (k >= 0 && k <= rmodel->neg_count) return &rmodel->end_slots[k];
  return nullptr;
}

void label_rmodel_from_map(LabelMap *map, RModel *rmodel, const char *location) {
  if (map == nullptr || rmodel == nullptr) return;
  if (rmodel->length == 0) {
    // A bundle of length 0 takes no labels; say so rather than drop them unseen.
    for (int32_t l = 0; l < map->length; l++) {
      if (map->nodes[l] == LABEL_NO_NODE) continue;
      fprintf(stderr, "Warning: %s%snode labels are ignored in a model of length 0\n",
              location != nullptr ? location : "", location != nullptr ? ": " : "");
      break;
    }
    return;
  }
  Model view;
  fake_model_from_rmodel(&view, rmodel);
  for (int32_t l = 0; l < map->length; l++) {
    int32_t n = map->nodes[l];
    if (n == LABEL_NO_NODE || n < 0) continue;
    if (n > view.length) {
      fprintf(stderr, "Error: Node label %d for node %d is past the end of the model", l, n);
      if (n != view.length + 1) continue;
    }
    if (view.nodes[n] == nullptr) {
      // The file left this node out; assembly would fill it with a copy of GENERIC. Create that copy
      // in the bundle now so that the label survives assembly.
      Node **slot = bundle_slot_of_view_node(rmodel, n);
      if (slot == nullptr || rmodel->generic == nullptr) {
        fprintf(stderr,
                "Warning: %s%snode label %d names node %d, which the model leaves empty and no GENERIC "
                "node can fill; label dropped\n",
                location != nullptr ? location : "", location != nullptr ? ": " : "", l, n);
        continue;
      }
      *slot = dup_node(rmodel->generic);
      view.nodes[n] = *slot;
    }
    view.nodes[n]->label = l;
  }
  free(view.nodes);
  if (rmodel->slots != nullptr) {
    rmodel->begin = rmodel->length >= 0 ? rmodel->slots[0] : nullptr;
    rmodel->end = rmodel->end_slots[0];
  }
}

// ---- Writing labels ---------------------------------------------------------------------------

void write_model_node_labels(const Model *model, FILE *out) {
  bool in_run = false;
  int32_t first_node = 0, first_label = 0, last_node = 0, last_label = 0;
  for (int32_t n = 1; n <= model->length + 1; n++) {
    const Node *node = model->nodes[n];
    if (node == nullptr || node->label < 0) {
      if (in_run) fprintf(out, "NODELABELS %d-%d: %d\n", first_node, last_node, first_label);
      in_run = false;
      continue;
    }
    int32_t label = node->label;
    if (in_run && label <= last_label)
      error("Out of order model labels at node %d: label %d, previous label %d", n, label, last_label);
    if (in_run && n == last_node + 1 && label == last_label + 1) {
      last_node = n;
      last_label = label;
      continue;
    }
    if (in_run) fprintf(out, "NODELABELS %d-%d: %d\n", first_node, last_node, first_label);
    in_run = true;
    first_node = last_node = n;
    first_label = last_label = label;
  }
  if (in_run) fprintf(out, "NODELABELS %d-%d: %d\n", first_node, last_node, first_label);
}

void write_rmodel_node_labels(const RModel *rmodel, FILE *out) {
  if (rmodel == nullptr || rmodel->length <= 0) return;
  Model view;
  fake_model_from_rmodel(&view, rmodel);
  write_model_node_labels(&view, out);
  free(view.nodes);
}

}  // namespace qor
