// FIMs, insert methods and local modes: method texts, the tables set_table hands out and its
// messages, the geometric-mean node, fim_node selection, FIMs added at the ends by local mode with
// the log lines, and taking the appended FIM's delete step back out of an alignment.
#include <gtest/gtest.h>

#include <cmath>

#include "prepare_test_support.h"

using namespace qor;
using preptest::in_child;
using preptest::setup;

TEST(FimMethods, MethodStrings) {
  struct Case {
    int m;
    const char *text;
  } cases[] = {
      {0, "original values (0)"},           {-6, "geometric mean of match probabilities (6)"},
      {5, "the generic node (5)"},          {7, "the first model node (0)"},
      {-8, "the first FIM node (0)"},       {9, "no node (0)"},
      {10, "Illegal method setting (10)"},  {12, "Illegal method setting (12)"},
      {-12, "Illegal method setting (12)"}, {INT32_MIN, "Illegal method setting (2147483648)"},
  };
  for (const Case &c : cases) EXPECT_STREQ(I_method_string(c.m), c.text) << c.m;

  struct Revise {
    int m, automatic, result;
  } revisions[] = {{-6, 1, 0}, {-6, 0, 6}, {6, 1, 6}, {0, 1, 0}, {-3, 0, 3}};
  for (const Revise &r : revisions)
    EXPECT_EQ(revise_method(r.m, r.automatic), r.result) << r.m << "," << r.automatic;
}

// A length-4 model; with fims, nodes 0 and 4 are FIMs whose inserts hold 0.5 for letter 0.
static Model *small_model(bool fims) {
  Model *m = preptest::make_model(4);
  if (fims) {
    std::vector<float> table(20, 0.5f / 19);
    table[0] = 0.5f;
    turn_into_fim(m, table.data(), 0);
    turn_into_fim(m, table.data(), 4);
  }
  return m;
}

TEST(FimMethods, InvalidAndUnavailableMethodsAreReportedAndTreatedAsZero) {
  struct Case {
    int fim_method, insert_method;
    bool generic;
    const char *message;
    int fim_method_after;  // the model's fim_method
  } cases[] = {
      {4, 0, false, "Invalid FIM_method: 4 (target letter frequencies (4)) specified.\n", METHOD_FIRST_NODE},
      {1, 0, false,
       "FIM_method 1 (training letter frequencies (1)) not available in model.\n Tables not modified.\n",
       METHOD_FIRST_NODE},
      {-2, 0, false,
       "FIM_method 2 (match frequency arithmetic mean (2)) not available in model.\n Tables not "
       "modified.\n",
       METHOD_FIRST_NODE},
      {5, 0, false, "FIM_method 5 (the generic node (5)) not available in model.\n Tables not modified.\n",
       METHOD_FIRST_NODE},
      {-6, 7, false, "Invalid Insert_method: 7 (the first model node (0)) specified.\n", METHOD_GEOMETRIC},
      {0, 12, true, "Invalid Insert_method: 12 (Illegal method setting (12)) specified.\n", METHOD_GENERIC},
  };
  for (const Case &c : cases) {
    in_child([c] {
      setup();
      Model *m = small_model(false);
      if (c.generic) {
        m->generic = alloc_node();
        preptest::fill_node(m->generic, 3);
      }
      std::vector<float> inserts(m->nodes[2]->insert, m->nodes[2]->insert + 20);
      int fim_used = -1, insert_used = -1;
      std::string err = preptest::stderr_of(
          [&] { change_inserts_set_fim(m, c.fim_method, c.insert_method, 1, &fim_used, &insert_used); });
      EXPECT_EQ(err, c.message) << "FIM_method " << c.fim_method << ", Insert_method " << c.insert_method;
      EXPECT_EQ(m->fim_method, c.fim_method_after);
      EXPECT_EQ(insert_used, 0);
      ASSERT_NE(m->fim_node, nullptr);
      EXPECT_EQ(std::vector<float>(m->nodes[2]->insert, m->nodes[2]->insert + 20), inserts) << "inserts kept";
      if (c.fim_method_after == METHOD_FIRST_NODE) {
        for (int i = 0; i < 20; i++) ASSERT_EQ(m->fim_node->insert[i], m->nodes[0]->insert[i]);
      }
      free_model(m);
    });
  }
}

