// Constraints: model node labels (the label map, node-label lines of model files, putting labels on
// nodes and writing them back).
#ifndef QOR_CONSTRAINTS_CONSTRAINTS_H
#define QOR_CONSTRAINTS_CONSTRAINTS_H

#include <cstdint>
#include <cstdio>

#include "models/models.h"

namespace qor {

// ---- Node labels ------------------------------------------------------------------------------

// From model label to node number: nodes[l] is the node that carries label l, or -2 when none does.
struct LabelMap {
  int32_t length;  // number of entries; 256 when created
  int32_t *nodes;  // length entries
};

constexpr int32_t LABEL_MAP_INITIAL = 256;  // entries of a new label map
constexpr int32_t LABEL_NO_NODE = -2;       // entry of a label that no node carries

// A map of LABEL_MAP_INITIAL entries, all LABEL_NO_NODE.
LabelMap *create_label_map();
// Releases the map; null does nothing.
void free_label_map(LabelMap *map);
// Grows the map to 256 entries when n < 100, else to 2n + 2 (never shrinks); new entries LABEL_NO_NODE.
void grow_label_map(LabelMap *map, int32_t n);
// Enters label -> node, growing the map as needed. An entry already set is kept: the result is
// whether it equals node. Otherwise the node is stored and the result is 1.
int set_label_map(LabelMap *map, int32_t label, int32_t node);
// Enters the labels of one node-label line ("NODELABELS first-last: label") into map (created when
// null) and returns the map; location names the source in the fatal message for a bad line.
LabelMap *parse_model_node_labels(LabelMap *map, const char *location, const char *line);
// Sets the label of every labelled node of the bundle. A label naming a node the bundle left empty
// creates that node as a copy of the GENERIC node (what assembly would put there); without a
// GENERIC node the label is dropped with a warning naming location (may be null) and the node.
// A bundle of length 0 is left unchanged (with a warning when the map holds labels).
void label_rmodel_from_map(LabelMap *map, RModel *rmodel, const char *location = nullptr);
// Fills view with a model over the bundle's nodes (borrowed, not copied): length, generic and a
// fresh nodes array of length + 2 entries. Release only view->nodes afterwards. Returns length + 1.
int fake_model_from_rmodel(Model *view, const RModel *rmodel);
// Writes the node-label lines of nodes 1..L+1 (fatal when labels are out of order).
void write_model_node_labels(const Model *model, FILE *out);
// Writes the node-label lines of a bundle; nothing for a bundle of length 0 or less.
void write_rmodel_node_labels(const RModel *rmodel, FILE *out);

}  // namespace qor

#endif
