// Posterior decoding: the backward pass against the forward pass and against every path of tiny
// models in every local mode, the posteriors of states, transitions and given paths, the
// posterior-decoded alignment of styles 4 and 5, and its fall-back to Viterbi.
#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>
#include <vector>

#include "dp_test_support.h"
#include "init/init.h"

namespace {

using qor::DPcell;
using qor::FBtrans;
using qor::PD_MAX_COST;

struct Setting {
  const char *name;
  int sw;
  double jin, jout;
};

// Every local mode, with equal and unequal jump probabilities.
const Setting kSettings[] = {
    {"global", 0, 1.0, 1.0},
    {"semi-local", 1, 1.0, 1.0},
    {"semi-local, jumps 0.3 in 0.05 out", 1, 0.3, 0.05},
    {"local", 2, 1.0, 1.0},
    {"local, jumps 0.3 in 0.05 out", 2, 0.3, 0.05},
    {"local, jumps 0.02 in 0.6 out", 2, 0.02, 0.6},
    {"domain", 3, 1.0, 1.0},
};

// Residue constraints drawn at random: unconstrained, tied to a node label, or constrained
// without a model label; some with the costs constraint files carry (0, 80000, 80000).
void add_random_constraints(std::mt19937 &rng, qor::Sequence *seq, int L) {
  int n = seq->length;
  if (n == 0) return;
  seq->constraints = static_cast<qor::PosConstraint *>(qor::mem_alloc(n * sizeof(qor::PosConstraint)));
  for (int j = 0; j < n; j++) {
    int32_t label = static_cast<int32_t>(rng() % (L + 2));
    switch (rng() % 4) {
      case 0:
        seq->constraints[j] = qor::noPosConstraint;
        break;
      case 1:
        seq->constraints[j] = qor::PosConstraint{label, 0, 80000, 80000};
        break;
      case 2:
        seq->constraints[j] = qor::PosConstraint{-3, 0, 80000, 80000};
        break;
      default:
        seq->constraints[j] =
            qor::PosConstraint{label, static_cast<int32_t>(rng() % 300), static_cast<int32_t>(rng() % 3000),
                               static_cast<int32_t>(rng() % 500)};
    }
  }
}

// Every path from the begin D_0 to the end D_{L+1} through all n residues, with its cost and the
// state that emits each residue (k + 1 for M_k, -(k + 1) for I_k). Jumps as the forward model
// takes them: in from D_1 to M_t (raw match cost) in the rows the mode grants, out of M_k to D_L.
struct AllPaths {
  const qor::FBmodel *fb;
  const qor::Sequence *seq;
  int L, n, mode;
  int32_t jin, jout;
  std::vector<std::pair<long long, std::vector<int>>> paths;
  std::vector<int> states;

