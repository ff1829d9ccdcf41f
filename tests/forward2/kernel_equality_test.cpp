// The vector forms of the minimum kernels against the scalar reference kernels, equality required:
// single rows (costs, trace codes and every value of the memory around them) over random tables
// and rows in every local mode and row position, with and without constraints, with costs from
// tiny ranges so that ties are everywhere; and whole Viterbi passes of the driver (costs and
// alignments) with either implementation, for random profile models with and without
// checkpoints, for query-sequence models, and for real profiles on real, emitted and random
// sequences.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dp_test_support.h"
#include "forward2/dprow_variants.h"
#include "init/init.h"
#include "models/model_prepare.h"
#include "seqfile/seqfile.h"
#include "support/capture.h"

namespace {

using qor::DPcell;
using qor::FBnodeinfo;
using qor::FBtrans;
using qor::PosConstraint;

struct KernelPair {
  const char *name;
  qor::DPkernel fast, ref;
  bool trace;
};
const KernelPair kKernels[] = {
    {"dprow_viterbi", qor::dprow_viterbi, qor::dprow_viterbi_ref, false},
    {"dprow_align", qor::dprow_align, qor::dprow_align_ref, true},
    {"dprow_swviterbi", qor::dprow_swviterbi, qor::dprow_swviterbi_ref, false},
    {"dprow_swalign", qor::dprow_swalign, qor::dprow_swalign_ref, true},
};

// Skips the test body on a processor without the vector form (both names would run the reference).
#define REQUIRE_VECTOR_PATH()                                                                        \
  if (qor::dprow_supported_path() == qor::DPROW_SCALAR) GTEST_SKIP() << "no AVX2 on this processor"; \
  ASSERT_EQ(qor::dprow_active_path(), qor::DPROW_AVX2)

// ---- Single rows ------------------------------------------------------------------------------

// One row problem: tables, the previous row and the row's circumstances.
struct Row {
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
           std::to_string(mode) + " cost kind " + std::to_string(kind) + " constraint " +
           (null_pc ? std::string("null") : std::to_string(pc.label)) + " jumps " + std::to_string(jin) +
           "/" + std::to_string(jout);
  }
};

// A cost of kind 0 (0..2: ties everywhere), 1 (0..5999, one in ten 80000 or impossible) or
// 2 (-100..99, as the match costs of query-sequence models).
int32_t draw_cost(std::mt19937 &rng, int kind) {
  if (kind == 0) return static_cast<int32_t>(rng() % 3);
  if (kind == 2) return static_cast<int32_t>(rng() % 200) - 100;
  unsigned r = rng() % 20;
  if (r == 0) return qor::DP_INFINITY;
  if (r == 1) return 80000;
  return static_cast<int32_t>(rng() % 6000);
}

// A previous-row value: small, wide, impossible, or above impossible (the minimum kernels do not cap).
int32_t draw_value(std::mt19937 &rng, int kind) {
  unsigned r = rng() % 16;
  if (r == 0) return qor::DP_INFINITY;
  if (r == 1) return qor::DP_INFINITY + static_cast<int32_t>(rng() % 3000);
  if (kind == 0) return static_cast<int32_t>(rng() % 4);
  return static_cast<int32_t>(rng() % 2000000) - (kind == 2 ? 1000 : 0);
}

