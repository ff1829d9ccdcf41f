// fitseq end to end: the usage and required-model messages; the local modes on a three-position
// DNA model whose alignments follow by hand from its costs; dots on and off; empty sequences; id
// selection and an empty selection; alignments that do not depend on the row-store bound maxmem;
// the 45 globins against the globin model.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "tools/harness.h"

namespace {

using qortest::RunResult;
using qortest::Workdir;

const std::string kBanner = "QOR: fitseq v3.5 (July 15, 2005) compiled 07/19/05_11:12:14\n";
const std::string kUsage =
    "    -modelfile model_file             required\n"
    "    -db seq_file [-db seq_filen]*     one or more sequence files\n"
    "    [-id seqid]*                      one or more sequence IDs\n"
    "    [-pptrim <value>]*                create .ta2m trimmed alignment\n"
    "See documentation for additional options.\n";
const std::string kModelRequired =
    "This program requires a QOR model specified as either\n"
    "-i file, which contains a MODEL, or\n"
    "-model_file file, where file contains any model structure, or\n"
    "-trackmod file1,file2,..., for a multitrack model, or\n"
    "-query sequencefile   for a Smith and Waterman query model.\n";

const char kModel[] = "fitseq_dna3.mod";
const char kSeqs[] = "fitseq_dna.fa";
// The standard error stream of a run on the DNA fixtures, up to the database report.
const std::string kDnaErr =
    kBanner + "fitseq_dna3.mod(19):  Reading initial model from MODEL -- three positions A C G\n";

std::string example(const std::string &name) {
  return qortest::slurp(std::string(QOR_SHARED_EXAMPLES) + "/" + name);
}

// Runs fitseq "run" on the DNA model and sequence fixtures with the extra options.
RunResult run_dna(Workdir &dir, const std::vector<std::string> &options) {
  dir.copy_fixture(kModel);
  dir.copy_fixture(kSeqs);
  std::vector<std::string> args = {"run", "-model_file", kModel, "-db", kSeqs};
  args.insert(args.end(), options.begin(), options.end());
  return dir.run("fitseq", args);
}

// The records of an A2M file: id line, then the text with its line breaks removed.
std::vector<std::pair<std::string, std::string>> records_of(const std::string &a2m) {
  std::vector<std::pair<std::string, std::string>> records;
  for (const std::string &line : qortest::lines_of(a2m)) {
    if (!line.empty() && line[0] == '>')
      records.push_back({line, ""});
    else if (!records.empty())
      records.back().second += line;
  }
  return records;
}

int columns_of(const std::string &text) {
  int n = 0;
  for (char c : text) n += (c >= 'A' && c <= 'Z') || c == '-';
  return n;
}

// ---- Messages without a run -------------------------------------------------------------------

TEST(Fitseq, UsageAndRequiredModelMessages) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{}, kBanner + "Usage: " + qortest::program_path("fitseq") + " run_name [-option value]*\n" + kUsage},
      {{"run", "-db", "x.fa"}, kBanner + kModelRequired + kUsage},
  };
  for (const Case &c : cases) {
    Workdir dir;
    RunResult r = dir.run("fitseq", c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(dir.files(), std::set<std::string>{});  // not even <run>.a2m
  }
}

