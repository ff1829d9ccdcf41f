// Parameter entries: the entry modes and their warnings, key matching, values, lists and their
// limit, model blocks in parameter files, the line rules of parameter files, inserts and their
// depth limit, and the command-line options.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "alphabet/alphabet.h"
#include "init/init.h"

namespace {

using namespace qor;

OptionEntry *row_named(const char *name) {
  for (OptionEntry *row = read_vars; row->type != VAR_END; row++)
    if (strcmp(row->name, name) == 0) return row;
  return nullptr;
}

// Applies one entry text as process_init_entry would see it from a source.
void entry(const std::string &text, int mode = MODE_WARN, const char *source = "src", int number = 1) {
  std::vector<char> line(text.begin(), text.end());
  line.push_back('\0');
  process_init_entry(nullptr, line.data(), mode, source, &number, 0);
}

// A scratch directory for death-test children, created and removed by the parent.
struct ScratchDir {
  ScratchDir() {
    char tmpl[] = "/tmp/qorinit.XXXXXX";
    if (mkdtemp(tmpl) != nullptr) path = tmpl;
  }
  ~ScratchDir() {
    if (!path.empty()) {
      std::string command = "rm -rf '" + path + "'";
      if (system(command.c_str()) != 0) fprintf(stderr, "could not remove %s\n", path.c_str());
    }
  }
  std::string path;
};

// A scratch directory the tests write parameter files into; the tests run inside it.
class ParameterEntries : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qorinit.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    ASSERT_EQ(getcwd(old_dir_, sizeof old_dir_), old_dir_);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    reset();
  }
  void TearDown() override {
    reset();
    ASSERT_EQ(chdir(old_dir_), 0);
    std::string command = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(system(command.c_str()), 0);
  }
  static void reset() {
    initialize_variables();
    for (OptionEntry *row = read_vars; row->type != VAR_END; row++) row->changed = 0;
    verbout = stderr;
  }
  static void write(const std::string &name, const std::string &content) {
    std::ofstream out(name, std::ios::binary);
    out << content;
  }
  // Reads a parameter file and returns what it wrote to standard error.
  static std::string read_file(const char *name, int mode = MODE_WARN, int model_kinds = 0) {
    testing::internal::CaptureStderr();
    read_init(name, mode, model_kinds);
    return testing::internal::GetCapturedStderr();
  }
  static std::string apply(const std::string &text, int mode = MODE_WARN, const char *source = "src",
                           int number = 1) {
    testing::internal::CaptureStderr();
    entry(text, mode, source, number);
    return testing::internal::GetCapturedStderr();
  }

  std::string dir_;
  char old_dir_[4096];
};

// ---- Entry modes ------------------------------------------------------------------------------

