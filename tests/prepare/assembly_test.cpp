// Assembly of a model read from a file (missing nodes, '$' nodes, FIMs read with match values) and
// normalisation (begin/end positions, transition columns by node type, emissions).
#include <gtest/gtest.h>

#include <algorithm>

#include "prepare_test_support.h"

using namespace qor;
using preptest::in_child;
using preptest::setup;

TEST(Assembly, MissingNodesBecomeCopiesOfGenericWithItsType) {
  in_child([] {
    setup();
    RModel *rm = preptest::make_rmodel(5, {0, 1, 2, 5, -1});
    rm->generic = alloc_node();
    preptest::fill_node(rm->generic, 40);
    rm->generic->type = 'K';
    Node *slot0 = rm->slots[0], *end = rm->end_slots[0], *generic = rm->generic;
    Model *m = destruct_rmodel2model(&rm);
    EXPECT_EQ(rm, nullptr) << "the holder is nulled";
    ASSERT_EQ(m->length, 5);
    EXPECT_EQ(m->nodes[0], slot0) << "present nodes are moved, not copied";
    EXPECT_EQ(m->nodes[6], end) << "the end node becomes node L+1";
    EXPECT_EQ(m->generic, generic);
    for (int k : {3, 4}) {
      ASSERT_NE(m->nodes[k], nullptr);
      EXPECT_NE(m->nodes[k], generic);
      EXPECT_EQ(m->nodes[k]->type, 'K') << "node " << k << " takes GENERIC's type";
      for (int i = 0; i < generic->block_length; i++) ASSERT_EQ(m->nodes[k]->block[i], generic->block[i]);
    }
    EXPECT_EQ(m->nodes[2]->type, 0);
    free_model(m);
  });
}

TEST(Assembly, MissingNodeWithoutGenericIsFatal) {
  struct Case {
    std::vector<int> present;
    const char *message;
  } cases[] = {
      {{0, 1, 2, 5, -1}, "^Error: Destruct_rmodel2model missing node 3 \\(of 5\\), no generic\n"},
      {{0, 1, 2, 3, 4, 5}, "^Error: Destruct_rmodel2model missing node -0 \\(6 of 5\\), no generic\n"},
  };
  for (const Case &c : cases) {
    EXPECT_EXIT(
        {
          setup();
          RModel *rm = preptest::make_rmodel(5, c.present);
          destruct_rmodel2model(&rm);
        },
        testing::ExitedWithCode(1), c.message);
  }
}

TEST(Assembly, DollarNodesBecomeFimsFromGeneric) {
  in_child([] {
    setup();
    RModel *rm = preptest::make_rmodel(4, {0, 1, 2, 3, 4, -1});
    rm->generic = alloc_node();
    preptest::fill_node(rm->generic, 7);
    rm->slots[2]->type = '$';
    Model *m = destruct_rmodel2model(&rm);
    Node *n = m->nodes[2];
    EXPECT_EQ(n->type, 'F');
    for (int i = 0; i < 20; i++) {
      ASSERT_EQ(n->match[i], 0.0f);
      ASSERT_EQ(n->insert[i], m->generic->insert[i]);
    }
    EXPECT_EQ(n->ijump[0], 1.0f);
    EXPECT_EQ(n->ijump[1], 0.0f);
    EXPECT_EQ(n->ijump[2], 1.0f);
    EXPECT_EQ(n->mjump[1], 0.0f) << "nothing enters the FIM's match state";
    EXPECT_FLOAT_EQ(n->djump[1], 0.05f + 0.9f) << "what entered M_2 now enters D_2";
    EXPECT_EQ(m->nodes[3]->djump[1], 0.0f);
    EXPECT_EQ(m->nodes[3]->mjump[1], 0.0f);
    EXPECT_EQ(m->nodes[3]->mjump[2], 1.0f);
    free_model(m);
  });
}

TEST(Assembly, DollarNodeWithoutGenericIsFatal) {
  EXPECT_EXIT(
      {
        setup();
        RModel *rm = preptest::make_rmodel(3, {0, 1, 2, 3, -1});
        rm->slots[1]->type = '$';
        destruct_rmodel2model(&rm);
      },
      testing::ExitedWithCode(1),
      "^Error: Destruct_rmodel2model node 1 \\(of 3\\) has type '\\$' but the model "
      "has no generic node");
}

