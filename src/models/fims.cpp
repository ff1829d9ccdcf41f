// Free insertion modules (FIMs), insert methods and local modes: the method table, the insert
// tables a model's inserts and FIMs receive, turning nodes into FIMs, FIMs added at the model ends
// for local alignment, and taking the appended FIM's delete step back out of alignments.
//
// Sections: methods | tables | FIM nodes | insert methods | FIMs at the ends | local modes |
//           the FIMs-added flag and alignments
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "init/init.h"
#include "models/model_prepare.h"
#include "util/util.h"

namespace qor {

// Process-wide state: FIMs were added at the ends (or a query model was built); the FIM repair
// warning was given; the first local-mode step has run; the last track with a FIM report.
static int auto_fims_added = 0;
static int fim_repair_warned = 0;
static int local_mode_reported = 0;
static int last_reported_track = -1;

// ---- Methods ----------------------------------------------------------------------------------

static const char *const method_descriptions[] = {
    "original values",                        // 0
    "training letter frequencies",            // 1
    "match frequency arithmetic mean",        // 2
    "the flat distribution",                  // 3
    "target letter frequencies",              // 4
    "the generic node",                       // 5
    "geometric mean of match probabilities",  // 6
    "the first model node",                   // 7
    "the first FIM node",                     // 8
    "no node",                                // 9
};

// I_method_string: "description (n)" for method |m| (n is 0 for 7, 8 and 9), or
//   "Illegal method setting (|m|)" when |m| > 9. The text lives in one static buffer that each
//   call overwrites.
const char *I_method_string(int m) {
  static char buffer[I_METHOD_STRING_BUFFER];
  long long a = m < 0 ? -static_cast<long long>(m) : m;
  if (a > METHOD_NO_NODE) {
    snprintf(buffer, sizeof buffer, "Illegal method setting (%lld)", a);
  } else {
    int shown = a >= METHOD_FIRST_NODE ? 0 : static_cast<int>(a);
    snprintf(buffer, sizeof buffer, "%s (%d)", method_descriptions[a], shown);
  }
  return buffer;
}

// revise_method: 0 for a negative (automatic) m when automatic is set, else |m|.
int revise_method(int m, int automatic) {
  if (m < 0 && automatic) return 0;
  return m < 0 ? -m : m;
}

// ---- Tables -----------------------------------------------------------------------------------

// set_table: *table = the table of method *method: 0 none, 1 LETTCOUNT's insert, 2 FREQAVE's
//   insert, 3 the flat table, 5 GENERIC's insert, 6 the geometric-mean node's match.
//   4 and values above 6 (or below 0) write "Invalid %s: %d (%s) specified." and give method 0;
//   a method whose table is absent writes "%s %d (%s) not available in model." and " Tables not
//   modified." and gives method 0. Messages go to standard error.
void set_table(int *method, float **table, float *flat, Node *lettcount, Node *freqave, Node *generic,
               Node *geometric, const char *name) {
  *table = nullptr;
  switch (*method) {
    case METHOD_ORIGINAL:
      break;
    case METHOD_LETTCOUNT:
      *table = lettcount != nullptr ? lettcount->insert : nullptr;
      break;
    case METHOD_FREQAVE:
      *table = freqave != nullptr ? freqave->insert : nullptr;
      break;
    case METHOD_FLAT:
      *table = flat;
      break;
    case METHOD_GENERIC:
      *table = generic != nullptr ? generic->insert : nullptr;
      break;
    case METHOD_GEOMETRIC:
      *table = geometric != nullptr ? geometric->match : nullptr;
      break;
    default:
      fprintf(stderr, "Invalid %s: %d (%s) specified.\n", name, *method, I_method_string(*method));
      *method = METHOD_ORIGINAL;
      break;
  }
  if (*table == nullptr && *method != METHOD_ORIGINAL) {
    fprintf(stderr, "%s %d (%s) not available in model.\n Tables not modified.\n", name, *method,
            I_method_string(*method));
    *method = METHOD_ORIGINAL;
  }
}

// normalize_node: within one node, divides each source column of the three transition triples by
//   its sum, the match values over flength (type 'C') or length entries and the insert values over
//   length entries by theirs, each only when that sum is positive.
void normalize_node(Node *node) {
  if (node == nullptr) return;
  for (int s = 0; s < 3; s++) {
    float sum = node->djump[s] + node->mjump[s] + node->ijump[s];
    if (sum > 0.0f) {
      node->djump[s] /= sum;
      node->mjump[s] /= sum;
      node->ijump[s] /= sum;
    }
  }
  int m = node->type == 'C' ? alphabet->flength : alphabet->length;
  float sum = 0.0f;
  for (int i = 0; i < m; i++) sum += node->match[i];
  if (sum > 0.0f)
    for (int i = 0; i < m; i++) node->match[i] /= sum;
  sum = 0.0f;
  for (int i = 0; i < alphabet->length; i++) sum += node->insert[i];
  if (sum > 0.0f)
    for (int i = 0; i < alphabet->length; i++) node->insert[i] /= sum;
}

// Adds ln p to *sum and counts it when p is positive.
static void add_log(float p, float *sum, float *count) {
  if (p <= 0.0f) return;
  *sum += static_cast<float>(log(p));
  *count += 1.0f;
}

// make_geometric_ave_node: a new node whose every number is the geometric mean of the positive
//   values at that place over the non-FIM nodes 1..L-1 (transitions out of the node; for 'C' nodes
//   the first four match values, counted three times; none for 'D'; the inserts for 'E'; match and
//   insert values otherwise), normalised with normalize_node.
//   Fatal: "make_geometric_ave_node:  no non-FIM nodes found. " when there is no such node.
Node *make_geometric_ave_node(Model *model) {
  Node *sum = alloc_node(), *count = alloc_node();
  int L = model->length, seen = 0;
  for (int j = 1; j <= L - 1; j++) {
    const Node *node = model->nodes[j], *next = model->nodes[j + 1];
    if (node->type == 'F') continue;
    seen = 1;
    if (node->type != 'C' && node->type != 'D') {
      for (int s = 0; s < 3; s++) {
        add_log(next->djump[s], &sum->djump[s], &count->djump[s]);
        add_log(next->mjump[s], &sum->mjump[s], &count->mjump[s]);
        add_log(node->ijump[s], &sum->ijump[s], &count->ijump[s]);
      }
    }
    switch (node->type) {
      case 'C':
        for (int i = 0; i < 4 && i < alphabet->flength; i++)
          for (int t = 0; t < 3; t++) add_log(node->match[i], &sum->match[i], &count->match[i]);
        break;
      case 'D':
        break;
      case 'E':
        for (int i = 0; i < alphabet->length; i++)
          add_log(node->insert[i], &sum->insert[i], &count->insert[i]);
        break;
      default:
        for (int i = 0; i < alphabet->length; i++) {
          add_log(node->match[i], &sum->match[i], &count->match[i]);
          add_log(node->insert[i], &sum->insert[i], &count->insert[i]);
        }
        break;
    }
  }
  if (!seen) {
    free_node(sum);
    free_node(count);
    error("make_geometric_ave_node:  no non-FIM nodes found. \n");
  }
  for (int i = 0; i < sum->block_length; i++)
    sum->block[i] = count->block[i] > 0.0f ? static_cast<float>(exp(sum->block[i] / count->block[i])) : 0.0f;
  free_node(count);
  normalize_node(sum);
  return sum;
}

// copy_alphlen_table: copies a's flength entries of src into dst; nothing when either is null.
void copy_alphlen_table(float *dst, const float *src, const Alphabet *a) {
  if (dst == nullptr || src == nullptr || a == nullptr || dst == src) return;
  for (int i = 0; i < a->flength; i++) dst[i] = src[i];
}

// ---- FIM nodes --------------------------------------------------------------------------------

// turn_into_fim: makes node k of the model a FIM with insert table `table`.
//   The match values become 0 and the first `length` insert values the table's; the transitions
//   are set so that the path runs D_k -> I_k (looping) -> node k+1 at probability 1 (at the begin
//   node: M_0 -> I_0 -> node 1). A node of type 'C', 'D' or 'E' is left alone with a message on
//   standard error; an index outside 0..L is ignored.
void turn_into_fim(Model *model, const float *table, int k) {
  if (model == nullptr || k < 0 || k > model->length) return;
  Node *node = model->nodes[k], *next = model->nodes[k + 1];
  if (node->type == 'C' || node->type == 'D' || node->type == 'E') {
    fprintf(stderr, "Error -- cannot change a Codon typed node (#%d) to a FIM.  Ignoring.\n", k);
    return;
  }
  node->type = 'F';
  for (int i = 0; i < alphabet->length; i++) {
    node->match[i] = 0.0f;
    if (table != nullptr) node->insert[i] = table[i];
  }
  if (k == 0) {
    for (int s = 0; s < 3; s++) {
      node->djump[s] = 0.0f;
      node->mjump[s] = 0.0f;
    }
    node->ijump[0] = 0.0f;
    node->ijump[1] = 1.0f;
    node->ijump[2] = 1.0f;
    next->djump[0] = next->mjump[0] = 0.0f;
    next->djump[1] = next->mjump[1] = 1.0f;
    next->djump[2] = next->mjump[2] = 1.0f;
    return;
  }
  node->ijump[0] = 1.0f;
  node->ijump[1] = 0.0f;
  node->ijump[2] = 1.0f;
  for (int s = 0; s < 3; s++) {  // everything that led into M_k now leads into D_k
    node->djump[s] += node->mjump[s];
    node->mjump[s] = 0.0f;
  }
  if (k == model->length) {
    for (int s = 0; s < 3; s++) {
      next->djump[s] = 0.0f;
      next->ijump[s] = 0.0f;
    }
    next->mjump[0] = 1.0f;
    next->mjump[2] = 1.0f;
    for (int i = 0; i < alphabet->length; i++) {
      next->match[i] = 0.0f;
      next->insert[i] = 0.0f;
    }
  } else {
    next->djump[0] = next->mjump[0] = 1.0f;
    next->djump[2] = next->mjump[2] = 1.0f;
  }
  next->djump[1] = next->mjump[1] = 0.0f;
}

// check_fims: rebuilds every FIM among nodes 0..L whose first match value is not 0, with the insert
//   table of fim_node, else GENERIC, else node 0. With warn set, the first rebuild in the process
//   writes a five-line explanation to standard error.
void check_fims(Model *model, int warn) {
  if (model == nullptr || model->length < 0) return;
  const float *repair = model->fim_node != nullptr  ? model->fim_node->insert
                        : model->generic != nullptr ? model->generic->insert
                                                    : model->nodes[0]->insert;
  int first = -1;
  for (int k = 0; k <= model->length; k++) {
    Node *node = model->nodes[k];
    if (node->type != 'F' || node->match[0] == 0.0f) continue;
    if (first < 0) first = k;
    turn_into_fim(model, repair, k);
  }
  if (first >= 0 && warn && !fim_repair_warned) {
    fim_repair_warned = 1;
    fprintf(stderr, "Some FIMs have non-zero match states (e.g., node %d),\n", first);
    fprintf(stderr, "which happens when a FIM was made from an alignment column holding only gap\n");
    fprintf(stderr, "characters or by turning a GENERIC node into a FIM.  Those nodes are now\n");
    fprintf(stderr, "renormalised as FIMs.  To avoid this message, add FIMs with the toolkit's own\n");
    fprintf(stderr, "model-editing programs rather than by editing the model file.\n");
  }
}

// has_fim: 1 when any node 0..L+1 of the model is a FIM.
int has_fim(const Model *model) {
  if (model == nullptr || model->nodes == nullptr) return 0;
  for (int k = 0; k <= model->length + 1; k++)
    if (model->nodes[k] != nullptr && model->nodes[k]->type == 'F') return 1;
  return 0;
}

// ---- Insert methods ---------------------------------------------------------------------------

// change_inserts_set_fim: gives the model's inserts and FIMs their tables and fills fim_node.
//   fim_method 0 means -5 (GENERIC) when the model has a GENERIC node, else -6 (geometric mean);
//   a negative method is automatic when `automatic` is set: its table only becomes fim_node's
//   insert (when the model has no FIMs) and is never copied into FIM nodes. A negative insert
//   method acts as 0. fim_node's insert: the FIM table (non-automatic method), else the first FIM's
//   insert (fim_method 8), else the FIM table, else node 0's insert (fim_method 7).
//   *fim_used gets the effective FIM method (0 for an automatic one), *insert_used the insert
//   method. Returns 1 when a FIM or insert table was found.
//   A null model writes "Error in change_inserts:  no model available!!" and aborts.
int change_inserts_set_fim(Model *model, int fim_method, int insert_method, int automatic, int *fim_used,
                           int *insert_used) {
  if (model == nullptr) {
    fprintf(stderr, "Error in change_inserts:  no model available!!\n");
    fflush(stderr);
    abort();
  }
  if (fim_method == 0) fim_method = model->generic != nullptr ? -METHOD_GENERIC : -METHOD_GEOMETRIC;
  int f = revise_method(fim_method, !automatic);
  int i = revise_method(insert_method, automatic);

  const Alphabet *a = alphabet;
  float *flat = nullptr;
  Node *geometric = nullptr;
  if (f == METHOD_FLAT || i == METHOD_FLAT) {
    flat = static_cast<float *>(mem_alloc(a->flength * static_cast<int>(sizeof(float))));
    for (int j = 0; j < a->flength; j++)
      flat[j] = j < a->length ? 1.0f / static_cast<float>(a->length) : 0.0f;
  }
  if (f == METHOD_GEOMETRIC || i == METHOD_GEOMETRIC) geometric = make_geometric_ave_node(model);

  float *fim_table = nullptr, *insert_table = nullptr;
  set_table(&f, &fim_table, flat, model->lettcount, model->freqave, model->generic, geometric, "FIM_method");
  model->fim_method = f;
  set_table(&i, &insert_table, flat, model->lettcount, model->freqave, model->generic, geometric,
            "Insert_method");
  int f_effective = revise_method(fim_method, automatic);

  if (model->fim_node == nullptr) model->fim_node = alloc_node();
  for (int k = 0; k <= model->length; k++) {
    Node *node = model->nodes[k];
    if (node->type == 'F') {
      if (f_effective != 0 && fim_table != nullptr) copy_alphlen_table(node->insert, fim_table, a);
    } else if (insert_table != nullptr) {
      copy_alphlen_table(node->insert, insert_table, a);
    }
  }

  if (f_effective != 0 && fim_table != nullptr) {
    copy_alphlen_table(model->fim_node->insert, fim_table, a);
  } else {
    int first_fim = -1;
    for (int k = 0; k <= model->length + 1 && first_fim < 0; k++)
      if (model->nodes[k]->type == 'F') first_fim = k;
    if (first_fim >= 0) {
      copy_alphlen_table(model->fim_node->insert, model->nodes[first_fim]->insert, a);
      model->fim_method = METHOD_FIRST_FIM;
    } else if (fim_table != nullptr) {
      copy_alphlen_table(model->fim_node->insert, fim_table, a);
    } else {
      copy_alphlen_table(model->fim_node->insert, model->nodes[0]->insert, a);
      model->fim_method = METHOD_FIRST_NODE;
    }
  }

  if (fim_used != nullptr) *fim_used = f_effective;
  if (insert_used != nullptr) *insert_used = i;
  int found = fim_table != nullptr || insert_table != nullptr;
  free(flat);
  free_node(geometric);
  return found;
}

// ---- FIMs at the ends -------------------------------------------------------------------------

// add_fims_at_ends: unless nodes 0 and L are both FIMs already, replaces *holder by a model one
//   node longer: the old nodes 0..L+1 keep their indices, node L+2 is a copy of the old end node,
//   and nodes 0 and L+1 become FIMs with fim_node's insert table (GENERIC's or node 0's, with a
//   warning, when there is no fim_node). Sets the FIMs-added flag.
//   *added (may be null): 1 when FIMs were added; *method (may be null): the table's method.
void add_fims_at_ends(Model **holder, int *added, int *method) {
  Model *old = *holder;
  int L = old->length;
  if (old->nodes[0]->type == 'F' && old->nodes[L]->type == 'F') {
    if (added != nullptr) *added = 0;
    return;
  }
  if (added != nullptr) *added = 1;
  set_fims_added();

  Model *model = alloc_model(-(L + 1));
  model->generic = old->generic;
  model->lettcount = old->lettcount;
  model->freqave = old->freqave;
  model->fim_node = old->fim_node;
  model->fim_method = old->fim_method;
  old->generic = old->lettcount = old->freqave = old->fim_node = nullptr;
  for (int k = 0; k <= L + 1; k++) {
    model->nodes[k] = old->nodes[k];
    old->nodes[k] = nullptr;
  }
  model->nodes[L + 2] = dup_node(model->nodes[L + 1]);
  free_model(old);
  *holder = model;

  const float *table;
  int source;
  if (model->fim_node != nullptr) {
    table = model->fim_node->insert;
    source = model->fim_method;
  } else if (model->generic != nullptr) {
    fprintf(stderr, "Warning:  FIMs added using generic node.  To avoid this message\n");
    fprintf(stderr, "set FIM_method_{train,score} to a non-zero value.\n");
    table = model->generic->insert;
    source = METHOD_GENERIC;
  } else {
    fprintf(stderr, "Warning:  FIMs added using node 0 insert.  To avoid this message\n");
    fprintf(stderr, "set FIM_method_{train,score} to a non-zero value.\n");
    table = model->nodes[0]->insert;
    source = METHOD_FIRST_NODE;
  }
  if (method != nullptr) *method = source;
  turn_into_fim(model, table, 0);
  turn_into_fim(model, table, L + 1);
}

// ---- Local modes ------------------------------------------------------------------------------

// setup_sw_add_fims: the local-mode step of preparation (mode = SW_score; modes above 3 do
//   nothing). On the first call with a log stream: the mode line, the score-adjustment line
//   (modes 1 and 2) and, when fimstrength or fimtrans differs from 1, the FIM adjustments. Modes 0
//   and 3 set *adjust_score to 0. FIMs are added at the ends when (add and mode 2 or 3) or add is
//   2; each new track gets one report line (FIMs added, or FIMs present in the original model).
//   The first call in modes 2 and 3 warns when nodes 0 and L are not both FIMs.
void setup_sw_add_fims(Model **holder, int add, int local_mode, int32_t *adjust_score, int track, FILE *log) {
  if (local_mode > 3) return;
  const char *prefix = "% ";
  int first = !local_mode_reported;
  if (first && log != nullptr) {
    switch (local_mode) {
      case 1:
        fprintf(log, "%sSequence-submodel (semilocal) (SW = %i)\n", prefix, local_mode);
        break;
      case 2:
        fprintf(log, "%sSubsequence-submodel (local) (SW = %i)\n", prefix, local_mode);
        break;
      case 3:
        fprintf(log, "%sSubsequence-model (domain) (SW = %i)\n", prefix, local_mode);
        break;
      case 0:
        fprintf(log, "%sSequence-model (global) (SW = %i)\n", prefix, local_mode);
        break;
      default:
        break;
    }
  }

  if (local_mode == 0 || local_mode == 3) {
    *adjust_score = 0;
  } else if ((local_mode == 1 || local_mode == 2) && first && log != nullptr) {
    if (*adjust_score == 2)
      fprintf(log, "%sSimple scores adjusted by +1.5*ln(seq len) (adjust_score = %d)\n", prefix, 2);
    else if (*adjust_score == 1)
      fprintf(log, "%sSimple scores adjusted by ln(seq+mod len) (adjust_score = %d)\n", prefix, 1);
    else
      fprintf(log, "%sWarning: Scores NOT adjusted.  See adjust_score documentation (%d).\n", prefix,
              *adjust_score);
  }

  if ((fimstrength != 1.0 || fimtrans != 1.0) && first && log != nullptr)
    fprintf(log, "%sFIM adjustments:  fimstrength %4.2f fimtrans %4.2f\n", prefix, fimstrength, fimtrans);

  int added = 0;
  if ((add != 0 && (local_mode == 2 || local_mode == 3)) || add == 2) {
    int method = 0;
    add_fims_at_ends(holder, &added, &method);
    if (added && track != last_reported_track) {
      last_reported_track = track;
      if (log != nullptr)
        fprintf(log, "%sTrack %d FIMs added (%s)\n", prefix, track, I_method_string(method));
    }
  }
  if (!added && track != last_reported_track && has_fim(*holder)) {
    last_reported_track = track;
    if (log != nullptr) fprintf(log, "%sTrack %d FIMs present in original model\n", prefix, track);
  }

  if (first && (local_mode == 2 || local_mode == 3)) {
    const Model *model = *holder;
    if (!(model->nodes[0]->type == 'F' && model->nodes[model->length]->type == 'F') && log != nullptr)
      fprintf(log, "%sWARNING: SW %d works best with FIMs at both model ends.\n", prefix, local_mode);
  }
  local_mode_reported = 1;
}

// ---- The FIMs-added flag and alignments -------------------------------------------------------

void set_fims_added() {
  auto_fims_added = 1;
}

void clear_fims_added() {
  auto_fims_added = 0;
}

int fims_added() {
  return auto_fims_added;
}

// remove_fim_delete_if_auto: when FIMs were added, takes the one delete step through the FIM
//   appended after the model's last position back out of seq's alignment string: from the last
//   byte, steps back over insert bytes (1..99, never past the first byte); a delete byte above 201
//   is decreased by 1, the byte 201 is removed. Any other byte writes "Error in locating FIM delete
//   in %s (%d,%d)" (id, position, byte) to standard error and leaves the string.
void remove_fim_delete_if_auto(Sequence *seq) {
  if (!auto_fims_added || seq == nullptr || seq->alignment == nullptr || seq->alignment[0] == 0) return;
  unsigned char *a = seq->alignment;
  size_t n = strlen(reinterpret_cast<char *>(a));
  size_t pos = n - 1;
  while (pos > 0 && a[pos] >= 1 && a[pos] <= 99) pos--;
  int value = a[pos];
  if (value > 201) {
    a[pos] = static_cast<unsigned char>(value - 1);
  } else if (value == 201) {
    memmove(a + pos, a + pos + 1, n - pos);  // the terminating 0 moves too
  } else {
    fprintf(stderr, "Error in locating FIM delete in %s (%d,%d)\n", seq->id != nullptr ? seq->id : "",
            static_cast<int>(pos), value);
  }
}

}  // namespace qor