TEST_F(ParameterEntries, SecondSettingFollowsTheEntryMode) {
  struct Case {
    int mode;
    const char *first, *second;  // entry texts
    const char *message;         // of the second entry
    bool replaced;
  };
  const Case cases[] = {
      {MODE_WARN, "maxmem 5000000\n", "maxmem 6000000\n",
       "src(1): maxmem has already been set. Using 6000000.\n", true},
      {MODE_SILENT, "maxmem 5000000\n", "maxmem 6000000\n", "", true},
      {MODE_KEEP, "maxmem 5000000\n", "maxmem 6000000\n", "", false},
      {MODE_WARN, "ppscale 2.5\n", "ppscale 3.5\n", "src(1): ppscale has already been set. Using 3.5.\n",
       true},
      {MODE_KEEP, "ppscale 2.5\n", "ppscale 3.5\n", "", false},
      {MODE_WARN, "model_file a.mod\n", "model_file b.mod\n",
       "src(1): model_file has already been set.  Using b.mod.\n", true},
      {MODE_SILENT, "model_file a.mod\n", "model_file b.mod\n", "", true},
      {MODE_KEEP, "model_file a.mod\n", "model_file b.mod\n", "", false},
      {MODE_WARN, "alignfile x.hssp\n", "alignfile y.hssp\n",
       "src(1): alignfile has already been set.  Using y.hssp.\n", true},
      {MODE_WARN, "prior_library a.lib\n", "prior_library b.lib\n",
       "src(1): prior_library has already been set.  Using b.lib.\n", true},
  };
  for (const auto &c : cases) {
    reset();
    EXPECT_EQ(apply(c.first, MODE_WARN), "") << c.first;  // the first setting is never a repeat
    EXPECT_EQ(apply(c.second, c.mode), c.message) << c.second << " mode " << c.mode;
    if (strncmp(c.second, "maxmem", 6) == 0) {
      EXPECT_EQ(maxmem, c.replaced ? 6000000 : 5000000);
      EXPECT_EQ(var_changed(&maxmem), 1);
    } else if (strncmp(c.second, "ppscale", 7) == 0) {
      EXPECT_EQ(ppscale, c.replaced ? 3.5 : 2.5);
    } else if (strncmp(c.second, "model_file", 10) == 0) {
      EXPECT_STREQ(model_filename, c.replaced ? "b.mod" : "a.mod");
    }
  }
  // A row still at its default is set in every mode, MODE_KEEP included.
  reset();
  EXPECT_EQ(apply("maxmem 1000\n", MODE_KEEP), "");
  EXPECT_EQ(maxmem, 1000);
  EXPECT_EQ(var_changed(&maxmem), 1);
}

TEST_F(ParameterEntries, KeysMatchIgnoringCaseAndSeparatorsAndTheFirstRowWins) {
  EXPECT_EQ(apply("Max-Mem 5000\n"), "");
  EXPECT_EQ(maxmem, 5000);
  EXPECT_EQ(apply("modelfile m.mod\n"), "");  // model keys are case-sensitive prefixes
  EXPECT_STREQ(model_filename, "m.mod");
  // An alias sets the shared variable but marks its own row.
  EXPECT_EQ(apply("syncfile s.seq\n"), "");
  EXPECT_STREQ(synchfile, "s.seq");
  EXPECT_EQ(row_named("syncfile")->changed, 1);
  EXPECT_EQ(row_named("synchfile")->changed, 0);
  EXPECT_EQ(apply("sw_score 1\n"), "");
  EXPECT_EQ(SW_score, 1);
  EXPECT_EQ(var_changed(&SW_score), 0);  // the SW row's flag
  // A trailing separator is not skipped: "maxmem-" is no row.
  EXPECT_EQ(apply("maxmem- 7\n"), "src(1):  Could not understand maxmem- 7\n");
}

TEST_F(ParameterEntries, ValueIsTheTrimmedRestOfTheLine) {
  EXPECT_EQ(apply("   model_file \t a b  c \t \r\n"), "");
  EXPECT_STREQ(model_filename, "a b  c");
  EXPECT_EQ(apply("offset -5\n"), "");
  EXPECT_EQ(offset, -5.0);
  EXPECT_EQ(apply("maxmem 123abc\n"), "");  // characters after the number are ignored
  EXPECT_EQ(maxmem, 123);
  EXPECT_EQ(apply("pptrim 0.25xyz\n"), "");
  EXPECT_EQ(pptrim, 0.25);
}

TEST_F(ParameterEntries, MessagesForUnusableEntries) {
  struct Case {
    const char *text, *message;
  };
  const Case cases[] = {
      {"nosuch 5\n", "src(1):  Could not understand nosuch 5\n"},
      {"   nosuch    5  \n", "src(1):  Could not understand nosuch    5\n"},
      {"MaxMem\n", "src(1):  Value not specified for MaxMem\n"},
      {"db   \n", "src(1):  Value not specified for db\n"},
      {"% maxmem 5\n", ""},
      {"   \t \n", ""},
      {"", ""},
  };
  for (const auto &c : cases) EXPECT_EQ(apply(c.text), c.message) << c.text;
  EXPECT_EQ(maxmem, 20000000);
  EXPECT_EQ(dblistcount, 0);
  EXPECT_EQ(var_changed(&maxmem), 0);
}