TEST(FimMethods, FimNodeAndInsertTablesByMethod) {
  in_child([] {
    setup();
    // Defaults on a model with FIMs: their inserts stay, fim_node copies the first one.
    Model *m = small_model(true);
    int fim_used = -1, insert_used = -1;
    EXPECT_EQ(change_inserts_set_fim(m, -6, 0, 1, &fim_used, &insert_used), 1);
    EXPECT_EQ(fim_used, 0) << "an automatic method reports 0";
    EXPECT_EQ(insert_used, 0);
    EXPECT_EQ(m->fim_method, METHOD_FIRST_FIM);
    EXPECT_EQ(m->nodes[4]->insert[0], 0.5f);
    EXPECT_EQ(m->fim_node->insert[0], 0.5f);

    // An explicit flat FIM method reaches the existing FIMs; a flat insert method every other node.
    change_inserts_set_fim(m, 3, 3, 1, &fim_used, &insert_used);
    EXPECT_EQ(fim_used, 3);
    EXPECT_EQ(insert_used, 3);
    EXPECT_EQ(m->fim_method, METHOD_FLAT);
    for (int k : {0, 2, 4}) EXPECT_FLOAT_EQ(m->nodes[k]->insert[0], 0.05f) << k;
    EXPECT_FLOAT_EQ(m->fim_node->insert[7], 0.05f);
    free_model(m);

    // Method 0 with a GENERIC node: automatic GENERIC for a model without FIMs.
    m = small_model(false);
    m->generic = alloc_node();
    preptest::fill_node(m->generic, 9);
    change_inserts_set_fim(m, 0, -3, 1, &fim_used, &insert_used);
    EXPECT_EQ(insert_used, 0) << "a negative insert method acts as 0";
    EXPECT_EQ(m->fim_method, METHOD_GENERIC);
    for (int i = 0; i < 20; i++) ASSERT_EQ(m->fim_node->insert[i], m->generic->insert[i]);
    EXPECT_NE(m->nodes[1]->insert[0], m->generic->insert[0]) << "inserts unchanged";
    free_model(m);
  });
}

TEST(FimMethods, GeometricMeanOverNonFimNodes) {
  in_child([] {
    setup();
    Model *m = preptest::make_model(3);
    for (int i = 0; i < 20; i++) {
      m->nodes[1]->match[i] = 0.05f;
      m->nodes[2]->match[i] = static_cast<float>(i + 1) / 210.0f;
    }
    m->nodes[3]->match[0] = 0.9f;  // node L is not part of the mean
    Node *g = make_geometric_ave_node(m);
    double total = 0;
    for (int i = 0; i < 20; i++) total += std::sqrt(0.05 * (i + 1) / 210.0);
    for (int i = 0; i < 20; i++)
      EXPECT_NEAR(g->match[i], std::sqrt(0.05 * (i + 1) / 210.0) / total, 1e-6) << i;
    // Transitions out of nodes 1 and 2 are all equal: the mean is their normalised value.
    EXPECT_NEAR(g->mjump[1], 0.9, 1e-6);
    free_node(g);

    // A FIM is skipped.
    turn_into_fim(m, m->nodes[0]->insert, 2);
    g = make_geometric_ave_node(m);
    for (int i = 0; i < 20; i++) EXPECT_NEAR(g->match[i], 0.05, 1e-6);
    free_node(g);
    free_model(m);
  });
  EXPECT_EXIT(
      {
        setup();
        Model *m = preptest::make_model(1);
        make_geometric_ave_node(m);
      },
      testing::ExitedWithCode(1), "^Error: make_geometric_ave_node:  no non-FIM nodes found. \n");
}

TEST(FimMethods, CodonTypedNodesCannotBecomeFims) {
  in_child([] {
    setup();
    Model *m = preptest::make_model(3);
    m->nodes[2]->type = 'E';
    std::vector<float> before(m->nodes[2]->block, m->nodes[2]->block + m->nodes[2]->block_length);
    std::string err = preptest::stderr_of([&] { turn_into_fim(m, m->nodes[0]->insert, 2); });
    EXPECT_EQ(err, "Error -- cannot change a Codon typed node (#2) to a FIM.  Ignoring.\n");
    EXPECT_EQ(std::vector<float>(m->nodes[2]->block, m->nodes[2]->block + m->nodes[2]->block_length), before);
    free_model(m);
  });
}