  bool grants_in(int row) const { return mode == 2 || (mode == 1 && row == 0); }
  bool grants_out(int row) const { return mode == 2 || (mode == 1 && row == n - 1 && n != 1); }
  const qor::PosConstraint *pc(int r) const {
    return seq->constraints ? &seq->constraints[r] : &qor::noPosConstraint;
  }
  long long emit(int r, int k, bool match) const {
    int c = seq->tracks[0].letters[r];
    int32_t m = fb->mtables[c][k], i = fb->itables[c][k];
    const qor::PosConstraint *p = pc(r);
    if (p->label != -1) {
      int32_t d = fb->nodeinfo[k].label == p->label ? p->satisfied_cost : p->unsatisfied_cost;
      m = std::min<int32_t>(qor::DP_INFINITY, qor::sumlog(d, m + p->unconstrained_cost));
      i += p->unconstrained_cost;
    }
    return match ? m : i;
  }
  static int32_t into(const FBtrans &t, int target, int src) {  // 0 D, 1 M, 2 I
    return (&t.d2d)[3 * target + src];
  }
  void walk(int st, int k, int r, long long cost) {
    if (cost >= qor::DP_INFINITY / 2) return;  // weighs nothing
    if (st == 0 && k == L + 1) {
      if (r == n) paths.push_back({cost, states});
      return;
    }
    if (k + 1 <= L + 1) walk(0, k + 1, r, cost + into(fb->trans[k + 1], 0, st));
    if (r < n && k + 1 <= L + 1) {
      states.push_back(k + 2);
      walk(1, k + 1, r + 1, cost + into(fb->trans[k + 1], 1, st) + emit(r, k + 1, true));
      states.pop_back();
    }
    if (r < n) {
      states.push_back(-(k + 1));
      walk(2, k, r + 1, cost + into(fb->trans[k], 2, st) + emit(r, k, false));
      states.pop_back();
    }
    if (st == 0 && k == 1 && r < n && grants_in(r))
      for (int t = 2; t <= L - 1; t++) {
        char ty = fb->nodeinfo[t].type;
        if (ty == 'D' || ty == 'E') continue;
        states.push_back(t + 1);
        walk(1, t, r + 1, cost + jin + fb->mtables[seq->tracks[0].letters[r]][t]);
        states.pop_back();
      }
    if (st == 1 && k >= 2 && k <= L - 1 && r >= 1 && grants_out(r - 1)) {
      char ty = fb->nodeinfo[k].type;
      if (ty != 'C' && ty != 'D') walk(0, L, r, cost + jout);
    }
  }
  long long best() const {
    long long b = LLONG_MAX;
    for (const auto &p : paths) b = std::min(b, p.first);
    return b;
  }
  // -1000 ln of the summed probability of the paths that pass `keep`.
  template <class Keep>
  double cost_of(Keep keep) const {
    long long b = best();
    double z = 0;
    for (const auto &p : paths)
      if (keep(p.second)) z += exp(-(p.first - b) / 1000.0);
    return z > 0 ? b - 1000.0 * log(z) : 1e12;
  }
  double total() const {
    return cost_of([](const std::vector<int> &) { return true; });
  }
  // Posterior cost of residue j being emitted by M_k (match) or I_k, clamped to 0..20000.
  double posterior(int j, int k, bool match) const {
    int code = match ? k + 1 : -(k + 1);
    double c = cost_of([&](const std::vector<int> &s) { return s[j] == code; }) - total();
    return std::min(std::max(c, 0.0), static_cast<double>(PD_MAX_COST));
  }
};

// The forward and backward totals of seq computed by the row kernels over the tables set up in
// FB, in the kernel mode of the set-up.
std::pair<int32_t, int32_t> kernel_totals(qor::Sequence *seq) {
  const int L = qor::FB->length, n = seq->length, mode = qor::SW_mode;
  std::vector<DPcell> a(L + 2), b(L + 2);
  std::vector<FBtrans> fa(L + 2), fb(L + 2);
  auto pc = [&](int j) { return seq->constraints ? &seq->constraints[j] : &qor::noPosConstraint; };
  int32_t *m, *i;
  qor::init_dprow(L, a.data(), qor::FB->trans, nullptr);
  for (int j = 0; j < n; j++) {
    qor::set_prob_mi_tabs(&m, &i, seq, j, 0);
    qor::dprow_forward(qor::FB->trans, m, i, j, n, L + 2, L, a.data(), b.data(), nullptr, nullptr, mode,
                       pc(j), qor::FB->nodeinfo);
    std::swap(a, b);
  }
  int32_t forward = a[L + 1].D;
  qor::init_dprow(L, a.data(), qor::FB->rtrans, fa.data());
  for (int j = n - 1; j >= 0; j--) {
    qor::set_prob_mi_tabs(&m, &i, seq, j, 1);
    qor::dprow_backward(qor::FB->rtrans, m, i, j, n, L + 1, L, a.data(), b.data(), fb.data(), nullptr, mode,
                        pc(j), qor::FB->rnodeinfo);
    std::swap(a, b);
    std::swap(fa, fb);
  }
  return {forward, a[L + 1].D};
}

// Rounding of the integer log-sum: a few thousandths of a nat per residue and node.
int tolerance(int n, int L) {
  return 2 * (n + 1) + L + 4;
}

double prob(int32_t posterior_cost) {
  return exp(-posterior_cost / 1000.0);
}

// Set-up with the smallest row store (rows beyond it are recomputed from checkpoints).
void set_up(qor::Model *model, int maxlen, const Setting &s, int style, int traceback) {
  qor::maxmem = 0;
  qor::maxposdecodemem = 100000000;
  qor::init_forward2(model, 1.0f, maxlen, s.sw, s.jin, s.jout, style, 0, traceback, nullptr);
}

// Tiny random models and sequences, with and without constraints: the forward and backward
// totals agree with each other and with the sum over every path, and the state posteriors of
// style 5 (whose passes run in the local mode of the set-up) agree with the path sums.
TEST(BackwardPass, TotalsAndStatePosteriorsMatchEveryPathInEveryMode) {
  for (unsigned seed = 1; seed <= 120; seed++) {
    std::mt19937 rng(seed);
    int L = 1 + static_cast<int>(rng() % 4);
    int n = static_cast<int>(rng() % 5);
    qor::Model *model = dptest::random_model(rng, L);
    qor::Sequence *seq = dptest::random_sequence(rng, n);
    if (rng() % 2) add_random_constraints(rng, seq, L);
    for (const Setting &s : kSettings) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " " << s.name << " L " << L << " n " << n
                                      << (seq->constraints ? " constrained" : ""));
      set_up(model, 4, s, 5, 3);
      AllPaths all{qor::FB, seq, L, n, qor::SW_mode, qor::jump_in_cost, qor::jump_out_cost, {}, {}};
      all.walk(0, 0, 0, 0);
      double exact = all.total();
      auto totals = kernel_totals(seq);
      int tol = tolerance(n, L);
      EXPECT_NEAR(totals.first, exact, tol);
      EXPECT_NEAR(totals.second, exact, tol);
      EXPECT_NEAR(totals.first, totals.second, tol);
      double cost = qor::forback2(seq, nullptr, 0);  // Traceback 3: the all-paths cost
      EXPECT_EQ(llround(cost * 1000), totals.first);
      for (int j = 0; j < n; j++)
        for (int k = 0; k <= L; k++) {
          if (k >= 1) {
            EXPECT_NEAR(qor::PD->mposterior[j][k], all.posterior(j, k, true), tol) << "M" << k << " j " << j;
          }
          EXPECT_NEAR(qor::PD->iposterior[j][k], all.posterior(j, k, false), tol) << "I" << k << " j " << j;
        }
      qor::free_forward2();
    }
    qor::free_sequence(seq);
    qor::free_model(model);
  }
}

