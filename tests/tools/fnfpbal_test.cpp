// fnfpbal end to end: the balance file of two score files, Z-score files, plotnegate, the parameter
// aliases, skipped lines, and the failures (empty or unset lists, missing files, unwritable output).
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/harness.h"

namespace {

const std::string kBanner =
    "QOR: " + qortest::program_path("fnfpbal") + " v3.5 (July 15, 2005) compiled 07/19/05_11:12:36\n";

// Standard error of a run that reads the named score files.
std::string reading(const std::vector<std::string> &files) {
  std::string s = kBanner;
  for (const auto &f : files) s += "Reading scores from file " + f + "\n";
  return s;
}

// A score file in the toolkit's form: one "id length score1 score2[ zscore][ count X]\t:text" line per
// entry, given as the text after the identifier; the lines are written out of order on purpose.
std::string score_file(const std::string &prefix, const std::vector<std::string> &fields) {
  std::string s = "% scores of " + prefix + "\n";
  for (size_t k = 0; k < fields.size(); k++) {
    size_t at = k == 0 ? 0 : fields.size() - k;  // the first entry first, then the others in reverse
    s += prefix + std::to_string(at + 1) + "  " + fields[at] + "\t:entry " + std::to_string(at + 1) + "\n";
  }
  return s;
}

const std::string kOverlapDat = "FP=FN\t 2.0\npFN\t3\noFN\t2\npFP\t  2.4\noFP\t  1.4\nMER\t2\n";

// The members' and the database's lines of the overlapping lists (length and two scores each).
const std::vector<std::string> kOverlapA = {"120  -30.00  -28.00", "121  -25.00  -24.00",
                                            "122  -20.00  -19.50", "123  -12.00  -11.00",
                                            "124   -5.00   -4.00"};
const std::vector<std::string> kOverlapB = {"200  -14.00  -13.00", "201   -8.00   -7.00",
                                            "202    0.00    0.50", "203    3.00    3.50",
                                            "204   10.00   11.00"};

struct DatCase {
  const char *name;
  std::vector<std::string> a, b;  // fields after the identifier
  std::vector<std::string> extra_args;
  std::string dat;
  std::string extra_err;  // after the two "Reading" lines
};

TEST(Fnfpbal, BalanceFiles) {
  const DatCase cases[] = {
      // Lines with a length and two scores carry no Z-score: they are sorted on their own scores,
      // not on the 1000000 that marks the missing Z-score (which made every score equal).
      {"overlapping lists", kOverlapA, kOverlapB, {}, kOverlapDat, ""},
      {"separated lists",
       {"10 -30 0", "10 -25 0"},
       {"10 -10 0", "10 0 0"},
       {},
       "FP=FN\t 1.0\npFN\t1\noFN\t0\npFP\t  0.0\noFP\t -1.0\nMER\t0\n",
       ""},
      {"one database entry inside the members",
       {"10 -30 1", "10 -25 1", "10 -20 1"},
       {"10 -22 1", "10 -10 1", "10 0 1"},
       {},
       "FP=FN\t 1.4\npFN\t2\noFN\t1\npFP\t  1.2\noFP\t  0.2\nMER\t1\n",
       ""},
      {"single member",
       {"10 5 5 1 X"},
       {"10 -10 0", "10 0 0"},
       {},
       "FP=FN\t 1.0\npFN\t1\noFN\t0\npFP\t  0.0\noFP\t -1.0\nMER\t0\n",
       ""},
      // A member scoring worse than every database entry: the walk uses up the database list.
      {"walk uses up the database",
       {"10 -30 0", "10 -25 0", "10 20 0"},
       {"10 -10 0", "10 0 0"},
       {},
       "FP=FN\t 1.0\npFN\t1\noFN\t0\npFP\t  2.5\noFP\t  1.5\nMER\t0\n",
       ""},
      {"plotnegate turns larger scores into better ones",
       {"1 30 0", "1 25 0", "1 20 0", "1 12 0", "1 5 0"},
       {"1 14 0", "1 8 0", "1 -0 0", "1 -3 0", "1 -10 0"},
       {"-plotnegate", "1"},
       kOverlapDat,
       ""},
      // Z-scores (larger is better) replace the decoy scores when both files carry them.
      {"Z-score files",
       {"1 0 0 30 2 X", "1 0 0 25", "1 0 0 20", "1 0 0 12", "1 0 0 5.0e+00"},
       {"1 0 0 14", "1 0 0 8", "1 0 0 0", "1 0 0 -3", "1 0 0 -10"},
       {},
       kOverlapDat,
       "Both score files have Zscores, so using them.\n"},
      {"Z-score files with plotnegate",
       {"1 0 0 -30", "1 0 0 -25", "1 0 0 -20", "1 0 0 -12", "1 0 0 -5"},
       {"1 0 0 -14", "1 0 0 -8", "1 0 0 0", "1 0 0 3", "1 0 0 10"},
       {"-plotnegate", "1"},
       kOverlapDat,
       "Both score files have Zscores, so using them.\n"},
      // A first member with Z-score 0: the ordinary scores are used.
      {"first Z-score 0",
       {"120 -30 0 0", "121 -25 0 9", "122 -20 0 9", "123 -12 0 9", "124 -5 0 9"},
       {"1 -14 0 9", "1 -8 0 9", "1 0 0 9", "1 3 0 9", "1 10 0 9"},
       {},
       kOverlapDat,
       ""},
      // A database line without a Z-score: no entry is scored by the missing-value marker.
      {"a line without a Z-score",
       {"1 -30 0 30", "1 -25 0 25", "1 -20 0 20", "1 -12 0 12", "1 -5 0 5"},
       {"1 -14 0 14", "1 -8 0 8", "1 0 0 0.5", "1 3 0", "1 10 0 -10"},
       {},
       kOverlapDat,
       "Warning: b.dist (b4): score line without a Z-score; the ordinary scores are used.\n"},
  };
  for (const auto &c : cases) {
    qortest::Workdir dir;
    dir.write("a.dist", score_file("a", c.a));
    dir.write("b.dist", score_file("b", c.b));
    std::vector<std::string> args = {"run", "-distfile", "a.dist", "-distfile2", "b.dist"};
    args.insert(args.end(), c.extra_args.begin(), c.extra_args.end());
    auto r = dir.run("fnfpbal", args);
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_EQ(r.err, reading({"a.dist", "b.dist"}) + c.extra_err) << c.name;
    EXPECT_EQ(dir.files(), (std::set<std::string>{"a.dist", "b.dist", "run.dat"})) << c.name;
    if (dir.exists("run.dat")) {
      EXPECT_EQ(dir.read("run.dat"), c.dat) << c.name;
    }
  }
}

TEST(Fnfpbal, ParameterAliasesNameTheFiles) {
  const std::vector<std::vector<std::string>> option_pairs = {{"-NLLfile", "-NLLfile2"},
                                                              {"-NLLfile1", "-distfile2"},
                                                              {"-distfile", "-NLLfile2"},
                                                              {"-nll_file1", "-Dist-File2"}};
  for (const auto &o : option_pairs) {
    qortest::Workdir dir;
    dir.write("m.dist", score_file("m", kOverlapA));
    dir.write("d.dist", score_file("d", kOverlapB));
    auto r = dir.run("fnfpbal", {"alias", o[0], "m.dist", o[1], "d.dist"});
    EXPECT_EQ(r.status, 0) << o[0] << " " << o[1];
    EXPECT_EQ(r.err, reading({"m.dist", "d.dist"})) << o[0] << " " << o[1];
    ASSERT_TRUE(dir.exists("alias.dat")) << o[0] << " " << o[1];
    EXPECT_EQ(dir.read("alias.dat"), kOverlapDat) << o[0] << " " << o[1];
  }
}

TEST(Fnfpbal, UnusableLinesAreReportedAndSkipped) {
  qortest::Workdir dir;
  std::string a = score_file("a", kOverlapA) + "\nbroken 12 -40\nfrac 1.5 -40 -40\n";
  dir.write("a.dist", a);
  dir.write("b.dist", score_file("b", kOverlapB));
  auto r = dir.run("fnfpbal", {"run", "-distfile", "a.dist", "-distfile2", "b.dist"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, kBanner + "Reading scores from file a.dist\n" +
                       "Warning: a.dist(7): no length and two scores after the identifier; line skipped\n" +
                       "Warning: a.dist(8): no length and two scores after the identifier; line skipped\n" +
                       "Warning: a.dist(9): no length and two scores after the identifier; line skipped\n" +
                       "Reading scores from file b.dist\n");
  EXPECT_EQ(dir.read("run.dat"), kOverlapDat);
}

TEST(Fnfpbal, Failures) {
  const std::string two_required = "Error: Two valid score files are required.\n\n";
  struct Case {
    const char *name;
    std::map<std::string, std::string> files;
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {"member file without data lines",
       {{"a.dist", "; nothing here\n% nor here\n"}, {"b.dist", "b1 1 2 3\n"}},
       {"run", "-distfile", "a.dist", "-distfile2", "b.dist"},
       reading({"a.dist", "b.dist"}) + two_required},
      {"empty database file",
       {{"a.dist", "a1 1 2 3\n"}, {"b.dist", ""}},
       {"run", "-distfile", "a.dist", "-distfile2", "b.dist"},
       reading({"a.dist", "b.dist"}) + two_required},
      {"database file unset",
       {{"a.dist", "a1 1 2 3\n"}},
       {"run", "-distfile", "a.dist"},
       reading({"a.dist"}) + two_required},
      {"member file unset",
       {{"b.dist", "b1 1 2 3\n"}},
       {"run", "-distfile2", "b.dist"},
       reading({"b.dist"}) + two_required},
      {"no files", {}, {"run"}, reading({}) + two_required},
      {"missing member file",
       {{"b.dist", "b1 1 2 3\n"}},
       {"run", "-distfile", "nope.dist", "-distfile2", "b.dist"},
       reading({"nope.dist"}) + "Error: Couldn't open file nope.dist: No such file or directory\n\n"},
      {"missing database file",
       {{"a.dist", "a1 1 2 3\n"}},
       {"run", "-distfile", "a.dist", "-distfile2", "nope.dist"},
       reading({"a.dist", "nope.dist"}) +
           "Error: Couldn't open file nope.dist: No such file or directory\n\n"},
      {"unwritable output",
       {{"a.dist", "a1 1 2 3\n"}, {"b.dist", "b1 1 2 3\n"}},
       {"nodir/run", "-distfile", "a.dist", "-distfile2", "b.dist"},
       reading({"a.dist", "b.dist"}) + "Error: (open_outputfile):  Could not open file nodir/run.dat\n"},
  };
  for (const auto &c : cases) {
    qortest::Workdir dir;
    std::set<std::string> names;
    for (const auto &f : c.files) {
      dir.write(f.first, f.second);
      names.insert(f.first);
    }
    auto r = dir.run("fnfpbal", c.args);
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
    EXPECT_EQ(dir.files(), names) << c.name;  // no balance file
  }
}

TEST(Fnfpbal, WithoutRunNameWritesUsage) {
  qortest::Workdir dir;
  auto r = dir.run("fnfpbal", {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, kBanner + "Usage: " + qortest::program_path("fnfpbal") + " run_name [-option value]*\n" +
                       " -distfile <runname>.dist    Score file to read (required).\n"
                       "[-distfile2 <runname>.dist]  Second (database) score file.\n\n"
                       "fnfpbal outputs a file runname.dat with this info:\n"
                       "1.  interpolated number of false negatives and false positives and\n"
                       "    sequence log-odds score at the two points which bracket the\n"
                       "2.   exact point where FN=FP\n2.  the integer value of the number of sequences "
                       "where FN=FP\n3.  the number of FP where FN=0; the number of FN where FP=0\n"
                       "3.  The MER\n");
  EXPECT_TRUE(dir.files().empty());
}

}  // namespace
