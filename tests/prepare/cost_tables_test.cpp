// The cost rule and the cost tables: probabilities to costs, emission tables with wildcards,
// the FIM loop cost (fimtrans), insert scaling (fimstrength), and the begin/end swap.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "prepare_test_support.h"

using namespace qor;
using preptest::in_child;
using preptest::setup;

TEST(CostRule, ProbabilitiesToThousandthsOfANat) {
  struct Case {
    float p;
    int32_t cost;
  } cases[] = {
      {2.0612e-9f, 80000},  // exactly the threshold is impossible
      {0.0f, 80000},        //
      {-0.25f, 80000},      //
      {NAN, 80000},         // not a number counts as impossible
      {3.0917e-9f, 19595},  // just above the threshold
      {0.5f, 693},          //
      {1.0f, 0},            //
      {0.36787944f, 1000},  // e^-1: 1000.49998 rounds down
      {0.9995f, 1},         // 0.50015 + 0.5 rounds up
      {0.99951f, 0},        // 0.49013 + 0.5 rounds down
      {0.1f, 2303},         //
      {2.0f, -692},         // above 1: -692.65 truncated toward zero, not -693
  };
  for (const Case &c : cases) EXPECT_EQ(prob_cost(c.p), c.cost) << "p = " << c.p;
  EXPECT_EQ(prob_cost(INFINITY), prob_cost(FLT_MAX)) << "infinity must stay in the 32-bit range";
  EXPECT_GT(prob_cost(FLT_MAX), INT32_MIN);
}

// A node whose first letters have chosen probabilities.
static Node *node_with_match(const std::vector<float> &match) {
  Node *n = alloc_node();
  for (size_t i = 0; i < match.size(); i++) n->match[i] = n->insert[i] = match[i];
  return n;
}

TEST(CostTables, ProteinAmbiguityCodesAndWildcard) {
  in_child([] {
    setup("protein");
    // A C D E F G H I K L M N P Q ...: D = 0.1, N = 0.15 (B = 0.25); E = 0.2, Q = 0.3 (Z = 0.5).
    std::vector<float> v(20, 0.0f);
    v[0] = 0.25f;
    v[2] = 0.1f;
    v[11] = 0.15f;
    v[3] = 0.2f;
    v[13] = 0.3f;
    Node *n = node_with_match(v);
    ModWeight *w = alloc_mod_weight_entry();
    log_chartable(w, n, 1.0f, CHARTABLE_MATCH);
    EXPECT_EQ(w->match[0], 1386);
    EXPECT_EQ(w->match[1], 80000);  // C has probability 0
    EXPECT_EQ(w->match[20], 1386) << "B from D + N";
    EXPECT_EQ(w->match[21], 693) << "Z from E + Q";
    EXPECT_EQ(w->match[22], 0) << "X costs 0 at scale 1";
    for (int i = 0; i < 23; i++) EXPECT_EQ(w->insert[i], 0) << "a match table leaves the inserts alone";

    log_chartable(w, n, 2.0f, CHARTABLE_INSERT);
    EXPECT_EQ(w->insert[0], 693) << "scaled: cost(2 * 0.25)";
    EXPECT_EQ(w->insert[21], 0) << "cost(2 * 0.5)";
    EXPECT_EQ(w->insert[22], -692) << "the wildcard costs cost(scale)";
    EXPECT_EQ(w->match[0], 1386);
    free_mod_weight_entry(w);
    free_node(n);
  });
}

TEST(CostTables, NucleotidePurinesAndPyrimidines) {
  for (const char *name : {"DNA", "RNA"}) {
    in_child([name] {
      setup(name);
      Node *n = node_with_match({0.1f, 0.15f, 0.2f, 0.3f});  // A G C T/U
      ModWeight *w = alloc_mod_weight_entry();
      log_chartable(w, n, 1.0f, CHARTABLE_MATCH);
      EXPECT_EQ(w->match[4], 1386) << name << ": R from A + G";
      EXPECT_EQ(w->match[5], 693) << name << ": Y from C + T";
      EXPECT_EQ(w->match[6], 0) << name << ": N";
      free_mod_weight_entry(w);
      free_node(n);
    });
  }
}

TEST(CostTables, CodonPatterns) {
  in_child([] {
    setup("CODON");
    Node *n = alloc_node();
    for (int i = 0; i < 64; i++) n->match[i] = 1.0f / 64.0f;
    n->insert[0] = 0.25f;  // an ordinary codon-alphabet node emits single nucleotides
    ModWeight *w = alloc_mod_weight_entry();
    ASSERT_EQ(alphabet->fwild_length, 125);

    n->type = 'C';
    log_chartable(w, n, 1.0f, CHARTABLE_MATCH);
    EXPECT_EQ(w->match[25 * 0 + 5 * 1 + 2], 4159) << "one codon: cost(1/64)";
    EXPECT_EQ(w->match[25 * 0 + 5 * 4 + 4], 1386) << "A N N: sixteen codons";
    EXPECT_EQ(w->match[25 * 4 + 5 * 2 + 4], 1386) << "N C N";
    EXPECT_EQ(w->match[124], 0) << "N N N costs cost(scale)";
    log_chartable(w, n, 1.0f, CHARTABLE_INSERT);
    for (int i = 0; i < 125; i++) ASSERT_EQ(w->insert[i], 80000) << "a codon node never inserts";

    n->type = 'D';
    log_chartable(w, n, 1.0f, CHARTABLE_MATCH);
    for (int i = 0; i < 125; i++) ASSERT_EQ(w->match[i], 0);

    n->type = 0;
    log_chartable(w, n, 1.0f, CHARTABLE_INSERT);
    EXPECT_EQ(w->insert[25 * 0 + 5 * 3 + 1], 1386) << "first position A decides";
    EXPECT_EQ(w->insert[25 * 1], 80000) << "G has probability 0";
    EXPECT_EQ(w->insert[25 * 4 + 7], 0) << "patterns starting with N cost cost(scale)";
    free_mod_weight_entry(w);
    free_node(n);
  });
}

