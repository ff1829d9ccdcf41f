// Model file writing and the round trips through the reader: the text layout, the alphabet line,
// text round trips to six decimals, the binary layout byte for byte, binary round trips bit for bit,
// and malformed binary images.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "model_test_support.h"

using namespace qor;
using modeltest::in_child;
using modeltest::make_node;
using modeltest::make_rmodel;
using modeltest::output_of;
using modeltest::stderr_of;
using modeltest::use_alphabet;

namespace {

// A node whose numbers are all v.
Node *constant_node(float v, char type = 0) {
  Node *n = alloc_node();
  for (int i = 0; i < n->block_length; i++) n->block[i] = v;
  n->type = type;
  return n;
}

// "count" copies of " %8.6f " of v, then a newline.
std::string row(const char *v, int count) {
  std::string s;
  for (int i = 0; i < count; i++) s += std::string(" ") + v + " ";
  return s + "\n";
}

// The text record body of a DNA node whose numbers are all v.
std::string dna_body(const char *v) {
  return row(v, 3) + row(v, 3) + row(v, 3) + row(v, 4) + row(v, 4);
}

std::string write_text(const RModel *rm, const char *kind = "MODEL", const char *text = "t") {
  return output_of([&](FILE *out) { nice_print_rmodel(out, rm, kind, text, nullptr, 0); });
}

std::string write_binary(const RModel *rm, const char *kind = "MODEL", const char *text = "t") {
  return output_of([&](FILE *out) { nice_print_rmodel(out, rm, kind, text, nullptr, 1); });
}

RModel *read_back(const std::string &bytes, std::string *err = nullptr) {
  RModel *rm = nullptr;
  std::string e = stderr_of([&] { rm = modeltest::read_text(bytes); });
  if (err != nullptr) *err = e;
  return rm;
}

// Little-endian bytes of a 32-bit word.
std::string le32(uint32_t w) {
  std::string s;
  for (int i = 0; i < 4; i++) s += static_cast<char>((w >> (8 * i)) & 0xff);
  return s;
}

}  // namespace

TEST(ModelWriteText, Layout) {
  in_child([] {
    use_alphabet("DNA");
    RModel *rm = make_rmodel(5);
    rm->generic = constant_node(1.0f);
    rm->slots[0] = constant_node(0.125f);
    rm->slots[1] = constant_node(0.25f);
    rm->slots[1]->label = 4;
    rm->slots[5] = constant_node(0.5f, 'C');
    rm->slots[5]->env = alloc_NodeEnv();
    rm->slots[5]->env->acc = 3;
    rm->slots[5]->env->env = 7;
    rm->slots[5]->env->code = 12;
    rm->end_slots[0] = constant_node(0.0f, 'E');
    modeltest::set_aliases(rm);
    std::string expected = "MODEL --  small test\nNODELABELS 1-1: 4\nalphabet DNA\nGENERIC\n" +
                           dna_body("1.000000") + "Begin\n" + dna_body("0.125000") + "   1\n" +
                           dna_body("0.250000") + "TYPE 5 C\n   5\n" +
                           "%    5   acc: 3 env: 7 code: 12 <-|\n" + dna_body("0.500000") + "End\n" +
                           dna_body("0.000000") + "\nENDMODEL\n";
    EXPECT_EQ(output_of([&](FILE *out) { nice_print_rmodel(out, rm, "MODEL", "small test", nullptr, 0); }),
              expected);
    // A caller's number format replaces the default.
    std::string custom = output_of([&](FILE *out) { print_node(out, rm->slots[1], nullptr, 1, "%.1f;"); });
    EXPECT_EQ(custom, "   1\n0.2;0.2;0.2;\n0.2;0.2;0.2;\n0.2;0.2;0.2;\n0.2;0.2;0.2;0.2;\n0.2;0.2;0.2;0.2;\n");
    // Other flags and a null bundle write nothing.
    EXPECT_EQ(output_of([&](FILE *out) { nice_print_rmodel(out, rm, "MODEL", "x", nullptr, 2); }), "");
    EXPECT_EQ(output_of([&](FILE *out) { nice_print_rmodel(out, nullptr, "MODEL", "x", nullptr, 0); }), "");
    free_rmodel(&rm);
  });
}