Row random_row(std::mt19937 &rng) {
  // Lengths around the blocks of eight nodes and the chunks of 256 of the vector form.
  static const int lengths[] = {1,  2,  3,   9,   10,  11,  17,  18,  19,  25,
                                26, 66, 257, 258, 259, 260, 265, 266, 515, 600};
  Row r;
  r.L = rng() % 2 ? lengths[rng() % (sizeof lengths / sizeof lengths[0])] : 1 + static_cast<int>(rng() % 300);
  r.kind = static_cast<int>(rng() % 3);
  int W = r.L + 2;
  r.T.resize(W);
  for (FBtrans &t : r.T) {
    int32_t *e = &t.d2d;
    for (int x = 0; x < 9; x++) e[x] = draw_cost(rng, r.kind);
  }
  r.mcol.resize(W);
  r.icol.resize(W);
  for (int k = 0; k < W; k++) r.mcol[k] = draw_cost(rng, r.kind), r.icol[k] = draw_cost(rng, r.kind);
  // Node information with junk in the padding after the type character.
  r.info.resize(W);
  memset(static_cast<void *>(r.info.data()), 0xA5, W * sizeof(FBnodeinfo));
  const char types[] = {0, 0, 'F', 'C', 'D', 'E'};
  for (FBnodeinfo &f : r.info) {
    f.label = static_cast<int32_t>(rng() % 5) - 1;
    f.type = types[rng() % 6];
  }
  r.prev.resize(W);
  for (DPcell &c : r.prev)
    c = DPcell{draw_value(rng, r.kind), draw_value(rng, r.kind), draw_value(rng, r.kind)};
  r.n = 1 + static_cast<int>(rng() % 4);
  r.j = static_cast<int>(rng() % r.n);
  r.mode = static_cast<int>(rng() % 3);
  r.null_pc = rng() % 6 == 0;
  r.pc = qor::noPosConstraint;
  if (!r.null_pc && rng() % 2) {
    // Satisfied and unsatisfied costs near the emissions (log-sum corrections), far from them, or
    // above the DP infinity (the adjusted match cost is capped there).
    auto constraint_cost = [&]() {
      switch (rng() % 4) {
        case 0:
          return static_cast<int32_t>(rng() % 4);
        case 1:
          return static_cast<int32_t>(rng() % 20000);
        case 2:
          return qor::DP_INFINITY + static_cast<int32_t>(rng() % 3);
        default:
          return qor::DP_INFINITY + 10000;
      }
    };
    r.pc = PosConstraint{static_cast<int32_t>(rng() % 4), constraint_cost(), constraint_cost(),
                         static_cast<int32_t>(rng() % 500)};
  }
  const int32_t jumps[] = {0, 1, 2, 80000, 1500};
  r.jin = jumps[rng() % 5];
  r.jout = jumps[rng() % 5];
  return r;
}

// Runs a kernel on the row and returns every value of the memory it was given. Layout 0: separate
// previous, current and trace rows, each with four guard cells on both sides. Layout 1: the
// driver's row store, two spare cells and slots of L+4 cells, the trace written two cells below
// the previous row. Layout 2: the current row written over the previous row (the reference
// kernels allow it), the trace row separate.
std::vector<int32_t> run_row(const KernelPair &kp, qor::DPkernel kernel, const Row &r, int layout) {
  qor::jump_in_cost = r.jin;
  qor::jump_out_cost = r.jout;
  const int G = 4, W = r.L + 2;
  std::vector<DPcell> mem;
  DPcell *Q, *R, *Tr;
  if (layout == 1) {
    mem.assign(2 + 2 * (W + 2) + G, DPcell{-7, -8, -9});
    Q = mem.data() + 2;
    R = Q + W + 2;
    Tr = Q - 2;
  } else {
    mem.assign(3 * (W + 2 * G), DPcell{-7, -8, -9});
    Q = mem.data() + G;
    R = layout == 0 ? Q + W + 2 * G : Q;
    Tr = Q + 2 * (W + 2 * G);
  }
  std::copy(r.prev.begin(), r.prev.end(), Q);
  DPcell *got = kernel(r.T.data(), r.mcol.data(), r.icol.data(), r.j, r.n, r.L + 2, r.L, Q, R, nullptr,
                       kp.trace ? Tr : nullptr, r.mode, r.null_pc ? nullptr : &r.pc, r.info.data());
  EXPECT_EQ(got, R);
  qor::jump_in_cost = qor::jump_out_cost = 80000;
  std::vector<int32_t> values(3 * mem.size());
  memcpy(values.data(), mem.data(), values.size() * sizeof(int32_t));
  return values;
}

