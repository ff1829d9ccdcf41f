// The program frame end to end: the special first arguments, the parameter listing, command-line
// options and their messages, parameter files and inserts, the default-parameter file, progress
// lines, list limits and fatal errors, through the built programs.
//
// Most runs use fitseq without a model: its frame then ends in the required-model message, so the
// whole of its output is the frame's. Runs of the other programs end the frame with a missing
// alphabet background file, which is fatal right after the default-parameter file is read.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/harness.h"

namespace {

using qortest::lines_of;
using qortest::RunResult;
using qortest::Workdir;

const std::string kFitseqBanner = "QOR: fitseq v3.5 (July 15, 2005) compiled 07/19/05_11:12:14";
const std::string kFitseqUsage =
    "    -modelfile model_file             required\n"
    "    -db seq_file [-db seq_filen]*     one or more sequence files\n"
    "    [-id seqid]*                      one or more sequence IDs\n"
    "    [-pptrim <value>]*                create .ta2m trimmed alignment\n"
    "See documentation for additional options.\n";
const std::string kLensplitUsage =
    "   -max_seq_length <integer>   Required\n"
    "   -db   sequencefile          Required\n"
    "Where\n"
    "    sequencefile is a sequence database\n"
    "    max_seq_length <integer> specifies maximum length\n"
    "    for <runname>A.seq; other sequences are put in \n"
    "    <runname>B.seq.\n";
const std::string kHssptplUsage =
    "-alignfile filename: Aligned sequences to read.\n"
    "Other options are available -- see documentation.\n\n";
const std::string kFnfpbalUsage =
    " -distfile <runname>.dist    Score file to read (required).\n"
    "[-distfile2 <runname>.dist]  Second (database) score file.\n\n"
    "fnfpbal outputs a file runname.dat with this info:\n"
    "1.  interpolated number of false negatives and false positives and\n"
    "    sequence log-odds score at the two points which bracket the\n"
    "2.   exact point where FN=FP\n2.  the integer value of the number of sequences "
    "where FN=FP\n3.  the number of FP where FN=0; the number of FN where FP=0\n"
    "3.  The MER\n";
const std::string kModelRequired =
    "This program requires a QOR model specified as either\n"
    "-i file, which contains a MODEL, or\n"
    "-model_file file, where file contains any model structure, or\n"
    "-trackmod file1,file2,..., for a multitrack model, or\n"
    "-query sequencefile   for a Smith and Waterman query model.\n";

std::string program(const char *name) {
  return qortest::program_path(name);
}
std::string banner_of(const char *name) {
  return "QOR: " + program(name) + " v3.5 (July 15, 2005) compiled " +
         (std::string(name) == "fnfpbal"    ? "07/19/05_11:12:36"
          : std::string(name) == "lensplit" ? "07/19/05_11:12:48"
                                            : "07/19/05_11:12:40");
}
std::string usage_line(const char *name) {
  return "Usage: " + program(name) + " run_name [-option value]*\n";
}

// The end of a fitseq run whose frame went through: the banner on the progress stream comes first.
std::string fitseq_frame_end() {
  return kModelRequired + kFitseqUsage;
}

std::string real_path(const std::string &path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) != nullptr ? buffer : path;
}

// ---- Special first arguments ------------------------------------------------------------------

TEST(Frame, WithoutArgumentsWritesBannerUsageAndFails) {
  struct Case {
    const char *name;
    std::string banner, usage;
  };
  const Case cases[] = {
      {"fitseq", kFitseqBanner, kFitseqUsage},
      {"fnfpbal", banner_of("fnfpbal"), kFnfpbalUsage},
      {"lensplit", banner_of("lensplit"), kLensplitUsage},
      {"hssptpl", banner_of("hssptpl"), kHssptplUsage},
  };
  for (const auto &c : cases) {
    Workdir dir;
    RunResult r = dir.run(c.name, {});
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_EQ(r.err, c.banner + "\n" + usage_line(c.name) + c.usage) << c.name;
    EXPECT_TRUE(dir.files().empty()) << c.name;
  }
}

