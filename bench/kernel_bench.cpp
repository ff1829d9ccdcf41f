// Row-kernel and driver throughput in million DP cells per second (residues x model length /
// seconds) on a random 260-position model and random sequences, default Viterbi style.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "alphabet/alphabet.h"
#include "fbmodel/fbmodel.h"
#include "forward2/forward2.h"
#include "init/init.h"
#include "models/models.h"
#include "util/util.h"

namespace {

constexpr int kModelLength = 260;

qor::Model *bench_model(int L) {
  static bool alphabet_ready = false;
  if (!alphabet_ready) {
    qor::init_alphabets();
    qor::init_alphabet_by_name("protein", 0, "bench");
    qor::alphabet = qor::alphabets[0];
    alphabet_ready = true;
  }
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> cost(0, 6000);
  qor::Model *m = qor::alloc_model(L);
  qor::alloc_mod_weight(m);
  for (int k = 0; k <= L + 1; k++) {
    for (int x = 0; x < m->weights[k]->block_length; x++) m->weights[k]->block[x] = cost(rng);
    m->nodes[k]->label = k;
  }
  return m;
}

qor::Sequence *bench_sequence(int n) {
  std::mt19937 rng(11);
  qor::Sequence *s = qor::alloc_sequence(n, 1);
  for (int j = 0; j < n; j++) s->tracks[0].letters[j] = static_cast<unsigned char>(rng() % 20);
  s->converted = 1;
  s->id = strdup("bench");
  return s;
}

// One kernel over n rows, alternating two rows (no traceback storage involved).
template <qor::DPkernel kKernel>
void BM_Kernel(benchmark::State &state) {
  int mode = static_cast<int>(state.range(0));
  int n = 1000, L = kModelLength;
  qor::Model *model = bench_model(L);
  qor::Sequence *seq = bench_sequence(n);
  qor::init_forward2(model, 1.0f, n, mode, 1.0, 1.0, 1, 0, 2, nullptr);
  std::vector<qor::DPcell> a(L + 4), b(L + 4), tr(L + 4);
  for (auto _ : state) {
    qor::init_dprow(L, a.data(), qor::FB->trans, nullptr);
    qor::DPcell *prev = a.data(), *cur = b.data();
    for (int j = 0; j < n; j++) {
      int c = seq->tracks[0].letters[j];
      kKernel(qor::FB->trans, qor::FB->mtables[c], qor::FB->itables[c], j, n, L + 2, L, prev, cur, nullptr,
              tr.data(), mode, &qor::noPosConstraint, qor::FB->nodeinfo);
      std::swap(prev, cur);
    }
    benchmark::DoNotOptimize(prev[L + 1].D);
  }
  state.counters["Mcells/s"] =
      benchmark::Counter(static_cast<double>(n) * L * state.iterations() / 1e6, benchmark::Counter::kIsRate);
  qor::free_forward2();
  qor::free_sequence(seq);
  qor::free_model(model);
}
BENCHMARK_TEMPLATE(BM_Kernel, qor::dprow_viterbi)->Arg(0)->Arg(2);
BENCHMARK_TEMPLATE(BM_Kernel, qor::dprow_align)->Arg(0)->Arg(2);
BENCHMARK_TEMPLATE(BM_Kernel, qor::dprow_forward)->Arg(0)->Arg(2);

// The whole Viterbi pass of forback2 (forward with traces, checkpoints, traceback, encoding).
void BM_Forback2Viterbi(benchmark::State &state) {
  int n = static_cast<int>(state.range(0));
  int L = kModelLength;
  qor::Model *model = bench_model(L);
  qor::Sequence *seq = bench_sequence(n);
  qor::maxmem = 20000000;  // the default of the parameter
  qor::init_forward2(model, 1.0f, n, 2, 1.0, 1.0, 1, 0, 2, nullptr);
  for (auto _ : state) benchmark::DoNotOptimize(qor::forback2(seq, nullptr, 0));
  state.counters["Mcells/s"] =
      benchmark::Counter(static_cast<double>(n) * L * state.iterations() / 1e6, benchmark::Counter::kIsRate);
  qor::free_forward2();
  qor::free_sequence(seq);
  qor::free_model(model);
}
BENCHMARK(BM_Forback2Viterbi)->Arg(300)->Arg(5000);

}  // namespace

BENCHMARK_MAIN();
