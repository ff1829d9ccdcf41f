// Worked examples of the engine: the log-sum table, trace tie-breaks and jumps of one row, the
// constraint adjustment, alignment encoding runs, the backward walk, the checkpoint schedule and
// the refusal of sequences whose costs would leave the 32-bit range.
#include <vector>

#include "dp_test_support.h"
#include "init/init.h"

namespace {

using qor::DPcell;
using qor::FBtrans;

TEST(Sumlog, TableValuesAndCombination) {
  qor::build_sumlog();
  const int d[] = {0, 1, 2, 500, 1000, 2000, 5000, 6000, 7600};
  const int want[] = {693, 693, 692, 474, 313, 127, 7, 2, 1};
  for (int x = 0; x < 9; x++) EXPECT_EQ(qor::SUMLOG[d[x]], want[x]) << "d " << d[x];
  EXPECT_EQ(qor::log05, 693);
  EXPECT_EQ(qor::sumlog(5000, 5000), 5000 - 693);
  EXPECT_EQ(qor::sumlog(1000, 8601), 1000);
  EXPECT_EQ(qor::sumlog(8601, 1000), 1000);
}

// One row of dprow_align over a model of length 4 with zero transition and emission costs: the
// candidates are the previous-row values given.
struct RowCase {
  const char *what;
  DPcell q1;  // previous row at node 1 (the candidates of M_2)
  int32_t want_m, want_code;
};

TEST(AlignKernel, TieBreaksOfTheMatchState) {
  qor::build_sumlog();
  const RowCase cases[] = {
      {"all equal: match", {5, 5, 5}, 5, qor::TRACE_M},
      {"D and I equal below M: insert", {3, 5, 3}, 3, qor::TRACE_I},
      {"D strictly smallest: delete", {2, 5, 3}, 2, qor::TRACE_D},
      {"I below M, D equal to M: insert", {5, 5, 4}, 4, qor::TRACE_I},
  };
  const int L = 4;
  std::vector<FBtrans> T(L + 2, FBtrans{0, 0, 0, 0, 0, 0, 0, 0, 0});
  std::vector<int32_t> zero(L + 2, 0);
  std::vector<qor::FBnodeinfo> info(L + 2, qor::FBnodeinfo{-1, 0});
  for (const RowCase &c : cases) {
    std::vector<DPcell> store(2 * (L + 4), DPcell{100, 100, 100});
    DPcell *Q = store.data() + 2, *R = store.data() + L + 6;
    Q[1] = c.q1;
    qor::dprow_align(T.data(), zero.data(), zero.data(), 1, 3, L + 2, L, Q, R, nullptr, Q - 2, 0,
                     &qor::noPosConstraint, info.data());
    EXPECT_EQ(R[2].M, c.want_m) << c.what;
    EXPECT_EQ((Q - 2)[2].M, c.want_code) << c.what;
  }
}

TEST(AlignKernel, JumpInRecordedAtEqualityAndLowestJumpOutWins) {
  const int L = 5;
  std::vector<FBtrans> T(L + 2, FBtrans{0, 0, 0, 0, 0, 0, 0, 0, 0});
  std::vector<int32_t> m(L + 2, 10), zero(L + 2, 0);
  std::vector<qor::FBnodeinfo> info(L + 2, qor::FBnodeinfo{-1, 0});
  qor::jump_in_cost = 0;
  qor::jump_out_cost = 0;
  std::vector<DPcell> store(2 * (L + 4), DPcell{50, 50, 50});
  DPcell *Q = store.data() + 2, *R = store.data() + L + 6;
  Q[1].D = 40;  // jump term at node 3: 40 + 0 + 10 = 50 = the ordinary match value 10 + 40
  Q[2] = DPcell{40, 40, 40};
  DPcell *Tr = Q - 2;
  qor::dprow_align(T.data(), m.data(), zero.data(), 1, 3, L + 2, L, Q, R, nullptr, Tr, 2,
                   &qor::noPosConstraint, info.data());
  EXPECT_EQ(R[3].M, 50);
  EXPECT_EQ(Tr[3].M, qor::TRACE_JUMP_IN);
  // Jump out: with every delete transition at 1000 the jumps out of M_2..M_4 (all 50 + 0) beat
  // the delete chain; the lowest node wins the tie.
  for (int k = 1; k <= L + 1; k++) T[k].d2d = T[k].m2d = T[k].i2d = 1000;
  std::fill(store.begin(), store.end(), DPcell{50, 50, 50});  // the trace overwrote the previous row
  Q[1].D = 40;
  Q[2] = DPcell{40, 40, 40};
  qor::dprow_align(T.data(), m.data(), zero.data(), 1, 3, L + 2, L, Q, R, nullptr, Tr, 2,
                   &qor::noPosConstraint, info.data());
  EXPECT_EQ(R[L].D, 50);
  EXPECT_EQ(Tr[L].D, 2);
  qor::jump_in_cost = qor::jump_out_cost = 80000;
}

TEST(AlignKernel, ConstraintAdjustsMatchAndInsertCosts) {
  qor::build_sumlog();
  const int L = 3;
  std::vector<FBtrans> T(L + 2, FBtrans{0, 0, 0, 0, 0, 0, 0, 0, 0});
  std::vector<int32_t> m(L + 2, 1000), ins(L + 2, 200);
  std::vector<qor::FBnodeinfo> info = {{-1, 0}, {7, 0}, {8, 0}, {9, 0}, {-1, 0}};
  std::vector<DPcell> store(2 * (L + 4), DPcell{0, 0, 0});
  DPcell *Q = store.data() + 2, *R = store.data() + L + 6;
  qor::PosConstraint pc{8, 300, 5000, 100};
  qor::dprow_viterbi(T.data(), m.data(), ins.data(), 1, 3, L + 2, L, Q, R, nullptr, nullptr, 0, &pc,
                     info.data());
  EXPECT_EQ(R[2].M, qor::sumlog(300, 1100));   // label matches: satisfied cost
  EXPECT_EQ(R[1].M, qor::sumlog(5000, 1100));  // other nodes: unsatisfied cost
  EXPECT_EQ(R[3].I, 300);                      // inserts grow by the unconstrained cost
  EXPECT_EQ(R[0].I, 300);
}

// A hand-built FB with zero transitions and emissions, installed as the engine's track 0.
struct ZeroEngine {
  qor::FBmodel *fb;
  explicit ZeroEngine(int L) {
    fb = qor::alloc_FBmodel();
    qor::size_FBmodel(fb, L, qor::alphabet->fwild_length, 0);
    for (int k = 0; k <= L + 1; k++) {
      fb->trans[k] = FBtrans{1, 2, 3, 4, 5, 6, 7, 8, 9};
      for (int c = 0; c < fb->num_letters; c++) fb->mtables[c][k] = 100 + k, fb->itables[c][k] = 1000;
    }
    qor::FB = qor::FBtrack[0] = fb;
    qor::numtracks = 1;
  }
  ~ZeroEngine() {
    qor::clear_FBmodel(fb);
    free(fb);
    qor::FB = qor::FBtrack[0] = nullptr;
    qor::numtracks = 0;
  }
};

struct EncodeCase {
  const char *what;
  int L, n;
  std::vector<int32_t> path;  // without the end marker
  std::vector<int> bytes;
  int32_t cost;
};

TEST(EncodeAlignment, RunsJumpsAndCosts) {
  std::vector<int32_t> matches = {-1}, deletes, inserts = {-1, -1};
  for (int x = 0; x < 150; x++) matches.push_back(-2);
  for (int x = 0; x < 61; x++) deletes.push_back(-1);
  for (int x = 0; x < 100; x++) inserts.push_back(-3);
  qor::jump_in_cost = 11;
  qor::jump_out_cost = 13;
  const EncodeCase cases[] = {
      {"150 matches",
       150,
       150,
       matches,
       {199, 151},
       4 + 149 * 5 + 1 * 0 + 2 +
           [] {
             int s = 0;
             for (int k = 1; k <= 150; k++) s += 100 + k;
             return s;
           }()},
      {"60 deletions", 60, 0, deletes, {255, 205}, 60 * 1 + 1},
      {"100 inserts at node 0", 1, 100, inserts, {99, 1, 201}, 7 + 100 * 1000 + 99 * 9 + 3 + 1},
      {"empty sequence, 3 nodes", 3, 0, {-1, -1, -1, -1}, {203}, 4},
      {"jump in to node 5", 6, 1, {-1, -1, 4, -1}, {204, 101, 201}, 1 + 11 + 105 + 2 + 1},
      {"jump out of node 3", 6, 1, {-1, -1, 2, -2, -1, -1}, {202, 101, 203}, 1 + 1 + 4 + 103 + 13 + 1},
  };
  for (const EncodeCase &c : cases) {
    ZeroEngine engine(c.L);
    qor::Sequence *seq = dptest::sequence_of(std::vector<int>(c.n, 0));
    std::vector<int32_t> path = c.path;
    path.push_back(qor::PATH_END);
    int32_t cost = qor::encode_alignment(path.data(), seq, c.L, nullptr);
    std::string want;
    for (int b : c.bytes) want += std::to_string(b) + " ";
    EXPECT_EQ(dptest::alignment_bytes(seq), want) << c.what;
    EXPECT_EQ(cost, c.cost) << c.what;
    qor::free_sequence(seq);
  }
  qor::jump_in_cost = qor::jump_out_cost = 80000;
}

TEST(BackstepAlignment, WalksMatchInsertsDeletionsMatchBackwards) {
  qor::Sequence *seq = dptest::sequence_of({0, 1, 2, 3});
  const unsigned char a[] = {101, 2, 202, 101, 0};
  seq->alignment = static_cast<unsigned char *>(qor::mem_alloc(5));
  memcpy(seq->alignment, a, 5);
  EXPECT_EQ(qor::backstep_alignment(seq, 4, 6, nullptr), 4);
  const int want_node[] = {4, 1, 1, 1, -1};
  const int want_match[] = {1, 0, 0, 1};
  for (int x = 0; x < 5; x++) {
    int match = -7;
    EXPECT_EQ(qor::backstep_alignment(nullptr, 4, 6, &match), want_node[x]) << "step " << x;
    if (x < 4) {
      EXPECT_EQ(match, want_match[x]) << "step " << x;
    }
  }
  qor::free_sequence(seq);
}

// n = 100 with a store of 20 rows: 4 rows stored, checkpoints of rows 18 ... 92 in slots 5..12,
// segments recomputed from the last one down, rows 0..3 found stored.
TEST(CheckpointSchedule, WorkedExampleOfOneHundredRowsInTwentySlots) {
  std::mt19937 rng(5);
  qor::Model *model = dptest::random_model(rng, 6);
  qor::Sequence *seq = dptest::random_sequence(rng, 100);
  qor::maxmem = 20 * (6 + 4) * static_cast<int>(sizeof(DPcell));
  testing::internal::CaptureStderr();
  qor::init_forward2(model, 1.0f, 100, 2, 1.0, 1.0, 1, 0, 2, nullptr);
  ASSERT_EQ(qor::rowtot, 20);
  static qor::DPscheduleLog log;
  qor::dp_schedule_log = &log;
  qor::forback2(seq, nullptr, 0);
  qor::dp_schedule_log = nullptr;
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(log.s1, 4);
  std::vector<std::vector<int>> got;
  for (int e = 0; e < log.count; e++)
    got.push_back({log.events[e].kind, log.events[e].first_row, log.events[e].last_row, log.events[e].slot});
  const std::vector<std::vector<int>> want = {
      {1, 0, 3, 1},    {2, 18, 18, 5},  {2, 32, 32, 6},  {2, 45, 45, 7},  {2, 57, 57, 8},
      {2, 68, 68, 9},  {2, 78, 78, 10}, {2, 87, 87, 11}, {2, 92, 92, 12}, {3, 93, 99, 13},
      {3, 88, 92, 12}, {3, 79, 87, 11}, {3, 69, 78, 10}, {3, 58, 68, 9},  {3, 46, 57, 8},
      {3, 33, 45, 7},  {3, 19, 32, 6},  {3, 4, 18, 5},   {4, 0, 3, 1}};
  EXPECT_EQ(got, want);
  qor::free_forward2();
  qor::free_sequence(seq);
  qor::free_model(model);
  qor::maxmem = 20000000;
}

// Costs grow by 160000 per residue in a model whose every cost is 80000: 500 residues align
// (cost 8e7); 2000 cost more than the DP infinity 1e8, which node 0 holds in every row as a
// plain number. They align once the rows are renormalised; with the renormalisation off they are
// refused by name.
TEST(CostRange, SequenceWhoseCostReachesTheDpInfinityIsRefusedWithoutRenormalisation) {
  std::mt19937 rng(3);
  qor::Model *model = dptest::random_model(rng, 3, 0, false);
  for (int k = 0; k <= 4; k++)
    for (int x = 0; x < model->weights[k]->block_length; x++) model->weights[k]->block[x] = 80000;
  qor::maxmem = 20000000;
  qor::Sequence *ok = dptest::random_sequence(rng, 500, "short_one");
  qor::init_forward2(model, 1.0f, 20000, 0, 1.0, 1.0, 1, 0, 2, nullptr);
  testing::internal::CaptureStderr();
  double cost = qor::forback2(ok, nullptr, 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_GE(cost, 500 * 160.0);
  qor::Sequence *costly = dptest::random_sequence(rng, 2000, "costly");
  testing::internal::CaptureStderr();
  cost = qor::forback2(costly, nullptr, 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_GE(cost, 2000 * 160.0);
  qor::dp_renormalise = 0;
  EXPECT_EXIT(qor::forback2(costly, nullptr, 0), testing::ExitedWithCode(1),
              "^Error: Sequence costly \\(length 2000\\) is too long for this model: its alignment cost");
  qor::dp_renormalise = 1;
  qor::free_sequence(costly);
  qor::free_forward2();
  qor::free_sequence(ok);
  qor::free_model(model);
}

}  // namespace
