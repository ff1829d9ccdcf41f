// fitseq with alignment constraints: constraints tying residues to labelled nodes steer the
// alignment away from the unconstrained Viterbi path; constraints_out saves what the alignment
// satisfied (and reads back to the same alignment); constraints_out without constraint files
// writes an empty file; unlabeled ranges and other bad constraints stop the run.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tools/harness.h"

namespace {

using qortest::RunResult;
using qortest::Workdir;

// Three positions emitting A, C, G (cost 30 each, any other letter 4605), labelled 1, 2, 3 like
// their node numbers; inserts are flat (1386). Globally, AG aligns as A-G (A at node 1, G at node 3;
// the mismatch of G at node 2 costs more than the delete) and C as -C-; TTACGTT and ACG match
// A, C, G at nodes 1-3.
const char kModel[] = "constr_dna3.mod";
const char kSeqs[] = "constr_dna.fa";

const std::string kErr =
    "QOR: fitseq v3.5 (July 15, 2005) compiled 07/19/05_11:12:14\n"
    "constr_dna3.mod(20):  Reading initial model from MODEL -- three labelled positions A C G\n";
const std::string kDatabase =
    "Database Files:  constr_dna.fa\nFound 4 sequences in 1 file; selected 4 sequences\n";
const std::string kGlobalOut = "% Sequence-model (global) (SW = 0)\n% Single Track Model:  constr_dna3.mod\n";

const std::string kUnconstrained = ">acg\nACG\n>ag\nA-G\n>ttacgtt\nttACGtt\n>c\n-C-\n";

RunResult run_global(Workdir &dir, const std::vector<std::string> &options) {
  dir.copy_fixture(kModel);
  dir.copy_fixture(kSeqs);
  std::vector<std::string> args = {"run", "-model_file", kModel, "-db", kSeqs, "-SW", "0", "-a2mdots", "0"};
  args.insert(args.end(), options.begin(), options.end());
  return dir.run("fitseq", args);
}

TEST(FitseqConstraints, ConstraintsSteerTheAlignmentAndAreSaved) {
  Workdir dir;
  RunResult plain = run_global(dir, {});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.err, kErr + kDatabase);
  EXPECT_EQ(dir.read("run.a2m"), kUnconstrained);

  // G of ag on the node labelled 2 and C of c on the node labelled 3, which the unconstrained path
  // does not do; ttacgtt constrained the way it aligns anyway. Two files, read in order.
  dir.write("one.cons", "# the G of ag\nconstraints:\nag 2:2\n");
  dir.write("two.cons", "constraints:\nc 1:3\nttacgtt 3-5:1\n");
  RunResult r = run_global(
      dir, {"-constraints", "one.cons", "-constraints", "two.cons", "-constraints_out", "saved.cons"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kGlobalOut);
  EXPECT_EQ(r.err, kErr + kDatabase) << "no Viterbi consistency warning for constrained sequences";
  EXPECT_EQ(dir.read("run.a2m"), ">acg\nACG\n>ag\nAG-\n>ttacgtt\nttACGtt\n>c\n--C\n");
  EXPECT_EQ(dir.files(),
            (std::set<std::string>{kModel, kSeqs, "one.cons", "two.cons", "run.a2m", "saved.cons"}));
  // The satisfied constraints, one line per constrained sequence in hash-chain order (ag, ttacgtt,
  // c); acg carries no constraints and is not saved.
  const std::string saved = "constraints:\nag 2:2\nttacgtt 3-5:1\nc 1:3\n";
  EXPECT_EQ(dir.read("saved.cons"), saved);

  // The saved file steers the same alignment and saves itself again.
  RunResult again = run_global(dir, {"-constraints", "saved.cons", "-constraints_out", "again.cons"});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.err, kErr + kDatabase);
  EXPECT_EQ(dir.read("run.a2m"), ">acg\nACG\n>ag\nAG-\n>ttacgtt\nttACGtt\n>c\n--C\n");
  EXPECT_EQ(dir.read("again.cons"), saved);
}

// In local mode the free-insertion modules leave the labels and the node numbers of the model's own
// positions alone: the constraint is followed and saved with the same node.
TEST(FitseqConstraints, LocalModeKeepsLabelsAndNodeNumbers) {
  Workdir dir;
  dir.copy_fixture(kModel);
  dir.copy_fixture(kSeqs);
  dir.write("ag.cons", "constraints:\nag 2:2\n");
  std::vector<std::string> base = {"run", "-model_file", kModel, "-db", kSeqs, "-id", "ag"};
  RunResult plain = dir.run("fitseq", base);
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(dir.read("run.a2m"), ">ag\na--G\n");  // a in the leading module, G at node 3
  std::vector<std::string> args = base;
  args.insert(args.end(), {"-constraints", "ag.cons", "-constraints_out", "saved.cons"});
  RunResult r = dir.run("fitseq", args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, plain.err);
  EXPECT_EQ(dir.read("run.a2m"), ">ag\nAG-\n");
  EXPECT_EQ(dir.read("saved.cons"), "constraints:\nag 2:2\n");
}

// Only sequences that carry constraints are saved, so without constraint files the file is empty;
// the alignment is the unconstrained one.
TEST(FitseqConstraints, ConstraintsOutWithoutConstraintFilesWritesAnEmptyFile) {
  Workdir dir;
  RunResult r = run_global(dir, {"-constraints_out", "saved.cons"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, kErr + kDatabase);
  EXPECT_EQ(dir.files(), (std::set<std::string>{kModel, kSeqs, "run.a2m", "saved.cons"}));
  EXPECT_EQ(dir.read("saved.cons"), "");
  EXPECT_EQ(dir.read("run.a2m"), kUnconstrained);
}

TEST(FitseqConstraints, BadConstraintsStopTheRun) {
  struct Case {
    const char *name;
    std::string file;  // content of c.cons
    std::string err;   // after the model line
  };
  const Case cases[] = {
      {"unlabeled range", "constraints:\nc 1:2\nag 2\n",
       "Error: Error: constraint file c.cons has constraints with unspecified model labels,\n"
       "they are allowed only when creating a model from an alignment\n"},
      {"range past the sequence", "constraints:\nag 2-3:2\n",
       kDatabase + "Error: constraint 2-3 for ag is longer than the sequence (2)\n"},
      {"conflicting labels", "constraints:\nag 1-2:1\nag 2:3\n",
       kDatabase + "Error: sequence \"ag\", positon 2 already has label 2, trying to set it to 3\n"},
      {"bad definition", "constraints:\nag 2:\n",
       "Error: c.cons: 2: invalid constraint defintion: missing value following ':'\nag 2:\n"},
      {"data before the section", "ag 2:2\n", "Error: c.cons:1: data line before a section:\nag 2:2\n"},
  };
  for (const Case &c : cases) {
    Workdir dir;
    dir.write("c.cons", c.file);
    RunResult r = run_global(dir, {"-constraints", "c.cons", "-constraints_out", "saved.cons"});
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_EQ(r.out, kGlobalOut) << c.name;
    EXPECT_EQ(r.err, kErr + c.err) << c.name;
    // The alignment file is opened before the constraints are read; nothing is saved.
    EXPECT_EQ(dir.files(), (std::set<std::string>{kModel, kSeqs, "c.cons", "run.a2m"})) << c.name;
    EXPECT_EQ(dir.read("run.a2m"), "") << c.name;
  }

  Workdir dir;
  RunResult r = run_global(dir, {"-constraints", "none.cons"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kErr + "Error: Couldn't open file none.cons: No such file or directory\n\n");
}

}  // namespace
