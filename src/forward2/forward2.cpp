// The DP driver: engine state, set-up for a run (models, style, local mode, jump costs, working
// memory within maxmem), kernel choice and emission columns per residue, and the sequence pass
// with stored rows, checkpoints and recomputation by segments.
//
// Sections: engine state | cost range guard | set-up and release | kernels and columns | the pass
#include "forward2/forward2.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "alphabet/alphabet.h"
#include "init/init.h"
#include "util/util.h"

namespace qor {

// ---- Engine state -----------------------------------------------------------------------------

FBmodel *FB = nullptr;
FBmodel *FBtrack[MAX_TRACKS];
Model *MD = nullptr;
Model *Modtrack[MAX_TRACKS];
double trackcoeff[MAX_TRACKS];
int32_t numtracks = 0;
int32_t DP_style = 0;
int32_t Traceback = 0;
int32_t SW_mode = 0;
int32_t Prob_seq_method = 0;
const char *pdoc_output_file = nullptr;
float scalefactor = 1000.0f;
int32_t jump_in_cost = 80000, jump_out_cost = 80000;
int32_t SWgap = 0, SWcont = 0;
int32_t dpmodlen = -1;
int32_t rowlen = -1;
int32_t rowbytes = -1;
DPcell *dpspace = nullptr;
int32_t dpmemalloc = 0;
int32_t rowtot = -1;
int32_t *rowindex = nullptr;
int32_t dprowtot = -1;
DPcell *betaspace = nullptr, *boldspace = nullptr;
FBtrans *betatransspace = nullptr, *boldtransspace = nullptr;
int32_t dprowbytes = -1, dpbetalength = -1;
int32_t *alignspace = nullptr;
int32_t dpalen = -1;
int32_t *mtabmem = nullptr, *itabmem = nullptr;
int32_t imtaballoc = 0;
PDmodel *PD = nullptr;
DPcell *posspace = nullptr;
int32_t pdmemalloc = 0;
int32_t posdecodeseqlen = 0;
FBmodel *fbfreq = nullptr;
DPkernel forward_inplace = nullptr, forward_save = nullptr, backward_trace = nullptr;
DPscheduleLog *dp_schedule_log = nullptr;
int32_t dp_renormalise = 1;

// Per slot of the row store: the offset subtracted from the finite cells of the row it holds
// (Viterbi renormalisation; allocated with rowindex).
static int64_t *rowoffset = nullptr;

static int sw_warning_given = 0;  // the "Illegal SW option" lines are written once per run

// Emission columns of a constrained residue as the kernels used them, for the posterior
// combination (L+2 entries each, allocated with the scratch columns).
static int32_t *post_mcol = nullptr, *post_icol = nullptr;

// Slot s of the row store (two spare cells precede slot 0).
static inline DPcell *slot_row(int s) {
  return dpspace + 2 + static_cast<int64_t>(s) * rowlen;
}

// Viterbi renormalisation of a computed row: when its smallest value has reached
// DP_RENORM_TRIGGER, the minimum is taken from every cell below DP_INFINITY and added to *offset.
// Cells at or above the infinity keep their value, so node 0's impossible states stay exactly
// DP_INFINITY.
static inline void renormalise_row(DPcell *row, int L, int64_t *offset) {
  // The minimum is at most any one cell: node 0's insert and the end cell settle most rows.
  if (row[0].I < DP_RENORM_TRIGGER || row[L + 1].D < DP_RENORM_TRIGGER) return;
  int32_t *v = &row[0].D;
  int cells = 3 * (L + 2);
  int32_t lo = INT32_MAX;
  for (int x = 0; x < cells; x++) lo = v[x] < lo ? v[x] : lo;
  if (lo < DP_RENORM_TRIGGER) return;
  for (int x = 0; x < cells; x++) v[x] = v[x] < DP_INFINITY ? v[x] - lo : v[x];
  *offset += lo;
}

static void log_event(int kind, int first, int last, int slot) {
  DPscheduleLog *log = dp_schedule_log;
  if (log == nullptr || log->count >= DP_SCHEDULE_CAPACITY) return;
  log->events[log->count++] = DPscheduleEvent{kind, first, last, slot};
}

// ---- Cost range guard -------------------------------------------------------------------------
//
// Row values are sums of costs along paths; over a long enough sequence they leave the 32-bit
// range. From the largest finite cost magnitude C of the tables (plus jump and constraint costs)
// one row can move its extreme values by at most 3 (C + INF) upwards (INF only when a table
// holds infinite entries) and by (L+3) (3 C + 1386) downwards (the log-sum may lower a value by
// 693 per combination). The guard carries those bounds from row to row and, when the next row
// could leave the range, measures the row exactly; a row that is itself too close to the limit
// ends the run with a fatal message naming the sequence. The check runs once per row outside the
// kernels, and the exact measurement only every few thousand rows for ordinary models, so every
// result below the limit is unchanged.

struct RangeGuard {
  int64_t hi, lo;            // bounds on the values of the last row computed
  int64_t grow_hi, grow_lo;  // bounds on the change of one row
  const char *id;            // sequence named in the fatal message
  int n;
};

static int64_t table_pos = 0, table_neg = 0;  // largest finite cost magnitudes of the tables
static int table_inf = 0;                     // 1 when a table holds infinite entries

static void note_cost(int64_t v, int64_t *pos, int64_t *neg, int *inf) {
  if (v >= DP_INFINITY / 2 || v <= -DP_INFINITY / 2)
    *inf = 1;
  else if (v > *pos)
    *pos = v;
  else if (-v > *neg)
    *neg = -v;
}

// Scans the tables of one FBmodel (the entries the kernels read).
static void scan_fbmodel(const FBmodel *fb, int64_t *pos, int64_t *neg, int *inf) {
  int L = fb->length;
  for (int dir = 0; dir < 2; dir++) {
    const FBtrans *T = dir == 0 ? fb->trans : fb->rtrans;
    int32_t **mt = dir == 0 ? fb->mtables : fb->rmtables;
    int32_t **it = dir == 0 ? fb->itables : fb->ritables;
    if (T == nullptr || mt == nullptr) continue;
    if (dir == 1 && fb->is_seqmodel) continue;
    for (int k = 0; k <= L + 1; k++) {
      const int32_t *e = &T[k].d2d;
      for (int x = k == 0 ? 6 : 0; x < 9; x++) note_cost(e[x], pos, neg, inf);
      for (int c = 0; c < fb->num_letters; c++) {
        note_cost(mt[c][k], pos, neg, inf);
        note_cost(it[c][k], pos, neg, inf);
      }
    }
  }
}

static void scan_tables() {
  table_pos = table_neg = 0;
  table_inf = 0;
  for (int t = 0; t < numtracks; t++) {
    int64_t p = 0, q = 0;
    if (FBtrack[t] != nullptr) scan_fbmodel(FBtrack[t], &p, &q, &table_inf);
    table_pos += p;  // emissions of the tracks add up
    table_neg += q;
  }
}

// Sets up the guard for one sequence: C from the tables, the jump costs and the constraints.
static void guard_start(RangeGuard *g, const Sequence *seq, int L, int logsum) {
  int64_t pos = table_pos, neg = table_neg;
  int inf = table_inf;
  int64_t jmax = std::abs(static_cast<int64_t>(jump_in_cost)) + std::abs(static_cast<int64_t>(jump_out_cost));
  pos += jmax;
  neg += jmax;
  if (seq->constraints != nullptr) {
    int64_t cmax = 0;
    for (int j = 0; j < seq->length; j++) {
      const PosConstraint &p = seq->constraints[j];
      if (p.label == -1) continue;
      int64_t a[3] = {p.satisfied_cost, p.unsatisfied_cost, p.unconstrained_cost};
      for (int64_t v : a) cmax = std::max(cmax, v < 0 ? -v : v);
    }
    if (cmax > DP_INFINITY)
      error("Constraint costs of sequence %s (up to %lld) exceed the DP cost range", seq->id ? seq->id : "",
            static_cast<long long>(cmax));
    pos += cmax;
    neg += cmax + 693;
  }
  g->grow_hi = 3 * (pos + (inf ? DP_INFINITY : 0));
  g->grow_lo = static_cast<int64_t>(L + 3) * (3 * neg + (logsum ? 1386 : 0));
  g->id = seq->id ? seq->id : "";
  g->n = seq->length;
}

// Exact extremes of a row (nodes 0..L+1).
static void guard_measure(RangeGuard *g, const DPcell *row, int L) {
  int32_t hi = row[0].D, lo = row[0].D;
  for (int k = 0; k <= L + 1; k++) {
    const int32_t v[3] = {row[k].D, row[k].M, row[k].I};
    for (int32_t x : v) {
      hi = x > hi ? x : hi;
      lo = x < lo ? x : lo;
    }
  }
  g->hi = hi;
  g->lo = lo;
}

// Called before a row is computed from `prev` (residue j): makes sure no sum of the row can leave
// the 32-bit range, then advances the bounds.
static inline void guard_row(RangeGuard *g, const DPcell *prev, int L, int j) {
  if (g->hi + g->grow_hi > INT32_MAX || g->lo - g->grow_lo < INT32_MIN) {
    guard_measure(g, prev, L);
    if (g->hi + g->grow_hi > INT32_MAX || g->lo - g->grow_lo < INT32_MIN)
      error(
          "Sequence %s (length %d) is too long for this model: its DP costs leave the 32-bit range at "
          "residue %d",
          g->id, g->n, j);
  }
  g->hi += g->grow_hi;
  g->lo -= g->grow_lo;
}

// ---- Set-up and release -----------------------------------------------------------------------

// cost(p) of the cost tables: 80000 at or below 2.0612e-9, else the integer part of 0.5 - 1000 ln p.
static int32_t prob_cost(long double p) {
  if (p <= 2.0612e-9L) return 80000;
  return static_cast<int32_t>(0.5L - 1000.0L * logl(p));
}

// Makes track t's alphabet current (track 0's when the track has none of its own).
static void use_track_alphabet(int t) {
  if (t >= 0 && t < MAX_TRACKS && alphabets[t] != nullptr) alphabet = alphabets[t];
}

static void *grow_block(void *block, int64_t bytes) {
  if (bytes > 2000000000)
    error("A dynamic programming matrix of %lld bytes is too large", static_cast<long long>(bytes));
  free(block);
  return mem_alloc(static_cast<int>(bytes));
}

void init_forward2(Model *model, float coefficient, int maxlen, int sw_option, double jump_in_prob,
                   double jump_out_prob, int style, int pseq_method, int traceback, const char *pdoc_file) {
  if (model == nullptr && FB == nullptr) error("init_forward2 called with null model!");
  if (maxlen < 0) maxlen = 0;
  if (model != nullptr && model->is_seqmodel == 1) {
    SWgap = std::abs(model->gap_cost);
    SWcont = std::abs(model->continue_cost);
    style = 1;
    sw_option = 0;
    jump_in_prob = jump_out_prob = 1.0;
  }
  if (style == 4 || style == 5 || style == 2 || style == 6 || style == 100 || style == 7)
    if (traceback == 0) traceback = 1;
  DP_style = style;
  Prob_seq_method = pseq_method;

  if (model != nullptr) {
    use_track_alphabet(0);
    FB = model2fbmodel(model, FB, coefficient);
    MD = model;
    trackcoeff[0] = coefficient;
    for (int t = 1; t < MAX_TRACKS; t++) {
      if (FBtrack[t] != nullptr) {
        use_track_alphabet(t);
        clear_FBmodel(FBtrack[t]);
        free(FBtrack[t]);
        FBtrack[t] = nullptr;
      }
      Modtrack[t] = nullptr;
    }
    use_track_alphabet(0);
    FBtrack[0] = FB;
    Modtrack[0] = MD;
    numtracks = 1;
  }

  if (sw_option > 3 || sw_option < 0) {
    if (sw_warning_given == 0) {
      fprintf(stderr, "Illegal SW option (%d).  Current options are\n", sw_option);
      fprintf(stderr, "Global (%d), semi-local (%d), local (%d), and domain (%d)\n", 0, 1, 2, 3);
      fprintf(stderr, "A value of %d will be used\n", 0);
      sw_warning_given = 1;
    }
    sw_option = 0;
  }
  SW_mode = sw_option == 3 ? 0 : sw_option;

  if (FB->is_seqmodel) {
    scalefactor = 1.0f;
    DP_style = 1;
  } else {
    scalefactor = 1000.0f;
  }
  Traceback = traceback;
  pdoc_output_file = pdoc_file;
  jump_in_cost = prob_cost(jump_in_prob);
  jump_out_cost = prob_cost(jump_out_prob);

  int L = FB->length;
  if (L < 1) error("forward2 is receiving a model of length %d??\n", L);
  dpmodlen = L;
  rowlen = (traceback != 0 && (DP_style == 1 || DP_style == 4 || DP_style == 5)) ? L + 4 : L + 2;
  int64_t rb = static_cast<int64_t>(rowlen) * static_cast<int64_t>(sizeof(DPcell));
  if (rb > 100000000) error("forward2: a model of length %d needs rows too large to store", L);
  rowbytes = static_cast<int32_t>(rb);

  // Row store.
  int64_t size;
  if (traceback != 0) {
    int64_t minimum = (static_cast<int64_t>(sqrt(2.0 * maxlen)) + 4) * rowbytes;
    size = std::max(static_cast<int64_t>(maxmem), minimum) + 24;
  } else {
    size = 4 * static_cast<int64_t>(rowbytes) + 24;
  }
  if (size > 2000000000)
    error("A dynamic programming matrix of %lld KB is too large", static_cast<long long>(size / 1024));
  if (size > dpmemalloc) {
    dpspace = static_cast<DPcell *>(grow_block(dpspace, size));
    dpmemalloc = static_cast<int32_t>(size);
    if (size > static_cast<int64_t>(maxmem) + 24 && maxmem > 0) {
      fprintf(stderr, "Warning:  A dynamic programming matrix of %d KB\n", static_cast<int>(size / 1024));
      fprintf(stderr, "is being allocated even though maxmem is only %d (%d KB)\n", maxmem, maxmem / 1024);
    }
  }
  rowtot = static_cast<int32_t>((size - 24) / rowbytes);

  // Scratch emission columns.
  if (imtaballoc < L + 2) {
    free(mtabmem);
    free(itabmem);
    free(post_mcol);
    free(post_icol);
    mtabmem = static_cast<int32_t *>(mem_alloc((L + 2) * static_cast<int>(sizeof(int32_t))));
    itabmem = static_cast<int32_t *>(mem_alloc((L + 2) * static_cast<int>(sizeof(int32_t))));
    post_mcol = static_cast<int32_t *>(mem_alloc((L + 2) * static_cast<int>(sizeof(int32_t))));
    post_icol = static_cast<int32_t *>(mem_alloc((L + 2) * static_cast<int>(sizeof(int32_t))));
    imtaballoc = L + 2;
  }

  // Posterior storage (styles 7, 4, 5).
  if (DP_style == 7 || DP_style == 4 || DP_style == 5) {
    if (PD == nullptr) PD = alloc_PDmodel();
    zero_PDmodel(PD, L, maxlen, DP_style != 4);
    // The store is made afresh as well when there is none yet (maxlen 0) or when its rows are
    // narrower than the rows of this model.
    if (posdecodeseqlen < maxlen || posspace == nullptr ||
        static_cast<int64_t>(rowbytes) * (posdecodeseqlen + 4) > pdmemalloc) {
      free(posspace);
      posspace = nullptr;
      int64_t t = maxposdecodemem / rowbytes - 4;
      if (t > maxlen) t = maxlen;
      if (t < 0) t = 0;
      posdecodeseqlen = static_cast<int32_t>(t);
      pdmemalloc = static_cast<int32_t>(rowbytes * (t + 4));
      posspace = static_cast<DPcell *>(mem_alloc(pdmemalloc));
      if (t != maxlen) {
        fprintf(stderr, "Warning:  Sequences > %d bases will be Viterbi-aligned\n", static_cast<int>(t));
        fprintf(stderr, "Increase maxposdecodemem (%d) to enable longer sequences\n", maxposdecodemem);
      }
    }
  }

  // Backward rows, flow rows and the path list.
  if (traceback != 0) {
    if (dprowbytes < rowbytes) {
      free(betaspace);
      free(boldspace);
      betaspace = static_cast<DPcell *>(mem_alloc(rowbytes));
      boldspace = static_cast<DPcell *>(mem_alloc(rowbytes));
      dprowbytes = rowbytes;
    }
    if (dpbetalength < L + 2) {
      free(betatransspace);
      free(boldtransspace);
      betatransspace = static_cast<FBtrans *>(mem_alloc((L + 2) * static_cast<int>(sizeof(FBtrans))));
      boldtransspace = static_cast<FBtrans *>(mem_alloc((L + 2) * static_cast<int>(sizeof(FBtrans))));
      dpbetalength = L + 2;
    }
    if (dpalen < maxlen + 2 * L) {
      free(alignspace);
      dpalen = maxlen + 2 * L + 4;
      alignspace = static_cast<int32_t *>(mem_alloc(dpalen * static_cast<int>(sizeof(int32_t))));
    }
  }

  if (dprowtot < rowtot) {
    free(rowindex);
    free(rowoffset);
    rowindex = static_cast<int32_t *>(mem_alloc(rowtot * static_cast<int>(sizeof(int32_t))));
    rowoffset = static_cast<int64_t *>(mem_alloc(rowtot * static_cast<int>(sizeof(int64_t))));
    dprowtot = rowtot;
  }
  for (int s = 0; s < rowtot; s++) rowindex[s] = -1, rowoffset[s] = 0;

  if (log05 == 0 && !FB->is_seqmodel) build_sumlog();
  scan_tables();
}

void init_forward2_tracks(Model **models, const float *coefficients, int ntracks, int maxlen, int sw_option,
                          double jump_in_prob, double jump_out_prob, int style, int pseq_method,
                          int traceback, const char *pdoc_file) {
  static const float one = 1.0f;
  if (coefficients == nullptr || ntracks == 0) {
    coefficients = &one;
    ntracks = 1;
  }
  if (models == nullptr) {
    init_forward2(nullptr, coefficients[0], maxlen, sw_option, jump_in_prob, jump_out_prob, style,
                  pseq_method, traceback, pdoc_file);
    return;
  }
  init_forward2(models[0], coefficients[0], maxlen, sw_option, jump_in_prob, jump_out_prob, style,
                pseq_method, traceback, pdoc_file);
  for (int t = 1; t < ntracks; t++) add_track_forward2(models[t], t, coefficients[t]);
}

void add_track_forward2(Model *model, int track, float coefficient) {
  if (model == nullptr && FB == nullptr) error("add_track_forward2 %d called with null model!", track);
  if (track != numtracks)
    error("Add_track_forward2():  nonsequential tracks %d expect %d\n", track, numtracks);
  if (track >= MAX_TRACKS) error("Add_track_forward2():  track %d beyond the %d tracks", track, MAX_TRACKS);
  if (model == nullptr) error("add_track_forward2 %d called with null model!", track);
  if (model->length != FB->length)
    error("Track %d model length %d mismatch (track 0 is %d)\n", track, model->length, FB->length);
  use_track_alphabet(track);
  FBtrack[track] = model2fbmodel(model, FBtrack[track], coefficient);
  Modtrack[track] = model;
  trackcoeff[track] = coefficient;
  use_track_alphabet(0);
  numtracks++;
  scan_tables();
}

void free_forward2() {
  for (int t = 0; t < MAX_TRACKS; t++) {
    if (FBtrack[t] != nullptr && FBtrack[t] != FB) {
      use_track_alphabet(t);
      clear_FBmodel(FBtrack[t]);
      free(FBtrack[t]);
    }
    FBtrack[t] = nullptr;
    Modtrack[t] = nullptr;
  }
  use_track_alphabet(0);
  if (FB != nullptr) {
    clear_FBmodel(FB);
    free(FB);
    FB = nullptr;
  }
  MD = nullptr;
  if (PD != nullptr) {
    clear_PDmodel(PD);
    free(PD);
    PD = nullptr;
  }
  if (fbfreq != nullptr) {
    clear_FBmodel(fbfreq);
    free(fbfreq);
    fbfreq = nullptr;
  }
  free(dpspace);
  free(rowindex);
  free(rowoffset);
  rowoffset = nullptr;
  free(betaspace);
  free(boldspace);
  free(betatransspace);
  free(boldtransspace);
  free(alignspace);
  free(mtabmem);
  free(itabmem);
  free(post_mcol);
  free(post_icol);
  post_mcol = post_icol = nullptr;
  free(posspace);
  dpspace = betaspace = boldspace = posspace = nullptr;
  rowindex = alignspace = mtabmem = itabmem = nullptr;
  betatransspace = boldtransspace = nullptr;
  numtracks = 0;
  rowlen = rowbytes = rowtot = dpmodlen = dprowbytes = dpbetalength = dprowtot = dpalen = -1;
  dpmemalloc = pdmemalloc = imtaballoc = posdecodeseqlen = 0;
  DP_style = Traceback = SW_mode = 0;
  forward_inplace = forward_save = backward_trace = nullptr;
  table_pos = table_neg = 0;
  table_inf = 0;
}

// ---- Kernels and columns ----------------------------------------------------------------------

int set_procedures_and_style(Sequence *seq, int style, int pseq_method) {
  set_pseq_scale(Modtrack, numtracks, seq, pseq_method);
  // (The posterior tables hold the longest sequence of the set-up; a longer one is treated alike.)
  if ((style == 4 || style == 5) &&
      (seq->length > posdecodeseqlen || PD == nullptr || seq->length > PD->seqlength)) {
    fprintf(stderr, "Warning:  %s (len=%d) will be Viterbi aligned.\n", seq->id ? seq->id : "", seq->length);
    style = 1;
  }
  if (style != 1) {
    forward_inplace = forward_save = dprow_forward;
    backward_trace = dprow_backward;
  } else if (FB->is_seqmodel) {
    forward_inplace = dprow_swviterbi;
    forward_save = dprow_swalign;
    backward_trace = nullptr;
    jump_in_cost = jump_out_cost = 0;
  } else {
    forward_inplace = dprow_viterbi;
    forward_save = dprow_align;
    backward_trace = nullptr;
  }
  return style;
}

int dp_letter_index(const Sequence *seq, int track, int j, int reverse) {
  const Alphabet *a = (track < MAX_TRACKS && alphabets[track] != nullptr) ? alphabets[track] : alphabet;
  const unsigned char *s = seq->tracks[track].letters;
  if (a != nullptr && a->internal_id == CODON_ID) {
    int step = reverse ? -1 : 1;
    int j1 = j + step, j2 = j + 2 * step;
    int b = (j1 >= 0 && j1 < seq->length) ? s[j1] : 4;
    int c = (j2 >= 0 && j2 < seq->length) ? s[j2] : 4;
    return 25 * s[j] + 5 * b + c;
  }
  return s[j];
}

// The letter index checked against the tables of fb: a letter without a table would be read
// beyond the tables.
static inline int checked_letter(const Sequence *seq, int t, int j, int reverse, const FBmodel *fb) {
  int c = dp_letter_index(seq, t, j, reverse);
  if (c < 0 || c >= fb->num_letters)
    error("Sequence %s: letter index %d at position %d of track %d is outside the alphabet",
          seq->id ? seq->id : "", c, j, t);
  return c;
}

// Match or insert share of a probability vector q at one node (model probabilities r).
static int64_t prob_share(const float *r, const float *q, int letters, int method, int t) {
  switch (method) {
    case 0: {
      long double s = 0;
      for (int l = 0; l < letters; l++) s += static_cast<long double>(prob_cost(r[l])) * q[l];
      return static_cast<int64_t>(s);
    }
    case 1: {
      long double s = 0, u = 0;
      for (int l = 0; l < letters; l++) {
        s += static_cast<long double>(prob_cost(r[l])) * q[l];
        u += static_cast<long double>(prob_cost(q[l])) * r[l];
      }
      return static_cast<int64_t>((s + u) / 2);
    }
    default: {
      if (method < 0) error("Unknown combine_mod_probseq method %d\n", method);
      long double s = 0;
      for (int l = 0; l < letters; l++) s += static_cast<long double>(q[l]) * r[l];
      long double lg = s > 0 ? logl(s) : -1e30L;
      long double v = 1000.0L * (ps_shift[t] - ps_scale[t] * lg) + 0.5L;
      if (v > DP_INFINITY) v = DP_INFINITY;
      return static_cast<int64_t>(v);
    }
  }
}

void set_prob_mi_tabs(int32_t **mcol, int32_t **icol, Sequence *seq, int j, int reverse) {
  if (numtracks <= 1 && seq->tracks[0].probs == nullptr) {
    int c = checked_letter(seq, 0, j, reverse, FB);
    *mcol = reverse ? FB->rmtables[c] : FB->mtables[c];
    *icol = reverse ? FB->ritables[c] : FB->itables[c];
    return;
  }
  int L = FB->length;
  for (int k = 0; k <= L + 1; k++) mtabmem[k] = itabmem[k] = 0;
  int tracks = numtracks > 0 ? numtracks : 1;
  for (int t = 0; t < tracks; t++) {
    FBmodel *fb = FBtrack[t];
    if (seq->tracks[t].probs == nullptr) {
      int c = checked_letter(seq, t, j, reverse, fb);
      const int32_t *m = reverse ? fb->rmtables[c] : fb->mtables[c];
      const int32_t *i = reverse ? fb->ritables[c] : fb->itables[c];
      if (t == 0) {
        for (int k = 0; k <= L + 1; k++) mtabmem[k] = m[k], itabmem[k] = i[k];
      } else {
        for (int k = 0; k <= L + 1; k++) {
          mtabmem[k] = static_cast<int32_t>(
              std::max<int64_t>(std::min<int64_t>(int64_t(mtabmem[k]) + m[k], DP_INFINITY), -DP_INFINITY));
          itabmem[k] = static_cast<int32_t>(
              std::max<int64_t>(std::min<int64_t>(int64_t(itabmem[k]) + i[k], DP_INFINITY), -DP_INFINITY));
        }
      }
      continue;
    }
    const Alphabet *a = alphabets[t] != nullptr ? alphabets[t] : alphabet;
    if (a->internal_id == CODON_ID) error("Codon alphabet not supported with probabilistic sequences");
    const Model *model = Modtrack[t];
    if (model == nullptr) error("Sequence %s has probabilities on track %d without a model", seq->id, t);
    const float *q = seq->tracks[t].probs[j];
    int letters = a->length;
    for (int k = 0; k <= L + 1; k++) {
      int mk = k, ik = k;
      if (reverse) {
        mk = (k == 0 || k == L + 1) ? k : L + 1 - k;
        ik = k == L + 1 ? k : L - k;
      }
      int64_t ms = static_cast<int64_t>(prob_share(model->nodes[mk]->match, q, letters, Prob_seq_method, t) *
                                        trackcoeff[t]);
      int64_t is = static_cast<int64_t>(prob_share(model->nodes[ik]->insert, q, letters, Prob_seq_method, t) *
                                        trackcoeff[t]);
      mtabmem[k] = static_cast<int32_t>(
          std::max<int64_t>(std::min<int64_t>(mtabmem[k] + ms, DP_INFINITY), -DP_INFINITY));
      itabmem[k] = static_cast<int32_t>(
          std::max<int64_t>(std::min<int64_t>(itabmem[k] + is, DP_INFINITY), -DP_INFINITY));
    }
  }
  *mcol = mtabmem;
  *icol = itabmem;
}

void init_dprow(int L, DPcell *row, const FBtrans *table, FBtrans *flow) {
  row[0] = DPcell{0, DP_INFINITY, DP_INFINITY};
  int64_t d = 0;
  for (int k = 1; k <= L + 1; k++) {
    if (table != nullptr) d += table[k].d2d;
    if (d > DP_SAFE_MAX || d < -DP_SAFE_MAX)
      error("A model of length %d has delete-path costs beyond the 32-bit DP cost range", L);
    row[k] = DPcell{static_cast<int32_t>(d), DP_INFINITY, DP_INFINITY};
  }
  if (flow != nullptr) {
    for (int k = 0; k <= L + 1; k++) {
      flow[k] = FBtrans{DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY,
                        DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY};
      if (k > 0) flow[k].d2d = row[k].D;
    }
  }
}

// ---- The pass ---------------------------------------------------------------------------------

static inline const PosConstraint *constraint_of(const Sequence *seq, int j) {
  return seq->constraints != nullptr ? &seq->constraints[j] : &noPosConstraint;
}

// Forward row j from prev into cur (trace row two cells below prev, used by alignment kernels).
static inline void forward_row(DPkernel kernel, Sequence *seq, int j, int n, int L, int mode, DPcell *prev,
                               DPcell *cur, DPcell *trace, RangeGuard *guard) {
  int32_t *mcol, *icol;
  set_prob_mi_tabs(&mcol, &icol, seq, j, 0);
  guard_row(guard, prev, L, j);
  kernel(FB->trans, mcol, icol, j, n, L + 2, L, prev, cur, nullptr, trace, mode, constraint_of(seq, j),
         FB->nodeinfo);
}

// The emission columns of residue j for the posterior combination: the reversed columns the
// backward kernel was given, adjusted as the kernels adjust them when the residue is constrained
// (match: min(INF, d (+) (m + z)) with d by the label of the node; insert: i + z; node 0: the
// insert only), so that the combination takes out the emission the rows contain.
static void posterior_columns(const PosConstraint *pc, int L, const int32_t *rmcol, const int32_t *ricol,
                              const int32_t **mout, const int32_t **iout) {
  if (pc->label == -1) {
    *mout = rmcol;
    *iout = ricol;
    return;
  }
  const FBnodeinfo *info = FB->rnodeinfo;
  post_mcol[0] = rmcol[0];
  post_icol[0] = ricol[0] + pc->unconstrained_cost;
  for (int r = 1; r <= L + 1; r++) {
    int32_t d = info[r].label == pc->label ? pc->satisfied_cost : pc->unsatisfied_cost;
    int32_t m = sumlog(d, rmcol[r] + pc->unconstrained_cost);
    post_mcol[r] = m < DP_INFINITY ? m : DP_INFINITY;
    post_icol[r] = ricol[r] + pc->unconstrained_cost;
  }
  *mout = post_mcol;
  *iout = post_icol;
}

// Makes sure the path list can hold the path of a sequence of length n.
static void ensure_path_room(int n, int L) {
  if (dpalen < n + 2 * L + 4) {
    free(alignspace);
    dpalen = n + 2 * L + 4;
    alignspace = static_cast<int32_t *>(mem_alloc(dpalen * static_cast<int>(sizeof(int32_t))));
  }
}

double forback2(Sequence *seq, Model *count_model, int track) {
  (void)track;
  if (FB == nullptr) error("init_forward2 must be called before forward2");
  if (count_model != nullptr && DP_style != 1 && fbfreq == nullptr) fbfreq = alloc_FBmodel();
  int style = set_procedures_and_style(seq, DP_style, Prob_seq_method);
  int mode = style == 4 ? 0 : SW_mode;
  int n = seq->length;
  int L = FB->length;
  bool viterbi = style == 1;
  int logsum = viterbi ? 0 : 1;
  bool renorm = viterbi && dp_renormalise != 0;  // the minimum kernels only: log-sum rows are not shifted

  if (style == 6 || style == 100) {
    if (seq->alignment == nullptr) error("Forward2 with POSPATH called with null alignment\n");
    free(seq->path);
    seq->path = static_cast<PathRecord *>(mem_alloc((n + 4) * static_cast<int>(sizeof(PathRecord))));
    backstep_alignment(seq, L, style, nullptr);
  }

  RangeGuard guard;
  guard_start(&guard, seq, L, logsum);

  // Phase 1: the initial row in slot 0, then rows 0..S1-1 in slots 1..S1.
  DPcell *initial = slot_row(0);
  init_dprow(L, initial, FB->trans, nullptr);
  rowindex[0] = -1;
  rowoffset[0] = 0;
  int64_t cost = initial[L + 1].D;
  int32_t end_value = initial[L + 1].D;  // the end cell of the last row as the rows hold it
  guard_measure(&guard, initial, L);

  if (Traceback == 0) {  // no row store for a traceback: the cost alone, in two alternating slots
    int64_t offset = 0;
    for (int j = 0; j < n; j++) {
      DPcell *prev = slot_row(j % 2), *cur = slot_row((j + 1) % 2);
      forward_row(forward_inplace, seq, j, n, L, mode, prev, cur, nullptr, &guard);
      if (renorm) renormalise_row(cur, L, &offset);
      if (j == n - 1) cost = cur[L + 1].D + offset;
    }
    return static_cast<double>(cost) / static_cast<double>(scalefactor);
  }

  int S1 = (n + 1 <= rowtot) ? n : rowtot - (static_cast<int>(sqrt(2.0 * n - 4)) + 2);
  if (S1 < 1 && n > 0) error("Internal error:  dpr %d.  Increase maxmem.", S1);
  if (dp_schedule_log != nullptr) {
    dp_schedule_log->count = 0;
    dp_schedule_log->s1 = S1;
    if (S1 > 0) log_event(DP_EVENT_STORED, 0, S1 - 1, 1);
  }
  for (int j = 0; j < S1; j++) {
    rowindex[j + 1] = j;
    if (viterbi) rowindex[j] = -j;
    forward_row(forward_save, seq, j, n, L, mode, slot_row(j), slot_row(j + 1), slot_row(j) - 2, &guard);
    rowoffset[j + 1] = rowoffset[j];
    if (renorm) renormalise_row(slot_row(j + 1), L, &rowoffset[j + 1]);
    if (j == n - 1) end_value = slot_row(j + 1)[L + 1].D, cost = end_value + rowoffset[j + 1];
  }

  // Phase 2: checkpoints, their spacing falling by one slot each.
  int i = S1, g = S1 + 1;
  while (n - i > rowtot - g) {
    int f = rowtot - g;
    int target = i + f;
    bool last = false;
    if (n - target < f - 1) {
      target = n - f + 1;
      last = true;
    }
    if (g >= rowtot) error("Internal error:  dpr %d.  Increase maxmem.", g);
    guard_measure(&guard, slot_row(g - 1), L);
    int prev = g - 1, out = g;
    for (int r = i; r < target; r++) {
      out = ((target - 1 - r) % 2 == 0) ? g : g + 1;
      forward_row(forward_inplace, seq, r, n, L, mode, slot_row(prev), slot_row(out), nullptr, &guard);
      rowoffset[out] = rowoffset[prev];
      if (renorm) renormalise_row(slot_row(out), L, &rowoffset[out]);
      prev = out;
    }
    if (out != g) {
      fprintf(stderr, "Warning:  forward3 rowcopy\n");
      memcpy(slot_row(g), slot_row(out), static_cast<size_t>(rowbytes));
      rowoffset[g] = rowoffset[out];
    }
    rowindex[g] = target - 1;
    log_event(DP_EVENT_CHECKPOINT, target - 1, target - 1, g);
    i = target;
    g++;
    if (last) break;
  }

  // Phase 3: from the last row back to row 0, segment by segment.
  int state = TRACE_D, node = L + 1, plen = 0;
  if (viterbi) ensure_path_room(n, L);
  if (!viterbi) {
    init_dprow(L, boldspace, FB->rtrans, boldtransspace);
    if (count_model != nullptr && fbfreq != nullptr) zero_FBmodel(fbfreq, L, FB->num_letters);
  }
  RangeGuard bguard = guard;
  if (!viterbi) guard_measure(&bguard, boldspace, L);
  int32_t total =
      static_cast<int32_t>(cost);  // the posterior styles (never renormalised, below the infinity)
  bool finished = false;
  int s = n - 1;
  while (s >= 0 && !finished) {
    int m;
    if (s < S1) {
      m = 0;
      g = S1;
      log_event(DP_EVENT_FOUND, 0, s, 1);
    } else {
      m = rowindex[g - 1] + 1;
      if (viterbi && state == TRACE_I && node == 0) {  // the rest of the path is inserts at node 0
        fast_viterbi(alignspace, &plen, s);
        finished = true;
        break;
      }
      log_event(DP_EVENT_SEGMENT, m, s, g);
      guard_measure(&guard, slot_row(g - 1), L);
      for (int r = m; r <= s; r++) {
        int at = g + (r - m);
        if (at >= rowtot) error("Internal error:  dpr %d.  Increase maxmem.", at);
        rowindex[at] = r;
        if (viterbi) rowindex[at - 1] = -r;
        forward_row(forward_save, seq, r, n, L, mode, slot_row(at - 1), slot_row(at), slot_row(at - 1) - 2,
                    &guard);
        rowoffset[at] = rowoffset[at - 1];
        if (renorm) renormalise_row(slot_row(at), L, &rowoffset[at]);
        if (r == n - 1) {
          end_value = slot_row(at)[L + 1].D;
          cost = end_value + rowoffset[at];
          total = static_cast<int32_t>(cost);
        }
      }
      g += s - m;  // the slot of row s
    }
    if (viterbi) {
      // Node 0's delete and match states hold the DP infinity as a plain number in every row;
      // once the end cell of the last row reaches it (the rows renormalised or not), restarting
      // from them competes with the real paths and the trace rows no longer describe an
      // alignment. Below it every result is exact.
      if (!FB->is_seqmodel && end_value >= DP_INFINITY)
        error(
            "Sequence %s (length %d) is too long for this model: its alignment cost %lld reaches the DP "
            "infinity %d",
            seq->id ? seq->id : "", n, static_cast<long long>(cost), DP_INFINITY);
      if (state == TRACE_I && node == 0) {
        fast_viterbi(alignspace, &plen, s);
        finished = true;
        break;
      }
      for (int j = s; j >= m; j--) {
        g--;
        if (rowindex[g] != -j)
          error("Internal traceback error [d%d r%d s%d]:  try raising maxmem.", g, rowindex[g], j);
        if (plen + L + 4 > dpalen)
          error("Internal traceback error: path of %s longer than %d codes", seq->id, dpalen);
        viterbi_traceback(slot_row(g) - 2, alignspace, &plen, &state, j, &node);
      }
    } else {
      for (int j = s; j >= m; j--) {
        if (rowindex[g] != j)
          error("Internal traceback error [d%d r%d s%d]:  try raising maxmem.", g, rowindex[g], j);
        int32_t *rmcol, *ricol;
        set_prob_mi_tabs(&rmcol, &ricol, seq, j, 1);
        guard_row(&bguard, boldspace, L, j);
        backward_trace(FB->rtrans, rmcol, ricol, j, n, L + 1, L, boldspace, betaspace, betatransspace,
                       nullptr, mode, constraint_of(seq, j), FB->rnodeinfo);
        PathRecord *rec = (style == 6 || style == 100) ? &seq->path[j] : nullptr;
        const int32_t *pmcol, *picol;
        posterior_columns(constraint_of(seq, j), L, rmcol, ricol, &pmcol, &picol);
        combine_rows(L, j, dp_letter_index(seq, 0, j, 0), slot_row(g), betaspace, pmcol, picol,
                     betatransspace, boldtransspace, count_model != nullptr ? fbfreq : nullptr, style, rec,
                     total);
        DPcell *x = betaspace;
        betaspace = boldspace;
        boldspace = x;
        FBtrans *y = betatransspace;
        betatransspace = boldtransspace;
        boldtransspace = y;
        g--;
      }
    }
    s = m - 1;
  }

  if (viterbi) {
    if (n == 0) plen = 0;
    if (!finished) {
      for (int k = (n == 0 ? L + 1 : node); k >= 1; k--) alignspace[plen++] = TRACE_D;
    }
    alignspace[plen] = PATH_END;
    // The encoded path's cost, in 64 bits like the DP cost with its row offset.
    int64_t path_cost = encode_alignment(alignspace, seq, L, count_model);
    if (seq->constraints == nullptr && path_cost != cost)
      fprintf(stderr, "Warning: Viterbi consistency failed dp %lld ea %lld %s\n",
              static_cast<long long>(cost), static_cast<long long>(path_cost), seq->id ? seq->id : "");
    cost = path_cost;
  } else {
    // The final combination for the initial row, then the expected counts.
    init_dprow(L, initial, FB->trans, nullptr);
    combine_rows(L, -1, -1, initial, boldspace, nullptr, nullptr, boldtransspace, boldtransspace,
                 count_model != nullptr ? fbfreq : nullptr, style, nullptr, total);
    if (count_model != nullptr) accumulate_frequencies(count_model, fbfreq, total);
    if (style == 4 || style == 5) cost = posterior_decoded_alignment(seq, style, static_cast<int32_t>(cost));
  }
  return static_cast<double>(cost) / static_cast<double>(scalefactor);
}

}  // namespace qor