TEST_F(ParameterEntries, VerboseSwitchesTheProgressStreamInEveryMode) {
  EXPECT_EQ(apply("verbose 0\n", MODE_WARN), "");
  EXPECT_EQ(verbout, nullptr);
  EXPECT_EQ(apply("verbose 1\n", MODE_KEEP), "");
  EXPECT_EQ(verbout, stderr);
  EXPECT_EQ(verbose, 1);
  EXPECT_EQ(apply("verbose 0\n", MODE_KEEP), "");  // no "already set" rule for verbose
  EXPECT_EQ(verbout, nullptr);
  EXPECT_EQ(var_changed(&verbose), 0);
}

TEST(ParameterEntriesDeathTest, NumbersThatDoNotParseAreFatal) {
  struct Case {
    const char *text, *pattern;
  };
  const Case cases[] = {
      {"maxmem abc\n", "^Error: f\\(4\\):  Incorrect type or missing value for maxmem\n\n$"},
      {"ppscale x\n", "^Error: f\\(4\\):  Incorrect type or missing value for ppscale\n\n$"},
      {"verbose on\n", "^Error: f\\(4\\):  Incorrect type or missing value for verbose\n\n$"},
      {"verbose\n", "^Error: f\\(4\\):  Incorrect type or missing value for verbose\n\n$"},
      // Out of the 32-bit range: refused rather than wrapped.
      {"maxmem 99999999999\n", "^Error: f\\(4\\):  Incorrect type or missing value for maxmem\n\n$"},
      // Count rows follow their lists and cannot be set.
      {"dblistcount 150\n",
       "^Error: f\\(4\\):  dblistcount is the count of the list db and cannot be set\n$"},
  };
  for (const auto &c : cases) {
    initialize_variables();
    EXPECT_EXIT(entry(c.text, MODE_WARN, "f", 4), testing::ExitedWithCode(1), c.pattern) << c.text;
  }
}

// ---- Lists ------------------------------------------------------------------------------------

TEST_F(ParameterEntries, ListsAppendInEveryModeUpToTheirLimit) {
  EXPECT_EQ(apply("db a.seq\n", MODE_WARN), "");
  EXPECT_EQ(apply("db b.seq\n", MODE_WARN), "");
  EXPECT_EQ(apply("db c.seq\n", MODE_KEEP), "");
  EXPECT_EQ(apply("NOT-ID x y\n", MODE_SILENT), "");
  ASSERT_EQ(dblistcount, 3);
  EXPECT_STREQ(dblist[0], "a.seq");
  EXPECT_STREQ(dblist[1], "b.seq");
  EXPECT_STREQ(dblist[2], "c.seq");
  ASSERT_EQ(notidlistcount, 1);
  EXPECT_STREQ(notidlist[0], "x y");
  EXPECT_EQ(var_changed(&dblist), 1);

  for (int k = 3; k < MAX_LIST_VALUES; k++) ASSERT_EQ(apply("db f" + std::to_string(k) + "\n"), "");
  EXPECT_EQ(dblistcount, 100);
  EXPECT_EQ(apply("db extra.seq\n"), "Only 100 db values can be specified.  Skipping extra.seq.\n");
  EXPECT_EQ(dblistcount, 100);
  EXPECT_STREQ(dblist[99], "f99");
}

TEST_F(ParameterEntries, AddToStringListCopiesTheValue) {
  char value[] = "file.seq";
  add_to_string_list(row_named("dbguide"), value);
  value[0] = 'X';
  ASSERT_EQ(dbguidelistcount, 1);
  EXPECT_STREQ(dbguide[0], "file.seq");
  EXPECT_EQ(var_changed(&dbguide), 0);  // marking is the entry's business
}