// The first difference of two memory images, or "" when equal.
std::string first_difference(const std::vector<int32_t> &fast, const std::vector<int32_t> &ref) {
  if (fast.size() != ref.size()) return "sizes differ";
  auto at = std::mismatch(fast.begin(), fast.end(), ref.begin());
  if (at.first == fast.end()) return "";
  size_t x = at.first - fast.begin();
  return "value " + std::to_string(x) + " (cell " + std::to_string(x / 3) + " state " + "DMI"[x % 3] +
         "): vector " + std::to_string(*at.first) + ", reference " + std::to_string(*at.second);
}

TEST(KernelEquality, RandomRowsGiveTheReferenceRowsTracesAndMemory) {
  REQUIRE_VECTOR_PATH();
  qor::build_sumlog();
  for (unsigned seed = 1; seed <= 3000; seed++) {
    std::mt19937 rng(seed);
    Row r = random_row(rng);
    for (const KernelPair &kp : kKernels) {
      for (int layout = 0; layout < 3; layout++) {
        std::string diff = first_difference(run_row(kp, kp.fast, r, layout), run_row(kp, kp.ref, r, layout));
        ASSERT_EQ(diff, "") << kp.name << " seed " << seed << " layout " << layout << " " << r.describe();
      }
    }
  }
}

// The implementation switch: the scalar choice runs the reference, the choice cannot exceed what
// the processor has.
TEST(KernelEquality, ImplementationChoice) {
  int supported = qor::dprow_supported_path();
  EXPECT_EQ(qor::dprow_active_path(), supported);
  EXPECT_EQ(qor::dprow_select_path(qor::DPROW_SCALAR), qor::DPROW_SCALAR);
  EXPECT_EQ(qor::dprow_active_path(), qor::DPROW_SCALAR);
  EXPECT_EQ(qor::dprow_select_path(99), supported);
  EXPECT_EQ(qor::dprow_active_path(), supported);
}

// ---- Whole Viterbi passes ---------------------------------------------------------------------

// What one forback2 call gives: the cost, the alignment and the messages.
struct PassResult {
  double cost;
  std::string alignment, messages;
  bool operator==(const PassResult &o) const {
    return cost == o.cost && alignment == o.alignment && messages == o.messages;
  }
};

PassResult pass_with(int path, qor::Sequence *seq) {
  qor::dprow_select_path(path);
  PassResult r;
  testing::internal::CaptureStderr();
  r.cost = qor::forback2(seq, nullptr, 0);
  r.messages = testing::internal::GetCapturedStderr();
  r.alignment = dptest::alignment_bytes(seq);
  qor::dprow_select_path(qor::DPROW_AVX2);
  return r;
}

std::string show(const PassResult &r) {
  return "cost " + std::to_string(r.cost) + " alignment " + r.alignment + " messages [" + r.messages + "]";
}

// Random profile models of 8..300 nodes (costs 0..3 for ties, or 0..4000), sequences of 0..400
// residues, every local option, jump probabilities 1 or below, constraints on some residues, and a
// row store that holds every row or forces checkpoints (where the Viterbi kernel recomputes rows).
TEST(KernelEquality, ViterbiPassesOfRandomModelsAreIdentical) {
  REQUIRE_VECTOR_PATH();
  for (unsigned seed = 1; seed <= 120; seed++) {
    std::mt19937 rng(5000 + seed);
    int L = 8 + static_cast<int>(rng() % 293);
    int n = static_cast<int>(rng() % 401);
    int sw = static_cast<int>(rng() % 4);
    bool ties = rng() % 2;
    bool jumps_below_one = rng() % 2;
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
    int rowbytes = (L + 4) * static_cast<int>(sizeof(DPcell));
    qor::maxmem = rng() % 2 ? 100000000 : static_cast<int>(rng() % 60) * rowbytes;
    testing::internal::CaptureStderr();
    qor::init_forward2(model, 1.0f, n, sw, jumps_below_one ? 0.3 : 1.0, jumps_below_one ? 0.05 : 1.0, 1, 0, 2,
                       nullptr);
    testing::internal::GetCapturedStderr();
    PassResult fast = pass_with(qor::DPROW_AVX2, seq);
    PassResult ref = pass_with(qor::DPROW_SCALAR, seq);
    ASSERT_EQ(fast, ref) << "seed " << 5000 + seed << " L " << L << " n " << n << " sw " << sw << " rowtot "
                         << qor::rowtot << "\nvector    " << show(fast) << "\nreference " << show(ref);
    qor::free_forward2();
    qor::free_sequence(seq);
    qor::free_model(model);
  }
  qor::maxmem = 20000000;
}

