// Sequence sources: tracks read in step ("-" tracks, numeric tracks), the track and alphabet
// checks, ids across tracks, the longer-track warning, empty files, HSSP entries, model sequences
// and the guide warning.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "seqfile_test_support.h"
#include "util/util.h"

namespace {

using seqfiletest::capture;
using seqfiletest::describe;
using seqfiletest::exactly;
using testing::ExitedWithCode;

// Reads the whole source into a table (converted); *err gets what went to standard error.
std::vector<std::string> read_all(const std::string &names, std::string *err = nullptr, int max = 1000) {
  qor::SequenceTable *table = qor::alloc_sequence_table();
  std::string e = capture(stderr, [&] { qor::read_sequences(names.c_str(), nullptr, max, table, 1); });
  if (err != nullptr) *err = e;
  std::vector<std::string> out = describe(table);
  qor::free_sequence_table(table);
  return out;
}

// Reads the whole source without capturing standard error (for death tests).
void read_uncaptured(const std::string &names) {
  qor::SequenceTable *table = qor::alloc_sequence_table();
  qor::read_sequences(names.c_str(), nullptr, 1000, table, 1);
  qor::free_sequence_table(table);
}

// FASTA entries s1..sN with the given sequence text each.
std::string entries(int n, const std::string &text, const std::string &prefix = "s") {
  std::string out;
  for (int i = 1; i <= n; i++) out += ">" + prefix + std::to_string(i) + "\n" + text + "\n";
  return out;
}

TEST(SequenceSource, ReadsTracksInStep) {
  struct Case {
    const char *what;
    std::vector<const char *> alphabets;
    std::vector<std::string> files;  // contents of t0, t1, ...; "-" names an empty track
    std::vector<std::string> expected;
  } cases[] = {
      {"one FASTA track", {"DNA"}, {">a first one\nAC-G.T\n>b\nacgu\n"}, {"a|first one|ACGT", "b||ACGT"}},
      {"two tracks, annotation from the first track that has one",
       {"DNA", "protein"},
       {">a\nACGT\n>b\nAC\n", ">a from track 1\nMKVL\n>b\nMK\n"},
       {"a|from track 1|ACGT|MKVL", "b||AC|MK"}},
      {"an empty middle track stays without letters",
       {"DNA", "protein", "EHL"},
       {">a\nACGT\n", "-", ">a\nEEHL\n"},
       {"a||ACGT|-|EEHC"}},
      {"an empty first track",
       {"DNA", "EHL"},
       {"-", ">a\nEHL\n>b\nLL\n"},
       {"a||-|EHC", "b||-|CC"}},  // EHL reads L as C
      {"a numeric track (values of its own alphabet)",
       {"DNA", "NUM10"},
       {">a\nACG\n", ">a\n1 9 x\n"},
       {"a||ACG|1,9,9"}},
      {"a numeric first track", {"NUM20", "DNA"}, {">a\n19 0 7\n", ">a\nTTA\n"}, {"a||19,0,7|TTA"}},
  };
  for (const Case &c : cases) {
    seqfiletest::State state;
    alphatest::TempDir dir;
    qor::keepannotations = 1;
    seqfiletest::use_alphabets(c.alphabets);
    std::string list;
    for (size_t k = 0; k < c.files.size(); k++) {
      if (k > 0) list += ",";
      list += c.files[k] == "-" ? "-" : dir.write("t" + std::to_string(k) + ".fa", c.files[k]);
    }
    std::string err;
    EXPECT_EQ(read_all(list, &err), c.expected) << c.what;
    EXPECT_EQ(err, "") << c.what;
  }
}

TEST(SequenceSource, EmptyTrackGetsNoLetterArray) {
  // The "-" track of a two-track entry holds no letters at all, so that conversion and the length
  // checks never see it as a track of length 0.
  seqfiletest::State state;
  alphatest::TempDir dir;
  seqfiletest::use_alphabets({"DNA", "protein"});
  std::string list = dir.write("t0.fa", ">a\nACGT\n") + ",-";
  qor::OpenSeqTracks *src = qor::open_sequences(list.c_str());
  EXPECT_EQ(src->num_files, 2);
  EXPECT_EQ(src->files[1], nullptr);
  qor::Sequence *s = qor::read_sequence(src, 1);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->num_tracks, 2);
  EXPECT_EQ(s->tracks[1].letters, nullptr);
  EXPECT_EQ(s->length, 4);
  EXPECT_EQ(qor::read_sequence(src, 1), nullptr);
  qor::free_sequence(s);
  qor::close_sequences(src);
}