// ---- Local modes ------------------------------------------------------------------------------

TEST(LocalModes, FimsAtTheEndsAndTheLogLines) {
  struct Case {
    const char *what;
    int mode, add, adjust;
    bool fims_at_ends;  // the model has FIMs at nodes 0 and L before preparation
    double fimstrength;
    int length_after, adjust_after;
    const char *log;
  } cases[] = {
      {"local, FIMs added", 2, 1, 2, false, 1.0, 11, 2,
       "% Subsequence-submodel (local) (SW = 2)\n"
       "% Simple scores adjusted by +1.5*ln(seq len) (adjust_score = 2)\n"
       "% Track 0 FIMs added (geometric mean of match probabilities (6))\n"},
      {"domain with FIMs of its own", 3, 1, 2, true, 1.0, 10, 0,
       "% Subsequence-model (domain) (SW = 3)\n"
       "% Track 0 FIMs present in original model\n"},
      {"global", 0, 1, 1, false, 1.0, 10, 0, "% Sequence-model (global) (SW = 0)\n"},
      {"semilocal", 1, 1, 1, false, 0.5, 10, 1,
       "% Sequence-submodel (semilocal) (SW = 1)\n"
       "% Simple scores adjusted by ln(seq+mod len) (adjust_score = 1)\n"
       "% FIM adjustments:  fimstrength 0.50 fimtrans 1.00\n"},
      {"semilocal, adjustment off", 1, 0, 0, false, 1.0, 10, 0,
       "% Sequence-submodel (semilocal) (SW = 1)\n"
       "% Warning: Scores NOT adjusted.  See adjust_score documentation (0).\n"},
      {"local without adding", 2, 0, 2, false, 1.0, 10, 2,
       "% Subsequence-submodel (local) (SW = 2)\n"
       "% Simple scores adjusted by +1.5*ln(seq len) (adjust_score = 2)\n"
       "% WARNING: SW 2 works best with FIMs at both model ends.\n"},
      {"global, add 2", 0, 2, 2, false, 1.0, 11, 0,
       "% Sequence-model (global) (SW = 0)\n"
       "% Track 0 FIMs added (geometric mean of match probabilities (6))\n"},
      {"mode 4", 4, 2, 2, false, 1.0, 10, 2, ""},
  };
  for (const Case &c : cases) {
    in_child([c] {
      setup();
      fimstrength = c.fimstrength;
      Score.adjust_score = c.adjust;
      clear_fims_added();
      Model *m = preptest::make_model(10);
      if (c.fims_at_ends) {
        turn_into_fim(m, m->nodes[1]->insert, 0);
        turn_into_fim(m, m->nodes[1]->insert, 10);
      }
      std::string log =
          preptest::output_of([&](FILE *out) { reprocess_model(&m, c.add, c.mode, &Score, 0, out); });
      EXPECT_EQ(log, c.log) << c.what;
      ASSERT_EQ(m->length, c.length_after) << c.what;
      EXPECT_EQ(Score.model_length, c.length_after);
      EXPECT_EQ(Score.adjust_score, c.adjust_after) << c.what;
      bool added = c.length_after == 11;
      EXPECT_EQ(fims_added(), added ? 1 : 0) << c.what;
      if (added || c.fims_at_ends) {
        EXPECT_EQ(m->nodes[0]->type, 'F');
        EXPECT_EQ(m->nodes[m->length]->type, 'F');
        for (int k = 1; k < m->length; k++) EXPECT_EQ(m->nodes[k]->type, 0) << k;
        EXPECT_EQ(m->nodes[m->length + 1]->type, 0) << "the end node is no FIM";
      } else {
        EXPECT_FALSE(has_fim(m));
      }
      if (added) {
        EXPECT_EQ(m->fim_method, METHOD_GEOMETRIC);
        for (int i = 0; i < 20; i++) EXPECT_FLOAT_EQ(m->nodes[11]->insert[i], m->fim_node->insert[i]);
      }
      free_model(m);
    });
  }
}