// Query-sequence models (the dprow_sw kernels): random DNA queries and substitution scores from a
// small range. In a child: building such a model marks the run as having free-insertion modules.
TEST(KernelEquality, ViterbiPassesOfQuerySequenceModelsAreIdentical) {
  REQUIRE_VECTOR_PATH();
  qortest::in_child([] {
    for (unsigned seed = 1; seed <= 40; seed++) {
      std::mt19937 rng(7000 + seed);
      int q = 6 + static_cast<int>(rng() % 300), n = static_cast<int>(rng() % 300);
      int letters = qor::alphabet->fwild_length;
      qor::Model *model = qor::alloc_model(1);
      model->is_seqmodel = 1;
      model->query = dptest::random_sequence(rng, q, "query");
      model->matrix =
          reinterpret_cast<int32_t **>(qor::double_alloc(letters + 1, letters + 1, sizeof(int32_t)));
      for (int a = 0; a <= letters; a++)
        for (int b = 0; b <= letters; b++) model->matrix[a][b] = static_cast<int32_t>(rng() % 8) - 3;
      model->gap_cost = -static_cast<int32_t>(rng() % 6);
      model->continue_cost = -static_cast<int32_t>(rng() % 3);
      qor::Sequence *seq = dptest::random_sequence(rng, n);
      qor::maxmem = 100000000;
      qor::init_forward2(model, 1.0f, n, 0, 1.0, 1.0, 1, 0, 2, nullptr);
      PassResult fast = pass_with(qor::DPROW_AVX2, seq);
      PassResult ref = pass_with(qor::DPROW_SCALAR, seq);
      ASSERT_EQ(fast, ref) << "seed " << 7000 + seed << " query " << q << " n " << n << "\nvector    "
                           << show(fast) << "\nreference " << show(ref);
      qor::free_forward2();
      qor::free_sequence(seq);
      qor::free_model(model);
    }
  });
}

// A sequence emitted by the DP tables of fb: a path from D_0 to D_{L+1} drawn with the transition
// probabilities exp(-cost/1000), each match or insert state drawing its residue with its emission
// probabilities; paths longer than max_len are redrawn.
qor::Sequence *emitted_sequence(const qor::FBmodel *fb, std::mt19937 &rng, int max_len) {
  const int L = fb->length, letters = qor::alphabet->length;
  std::uniform_real_distribution<double> u(0.0, 1.0);
  auto draw = [&](const std::vector<double> &w) {
    double total = 0;
    for (double x : w) total += x;
    double r = u(rng) * total;
    for (size_t x = 0; x < w.size(); x++)
      if ((r -= w[x]) < 0) return static_cast<int>(x);
    return static_cast<int>(w.size()) - 1;
  };
  auto prob = [](int32_t cost) { return cost >= 80000 ? 0.0 : exp(-cost / 1000.0); };
  for (;;) {
    std::vector<int> out;
    int state = 0, k = 0;  // 0 D, 1 M, 2 I
    while (!(state == 0 && k == L + 1) && static_cast<int>(out.size()) <= max_len) {
      const int32_t *into_next = &fb->trans[k + 1].d2d, *into_here = &fb->trans[k].d2d;
      state = draw({prob(into_next[state]), k + 1 <= L ? prob(into_next[3 + state]) : 0.0,
                    k <= L ? prob(into_here[6 + state]) : 0.0});
      if (state != 2) k++;
      if (state == 0) continue;
      std::vector<double> e(letters);
      for (int c = 0; c < letters; c++) e[c] = prob(state == 1 ? fb->mtables[c][k] : fb->itables[c][k]);
      out.push_back(draw(e));
    }
    if (static_cast<int>(out.size()) <= max_len) return dptest::sequence_of(out, "emitted");
  }
}

