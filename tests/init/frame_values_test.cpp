// The program frame as a program sees it afterwards: the values that result from the command line,
// the default-parameter file, the derived settings and the seeds, and the defaults note. The frame
// runs once per process, so every case runs in a child process (a death test that must exit 0).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
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

// In the child: report a failed check on standard error and end with status 3.
#define CHILD_CHECK(condition)                                                     \
  do {                                                                             \
    if (!(condition)) {                                                            \
      fprintf(stderr, "CHILD CHECK FAILED: %s (line %d)\n", #condition, __LINE__); \
      exit(3);                                                                     \
    }                                                                              \
  } while (0)

class FrameValues : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qorframe.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    ASSERT_EQ(system(("mkdir '" + root_ + "/work' '" + root_ + "/home'").c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(system(("rm -rf '" + root_ + "'").c_str()), 0); }

  void write(const std::string &name, const std::string &content) const {
    std::ofstream(root_ + "/" + name, std::ios::binary) << content;
  }

  // Runs the frame in a child with the given arguments (after the program name), in the work
  // directory, HOME pointing at the home directory and QORRC unset unless given; then the checks.
  void frame(const std::vector<std::string> &args, const std::function<void()> &checks,
             const std::map<std::string, std::string> &env = {}, char *note = nullptr, int model_kinds = 0,
             int required = 0) const {
    auto child = [&]() {
      if (chdir((root_ + "/work").c_str()) != 0) exit(2);
      setenv("HOME", (root_ + "/home").c_str(), 1);
      unsetenv("QORRC");
      for (const auto &kv : env) setenv(kv.first.c_str(), kv.second.c_str(), 1);
      std::vector<std::string> words = {"prog"};
      words.insert(words.end(), args.begin(), args.end());
      std::vector<char *> argv;
      for (auto &w : words) argv.push_back(&w[0]);
      argv.push_back(nullptr);
      static char run_name[RUN_NAME_BUFFER];
      char *result = basic_command_line(argv.data(), static_cast<int>(words.size()), run_name, note,
                                        model_kinds, required, "BANNER", nullptr);
      CHILD_CHECK(result == run_name);
      CHILD_CHECK(strcmp(run_name, words[1].c_str()) == 0);
      checks();
      exit(0);
    };
    EXPECT_EXIT(child(), testing::ExitedWithCode(0), "");
  }

  std::string root_;
};

TEST_F(FrameValues, CommandLineWinsAndListsCollectFromEverySource) {
  write("work/.qorrc", "maxmem 1000\ndb c.seq\nppscale 4\nmodel_file rc.mod\n");
  frame({"run", "-maxmem", "2000", "-db", "a.seq", "-db", "b.seq", "-model_file", "cl.mod"}, [] {
    CHILD_CHECK(maxmem == 2000);
    CHILD_CHECK(ppscale == 4.0);
    CHILD_CHECK(strcmp(model_filename, "cl.mod") == 0);
    CHILD_CHECK(dblistcount == 3);
    CHILD_CHECK(strcmp(dblist[0], "a.seq") == 0 && strcmp(dblist[1], "b.seq") == 0);
    CHILD_CHECK(strcmp(dblist[2], "c.seq") == 0);
    CHILD_CHECK(var_changed(&ppscale) == 1);
  });
}

TEST_F(FrameValues, RunNameIsTheFirstArgumentWhateverItLooksLike) {
  frame({"-dump_parameters", "-maxmem", "9"}, [] {
    CHILD_CHECK(maxmem == 9);
    CHILD_CHECK(dump_parameters == 0);
  });
  frame({"run", "-dump_parameters", "2"}, [] { CHILD_CHECK(dump_parameters == 2); });
}

TEST_F(FrameValues, SeedsComeFromTheProcessIdUnlessGiven) {
  frame({"run"}, [] {
    CHILD_CHECK(seed == static_cast<int32_t>(getpid()));
    CHILD_CHECK(trainseed == static_cast<int32_t>(getpid()));
    CHILD_CHECK(row_named("randseed")->changed == 2);
    CHILD_CHECK(row_named("trainseed")->changed == 2);
  });
  frame({"run", "-randseed", "5", "-trainseed", "7"}, [] {
    CHILD_CHECK(seed == 5);
    CHILD_CHECK(trainseed == 7);
    CHILD_CHECK(row_named("randseed")->changed == 2);
    CHILD_CHECK(row_named("trainseed")->changed == 1);
    // The generator was seeded with randseed.
    long first = random();
    srandom(5);
    CHILD_CHECK(random() == first);
  });
}

TEST_F(FrameValues, MainlineCutoffIsCopiedOnlyWhenItDiffersFromItsDefault) {
  frame({"run", "-mainline_cutoff", "0.3", "-cutmatch", "0.9"}, [] {
    CHILD_CHECK(cutmatch == 0.3);
    CHILD_CHECK(cutinsert == 0.3);
  });
  frame({"run", "-cutmatch", "0.9"}, [] {
    CHILD_CHECK(cutmatch == 0.9);
    CHILD_CHECK(cutinsert == 0.5);
  });
}

TEST_F(FrameValues, PriorLibraryFollowsTheAlphabet) {
  frame({"run", "-a", "protein", "-protein_prior", "p.lib", "-nucleotide_prior", "n.lib"}, [] {
    CHILD_CHECK(prior_filename != nullptr && strcmp(prior_filename, "p.lib") == 0);
    CHILD_CHECK(prior_filename != protein_prior);  // a copy
    CHILD_CHECK(var_changed(&prior_filename) == 1);
  });
  frame({"run", "-a", "RNA", "-protein_prior", "p.lib", "-nucleotide_prior", "n.lib"},
        [] { CHILD_CHECK(prior_filename != nullptr && strcmp(prior_filename, "n.lib") == 0); });
  frame({"run", "-a", "DNA", "-protein_prior", "p.lib", "-prior_library", "mine.lib", "-nucleotide_prior",
         "n.lib"},
        [] { CHILD_CHECK(strcmp(prior_filename, "mine.lib") == 0); });
  // No alphabet chosen, or an alphabet of another kind: nothing is filled in.
  frame({"run", "-protein_prior", "p.lib"}, [] { CHILD_CHECK(prior_filename == nullptr); });
  frame({"run", "-a", "EHL", "-protein_prior", "p.lib"}, [] { CHILD_CHECK(prior_filename == nullptr); });
}

TEST_F(FrameValues, CodonAlphabetResetsTheModelCounts) {
  frame({"run", "-alphabet", "CODON", "-sequence_models", "0.5"}, [] {
    CHILD_CHECK(initNmodels == 1);
    CHILD_CHECK(seq_models == 0.0);
    CHILD_CHECK(var_changed(&initNmodels) == 1);
    CHILD_CHECK(var_changed(&seq_models) == 1);
  });
}

TEST_F(FrameValues, DefaultsNoteNamesTheFileThatWasRead) {
  static char note[DEFAULTS_NOTE_BUFFER];
  std::string home = root_ + "/home";
  std::string work = root_ + "/work";
  // No file at all: the note is cleared.
  strcpy(note, "stale");
  frame(
      {"run"}, [] { CHILD_CHECK(note[0] == '\0'); }, {}, note);
  write("home/.qorrc", "maxmem 3\n");
  frame(
      {"run"},
      [home] {
        CHILD_CHECK(maxmem == 3);
        CHILD_CHECK(std::string(note) ==
                    "%\n%  Additional default parameters from\n%\t" + home + "/.qorrc\n%\n");
      },
      {}, note);
  write("work/.qorrc", "maxmem 4\n");
  frame(
      {"run"},
      [work] {
        CHILD_CHECK(maxmem == 4);
        CHILD_CHECK(std::string(note) ==
                    "%\n%  Additional default parameters from\n%\t" + work + "/.qorrc\n%\n");
      },
      {}, note);
  write("elsewhere.par", "maxmem 5\n");
  std::string qorrc = root_ + "/elsewhere.par";
  frame(
      {"run"},
      [qorrc] {
        CHILD_CHECK(maxmem == 5);
        CHILD_CHECK(std::string(note) ==
                    "%\n%  Additional default parameters from QORRC =\n%\t" + qorrc + "\n%\n");
      },
      {{"QORRC", qorrc}}, note);
}

TEST_F(FrameValues, DefaultsFileSkipsWhatTheCommandLineSet) {
  // The default file's alphabet line is applied (its row is unset) and names the alphabet already
  // chosen, which is accepted silently; its alphabet_def line is skipped (that row is set).
  write("work/.qorrc", "alphabet protein\nalphabet_def X ABC\n");
  frame({"run", "-alphabet_def", "protein -"}, [] {
    CHILD_CHECK(alphabet != nullptr && alphabet->internal_id == 3);
    CHILD_CHECK(row_named("alphabet")->changed == 1);
    CHILD_CHECK(strcmp(alphabet_def, "protein -") == 0);  // alphabet_def was set: its line was skipped
  });
}

// The required-model checks no program of this system reaches: each fails with its own lines
// (written before the usage function), and the first failing check hides the later ones.
TEST(FrameValuesDeathTest, RequiredModelChecks) {
  struct Case {
    int required;
    const char *pattern;
  };
  const Case cases[] = {
      {WANT_MODEL | WANT_NULLMODEL,
       "BANNER\nThis program requires a QOR model specified as either\n-i file, while file contains a MODEL, "
       "or\n"
       "-model_file file, where file contains any model structure, or\nUSAGE\n$"},
      {WANT_NULLMODEL,
       "BANNER\nThis program requires a QOR complex null model specified as either\n-i file, while file "
       "contains "
       "a NULLMODEL, or\n-nullmodel_file file, where file contains any model structure\\.\nUSAGE\n$"},
      {0x20, "BANNER\ninit: basic_command_line called with illegal required model\\.\nUSAGE\n$"},
      {WANT_FREQUENCIES | 0x10, nullptr},  // accepted bits that nothing checks
  };
  for (const auto &c : cases) {
    auto child = [&]() {
      static char run_name[RUN_NAME_BUFFER];
      char prog[] = "prog", run[] = "run";
      char *argv[] = {prog, run, nullptr};
      setenv("HOME", "/nonexistent", 1);
      unsetenv("QORRC");
      if (chdir("/") != 0) exit(2);
      basic_command_line(argv, 2, run_name, nullptr, 0, c.required, "BANNER",
                         [] { fprintf(stderr, "USAGE\n"); });
      exit(0);
    };
    if (c.pattern != nullptr)
      EXPECT_EXIT(child(), testing::ExitedWithCode(1), c.pattern) << c.required;
    else
      EXPECT_EXIT(child(), testing::ExitedWithCode(0), "^BANNER\n$") << c.required;
  }
}

// A regularizer is built from the alphabet; without one and without a sequence file to guess it
// from, the frame stops.
TEST(FrameValuesDeathTest, RequiredRegularizerNeedsAnAlphabet) {
  auto child = []() {
    static char run_name[RUN_NAME_BUFFER];
    char prog[] = "prog", run[] = "run";
    char *argv[] = {prog, run, nullptr};
    setenv("HOME", "/nonexistent", 1);
    unsetenv("QORRC");
    if (chdir("/") != 0) exit(2);
    basic_command_line(argv, 2, run_name, nullptr, 0, WANT_REGULARIZER, "BANNER", nullptr);
    exit(0);
  };
  EXPECT_EXIT(child(), testing::ExitedWithCode(1),
              "^BANNER\nError: No sequence file found to set alphabet\\.");
}

TEST(FrameValuesDeathTest, FrameRunsOnce) {
  auto twice = []() {
    static char run_name[RUN_NAME_BUFFER];
    char prog[] = "prog", run[] = "run", verbose_opt[] = "-verbose", zero[] = "0";
    char *argv[] = {prog, run, verbose_opt, zero, nullptr};
    setenv("HOME", "/nonexistent", 1);
    unsetenv("QORRC");
    if (chdir("/") != 0) exit(2);
    basic_command_line(argv, 4, run_name, nullptr, 0, 0, "B", nullptr);
    basic_command_line(argv, 4, run_name, nullptr, 0, 0, "B", nullptr);
  };
  EXPECT_EXIT(twice(), testing::ExitedWithCode(1), "^Error: basic_command_line called twice!\n$");
}

}  // namespace