// Larger random models: the totals agree, and at every residue the posteriors of the states that
// emit it sum to 1 (style 5, in the local mode of the set-up; style 4, whose passes are global),
// as do, for style 4, the posteriors of the transitions into the states that emit each residue
// and of the transitions into the end state.
TEST(BackwardPass, PosteriorsOfEachResidueSumToOne) {
  for (unsigned seed = 1; seed <= 40; seed++) {
    std::mt19937 rng(7000 + seed);
    int L = 5 + static_cast<int>(rng() % 10);
    int n = 1 + static_cast<int>(rng() % 40);
    qor::Model *model = dptest::random_model(rng, L);
    qor::Sequence *seq = dptest::random_sequence(rng, n);
    if (rng() % 3 == 0) add_random_constraints(rng, seq, L);
    for (const Setting &s : kSettings) {
      for (int style : {5, 4}) {
        SCOPED_TRACE(testing::Message()
                     << "seed " << 7000 + seed << " " << s.name << " style " << style << " L " << L << " n "
                     << n << (seq->constraints ? " constrained" : ""));
        set_up(model, n, s, style, 3);
        double slack = tolerance(n, L) / 1000.0;
        if (style == 5) {
          auto totals = kernel_totals(seq);
          EXPECT_NEAR(totals.first, totals.second, tolerance(n, L));
        }
        qor::forback2(seq, nullptr, 0);
        for (int j = 0; j < n; j++) {
          double sum = prob(qor::PD->iposterior[j][0]);
          for (int k = 1; k <= L; k++)
            sum += prob(qor::PD->mposterior[j][k]) + prob(qor::PD->iposterior[j][k]);
          EXPECT_NEAR(sum, 1.0, slack) << "residue " << j;
        }
        if (style == 4) {
          for (int j = 0; j < n; j++) {
            double sum = 0;
            for (int k = 0; k <= L; k++) {
              const FBtrans &t = qor::PD->ptrans[j][k];
              sum += prob(t.d2m) + prob(t.m2m) + prob(t.i2m) + prob(t.d2i) + prob(t.m2i) + prob(t.i2i);
            }
            EXPECT_NEAR(sum, 1.0, slack) << "transitions into residue " << j;
          }
          const FBtrans &end = qor::PD->ptrans[n - 1][L + 1];
          EXPECT_NEAR(prob(end.d2d) + prob(end.m2d) + prob(end.i2d), 1.0, slack) << "into the end state";
        }
        qor::free_forward2();
      }
    }
    qor::free_sequence(seq);
    qor::free_model(model);
  }
}