TEST(SequenceSource, IdsMustAgreeAcrossTracks) {
  seqfiletest::State state;
  alphatest::TempDir dir;
  seqfiletest::use_alphabets({"DNA", "DNA"});
  std::string t0 = dir.write("t0.fa", ">c1\nAC\n>c2\nAC\n>c3\nAC\n");
  std::string t1 = dir.write("t1.fa", ">c1\nGT\n>c2\nGT\n>x3\nGT\n");
  EXPECT_EXIT(read_uncaptured(t0 + "," + t1), ExitedWithCode(1),
              exactly("Error: Sequence id x3 from " + t1 + " does not match id of main sequence (c3)\n"));
}

TEST(SequenceSource, TrackLengthsMustAgree) {
  struct Case {
    const char *what;
    std::vector<const char *> alphabets;
    std::string t0, t1, message;
  } cases[] = {
      {"letter tracks",
       {"DNA", "DNA"},
       ">a\nACGT\n",
       ">a\nACG\n",
       "Error: ID a, track 1: length (3) does not match previous track (4)\n"},
      // Regression: a numeric track was never compared with the others, so a shorter one was read
      // beyond its values later.
      {"a numeric track shorter than the letter track",
       {"DNA", "NUM20"},
       ">a\nACGT\n",
       ">a\n1 2 3\n",
       "Error: ID a, track 1: length (3) does not match previous track (4)\n"},
  };
  for (const Case &c : cases) {
    seqfiletest::State state;
    alphatest::TempDir dir;
    seqfiletest::use_alphabets(c.alphabets);
    std::string list = dir.write("t0.fa", c.t0) + "," + dir.write("t1.fa", c.t1);
    EXPECT_EXIT(read_uncaptured(list), ExitedWithCode(1), exactly(c.message)) << c.what;
  }
}

TEST(SequenceSource, LongerTrackIsReportedAtClosing) {
  struct Case {
    int n0, n1;
    int expected_count;
    int longer;  // the track reported as longer, -1 for none
  } cases[] = {
      {10, 12, 10, 1},
      {10, 11, 10, 1},
      // Regression: when the first track was the longer one, its extra entry had already been read
      // in the round in which the second track ended, and no warning was given.
      {11, 10, 10, 0},
      {12, 10, 10, 0},
      {10, 10, 10, -1},
  };
  for (const Case &c : cases) {
    seqfiletest::State state;
    alphatest::TempDir dir;
    seqfiletest::use_alphabets({"DNA", "DNA"});
    std::string t0 = dir.write("t0.fa", entries(c.n0, "ACGT"));
    std::string t1 = dir.write("t1.fa", entries(c.n1, "GGCC"));
    std::string err;
    std::vector<std::string> got = read_all(t0 + "," + t1, &err);
    EXPECT_EQ(static_cast<int>(got.size()), c.expected_count) << c.n0 << " " << c.n1;
    std::string expected_err =
        c.longer < 0 ? ""
                     : "Warning: sequence file " + (c.longer == 0 ? t0 : t1) + " longer than other tracks\n";
    EXPECT_EQ(err, expected_err) << c.n0 << " " << c.n1;
  }
}

TEST(SequenceSource, NoWarningWhenTheMaximumStopsReading) {
  seqfiletest::State state;
  alphatest::TempDir dir;
  seqfiletest::use_alphabets({"DNA", "DNA"});
  std::string list = dir.write("t0.fa", entries(5, "AC")) + "," + dir.write("t1.fa", entries(9, "GT"));
  std::string err;
  EXPECT_EQ(read_all(list, &err, 3).size(), 3u);
  EXPECT_EQ(err, "");
}

TEST(SequenceSource, TrackCountChecks) {
  seqfiletest::State state;
  alphatest::TempDir dir;
  std::string a = dir.write("a.fa", ">s\nAC\n");
  std::string b = dir.write("b.fa", ">s\nGT\n");
  // Two files with one alphabet.
  EXPECT_EXIT(
      {
        seqfiletest::use_alphabets({"DNA"});
        qor::open_sequences((a + " " + b).c_str());
      },
      ExitedWithCode(1),
      exactly(
          "Error: 1 alphabets are specified, however 2 sequence tracks\nare specified with the files:\n    " +
          a + "\n    " + b +
          "\nError: The number of tracks is either specified on the command line or other sequence set.\n"));
  // Several files and no alphabet to guess from one of them.
  EXPECT_EXIT(
      qor::open_sequences((a + "," + b).c_str()), ExitedWithCode(1),
      exactly("Error: alphabet must be explictly specified when multiple sequence tracks are used\n"));
  // Seven files.
  std::string seven;
  std::string listed;
  for (int i = 0; i < 7; i++) {
    seven += (i > 0 ? "," : "") + a;
    listed += "    " + a + "\n";
  }
  EXPECT_EXIT(qor::open_sequences(seven.c_str()), ExitedWithCode(1),
              exactly("Error: too many sequence tracks specified by the files:\n" + listed +
                      "Error: maximum of 6 tracks supported.\n"));
  // Regression: a source of "-" tracks only never ends (every read succeeds without an entry).
  EXPECT_EXIT(
      {
        seqfiletest::use_alphabets({"DNA", "DNA"});
        qor::open_sequences("-,-");
      },
      ExitedWithCode(1), exactly("Error: the sequence source -,- names no file: every track is \"-\"\n"));
  // Six files with six alphabets are read.
  seqfiletest::use_alphabets({"DNA", "DNA", "DNA", "DNA", "DNA", "DNA"});
  std::string six = a + "," + a + "," + a + "," + a + "," + a + "," + a;
  EXPECT_EQ(read_all(six), std::vector<std::string>{"s||AC|AC|AC|AC|AC|AC"});
}