// ---- Parameter files --------------------------------------------------------------------------

TEST_F(ParameterEntries, FileLinesAreSelectedByTheirFirstCharacter) {
  write("p.par",
        "# a comment\n"
        "1 maxmem 1\n"
        "%maxmem 2\n"
        "-maxmem 3\n"
        "\n"
        "      \n"
        "\t\n"
        "  maxposdecodemem 77\n"
        "ppscale 2.0\r\n"
        "model_file m.mod\r\n"
        "nosuch 1\n"
        "pptrim 0.5");  // no final newline
  EXPECT_EQ(read_file("p.par"), "Reading parameter file p.par\np.par(11):  Could not understand nosuch 1\n");
  EXPECT_EQ(maxmem, 20000000);
  EXPECT_EQ(maxposdecodemem, 77);
  EXPECT_EQ(ppscale, 2.0);
  EXPECT_STREQ(model_filename, "m.mod");
  EXPECT_EQ(pptrim, 0.5);
}

TEST_F(ParameterEntries, ProgressLinesFollowVerboseSetInTheFile) {
  write("inner.par", "maxmem 5\n");
  write("p.par", "verbose 0\ni inner.par\nverbose 1\ni inner.par\n");
  EXPECT_EQ(read_file("p.par"),
            "Reading parameter file p.par\n"
            "Reading parameter file inner.par\n"
            "inner.par(1): maxmem has already been set. Using 5.\n");
}

TEST_F(ParameterEntries, OverLongLinesAreReadInPiecesWithoutOverflow) {
  // A value of 150000 characters: the first 99999 characters of the line are one entry, the rest of
  // the line is read as a line of its own (which here is no parameter), and the next line keeps its
  // number.
  std::string value(150000, 'x');
  write("long.par", "db " + value + "\nnosuch 1\n");
  std::string err = read_file("long.par");
  std::string rest = value.substr(INIT_LINE_BUFFER - 1 - 3);
  EXPECT_EQ(err, "Reading parameter file long.par\nlong.par(1):  Could not understand " + rest +
                     "\nlong.par(2):  Could not understand nosuch 1\n");
  ASSERT_EQ(dblistcount, 1);
  EXPECT_EQ(strlen(dblist[0]), static_cast<size_t>(INIT_LINE_BUFFER - 1 - 3));
}

TEST_F(ParameterEntries, NulBytesEndTheTextOfTheirLine) {
  write("nul.par", std::string("maxmem 42\0 junk\nppscale 3\n", 26));
  EXPECT_EQ(read_file("nul.par"), "Reading parameter file nul.par\n");
  EXPECT_EQ(maxmem, 42);
  EXPECT_EQ(ppscale, 3.0);
}

TEST_F(ParameterEntries, ModelBlocksAreSkippedWithTheirLinesCounted) {
  write("m.par",
        "maxmem 5\n"
        "MODEL -- globins\n"
        "alphabet protein\n"
        "  1 0.1 0.2\n"
        "ENDMODEL\n"
        "nosuch 1\n"
        "REGULARIZER_extra\n"
        "ENDMODEL trailing words\n"
        "model_file x.mod\n"
        "NULLMODEL\n"
        "1 2 3\n");
  EXPECT_EQ(read_file("m.par", MODE_WARN, 0),
            "Reading parameter file m.par\n"
            "m.par(2):  Skipping MODEL -- globins\n"
            "m.par(6):  Could not understand nosuch 1\n"
            "m.par(7):  Skipping REGULARIZER_extra\n"
            "m.par(10):  Skipping NULLMODEL\n"
            "m.par: ENDMODEL not found before end of file in model "
            "definition.\n");
  EXPECT_EQ(alphabet, nullptr);  // the alphabet line inside the block was not applied
  EXPECT_STREQ(model_filename, "x.mod");
  EXPECT_EQ(base_model, nullptr);
  EXPECT_EQ(var_changed(&base_model), 0);
  // With progress lines off, skipping is silent.
  write("q.par", "verbose 0\nFREQUENCIES\nENDMODEL\n");
  EXPECT_EQ(read_file("q.par"), "Reading parameter file q.par\n");
}