// The posterior of a Viterbi path (style 6): every residue gets its node and state from the
// alignment, a log-posterior in [-20, 0], and exactly the state posterior that style 5 computes
// for that state in the same local mode.
TEST(PathPosterior, ViterbiPathResiduesGetTheirStatePosteriors) {
  for (unsigned seed = 1; seed <= 30; seed++) {
    std::mt19937 rng(500 + seed);
    int L = 2 + static_cast<int>(rng() % 10);
    int n = static_cast<int>(rng() % 30);
    qor::Model *model = dptest::random_model(rng, L);
    qor::Sequence *seq = dptest::random_sequence(rng, n);
    if (rng() % 3 == 0) add_random_constraints(rng, seq, L);
    for (const Setting &s : kSettings) {
      SCOPED_TRACE(testing::Message() << "seed " << 500 + seed << " " << s.name << " L " << L << " n " << n);
      set_up(model, n, s, 1, 2);
      testing::internal::CaptureStderr();
      qor::forback2(seq, nullptr, 0);
      testing::internal::GetCapturedStderr();
      qor::free_forward2();

      set_up(model, n, s, 6, 2);
      qor::forback2(seq, nullptr, 0);
      qor::free_forward2();
      ASSERT_NE(seq->path, nullptr);
      // The states of the alignment, residue by residue.
      std::vector<std::pair<int, int>> want;  // node, match
      int node = 0;
      for (const unsigned char *a = seq->alignment; *a; a++) {
        int c = *a;
        for (int x = 0; x < (c > 200 ? c - 200 : c > 100 ? c - 100 : c); x++) {
          if (c > 200) node++;
          if (c > 100 && c <= 200) want.push_back({++node, 1});
          if (c <= 100) want.push_back({node, 0});
        }
      }
      ASSERT_EQ(static_cast<int>(want.size()), n);

      set_up(model, n, s, 5, 3);
      qor::forback2(seq, nullptr, 0);
      for (int j = 0; j < n; j++) {
        const qor::PathRecord &rec = seq->path[j];
        EXPECT_EQ(rec.position, want[j].first) << "residue " << j;
        EXPECT_EQ(rec.match, want[j].second) << "residue " << j;
        EXPECT_GE(rec.log_posterior, -20.0f) << "residue " << j;
        EXPECT_LE(rec.log_posterior, 0.0f) << "residue " << j;
        int32_t c = rec.match ? qor::PD->mposterior[j][rec.position] : qor::PD->iposterior[j][rec.position];
        EXPECT_EQ(rec.log_posterior, static_cast<float>(-0.001 * c)) << "residue " << j;
      }
      qor::free_forward2();
    }
    qor::free_sequence(seq);
    qor::free_model(model);
  }
}

// Style 100 reads an alignment that covers one node fewer than the model (the delete through the
// free-insertion module at the model's end removed): its records equal those of style 6 on the
// full alignment.
TEST(PathPosterior, StyleOneHundredReadsAnAlignmentShortOfTheLastNode) {
  std::mt19937 rng(42);
  const int L = 4;
  qor::Model *model = dptest::random_model(rng, L, 4000, false);
  qor::Sequence *seq = dptest::random_sequence(rng, 4);
  const unsigned char full[] = {101, 1, 102, 201, 0};  // M1 I1 M2 M3 D4
  set_up(model, 4, kSettings[0], 6, 2);
  seq->alignment = static_cast<unsigned char *>(qor::mem_alloc(sizeof full));
  memcpy(seq->alignment, full, sizeof full);
  qor::forback2(seq, nullptr, 0);
  std::vector<qor::PathRecord> six(seq->path, seq->path + 4);
  qor::free_forward2();
  set_up(model, 4, kSettings[0], 100, 2);
  seq->alignment[3] = 0;  // M1 I1 M2 M3
  qor::forback2(seq, nullptr, 0);
  for (int j = 0; j < 4; j++) {
    EXPECT_EQ(seq->path[j].log_posterior, six[j].log_posterior) << j;
    EXPECT_EQ(seq->path[j].position, six[j].position) << j;
    EXPECT_EQ(seq->path[j].match, six[j].match) << j;
  }
  EXPECT_EQ(six[1].position, 1);
  EXPECT_EQ(six[1].match, 0);
  EXPECT_EQ(six[3].position, 3);
  qor::free_forward2();
  qor::free_sequence(seq);
  qor::free_model(model);
}

