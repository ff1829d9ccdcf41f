// DP tables of a model: the reversed tables of a length-1 model, the truncation of scaled
// emission costs, reuse of tables already sized, the query-sequence tables and the posterior store.
#include "../forward2/dp_test_support.h"
#include "models/model_prepare.h"

namespace {

using qor::DP_INFINITY;
using qor::FBtrans;

std::vector<int32_t> entries(const FBtrans &t) {
  const int32_t *e = &t.d2d;
  return std::vector<int32_t>(e, e + 9);
}

TEST(Model2fbmodel, ReversedTablesOfALengthOneModel) {
  std::mt19937 rng(17);
  qor::Model *m = dptest::random_model(rng, 1);
  qor::FBmodel *fb = qor::model2fbmodel(m, nullptr, 1.0f);
  ASSERT_EQ(fb->length, 1);
  const FBtrans *T = fb->trans, *R = fb->rtrans;
  // Forward tables: the model's triples with the begin/end exchange of node 0, 1 and L+1 = 2.
  const qor::ModWeight *w0 = m->weights[0], *w1 = m->weights[1], *w2 = m->weights[2];
  EXPECT_EQ(entries(T[0]),
            (std::vector<int32_t>{w0->djump[0], w0->djump[1], w0->djump[2], w0->mjump[0], w0->mjump[1],
                                  w0->mjump[2], w0->ijump[1], w0->ijump[0], w0->ijump[2]}));
  EXPECT_EQ(entries(T[1]),
            (std::vector<int32_t>{w1->djump[1], w1->djump[0], w1->djump[2], w1->mjump[1], w1->mjump[0],
                                  w1->mjump[2], w1->ijump[0], w1->ijump[1], w1->ijump[2]}));
  EXPECT_EQ(entries(T[2]),
            (std::vector<int32_t>{w2->mjump[0], w2->mjump[1], w2->mjump[2], w2->djump[0], w2->djump[1],
                                  w2->djump[2], w2->ijump[0], w2->ijump[1], w2->ijump[2]}));
  // Reversed: r = 1..2 entries 1-6 from T[3-r] and T[2-r]; r = 0..1 entries 7-9; the rest infinite.
  EXPECT_EQ(entries(R[0]), (std::vector<int32_t>{DP_INFINITY, DP_INFINITY, DP_INFINITY, DP_INFINITY,
                                                 DP_INFINITY, DP_INFINITY, T[2].i2d, T[2].i2m, T[1].i2i}));
  EXPECT_EQ(entries(R[1]), (std::vector<int32_t>{T[2].d2d, T[2].d2m, T[1].d2i, T[2].m2d, T[2].m2m, T[1].m2i,
                                                 T[1].i2d, T[1].i2m, T[0].i2i}));
  EXPECT_EQ(entries(R[2]), (std::vector<int32_t>{T[1].d2d, T[1].d2m, T[0].d2i, T[1].m2d, T[1].m2m, T[0].m2i,
                                                 DP_INFINITY, DP_INFINITY, DP_INFINITY}));
  for (int c = 0; c < fb->num_letters; c++) {
    EXPECT_EQ(fb->ritables[c][0], fb->itables[c][1]);
    EXPECT_EQ(fb->ritables[c][1], fb->itables[c][0]);
    EXPECT_EQ(fb->ritables[c][2], fb->itables[c][2]);
    EXPECT_EQ(fb->rmtables[c][1], fb->mtables[c][1]);
  }
  EXPECT_EQ(fb->rnodeinfo[0].label, 2);
  EXPECT_EQ(fb->rnodeinfo[2].label, 0);
  // The model's own tables are untouched by the conversion.
  EXPECT_EQ(m->weights[1]->djump[0], w1->djump[0]);
  // The same as reading the tables with swap_match_del around the conversion.
  qor::swap_match_del(m);
  for (int k = 0; k <= 2; k++) {
    const qor::ModWeight *w = m->weights[k];
    EXPECT_EQ(entries(T[k]),
              (std::vector<int32_t>{w->djump[0], w->djump[1], w->djump[2], w->mjump[0], w->mjump[1],
                                    w->mjump[2], w->ijump[0], w->ijump[1], w->ijump[2]}))
        << "node " << k;
  }
  qor::swap_match_del(m);
  // Converting again at the same length reuses the tables.
  int32_t *block = fb->mtables[0];
  qor::model2fbmodel(m, fb, 1.0f);
  EXPECT_EQ(fb->mtables[0], block);
  qor::clear_FBmodel(fb);
  free(fb);
  qor::free_model(m);
}

TEST(Model2fbmodel, ScaledEmissionCostsTruncateTowardZero) {
  std::mt19937 rng(2);
  qor::Model *m = dptest::random_model(rng, 2);
  m->weights[1]->match[0] = 3;
  m->weights[1]->match[1] = -3;
  m->weights[2]->insert[0] = 7;
  qor::FBmodel *fb = qor::model2fbmodel(m, nullptr, 0.5f);
  EXPECT_EQ(fb->mtables[0][1], 1);
  EXPECT_EQ(fb->mtables[1][1], -1);
  EXPECT_EQ(fb->itables[0][2], 3);
  qor::clear_FBmodel(fb);
  free(fb);
  qor::free_model(m);
}

TEST(Model2fbmodel, NullModelIsFatal) {
  EXPECT_EXIT(qor::model2fbmodel(nullptr, nullptr, 1.0f), testing::ExitedWithCode(1),
              "^Error: Null model or modweight in model2fbmodel");
}

TEST(Seq2fbmodel, QueryModelTables) {
  qor::Sequence *q = dptest::sequence_of({2, 0});
  int letters = qor::alphabet->fwild_length;
  std::vector<std::vector<int32_t>> rows(letters + 1, std::vector<int32_t>(letters + 1, 0));
  std::vector<int32_t *> matrix;
  for (auto &r : rows) matrix.push_back(r.data());
  rows[2][1] = 5;
  rows[0][3] = -4;
  qor::FBmodel *fb = qor::seq2fbmodel(q, matrix.data(), -11, 1, nullptr);
  const int32_t X = DP_INFINITY;
  EXPECT_EQ(fb->length, 3);
  EXPECT_EQ(fb->is_seqmodel, 1);
  EXPECT_EQ(entries(fb->trans[0]), (std::vector<int32_t>{X, X, X, X, X, X, 0, X, 0}));
  EXPECT_EQ(entries(fb->trans[1]), (std::vector<int32_t>{0, 11, 0, 0, 0, 0, 11, 11, 1}));
  EXPECT_EQ(entries(fb->trans[2]), (std::vector<int32_t>{1, 11, 11, 0, 0, 0, 11, 11, 1}));
  EXPECT_EQ(entries(fb->trans[3]), (std::vector<int32_t>{0, 0, 0, X, X, X, 0, 0, 0}));
  EXPECT_EQ(entries(fb->trans[4]), (std::vector<int32_t>{0, 0, 0, X, X, X, X, X, X}));
  EXPECT_EQ(fb->mtables[1][1], -5);
  EXPECT_EQ(fb->mtables[3][2], 4);
  for (int k : {0, 3, 4}) EXPECT_EQ(fb->mtables[1][k], X) << k;
  EXPECT_EQ(fb->itables[1][2], 0);
  qor::clear_FBmodel(fb);
  free(fb);
  qor::free_sequence(q);
}

TEST(PDmodel, ZeroWithoutTransitionsSetsOnlyResiduePosteriors) {
  qor::PDmodel *pd = qor::alloc_PDmodel();
  qor::zero_PDmodel(pd, 3, 2, 1);
  EXPECT_EQ(pd->ptrans, nullptr);
  EXPECT_EQ(pd->mposterior[1][4], qor::PD_MAX_COST);
  EXPECT_EQ(pd->iposterior[0][0], qor::PD_MAX_COST);
  qor::zero_PDmodel(pd, 3, 2, 0);
  ASSERT_NE(pd->ptrans, nullptr);
  EXPECT_EQ(pd->ptrans[-1][0].d2d, qor::PD_MAX_COST);
  EXPECT_EQ(pd->ptrans[2][4].i2i, qor::PD_MAX_COST);
  qor::clear_PDmodel(pd);
  free(pd);
}

}  // namespace
