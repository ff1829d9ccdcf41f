// Models reach the frame: model blocks in parameter files and the file named by -model_file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "tools/harness.h"

namespace {

using qortest::RunResult;
using qortest::Workdir;

// A two-node DNA model block with its begin and end nodes: 2*4+9 = 17 numbers per node.
std::string dna_block(const std::string &text) {
  std::string node = " 0.1 0.8 0.1  0.1 0.8 0.1  0.1 0.8 0.1  0.4 0.2 0.2 0.2  0.25 0.25 0.25 0.25\n";
  return "MODEL -- " + text + "\nalphabet DNA\nBegin" + node + "1" + node + "2" + node + "End" + node +
         "ENDMODEL\n";
}

const char kRequires[] = "This program requires a QOR model specified as either\n";

TEST(ModelJoin, ModelBlockInParameterFileFillsModel) {
  Workdir dir;
  dir.write("p.txt", "% a model\n" + dna_block("first") + "maxmem 1000\n");
  RunResult r = dir.run("fitseq", {"run", "-i", "p.txt"});
  EXPECT_EQ(r.err.find(kRequires), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("p.txt(2):  Reading MODEL -- first\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(dir.exists("run.a2m"));
}

TEST(ModelJoin, LaterModelBlockWinsWithNote) {
  Workdir dir;
  dir.write("p.txt", dna_block("first") + dna_block("second"));
  RunResult r = dir.run("fitseq", {"run", "-i", "p.txt"});
  EXPECT_NE(r.err.find("p.txt(8):  Note: Last MODEL specified will be used.\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("p.txt(8):  Reading MODEL -- second\n"), std::string::npos) << r.err;
}

TEST(ModelJoin, ProgramsThatTakeNoModelSkipTheBlock) {
  Workdir dir;
  dir.write("p.txt", dna_block("first") + "max_seq_length 7\n");
  RunResult r = dir.run("lensplit", {"run", "-i", "p.txt"});
  EXPECT_NE(r.err.find("p.txt(1):  Skipping MODEL -- first\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Reading MODEL"), std::string::npos);
  EXPECT_EQ(r.err.find("Could not understand"), std::string::npos) << r.err;  // the block is passed over
}

TEST(ModelJoin, ModelFileFoundCompressedAlongPriorPath) {
  Workdir dir;
  std::string lib = dir.home() + "/lib";
  ASSERT_EQ(mkdir(lib.c_str(), 0755), 0);
  {
    std::ofstream(lib + "/m.mod") << dna_block("from the library");
  }
  std::string cmd = "gzip '" + lib + "/m.mod'";
  ASSERT_EQ(system(cmd.c_str()), 0);
  RunResult r = dir.run("fitseq", {"run", "-model_file", "m.mod"}, {{"PRIOR_PATH", lib}});
  EXPECT_EQ(r.err.find(kRequires), std::string::npos) << r.err;
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(dir.exists("run.a2m"));

  RunResult missing = dir.run("fitseq", {"run", "-model_file", "none.mod"}, {{"PRIOR_PATH", lib}});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Error: "), std::string::npos) << missing.err;
}

}  // namespace