TEST(Frame, HelpPrintsBannerAndUsageThenRunsWithRunNameH) {
  Workdir dir;
  RunResult r = dir.run("fitseq", {"-h"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kFitseqBanner + "\n");
  EXPECT_EQ(r.err, kFitseqUsage + kFitseqBanner + "\n" + fitseq_frame_end());
  EXPECT_TRUE(dir.files().empty());

  // "-v" and "-h" are special only as the sole argument; otherwise they are the run name.
  r = dir.run("fitseq", {"-v", "x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Option x is missing a leading hyphen\n" + usage_line("fitseq") + kFitseqUsage);
}

// ---- The parameter listing --------------------------------------------------------------------

TEST(Frame, DumpParametersListsEveryDefault) {
  const std::vector<std::string> expected =
      lines_of(qortest::slurp(std::string(QOR_TEST_DATA) + "/default_params_listing.txt"));
  ASSERT_EQ(expected.size(), 229u);
  const std::string dashes = "% " + std::string(69, '-');
  struct passwd *pw = getpwuid(geteuid());
  const std::string user = pw != nullptr ? pw->pw_name : "";

  for (const char *first : {"-dump_parameters", "-Dump-Parameters"}) {
    Workdir dir;
    dir.write(".qorrc", "maxmem 5\n");  // never read for the listing
    RunResult r = dir.run("fitseq", {first, "2"});
    EXPECT_EQ(r.status, 0) << first;
    EXPECT_EQ(r.out, "") << first;
    EXPECT_EQ(r.err, "Dumping parameters to file default.params\n") << first;
    EXPECT_EQ(dir.files(), (std::set<std::string>{".qorrc", "default.params"})) << first;
    std::vector<std::string> lines = lines_of(dir.read("default.params"));
    ASSERT_EQ(lines.size(), 21u + 229u) << first;

    // Header: the banner block, host and directory lines, the timing lines, the closing dashes.
    EXPECT_EQ(lines[0], "%  " + kFitseqBanner);
    for (int k = 0; k < 14; k++) EXPECT_EQ(lines[k][0], '%') << "banner line " << k;
    EXPECT_EQ(lines[13], dashes);
    EXPECT_EQ(lines[14].rfind("%  default   Host: ", 0), 0u) << lines[14];
    std::string padded_user = user + std::string(user.size() < 7 ? 7 - user.size() : 0, ' ');
    EXPECT_EQ(lines[15], "%  " + padded_user + "   Dir:  " + real_path(dir.path()));
    EXPECT_EQ(lines[16], dashes);
    EXPECT_EQ(lines[17], "%");
    EXPECT_EQ(lines[18].rfind("%  Total CPU time:  user ", 0), 0u) << lines[18];
    EXPECT_EQ(lines[19].rfind("%  Finished at:  ", 0), 0u) << lines[19];
    EXPECT_EQ(lines[20], dashes);
    for (size_t k = 0; k < expected.size(); k++)
      EXPECT_EQ(lines[21 + k], expected[k]) << "listing line " << k;
  }
}

TEST(Frame, DumpParametersAfterARunNameIsAnOrdinaryOption) {
  Workdir dir;
  RunResult r = dir.run("fitseq", {"run", "-dump_parameters", "2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kFitseqBanner + "\n" + fitseq_frame_end());
  EXPECT_TRUE(dir.files().empty());
  // "2" must be exact, and the pair must be all there is.
  r = dir.run("fitseq", {"-dump_parameters", "02"});
  EXPECT_EQ(r.err, "Option 02 is missing a leading hyphen\n" + usage_line("fitseq") + kFitseqUsage);
  EXPECT_TRUE(dir.files().empty());
}

// ---- Command-line options ---------------------------------------------------------------------

TEST(Frame, CommandLineMessages) {
  struct Case {
    std::vector<std::string> args;
    std::string before_banner;  // messages of the options, before the banner on the progress stream
  };
  const Case cases[] = {
      {{"run", "-maxmem", "5000000", "-maxmem", "6000000"},
       "Command line option(2): maxmem has already been set. Using 6000000.\n"},
      {{"run", "-NLLfile", "a.dist", "-nll_file", "b.dist", "-MAXMEM", "1", "-max_mem", "2"},
       "Command line option(2): NLLfile has already been set.  Using b.dist.\n"
       "Command line option(6): maxmem has already been set. Using 2.\n"},
      {{"run", "-db", "a.seq", "-db", "b.seq", "-id", "x", "-id", "y"}, ""},
      {{"run", "-MODEL", "x"}, "Command line option(0):  Cannot specify MODEL here.\n"},
      {{"run", "-maxmem", "1", "-REGULARIZER_file", "x"},
       "Command line option(2):  Cannot specify REGULARIZER here.\n"},
      {{"run", "-nosuch", "1", "-offset", "-5"}, "Command line option(0):  Could not understand nosuch 1\n"},
      {{"run", "-db", ""}, "Command line option(0):  Value not specified for db\n"},
      {{"run", "-verbose", "1", "-verbose", "1"}, ""},
  };
  for (const auto &c : cases) {
    Workdir dir;
    RunResult r = dir.run("fitseq", c.args);
    EXPECT_EQ(r.status, 1) << c.args[1];
    EXPECT_EQ(r.out, "") << c.args[1];
    EXPECT_EQ(r.err, c.before_banner + kFitseqBanner + "\n" + fitseq_frame_end()) << c.args[1];
  }
}

TEST(Frame, MalformedOptionsStopWithTheUsageLine) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"run", "maxmem", "5"}, "Option maxmem is missing a leading hyphen\n"},
      {{"run", "-maxmem", "5", "db", "x"}, "Option db is missing a leading hyphen\n"},
      {{"run", "-maxmem"}, "Option -maxmem is missing its value\n"},
      {{"run", "-maxmem", "5", "-db"}, "Option -db is missing its value\n"},
  };
  for (const auto &c : cases) {
    Workdir dir;
    RunResult r = dir.run("fitseq", c.args);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_EQ(r.err, c.message + usage_line("fitseq") + kFitseqUsage);
  }
  // Without a usage function the documentation line is not written at this point; lensplit has one.
  Workdir dir;
  RunResult r = dir.run("lensplit", {"run", "x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Option x is missing a leading hyphen\n" + usage_line("lensplit") + kLensplitUsage);
}

TEST(Frame, ListsHoldAtMostOneHundredValues) {
  Workdir dir;
  std::vector<std::string> args = {"run"};
  for (int k = 0; k <= 100; k++) {
    args.push_back("-db");
    args.push_back("f" + std::to_string(k) + ".seq");
  }
  RunResult r = dir.run("fitseq", args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Only 100 db values can be specified.  Skipping f100.seq.\n" + kFitseqBanner + "\n" +
                       fitseq_frame_end());
}

// An insert skipped because the insert list is full was once still read as a parameter file.
TEST(Frame, InsertSkippedByAFullListIsNotRead) {
  Workdir dir;
  dir.write("p.txt", "% nothing\n");
  dir.write("q.txt", "maxmem 5\n");
  std::vector<std::string> args = {"run"};
  for (int k = 0; k < 100; k++) {
    args.push_back("-i");
    args.push_back("p.txt");
  }
  args.push_back("-i");
  args.push_back("q.txt");
  RunResult r = dir.run("fitseq", args);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Only 100 i values can be specified.  Skipping q.txt.\n"), std::string::npos);
  EXPECT_EQ(r.err.find("Reading parameter file q.txt"), std::string::npos);
  EXPECT_NE(r.err.find("Reading parameter file p.txt"), std::string::npos);
}

// ---- Fatal errors -----------------------------------------------------------------------------

TEST(Frame, FatalErrorsCarryTheErrorPrefix) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"run", "-maxmem", "abc"},
       "Error: Command line option(0):  Incorrect type or missing value for maxmem\n\n"},
      {{"run", "-db", "a", "-ppscale", "x"},
       "Error: Command line option(2):  Incorrect type or missing value for ppscale\n\n"},
      {{"run", "-verbose", "yes"},
       "Error: Command line option(0):  Incorrect type or missing value for verbose\n\n"},
      {{"run", "-i", "missing.par"}, "Error: Couldn't open file missing.par: No such file or directory\n\n"},
      {{"run", "-dblistcount", "3"},
       "Error: Command line option(0):  dblistcount is the count of the list db and cannot be set\n"},
      {{"run", "-alphbackfile", "none.bg"},
       kFitseqBanner + "\nError: Couldn't open file none.bg: No such file or directory\n\n"},
  };
  for (const auto &c : cases) {
    Workdir dir;
    RunResult r = dir.run("fitseq", c.args);
    EXPECT_EQ(r.status, 1) << c.args[1];
    EXPECT_EQ(r.out, "") << c.args[1];
    EXPECT_EQ(r.err, c.err) << c.args[1];
  }
}