TEST(ModelWriteText, ProteinRecordsFiveValuesPerLine) {
  in_child([] {
    use_alphabet("protein");
    Node *n = constant_node(0.0f);
    std::string five = row("0.000000", 5);
    EXPECT_EQ(output_of([&](FILE *out) { print_node(out, n, "FREQAVE", 0, nullptr); }),
              "FREQAVE\n" + row("0.000000", 3) + row("0.000000", 3) + row("0.000000", 3) + five + five +
                  five + five + five + five + five + five);
    free_node(n);
  });
}

TEST(ModelWriteText, AlphabetLines) {
  EXPECT_EXIT(
      {
        use_alphabet("protein");
        fputs(output_of(write_alphabet).c_str(), stderr);
        exit(0);
      },
      testing::ExitedWithCode(0), "^alphabet protein\n$");
  EXPECT_EXIT(
      {
        init_alphabets();
        process_alphabet("alphabet_def mine abcd", 0, "test");
        fputs(output_of(write_alphabet).c_str(), stderr);
        exit(0);
      },
      testing::ExitedWithCode(0), "^alphabet_def mine ABCD\n$");
  EXPECT_EXIT(
      {
        init_alphabets();
        process_alphabet("alphabet_def num 20", 0, "test");
        fputs(output_of(write_alphabet).c_str(), stderr);
        exit(0);
      },
      testing::ExitedWithCode(0), "^alphabet_def num 20\n$");
}

namespace {

// A model for the round trips: length 6 under the current alphabet with random numbers, nodes
// 2 and 3 left empty, typed nodes, FIMs, labels with a gap, special nodes and an end node.
struct Shape {
  const char *what;
  bool fims;        // nodes 4 and 6 are FIMs
  bool share_ins;   // the non-FIM nodes share one insert table
  bool share_fims;  // the FIMs share one insert table
  bool env;         // nodes carry environments
  int tables;       // shared tables the binary image stores
  int omitted;      // node images without their insert values (the end node's included)
};

RModel *random_model(const Shape &s, std::mt19937 &rng) {
  std::uniform_real_distribution<float> value(0.0f, 1.0f);
  RModel *rm = make_rmodel(6);
  for (int k : {0, 1, 4, 5, 6}) {
    Node *n = alloc_node();
    for (int i = 0; i < n->block_length; i++) n->block[i] = value(rng);
    rm->slots[k] = n;
  }
  rm->end_slots[0] = alloc_node();
  for (int i = 0; i < rm->end_slots[0]->block_length; i++) rm->end_slots[0]->block[i] = value(rng);
  rm->generic = alloc_node();
  rm->freqave = alloc_node();
  rm->lettcount = make_node(2.0f);
  for (int i = 0; i < rm->generic->block_length; i++)
    rm->generic->block[i] = rm->freqave->block[i] = value(rng);
  rm->slots[1]->type = 'C';
  rm->slots[5]->type = 'x';
  if (s.fims) {
    for (int k : {4, 6}) {
      rm->slots[k]->type = 'F';
      for (int i = 0; i < alphabet->flength; i++) rm->slots[k]->match[i] = 0.0f;
    }
  }
  Node *ins_ref = rm->slots[0], *fim_ref = rm->slots[4];
  for (int k : {1, 4, 5, 6}) {
    Node *n = rm->slots[k];
    Node *ref = n->type == 'F' ? fim_ref : ins_ref;
    bool share = n->type == 'F' ? s.share_fims : s.share_ins;
    if (share)
      for (int i = 0; i < alphabet->flength; i++) n->insert[i] = ref->insert[i];
  }
  rm->slots[1]->label = 3;
  rm->slots[4]->label = 4;
  rm->slots[6]->label = 9;
  if (s.env) {
    rm->slots[5]->env = alloc_NodeEnv();
    rm->slots[5]->env->acc = 3;
    rm->slots[5]->env->env = -7;
    rm->slots[5]->env->code = 123456;
    rm->end_slots[0]->env = alloc_NodeEnv();
  }
  modeltest::set_aliases(rm);
  return rm;
}

const Shape shapes[] = {
    {"plain", false, false, false, false, 0, 0},
    {"FIMs sharing a table, others not", true, false, true, true, 1, 2},
    {"others sharing a table, FIMs not", true, true, false, false, 1, 4},
    {"both sharing", true, true, true, true, 2, 6},
};

void expect_same_to_six_decimals(const Node *a, const Node *b, const char *what) {
  ASSERT_NE(a, nullptr) << what;
  ASSERT_NE(b, nullptr) << what;
  ASSERT_EQ(a->block_length, b->block_length) << what;
  for (int i = 0; i < a->block_length; i++) {
    char x[32], y[32];
    snprintf(x, sizeof x, "%.6f", static_cast<double>(a->block[i]));
    snprintf(y, sizeof y, "%.6f", static_cast<double>(b->block[i]));
    EXPECT_STREQ(x, y) << what << " number " << i;
    EXPECT_NEAR(a->block[i], b->block[i], 6e-7) << what << " number " << i;
  }
}

}  // namespace

