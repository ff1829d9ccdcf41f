// The vector forms of the log-sum kernels (dprow_forward, dprow_backward) and the single-pass
// posterior combination (combine_rows) against their scalar references, equality required:
// single rows (the row, the flow row and every value of the memory around them) over random
// tables and rows in every local mode and row position, with and without constraints, with values
// whose differences fall inside, at the edge of and beyond the log-sum table; the combination of
// hand-drawn rows into the posteriors of every style; and whole posterior passes of the driver
// (styles 4, 5 and 6: costs, alignments, path records and every posterior) with either
// implementation, with and without checkpoints.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dp_test_support.h"
#include "forward2/dprow_variants.h"
#include "init/init.h"

namespace {

using qor::DPcell;
using qor::FBnodeinfo;
using qor::FBtrans;
using qor::PosConstraint;

#define REQUIRE_VECTOR_PATH()                                                                        \
  if (qor::dprow_supported_path() == qor::DPROW_SCALAR) GTEST_SKIP() << "no AVX2 on this processor"; \
  ASSERT_EQ(qor::dprow_active_path(), qor::DPROW_AVX2)

// ---- Single rows ------------------------------------------------------------------------------

struct SumRow {
  int L, j, n, mode, kind;
  std::vector<FBtrans> T;
  std::vector<int32_t> mcol, icol;
  std::vector<FBnodeinfo> info;
  std::vector<DPcell> prev;
  PosConstraint pc;
  bool null_pc;
  int32_t jin, jout;

