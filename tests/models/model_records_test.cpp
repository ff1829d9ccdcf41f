// Model records: node layout, copying, models and bundles, cost tables, shared insert tables.
#include <gtest/gtest.h>

#include "model_test_support.h"

using namespace qor;
using modeltest::in_child;
using modeltest::make_node;
using modeltest::use_alphabet;

TEST(ModelRecords, NodeLayoutFollowsTheAlphabet) {
  in_child([] {
    use_alphabet("protein");
    Node *n = alloc_node();
    EXPECT_EQ(n->type, 0);
    EXPECT_EQ(n->label, -1);
    EXPECT_EQ(n->env, nullptr);
    ASSERT_EQ(n->block_length, 49);
    EXPECT_EQ(n->djump, n->block);
    EXPECT_EQ(n->mjump, n->block + 3);
    EXPECT_EQ(n->ijump, n->block + 6);
    EXPECT_EQ(n->match, n->block + 9);
    EXPECT_EQ(n->insert, n->block + 29);
    for (int i = 0; i < n->block_length; i++) EXPECT_EQ(n->block[i], 0.0f);
    free_node(n);
    free_node(nullptr);
  });
}

TEST(ModelRecords, CopyAndDupKeepEnvironmentOnlyWhereBothHaveOne) {
  in_child([] {
    use_alphabet("DNA");
    Node *src = make_node(0.5f, 'F');
    src->label = 12;
    src->env = alloc_NodeEnv();
    src->env->acc = 3;
    src->env->env = 7;
    src->env->code = 12;
    EXPECT_EQ(GetEnvCode(src), 12);

    Node *dup = dup_node(src);
    EXPECT_EQ(dup->env, nullptr) << "a duplicate has no environment";
    EXPECT_EQ(GetEnvCode(dup), 0);
    EXPECT_TRUE(modeltest::same_node_bits(src, dup, false));
    // The views of the copy point into its own block.
    dup->insert[0] = 99.0f;
    EXPECT_NE(src->insert[0], 99.0f);

    Node *with_env = alloc_node();
    with_env->env = alloc_NodeEnv();
    EXPECT_EQ(with_env->env->acc, -1);
    EXPECT_EQ(with_env->env->env, -1);
    EXPECT_EQ(with_env->env->code, 0);
    copy_node(src, with_env);
    EXPECT_TRUE(modeltest::same_node_bits(src, with_env, true));
    EXPECT_EQ(dup_node(nullptr), nullptr);
    free_node(src);
    free_node(dup);
    free_node(with_env);
  });
}

TEST(ModelRecords, AllocModelSizes) {
  in_child([] {
    use_alphabet("DNA");
    struct Case {
      int n, length, entries;
      bool filled;
    } cases[] = {{3, 3, 5, true}, {0, 0, 2, false}, {-5, 5, 7, false}};
    for (const Case &c : cases) {
      Model *m = alloc_model(c.n);
      EXPECT_EQ(m->length, c.length) << c.n;
      EXPECT_EQ(m->is_seqmodel, 0);
      EXPECT_EQ(m->fim_method, 9);
      EXPECT_EQ(m->weights, nullptr);
      EXPECT_EQ(m->generic, nullptr);
      for (int k = 0; k < c.entries; k++) EXPECT_EQ(m->nodes[k] != nullptr, c.filled) << c.n << " node " << k;
      free_model(m);
    }
    free_model(nullptr);
  });
}