TEST(Frame, RunNameMustFitItsBuffer) {
  Workdir dir;
  RunResult r = dir.run("fitseq", {std::string(2000, 'r')});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: The run name is 2000 characters long; at most 1999 are allowed\n");
  r = dir.run("fitseq", {std::string(1999, 'r')});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kFitseqBanner + "\n" + fitseq_frame_end());
}

// ---- Parameter files --------------------------------------------------------------------------

TEST(Frame, ParameterFilesWithCommentsModelBlocksAndInserts) {
  Workdir dir;
  dir.write("p1.par",
            "# parameters for a test run\n"
            "maxmem 5000000\n"
            "\n"
            "% a comment line\n"
            "   \n"
            "2 lines starting with a digit are ignored\n"
            "REGULARIZER -- not wanted by fitseq\n"
            "alphabet protein\n"
            " 1 0.1 0.2 0.3\n"
            "ENDMODEL\n"
            "i p2.par\n"
            "nosuch 1\n"
            "  NLLfile m.dist  \n");
  dir.write("p2.par", "maxmem 7\ndb p2.seq\nmodellength\n");
  RunResult r = dir.run("fitseq", {"run", "-insert", "p1.par", "-NLLfile", "n.dist"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "Reading parameter file p1.par\n"
            "p1.par(7):  Skipping REGULARIZER -- not wanted by fitseq\n"
            "Reading parameter file p2.par\n"
            "p2.par(1): maxmem has already been set. Using 7.\n"
            "p2.par(3):  Value not specified for modellength\n"
            "p1.par(12):  Could not understand nosuch 1\n"
            "Command line option(2): NLLfile has already been set.  Using n.dist.\n" +
                kFitseqBanner + "\n" + fitseq_frame_end());
}

TEST(Frame, FilesInsertingThemselvesStopAtTheDepthLimit) {
  // Regression: a parameter file that inserts itself recursed until the stack overflowed.
  Workdir dir;
  dir.write("loop.par", "i loop.par\n");
  RunResult r = dir.run("fitseq", {"run", "-i", "loop.par"});
  EXPECT_EQ(r.status, 1);
  std::string expected;
  for (int k = 0; k < 32; k++) expected += "Reading parameter file loop.par\n";
  EXPECT_EQ(r.err,
            expected +
                "Error: Parameter file loop.par is inserted more than 32 files deep (do the parameter files "
                "insert each other?)\n");
}

// ---- The default-parameter file ---------------------------------------------------------------

TEST(Frame, ExactlyOneDefaultParameterFileIsRead) {
  Workdir dir;
  const std::string home = dir.home();  // named as HOME gives it
  const std::string cwd = real_path(dir.path());
  dir.write("../home/.qorrc", "nosuch home\n");
  dir.write(".qorrc", "nosuch cwd\n");
  dir.write("qorrc.par", "nosuch qorrc\n");
  const std::string qorrc = dir.file("qorrc.par");

  RunResult r = dir.run("fitseq", {"run"}, {{"QORRC", qorrc}});
  EXPECT_EQ(r.err, kFitseqBanner + "\nReading default parameters from QORRC=" + qorrc +
                       "\nReading parameter file " + qorrc + "\n" + qorrc +
                       "(1):  Could not understand nosuch qorrc\n" + fitseq_frame_end());

  r = dir.run("fitseq", {"run"});
  EXPECT_EQ(r.err,
            kFitseqBanner + "\nReading default parameters from " + cwd +
                "/.qorrc\nReading parameter file .qorrc\n.qorrc(1):  Could not understand nosuch cwd\n" +
                fitseq_frame_end());

  unlink(dir.file(".qorrc").c_str());
  r = dir.run("fitseq", {"run"}, {{"HOME", home}});
  EXPECT_EQ(r.err, kFitseqBanner + "\nReading default parameters from " + home +
                       "/.qorrc\nReading parameter file " + home + "/.qorrc\n" + home +
                       "/.qorrc(1):  Could not understand nosuch home\n" + fitseq_frame_end());

  // A QORRC naming a missing file is fatal, even with the other files present.
  r = dir.run("fitseq", {"run"}, {{"QORRC", "absent.rc"}});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kFitseqBanner +
                       "\nReading default parameters from QORRC=absent.rc\n"
                       "Error: Couldn't open file absent.rc: No such file or directory\n\n");
}