TEST_F(ParameterEntries, ModelKeysAreRefusedOnTheCommandLine) {
  EXPECT_EQ(apply("MODEL x\n", MODE_WARN, "Command line option", 0),
            "Command line option(0):  Cannot specify MODEL here.\n");
  EXPECT_EQ(apply("MODEL_FILE x\n", MODE_WARN, "Command line option", 2),
            "Command line option(2):  Cannot specify MODEL here.\n");
  EXPECT_EQ(apply("NULLMODELS y\n", MODE_WARN, "Command line option", 4),
            "Command line option(4):  Cannot specify NULLMODEL here.\n");
  EXPECT_EQ(model_filename, nullptr);
}

TEST_F(ParameterEntries, InsertsAreReadAtOnceInTheCallersMode) {
  write("inner.par", "maxmem 100\ndb inner.seq\n");
  write("outer.par", "maxmem 50\ninsert inner.par\ndb outer.seq\nmaxmem 200\n");
  EXPECT_EQ(read_file("outer.par", MODE_KEEP),
            "Reading parameter file outer.par\n"
            "Reading parameter file inner.par\n");
  EXPECT_EQ(maxmem, 50);
  ASSERT_EQ(dblistcount, 2);
  EXPECT_STREQ(dblist[0], "inner.seq");
  EXPECT_STREQ(dblist[1], "outer.seq");
  ASSERT_EQ(insert_listcount, 1);
  EXPECT_STREQ(insert_filename[0], "inner.par");
  EXPECT_EQ(var_changed(&insert_filename), 1);
}

TEST_F(ParameterEntries, AlphabetSpecificInsertsWaitForTheirAlphabet) {
  // No alphabet chosen: the file is stored, not read (reading it would be fatal: it is missing).
  EXPECT_EQ(apply("insert_file_dna missing.par\n"), "");
  ASSERT_EQ(dinsert_listcount, 1);
  EXPECT_STREQ(insert_file_dna[0], "missing.par");
  EXPECT_EQ(apply("insert_file_protein missing.par\n"), "");
  EXPECT_EQ(pinsert_listcount, 1);
}

TEST(ParameterEntriesDeathTest, AlphabetEntriesAndInsertsForTheCurrentAlphabet) {
  // Alphabet state is process-wide: this runs in a child.
  ScratchDir scratch;
  auto body = [&]() {
    initialize_variables();
    init_alphabets();
    if (scratch.path.empty() || chdir(scratch.path.c_str()) != 0) exit(2);
    std::ofstream("dna.par") << "maxmem 11\n";
    std::ofstream("protein.par") << "maxmem 22\n";
    verbout = nullptr;
    entry("a DNA\n", MODE_WARN, "Command line option", 0);
    if (alphabet == nullptr || alphabet->internal_id != 1) exit(3);
    // Each row has its own flag: "a" was set, "alphabet" was not.
    if (var_changed(&alphabetname) != 0 || row_named("a")->changed != 1) exit(4);
    entry("alphabet protein\n", MODE_KEEP, "f", 1);  // not kept: its own row is unset, so it is applied
    exit(5);
  };
  EXPECT_EXIT(body(), testing::ExitedWithCode(1), "^Error: alphabet is DNA, trying to set it to protein\\.");

  auto inserts = [&]() {
    initialize_variables();
    init_alphabets();
    if (scratch.path.empty() || chdir(scratch.path.c_str()) != 0) exit(2);
    std::ofstream("dna.par") << "maxmem 11\n";
    verbout = nullptr;
    entry("alphabet DNA\n");
    entry("insert_file_protein protein.par\n");  // missing, and not read
    entry("insert_file_rna rna.par\n");          // missing, and not read
    entry("insert_file_dna dna.par\n");
    if (maxmem != 11) exit(3);
    if (pinsert_listcount != 1 || rinsert_listcount != 1 || dinsert_listcount != 1) exit(4);
    entry("alphabet RNA\n", MODE_KEEP);  // the row is set now: ignored in MODE_KEEP
    exit(alphabet->internal_id == 1 ? 0 : 6);
  };
  EXPECT_EXIT(inserts(), testing::ExitedWithCode(0), "");
}