// The path posterior of one residue from hand-made rows: F + B - emission - total, clamped.
TEST(PathPosterior, LogPosteriorOfForwardPlusBackwardAgainstTheTotal) {
  struct Case {
    const char *what;
    int32_t excess;  // forward + backward - emission - total
    float want;
  } cases[] = {
      {"equal to the total", 0, 0.0f},           {"1.5 nats below", 1500, -1.5f},
      {"at the limit", 20000, -20.0f},           {"beyond 20000", 20001, -20.0f},
      {"negative difference clamped", -5, 0.0f},
  };
  const int L = 3;
  const int32_t total = 7000;
  for (const Case &c : cases) {
    for (int match : {1, 0}) {
      SCOPED_TRACE(testing::Message() << c.what << (match ? " match" : " insert"));
      // One residue aligned to node 2 of three: D1 M2 D3, or D1 D2 I2 D3.
      qor::Sequence *seq = dptest::sequence_of({0});
      const unsigned char a[] = {static_cast<unsigned char>(match ? 201 : 202),
                                 static_cast<unsigned char>(match ? 101 : 1), 201, 0};
      seq->alignment = static_cast<unsigned char *>(qor::mem_alloc(sizeof a));
      memcpy(seq->alignment, a, sizeof a);
      qor::backstep_alignment(seq, L, 6, nullptr);
      std::vector<DPcell> F(L + 2, DPcell{0, 0, 0}), B(L + 2, DPcell{0, 0, 0});
      std::vector<int32_t> rm(L + 2, 0), ri(L + 2, 0);
      const int k = 2;
      if (match) {
        F[k].M = 3000, rm[L + 1 - k] = 400, B[L + 1 - k].M = total - 3000 + 400 + c.excess;
      } else {
        F[k].I = 2500, ri[L - k] = 300, B[L - k].I = total - 2500 + 300 + c.excess;
      }
      qor::PathRecord rec{1.0f, -9, -9};
      qor::combine_rows(L, 0, 0, F.data(), B.data(), rm.data(), ri.data(), nullptr, nullptr, nullptr, 6, &rec,
                        total);
      EXPECT_EQ(rec.log_posterior, c.want);
      EXPECT_EQ(rec.position, k);
      EXPECT_EQ(rec.match, match);
      qor::free_sequence(seq);
    }
  }
}

// A one-residue sequence under style 4: the transitions out of the initial row are filed into
// ptrans[-1] (into delete states) and ptrans[0] (into the states emitting residue 0); those out of
// residue 0 into ptrans[0] (into delete states) and ptrans[1] (into emitting states, which no path
// takes after the last residue).
TEST(TransitionPosteriors, OneResidueFilesIntoRowsMinusOneZeroAndOne) {
  std::mt19937 rng(11);
  const int L = 4;
  qor::Model *model = dptest::random_model(rng, L, 3000, false);
  qor::Sequence *seq = dptest::random_sequence(rng, 1);
  set_up(model, 1, kSettings[0], 4, 2);
  const int32_t sentinel = 12345;
  for (int j = -1; j <= 1; j++)
    for (int k = 0; k <= L + 1; k++)
      qor::PD->ptrans[j][k] =
          FBtrans{sentinel, sentinel, sentinel, sentinel, sentinel, sentinel, sentinel, sentinel, sentinel};
  qor::forback2(seq, nullptr, 0);
  const FBtrans *before = qor::PD->ptrans[-1], *row0 = qor::PD->ptrans[0], *after = qor::PD->ptrans[1];
  double into_residue = 0;
  for (int k = 0; k <= L; k++) {
    SCOPED_TRACE(testing::Message() << "node " << k);
    // Row -1 keeps the delete moves of the initial row; its entries into emitting states moved.
    for (int32_t v :
         {before[k].d2m, before[k].m2m, before[k].i2m, before[k].d2i, before[k].m2i, before[k].i2i})
      EXPECT_EQ(v, PD_MAX_COST);
    if (k >= 1) {
      EXPECT_NE(before[k].d2d, sentinel);
    }
    // Row 0 holds them, and nothing enters residue 0 from a match or insert state.
    for (int32_t v : {row0[k].d2m, row0[k].d2i}) EXPECT_NE(v, sentinel);
    for (int32_t v : {row0[k].m2m, row0[k].i2m, row0[k].m2i, row0[k].i2i}) EXPECT_EQ(v, PD_MAX_COST);
    into_residue += prob(row0[k].d2m) + prob(row0[k].d2i);
    // Row 1 got the transitions of residue 0 into emitting states: none is taken.
    for (int32_t v : {after[k].d2m, after[k].m2m, after[k].i2m, after[k].d2i, after[k].m2i, after[k].i2i})
      EXPECT_EQ(v, PD_MAX_COST);
    // Row 1's delete entries are not written.
    EXPECT_EQ(after[k].d2d, sentinel);
  }
  EXPECT_NEAR(into_residue, 1.0, 0.01);
  // The begin state is left by exactly one of its transitions.
  EXPECT_NEAR(prob(before[1].d2d) + prob(row0[1].d2m) + prob(row0[0].d2i), 1.0, 0.01);
  const FBtrans &end = row0[L + 1];
  EXPECT_NEAR(prob(end.d2d) + prob(end.m2d) + prob(end.i2d), 1.0, 0.01);
  qor::free_forward2();
  qor::free_sequence(seq);
  qor::free_model(model);
}

