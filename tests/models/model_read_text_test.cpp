// Model file reading, text bodies: line kinds, node records, types, FIM marking, the reader's
// warnings and its fatal errors, the fixture profile, and the positions the reader leaves.
#include <gtest/gtest.h>

#include <cmath>

#include "model_test_support.h"

using namespace qor;
using modeltest::in_child;
using modeltest::numbers;
using modeltest::read_text;
using modeltest::stderr_of;
using modeltest::use_alphabet;

namespace {

// DNA node records hold 17 numbers: 9 transitions, 4 match and 4 insert values.
const std::string N17 = numbers(17);

// The four line-end variants of one text: LF or CRLF, with or without the final line end.
std::vector<std::string> line_end_variants(const std::string &text) {
  std::string bare = text;
  if (!bare.empty() && bare.back() == '\n') bare.pop_back();
  return {text, bare, modeltest::crlf(text), modeltest::crlf(bare)};
}

struct TextCase {
  const char *what;
  std::string text;
  std::function<void(RModel *)> check;
};

std::vector<TextCase> text_cases() {
  return {
      {"missing node numbers leave empty slots",
       "MODEL -- gaps\nalphabet DNA\n1" + N17 + "\n2" + N17 + "\n5" + N17 + "\nENDMODEL\n",
       [](RModel *rm) {
         EXPECT_EQ(rm->length, 5);
         EXPECT_EQ(rm->neg_count, 0);
         EXPECT_EQ(rm->slot_count, 7);
         for (int k = 0; k <= 6; k++) EXPECT_EQ(rm->slots[k] != nullptr, k == 1 || k == 2 || k == 5) << k;
         EXPECT_EQ(rm->begin, nullptr);
         EXPECT_EQ(rm->end, nullptr);
         EXPECT_FLOAT_EQ(rm->slots[5]->insert[3], 0.17f);
       }},
      {"lettered kinds by their first character only",
       "MODEL\nalphabet DNA\ngeneric" + N17 + "\nLettcount" + N17 + "\nF" + N17 + "\nBegin" + N17 + "\nEnd" +
           N17 + "\n 7" + N17 + "\nENDMODEL\n",
       [](RModel *rm) {
         EXPECT_EQ(rm->length, 7);
         ASSERT_NE(rm->generic, nullptr);
         ASSERT_NE(rm->lettcount, nullptr);
         ASSERT_NE(rm->freqave, nullptr);
         ASSERT_NE(rm->begin, nullptr);
         ASSERT_NE(rm->end, nullptr);
         EXPECT_EQ(rm->begin, rm->slots[0]);
         EXPECT_EQ(rm->end, rm->end_slots[0]);
         EXPECT_EQ(rm->end_slots, rm->slots + 8);
         EXPECT_NE(rm->slots[7], nullptr) << "an indented record is a numbered node";
         EXPECT_FLOAT_EQ(rm->generic->djump[0], 0.01f);
       }},
      {"types from TYPE lines and type words",
       "MODEL\nalphabet DNA\nTYPE 3 f\n3" + N17 + "\n2 c" + N17 + "\nTYPE 4 $\nTYPE 0 D\nBegin" + N17 +
           "\nENDMODEL\n",
       [](RModel *rm) {
         EXPECT_EQ(rm->length, 4);
         EXPECT_EQ(rm->slots[3]->type, 'F') << "the record takes the type of the earlier TYPE line";
         EXPECT_EQ(rm->slots[2]->type, 'C');
         ASSERT_NE(rm->slots[4], nullptr) << "a TYPE line creates its node";
         EXPECT_EQ(rm->slots[4]->type, '$');
         EXPECT_EQ(rm->slots[4]->djump[0], 0.0f);
         EXPECT_EQ(rm->slots[0]->type, 'D');
         EXPECT_FLOAT_EQ(rm->slots[0]->mjump[0], 0.04f);
       }},
      {"a first match value below -0.00001 marks a FIM",
       "MODEL\nalphabet DNA\n1" + numbers(9) + " -1" + numbers(7) + "\n2" + numbers(9) + " -0.000001" +
           numbers(7) + "\nENDMODEL\n",
       [](RModel *rm) {
         EXPECT_EQ(rm->slots[1]->type, 'F');
         EXPECT_EQ(rm->slots[2]->type, 0);
       }},
      {"comments, blank lines and numbers split over lines",
       "MODEL -- split\n\n% a comment\n;another\nalphabet DNA\n1" + numbers(9) + " % nine so far\n" +
           numbers(4, 0.1) + "\n\n%\n" + numbers(4, 0.2) + "\n2" + numbers(9) + numbers(4, 0.1) +
           numbers(4, 0.2) + "\nENDMODEL\n",
       [](RModel *rm) {
         ASSERT_NE(rm->slots[1], nullptr);
         ASSERT_NE(rm->slots[2], nullptr);
         EXPECT_EQ(memcmp(rm->slots[1]->block, rm->slots[2]->block, 17 * sizeof(float)), 0)
             << "a record over several lines reads like its one-line form";
       }},
      {"node-label lines are applied after the block",
       "MODEL\nNODELABELS 1-2: 10\nalphabet DNA\n1" + N17 + "\n2" + N17 + "\n3" + N17 +
           "\nN 3 - 3 : 30\nENDMODEL\n",
       [](RModel *rm) {
         EXPECT_EQ(rm->slots[1]->label, 10);
         EXPECT_EQ(rm->slots[2]->label, 11);
         EXPECT_EQ(rm->slots[3]->label, 30);
       }},
      {"a repeated record replaces the node and keeps its type",
       "MODEL\nalphabet DNA\n1 C" + N17 + "\n1" + numbers(17, 0.5) + "\nENDMODEL\n",
       [](RModel *rm) {
         EXPECT_EQ(rm->slots[1]->type, 'C');
         EXPECT_FLOAT_EQ(rm->slots[1]->djump[0], 0.5f);
       }},
      {"an empty block has no nodes", "MODEL\nalphabet DNA\nENDMODEL\n",
       [](RModel *rm) {
         EXPECT_EQ(rm->length, -1);
         EXPECT_EQ(rm->slot_count, 1);
         EXPECT_EQ(rm->end_slots, rm->slots);
         EXPECT_EQ(rm->generic, nullptr);
       }},
  };
}

}  // namespace