// Real profiles: the globin profile (tests/data/model_globins4.mod) prepared in every local mode
// and aligned to the 45 globins of tests/data/globins45.fa; the kinase domain profile
// (tests/data/model_Pkinase.mod, 260 positions: more than one block of 256 nodes and a part block)
// in every local mode, aligned to sequences it emits and to random ones. In a child: it installs
// the protein alphabet and the parameter defaults.
TEST(KernelEquality, RealProfilesOnRealEmittedAndRandomSequencesAreIdentical) {
  REQUIRE_VECTOR_PATH();
  qortest::in_child([] {
    qor::initialize_variables();
    qor::alphabets[0] = nullptr;  // the DNA alphabet of this test program's environment
    qor::init_alphabet_by_name("protein", 0, "test");
    qor::alphabet = qor::alphabets[0];
    qor::verbout = nullptr;
    std::vector<qor::Sequence *> globins;
    qor::OpenSeqFile *file = qor::open_sequence_file(QOR_TEST_DATA "/globins45.fa");
    ASSERT_NE(file, nullptr);
    char *id = nullptr, *text;
    while ((text = qor::next_fasta_string(file, &id, nullptr)) != nullptr) {
      int n = static_cast<int>(strlen(text));
      qor::Sequence *s = qor::alloc_sequence(n, 1);
      memcpy(s->tracks[0].letters, text, n);
      s->id = id;
      qor::convertseq(s);
      globins.push_back(s);
      free(text);
    }
    qor::close_sequence_file(file);
    ASSERT_EQ(globins.size(), 45u);

    const char *profiles[] = {"model_globins4.mod", "model_Pkinase.mod"};
    for (const char *profile : profiles) {
      for (int mode = 0; mode <= 3; mode++) {
        qor::RModel *rm = nullptr;
        std::string path = std::string(QOR_TEST_DATA) + "/" + profile;
        ASSERT_EQ(qor::read_first_rmodel(path.c_str(), "initial model", 0, &rm, 1), 1);
        FILE *log = tmpfile();
        qor::Model *model = qor::process_rmodel(&rm, 1, mode, &qor::Score, 0, log);
        fclose(log);
        std::vector<qor::Sequence *> own, *seqs = &globins;
        if (strcmp(profile, "model_Pkinase.mod") == 0) {
          qor::FBmodel *fb = qor::model2fbmodel(model, nullptr, 1.0f);
          std::mt19937 rng(40 + mode);
          for (int x = 0; x < 12; x++) own.push_back(emitted_sequence(fb, rng, 1500));
          for (int x = 0; x < 4; x++) {
            std::vector<int> letters(50 + rng() % 400);
            for (int &c : letters) c = static_cast<int>(rng() % 20);
            own.push_back(dptest::sequence_of(letters, "random"));
          }
          qor::clear_FBmodel(fb);
          free(fb);
          seqs = &own;
        }
        int maxlen = 0;
        for (qor::Sequence *s : *seqs) maxlen = std::max(maxlen, s->length);
        qor::init_forward2(model, 1.0f, maxlen, mode, 1.0, 1.0, 1, 0, 2, nullptr);
        for (size_t x = 0; x < seqs->size(); x++) {
          qor::Sequence *s = (*seqs)[x];
          PassResult fast = pass_with(qor::DPROW_AVX2, s);
          PassResult ref = pass_with(qor::DPROW_SCALAR, s);
          ASSERT_EQ(fast, ref) << profile << " sequence " << x << " (" << s->id << ", " << s->length
                               << " residues) mode " << mode << "\nvector    " << show(fast) << "\nreference "
                               << show(ref);
        }
        qor::free_forward2();
        qor::free_model(model);
        for (qor::Sequence *s : own) qor::free_sequence(s);
      }
    }
    for (qor::Sequence *s : globins) qor::free_sequence(s);
  });
}

}  // namespace
