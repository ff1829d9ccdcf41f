// Viterbi alignment of sequences whose costs pass the DP infinity: the rows are renormalised, so
// such sequences align exactly, whatever the memory; below the infinity the renormalisation
// changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "dp_test_support.h"
#include "init/init.h"

namespace {

using qor::FBtrans;

// A model of L nodes whose every cost lies in 76000..84000: about 160000 per residue, so 2000
// residues cost some 3.2e8, three times the DP infinity.
qor::Model *costly_model(std::mt19937 &rng, int L) {
  qor::Model *m = dptest::random_model(rng, L, 0, false);
  std::uniform_int_distribution<int> cost(76000, 84000);
  for (int k = 0; k <= L + 1; k++)
    for (int x = 0; x < m->weights[k]->block_length; x++) m->weights[k]->block[x] = cost(rng);
  return m;
}

// Global Viterbi cost over the tables of qor::FB, one full 64-bit matrix, with impossible states
// (node 0's delete and match states, table entries at the DP infinity) truly infinite.
long long reference_global_cost(const qor::Sequence *seq) {
  const long long inf = 1LL << 60;
  const int L = qor::FB->length;
  const FBtrans *T = qor::FB->trans;
  auto t = [&](int32_t c) { return c >= qor::DP_INFINITY / 2 ? inf : static_cast<long long>(c); };
  auto add = [&](long long a, long long b) { return a >= inf || b >= inf ? inf : a + b; };
  struct Cell {
    long long D, M, I;
  };
  std::vector<Cell> prev(L + 2), cur(L + 2);
  prev[0] = Cell{0, inf, inf};
  for (int k = 1; k <= L + 1; k++) prev[k] = Cell{add(prev[k - 1].D, t(T[k].d2d)), inf, inf};
  for (int j = 0; j < seq->length; j++) {
    int c = qor::dp_letter_index(seq, 0, j, 0);
    const int32_t *mc = qor::FB->mtables[c], *ic = qor::FB->itables[c];
    cur[0] = Cell{inf, inf,
                  add(t(ic[0]), std::min({add(prev[0].D, t(T[0].d2i)), add(prev[0].M, t(T[0].m2i)),
                                          add(prev[0].I, t(T[0].i2i))}))};
    for (int k = 1; k <= L + 1; k++) {
      const FBtrans &x = T[k];
      cur[k].D =
          std::min({add(cur[k - 1].D, t(x.d2d)), add(cur[k - 1].M, t(x.m2d)), add(cur[k - 1].I, t(x.i2d))});
      cur[k].M = add(t(mc[k]), std::min({add(prev[k - 1].D, t(x.d2m)), add(prev[k - 1].M, t(x.m2m)),
                                         add(prev[k - 1].I, t(x.i2m))}));
      cur[k].I = add(
          t(ic[k]), std::min({add(prev[k].D, t(x.d2i)), add(prev[k].M, t(x.m2i)), add(prev[k].I, t(x.i2i))}));
    }
    std::swap(prev, cur);
  }
  return prev[L + 1].D;
}

struct Result {
  long long cost;         // returned cost times the scale factor
  std::string alignment;  // alignment bytes
  std::string err;        // standard error output
};

// Aligns seq (style 1, given local mode and traceback) with maxmem bytes of row store.
Result align(qor::Model *model, qor::Sequence *seq, int mode, int traceback, int maxmem_bytes) {
  qor::maxmem = maxmem_bytes;
  testing::internal::CaptureStderr();
  qor::init_forward2(model, 1.0f, seq->length, mode, 0.01, 0.01, 1, 0, traceback, nullptr);
  double cost = qor::forback2(seq, nullptr, 0);
  Result r{std::llround(cost * 1000.0), traceback != 0 ? dptest::alignment_bytes(seq) : "",
           testing::internal::GetCapturedStderr()};
  qor::free_forward2();
  qor::maxmem = 20000000;
  return r;
}

// Above the infinity, in global and local mode: the cost is that of a plain 64-bit DP (global),
// the encoded path agrees with it (no consistency warning), and the result is the same whether
// every row is stored, the rows are recomputed from checkpoints or memory is at its minimum;
// the cost-only pass agrees too. 20000 residues (some 3.2e9, beyond the 32-bit range) as well.
TEST(LongSequence, CostsBeyondTheDpInfinityAlignExactlyWithAnyMemory) {
  std::mt19937 rng(11);
  qor::Model *model = costly_model(rng, 4);
  const int row = (4 + 4) * static_cast<int>(sizeof(qor::DPcell));
  for (int n : {2000, 20000}) {
    qor::Sequence *seq = dptest::random_sequence(rng, n, "long_one");
    for (int mode : {0, 2}) {
      Result full = align(model, seq, mode, 2, 20000000);
      EXPECT_EQ(full.err, "") << n << " mode " << mode;
      EXPECT_GT(full.cost, 3 * static_cast<long long>(qor::DP_INFINITY)) << n << " mode " << mode;
      if (mode == 0) {
        qor::init_forward2(model, 1.0f, n, 0, 0.01, 0.01, 1, 0, 2, nullptr);
        EXPECT_EQ(full.cost, reference_global_cost(seq)) << n;
        qor::free_forward2();
      }
      for (int mem : {300 * row, 1}) {
        Result r = align(model, seq, mode, 2, mem);
        EXPECT_EQ(r.cost, full.cost) << n << " mode " << mode << " maxmem " << mem;
        EXPECT_EQ(r.alignment, full.alignment) << n << " mode " << mode << " maxmem " << mem;
        EXPECT_EQ(r.err.find("Viterbi consistency failed"), std::string::npos) << r.err;
      }
      Result bare = align(model, seq, mode, 0, 20000000);
      EXPECT_EQ(bare.cost, full.cost) << n << " mode " << mode;
    }
    qor::free_sequence(seq);
  }
  qor::free_model(model);
}

// Below the infinity (500 residues, some 8e7: the rows pass the renormalisation trigger, the cost
// does not reach the infinity): costs, alignments and messages are the same with the
// renormalisation on and off, in every memory regime and mode.
TEST(LongSequence, RenormalisationLeavesResultsBelowTheInfinityUnchanged) {
  std::mt19937 rng(12);
  qor::Model *model = costly_model(rng, 4);
  qor::Sequence *seq = dptest::random_sequence(rng, 500, "below");
  const int row = (4 + 4) * static_cast<int>(sizeof(qor::DPcell));
  for (int mode : {0, 1, 2})
    for (int mem : {20000000, 120 * row, 1}) {
      qor::dp_renormalise = 0;
      Result off = align(model, seq, mode, 2, mem);
      qor::dp_renormalise = 1;
      Result on = align(model, seq, mode, 2, mem);
      EXPECT_GT(on.cost, qor::DP_RENORM_TRIGGER) << mode;
      EXPECT_LT(on.cost, qor::DP_INFINITY) << mode;
      EXPECT_EQ(on.cost, off.cost) << mode << " " << mem;
      EXPECT_EQ(on.alignment, off.alignment) << mode << " " << mem;
      EXPECT_EQ(on.err, off.err) << mode << " " << mem;
    }
  qor::free_sequence(seq);
  qor::free_model(model);
}

}  // namespace