TEST(ModelWriteText, RoundTrips) {
  for (const char *alpha : {"DNA", "protein"}) {
    for (const Shape &s : shapes) {
      const unsigned seed = 20240611u;
      SCOPED_TRACE(std::string(alpha) + ", " + s.what + ", seed " + std::to_string(seed));
      in_child([&] {
        use_alphabet(alpha);
        std::mt19937 rng(seed);
        RModel *rm = random_model(s, rng);
        std::string text = write_text(rm);
        std::string err;
        RModel *back = read_back(text, &err);
        EXPECT_EQ(err, "");
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->length, 6);
        for (int k = 0; k <= 6; k++) {
          ASSERT_EQ(back->slots[k] != nullptr, rm->slots[k] != nullptr) << k;
          if (rm->slots[k] == nullptr) continue;
          expect_same_to_six_decimals(rm->slots[k], back->slots[k], "slot");
          EXPECT_EQ(back->slots[k]->type, rm->slots[k]->type == 'x' ? 'X' : rm->slots[k]->type) << k;
          EXPECT_EQ(back->slots[k]->label, rm->slots[k]->label) << k;
          EXPECT_EQ(back->slots[k]->env, nullptr) << "environments are written as comments only";
        }
        expect_same_to_six_decimals(rm->end, back->end, "end");
        expect_same_to_six_decimals(rm->generic, back->generic, "generic");
        expect_same_to_six_decimals(rm->lettcount, back->lettcount, "lettcount");
        expect_same_to_six_decimals(rm->freqave, back->freqave, "freqave");
        // After one cycle (types upper-cased, environments gone) the text is stable.
        std::string again = write_text(back);
        RModel *back2 = read_back(again);
        EXPECT_EQ(write_text(back2), again);
        free_rmodel(&rm);
        free_rmodel(&back);
        free_rmodel(&back2);
      });
    }
  }
}