TEST(ModelReadText, LineKindsAndRecords) {
  for (const TextCase &c : text_cases()) {
    std::vector<std::string> variants = line_end_variants(c.text);
    for (size_t v = 0; v < variants.size(); v++) {
      SCOPED_TRACE(std::string(c.what) + ", line-end variant " + std::to_string(v));
      in_child([&] {
        use_alphabet("DNA");
        std::string err;
        RModel *rm = nullptr;
        err = stderr_of([&] { rm = read_text(variants[v]); });
        EXPECT_EQ(err, "");
        ASSERT_NE(rm, nullptr);
        c.check(rm);
        free_rmodel(&rm);
      });
    }
  }
}

TEST(ModelReadText, HeaderKindAndTextAndStreamPosition) {
  in_child([] {
    use_alphabet("DNA");
    std::string text = "junk line\nMODEL:x -- globins, 2 sequences\r\nalphabet DNA\n1" + N17 +
                       "\nENDMODEL trailing\nREGULARIZER   ---   second\nGENERIC" + N17 +
                       "\nENDMODEL\nafter\n";
    FILE *f = modeltest::stream_of(text);
    char kind[200], rest[200];
    int line = 0;
    RModel *a = read_rmodel(f, "two.mod", &line, nullptr, kind, rest, 0);
    EXPECT_STREQ(kind, "MODEL");
    EXPECT_STREQ(rest, "globins, 2 sequences");
    EXPECT_EQ(line, 5) << "the search counts the lines it passes";
    EXPECT_EQ(a->length, 1);
    // The stream is left after the ENDMODEL line: the next search finds the second block.
    char header[MODEL_LINE_BUFFER];
    int untouched = 42;
    ASSERT_EQ(read_to_next_model(f, &untouched, header, sizeof header), 1);
    EXPECT_EQ(untouched, 42);
    EXPECT_STREQ(header, "REGULARIZER   ---   second\n");
    RModel *b = read_rmodel(f, "two.mod", &line, header, kind, rest, 0);
    EXPECT_STREQ(kind, "REGULARIZER");
    EXPECT_STREQ(rest, "second");
    EXPECT_EQ(b->length, -1);
    EXPECT_NE(b->generic, nullptr);
    char after[100];
    ASSERT_NE(fgets(after, sizeof after, f), nullptr);
    EXPECT_STREQ(after, "after\n");
    EXPECT_EQ(read_to_next_model(f, &untouched, header, sizeof header), 0);
    fclose(f);
    free_rmodel(&a);
    free_rmodel(&b);
  });
}