// ---- Local modes on the DNA model ---------------------------------------------------------------
//
// The model (letters in the DNA alphabet's order A G C T): positions 1, 2, 3 emit A, C, G with 0.97
// (cost 30) and every other letter with 0.01 (4605); inserts are flat (1386 per letter). Leaving a
// match state: M->M 0.9 (105), M->D 0.05 (2996), M->I 0.05 (2996), M3->end 0.95 (51); D->D and
// D->M 0.5 (693); I->I and I->M 0.5 (693), so a run of inserts cannot be left into a delete state.
//
// Global (SW 0), by hand: ACG matches all three (456); ACTG can only insert T between C and G;
// AG is A-G (3905) rather than A matched and G mismatched (7841); the empty sequence deletes all
// three; TTACGTT inserts TT before node 1 and after node 3; GA is gA-- (G inserted before node 1,
// 8794) rather than --Ga (9487); C is -C- (6715) rather than C-- (8399) or --C (9038). Semi-local
// (SW 1) adds jumps into and out of node 2 only (the only node between 2 and L-1) in the first
// and last rows, which change none of these texts. With auto_fim 0 local mode (SW 2) jumps in every
// row, again only at node 2, and gives the same texts.
//
// Local and domain modes (SW 2, 3) add free-insertion modules at node 0 and after node 3: their
// inserts take the normalised geometric mean of the match tables of nodes 1..L-1 (A and C cost 790,
// G and T 3077), their loop costs one M->M step (105), and entering and leaving them is free. The
// step through the appended module is taken out of each alignment, so the texts keep 3 columns.
// Domain mode (no jumps): AG becomes a--G (790 + 693 + 693 + 30 + 51) and C ---c (693 + 693 +
// 790); local mode also jumps into node 2 or 3 from D1 of the previous row and out of node 2 or 3,
// so ACTG becomes act--G (4948, below ACtG's 5321), AG a--G and C -C-.

const std::string kGlobalDots =
    ">acg\n..AC.G..\n>actg\n..ACtG..\n>ag\n..A-.G..\n>empty\n..--.-..\n>ttacgtt\nttAC.Gtt\n>ga\ng.A-.-..\n"
    ">c\n..-C.-..\n";
const std::string kGlobalPlain =
    ">acg\nACG\n>actg\nACtG\n>ag\nA-G\n>empty\n---\n>ttacgtt\nttACGtt\n>ga\ngA--\n>c\n-C-\n";
const std::string kLocalDots =
    ">acg\n...ACG..\n>actg\nact--G..\n>ag\na..--G..\n>empty\n...---..\n>ttacgtt\ntt.ACGtt\n>ga\n...--Ga.\n"
    ">c\n...-C-..\n";
const std::string kDomainDots =
    ">acg\n..AC.G..\n>actg\n..ACtG..\n>ag\na.--.G..\n>empty\n..--.-..\n>ttacgtt\nttAC.Gtt\n>ga\n..--.Ga.\n"
    ">c\n..--.-c.\n";

const std::string kGlobalOut = "% Sequence-model (global) (SW = 0)\n";
const std::string kAdjusted = "% Simple scores adjusted by +1.5*ln(seq len) (adjust_score = 2)\n";
const std::string kFimsAdded = "% Track 0 FIMs added (geometric mean of match probabilities (6))\n";
const std::string kModelLine = "% Single Track Model:  fitseq_dna3.mod\n";

TEST(Fitseq, LocalModesOnTheDnaModel) {
  struct Case {
    std::vector<std::string> options;
    std::string out, a2m;
  };
  const Case cases[] = {
      {{"-SW", "0"}, kGlobalOut + kModelLine, kGlobalDots},
      {{"-SW", "0", "-a2mdots", "0"}, kGlobalOut + kModelLine, kGlobalPlain},
      {{"-SW", "0", "-adpstyle", "3"}, kGlobalOut + kModelLine, kGlobalDots},  // style 3 aligns as 1
      {{"-SW", "1"}, "% Sequence-submodel (semilocal) (SW = 1)\n" + kAdjusted + kModelLine, kGlobalDots},
      {{"-SW", "2"},
       "% Subsequence-submodel (local) (SW = 2)\n" + kAdjusted + kFimsAdded + kModelLine,
       kLocalDots},
      {{}, "% Subsequence-submodel (local) (SW = 2)\n" + kAdjusted + kFimsAdded + kModelLine, kLocalDots},
      {{"-SW", "3"}, "% Subsequence-model (domain) (SW = 3)\n" + kFimsAdded + kModelLine, kDomainDots},
      {{"-SW", "2", "-auto_fim", "0", "-a2mdots", "0"},
       "% Subsequence-submodel (local) (SW = 2)\n" + kAdjusted +
           "% WARNING: SW 2 works best with FIMs at both model ends.\n" + kModelLine,
       kGlobalPlain},
  };
  for (const Case &c : cases) {
    std::string what = c.options.empty() ? "defaults" : c.options[0] + " " + c.options[1];
    if (c.options.size() > 2) what += " " + c.options[2] + " " + c.options[3];
    Workdir dir;
    RunResult r = run_dna(dir, c.options);
    EXPECT_EQ(r.status, 0) << what;
    EXPECT_EQ(r.out, c.out) << what;
    EXPECT_EQ(r.err,
              kDnaErr + "Database Files:  fitseq_dna.fa\nFound 7 sequences in 1 file; selected 7 sequences\n")
        << what;
    EXPECT_EQ(dir.files(), (std::set<std::string>{kModel, kSeqs, "run.a2m"})) << what;
    EXPECT_EQ(dir.read("run.a2m"), c.a2m) << what;
  }
}