// Cost of a global alignment string re-derived from the model tables.
long long model_cost(const qor::FBmodel *fb, const qor::Sequence *seq) {
  long long cost = 0;
  int st = 0, k = 0, r = 0;
  for (const unsigned char *a = seq->alignment; *a; a++) {
    int c = *a, runs = c > 200 ? c - 200 : c > 100 ? c - 100 : c;
    for (int x = 0; x < runs; x++) {
      int letter = r < seq->length ? seq->tracks[0].letters[r] : 0;
      if (c > 200) {
        cost += AllPaths::into(fb->trans[k + 1], 0, st), st = 0, k++;
      } else if (c > 100) {
        cost += AllPaths::into(fb->trans[k + 1], 1, st) + fb->mtables[letter][k + 1], st = 1, k++, r++;
      } else {
        cost += AllPaths::into(fb->trans[k], 2, st) + fb->itables[letter][k], st = 2, r++;
      }
    }
  }
  return cost + AllPaths::into(fb->trans[k + 1], 0, st);
}

// Style 5: the alignment is a global path whose summed state posteriors are the smallest over
// every global path (found by enumeration), and the cost returned is the model cost of that
// alignment (the all-paths cost when Traceback is 3).
TEST(PosteriorDecodedAlignment, StyleFiveFindsTheBestPosteriorPathAndReportsItsModelCost) {
  for (unsigned seed = 1; seed <= 80; seed++) {
    std::mt19937 rng(900 + seed);
    int L = 1 + static_cast<int>(rng() % 4);
    int n = static_cast<int>(rng() % 5);
    qor::Model *model = dptest::random_model(rng, L);
    qor::Sequence *seq = dptest::random_sequence(rng, n);
    const Setting &s = kSettings[rng() % 7];
    SCOPED_TRACE(testing::Message() << "seed " << 900 + seed << " " << s.name << " L " << L << " n " << n);
    set_up(model, 4, s, 5, 2);
    double cost = qor::forback2(seq, nullptr, 0);
    ASSERT_NE(seq->alignment, nullptr);
    EXPECT_EQ(llround(cost * 1000), model_cost(qor::FB, seq)) << dptest::alignment_bytes(seq);
    // The summed posteriors of the alignment's states, and of the best global path.
    long long got = 0;
    int node = 0, r = 0;
    for (const unsigned char *a = seq->alignment; *a; a++) {
      int c = *a;
      for (int x = 0; x < (c > 200 ? c - 200 : c > 100 ? c - 100 : c); x++) {
        if (c > 200) node++;
        if (c > 100 && c <= 200) got += qor::PD->mposterior[r++][++node];
        if (c <= 100) got += qor::PD->iposterior[r++][node];
      }
    }
    ASSERT_EQ(r, n);
    EXPECT_EQ(node, L);
    AllPaths all{qor::FB, seq, L, n, 0, 0, 0, {}, {}};
    all.walk(0, 0, 0, 0);
    long long best = LLONG_MAX;
    for (const auto &p : all.paths) {
      long long sum = 0;
      for (int j = 0; j < n; j++) {
        int code = p.second[j];
        sum += code > 0 ? qor::PD->mposterior[j][code - 1] : qor::PD->iposterior[j][-code - 1];
      }
      best = std::min(best, sum);
    }
    EXPECT_EQ(got, best) << dptest::alignment_bytes(seq);
    // With Traceback 3 the same alignment, and the all-paths cost.
    std::string alignment = dptest::alignment_bytes(seq);
    qor::Traceback = 3;
    auto totals = kernel_totals(seq);
    EXPECT_EQ(llround(qor::forback2(seq, nullptr, 0) * 1000), totals.first);
    EXPECT_EQ(dptest::alignment_bytes(seq), alignment);
    qor::free_forward2();
    qor::free_sequence(seq);
    qor::free_model(model);
  }
}

