// lensplit end to end: the split at the limit, the statistics lines (an empty part repeats the SD
// of the part before it), several databases, id selection and exclusion, compressed databases,
// multi-track sources with "-" tracks, the missing-option messages and unusual input files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/harness.h"

namespace {

const std::string kBanner =
    "QOR: " + qortest::program_path("lensplit") + " v3.5 (July 15, 2005) compiled 07/19/05_11:12:48\n";

const std::string kUsage =
    "   -max_seq_length <integer>   Required\n"
    "   -db   sequencefile          Required\n"
    "Where\n"
    "    sequencefile is a sequence database\n"
    "    max_seq_length <integer> specifies maximum length\n"
    "    for <runname>A.seq; other sequences are put in \n"
    "    <runname>B.seq.\n";

// Lengths 9, 5, 2, 20.
const std::string kDb = ">s1 first\nACDEFGHIK\n>s2\nACDEF\n>s3 third one\nAC\n>s4\nACDEFGHIKLMNPQRSTVWY\n";
// Lengths 3, 10.
const std::string kDb2 = ">t1\nMKV\n>t2\nMKVLAAGIVL\n";

struct Case {
  const char *what;
  std::map<std::string, std::string> inputs;  // files written before the run
  std::vector<std::string> args;              // after the run name "run"
  int status;
  std::string out, err;                        // err after the banner line
  std::map<std::string, std::string> outputs;  // files the run leaves besides its inputs
};

void check(const Case &c) {
  qortest::Workdir dir;
  std::set<std::string> expected_files;
  for (const auto &f : c.inputs) {
    dir.write(f.first, f.second);
    expected_files.insert(f.first);
  }
  std::vector<std::string> args = {"run"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  qortest::RunResult r = dir.run("lensplit", args);
  EXPECT_EQ(r.status, c.status) << c.what;
  EXPECT_EQ(r.out, c.out) << c.what;
  EXPECT_EQ(r.err, kBanner + c.err) << c.what;
  for (const auto &f : c.outputs) {
    expected_files.insert(f.first);
    if (dir.exists(f.first)) {
      EXPECT_EQ(dir.read(f.first), f.second) << c.what << ": " << f.first;
    }
  }
  EXPECT_EQ(dir.files(), expected_files) << c.what;
}

const std::string kFound4 = "Database Files:  db.fa\nFound 4 sequences in 1 file; selected 4 sequences\n";
const std::string kStats4 = "Database:   N=     4 Length Min=   2 Ave=   9 Max=  20 SD=  7\n";
const std::string kSplitAt5 = kFound4 + kStats4 +
                              "runA.seq:   N=     2 Length Min=   2 Ave=   3 Max=   5 SD=  2\n"
                              "runB.seq:   N=     2 Length Min=   9 Ave=  14 Max=  20 SD=  7\n";
const std::map<std::string, std::string> kFilesAt5 = {
    {"runA.seq", ">s2\nACDEF\n>s3 third one\nAC\n"},
    {"runB.seq", ">s1 first\nACDEFGHIK\n>s4\nACDEFGHIKLMNPQRSTVWY\n"}};

TEST(Lensplit, Splits) {
  const std::string all_in_a = kFound4 + kStats4 +
                               "runA.seq:   N=     4 Length Min=   2 Ave=   9 Max=  20 SD=  7\n"
                               "runB.seq:   N=     0 Length Min=   0 Ave=   0 Max=   0 SD=  7\n";
  const std::map<std::string, std::string> all_in_a_files = {{"runA.seq", kDb}, {"runB.seq", ""}};
  const Case cases[] = {
      {"a length equal to the limit goes to A",
       {{"db.fa", kDb}},
       {"-max_seq_length", "5", "-db", "db.fa"},
       0,
       kSplitAt5,
       "",
       kFilesAt5},
      {"nothing longer: B is empty and repeats the SD of A",
       {{"db.fa", kDb}},
       {"-max_seq_length", "20", "-db", "db.fa"},
       0,
       all_in_a,
       "",
       all_in_a_files},
      {"the default value given explicitly is accepted",
       {{"db.fa", kDb}},
       {"-max_seq_length", "2500", "-db", "db.fa"},
       0,
       all_in_a,
       "",
       all_in_a_files},
      {"two databases are split as one table",
       {{"db.fa", kDb}, {"db2.fa", kDb2}},
       {"-max_seq_length", "5", "-db", "db.fa", "-db", "db2.fa"},
       0,
       "Database Files:  db.fa db2.fa\nFound 6 sequences in 2 files; selected 6 sequences\n"
       "Database:   N=     6 Length Min=   2 Ave=   8 Max=  20 SD=  6\n"
       "runA.seq:   N=     3 Length Min=   2 Ave=   3 Max=   5 SD=  1\n"
       "runB.seq:   N=     3 Length Min=   9 Ave=  13 Max=  20 SD=  6\n",
       "",
       {{"runA.seq", ">s2\nACDEF\n>s3 third one\nAC\n>t1\nMKV\n"},
        {"runB.seq", ">s1 first\nACDEFGHIK\n>s4\nACDEFGHIKLMNPQRSTVWY\n>t2\nMKVLAAGIVL\n"}}},
      {"ids in list order, a repeat reported once per repeat",
       {{"db.fa", kDb}},
       {"-max_seq_length", "5", "-db", "db.fa", "-id", "s4", "-id", "s2", "-id", "s4"},
       0,
       "Database Files:  db.fa\nSelect IDs:  s4 s2 s4\nFound 4 sequences in 1 file; selected 2 sequences\n"
       "Database:   N=     2 Length Min=   5 Ave=  12 Max=  20 SD= 10\n"
       "runA.seq:   N=     1 Length Min=   5 Ave=   5 Max=   5 SD= 10\n"
       "runB.seq:   N=     1 Length Min=  20 Ave=  20 Max=  20 SD= 10\n",
       "ID s4 selected twice; skipping repeat.\n",
       {{"runA.seq", ">s2\nACDEF\n"}, {"runB.seq", ">s4\nACDEFGHIKLMNPQRSTVWY\n"}}},
      {"an absent id is reported and skipped",
       {{"db.fa", kDb}},
       {"-max_seq_length", "5", "-db", "db.fa", "-id", "zz", "-id", "s3"},
       0,
       "Database Files:  db.fa\nSelect IDs:  zz s3\nFound 4 sequences in 1 file; selected 1 sequence\n"
       "Database:   N=     1 Length Min=   2 Ave=   2 Max=   2 SD=  0\n"
       "runA.seq:   N=     1 Length Min=   2 Ave=   2 Max=   2 SD=  0\n"
       "runB.seq:   N=     0 Length Min=   0 Ave=   0 Max=   0 SD=  0\n",
       "Unable to find sequence `zz'.\n",
       {{"runA.seq", ">s3 third one\nAC\n"}, {"runB.seq", ""}}},
      {"exclusions",
       {{"db.fa", kDb}},
       {"-max_seq_length", "5", "-db", "db.fa", "-not_id", "s1", "-not_id", "zz"},
       0,
       "Database Files:  db.fa\nExclude IDs:  s1 zz\nFound 4 sequences in 1 file; selected 3 sequences\n"
       "Database:   N=     3 Length Min=   2 Ave=   9 Max=  20 SD=  9\n"
       "runA.seq:   N=     2 Length Min=   2 Ave=   3 Max=   5 SD=  2\n"
       "runB.seq:   N=     1 Length Min=  20 Ave=  20 Max=  20 SD=  2\n",
       "Unable to find sequence `zz' for exclusion.\n",
       {{"runA.seq", ">s2\nACDEF\n>s3 third one\nAC\n"}, {"runB.seq", ">s4\nACDEFGHIKLMNPQRSTVWY\n"}}},
      {"the limit by NscoreSeq",
       {{"db.fa", kDb}},
       {"-max_seq_length", "5", "-db", "db.fa", "-NscoreSeq", "2"},
       0,
       "Database Files:  db.fa\nFound 2 sequences in 1 file; selected 2 sequences\n"
       "Database:   N=     2 Length Min=   5 Ave=   7 Max=   9 SD=  2\n"
       "runA.seq:   N=     1 Length Min=   5 Ave=   5 Max=   5 SD=  2\n"
       "runB.seq:   N=     1 Length Min=   9 Ave=   9 Max=   9 SD=  2\n",
       "",
       {{"runA.seq", ">s2\nACDEF\n"}, {"runB.seq", ">s1 first\nACDEFGHIK\n"}}},
  };
  for (const Case &c : cases) check(c);
}

TEST(Lensplit, MultiTrackSources) {
  const std::string t0 = ">a one\nACGTAC\n>b\nACG\n";
  const std::string t1 = ">a\nMKVLAA\n>b\nMKV\n";
  const std::string t2 = ">a\nEEHHLL\n>b\nEHL\n";
  const std::string out =
      "Database Files:  t0.fa,-,t2.fa\nFound 2 sequences in 1 file; selected 2 sequences\n"
      "Database:   N=     2 Length Min=   3 Ave=   4 Max=   6 SD=  2\n"
      "runA.seq:   N=     1 Length Min=   3 Ave=   3 Max=   3 SD=  2\n"
      "runB.seq:   N=     1 Length Min=   6 Ave=   6 Max=   6 SD=  2\n";
  const Case cases[] = {
      {"a \"-\" middle track; track 0 is written",
       {{"t0.fa", t0}, {"t2.fa", t2}},
       {"-max_seq_length", "4", "-alphabet", "DNA,protein,EHL", "-db", "t0.fa,-,t2.fa"},
       0,
       out,
       "",
       {{"runA.seq", ">b\nACG\n"}, {"runB.seq", ">a one\nACGTAC\n"}}},
      {"two tracks and a \"-\" last track",
       {{"t0.fa", t0}, {"t1.fa", t1}},
       {"-max_seq_length", "4", "-alphabet", "DNA,protein,EHL", "-db", "t0.fa t1.fa -"},
       0,
       "Database Files:  t0.fa t1.fa -\nFound 2 sequences in 1 file; selected 2 sequences\n"
       "Database:   N=     2 Length Min=   3 Ave=   4 Max=   6 SD=  2\n"
       "runA.seq:   N=     1 Length Min=   3 Ave=   3 Max=   3 SD=  2\n"
       "runB.seq:   N=     1 Length Min=   6 Ave=   6 Max=   6 SD=  2\n",
       "",
       {{"runA.seq", ">b\nACG\n"}, {"runB.seq", ">a one\nACGTAC\n"}}},
      {"more tracks than alphabets",
       {{"t0.fa", t0}, {"t1.fa", t1}},
       {"-max_seq_length", "4", "-alphabet", "DNA", "-db", "t0.fa,t1.fa"},
       1,
       "",
       "Error: 1 alphabets are specified, however 2 sequence tracks\nare specified with the files:\n"
       "    t0.fa\n    t1.fa\n"
       "Error: The number of tracks is either specified on the command line or other sequence set.\n",
       {}},
      {"tracks whose ids differ",
       {{"t0.fa", t0}, {"t1.fa", ">a\nMKVLAA\n>c\nMKV\n"}},
       {"-max_seq_length", "4", "-alphabet", "DNA,protein", "-db", "t0.fa,t1.fa"},
       1,
       "",
       "Error: Sequence id c from t1.fa does not match id of main sequence (b)\n",
       {}},
      {"a longer track is reported",
       {{"t0.fa", t0}, {"t1.fa", t1 + ">c\nMM\n"}},
       {"-max_seq_length", "4", "-alphabet", "DNA,protein", "-db", "t0.fa,t1.fa"},
       0,
       "Database Files:  t0.fa,t1.fa\nFound 2 sequences in 1 file; selected 2 sequences\n"
       "Database:   N=     2 Length Min=   3 Ave=   4 Max=   6 SD=  2\n"
       "runA.seq:   N=     1 Length Min=   3 Ave=   3 Max=   3 SD=  2\n"
       "runB.seq:   N=     1 Length Min=   6 Ave=   6 Max=   6 SD=  2\n",
       "Warning: sequence file t1.fa longer than other tracks\n",
       {{"runA.seq", ">b\nACG\n"}, {"runB.seq", ">a one\nACGTAC\n"}}},
  };
  for (const Case &c : cases) check(c);
}

TEST(Lensplit, MissingOptions) {
  const Case cases[] = {
      {"no max_seq_length",
       {{"db.fa", kDb}},
       {"-db", "db.fa"},
       1,
       "",
       "Splitting sequence length must be specified.  Use -max_seq_length <int>\n" + kUsage,
       {}},
      {"no database",
       {{"db.fa", kDb}},
       {"-max_seq_length", "5"},
       1,
       "",
       "A sequence database file is required:\n" + kUsage,
       {}},
      {"neither: the length is asked for first",
       {},
       {},
       1,
       "",
       "Splitting sequence length must be specified.  Use -max_seq_length <int>\n" + kUsage,
       {}},
      {"a database that does not exist",
       {},
       {"-max_seq_length", "5", "-db", "none.fa"},
       1,
       "",
       "Error: Couldn't open file none.fa: No such file or directory\n\n",
       {}},
  };
  for (const Case &c : cases) check(c);
}

TEST(Lensplit, CompressedDatabases) {
  for (const std::string name : {"db.fa", "db.fa.gz"}) {
    qortest::Workdir dir;
    dir.write("db.fa", kDb);
    if (system(("gzip -n '" + dir.file("db.fa") + "'").c_str()) != 0) GTEST_SKIP() << "gzip not available";
    qortest::RunResult r = dir.run("lensplit", {"run", "-max_seq_length", "5", "-db", name});
    EXPECT_EQ(r.status, 0) << name;
    std::string found = "Database Files:  " + name + "\nFound 4 sequences in 1 file; selected 4 sequences\n";
    EXPECT_EQ(r.out, found + kSplitAt5.substr(kFound4.size())) << name;
    EXPECT_EQ(r.err, kBanner) << name;
    EXPECT_EQ(dir.files(), (std::set<std::string>{"db.fa.gz", "runA.seq", "runB.seq"})) << name;
    EXPECT_EQ(dir.read("runA.seq"), kFilesAt5.at("runA.seq")) << name;
    EXPECT_EQ(dir.read("runB.seq"), kFilesAt5.at("runB.seq")) << name;
  }
}

std::string crlf(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST(Lensplit, UnusualInput) {
  const Case cases[] = {
      {"CRLF line ends read as LF",
       {{"db.fa", crlf(kDb)}},
       {"-max_seq_length", "5", "-db", "db.fa"},
       0,
       kSplitAt5,
       "",
       kFilesAt5},
      {"an empty database",
       {{"db.fa", ""}},
       {"-max_seq_length", "5", "-db", "db.fa"},
       1,
       "",
       "Error: No sequences specified; exiting\n",
       {}},
      {"a header at the very end of the file is an empty sequence",
       {{"db.fa", ">s1\nACGT\n>s2"}},
       {"-max_seq_length", "3", "-db", "db.fa"},
       0,
       "Database Files:  db.fa\nFound 2 sequences in 1 file; selected 2 sequences\n"
       "Database:   N=     2 Length Min=   0 Ave=   2 Max=   4 SD=  2\n"
       "runA.seq:   N=     1 Length Min=   0 Ave=   0 Max=   0 SD=  2\n"
       "runB.seq:   N=     1 Length Min=   4 Ave=   4 Max=   4 SD=  2\n",
       "",
       {{"runA.seq", ">s2\n"}, {"runB.seq", ">s1\nACGT\n"}}},
      {"no final newline and blank lines",
       {{"db.fa", "\n\n>s1\nAC\n\nGT\n\n>s2\nA"}},
       {"-max_seq_length", "3", "-alphabet", "DNA", "-db", "db.fa"},
       0,
       "Database Files:  db.fa\nFound 2 sequences in 1 file; selected 2 sequences\n"
       "Database:   N=     2 Length Min=   1 Ave=   2 Max=   4 SD=  2\n"
       "runA.seq:   N=     1 Length Min=   1 Ave=   1 Max=   1 SD=  2\n"
       "runB.seq:   N=     1 Length Min=   4 Ave=   4 Max=   4 SD=  2\n",
       "",
       {{"runA.seq", ">s2\nA\n"}, {"runB.seq", ">s1\nACGT\n"}}},
  };
  for (const Case &c : cases) check(c);
}

TEST(Lensplit, SequenceOfSeveralMegabases) {
  // Three million letters: nothing is cut, and the output is written 50 letters a line.
  const int length = 3000000;
  std::string letters;
  letters.reserve(length);
  for (int i = 0; i < length; i++) letters += "ACGT"[(i * 7 + i / 13) % 4];
  std::string input = ">big\n";
  for (int i = 0; i < length; i += 80) input += letters.substr(i, 80) + "\n";
  std::string expected = ">big\n";
  for (int i = 0; i < length; i += 50) expected += letters.substr(i, 50) + "\n";
  qortest::Workdir dir;
  dir.write("db.fa", input + ">small\nACGT\n");
  qortest::RunResult r = dir.run("lensplit", {"run", "-max_seq_length", "10", "-db", "db.fa"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, kBanner);
  EXPECT_EQ(r.out,
            "Database Files:  db.fa\nFound 2 sequences in 1 file; selected 2 sequences\n"
            "Database:   N=     2 Length Min=   4 Ave=1500002 Max=3000000 SD=2121317\n"
            "runA.seq:   N=     1 Length Min=   4 Ave=   4 Max=   4 SD=2121317\n"
            "runB.seq:   N=     1 Length Min=3000000 Ave=3000000 Max=3000000 SD=2121317\n");
  EXPECT_EQ(dir.read("runA.seq"), ">small\nACGT\n");
  EXPECT_TRUE(dir.read("runB.seq") == expected) << "the long sequence differs";
}

}  // namespace