TEST_F(ParameterEntries, InsertsNestUpToTheDepthLimit) {
  // A chain of exactly MAX_INSERT_DEPTH files is read.
  for (int k = 1; k <= MAX_INSERT_DEPTH; k++) {
    std::string next = k < MAX_INSERT_DEPTH ? "i p" + std::to_string(k + 1) + ".par\n" : "maxmem 32\n";
    write("p" + std::to_string(k) + ".par", next);
  }
  verbout = nullptr;
  EXPECT_EQ(read_file("p1.par"), "");
  EXPECT_EQ(maxmem, 32);
  EXPECT_EQ(insert_listcount, MAX_INSERT_DEPTH - 1);
}

TEST(ParameterEntriesDeathTest, FilesInsertingEachOtherStopAtTheDepthLimit) {
  // Regression: two parameter files inserting each other recursed until the stack overflowed.
  ScratchDir scratch;
  auto body = [&]() {
    initialize_variables();
    if (scratch.path.empty() || chdir(scratch.path.c_str()) != 0) exit(2);
    std::ofstream("a.par") << "insert b.par\n";
    std::ofstream("b.par") << "i a.par\n";
    verbout = nullptr;
    read_init("a.par", MODE_WARN, 0);
  };
  EXPECT_EXIT(body(), testing::ExitedWithCode(1),
              "^Error: Parameter file a.par is inserted more than 32 files deep \\(do the parameter files "
              "insert each other\\?\\)\n$");
}

TEST(ParameterEntriesDeathTest, MissingParameterFileIsFatal) {
  initialize_variables();
  EXPECT_EXIT(read_init("/nonexistent/p.par", MODE_WARN, 0), testing::ExitedWithCode(1),
              "^Error: Couldn't open file /nonexistent/p.par: No such file or directory\n\n$");
}

TEST_F(ParameterEntries, NullOrEmptyFileNameReadsNothing) {
  EXPECT_EQ(read_file(nullptr), "");
  EXPECT_EQ(read_file(""), "");
}

// ---- Command-line options ---------------------------------------------------------------------

TEST_F(ParameterEntries, OptionsArePairsOfHyphenatedNameAndValue) {
  struct Case {
    std::vector<std::string> words;
    int result;
    const char *message;
  };
  const Case cases[] = {
      {{"-maxmem", "5000000", "-maxmem", "6000000"},
       1,
       "Command line option(2): maxmem has already been set. Using 6000000.\n"},
      {{"-offset", "-5", "-nosuch", "1"}, 1, "Command line option(2):  Could not understand nosuch 1\n"},
      {{"maxmem", "5"}, 0, "Option maxmem is missing a leading hyphen\n"},
      {{"-maxmem", "5", "-ppscale"}, 0, "Option -ppscale is missing its value\n"},
      {{"-db", ""}, 1, "Command line option(0):  Value not specified for db\n"},
      {{}, 1, ""},
  };
  for (const auto &c : cases) {
    reset();
    std::vector<char *> words;
    for (const auto &w : c.words) words.push_back(const_cast<char *>(w.c_str()));
    testing::internal::CaptureStderr();
    int result = process_args(static_cast<int>(words.size()), words.data(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message) << c.words.size();
    EXPECT_EQ(result, c.result) << c.message;
  }
}

}  // namespace
