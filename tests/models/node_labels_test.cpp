// Node labels: the label map, node-label lines, the model view over a bundle, putting labels on the
// nodes (including nodes the file left out) and writing them back.
#include <gtest/gtest.h>

#include "model_test_support.h"

using namespace qor;
using modeltest::in_child;
using modeltest::output_of;
using modeltest::stderr_of;
using modeltest::use_alphabet;

TEST(NodeLabels, MapGrowthAndConflicts) {
  LabelMap *map = create_label_map();
  ASSERT_EQ(map->length, 256);
  for (int l = 0; l < map->length; l++) ASSERT_EQ(map->nodes[l], -2);
  EXPECT_EQ(set_label_map(map, 5, 9), 1);
  EXPECT_EQ(set_label_map(map, 5, 9), 1) << "the same node again";
  EXPECT_EQ(set_label_map(map, 5, 4), 0) << "a conflict keeps the first node";
  EXPECT_EQ(map->nodes[5], 9);
  EXPECT_EQ(set_label_map(map, 300, 1), 1);
  EXPECT_EQ(map->length, 604);
  EXPECT_EQ(map->nodes[300], 1);
  EXPECT_EQ(map->nodes[603], -2);
  EXPECT_EQ(map->nodes[5], 9) << "growing keeps the entries";
  grow_label_map(map, 10);
  EXPECT_EQ(map->length, 604) << "never shrinks";
  free_label_map(map);
  free_label_map(nullptr);
}

TEST(NodeLabels, ParseLines) {
  for (const char *line : {"NODELABELS 3-5: 10\n", "N 3 - 5 : 10", "nodelabels\t3 -5:10\r\n"}) {
    LabelMap *map = parse_model_node_labels(nullptr, "f.mod", line);
    EXPECT_EQ(map->nodes[10], 3) << line;
    EXPECT_EQ(map->nodes[11], 4) << line;
    EXPECT_EQ(map->nodes[12], 5) << line;
    EXPECT_EQ(map->nodes[9], -2) << line;
    EXPECT_EQ(map->nodes[13], -2) << line;
    // A second line adds to the same map; a label already given keeps its first node.
    EXPECT_EQ(parse_model_node_labels(map, "f.mod", "NODELABELS 7-8: 12"), map);
    EXPECT_EQ(map->nodes[12], 5);
    EXPECT_EQ(map->nodes[13], 8);
    free_label_map(map);
  }
}

TEST(NodeLabels, BadLinesAreFatal) {
  for (const char *line :
       {"NODELABELS 3-5\n", "NODELABELS a-5: 1\n", "NODELABELS", "NODELABELS 1-2: -4\n",
        "NODELABELS -1-2: 4\n", "NODELABELS 1-2: 1000000\n", "NODELABELS 1-99999999999: 1\n"}) {
    SCOPED_TRACE(line);
    std::string expected = std::string("^Error: f.mod: invalid node label line:\n") + line;
    EXPECT_EXIT(parse_model_node_labels(nullptr, "f.mod", line), testing::ExitedWithCode(1), expected);
  }
}

namespace {

// A bundle of length 4 whose nodes 1..4 carry the given labels (a label below -1 means no node).
RModel *labelled_bundle(const std::vector<int> &labels) {
  RModel *rm = modeltest::make_rmodel(static_cast<int>(labels.size()));
  rm->slots[0] = alloc_node();
  for (size_t i = 0; i < labels.size(); i++) {
    if (labels[i] < -1) continue;
    rm->slots[i + 1] = alloc_node();
    rm->slots[i + 1]->label = labels[i];
  }
  modeltest::set_aliases(rm);
  return rm;
}

}  // namespace