TEST(Assembly, FimsReadWithMatchValuesAreRebuiltWithOneWarning) {
  in_child([] {
    setup();
    std::string err = preptest::stderr_of([] {
      for (int round = 0; round < 2; round++) {
        RModel *rm = preptest::make_rmodel(4, {0, 1, 2, 3, 4, -1});
        rm->generic = alloc_node();
        preptest::fill_node(rm->generic, 11);
        rm->slots[3]->type = 'F';
        rm->slots[3]->match[0] = -1.0f;
        Model *m = destruct_rmodel2model(&rm);
        EXPECT_EQ(m->nodes[3]->type, 'F');
        for (int i = 0; i < 20; i++) {
          EXPECT_EQ(m->nodes[3]->match[i], 0.0f);
          EXPECT_EQ(m->nodes[3]->insert[i], m->generic->insert[i]) << "repaired from GENERIC";
        }
        free_model(m);
      }
    });
    EXPECT_EQ(err.rfind("Some FIMs have non-zero match states (e.g., node 3),\n", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 5) << "five lines, once per process:\n" << err;
  });
}

TEST(Normalisation, BeginAndEndPositionsAreZero) {
  in_child([] {
    setup();
    Model *m = preptest::make_model(3);
    normalize_model(m);
    Node *begin = m->nodes[0], *first = m->nodes[1], *end = m->nodes[4];
    for (int s = 0; s < 3; s++) {
      EXPECT_EQ(begin->djump[s], 0.0f);
      EXPECT_EQ(begin->mjump[s], 0.0f);
      EXPECT_EQ(end->djump[s], 0.0f);
      EXPECT_EQ(end->ijump[s], 0.0f);
    }
    EXPECT_EQ(begin->ijump[0], 0.0f);
    EXPECT_EQ(first->djump[0], 0.0f) << "nothing leaves D_0";
    EXPECT_EQ(first->mjump[0], 0.0f);
    for (int i = 0; i < 20; i++) {
      EXPECT_EQ(end->match[i], 0.0f) << "the end node emits nothing";
      EXPECT_EQ(end->insert[i], 0.0f);
    }
    // Out of M_0: into D_1, M_1, I_0 sums to 1.
    EXPECT_NEAR(first->djump[1] + first->mjump[1] + begin->ijump[1], 1.0, 1e-6);
    free_model(m);
  });
}

TEST(Normalisation, TransitionColumnsByNodeType) {
  in_child([] {
    setup();
    Model *m = preptest::make_model(4);
    m->nodes[2]->type = 'D';
    // Node 3's column from D is too small to normalise: it stays as it is.
    m->nodes[4]->djump[0] = 1e-10f;
    m->nodes[4]->mjump[0] = 0.0f;
    m->nodes[3]->ijump[0] = 0.0f;
    turn_into_fim(m, m->nodes[0]->insert, 1);
    normalize_model(m);

    // Ordinary node 0 (source M) and node 3 (sources M and I) sum to 1.
    for (int i : {0, 3})
      for (int s = 1; s < 3; s++)
        EXPECT_NEAR(m->nodes[i + 1]->djump[s] + m->nodes[i + 1]->mjump[s] + m->nodes[i]->ijump[s], 1.0, 1e-6)
            << "node " << i << " source " << s;
    EXPECT_EQ(m->nodes[4]->djump[0], 1e-10f) << "a column summing to at most 2.0612e-9 is left alone";

    // FIM node 1 (not the begin node): sources D and I lead everywhere at 1, M nowhere.
    for (int s = 0; s < 3; s++) {
      float expected = s == 1 ? 0.0f : 1.0f;
      EXPECT_EQ(m->nodes[2]->djump[s], expected) << s;
      EXPECT_EQ(m->nodes[2]->mjump[s], expected) << s;
      EXPECT_EQ(m->nodes[1]->ijump[s], expected) << s;
    }

    // Codon-style node 2 ('D'): from M into D_3 and M_3 only; from D only into D_3; from I nowhere.
    EXPECT_FLOAT_EQ(m->nodes[3]->djump[1], 0.05f / (0.05f + 0.9f));
    EXPECT_FLOAT_EQ(m->nodes[3]->mjump[1], 0.9f / (0.05f + 0.9f));
    EXPECT_EQ(m->nodes[2]->ijump[1], 0.0f);
    EXPECT_EQ(m->nodes[3]->djump[0], 1.0f);
    EXPECT_EQ(m->nodes[3]->mjump[0], 0.0f);
    EXPECT_EQ(m->nodes[2]->ijump[0], 0.0f);
    for (float v : {m->nodes[3]->djump[2], m->nodes[3]->mjump[2], m->nodes[2]->ijump[2]}) EXPECT_EQ(v, 0.0f);
    free_model(m);
  });
}

TEST(Normalisation, EmissionsSumToOneOrBecomeZero) {
  in_child([] {
    setup();
    Model *m = preptest::make_model(2);
    for (int i = 0; i < 20; i++) m->nodes[1]->insert[i] = 1e-12f;  // too small: all zero
    normalize_model(m);
    for (int k = 0; k <= 2; k++) EXPECT_NEAR(preptest::sum_of(m->nodes[k]->match, 20), 1.0, 1e-6) << k;
    EXPECT_NEAR(preptest::sum_of(m->nodes[2]->insert, 20), 1.0, 1e-6);
    for (int i = 0; i < 20; i++) EXPECT_EQ(m->nodes[1]->insert[i], 0.0f);
    free_model(m);
  });
}

TEST(Normalisation, CodonEmissionsByNodeType) {
  in_child([] {
    setup("CODON");
    Model *m = alloc_model(3);
    for (int k = 0; k <= 4; k++)
      for (int i = 0; i < 64; i++) m->nodes[k]->match[i] = m->nodes[k]->insert[i] = 1.0f;
    m->nodes[1]->type = 'C';
    m->nodes[2]->type = 'D';
    normalize_model(m);
    EXPECT_FLOAT_EQ(m->nodes[1]->match[63], 1.0f / 64.0f) << "a codon node spreads over all 64 codons";
    for (int i = 0; i < 64; i++) EXPECT_EQ(m->nodes[1]->insert[i], 0.0f);
    for (int i = 0; i < 64; i++) EXPECT_EQ(m->nodes[2]->match[i], i < 4 ? 1.0f : 0.0f);
    EXPECT_FLOAT_EQ(m->nodes[3]->match[0], 0.25f) << "other nodes emit single nucleotides";
    EXPECT_EQ(m->nodes[3]->match[4], 0.0f);
    EXPECT_FLOAT_EQ(m->nodes[3]->insert[3], 0.25f);
    EXPECT_EQ(m->nodes[3]->insert[10], 0.0f);
    free_model(m);
  });
}
