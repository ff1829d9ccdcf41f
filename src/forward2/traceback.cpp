// Traceback and alignment encoding: the walk over trace rows into a path code list, the
// run-length encoding of that list into the sequence's alignment string with the path's cost,
// and the backward walk over an existing alignment string.
//
// Sections: traceback | encoding | backward walk
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "alphabet/alphabet.h"
#include "forward2/forward2.h"
#include "util/util.h"

namespace qor {

// ---- Traceback --------------------------------------------------------------------------------

void viterbi_traceback(const DPcell *trace, int32_t *path, int *path_length, int *state, int j, int *node) {
  (void)j;
  int len = *path_length;
  int st = *state, k = *node;
  while (k >= 0) {
    if (st == TRACE_D) {  // delete state of node k: continue within the row
      path[len++] = TRACE_D;
      st = trace[k].D;
      k--;
      continue;
    }
    if (st == TRACE_I) {  // insert state: one residue, the node stays
      path[len++] = TRACE_I;
      st = trace[k].I;
      break;
    }
    if (st == TRACE_M) {  // match state: one residue, then node k-1
      path[len++] = TRACE_M;
      int32_t c = trace[k].M;
      if (c < 0) {
        st = c;
        k--;
      } else {
        if (c != TRACE_JUMP_IN) fprintf(stderr, "Internal Error: vtb: jump to node other than 1 (%d)\n", c);
        path[len - 1] = k - 1;  // a jump in from D_1 over nodes 2..k-1
        k = 1;
        st = TRACE_D;
      }
      break;
    }
    // st >= 0: D_L was entered by a jump out of M_st.
    path[len++] = k - st;
    k = st;
    st = st == 1 ? TRACE_D : TRACE_M;
  }
  path[len] = PATH_END;
  *path_length = len;
  *state = st;
  *node = k;
}

void fast_viterbi(int32_t *path, int *path_length, int s) {
  int len = *path_length;
  for (int j = s; j >= 0; j--) path[len++] = TRACE_I;
  path[len] = PATH_END;
  *path_length = len;
}

// ---- Encoding ---------------------------------------------------------------------------------

// Run kinds of the alignment string.
enum RunKind { RUN_INSERT = 0, RUN_MATCH = 100, RUN_DELETE = 200 };

// Extends the last byte when it is of this kind and below its maximum (insert 98, match 198,
// delete 254), else appends a new byte 1, 101 or 201.
static inline void extend_run(unsigned char *a, int *len, RunKind kind) {
  int maximum = kind == RUN_DELETE ? 254 : kind + 98;
  if (*len > 0 && a[*len - 1] > kind && a[*len - 1] <= maximum && (kind != RUN_INSERT || a[*len - 1] < 100))
    a[*len - 1]++;
  else
    a[(*len)++] = static_cast<unsigned char>(kind + 1);
}

static inline void start_run(unsigned char *a, int *len, RunKind kind) {
  a[(*len)++] = static_cast<unsigned char>(kind + 1);
}

// Emission cost of residue r at node k over every track (match or insert tables).
static int64_t emission_cost(const Sequence *seq, int r, int k, bool match) {
  int64_t c = 0;
  int tracks = numtracks > 0 ? numtracks : 1;
  for (int t = 0; t < tracks; t++) {
    const FBmodel *fb = FBtrack[t] != nullptr ? FBtrack[t] : FB;
    int letter = dp_letter_index(seq, t, r, 0);
    if (letter < 0 || letter >= fb->num_letters) continue;
    c += match ? fb->mtables[letter][k] : fb->itables[letter][k];
  }
  return c;
}

// Transition cost entry 1, 2 or 3 (into D), 4..6 (into M) or 7..9 (into I) for a previous state p.
static inline int32_t trans_from(const FBtrans &t, int base, int p) {
  const int32_t *e = &t.d2d + base;
  return p == TRACE_D ? e[0] : p == TRACE_M ? e[1] : e[2];
}

int64_t encode_alignment(const int32_t *path, Sequence *seq, int L, Model *count_model) {
  (void)count_model;
  const FBtrans *T = FB->trans;
  int n = seq->length;
  int e = 0;
  while (path[e] != PATH_END) e++;

  free(seq->alignment);
  seq->alignment = nullptr;
  int capacity = L + n + 2 + e;  // room beyond L + n + 2 for the byte splits of long runs
  unsigned char *a = static_cast<unsigned char *>(mem_alloc(capacity));
  int len = 0;
  int64_t cost = 0;

  if (e == 0) {
    a[0] = 0;
    seq->alignment = a;
    return 0;
  }
  if (path[0] != TRACE_D) fprintf(stderr, "Error in forward2:encode_algnment\n");
  assert(path[e - 1] < 0);
  if (path[e - 1] >= 0) {
    fprintf(stderr, "Assertion failed: align[i] < 0\n");
    abort();
  }

  int j = 0;  // current node
  int r = 0;  // next residue
  int c = path[e - 1];
  if (c == TRACE_I) {
    start_run(a, &len, RUN_INSERT);
    cost += T[0].d2i + emission_cost(seq, r++, 0, false);
  } else if (c == TRACE_D) {
    start_run(a, &len, RUN_DELETE);
    j = 1;
    cost += T[1].d2d;
  } else {
    start_run(a, &len, RUN_MATCH);
    j = 1;
    cost += T[1].d2m + emission_cost(seq, r++, 1, true);
  }
  int p = c;
  for (int i = e - 2; i >= 1; i--) {
    c = path[i];
    // A path of this model and sequence never leaves nodes 0..L+1 or runs past its residues or the
    // buffer; a malformed list is reported instead of read beyond the tables.
    if (len + 2 >= capacity || j + (c >= 0 ? c : 1) > L + 1 || r > n) {
      fprintf(stderr, "Internal error in encode_alignment\n");
      break;
    }
    if (c == TRACE_I) {
      extend_run(a, &len, RUN_INSERT);
      if (p < 0) cost += trans_from(T[j], 6, p);
      if (r < n) cost += emission_cost(seq, r, j, false);
      r++;
    } else if (c == TRACE_M) {
      extend_run(a, &len, RUN_MATCH);
      j++;
      if (p < 0) cost += trans_from(T[j], 3, p);
      if (r < n) cost += emission_cost(seq, r, j, true);
      r++;
    } else if (c == TRACE_D) {
      extend_run(a, &len, RUN_DELETE);
      j++;
      if (p < 0) cost += trans_from(T[j], 0, p);
    } else {         // a local jump over c nodes
      if (j <= 1) {  // jump in: deletions up to node j + c - 1, then a match
        cost += jump_in_cost;
        for (int x = 0; x < c - 1; x++) extend_run(a, &len, RUN_DELETE);
        j += c - 1;
        start_run(a, &len, RUN_MATCH);
        j++;
        if (r < n) cost += emission_cost(seq, r, j, true);
        r++;
        c = TRACE_M;
      } else {  // jump out: deletions of the skipped nodes
        cost += jump_out_cost;
        for (int x = 0; x < c; x++) extend_run(a, &len, RUN_DELETE);
        j += c;
      }
    }
    p = c;
  }
  // Into the end state.
  if (e >= 2 && path[1] < 0 && path[1] >= TRACE_I && j + 1 <= L + 1)
    cost += trans_from(T[j + 1], 0, path[1]);
  else
    fprintf(stderr, "Internal error in encode_alignment\n");
  a[len] = 0;
  void *shrunk = realloc(a, static_cast<size_t>(len) + 2);
  seq->alignment = shrunk != nullptr ? static_cast<unsigned char *>(shrunk) : a;
  return cost;
}

// ---- Backward walk ----------------------------------------------------------------------------

static unsigned char *walk_bytes = nullptr;  // reversed copy of the alignment, ended by 100
static int walk_pos = 0;
static int walk_node = 0;
static int walk_residue = 0;

int backstep_alignment(Sequence *seq, int L, int style, int *match) {
  if (seq != nullptr) {
    free(walk_bytes);
    walk_bytes = nullptr;
    const unsigned char *al =
        seq->alignment != nullptr ? seq->alignment : reinterpret_cast<const unsigned char *>("");
    int len = static_cast<int>(strlen(reinterpret_cast<const char *>(al)));
    walk_bytes = static_cast<unsigned char *>(mem_alloc(len + 2));
    int w = 0;
    if (style == 100) walk_bytes[w++] = 201;
    for (int i = len - 1; i >= 0; i--) walk_bytes[w++] = al[i];
    walk_bytes[w] = 100;
    walk_pos = 0;
    walk_node = L;
    walk_residue = seq->length;
    return L;
  }
  for (;;) {
    if (walk_bytes == nullptr) return -1;
    unsigned char b = walk_bytes[walk_pos];
    if (b == 100 || walk_node < 0) {
      free(walk_bytes);
      walk_bytes = nullptr;
      return -1;
    }
    if (b > 200) {
      walk_node -= b - 200;
      walk_pos++;
      continue;
    }
    int result = walk_node;
    if (b > 100) {
      walk_node--;
      walk_residue--;
      if (--walk_bytes[walk_pos] == 100) walk_pos++;
      if (match != nullptr) *match = 1;
    } else {
      walk_residue--;
      if (--walk_bytes[walk_pos] == 0) walk_pos++;
      if (match != nullptr) *match = 0;
    }
    return result;
  }
}

}  // namespace qor