TEST(SequenceSource, EmptyFileIsProteinFastaWithoutSequences) {
  seqfiletest::State state;
  alphatest::TempDir dir;
  std::string empty = dir.write("empty.fa", "");
  std::string err;
  EXPECT_TRUE(read_all(empty, &err).empty());
  EXPECT_EQ(err, "");
  ASSERT_NE(qor::alphabet, nullptr);
  EXPECT_STREQ(qor::alphabet->name, "protein");
}

TEST(SequenceSource, GeneratedIds) {
  qor::OpenSeqFile *f = static_cast<qor::OpenSeqFile *>(qor::mem_alloc(sizeof(qor::OpenSeqFile)));
  f->name = strdup("some/dir/align.hssp");
  f->seq_count = 7;
  char *id = qor::generate_seq_id(f);
  EXPECT_STREQ(id, "align.hssp#7");
  free(id);
  free(f->name);
  f->name = strdup("plain");
  f->seq_count = 0;
  id = qor::generate_seq_id(f);
  EXPECT_STREQ(id, "plain#0");
  free(id);
  qor::close_sequence_file(f);
}

TEST(SequenceSource, HsspEntriesAreNumberedFromZero) {
  seqfiletest::State state;
  seqfiletest::use_alphabets({"protein"});
  qor::OpenSeqFile *f = static_cast<qor::OpenSeqFile *>(qor::mem_alloc(sizeof(qor::OpenSeqFile)));
  f->name = strdup("data/1abc.hssp");
  f->format = qor::SEQFORMAT_HSSP;
  f->hssp_count = 2;
  f->hssp_seqs = static_cast<char **>(qor::mem_alloc(2 * sizeof(char *)));
  f->hssp_seqs[0] = strdup("MKV.L");
  f->hssp_seqs[1] = strdup("MKVAL");
  qor::OpenSeqTracks *src = static_cast<qor::OpenSeqTracks *>(qor::mem_alloc(sizeof(qor::OpenSeqTracks)));
  src->num_files = 1;
  src->files[0] = f;
  std::vector<std::string> got;
  while (qor::Sequence *s = qor::read_sequence(src, 1)) {
    got.push_back(describe(s));
    qor::free_sequence(s);
  }
  EXPECT_EQ(got, (std::vector<std::string>{"1abc.hssp#0||MKVL", "1abc.hssp#1||MKVAL"}));
  EXPECT_EQ(f->seq_count, 2);
  EXPECT_EQ(f->at_end, 1);
  qor::close_sequences(src);
}

TEST(SequenceSource, FurtherFormatEntries) {
  // An NBRF file goes through the multi-format reader: one entry per call, ids from the id lines.
  seqfiletest::State state;
  alphatest::TempDir dir;
  std::string path = dir.write("cyt.pir",
                               ">P1;CCHU\ncytochrome c - human\nMGDVEKGKKIF*\n"
                               ">P1;CCHO\ncytochrome c - horse\nGDVEKG\nKKIF*\n");
  std::string err;
  std::vector<std::string> got = read_all(path, &err);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].substr(0, 5), "CCHU|");
  EXPECT_EQ(got[0].substr(got[0].rfind('|')), "|MGDVEKGKKIF");
  EXPECT_EQ(got[1].substr(0, 5), "CCHO|");
  EXPECT_EQ(got[1].substr(got[1].rfind('|')), "|GDVEKGKKIF");
  EXPECT_EQ(err, "");
}