// The reader's warnings, compared whole.
TEST(ModelReadText, Warnings) {
  struct Case {
    const char *what;
    std::string text;
    std::string err;
    std::function<void(RModel *)> check;
  } cases[] = {
      {"too few numbers before ENDMODEL", "MODEL\nalphabet DNA\n1" + numbers(16) + "\nENDMODEL\n",
       "test.mod(3): Too few entries in a regularizer or model node\n"
       "\t check alphabet (was 16 should be 17 for alphabet DNA)\n",
       [](RModel *rm) {
         EXPECT_EQ(rm->length, 1);
         EXPECT_FLOAT_EQ(rm->slots[1]->insert[2], 0.16f) << "the node keeps what was read";
         EXPECT_EQ(rm->slots[1]->insert[3], 0.0f);
       }},
      {"too few numbers before the next record",
       "MODEL\nalphabet DNA\nBegin" + numbers(8) + "\n\nEnd" + N17 + "\nENDMODEL\n",
       "test.mod(3): Too few entries in a regularizer or model node\n"
       "\t check alphabet (was 8 should be 17 for alphabet DNA)\n",
       [](RModel *rm) {
         EXPECT_NE(rm->begin, nullptr);
         EXPECT_NE(rm->end, nullptr) << "the record after the short one is read";
       }},
      {"extra characters, warned once per process",
       "MODEL\nalphabet DNA\n1" + numbers(18) + "\n2" + numbers(17) + " x\nENDMODEL\n",
       "test.mod(3): Extra characters (1" + numbers(18) +
           "\n) in regularizer or model node ignored ---\n"
           "   check alphabet (there should be 17 numbers for alphabet DNA).\n"
           "   Further warnings of this type suppressed.\nNode number 1\n",
       [](RModel *rm) { EXPECT_FLOAT_EQ(rm->slots[2]->insert[3], 0.17f); }},
      {"extra characters after a lettered record", "MODEL\nalphabet DNA\nGENERIC" + N17 + " 9\nENDMODEL\n",
       "test.mod(3): Extra characters (GENERIC" + N17 +
           " 9\n) in regularizer or model node ignored ---\n"
           "   check alphabet (there should be 17 numbers for alphabet DNA).\n"
           "   Further warnings of this type suppressed.\nNode name G\n",
       [](RModel *) {}},
      {"a comment after the last number is no extra character",
       "MODEL\nalphabet DNA\n1" + N17 + " % done\nENDMODEL\n", "", [](RModel *) {}},
      {"invalid lettered node", "MODEL\nalphabet DNA\nXnode" + N17 + "\n1" + N17 + "\nENDMODEL\n",
       "test.mod(3): Invalid node identifier X; node ignored\n",
       [](RModel *rm) {
         EXPECT_EQ(rm->length, 1);
         EXPECT_FLOAT_EQ(rm->slots[1]->djump[0], 0.01f);
       }},
      {"two types for one node", "MODEL\nalphabet DNA\n3 F" + N17 + "\nTYPE 3 c\nENDMODEL\n",
       "Warning: test.mod(4):  Node 3 has two types: F and c.\n",
       [](RModel *rm) { EXPECT_EQ(rm->slots[3]->type, 'C'); }},
      {"node type set twice", "MODEL\nalphabet DNA\nTYPE 0 C\nBegin d" + N17 + "\nENDMODEL\n",
       "test.mod(4):  Node type set twice.  Using D\n", [](RModel *rm) { EXPECT_EQ(rm->begin->type, 'D'); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    in_child([&] {
      use_alphabet("DNA");
      RModel *rm = nullptr;
      std::string err = stderr_of([&] { rm = read_text(c.text); });
      EXPECT_EQ(err, c.err);
      ASSERT_NE(rm, nullptr);
      c.check(rm);
      free_rmodel(&rm);
      if (std::string(c.what).find("once per process") != std::string::npos) {
        err = stderr_of([&] { rm = read_text(c.text); });
        EXPECT_EQ(err, "") << "the second model gives no second warning";
        free_rmodel(&rm);
      }
    });
  }
}

// Bad input stops through the error routine, naming the file and the line.
TEST(ModelReadText, FatalErrors) {
  std::string long_line(MODEL_LINE_BUFFER + 10, '1');
  struct Case {
    const char *what;
    std::string text;
    const char *message;  // regular expression matched against standard error
  } cases[] = {
      {"no header", "alphabet DNA\n1" + N17 + "\n", "^Error: test.mod\\(2\\):  No model found in file\n\n$"},
      {"no ENDMODEL", "MODEL\nalphabet DNA\n1" + N17 + "\n\n",
       "^Error: test.mod\\(4\\): Incomplete model -- no ENDMODEL\n\n$"},
      {"end of file inside a record", "MODEL\nalphabet DNA\n1 0.5 0.5\n",
       "Too few entries.*\nError: test.mod\\(3\\): Incomplete model -- no ENDMODEL\n"},
      {"the next block starts before ENDMODEL",
       "MODEL\nalphabet DNA\n1" + N17 + "\nMODEL -- next\nENDMODEL\n",
       "^Error: test.mod\\(4\\): Incomplete model -- no ENDMODEL\n"},
      {"node number missing", "MODEL\nalphabet DNA\n*" + N17 + "\nENDMODEL\n",
       "^Error: test.mod\\(3\\):  Node number expected\n"},
      {"node number not an integer", "MODEL\nalphabet DNA\n1.5" + N17 + "\nENDMODEL\n",
       "^Error: test.mod\\(3\\):  Node number expected\n"},
      {"TYPE line without a number", "MODEL\nalphabet DNA\nTYPE F\nENDMODEL\n",
       "^Error: test.mod\\(3\\):  Node number expected\n"},
      {"TYPE line without a type", "MODEL\nalphabet DNA\nTYPE 3\nENDMODEL\n",
       "^Error: test.mod\\(3\\): TYPE line without a node type\n"},
      {"negative node number", "MODEL\nalphabet DNA\n-3" + N17 + "\nENDMODEL\n",
       "^QOR no longer supports negatively-numbered nodes in models\n.*\n.*\nError: Aborting\n$"},
      {"negative node in a TYPE line", "MODEL\nalphabet DNA\nTYPE -1 F\nENDMODEL\n",
       "^QOR no longer supports negatively-numbered nodes in models\n.*Error: Aborting\n$"},
      {"node number beyond the limit", "MODEL\nalphabet DNA\n1000001" + N17 + "\nENDMODEL\n",
       "^Error: test.mod\\(3\\): node number 1000001 exceeds the limit of 1000000\n"},
      {"a word among the numbers", "MODEL\nalphabet DNA\n1 0.1 0.2 abc" + numbers(14) + "\nENDMODEL\n",
       "^Error: test.mod\\(3\\): invalid number \"abc\" in a regularizer or model node\n$"},
      {"a number run into the next", "MODEL\nalphabet DNA\n1 0.1 1.0.0" + numbers(15) + "\nENDMODEL\n",
       "^Error: test.mod\\(3\\): invalid number \"1.0.0\" in a regularizer or model node\n$"},
      {"a comma between numbers", "MODEL\nalphabet DNA\n1 0.1,0.2" + numbers(15) + "\nENDMODEL\n",
       "^Error: test.mod\\(3\\): invalid number \"0.1,0.2\""},
      {"a continuation line of garbage",
       "MODEL\nalphabet DNA\n1" + numbers(9) + "\n;" + numbers(8) + "\nENDMODEL\n",
       "^Error: test.mod\\(4\\): invalid number \";\""},
      {"nan", "MODEL\nalphabet DNA\n1 0.1 nan" + numbers(15) + "\nENDMODEL\n",
       "^Error: test.mod\\(3\\): invalid number \"nan\""},
      {"infinity", "MODEL\nalphabet DNA\n1 0.1 -inf" + numbers(15) + "\nENDMODEL\n",
       "^Error: test.mod\\(3\\): invalid number \"-inf\""},
      {"beyond single precision", "MODEL\nalphabet DNA\n1 0.1 1e39" + numbers(15) + "\nENDMODEL\n",
       "^Error: test.mod\\(3\\): number 1e39 is not a finite single-precision value in a regularizer or "
       "model node\n$"},
      {"a line longer than the buffer", "MODEL\nalphabet DNA\n%" + long_line + "\nENDMODEL\n",
       "^Error: test.mod\\(3\\): line longer than 99999 characters in model definition\n$"},
      {"a NUL byte", std::string("MODEL\nalphabet DNA\n1 0.1\0 0.2\nENDMODEL\n", 36),
       "^Error: test.mod\\(3\\): NUL byte in model definition\n$"},
      {"a bad node-label line", "MODEL\nalphabet DNA\nNODELABELS 1-x: 3\nENDMODEL\n",
       "^Error: test.mod: invalid node label line:\nNODELABELS 1-x: 3\n\n$"},
      {"an alphabet line after the nodes it would resize",
       "MODEL\nalphabet DNA\n1" + N17 + "\nalphabet protein\nENDMODEL\n",
       "^Error: alphabet is DNA, trying to set it to protein.\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EXIT(
        {
          use_alphabet("DNA");
          read_text(c.text);
          exit(0);
        },
        testing::ExitedWithCode(1), c.message);
  }
}

// An alphabet line for another track must precede the nodes: they are sized by the alphabet
// current when they are made.
TEST(ModelReadText, AlphabetLineAfterNodesOfAnotherSize) {
  EXPECT_EXIT(
      {
        use_alphabet("DNA");
        read_text("MODEL\n1" + N17 + "\nalphabet protein\nENDMODEL\n", nullptr, 1);
        exit(0);
      },
      testing::ExitedWithCode(1),
      "^Error: test.mod\\(3\\): the alphabet line must come before the first node record\n");
}

TEST(ModelReadText, GlobinProfile) {
  in_child([] {
    init_alphabets();
    FILE *f = fopen(QOR_TEST_DATA "/model_globins4.mod", "r");
    ASSERT_NE(f, nullptr);
    RModel *rm = nullptr;
    int line = 0;
    char kind[MODEL_LINE_BUFFER], text[MODEL_LINE_BUFFER];
    std::string err =
        stderr_of([&] { rm = read_rmodel(f, "model_globins4.mod", &line, nullptr, kind, text, 0); });
    fclose(f);
    EXPECT_EQ(err, "");
    ASSERT_NE(rm, nullptr);
    ASSERT_NE(alphabet, nullptr);
    EXPECT_STREQ(alphabet->name, "protein");
    EXPECT_STREQ(kind, "MODEL");
    EXPECT_STREQ(text, "globins4, L=149 (end core, begin core)");
    EXPECT_EQ(rm->length, 149);
    EXPECT_EQ(line, 1829) << "every line of the file is counted";
    for (int k = 0; k <= 150; k++) {
      ASSERT_NE(rm->slots[k], nullptr) << k;
      EXPECT_EQ(rm->slots[k]->type, 0) << k;
    }
    EXPECT_NE(rm->freqave, nullptr);
    EXPECT_EQ(rm->generic, nullptr);
    // Spot values from the file: node 149's transitions into D and the end node's into M.
    EXPECT_FLOAT_EQ(rm->slots[149]->djump[0], 0.3847724686f);
    EXPECT_FLOAT_EQ(rm->slots[149]->ijump[2], 0.7776735435f);
    EXPECT_FLOAT_EQ(rm->end->mjump[1], 0.8012141261f);
    EXPECT_FLOAT_EQ(rm->begin->insert[19], 0.0269102191f);
    free_rmodel(&rm);
  });
}

TEST(ModelReadText, SkipModel) {
  FILE *f = modeltest::stream_of("MODEL\n1 2 3\nBINARY\nENDMODEL\nnext\n");
  char buf[100];
  ASSERT_NE(fgets(buf, sizeof buf, f), nullptr);
  int line = 1;
  EXPECT_EQ(stderr_of([&] { skip_model(f, "p.txt", &line); }), "");
  EXPECT_EQ(line, 4);
  ASSERT_NE(fgets(buf, sizeof buf, f), nullptr);
  EXPECT_STREQ(buf, "next\n");
  fclose(f);

  f = modeltest::stream_of("1 2 3\n\n");
  line = 7;
  EXPECT_EQ(stderr_of([&] { skip_model(f, "p.txt", &line); }),
            "p.txt: ENDMODEL not found before end of file in model definition.\n");
  EXPECT_EQ(line, 9);
  fclose(f);
}