// Hand-made posteriors of one residue and two nodes: M_1 costs 500, M_2 nothing. Style 5 starts
// from a row of zeros, so deleting node 1 is free and M_2 wins; style 4 charges the posterior of
// the begin-to-D_1 transition (20000 here), so M_1 followed by a deletion wins.
TEST(PosteriorDecodedAlignment, InitialRowOfStyleFourChargesTheBeginDeletions) {
  std::mt19937 rng(3);
  const int L = 2;
  qor::Model *model = dptest::random_model(rng, L, 3000, false);
  struct Case {
    int style;
    const char *want;
  } cases[] = {{5, "201 101 "}, {4, "101 201 "}};
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "style " << c.style);
    set_up(model, 1, kSettings[0], c.style, 2);
    qor::Sequence *seq = dptest::sequence_of({0});
    qor::zero_PDmodel(qor::PD, L, 1, c.style != 4);
    qor::PD->mposterior[0][1] = 500;
    qor::PD->mposterior[0][2] = 0;
    if (c.style == 4) {
      for (int j = -1; j <= 1; j++)
        for (int k = 0; k <= L + 1; k++) qor::PD->ptrans[j][k] = FBtrans{0, 0, 0, 0, 0, 0, 0, 0, 0};
      qor::PD->ptrans[-1][1].d2d = PD_MAX_COST;
    }
    int32_t cost = qor::posterior_decoded_alignment(seq, c.style, 4321);
    EXPECT_EQ(dptest::alignment_bytes(seq), c.want);
    EXPECT_EQ(cost, model_cost(qor::FB, seq));
    qor::Traceback = 3;
    EXPECT_EQ(qor::posterior_decoded_alignment(seq, c.style, 4321), 4321);
    qor::free_forward2();
    qor::free_sequence(seq);
  }
  qor::free_model(model);
}

// An empty sequence: the posterior-decoded alignment deletes every node.
TEST(PosteriorDecodedAlignment, EmptySequenceDeletesEveryNode) {
  std::mt19937 rng(8);
  qor::Model *model = dptest::random_model(rng, 3);
  for (int style : {4, 5}) {
    qor::Sequence *seq = dptest::sequence_of({});
    set_up(model, 0, kSettings[3], style, 2);
    double cost = qor::forback2(seq, nullptr, 0);
    EXPECT_EQ(dptest::alignment_bytes(seq), "203 ") << "style " << style;
    EXPECT_EQ(llround(cost * 1000), model_cost(qor::FB, seq)) << "style " << style;
    qor::free_forward2();
    qor::free_sequence(seq);
  }
  qor::free_model(model);
}