TEST(LocalModes, LaterTracksReportOnlyTheirFims) {
  in_child([] {
    setup();
    Model *a = preptest::make_model(6), *b = preptest::make_model(6);
    std::string first = preptest::output_of([&](FILE *out) { reprocess_model(&a, 1, 2, &Score, 0, out); });
    std::string second = preptest::output_of([&](FILE *out) { reprocess_model(&b, 1, 2, &Score, 1, out); });
    EXPECT_EQ(first.find("% Subsequence-submodel (local) (SW = 2)\n"), 0u) << first;
    EXPECT_EQ(second, "% Track 1 FIMs added (geometric mean of match probabilities (6))\n");
    // Track 1 ignores FIM_method_score: an invalid value there has no effect.
    Score.FIM_method_score = 4;
    Model *c = preptest::make_model(6);
    std::string err = preptest::stderr_of([&] { reprocess_model(&c, 1, 2, &Score, 1, nullptr); });
    EXPECT_EQ(err, "");
    EXPECT_EQ(c->fim_method, METHOD_GEOMETRIC);
    free_model(a);
    free_model(b);
    free_model(c);
  });
}

TEST(LocalModes, AddedFimsReplaceTheModelByOneNodeLonger) {
  in_child([] {
    setup();
    Model *m = preptest::make_model(10);
    m->generic = alloc_node();
    change_inserts_set_fim(m, -6, 0, 1, nullptr, nullptr);
    Node *node5 = m->nodes[5], *generic = m->generic, *fim_node = m->fim_node;
    std::vector<float> end(m->nodes[11]->block, m->nodes[11]->block + m->nodes[11]->block_length);
    int added = -1, method = -1;
    add_fims_at_ends(&m, &added, &method);
    EXPECT_EQ(added, 1);
    EXPECT_EQ(method, METHOD_GEOMETRIC);
    ASSERT_EQ(m->length, 11);
    EXPECT_EQ(m->nodes[5], node5) << "nodes keep their indices";
    EXPECT_EQ(m->generic, generic);
    EXPECT_EQ(m->fim_node, fim_node);
    Node *last = m->nodes[12];
    for (int i = 0; i < 20; i++) {  // the new end node emits nothing
      EXPECT_EQ(last->match[i], 0.0f);
      EXPECT_EQ(last->insert[i], 0.0f);
    }
    EXPECT_EQ(last->mjump[0], 1.0f);
    EXPECT_EQ(last->mjump[1], 0.0f);
    EXPECT_EQ(last->mjump[2], 1.0f);
    for (int s = 0; s < 3; s++) EXPECT_EQ(last->djump[s], 0.0f);
    EXPECT_EQ(m->nodes[11]->djump[1], end[1] + end[4]) << "what entered the old end now enters D_11";

    add_fims_at_ends(&m, &added, &method);
    EXPECT_EQ(added, 0) << "FIMs at both ends already";
    EXPECT_EQ(m->length, 11);
    free_model(m);
  });
}

// ---- Alignments -------------------------------------------------------------------------------

TEST(FimDelete, RemovedFromTheAlignmentEnd) {
  using Bytes = std::vector<unsigned char>;
  struct Case {
    bool fims_were_added;
    Bytes before, after;
    const char *message;
  } cases[] = {
      {true, {110, 203, 4}, {110, 202, 4}, ""},
      {true, {4, 110, 201}, {4, 110}, ""},
      {true, {110, 201, 4, 9}, {110, 4, 9}, ""},
      {true, {203, 110}, {203, 110}, "Error in locating FIM delete in seq1 (1,110)\n"},
      {true, {4, 5}, {4, 5}, "Error in locating FIM delete in seq1 (0,4)\n"},
      {false, {110, 203, 4}, {110, 203, 4}, ""},
  };
  for (const Case &c : cases) {
    in_child([c] {
      if (c.fims_were_added)
        set_fims_added();
      else
        clear_fims_added();
      Sequence *seq = alloc_sequence(0, 1);
      seq->id = strdup("seq1");
      seq->alignment = static_cast<unsigned char *>(calloc(c.before.size() + 1, 1));
      memcpy(seq->alignment, c.before.data(), c.before.size());
      std::string err = preptest::stderr_of([&] { remove_fim_delete_if_auto(seq); });
      EXPECT_EQ(Bytes(seq->alignment, seq->alignment + strlen(reinterpret_cast<char *>(seq->alignment))),
                c.after);
      EXPECT_EQ(err, c.message);
      free_sequence(seq);
      remove_fim_delete_if_auto(nullptr);
    });
  }
}