TEST(ModelWriteBinary, LayoutByteForByte) {
  in_child([] {
    use_alphabet("DNA");
    RModel *rm = make_rmodel(1);
    rm->slots[1] = constant_node(0.5f, 'C');
    rm->slots[1]->env = alloc_NodeEnv();
    rm->slots[1]->env->acc = 1;
    rm->slots[1]->env->env = 2;
    rm->slots[1]->env->code = -3;
    rm->slots[1]->label = 7;
    rm->end_slots[0] = constant_node(1.0f);
    modeltest::set_aliases(rm);
    const std::string half = le32(0x3f000000u), one = le32(0x3f800000u);
    std::string node1 = le32(1) + le32(1) + le32(1) + le32(2) + le32(0xfffffffdu) + "C";
    for (int i = 0; i < 13; i++) node1 += half;
    std::string end = le32(1) + le32(0) + std::string(1, '\0');
    for (int i = 0; i < 13; i++) end += one;
    std::string expected = "MODEL -- tiny\nBINARY\nNODELABELS 1-1: 7\nalphabet DNA\n" + le32(3) + le32(1) +
                           le32(0) + le32(0xffffffffu) +  // no FIM table
                           le32(1) + half + half + half +
                           half +                         // node 1's insert table, shared by the others
                           le32(0) + le32(0) + le32(0) +  // GENERIC, LETTCOUNT, FREQAVE
                           le32(0) + node1 + end + "\nENDMODEL\n";
    EXPECT_EQ(write_binary(rm, "MODEL", "tiny"), expected);
    free_rmodel(&rm);
  });
}

TEST(ModelWriteBinary, RoundTripsBitForBit) {
  for (const char *alpha : {"DNA", "protein"}) {
    for (const Shape &s : shapes) {
      const unsigned seed = 77u;
      SCOPED_TRACE(std::string(alpha) + ", " + s.what + ", seed " + std::to_string(seed));
      in_child([&] {
        use_alphabet(alpha);
        EXPECT_EQ(last_model_read_binary(), 0);
        std::mt19937 rng(seed);
        RModel *rm = random_model(s, rng);
        rm->end->type = 'E';
        std::string bytes = write_binary(rm, "REGULARIZER", "binary one");
        std::string err;
        RModel *back = read_back(bytes, &err);
        EXPECT_EQ(err, "");
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(last_model_read_binary(), 1);
        EXPECT_EQ(back->length, 6);
        EXPECT_EQ(back->slot_count, 8);
        for (int k = 0; k <= 6; k++)
          EXPECT_TRUE(modeltest::same_node_bits(rm->slots[k], back->slots[k], true)) << "slot " << k;
        EXPECT_TRUE(modeltest::same_node_bits(rm->generic, back->generic, true));
        EXPECT_TRUE(modeltest::same_node_bits(rm->lettcount, back->lettcount, true));
        EXPECT_TRUE(modeltest::same_node_bits(rm->freqave, back->freqave, true));
        // The end node keeps everything but its insert values, which the reader zeroes.
        ASSERT_NE(back->end, nullptr);
        for (int i = 0; i < alphabet->flength; i++) rm->end->insert[i] = 0.0f;
        EXPECT_TRUE(modeltest::same_node_bits(rm->end, back->end, true));
        EXPECT_EQ(back->end->type, 'E');
        // Shared tables are stored once and the node images that use them leave their inserts out.
        const size_t f = static_cast<size_t>(alphabet->flength);
        size_t preamble = std::string("REGULARIZER -- binary one\nBINARY\n").size() +
                          output_of([&](FILE *o) { write_rmodel_node_labels(rm, o); }).size() +
                          output_of(write_alphabet).size();
        size_t image = 4 * (3 + 2 + s.tables * f);  // counts, table words, tables
        image += 3 * (4 * (2 + 9 + 2 * f) + 1);     // GENERIC, LETTCOUNT, FREQAVE
        image += 4 * 2;                             // the empty slots 2 and 3
        for (int k : {0, 1, 4, 5, 6, 7})            // the present nodes and the end node
          image += 4 * (2 + (rm->slots[k]->env != nullptr ? 3 : 0) + 9 + 2 * f) + 1;
        image -= 4 * f * static_cast<size_t>(s.omitted);
        EXPECT_EQ(bytes.size(), preamble + image + std::string("\nENDMODEL\n").size());
        free_rmodel(&rm);
        free_rmodel(&back);
      });
    }
  }
}