// A database of empty sequences only: the engine is set up for length 0 and every sequence is the
// all-delete path, in local mode too (the appended module's delete taken back).
TEST(Fitseq, EmptySequencesAlignAsDeletions) {
  Workdir dir;
  dir.copy_fixture(kModel);
  dir.write("e.fa", ">e1\n>e2 no letters\n");
  RunResult r = dir.run("fitseq", {"run", "-model_file", kModel, "-db", "e.fa"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, kDnaErr + "Database Files:  e.fa\nFound 2 sequences in 1 file; selected 2 sequences\n");
  EXPECT_EQ(dir.read("run.a2m"), ">e1\n---\n>e2 no letters\n---\n");
}

// ---- Selection ----------------------------------------------------------------------------------

TEST(Fitseq, IdSelectionAlignsTheListedSequencesInListOrder) {
  Workdir dir;
  RunResult r = run_dna(dir, {"-SW", "0", "-a2mdots", "0", "-id", "ga", "-id", "zz", "-id", "acg"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, kDnaErr +
                       "Unable to find sequence `zz'.\n"
                       "Database Files:  fitseq_dna.fa\n"
                       "Select IDs:  ga zz acg\n"
                       "Found 7 sequences in 1 file; selected 2 sequences\n");
  EXPECT_EQ(dir.read("run.a2m"), ">ga\ngA--\n>acg\nACG\n");
}

// Nothing selected: the run warns, writes an empty <run>.a2m and succeeds.
TEST(Fitseq, EmptySelectionWarnsAndWritesAnEmptyAlignment) {
  Workdir dir;
  RunResult r = run_dna(dir, {"-id", "zz"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, kDnaErr +
                       "Unable to find sequence `zz'.\n"
                       "Database Files:  fitseq_dna.fa\n"
                       "Select IDs:  zz\n"
                       "Found 7 sequences in 1 file; selected 0 sequences\n"
                       "Warning:  Call to align_sequences with 0 sequences.\n");
  EXPECT_EQ(dir.files(), (std::set<std::string>{kModel, kSeqs, "run.a2m"}));
  EXPECT_EQ(dir.read("run.a2m"), "");
}

// ---- The row-store bound ------------------------------------------------------------------------

// With maxmem 0 the row store holds only sqrt(2 maxlen) + 4 rows, so every sequence is aligned
// through checkpoints and recomputed segments; the alignments must not change. A bound between
// that minimum and what the sequences need gives the two-line warning.
TEST(Fitseq, RowStoreBoundDoesNotChangeTheAlignment) {
  Workdir dir;
  dir.write("globins4.mod", example("globins4.mod"));
  dir.write("globins45.fa", example("globins45.fa"));
  std::vector<std::string> args = {"big", "-model_file", "globins4.mod", "-db", "globins45.fa"};
  RunResult big = dir.run("fitseq", args);
  ASSERT_EQ(big.status, 0) << big.err;
  struct Case {
    const char *maxmem;
    std::string warning;
  };
  const Case cases[] = {
      {"0", ""},
      {"20000",
       "Warning:  A dynamic programming matrix of 37 KB\n"
       "is being allocated even though maxmem is only 20000 (19 KB)\n"},
  };
  for (const Case &c : cases) {
    std::vector<std::string> small = args;
    small[0] = std::string("m") + c.maxmem;
    small.insert(small.end(), {"-maxmem", c.maxmem});
    RunResult r = dir.run("fitseq", small);
    EXPECT_EQ(r.status, 0) << c.maxmem;
    EXPECT_EQ(r.err, big.err + c.warning) << c.maxmem;
    EXPECT_EQ(dir.read(small[0] + ".a2m"), dir.read("big.a2m")) << c.maxmem;
  }

  // One long DNA sequence (3000 letters from a fixed seed) in 81 rows of the DNA model.
  const unsigned seed = 20050715;
  std::mt19937 rng(seed);
  std::string letters;
  for (int i = 0; i < 3000; i++) letters += "ACGT"[rng() % 4];
  std::string fasta = ">long\n";
  for (size_t i = 0; i < letters.size(); i += 60) fasta += letters.substr(i, 60) + "\n";
  dir.write("long.fa", fasta);
  dir.copy_fixture(kModel);
  RunResult wide =
      dir.run("fitseq", {"wide", "-model_file", kModel, "-db", "long.fa", "-maxmem", "100000000"});
  RunResult narrow = dir.run("fitseq", {"narrow", "-model_file", kModel, "-db", "long.fa", "-maxmem", "0"});
  EXPECT_EQ(wide.status, 0) << "seed " << seed;
  EXPECT_EQ(narrow.status, 0) << "seed " << seed;
  EXPECT_EQ(narrow.err, wide.err) << "seed " << seed;
  EXPECT_EQ(dir.read("narrow.a2m"), dir.read("wide.a2m")) << "seed " << seed;
  EXPECT_EQ(columns_of(records_of(dir.read("wide.a2m")).at(0).second), 3) << "seed " << seed;
}

// ---- The globin example ---------------------------------------------------------------------------

TEST(Fitseq, GlobinExampleWritesFortyFiveRecordsOfEqualColumns) {
  Workdir dir;
  dir.write("globins4.mod", example("globins4.mod"));
  dir.write("globins45.fa", example("globins45.fa"));
  RunResult r = dir.run("fitseq", {"globins", "-model_file", "globins4.mod", "-db", "globins45.fa"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "% Subsequence-submodel (local) (SW = 2)\n" + kAdjusted + kFimsAdded +
                       "% Single Track Model:  globins4.mod\n");
  EXPECT_EQ(dir.files(), (std::set<std::string>{"globins4.mod", "globins45.fa", "globins.a2m"}));
  auto records = records_of(dir.read("globins.a2m"));
  ASSERT_EQ(records.size(), 45u);
  EXPECT_EQ(records[0].first, ">MYG_ESCGI");
  for (const auto &rec : records) {
    EXPECT_EQ(columns_of(rec.second), 149) << rec.first;  // the model's own positions only
    EXPECT_EQ(rec.second.size(), records[0].second.size()) << rec.first;
  }
}


TEST(Fitseq, NonZeroPptrimWritesThePosteriorFilesAndKeepsTheAlignment) {
  Workdir plain_dir, post_dir;
  RunResult plain = run_dna(plain_dir, {});
  RunResult post = run_dna(post_dir, {"-pptrim", "0.5"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_EQ(post.status, 0) << post.err;
  EXPECT_EQ(plain_dir.files(), (std::set<std::string>{kModel, kSeqs, "run.a2m"}));
  EXPECT_EQ(post_dir.files(), (std::set<std::string>{kModel, kSeqs, "run.a2m", "run.pa2m", "run.ta2m"}));
  // The second (posterior) pass does not change the alignment.
  EXPECT_EQ(post_dir.read("run.a2m"), plain_dir.read("run.a2m"));
  auto alignment = records_of(post_dir.read("run.a2m"));
  auto trimmed = records_of(post_dir.read("run.ta2m"));
  ASSERT_EQ(trimmed.size(), alignment.size());
  for (size_t i = 0; i < trimmed.size(); i++) {
    EXPECT_EQ(trimmed[i].first, alignment[i].first);
    EXPECT_EQ(columns_of(trimmed[i].second), 3) << trimmed[i].first;  // trimming keeps every model column
  }
  EXPECT_FALSE(post_dir.read("run.pa2m").empty());
}

}  // namespace