TEST(NodeLabels, WriteRuns) {
  struct Case {
    std::vector<int> labels;
    const char *expected;
  } cases[] = {
      {{7, 8, -1, 20}, "NODELABELS 1-2: 7\nNODELABELS 4-4: 20\n"},
      {{7, -1, 5}, "NODELABELS 1-1: 7\nNODELABELS 3-3: 5\n"},
      {{1, 2, 3, 4}, "NODELABELS 1-4: 1\n"},
      {{1, 3, 4}, "NODELABELS 1-1: 1\nNODELABELS 2-3: 3\n"},
      {{2, -2, 3}, "NODELABELS 1-1: 2\nNODELABELS 3-3: 3\n"},  // a missing node ends a run
      {{-1, -1}, ""},
  };
  for (const Case &c : cases) {
    in_child([&] {
      use_alphabet("DNA");
      RModel *rm = labelled_bundle(c.labels);
      EXPECT_EQ(output_of([&](FILE *out) { write_rmodel_node_labels(rm, out); }), c.expected);
      free_rmodel(&rm);
    });
  }
  // Node 0 is never written; the end node is.
  in_child([] {
    use_alphabet("DNA");
    RModel *rm = labelled_bundle({4});
    rm->slots[0]->label = 3;
    rm->end_slots[0] = alloc_node();
    rm->end_slots[0]->label = 5;
    EXPECT_EQ(output_of([&](FILE *out) { write_rmodel_node_labels(rm, out); }), "NODELABELS 1-2: 4\n");
    free_rmodel(&rm);
  });
}

TEST(NodeLabels, OutOfOrderIsFatal) {
  EXPECT_EXIT(
      {
        use_alphabet("DNA");
        RModel *rm = labelled_bundle({7, 5});
        write_rmodel_node_labels(rm, stdout);
        exit(0);
      },
      testing::ExitedWithCode(1),
      "^Error: Out of order model labels at node 2: label 5, previous label 7\n$");
  EXPECT_EXIT(
      {
        use_alphabet("DNA");
        RModel *rm = labelled_bundle({7, 8, 8});
        write_rmodel_node_labels(rm, stdout);
        exit(0);
      },
      testing::ExitedWithCode(1),
      "^Error: Out of order model labels at node 3: label 8, previous label 8\n$");
}

TEST(NodeLabels, ViewOverBundle) {
  in_child([] {
    use_alphabet("DNA");
    RModel *rm = labelled_bundle({1, -2, 3});
    rm->end_slots[0] = alloc_node();
    rm->generic = alloc_node();
    Model view;
    EXPECT_EQ(fake_model_from_rmodel(&view, rm), 4);
    EXPECT_EQ(view.length, 3);
    EXPECT_EQ(view.generic, rm->generic);
    EXPECT_EQ(view.lettcount, nullptr);
    EXPECT_EQ(view.weights, nullptr);
    for (int i = 0; i <= 3; i++) EXPECT_EQ(view.nodes[i], rm->slots[i]) << i;
    EXPECT_EQ(view.nodes[4], rm->end_slots[0]);
    free(view.nodes);
    // With an extra slot the view's nodes after slot L are the end slots, last first.
    RModel *extra = alloc_rmodel(nullptr);
    extra->length = 2;
    extra->neg_count = 1;
    alloc_rmodel(extra);
    for (int k = 0; k < extra->slot_count; k++) extra->slots[k] = alloc_node();
    EXPECT_EQ(fake_model_from_rmodel(&view, extra), 4);
    EXPECT_EQ(view.nodes[0], extra->slots[0]);
    EXPECT_EQ(view.nodes[1], extra->slots[1]);
    EXPECT_EQ(view.nodes[2], extra->slots[2]);
    EXPECT_EQ(view.nodes[3], extra->end_slots[1]);
    EXPECT_EQ(view.nodes[4], extra->end_slots[0]);
    free(view.nodes);
    free_rmodel(&extra);
    free_rmodel(&rm);
  });
}