  std::string describe() const {
    return "L " + std::to_string(L) + " j " + std::to_string(j) + " n " + std::to_string(n) + " mode " +
           std::to_string(mode) + " value kind " + std::to_string(kind) + " constraint " +
           (null_pc ? std::string("null") : std::to_string(pc.label)) + " jumps " + std::to_string(jin) +
           "/" + std::to_string(jout);
  }
};

// A transition or emission cost of kind 0 (0..2: equal operands everywhere), 1 (0..5999, one in
// ten 80000 or impossible), 2 (-100..99) or 3 (0..9999: differences around the table's end).
int32_t sum_cost(std::mt19937 &rng, int kind) {
  if (kind == 0) return static_cast<int32_t>(rng() % 3);
  if (kind == 2) return static_cast<int32_t>(rng() % 200) - 100;
  if (kind == 3) return static_cast<int32_t>(rng() % 10000);
  unsigned r = rng() % 20;
  if (r == 0) return qor::DP_INFINITY;
  if (r == 1) return 80000;
  return static_cast<int32_t>(rng() % 6000);
}

// A previous-row value: impossible, above impossible, or of the kind (kind 3: 7590..7610 apart).
int32_t sum_value(std::mt19937 &rng, int kind) {
  unsigned r = rng() % 16;
  if (r == 0) return qor::DP_INFINITY;
  if (r == 1) return qor::DP_INFINITY + static_cast<int32_t>(rng() % 3000);
  if (kind == 0) return static_cast<int32_t>(rng() % 4);
  if (kind == 3)
    return 500000 + static_cast<int32_t>(rng() % 4) * 7600 + static_cast<int32_t>(rng() % 21) - 10;
  if (r < 8) return 300000 + static_cast<int32_t>(rng() % 20000);  // log-sum corrections
  return static_cast<int32_t>(rng() % 2000000) - (kind == 2 ? 1000 : 0);
}

SumRow random_sum_row(std::mt19937 &rng) {
  static const int lengths[] = {1, 2, 3, 9, 10, 11, 17, 18, 19, 25, 26, 66, 259, 260, 265, 600};
  SumRow r;
  r.L = rng() % 2 ? lengths[rng() % (sizeof lengths / sizeof lengths[0])] : 1 + static_cast<int>(rng() % 300);
  r.kind = static_cast<int>(rng() % 4);
  const int W = r.L + 2;
  r.T.resize(W);
  for (FBtrans &t : r.T) {
    int32_t *e = &t.d2d;
    for (int x = 0; x < 9; x++) e[x] = sum_cost(rng, r.kind);
  }
  r.mcol.resize(W);
  r.icol.resize(W);
  for (int k = 0; k < W; k++) r.mcol[k] = sum_cost(rng, r.kind), r.icol[k] = sum_cost(rng, r.kind);
  r.info.resize(W);
  memset(static_cast<void *>(r.info.data()), 0xA5, W * sizeof(FBnodeinfo));  // junk in the padding
  const char types[] = {0, 0, 'F', 'C', 'D', 'E'};
  for (FBnodeinfo &f : r.info) {
    f.label = static_cast<int32_t>(rng() % 5) - 1;
    f.type = types[rng() % 6];
  }
  r.prev.resize(W);
  for (DPcell &c : r.prev) c = DPcell{sum_value(rng, r.kind), sum_value(rng, r.kind), sum_value(rng, r.kind)};
  r.n = 1 + static_cast<int>(rng() % 4);
  r.j = static_cast<int>(rng() % r.n);
  r.mode = static_cast<int>(rng() % 3);
  r.null_pc = rng() % 6 == 0;
  r.pc = qor::noPosConstraint;
  if (!r.null_pc && rng() % 2) {
    auto constraint_cost = [&]() {
      switch (rng() % 4) {
        case 0:
          return static_cast<int32_t>(rng() % 4);
        case 1:
          return static_cast<int32_t>(rng() % 20000);
        case 2:
          return qor::DP_INFINITY + static_cast<int32_t>(rng() % 3);
        default:
          return 80000;
      }
    };
    r.pc = PosConstraint{static_cast<int32_t>(rng() % 4), constraint_cost(), constraint_cost(),
                         static_cast<int32_t>(rng() % 500)};
  }
  const int32_t jumps[] = {0, 1, 2, 80000, 1500, 7600};
  r.jin = jumps[rng() % 6];
  r.jout = jumps[rng() % 6];
  return r;
}

// Runs a kernel on the row; returns every value of the row memory and of the flow memory (each
// with four guard cells or records on both sides). Layout 0: separate previous and current rows;
// 1: the current row right after the previous one; 2 (forward only): the current row written
// over the previous row.
std::vector<int32_t> run_sum_row(qor::DPkernel kernel, bool backward, const SumRow &r, int layout) {
  qor::jump_in_cost = r.jin;
  qor::jump_out_cost = r.jout;
  const int G = 4, W = r.L + 2;
  std::vector<DPcell> mem(2 * (W + 2 * G), DPcell{-7, -8, -9});
  std::vector<FBtrans> flow(W + 2 * G, FBtrans{-1, -2, -3, -4, -5, -6, -7, -8, -9});
  DPcell *Q = mem.data() + G;
  DPcell *R = layout == 0 ? Q + W + 2 * G : layout == 1 ? Q + W : Q;
  std::copy(r.prev.begin(), r.prev.end(), Q);
  DPcell *got = kernel(r.T.data(), r.mcol.data(), r.icol.data(), r.j, r.n, r.L + 2, r.L, Q, R,
                       backward ? flow.data() + G : nullptr, nullptr, r.mode, r.null_pc ? nullptr : &r.pc,
                       r.info.data());
  EXPECT_EQ(got, R);
  qor::jump_in_cost = qor::jump_out_cost = 80000;
  std::vector<int32_t> values(3 * mem.size() + 9 * flow.size());
  memcpy(values.data(), mem.data(), 3 * mem.size() * sizeof(int32_t));
  memcpy(values.data() + 3 * mem.size(), flow.data(), 9 * flow.size() * sizeof(int32_t));
  return values;
}

std::string first_difference(const std::vector<int32_t> &fast, const std::vector<int32_t> &ref) {
  auto at = std::mismatch(fast.begin(), fast.end(), ref.begin());
  if (at.first == fast.end()) return "";
  size_t x = at.first - fast.begin();
  return "value " + std::to_string(x) + ": vector " + std::to_string(*at.first) + ", reference " +
         std::to_string(*at.second);
}

TEST(SumKernelEquality, RandomRowsGiveTheReferenceRowsFlowsAndMemory) {
  REQUIRE_VECTOR_PATH();
  qor::build_sumlog();
  struct Pair {
    const char *name;
    qor::DPkernel fast, ref;
    bool backward;
  } pairs[] = {{"dprow_forward", qor::dprow_forward, qor::dprow_forward_ref, false},
               {"dprow_backward", qor::dprow_backward, qor::dprow_backward_ref, true}};
  for (unsigned seed = 1; seed <= 3000; seed++) {
    std::mt19937 rng(seed);
    SumRow r = random_sum_row(rng);
    for (const Pair &p : pairs) {
      for (int layout = 0; layout < (p.backward ? 2 : 3); layout++) {
        std::string diff = first_difference(run_sum_row(p.fast, p.backward, r, layout),
                                            run_sum_row(p.ref, p.backward, r, layout));
        ASSERT_EQ(diff, "") << p.name << " seed " << seed << " layout " << layout << " " << r.describe();
      }
    }
  }
}

// ---- Posterior combination of drawn rows ------------------------------------------------------

// The posteriors PD holds after one combination: state rows 0..n-1, transition rows -1..n.
std::vector<int32_t> pd_image(int L, int n) {
  std::vector<int32_t> out;
  for (int j = 0; j < n; j++) {
    out.insert(out.end(), qor::PD->mposterior[j], qor::PD->mposterior[j] + L + 2);
    out.insert(out.end(), qor::PD->iposterior[j], qor::PD->iposterior[j] + L + 2);
  }
  if (qor::PD->ptrans != nullptr)
    for (int j = -1; j <= n; j++) {
      const int32_t *t = &qor::PD->ptrans[j][0].d2d;
      out.insert(out.end(), t, t + 9 * (L + 2));
    }
  return out;
}

// Forward, backward and flow rows drawn near the total (posteriors inside 0..20000), far from it
// (clamped at either end) and near the 32-bit limits, combined at every residue j = -1..n-1 for
// styles 4 and 5, into posterior storage prefilled with junk; both forms must leave the same
// posteriors everywhere.
TEST(SumKernelEquality, CombinationOfDrawnRowsGivesTheReferencePosteriors) {
  REQUIRE_VECTOR_PATH();
  for (unsigned seed = 1; seed <= 200; seed++) {
    std::mt19937 rng(90000 + seed);
    const int L = 1 + static_cast<int>(rng() % 40), n = 1 + static_cast<int>(rng() % 4);
    const int32_t total = static_cast<int32_t>(rng() % 3000000) - 1000000;
    auto value = [&]() {
      switch (rng() % 6) {
        case 0:
          return qor::DP_INFINITY;
        case 1:
          return static_cast<int32_t>(rng() % 2) ? 1400000000 : -1400000000;
        case 2:
          return static_cast<int32_t>(rng() % 4000000) - 2000000;
        default:
          return total / 2 + static_cast<int32_t>(rng() % 30000) - 5000;
      }
    };
    const int W = L + 2;
    std::vector<DPcell> F(W), B(W);
    std::vector<FBtrans> Wj(W), Wj1(W);
    std::vector<int32_t> rm(W), ri(W);
    for (int k = 0; k < W; k++) {
      F[k] = DPcell{value(), value(), value()};
      B[k] = DPcell{value(), value(), value()};
      int32_t *a = &Wj[k].d2d, *b = &Wj1[k].d2d;
      for (int x = 0; x < 9; x++) a[x] = value(), b[x] = value();
      rm[k] = static_cast<int32_t>(rng() % 10000);
      ri[k] = static_cast<int32_t>(rng() % 10000);
    }
    for (int style : {4, 5}) {
      std::vector<int32_t> image[2];
      for (int path = 0; path < 2; path++) {
        qor::dprow_select_path(path == 0 ? qor::DPROW_AVX2 : qor::DPROW_SCALAR);
        qor::PDmodel *saved = qor::PD;
        qor::PD = qor::alloc_PDmodel();
        qor::size_PDmodel(qor::PD, L, n, style != 4);
        for (int j = 0; j < n; j++) std::fill(qor::PD->mposterior[j], qor::PD->mposterior[j] + W, -5);
        for (int j = -1; style == 4 && j <= n; j++)
          std::fill(qor::PD->ptrans[j], qor::PD->ptrans[j] + W, Wj[0]);
        for (int j = n - 1; j >= -1; j--)
          qor::combine_rows(L, j, 0, F.data(), B.data(), rm.data(), ri.data(), j < 0 ? nullptr : Wj.data(),
                            Wj1.data(), nullptr, style, nullptr, total);
        image[path] = pd_image(L, n);
        qor::clear_PDmodel(qor::PD);
        free(qor::PD);
        qor::PD = saved;
      }
      qor::dprow_select_path(qor::DPROW_AVX2);
      ASSERT_EQ(first_difference(image[0], image[1]), "")
          << "seed " << 90000 + seed << " style " << style << " L " << L << " n " << n << " total " << total;
    }
  }
}

// ---- Whole posterior passes -------------------------------------------------------------------

// What one forback2 call gives: the cost, the alignment, the path records and every posterior.
struct SumPass {
  double cost;
  std::string alignment, messages;
  std::vector<float> path_posteriors;
  std::vector<int32_t> path_places, posteriors;
  bool operator==(const SumPass &o) const {
    return cost == o.cost && alignment == o.alignment && messages == o.messages &&
           path_posteriors == o.path_posteriors && path_places == o.path_places && posteriors == o.posteriors;
  }
};

SumPass sum_pass_with(int path, qor::Sequence *seq, int L) {
  qor::dprow_select_path(path);
  SumPass r;
  testing::internal::CaptureStderr();
  r.cost = qor::forback2(seq, nullptr, 0);
  r.messages = testing::internal::GetCapturedStderr();
  r.alignment = dptest::alignment_bytes(seq);
  if (seq->path != nullptr)
    for (int j = 0; j < seq->length; j++) {
      r.path_posteriors.push_back(seq->path[j].log_posterior);
      r.path_places.push_back(seq->path[j].position);
      r.path_places.push_back(seq->path[j].match);
    }
  if (qor::PD != nullptr && qor::PD->seqlength >= seq->length) r.posteriors = pd_image(L, seq->length);
  qor::dprow_select_path(qor::DPROW_AVX2);
  return r;
}

// Random profile models of 8..300 nodes (costs 0..3 for ties, or 0..4000), sequences of 0..300
// residues, every local option, jump probabilities 1 or below, constraints on some residues, a row
// store that holds every row or forces checkpoints; styles 4, 5 and 6 (style 6 over the Viterbi
// alignment of style 1).
TEST(SumKernelEquality, PosteriorPassesOfRandomModelsAreIdentical) {
  REQUIRE_VECTOR_PATH();
  for (unsigned seed = 1; seed <= 60; seed++) {
    std::mt19937 rng(8000 + seed);
    const int L = 8 + static_cast<int>(rng() % 293);
    const int n = static_cast<int>(rng() % 301);
    const int sw = static_cast<int>(rng() % 4);
    const bool ties = rng() % 2, jumps_below_one = rng() % 2;
    qor::Model *model = dptest::random_model(rng, L, ties ? 3 : 4000);
    qor::Sequence *seq = dptest::random_sequence(rng, n);
    if (n > 0 && rng() % 3 == 0) {
      seq->constraints = static_cast<PosConstraint *>(qor::mem_alloc(n * sizeof(PosConstraint)));
      for (int j = 0; j < n; j++)
        seq->constraints[j] =
            rng() % 2 ? qor::noPosConstraint
                      : PosConstraint{static_cast<int32_t>(rng() % (L + 2)), 0,
                                      static_cast<int32_t>(rng() % 3000), static_cast<int32_t>(rng() % 500)};
    }
    const int rowbytes = (L + 4) * static_cast<int>(sizeof(DPcell));
    const int maxmem = rng() % 2 ? 100000000 : static_cast<int>(rng() % 60) * rowbytes;
    for (int style : {1, 4, 5, 6}) {
      qor::maxmem = maxmem;
      qor::maxposdecodemem = 100000000;
      testing::internal::CaptureStderr();
      qor::init_forward2(model, 1.0f, n, sw, jumps_below_one ? 0.3 : 1.0, jumps_below_one ? 0.05 : 1.0, style,
                         0, 2, nullptr);
      testing::internal::GetCapturedStderr();
      SumPass fast = sum_pass_with(qor::DPROW_AVX2, seq, L);
      SumPass ref = sum_pass_with(qor::DPROW_SCALAR, seq, L);
      ASSERT_TRUE(fast == ref) << "seed " << 8000 + seed << " style " << style << " L " << L << " n " << n
                               << " sw " << sw << " rowtot " << qor::rowtot << " costs " << fast.cost << " / "
                               << ref.cost << " alignments " << fast.alignment << " / " << ref.alignment
                               << " posteriors: " << first_difference(fast.posteriors, ref.posteriors);
      qor::free_forward2();
    }
    qor::free_sequence(seq);
    qor::free_model(model);
  }
  qor::maxmem = 20000000;
}

}  // namespace
