// A real model (the 149-position globin profile) prepared in every local mode: the invariants a
// prepared model gives the DP engine.
#include <gtest/gtest.h>

#include <cmath>

#include "prepare_test_support.h"

using namespace qor;
using preptest::in_child;
using preptest::setup;

TEST(Globins, PreparedInEveryLocalMode) {
  struct Case {
    int mode;
    int length;
    const char *log;
  } cases[] = {
      {0, 149, "% Sequence-model (global) (SW = 0)\n"},
      {1, 149,
       "% Sequence-submodel (semilocal) (SW = 1)\n"
       "% Simple scores adjusted by +1.5*ln(seq len) (adjust_score = 2)\n"},
      {2, 150,
       "% Subsequence-submodel (local) (SW = 2)\n"
       "% Simple scores adjusted by +1.5*ln(seq len) (adjust_score = 2)\n"
       "% Track 0 FIMs added (geometric mean of match probabilities (6))\n"},
      {3, 150,
       "% Subsequence-model (domain) (SW = 3)\n"
       "% Track 0 FIMs added (geometric mean of match probabilities (6))\n"},
  };
  for (const Case &c : cases) {
    in_child([c] {
      setup();
      verbout = nullptr;
      RModel *rm = nullptr;
      ASSERT_EQ(
          read_first_rmodel(preptest::data_file("model_globins4.mod").c_str(), "initial model", 0, &rm, 1),
          1);
      Model *m = nullptr;
      std::string log =
          preptest::output_of([&](FILE *out) { m = process_rmodel(&rm, 1, c.mode, &Score, 0, out); });
      SCOPED_TRACE("SW_score " + std::to_string(c.mode));
      EXPECT_EQ(rm, nullptr);
      EXPECT_EQ(log, c.log);
      ASSERT_EQ(m->length, c.length);
      EXPECT_EQ(Score.model_length, c.length);
      EXPECT_EQ(Score.fim_method_used, 0) << "the default FIM method is automatic";
      EXPECT_EQ(Score.insert_method_used, 0);
      EXPECT_EQ(Score.adjust_score, (c.mode == 0 || c.mode == 3) ? 0 : 2);
      int L = m->length;
      bool fims = c.length == 150;
      ASSERT_NE(m->weights, nullptr);
      ASSERT_NE(m->fim_weight, nullptr);
      ASSERT_NE(m->fim_node, nullptr);
      ASSERT_NE(m->freqave, nullptr);
      EXPECT_EQ(m->fim_method, METHOD_GEOMETRIC);
      EXPECT_NEAR(preptest::sum_of(m->fim_node->insert, 20), 1.0, 1e-5);
      for (int k = 0; k <= L + 1; k++) {
        ASSERT_NE(m->nodes[k], nullptr) << k;
        ASSERT_NE(m->weights[k], nullptr) << k;
      }

      for (int k = 0; k <= L + 1; k++) {
        bool fim = fims && (k == 0 || k == L);
        ASSERT_EQ(m->nodes[k]->type, fim ? 'F' : 0) << k;
      }

      // Begin and end positions. A FIM at node L keeps its free path into D_{L+1} (from D_L and
      // I_L); the end state M_{L+1} is entered from D_L and I_L only.
      for (int s = 0; s < 3; s++) {
        EXPECT_EQ(m->nodes[0]->djump[s], 0.0f);
        EXPECT_EQ(m->nodes[0]->mjump[s], 0.0f);
        EXPECT_EQ(m->nodes[L + 1]->djump[s], fims && s != 1 ? 1.0f : 0.0f);
        if (fims) {
          EXPECT_EQ(m->nodes[L + 1]->mjump[s], s != 1 ? 1.0f : 0.0f);
        }
        EXPECT_EQ(m->nodes[L + 1]->ijump[s], 0.0f);
      }
      EXPECT_EQ(m->nodes[1]->djump[0], 0.0f);
      EXPECT_EQ(m->nodes[1]->mjump[0], 0.0f);
      EXPECT_EQ(preptest::sum_of(m->nodes[L + 1]->match, 20), 0.0);

      // Transition columns out of ordinary nodes and every emission table sum to 1 (or are empty).
      for (int i = 0; i <= L; i++) {
        Node *node = m->nodes[i], *next = m->nodes[i + 1];
        if (node->type != 'F') {
          for (int s = 0; s < 3; s++) {
            double sum = next->djump[s] + next->mjump[s] + node->ijump[s];
            if (sum != 0.0) {
              EXPECT_NEAR(sum, 1.0, 1e-5) << "node " << i << " source " << s;
            }
          }
        }
        for (const float *v : {node->match, node->insert}) {
          double sum = preptest::sum_of(v, 20);
          if (sum != 0.0) {
            EXPECT_NEAR(sum, 1.0, 1e-5) << "emissions of node " << i;
          }
        }
        if (node->type == 'F') {
          EXPECT_EQ(preptest::sum_of(node->match, 20), 0.0) << "a FIM never matches";
        } else if (i > 0) {
          EXPECT_NEAR(preptest::sum_of(node->match, 20), 1.0, 1e-5);
        }
      }

      // Costs of the probabilities; the FIM loop costs as much as the average M->M step.
      int64_t total = 0;
      int steps = 0;
      for (int k = 1; k <= L; k++) {
        if (m->nodes[k - 1]->type == 'F' || m->nodes[k]->type == 'F') continue;
        total += m->weights[k]->mjump[1];
        steps++;
      }
      int32_t average = static_cast<int32_t>(static_cast<double>(total) / steps);
      int32_t loop = prob_cost(static_cast<float>(exp(-0.001 * average)));
      EXPECT_EQ(m->fim_weight->ijump[2], loop);
      for (int k = 0; k <= L + 1; k++) {
        for (int j = 0; j < 9; j++) {
          int32_t expected = m->nodes[k]->type == 'F' && j == 8 ? loop : prob_cost(m->nodes[k]->block[j]);
          ASSERT_EQ(m->weights[k]->block[j], expected) << "node " << k << " transition " << j;
        }
        ASSERT_EQ(m->weights[k]->match[22], 0) << "X at scale 1";
        ASSERT_EQ(m->weights[k]->insert[5], prob_cost(m->nodes[k]->insert[5]));
      }
      EXPECT_GT(average, 0);
      EXPECT_LT(average, 1000) << "a globin profile's match steps are likely";
      free_model(m);
    });
  }
}