TEST(NodeLabels, ApplyingLabels) {
  // Labels for nodes 1 and 3 of a bundle whose node 2 is missing, for the end node and past it.
  in_child([] {
    use_alphabet("DNA");
    RModel *rm = labelled_bundle({-1, -2, -1});
    rm->end_slots[0] = alloc_node();
    LabelMap *map = parse_model_node_labels(nullptr, "f.mod", "NODELABELS 3-5: 30");
    set_label_map(map, 10, 1);
    std::string err = stderr_of([&] { label_rmodel_from_map(map, rm, "f.mod"); });
    EXPECT_EQ(err,
              "Error: Node label 31 for node 4 is past the end of the model"
              "Error: Node label 32 for node 5 is past the end of the model");
    EXPECT_EQ(rm->slots[1]->label, 10);
    EXPECT_EQ(rm->slots[3]->label, 30);
    EXPECT_EQ(rm->end->label, 31) << "the end node is labelled";
    EXPECT_EQ(rm->slots[2], nullptr);
    free_label_map(map);
    free_rmodel(&rm);
    // A bundle of length 0 keeps no labels, and says so.
    rm = labelled_bundle({});
    rm->end_slots[0] = alloc_node();
    map = parse_model_node_labels(nullptr, "f.mod", "NODELABELS 1-1: 2");
    EXPECT_EQ(stderr_of([&] { label_rmodel_from_map(map, rm, "f.mod"); }),
              "Warning: f.mod: node labels are ignored in a model of length 0\n");
    EXPECT_EQ(rm->end_slots[0]->label, -1);
    free_label_map(map);
    free_rmodel(&rm);
  });
}

// A label naming a node the file left out must be neither lost silently nor leaked: the node is
// made in the bundle as the copy of GENERIC that assembly would put there, or, without GENERIC,
// the label is dropped with a warning naming the file and the node.
TEST(NodeLabels, LabelForAnEmptySlot) {
  in_child([] {
    use_alphabet("DNA");
    RModel *rm = labelled_bundle({-1, -2, -1});
    rm->generic = modeltest::make_node(0.5f, '$');
    LabelMap *map = parse_model_node_labels(nullptr, "f.mod", "NODELABELS 2-2: 8");
    EXPECT_EQ(stderr_of([&] { label_rmodel_from_map(map, rm, "f.mod"); }), "");
    ASSERT_NE(rm->slots[2], nullptr);
    EXPECT_EQ(rm->slots[2]->label, 8);
    EXPECT_EQ(rm->slots[2]->type, '$');
    EXPECT_EQ(rm->slots[2]->block[16], rm->generic->block[16]);
    EXPECT_NE(rm->slots[2], rm->generic);
    free_label_map(map);
    free_rmodel(&rm);  // a sanitizer build checks that nothing is leaked

    rm = labelled_bundle({-1, -2, -1});
    map = parse_model_node_labels(nullptr, "f.mod", "NODELABELS 2-2: 8");
    EXPECT_EQ(
        stderr_of([&] { label_rmodel_from_map(map, rm, "f.mod"); }),
        "Warning: f.mod: node label 8 names node 2, which the model leaves empty and no GENERIC node can "
        "fill; label dropped\n");
    EXPECT_EQ(rm->slots[2], nullptr);
    free_label_map(map);
    free_rmodel(&rm);
  });
}

// Through the reader: the label of a node left out of the file survives, on a GENERIC copy, also
// when the end node is missing.
TEST(NodeLabels, ReaderKeepsLabelsOfMissingNodes) {
  in_child([] {
    use_alphabet("DNA");
    std::string n17 = modeltest::numbers(17);
    RModel *rm = nullptr;
    std::string err = stderr_of([&] {
      rm = modeltest::read_text("MODEL\nNODELABELS 1-4: 1\nalphabet DNA\nGENERIC" + n17 + "\n1" + n17 +
                                "\n3" + n17 + "\nENDMODEL\n");
    });
    EXPECT_EQ(err, "Error: Node label 4 for node 4 is past the end of the model");
    ASSERT_NE(rm->slots[2], nullptr);
    EXPECT_EQ(rm->slots[2]->label, 2);
    ASSERT_NE(rm->end, nullptr);
    EXPECT_EQ(rm->end, rm->end_slots[0]);
    EXPECT_EQ(rm->end->label, 4);
    free_rmodel(&rm);
  });
}
