// Model file reading, binary bodies: malformed and truncated images stop cleanly, sizes are checked
// before anything is allocated, and bundles without slots survive a write and a read.
#include <gtest/gtest.h>

#include "model_test_support.h"

using namespace qor;
using modeltest::in_child;
using modeltest::output_of;
using modeltest::stderr_of;
using modeltest::use_alphabet;

namespace {

const char preamble[] = "MODEL -- tiny\nBINARY\nalphabet DNA\n";

// The binary block of a DNA bundle of length 1 (node 1 with an environment, and an end node).
std::string tiny_block() {
  RModel *rm = modeltest::make_rmodel(1);
  rm->slots[1] = modeltest::make_node(0.25f, 'C');
  rm->slots[1]->env = alloc_NodeEnv();
  rm->end_slots[0] = modeltest::make_node(0.5f);
  modeltest::set_aliases(rm);
  std::string bytes = output_of([&](FILE *out) { binary_nice_p_rmodel(out, rm, "MODEL", "tiny"); });
  free_rmodel(&rm);
  return bytes;
}

// Overwrites the little-endian word at byte offset of the image (counted from its start).
void put_word(std::string *block, size_t offset, uint32_t w) {
  size_t at = sizeof preamble - 1 + offset;
  for (int i = 0; i < 4; i++)
    (*block)[at + static_cast<size_t>(i)] = static_cast<char>((w >> (8 * i)) & 0xff);
}

}  // namespace

// Bytes of tiny_block(): 34 of preamble, a 186-byte image, "\nENDMODEL\n".
constexpr size_t tiny_block_size = 230;

TEST(ModelReadBinary, TruncatedImagesStopCleanly) {
  in_child([] {
    use_alphabet("DNA");
    std::string block = tiny_block();
    ASSERT_EQ(block.size(), tiny_block_size);
    ASSERT_EQ(block.compare(0, sizeof preamble - 1, preamble), 0);
    RModel *rm = modeltest::read_text(block);
    EXPECT_EQ(rm->length, 1);
    free_rmodel(&rm);
  });
  // Every cut from the image start to the last word (ENDMODEL without its final 'L') must stop.
  for (size_t cut = sizeof preamble - 1; cut <= tiny_block_size - 2; cut += 3) {
    SCOPED_TRACE("cut at byte " + std::to_string(cut));
    EXPECT_EXIT(
        {
          use_alphabet("DNA");
          modeltest::read_text(tiny_block().substr(0, cut));
          exit(0);
        },
        testing::ExitedWithCode(1),
        "^Error: test.mod\\(3\\): (binary model image ends early|malformed binary model image: not followed "
        "by "
        "ENDMODEL)\n");
  }
}