TEST(ModelRecords, InitModelAndCostTables) {
  in_child([] {
    use_alphabet("protein");
    Model *m = alloc_model(2);
    m->nodes[1]->type = 'F';
    init_model(m, 0.25f);
    for (int k = 0; k <= 3; k++) {
      EXPECT_EQ(m->nodes[k]->type, 0);
      for (int i = 0; i < m->nodes[k]->block_length; i++) ASSERT_EQ(m->nodes[k]->block[i], 0.25f);
    }
    alloc_mod_weight(m);
    ASSERT_NE(m->weights, nullptr);
    ASSERT_NE(m->fim_weight, nullptr);
    for (int k = 0; k <= 3; k++) {
      ModWeight *w = m->weights[k];
      ASSERT_EQ(w->block_length, 2 * 23 + 9);
      EXPECT_EQ(w->match, w->block + 9);
      EXPECT_EQ(w->insert, w->block + 9 + 23);
      for (int i = 0; i < w->block_length; i++) ASSERT_EQ(w->block[i], 0);
    }
    free_mod_weight(m);
    EXPECT_EQ(m->weights, nullptr);
    EXPECT_EQ(m->fim_weight, nullptr);
    // free_model releases every side table it holds.
    alloc_mod_weight(m);
    m->generic = alloc_node();
    m->lettcount = alloc_node();
    m->freqave = alloc_node();
    m->fim_node = alloc_node();
    m->matrix = reinterpret_cast<int32_t **>(
        double_alloc(alphabet->fwild_length + 1, alphabet->fwild_length + 1, sizeof(int32_t)));
    m->query = alloc_sequence(5, 1);
    free_model(m);
  });
}

TEST(ModelRecords, BundleSlots) {
  in_child([] {
    use_alphabet("DNA");
    RModel *rm = alloc_rmodel(nullptr);
    EXPECT_EQ(rm->length, 0);
    EXPECT_EQ(rm->slot_count, 0);
    EXPECT_EQ(rm->slots, nullptr);
    rm->length = 3;
    EXPECT_EQ(alloc_rmodel(rm), rm);
    EXPECT_EQ(rm->slot_count, 5);
    EXPECT_EQ(rm->end_slots, rm->slots + 4);
    for (int k = 0; k < 5; k++) EXPECT_EQ(rm->slots[k], nullptr);
    rm->slots[0] = alloc_node();
    rm->end_slots[0] = alloc_node();
    rm->slots[2] = alloc_node();
    rm->generic = alloc_node();
    rm->freqave = alloc_node();
    modeltest::set_aliases(rm);
    free_rmodel(&rm);  // the aliases are not released twice (a sanitizer build checks)
    EXPECT_EQ(rm, nullptr);
    free_rmodel(&rm);
  });
}

TEST(ModelRecords, SharedInsertTables) {
  in_child([] {
    use_alphabet("DNA");
    // Nodes: 0 ordinary, 1 FIM, 2 null, 3 ordinary, 4 FIM; variants change one insert entry.
    struct Case {
      const char *what;
      int change_node;  // node whose insert[3] differs (-1: none)
      int skip;
      int fim, other;
    } cases[] = {
        {"all agree", -1, -1, 1, 0},
        {"FIM inserts differ in one entry", 4, -1, -1, 0},
        {"ordinary inserts differ", 3, -1, 1, -1},
        {"the differing node is skipped", 3, 3, 1, 0},
        {"the first ordinary node is skipped", -1, 0, 1, 3},
    };
    for (const Case &c : cases) {
      Node *nodes[5] = {make_node(0.0f), make_node(0.0f, 'F'), nullptr, make_node(0.0f),
                        make_node(0.0f, 'F')};
      for (Node *n : nodes)
        if (n != nullptr)
          for (int i = 0; i < 4; i++) n->insert[i] = n->type == 'F' ? 0.5f : 0.25f;
      if (c.change_node >= 0) nodes[c.change_node]->insert[3] += 1e-6f;
      int fim = -7, other = -7;
      check_node_array(nodes, 4, c.skip, &fim, &other);
      EXPECT_EQ(fim, c.fim) << c.what;
      EXPECT_EQ(other, c.other) << c.what;
      for (Node *n : nodes) free_node(n);
    }
    Node *plain[2] = {make_node(1.0f), nullptr};
    int fim = 0, other = 0;
    check_node_array(plain, 1, -1, &fim, &other);
    EXPECT_EQ(fim, -1) << "no FIM at all";
    EXPECT_EQ(other, 0);
    EXPECT_EQ(node_ins_is_same(plain[0], plain[0]), 1);
    free_node(plain[0]);
  });
}