TEST(Frame, DefaultParameterFileOnlyFillsWhatIsUnset) {
  Workdir dir;
  dir.write(".qorrc", "maxmem 1000\nNLLfile x.dist\ni more.par\ndb c.seq\n");
  dir.write("more.par", "maxmem 3\nppscale 2\n");
  const std::string cwd = real_path(dir.path());
  RunResult r = dir.run("fitseq", {"run", "-maxmem", "2000", "-NLLfile", "y.dist", "-ppscale", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kFitseqBanner + "\nReading default parameters from " + cwd +
                       "/.qorrc\nReading parameter file .qorrc\nReading parameter file more.par\n" +
                       fitseq_frame_end());
}

TEST(Frame, VerboseControlsTheProgressLines) {
  Workdir dir;
  dir.write("p.par", "maxmem 5\n");
  dir.write("q.par", "verbose 0\ni p.par\nREGULARIZER\nENDMODEL\n");
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"run", "-verbose", "0", "-i", "p.par"}, fitseq_frame_end()},
      {{"run", "-verbose", "0", "-verbose", "1", "-i", "p.par"},
       "Reading parameter file p.par\n" + kFitseqBanner + "\n" + fitseq_frame_end()},
      // "verbose 0" early in a file silences what follows, model blocks included.
      {{"run", "-i", "q.par"}, "Reading parameter file q.par\n" + fitseq_frame_end()},
      {{"run", "-i", "q.par", "-verbose", "2"},
       "Reading parameter file q.par\n" + kFitseqBanner + "\n" + fitseq_frame_end()},
  };
  for (const auto &c : cases) {
    RunResult r = dir.run("fitseq", c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err) << c.args.size();
  }
  // The verbose row ignores the entry modes: the default file's "verbose 0" wins over "-verbose 1".
  dir.write(".qorrc", "verbose 0\ni p.par\n");
  const std::string cwd = real_path(dir.path());
  RunResult r = dir.run("fitseq", {"run", "-verbose", "1"});
  EXPECT_EQ(r.err, kFitseqBanner + "\nReading default parameters from " + cwd +
                       "/.qorrc\nReading parameter file .qorrc\n" + fitseq_frame_end());
}

TEST(Frame, DefaultsNoteReplacesTheProgressLine) {
  // hssptpl keeps a defaults note: the file is named there, not on the progress stream.
  Workdir dir;
  dir.write(".qorrc", "alphbackfile none.bg\n");
  RunResult r = dir.run("hssptpl", {"run"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, banner_of("hssptpl") +
                       "\nReading parameter file .qorrc\nError: Couldn't open file none.bg: No such file or "
                       "directory\n\n");
  EXPECT_EQ(dir.files(), std::set<std::string>{".qorrc"});
}

TEST(Frame, CodonAlphabetResetIsAnnounced) {
  Workdir dir;
  RunResult r = dir.run("fitseq", {"run", "-a", "CODON"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kFitseqBanner + "\n" + kModelRequired +
                       "Resetting parameters for experimental codon alphabet\n"
                       "Nmodels 1, seq_models = 0\n"
                       "Settings for evalues & null scores not yet studied.\n"
                       "Character regularizer for codons always\n"
                       "taken from the alphabet node.  Use -alphbackfile to set.\n" +
                       kFitseqUsage);
}

}  // namespace