TEST(ModelReadBinary, MalformedImages) {
  struct Case {
    const char *what;
    size_t offset;  // byte offset of the word in the image
    uint32_t word;
    const char *message;
  } cases[] = {
      {"no slots while the length is positive", 0, 0, "no slots for a model with nodes"},
      {"a negative slot count", 0, 0xffffffffu, "no slots for a model with nodes"},
      {"a slot count that does not fit the length", 0, 7, "slot count does not fit the length"},
      {"a length beyond any model", 4, 0x7fffffffu, "impossible model length or extra-slot count"},
      {"a length below -1", 4, 0xfffffff0u, "impossible model length or extra-slot count"},
      {"a negative extra-slot count", 8, 0xffffffffu, "impossible model length or extra-slot count"},
      // Words: 3 counts, FIM word, table word + 4 reals, 3 special nodes, slot 0, then node 1:
      // presence, env presence, 3 env words, type byte, then its first real.
      {"a NaN among the values", 4 * (3 + 1 + 1 + 4 + 3 + 1 + 5) + 1, 0x7fc00000u,
       "binary model image holds a value that is not finite \\(bits 0x7fc00000\\)"},
      {"an infinite insert table value", 4 * (3 + 1 + 1), 0x7f800000u,
       "binary model image holds a value that is not finite \\(bits 0x7f800000\\)"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EXIT(
        {
          use_alphabet("DNA");
          std::string b = tiny_block();
          put_word(&b, c.offset, c.word);
          modeltest::read_text(b);
          exit(0);
        },
        testing::ExitedWithCode(1),
        std::string("^Error: test.mod\\(3\\): ") +
            (c.word == 0x7fc00000u || c.word == 0x7f800000u ? "" : "malformed binary model image: ") +
            c.message);
  }
  EXPECT_EXIT(
      {
        use_alphabet("DNA");
        std::string b = tiny_block();
        b.insert(b.size() - 10, "xy");  // two bytes too many before ENDMODEL
        modeltest::read_text(b);
        exit(0);
      },
      testing::ExitedWithCode(1),
      "^Error: test.mod\\(3\\): malformed binary model image: not followed by ENDMODEL\n");
  EXPECT_EXIT(
      {
        use_alphabet("DNA");
        modeltest::read_text("MODEL\n\nBINARY\nNODELABELS 1-1: 3\nthere is no alphabet line\n");
        exit(0);
      },
      testing::ExitedWithCode(1), "^Error: unexpected EOF on test.mod\n$");
}

TEST(ModelReadBinary, PreambleLinesAndFlag) {
  in_child([] {
    use_alphabet("DNA");
    std::string b = tiny_block();
    b.insert(sizeof preamble - 1 - std::string("alphabet DNA\n").size(),
             "some comment\nnodelabels 1-1: 42\n");
    RModel *text_model = modeltest::read_text("MODEL\nalphabet DNA\nENDMODEL\n");
    EXPECT_EQ(last_model_read_binary(), 0);
    RModel *rm = nullptr;
    EXPECT_EQ(stderr_of([&] { rm = modeltest::read_text(b); }), "");
    EXPECT_EQ(last_model_read_binary(), 1);
    ASSERT_NE(rm->slots[1], nullptr);
    EXPECT_EQ(rm->slots[1]->label, 42);
    ASSERT_NE(rm->slots[1]->env, nullptr);
    EXPECT_EQ(rm->slots[1]->env->acc, -1);
    EXPECT_EQ(rm->end->insert[0], 0.0f) << "the end node's inserts are zeroed";
    EXPECT_EQ(rm->end->match[0], 0.5f + 9.0f / 1024.0f);
    free_rmodel(&rm);
    free_rmodel(&text_model);
    RModel *again = modeltest::read_text("MODEL\nalphabet DNA\nENDMODEL\n");
    EXPECT_EQ(last_model_read_binary(), 1) << "the flag is never reset";
    free_rmodel(&again);
  });
}

TEST(ModelReadBinary, BundlesWithoutNumberedNodes) {
  in_child([] {
    use_alphabet("protein");
    // A bundle without slot arrays (length 0) and one with only an end slot (length -1).
    RModel *no_slots = alloc_rmodel(nullptr);
    no_slots->generic = modeltest::make_node(0.75f);
    RModel *end_only = modeltest::make_rmodel(-1);
    end_only->lettcount = modeltest::make_node(0.5f);
    end_only->end_slots[0] = modeltest::make_node(0.25f);
    modeltest::set_aliases(end_only);
    for (RModel *rm : {no_slots, end_only}) {
      std::string b =
          output_of([&](FILE *out) { nice_print_rmodel(out, rm, "REGULARIZER", "r", nullptr, 1); });
      RModel *back = nullptr;
      EXPECT_EQ(stderr_of([&] { back = modeltest::read_text(b); }), "");
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(back->length, rm->length);
      EXPECT_EQ(back->slot_count, rm->slot_count);
      EXPECT_TRUE(modeltest::same_node_bits(rm->generic, back->generic, true));
      EXPECT_TRUE(modeltest::same_node_bits(rm->lettcount, back->lettcount, true));
      EXPECT_EQ(back->end != nullptr, rm->end != nullptr);
      if (back->end != nullptr) {
        EXPECT_EQ(back->end->djump[0], 0.25f);
      }
      free_rmodel(&back);
    }
    free_rmodel(&no_slots);
    free_rmodel(&end_only);
  });
}
