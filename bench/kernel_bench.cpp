// Row-kernel and driver throughput in million DP cells per second (residues x model length /
// CPU seconds), default Viterbi style, for the vector kernels and the scalar reference kernels:
// single kernels on a random 260-position model, whole forback2 passes on that model and on the
// real profiles of tests/data (the 260-position kinase domain and the 149-position globin
// profile) prepared in local mode, with sequences emitted by the model, random sequences and the
// 45 globins. The data directory is tests/data beside this file, or $QOR_BENCH_DATA.
//
// Sections: models and sequences | single kernels | whole passes
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "alphabet/alphabet.h"
#include "fbmodel/fbmodel.h"
#include "forward2/dprow_variants.h"
#include "forward2/forward2.h"
#include "init/init.h"
#include "models/model_prepare.h"
#include "models/models.h"
#include "seqfile/seqfile.h"
#include "util/util.h"

namespace {

// ---- Models and sequences ---------------------------------------------------------------------

constexpr int kModelLength = 260;

void setup_once() {
  static bool ready = false;
  if (ready) return;
  qor::initialize_variables();
  qor::init_alphabets();
  qor::init_alphabet_by_name("protein", 0, "bench");
  qor::alphabet = qor::alphabets[0];
  qor::verbout = nullptr;
  ready = true;
}

std::string data_file(const char *name) {
  const char *dir = getenv("QOR_BENCH_DATA");
  if (dir != nullptr) return std::string(dir) + "/" + name;
  std::string here = __FILE__;
  return here.substr(0, here.rfind('/')) + "/../tests/data/" + name;
}

// A model of length L with random costs 0..6000 (prepared tables only).
qor::Model *random_model(int L) {
  setup_once();
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

// A model file of tests/data prepared in local mode with its free-insertion modules.
qor::Model *real_model(const char *name) {
  setup_once();
  qor::RModel *rm = nullptr;
  if (qor::read_first_rmodel(data_file(name).c_str(), "benchmark model", 0, &rm, 1) != 1)
    qor::error("cannot read the benchmark model %s", data_file(name).c_str());
  FILE *log = tmpfile();
  qor::Model *m = qor::process_rmodel(&rm, 1, 2, &qor::Score, 0, log);
  fclose(log);
  return m;
}

qor::Sequence *sequence_of(const std::vector<unsigned char> &letters, const char *id) {
  int n = static_cast<int>(letters.size());
  qor::Sequence *s = qor::alloc_sequence(n, 1);
  if (n > 0) memcpy(s->tracks[0].letters, letters.data(), n);
  s->converted = 1;
  s->id = strdup(id);
  return s;
}

// n residues drawn uniformly from the 20 amino acids.
qor::Sequence *random_sequence(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<unsigned char> letters(n);
  for (unsigned char &c : letters) c = static_cast<unsigned char>(rng() % 20);
  return sequence_of(letters, "random");
}

// A sequence emitted by the DP tables of fb: a path from the begin state D_0 to the end state
// D_{L+1} drawn with the transition probabilities exp(-cost/1000), each match or insert state
// drawing its residue with its emission probabilities. Paths longer than max_len are redrawn.
qor::Sequence *emitted_sequence(const qor::FBmodel *fb, std::mt19937 &rng, int max_len) {
  const int L = fb->length, letters = qor::alphabet->length;
  std::uniform_real_distribution<double> u(0.0, 1.0);
  auto draw = [&](const double *w, int count) {
    double total = 0;
    for (int x = 0; x < count; x++) total += w[x];
    double r = u(rng) * total;
    for (int x = 0; x < count; x++)
      if ((r -= w[x]) < 0) return x;
    return count - 1;
  };
  auto prob = [](int32_t cost) { return cost >= 80000 ? 0.0 : exp(-cost / 1000.0); };
  for (;;) {
    std::vector<unsigned char> out;
    int state = 0, k = 0;  // 0 D, 1 M, 2 I
    while (!(state == 0 && k == L + 1) && static_cast<int>(out.size()) <= max_len) {
      const int32_t *into_next = &fb->trans[k + 1].d2d, *into_here = &fb->trans[k].d2d;
      double w[3] = {prob(into_next[state]), k + 1 <= L ? prob(into_next[3 + state]) : 0.0,
                     k <= L ? prob(into_here[6 + state]) : 0.0};
      int next = draw(w, 3);
      if (next == 0 || next == 1) k++;
      state = next;
      if (state == 0) continue;
      std::vector<double> e(letters);
      for (int c = 0; c < letters; c++) e[c] = prob(state == 1 ? fb->mtables[c][k] : fb->itables[c][k]);
      out.push_back(static_cast<unsigned char>(draw(e.data(), letters)));
    }
    if (static_cast<int>(out.size()) <= max_len) return sequence_of(out, "emitted");
  }
}

// The 45 globins of tests/data/globins45.fa.
std::vector<qor::Sequence *> globins() {
  setup_once();
  std::vector<qor::Sequence *> seqs;
  qor::OpenSeqFile *file = qor::open_sequence_file(data_file("globins45.fa").c_str());
  char *id = nullptr, *text;
  while ((text = qor::next_fasta_string(file, &id, nullptr)) != nullptr) {
    int n = static_cast<int>(strlen(text));
    qor::Sequence *s = qor::alloc_sequence(n, 1);
    memcpy(s->tracks[0].letters, text, n);
    s->id = id;
    qor::convertseq(s);
    seqs.push_back(s);
    free(text);
  }
  qor::close_sequence_file(file);
  return seqs;
}

const char *path_name(int path) {
  return path == qor::DPROW_SCALAR ? "reference" : "vector";
}

// ---- Single kernels ---------------------------------------------------------------------------

// One kernel over n rows, alternating two rows (no traceback storage involved). Arguments: local
// mode, implementation (0 reference, 1 vector).
template <qor::DPkernel kKernel>
void BM_Kernel(benchmark::State &state) {
  int mode = static_cast<int>(state.range(0));
  int path = qor::dprow_select_path(static_cast<int>(state.range(1)));
  int n = 1000, L = kModelLength;
  qor::Model *model = random_model(L);
  qor::Sequence *seq = random_sequence(n, 11);
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
  state.SetLabel(kKernel == qor::dprow_forward ? "log-sum, scalar only" : path_name(path));
  state.counters["Mcells/s"] =
      benchmark::Counter(static_cast<double>(n) * L * state.iterations() / 1e6, benchmark::Counter::kIsRate);
  qor::free_forward2();
  qor::free_sequence(seq);
  qor::free_model(model);
  qor::dprow_select_path(qor::DPROW_AVX2);
}
void kernel_args(benchmark::internal::Benchmark *b) {
  b->ArgNames({"mode", "vector"});
  for (int mode : {0, 2})
    for (int path : {0, 1}) b->Args({mode, path});
}
BENCHMARK_TEMPLATE(BM_Kernel, qor::dprow_viterbi)->Apply(kernel_args);
BENCHMARK_TEMPLATE(BM_Kernel, qor::dprow_align)->Apply(kernel_args);
BENCHMARK_TEMPLATE(BM_Kernel, qor::dprow_forward)->Args({0, 0})->Args({2, 0})->ArgNames({"mode", "vector"});

// ---- Whole passes -----------------------------------------------------------------------------

// forback2 over a set of sequences with the default parameters (maxmem 20000000, local mode 2,
// jump probabilities 1); Mcells/s counts every sequence's residues x model length.
void run_passes(benchmark::State &state, qor::Model *model, const std::vector<qor::Sequence *> &seqs,
                int path) {
  path = qor::dprow_select_path(path);
  int maxlen = 0;
  double cells = 0;
  for (qor::Sequence *s : seqs) maxlen = std::max(maxlen, s->length);
  qor::maxmem = 20000000;
  qor::init_forward2(model, 1.0f, maxlen, 2, 1.0, 1.0, 1, 0, 2, nullptr);
  for (qor::Sequence *s : seqs) cells += static_cast<double>(s->length) * qor::FB->length;
  for (auto _ : state)
    for (qor::Sequence *s : seqs) benchmark::DoNotOptimize(qor::forback2(s, nullptr, 0));
  state.SetLabel(std::string(path_name(path)) + ", L " + std::to_string(qor::FB->length) + ", " +
                 std::to_string(seqs.size()) + " sequences, mean length " +
                 std::to_string(static_cast<int>(cells / qor::FB->length / seqs.size() + 0.5)));
  state.counters["Mcells/s"] =
      benchmark::Counter(cells * state.iterations() / 1e6, benchmark::Counter::kIsRate);
  qor::free_forward2();
  qor::dprow_select_path(qor::DPROW_AVX2);
}

// The random 260-position model, one random sequence of n residues. Arguments: n, implementation.
void BM_Forback2Viterbi(benchmark::State &state) {
  qor::Model *model = random_model(kModelLength);
  std::vector<qor::Sequence *> seqs = {random_sequence(static_cast<int>(state.range(0)), 11)};
  run_passes(state, model, seqs, static_cast<int>(state.range(1)));
  for (qor::Sequence *s : seqs) qor::free_sequence(s);
  qor::free_model(model);
}
BENCHMARK(BM_Forback2Viterbi)
    ->ArgNames({"n", "vector"})
    ->Args({300, 0})
    ->Args({300, 1})
    ->Args({5000, 0})
    ->Args({5000, 1});

// The kinase domain profile in local mode. Arguments: sequences (0: 50 emitted by the model, 1: 50
// random of 300 residues, 2: one random of 5000 residues), implementation.
void BM_Forback2Pkinase(benchmark::State &state) {
  qor::Model *model = real_model("model_Pkinase.mod");
  std::vector<qor::Sequence *> seqs;
  int kind = static_cast<int>(state.range(0));
  if (kind == 0) {
    qor::FBmodel *fb = qor::model2fbmodel(model, nullptr, 1.0f);
    std::mt19937 rng(3);
    for (int x = 0; x < 50; x++) seqs.push_back(emitted_sequence(fb, rng, 2000));
    qor::clear_FBmodel(fb);
    free(fb);
  } else if (kind == 1) {
    for (int x = 0; x < 50; x++) seqs.push_back(random_sequence(300, 100 + x));
  } else {
    seqs.push_back(random_sequence(5000, 99));
  }
  run_passes(state, model, seqs, static_cast<int>(state.range(1)));
  for (qor::Sequence *s : seqs) qor::free_sequence(s);
  qor::free_model(model);
}
BENCHMARK(BM_Forback2Pkinase)->ArgNames({"seqs", "vector"})->ArgsProduct({{0, 1, 2}, {0, 1}});

// The globin profile in local mode on the 45 globins. Argument: implementation.
void BM_Forback2Globins(benchmark::State &state) {
  qor::Model *model = real_model("model_globins4.mod");
  std::vector<qor::Sequence *> seqs = globins();
  run_passes(state, model, seqs, static_cast<int>(state.range(0)));
  for (qor::Sequence *s : seqs) qor::free_sequence(s);
  qor::free_model(model);
}
BENCHMARK(BM_Forback2Globins)->ArgNames({"vector"})->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