// A DNA model (letters AGCT) of three nodes: node 1 ties (A), node 2 is missing and comes from
// GENERIC (peak at C), node 3 peaks at T.
std::string tiny_model(const char *name) {
  const char *trans = " 0.3 0.3 0.4\n 0.3 0.3 0.4\n 0.3 0.3 0.4\n";
  const char *flat = " 0.25 0.25 0.25 0.25\n";
  std::string m = std::string("MODEL -- ") + name + "\nalphabet DNA\n";
  m += std::string("GENERIC\n") + trans + " 0.1 0.2 0.6 0.1\n" + flat;
  m += std::string("Begin\n") + trans + flat + flat;
  m += std::string("   1\n") + trans + flat + flat;
  m += std::string("   3\n") + trans + " 0.1 0.1 0.1 0.7\n" + flat;
  m += std::string("End\n") + trans + flat + flat;
  m += "ENDMODEL\n";
  return m;
}

// An open model file (as the format detection would open it).
qor::OpenSeqFile *open_model_file(const std::string &path) {
  qor::OpenSeqFile *f = static_cast<qor::OpenSeqFile *>(qor::mem_alloc(sizeof(qor::OpenSeqFile)));
  f->name = strdup(path.c_str());
  f->format = qor::SEQFORMAT_MODEL;
  f->stream = qor::open_read(path.c_str(), qor::OPEN_REQUIRED);
  return f;
}

TEST(ModelSequences, EachModelIsOneSequence) {
  seqfiletest::State state;
  alphatest::TempDir dir;
  seqfiletest::use_alphabets({"DNA", "protein"});
  qor::keepannotations = 1;
  std::string path = dir.write("tiny.mod", tiny_model("one") + tiny_model("two") + tiny_model("three"));
  qor::OpenSeqTracks *src = static_cast<qor::OpenSeqTracks *>(qor::mem_alloc(sizeof(qor::OpenSeqTracks)));
  src->num_files = 2;
  src->files[0] = open_model_file(path);  // track 1 is "-"
  std::vector<std::string> got;
  std::string err = capture(stderr, [&] {
    while (qor::Sequence *s = qor::read_sequence(src, 1)) {
      got.push_back(describe(s));
      EXPECT_EQ(s->tracks[1].letters, nullptr) << "the \"-\" track must stay without letters";
      ASSERT_NE(s->tracks[0].probs, nullptr);
      EXPECT_FLOAT_EQ(s->tracks[0].probs[1][2], 0.6f) << "row of the missing node from GENERIC";
      EXPECT_FLOAT_EQ(s->tracks[0].probs[2][3], 0.7f);
      qor::free_sequence(s);
    }
    qor::close_sequences(src);
  });
  std::string expected = "tiny.mod|" + path + "|ACT|-";
  EXPECT_EQ(got, (std::vector<std::string>{expected, expected, expected}));
  EXPECT_EQ(err.find("Warning"), std::string::npos) << err;
}

TEST(ModelSequences, LengthMustMatchTheEarlierTracks) {
  seqfiletest::State state;
  alphatest::TempDir dir;
  seqfiletest::use_alphabets({"DNA", "DNA"});
  std::string fasta = dir.write("t0.fa", ">a\nACGTA\n");
  std::string model = dir.write("tiny.mod", tiny_model("one"));
  EXPECT_EXIT(
      {
        qor::OpenSeqTracks *src =
            static_cast<qor::OpenSeqTracks *>(qor::mem_alloc(sizeof(qor::OpenSeqTracks)));
        src->num_files = 2;
        src->files[0] = qor::open_sequence_file(fasta.c_str());
        src->files[1] = open_model_file(model);
        qor::verbout = nullptr;
        qor::read_sequence(src, 1);
      },
      ExitedWithCode(1),
      exactly("In file " + model + ", model has length 3 but earlier\nsequence track has length 5.\n" +
              "Error: Non-matching track sequences.\n"));
}

TEST(GuideSource, DatabaseThatIsNoModelIgnoresTheGuideOnce) {
  seqfiletest::State state;
  alphatest::TempDir dir;
  seqfiletest::use_alphabets({"DNA"});
  std::string db = dir.write("db.fa", ">a\nACGT\n>b\nAC\n");
  std::string guide = dir.write("guide.fa", ">a\nTTTT\n>b\nTT\n");
  // The warning is printed once per run: the run is a death-test child.
  EXPECT_EXIT(
      {
        qor::SequenceTable *table = qor::alloc_sequence_table();
        int n = qor::read_sequences(db.c_str(), guide.c_str(), 100, table, 1);
        n += qor::read_sequences(db.c_str(), guide.c_str(), 100, table, 1);
        if (n != 4 || describe(table)[0] != "a||ACGT") exit(2);
        exit(0);
      },
      ExitedWithCode(0),
      exactly("Warning: Guide sequence provided but database is not\n"
              "a model.  Ignoring guide file.  Further warnings surpressed.\n"));
}

}  // namespace
