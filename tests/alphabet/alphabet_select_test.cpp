// Alphabet selection and definition: installing on tracks, selecting built-ins by name, letter and
// numeric definitions, alphabet parameter lines, and the guess from a sequence file.
// Every test saves and restores the process-wide alphabet state (AlphabetState); fatal paths run
// in death-test children.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "alphabet/alphabet.h"
#include "alphabet/alphabet_test_support.h"
#include "init/init.h"

namespace {

using alphatest::AlphabetState;
using testing::Eq;
using testing::ExitedWithCode;

const std::string kLegal =
    "Legal alphabets are:   DNA  CODON  RNA  protein  DSSP  EHL  EHL2  EHTL  EHTL2  EBHTL  EBGHSTL  EBGHTL"
    "  STRIDE  PB  STR  ANG  BYS  TCO  ALPHA  STR2  CB_BURIAL_12_7  CB_BURIAL_14_7  CB_BURIAL_16_7  "
    "BURIAL_8_7"
    "  BURIAL_9_7  BURIAL_10_7  CA_BURIAL_12_7  CA_BURIAL_14_7  ABSSA7  RELSA2  RELSA3  RELSA7  RELSA10"
    "  NEAR-BACKBONE-11";

const qor::Alphabet *builtin(const char *name) {
  for (int i = 0; i < qor::NUM_BUILTIN_ALPHABETS; i++)
    if (strcmp(qor::alphabet_table[i].name, name) == 0) return &qor::alphabet_table[i];
  return nullptr;
}

// ---- Selecting built-ins ------------------------------------------------------------------------

TEST(SelectByName, NamesMatchWithoutRegardToCaseOrSeparators) {
  struct Case {
    const char *given, *selected;
  } cases[] = {{"Protein", "protein"},
               {"dna", "DNA"},
               {"codon", "CODON"},
               {"near_backbone_11", "NEAR-BACKBONE-11"},
               {"ehl2", "EHL2"}};
  for (const Case &c : cases) {
    AlphabetState state;
    qor::init_alphabet_by_name(c.given, 0, "here");
    EXPECT_EQ(qor::alphabets[0], builtin(c.selected)) << c.given;
    EXPECT_EQ(qor::alphabet, builtin(c.selected)) << c.given;
    EXPECT_EQ(qor::num_alphabets, 1) << c.given;
    ASSERT_NE(qor::alphabetname, nullptr);
    EXPECT_STREQ(qor::alphabetname, c.selected) << c.given;
    EXPECT_NE(qor::alphabetname, qor::alphabets[0]->name) << "alphabetname must be a copy";
  }
}

TEST(SelectByName, SameAlphabetTwiceIsSilentAnotherIsFatal) {
  AlphabetState state;
  qor::init_alphabet_by_name("DNA", 0, "here");
  std::string err = alphatest::stderr_of([] { qor::init_alphabet_by_name("dna", 0, "there"); });
  EXPECT_EQ(err, "");
  EXPECT_EQ(qor::num_alphabets, 1);
  EXPECT_EXIT(qor::init_alphabet_by_name("RNA", 0, "here"), ExitedWithCode(1),
              Eq(std::string("Error: alphabet is DNA, trying to set it to RNA.\n")));
}

TEST(SelectByName, OtherTracksLeaveTheCurrentAlphabet) {
  AlphabetState state;
  qor::init_alphabet_by_name("EHL", 1, "here");
  EXPECT_EQ(qor::alphabets[1], builtin("EHL"));
  EXPECT_EQ(qor::alphabet, nullptr);
  EXPECT_EQ(qor::alphabetname, nullptr);
  EXPECT_EQ(qor::num_alphabets, 1);
}

TEST(SelectByName, UserSetAlphabetParameterIsKept) {
  AlphabetState state;
  qor::mark_var_changed(&qor::alphabetname);
  qor::init_alphabet_by_name("protein", 0, "here");
  EXPECT_EQ(qor::alphabet, builtin("protein"));
  EXPECT_EQ(qor::alphabetname, nullptr);
}

TEST(SelectByName, UnknownNamesListTheLegalOnes) {
  AlphabetState state;
  EXPECT_EXIT(qor::init_alphabet_by_name("DNAX", 0, "cmdline"), ExitedWithCode(1),
              Eq("Error: cmdline: Unrecognized alphabet DNAX\n" + kLegal + "\n"));
  // A user-defined alphabet is listed but cannot be selected by name.
  qor::init_alphabet_by_def("mine", "ABC", 0, "here");
  EXPECT_EXIT(qor::init_alphabet_by_name("mine", 1, "file.params line 3"), ExitedWithCode(1),
              Eq("Error: file.params line 3: Unrecognized alphabet mine\n" + kLegal + "  mine\n"));
}

TEST(SelectByName, TracksOutsideTheSixAreRefused) {
  AlphabetState state;
  EXPECT_EXIT(qor::init_alphabet_by_name("DNA", 6, "here"), ExitedWithCode(1),
              Eq(std::string("Error: set_alphabet: track 6 is out of range; tracks are numbered 0 to 5\n")));
  EXPECT_EXIT(qor::init_alphabet_by_def("x", "ABC", -1, "here"), ExitedWithCode(1),
              Eq(std::string("Error: here: track -1 is out of range; tracks are numbered 0 to 5\n")));
}

// ---- Defining alphabets -------------------------------------------------------------------------

TEST(DefineAlphabet, LetterAlphabet) {
  AlphabetState state;
  qor::init_alphabet_by_def("abc3", "aBc", 0, "here");
  const qor::Alphabet *a = qor::alphabets[0];
  ASSERT_EQ(a, &qor::alphabet_table[qor::NUM_BUILTIN_ALPHABETS]);
  EXPECT_EQ(qor::alphabet, a);
  EXPECT_EQ(a->internal_id, qor::ALPHABET_DEF_ID);
  EXPECT_STREQ(a->name, "abc3");
  EXPECT_STREQ(a->letters, "ABC");
  EXPECT_EQ(a->comment, nullptr);
  EXPECT_EQ(a->convert, nullptr);
  EXPECT_EQ(a->length, 2);
  EXPECT_EQ(a->wild_length, 3);
  EXPECT_EQ(a->flength, 2);
  EXPECT_EQ(a->fwild_length, 3);
  EXPECT_EQ(a->digit_table, nullptr);
  EXPECT_EQ(a->num_digits, 0);
  for (int i = 0; i < 9; i++)
    EXPECT_EQ(a->transition_regularizer[i], builtin("protein")->transition_regularizer[i]);
  for (int i = 0; i < qor::MAX_ALPHA_LENGTH; i++) {
    EXPECT_EQ(a->match_regularizer[i], i < 2 ? 0.5f : 0.0f) << i;
    EXPECT_EQ(a->insert_regularizer[i], i < 2 ? 0.5f : 0.0f) << i;
  }
  EXPECT_EQ(a->translate['a'], 0);
  EXPECT_EQ(a->translate['B'], 1);
  EXPECT_EQ(a->translate['c'], 2);
  EXPECT_EQ(a->translate['Z'], 2);
  EXPECT_EQ(a->translate[0xE9], 2);
  EXPECT_STREQ(qor::alphabetname, "abc3");
  EXPECT_EQ(qor::alphabet_id_to_info(qor::ALPHABET_DEF_ID), a);
}

TEST(DefineAlphabet, NumericAlphabetsAndTheirDigitTables) {
  struct Case {
    const char *spec;
    int n, num_digits;
    // value -> its digits, least significant first
    int value;
    const char *digits;
  } cases[] = {
      {"20", 20, 2, 20, "\0\2"},      {"20", 20, 2, 7, "\7\0"},     {"20abc", 20, 2, 19, "\11\1"},
      {"10", 10, 1, 9, "\11"},        {"10", 10, 1, 10, "\0"},      {"11", 11, 2, 10, "\0\1"},
      {"3", 3, 1, 3, "\3"},           {"100", 100, 2, 100, "\0\0"}, {"101", 101, 3, 100, "\0\0\1"},
      {"128", 128, 3, 127, "\7\2\1"},
  };
  for (const Case &c : cases) {
    AlphabetState state;
    qor::init_alphabet_by_def("num", c.spec, 0, "here");
    const qor::Alphabet *a = qor::alphabets[0];
    ASSERT_NE(a, nullptr);
    SCOPED_TRACE(c.spec);
    EXPECT_EQ(a->letters, nullptr);
    EXPECT_EQ(a->wild_length, c.n);
    EXPECT_EQ(a->length, c.n - 1);
    EXPECT_EQ(a->flength, c.n - 1);
    EXPECT_EQ(a->fwild_length, c.n);
    EXPECT_EQ(a->num_digits, c.num_digits);
    ASSERT_NE(a->digit_table, nullptr);
    for (int j = 0; j < c.num_digits; j++)
      EXPECT_EQ(a->digit_table[c.value * c.num_digits + j], c.digits[j])
          << "value " << c.value << " digit " << j;
    EXPECT_EQ(a->match_regularizer[0], 1.0f / static_cast<float>(c.n - 1));
    EXPECT_EQ(a->match_regularizer[c.n - 2], 1.0f / static_cast<float>(c.n - 1));
    for (int b = 0; b < 256; b++) EXPECT_EQ(a->translate[b], c.n - 1) << b;
  }
}

TEST(DefineAlphabet, RefusedDefinitions) {
  const std::string long_letters(129, 'A');
  struct Case {
    const char *spec;
    std::string message;
  } cases[] = {
      {"AB", "Error: here: minimum defined alphabet is two letters plus a wild character\n"},
      {"2", "Error: here: minimum defined alphabet is two letters plus a wild character\n"},
      {"A1C", "Error: here: alphabet can only contain alphabetic characters, got \"A1C\"\n"},
      {"AB-C", "Error: here: alphabet can only contain alphabetic characters, got \"AB-C\"\n"},
      {"300",
       "Error: here: numeric alphabet bad is defined with 300 characters; only 255 characters are "
       "permitted\n"},
      {"99999999999999",
       "Error: here: numeric alphabet bad is defined with 2147483647 characters; only 255 characters are "
       "permitted\n"},
      {"255",
       "Error: here: alphabet bad is defined with 255 characters; at most 128 (MAX_ALPHA_LENGTH) are "
       "permitted\n"},
      {"129",
       "Error: here: alphabet bad is defined with 129 characters; at most 128 (MAX_ALPHA_LENGTH) are "
       "permitted\n"},
      {long_letters.c_str(),
       "Error: here: alphabet bad is defined with 129 characters; at most 128 (MAX_ALPHA_LENGTH) are "
       "permitted\n"},
  };
  AlphabetState state;
  for (const Case &c : cases)
    EXPECT_EXIT(qor::init_alphabet_by_def("bad", c.spec, 0, "here"), ExitedWithCode(1), Eq(c.message))
        << c.spec;
  qor::init_alphabet_by_def("full", std::string(128, 'A').c_str(), 0, "here");
  EXPECT_EQ(qor::alphabets[0]->flength, 127);
}

TEST(DefineAlphabet, RedefiningATrack) {
  AlphabetState state;
  qor::init_alphabet_by_def("sec", "EHLX", 0, "here");
  qor::init_alphabet_by_def("num", "20", 1, "here");
  std::string err = alphatest::stderr_of([] {
    qor::init_alphabet_by_def("sec", "EHLX", 0, "again");
    qor::init_alphabet_by_def("sec", "ehlx", 0, "again");  // the letters are stored in upper case
    qor::init_alphabet_by_def("num", "20", 1, "again");
  });
  EXPECT_EQ(err, "");
  EXPECT_EQ(qor::num_alphabets, 2);
  EXPECT_EQ(qor::alphabet_table[qor::NUM_BUILTIN_ALPHABETS + 2].name, nullptr) << "no further slot used";
  EXPECT_EXIT(qor::init_alphabet_by_def("other", "EHLX", 0, "again"), ExitedWithCode(1),
              Eq(std::string("Error: again: alphabet is sec, tried to set it to other.\n")));
  EXPECT_EXIT(qor::init_alphabet_by_def("sec", "EHCX", 0, "again"), ExitedWithCode(1),
              Eq(std::string(
                  "Error: again: alphabet is sec, is defined as \"EHLX\" tried to set it to \"EHCX\".\n")));
  EXPECT_EXIT(
      qor::init_alphabet_by_def("num", "21", 1, "again"), ExitedWithCode(1),
      Eq(std::string("Error: again: numeric alphabet is num, is defined as 20 tried to set it to 21.\n")));
  EXPECT_EXIT(
      qor::init_alphabet_by_def("num", "ABC", 1, "again"), ExitedWithCode(1),
      Eq(std::string("Error: again: alphabet is num, is defined as \"\" tried to set it to \"ABC\".\n")));
}

TEST(DefineAlphabet, SeventhDefinitionIsFatal) {
  AlphabetState state;
  qor::process_alphabet("alphabet_def a1 ABC a2 ABD a3 ABE a4 ABF a5 ABG a6 5", -1, "here");
  for (int t = 0; t < qor::MAX_TRACKS; t++)
    EXPECT_EQ(qor::alphabets[t], &qor::alphabet_table[qor::NUM_BUILTIN_ALPHABETS + t]) << t;
  EXPECT_EXIT(qor::find_empty_def("there"), ExitedWithCode(1),
              Eq(std::string("Error: there: to many alphabet_def alphabets specified\n")));
  // With a free track the definition itself reaches the full table.
  qor::alphabets[5] = nullptr;
  EXPECT_EXIT(qor::init_alphabet_by_def("a7", "ABH", 5, "there"), ExitedWithCode(1),
              Eq(std::string("Error: there: to many alphabet_def alphabets specified\n")));
}

// ---- Parameter lines ----------------------------------------------------------------------------

TEST(ProcessAlphabet, NamesGoToConsecutiveTracks) {
  AlphabetState state;
  EXPECT_EQ(qor::process_alphabet("alphabet DNA,EHL", -1, "here"), nullptr);
  EXPECT_EQ(qor::alphabets[0], builtin("DNA"));
  EXPECT_EQ(qor::alphabets[1], builtin("EHL"));
  EXPECT_EQ(qor::alphabet, builtin("DNA"));
  EXPECT_EQ(qor::num_alphabets, 2);
  EXPECT_EQ(qor::alphabet_def, nullptr) << "only alphabet_def lines change alphabet_def";
}

TEST(ProcessAlphabet, AGivenTrackTakesOneAlphabetAndBecomesCurrent) {
  AlphabetState state;
  qor::process_alphabet("a\tprotein\r\n", -1, "here");
  EXPECT_EQ(qor::process_alphabet("alphabet EBGHTL", 2, "model.mod"), builtin("EBGHTL"));
  EXPECT_EQ(qor::alphabets[2], builtin("EBGHTL"));
  EXPECT_EQ(qor::alphabet, builtin("EBGHTL"));
  EXPECT_EQ(qor::process_alphabet("alphabet_def sec EHLX", 3, "model.mod"), qor::alphabets[3]);
  EXPECT_STREQ(qor::alphabets[3]->name, "sec");
  EXPECT_EXIT(qor::process_alphabet("alphabet DNA EHL", 1, "model.mod"), ExitedWithCode(1),
              Eq(std::string("Error: model.mod: bug: number of tracks must be one\n")));
  EXPECT_EXIT(qor::process_alphabet("alphabet_def s1 ABC s2 ABD", 4, "model.mod"), ExitedWithCode(1),
              Eq(std::string("Error: model.mod: bug: number of tracks must be one\n")));
}

TEST(ProcessAlphabet, AlphabetDefPairsAndTheJoinedSetting) {
  AlphabetState state;
  qor::process_alphabet("Alphabet_Def  protein -, sec\tehlx,\n num 12", -1, "here");
  EXPECT_EQ(qor::alphabets[0], builtin("protein"));
  EXPECT_STREQ(qor::alphabets[1]->name, "sec");
  EXPECT_STREQ(qor::alphabets[1]->letters, "EHLX");
  EXPECT_EQ(qor::alphabets[2]->wild_length, 12);
  EXPECT_EQ(qor::num_alphabets, 3);
  ASSERT_NE(qor::alphabet_def, nullptr);
  EXPECT_STREQ(qor::alphabet_def, "protein - sec ehlx num 12");
  EXPECT_STREQ(qor::alphabetname, "protein");
}

TEST(ProcessAlphabet, MalformedLines) {
  AlphabetState state;
  struct Case {
    const char *line;
    int track;
    std::string message;
  } cases[] = {
      {"alphabet", -1, "Error: f:1: alphabet must have a list of one or more alphabet names\n"},
      {"", -1, "Error: f:1: alphabet must have a list of one or more alphabet names\n"},
      {"alphabet_def", -1,
       "Error: f:1: alphabet_def must have a list of pairs of alphabet name and letters\n"},
      {"alphabet_def sec", -1,
       "Error: f:1: alphabet_def must have a list of pairs of alphabet name and letters\n"},
      {"alphabet_def sec EHLX num", -1,
       "Error: f:1: alphabet_def must have a list of pairs of alphabet name and letters\n"},
      {"alphabet DNA EHL EHL2 EHTL EHTL2 EBHTL STRIDE", -1,
       "Error: f:1: 7 alphabets given from track 0, but at most 6 tracks are supported\n"},
      {"alphabet_def mystery -", -1, "Error: f:1: Unrecognized alphabet mystery\n" + kLegal + "\n"},
      {"alphabet DNA protein", 0, "Error: f:1: bug: number of tracks must be one\n"},
  };
  for (const Case &c : cases)
    EXPECT_EXIT(qor::process_alphabet(c.line, c.track, "f:1"), ExitedWithCode(1), Eq(c.message)) << c.line;
}

// ---- Ensuring an alphabet -----------------------------------------------------------------------

TEST(CheckAlphabet, GuessesTrackZeroFromTheFile) {
  alphatest::TempDir dir;
  struct Case {
    const char *content;
    const char *selected;
  } cases[] = {
      {">s1\nACGTACGTTT\n>s2\nGGCCAATT\n", "DNA"},
      {">s1\nACGUACGUUU\n", "RNA"},
      {">s1\nACGACGACCA\n", "DNA"},  // nucleic: neither T nor U
      {">s1 protein\nMKVLAAGIVLLLAW\n", "protein"},
      {"", "protein"},  // an empty file counts as protein
  };
  for (const Case &c : cases) {
    AlphabetState state;
    std::string path = dir.write("guess.fa", c.content);
    qor::check_alphabet(path.c_str());
    EXPECT_EQ(qor::alphabets[0], builtin(c.selected)) << c.content;
    EXPECT_EQ(qor::alphabet, builtin(c.selected)) << c.content;
  }
}

TEST(CheckAlphabet, AnAlphabetAlreadySetIsKept) {
  AlphabetState state;
  qor::init_alphabet_by_name("EHL", 0, "here");
  qor::check_alphabet("/nonexistent/file/never/opened");
  EXPECT_EQ(qor::alphabet, builtin("EHL"));
}

TEST(CheckAlphabet, NoHelpFromTheFile) {
  AlphabetState state;
  alphatest::TempDir dir;
  std::string path = dir.write("digits.fa", ">s1\n1234 5678\n");
  EXPECT_EXIT(qor::check_alphabet(path.c_str()), ExitedWithCode(1),
              Eq("Error: No alphabet specified and file " + path + " no help.\n"));
}

TEST(CheckAlphabet, WithoutAFileUsesTheFirstSequenceFileParameter) {
  AlphabetState state;
  // In this test program no sequence-file parameter is set.
  EXPECT_EXIT(qor::check_alphabet(nullptr), ExitedWithCode(1),
              Eq(std::string("Error: No sequence file found to set alphabet.\n")));
  alphatest::TempDir dir;
  std::string path = dir.write("db.fa", ">s1\nACGUU\n");
  char *list[] = {const_cast<char *>(path.c_str()), nullptr};
  char **saved_list = qor::dblist;
  int32_t saved_count = qor::dblistcount;
  qor::dblist = list;
  qor::dblistcount = 1;
  qor::check_alphabet(nullptr);
  qor::dblist = saved_list;
  qor::dblistcount = saved_count;
  EXPECT_EQ(qor::alphabet, builtin("RNA"));
}

}  // namespace