// A normalised length-4 model with a FIM at node 0 and fim_node copied from it.
static Model *model_with_begin_fim() {
  Model *m = preptest::make_model(4);
  turn_into_fim(m, m->nodes[1]->insert, 0);
  m->fim_node = dup_node(m->nodes[0]);
  normalize_model(m);
  return m;
}

TEST(CostTables, FimLoopCostFollowsFimtrans) {
  // Every ordinary M->M step has probability 0.9 (cost 105); the FIM loop gets the cost of
  // exp(-0.105) * |fimtrans|; a negative fimtrans also rescales the other nodes' I->I steps
  // (probability 0.2 at nodes 1..3, own cost 1609).
  struct Case {
    double fimtrans;
    int32_t fim_loop;
    int32_t other_loop;
  } cases[] = {{1.0, 105, 1609}, {0.5, 798, 1609}, {-0.5, 798, 1726}, {2.0, -587, 1609}};
  for (const Case &c : cases) {
    in_child([c] {
      setup();
      fimtrans = c.fimtrans;
      Model *m = model_with_begin_fim();
      log_model(m);
      EXPECT_EQ(m->weights[2]->mjump[1], 105);
      EXPECT_EQ(m->weights[0]->ijump[2], c.fim_loop) << "fimtrans " << c.fimtrans;
      EXPECT_EQ(m->fim_weight->ijump[2], c.fim_loop) << "fimtrans " << c.fimtrans;
      for (int k = 1; k <= 3; k++) EXPECT_EQ(m->weights[k]->ijump[2], c.other_loop) << "node " << k;
      free_model(m);
    });
  }
}

TEST(CostTables, FimtransZeroKeepsTheFimsOwnCost) {
  in_child([] {
    setup();
    fimtrans = 0.0;
    fimstrength = 1.0;
    Model *m = model_with_begin_fim();
    log_model(m);
    EXPECT_EQ(m->fim_weight->ijump[2], 0);
    EXPECT_EQ(m->weights[0]->ijump[2], prob_cost(m->nodes[0]->ijump[2])) << "FIM loop keeps its own cost";
    for (int i = 0; i < 20; i++) {
      EXPECT_EQ(m->weights[0]->insert[i], prob_cost(m->nodes[0]->insert[i])) << "FIM inserts unscaled";
      EXPECT_EQ(m->fim_weight->insert[i], prob_cost(m->fim_node->insert[i]));
    }
    free_model(m);
  });
}

TEST(CostTables, NegativeFimstrengthScalesEveryInsert) {
  in_child([] {
    setup();
    fimstrength = -2.0;
    Model *m = model_with_begin_fim();
    log_model(m);
    for (int k = 0; k <= 4; k++)
      for (int i = 0; i < 20; i++) {
        ASSERT_EQ(m->weights[k]->insert[i], prob_cost(2.0f * m->nodes[k]->insert[i])) << k << "," << i;
        ASSERT_EQ(m->weights[k]->match[i], prob_cost(m->nodes[k]->match[i])) << "matches are never scaled";
      }
    EXPECT_EQ(m->weights[1]->insert[22], prob_cost(2.0f)) << "the wildcard at scale 2";
    for (int i = 0; i < 20; i++)
      EXPECT_EQ(m->fim_weight->insert[i], prob_cost(2.0f * m->fim_node->insert[i]));

    // A positive strength scales the FIM nodes only.
    fimstrength = 0.5;
    log_model(m);
    EXPECT_EQ(m->weights[0]->insert[3], prob_cost(0.5f * m->nodes[0]->insert[3]));
    EXPECT_EQ(m->weights[1]->insert[3], prob_cost(m->nodes[1]->insert[3]));
    free_model(m);
  });
}

TEST(CostTables, SwapMatchDelTwiceIsTheIdentity) {
  in_child([] {
    setup();
    Model *m = preptest::make_model(3);
    normalize_model(m);
    log_model(m);
    // Give every transition cost its own value so that any misplaced exchange shows.
    for (int k = 0; k <= 4; k++)
      for (int j = 0; j < 9; j++) m->weights[k]->block[j] = 100 * k + j;
    std::vector<int32_t> before;
    for (int k = 0; k <= 4; k++) before.insert(before.end(), m->weights[k]->block, m->weights[k]->block + 9);

    swap_match_del(m);
    EXPECT_EQ(m->weights[0]->ijump[0], 7);
    EXPECT_EQ(m->weights[0]->ijump[1], 6);
    EXPECT_EQ(m->weights[1]->djump[0], 101);
    EXPECT_EQ(m->weights[1]->mjump[1], 103);
    EXPECT_EQ(m->weights[4]->djump[2], 405) << "end node: djump and mjump triples exchanged";
    EXPECT_EQ(m->weights[4]->mjump[0], 400);
    EXPECT_EQ(m->weights[2]->djump[0], 200) << "inner nodes untouched";

    swap_match_del(m);
    std::vector<int32_t> after;
    for (int k = 0; k <= 4; k++) after.insert(after.end(), m->weights[k]->block, m->weights[k]->block + 9);
    EXPECT_EQ(before, after);
    swap_match_del(nullptr);
    free_model(m);
  });
}
