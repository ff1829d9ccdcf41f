// hssptpl end to end: the usage path, a file of another format, a template named after the run,
// and broken or missing input files.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tools/harness.h"

namespace {

std::string banner() {
  return "QOR: " + qortest::program_path("hssptpl") + " v3.5 (July 15, 2005) compiled 07/19/05_11:12:40\n";
}

const char kUsage[] =
    "-alignfile filename: Aligned sequences to read.\n"
    "Other options are available -- see documentation.\n\n";

TEST(Hssptpl, WithoutAlignfileWritesUsageAndFails) {
  qortest::Workdir dir;
  auto r = dir.run("hssptpl", {"t1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, banner() + kUsage);
  EXPECT_TRUE(dir.files().empty());
}

TEST(Hssptpl, FastaFileIsNotHssp) {
  qortest::Workdir dir;
  dir.write("x.fa", ">a\nACGT\n");
  auto r = dir.run("hssptpl", {"t1", "-alignfile", "x.fa"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, banner() + "The alignment file x.fa is not an HSSP file.\n\n");
  EXPECT_EQ(dir.files(), (std::set<std::string>{"x.fa"}));
}

// The template is written in UTC: the program runs nine hours east of it.
TEST(Hssptpl, TemplateNamedAfterTheRun) {
  qortest::Workdir dir;
  dir.copy_fixture("hssp_two_blocks.hssp", "in.hssp");
  time_t before = time(nullptr);
  auto r = dir.run("hssptpl", {"t1", "-alignfile", "in.hssp"}, {{"TZ", "XYZ-9"}});
  time_t after = time(nullptr);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, banner());
  ASSERT_EQ(dir.files(), (std::set<std::string>{"in.hssp", "t1.tplate"}));
  std::vector<std::string> lines = qortest::lines_of(dir.read("t1.tplate"));
  const std::vector<std::string> expected = {"TEMPLATE",
                                             "%",
                                             "%",
                                             "%\tTemplate sequence from t1",
                                             "%",
                                             "(date)",
                                             "%",
                                             "%",
                                             "SEQLENGTH   5",
                                             "ID  t1",
                                             "%",
                                             "%",
                                             "%AA    STRUCTURE    ACCESSIBILITY",
                                             "%--   -----------   -------------",
                                             "",
                                             " M         *          120",
                                             " K         H          45",
                                             " L         H          0",
                                             " V         E          201",
                                             " W         *          7"};
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); i++) {
    if (i != 5) {
      EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    }
  }
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines[5], m,
                               std::regex("%\tFile generated ([A-Z][a-z]{2} [A-Z][a-z]{2} [ 123][0-9] "
                                          "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4})")))
      << lines[5];
  struct tm tm = {};
  ASSERT_NE(strptime(m[1].str().c_str(), "%a %b %e %H:%M:%S %Y", &tm), nullptr);
  time_t stamped = timegm(&tm);
  EXPECT_GE(stamped, before - 1);
  EXPECT_LE(stamped, after + 1);
}

TEST(Hssptpl, MissingFileIsAnError) {
  qortest::Workdir dir;
  auto r = dir.run("hssptpl", {"t1", "-alignfile", "nope.hssp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, banner() + "Error: Couldn't open file nope.hssp: No such file or directory\n\n");
  EXPECT_TRUE(dir.files().empty());
}

// A file that ends inside its alignment stops the run with a message naming it; no template.
TEST(Hssptpl, TruncatedFileIsAnErrorWithoutTemplate) {
  qortest::Workdir dir;
  std::string text = qortest::slurp(std::string(QOR_TEST_DATA) + "/hssp_two_blocks.hssp");
  dir.write("cut.hssp", text.substr(0, text.find("## ALIGNMENTS    3")));
  auto r = dir.run("hssptpl", {"t1", "-alignfile", "cut.hssp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            banner() + "Error: cut.hssp: the file ends after the alignment block 1 - 2; NALIGN is 3\n");
  EXPECT_EQ(dir.files(), (std::set<std::string>{"cut.hssp"}));
}

}  // namespace