// With maxposdecodemem too small for the longest sequence the set-up says so, and a longer
// sequence gets the Viterbi alignment and cost, with a warning naming it; a short one is
// posterior-decoded silently.
TEST(PosteriorDecodedAlignment, SequencesBeyondMaxposdecodememAreViterbiAligned) {
  std::mt19937 rng(21);
  const int L = 5;
  qor::Model *model = dptest::random_model(rng, L);
  qor::Sequence *longer = dptest::random_sequence(rng, 10, "longer");
  qor::Sequence *shorter = dptest::random_sequence(rng, 3, "shorter");
  set_up(model, 10, kSettings[3], 1, 2);
  testing::internal::CaptureStderr();
  double viterbi = qor::forback2(longer, nullptr, 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  std::string viterbi_alignment = dptest::alignment_bytes(longer);
  qor::free_forward2();

  for (int style : {4, 5}) {
    SCOPED_TRACE(testing::Message() << "style " << style);
    qor::maxmem = 20000000;
    int rowbytes = (L + 4) * static_cast<int>(sizeof(DPcell));
    qor::maxposdecodemem = 7 * rowbytes;  // 3 rows beyond the 4 spare ones
    testing::internal::CaptureStderr();
    qor::init_forward2(model, 1.0f, 10, 2, 1.0, 1.0, style, 0, 2, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Warning:  Sequences > 3 bases will be Viterbi-aligned\n"
              "Increase maxposdecodemem (" +
                  std::to_string(7 * rowbytes) + ") to enable longer sequences\n");
    testing::internal::CaptureStderr();
    double cost = qor::forback2(longer, nullptr, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Warning:  longer (len=10) will be Viterbi aligned.\n");
    EXPECT_EQ(cost, viterbi);
    EXPECT_EQ(dptest::alignment_bytes(longer), viterbi_alignment);
    testing::internal::CaptureStderr();
    qor::forback2(shorter, nullptr, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    qor::free_forward2();
  }
  qor::maxposdecodemem = 100000000;
  qor::free_sequence(longer);
  qor::free_sequence(shorter);
  qor::free_model(model);
}

// The posteriors, the path records and the posterior-decoded alignments do not depend on maxmem:
// from the smallest row store, through stores that force checkpoints, to one that holds every row.
TEST(BackwardPass, ResultsIdenticalWhateverTheRowStore) {
  for (unsigned seed = 1; seed <= 12; seed++) {
    std::mt19937 rng(3000 + seed);
    int L = 2 + static_cast<int>(rng() % 8);
    int n = 20 + static_cast<int>(rng() % 100);
    qor::Model *model = dptest::random_model(rng, L);
    qor::Sequence *seq = dptest::random_sequence(rng, n);
    if (rng() % 2) add_random_constraints(rng, seq, L);
    const Setting &s = kSettings[rng() % 7];
    for (int style : {4, 5, 6}) {
      SCOPED_TRACE(testing::Message() << "seed " << 3000 + seed << " " << s.name << " style " << style
                                      << " L " << L << " n " << n);
      if (style == 6) {  // the path: a Viterbi alignment
        set_up(model, n, s, 1, 2);
        testing::internal::CaptureStderr();
        qor::forback2(seq, nullptr, 0);
        testing::internal::GetCapturedStderr();
        qor::free_forward2();
      }
      std::vector<int32_t> reference;
      std::string reference_alignment;
      double reference_cost = 0;
      int rowbytes = (L + 4) * static_cast<int>(sizeof(DPcell));
      for (int rows : {1000000, 0, 25, 40}) {
        qor::maxposdecodemem = 100000000;
        qor::maxmem = rows == 1000000 ? 100000000 : rows * rowbytes;
        testing::internal::CaptureStderr();
        qor::init_forward2(model, 1.0f, n, s.sw, s.jin, s.jout, style, 0, 2, nullptr);
        testing::internal::GetCapturedStderr();
        double cost = qor::forback2(seq, nullptr, 0);
        std::vector<int32_t> got;
        for (int j = 0; j < n && style != 6; j++)
          for (int k = 0; k <= L + 1; k++) {
            got.push_back(qor::PD->mposterior[j][k]);
            got.push_back(qor::PD->iposterior[j][k]);
          }
        for (int j = -1; j <= n && style == 4; j++)
          for (int k = 0; k <= L + 1; k++) {
            const int32_t *e = &qor::PD->ptrans[j][k].d2d;
            got.insert(got.end(), e, e + 9);
          }
        for (int j = 0; j < n && style == 6; j++) {
          got.push_back(static_cast<int32_t>(llround(seq->path[j].log_posterior * 1000)));
          got.push_back(seq->path[j].position);
          got.push_back(seq->path[j].match);
        }
        if (rows == 1000000) {
          reference = got;
          reference_alignment = dptest::alignment_bytes(seq);
          reference_cost = cost;
        } else {
          EXPECT_EQ(got, reference) << "rows " << rows << " rowtot " << qor::rowtot;
          EXPECT_EQ(dptest::alignment_bytes(seq), reference_alignment) << "rows " << rows;
          EXPECT_EQ(cost, reference_cost) << "rows " << rows;
        }
        qor::free_forward2();
      }
    }
    qor::free_sequence(seq);
    qor::free_model(model);
  }
}

}  // namespace
