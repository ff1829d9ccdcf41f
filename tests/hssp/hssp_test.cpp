// The HSSP reader and the template writer: recognising the files, the aligned sequences over two
// blocks with chain breaks, the template's lines, and the fatal paths for broken files.
#include "hssp/hssp.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string fixture(const std::string &name) {
  return std::string(QOR_TEST_DATA) + "/" + name;
}

std::string slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class Hssp : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qorhssp.XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  std::string write(const std::string &name, const std::string &content) const {
    std::string p = dir_ + "/" + name;
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  // Reads the HSSP file at path; returns the aligned texts.
  static std::vector<std::string> read(const std::string &path, int template_flag, const std::string &run,
                                       int32_t *nalign_out = nullptr) {
    FILE *f = fopen(path.c_str(), "r");
    EXPECT_NE(f, nullptr);
    int32_t nalign = -1;
    char **seqs = qor::read_HSSP(f, &nalign, template_flag, run.c_str());
    fclose(f);
    std::vector<std::string> out;
    for (int32_t k = 0; k < nalign; k++) {
      out.push_back(seqs[k]);
      free(seqs[k]);
    }
    free(seqs);
    if (nalign_out != nullptr) *nalign_out = nalign;
    return out;
  }
  std::string dir_;
};

TEST_F(Hssp, IsHsspByFirstFourCharacters) {
  struct Case {
    const char *content;
    int expected;
  } cases[] = {{"HSSP       HOMOLOGY\n", 1},
               {"HSSP", 1},
               {"hssp       homology\n", 0},
               {"HSS", 0},
               {"", 0},
               {">HSSP\n", 0}};
  for (const auto &c : cases)
    EXPECT_EQ(qor::isHSSP(write("x.hssp", c.content).c_str()), c.expected) << c.content;
  EXPECT_EQ(qor::isHSSP(fixture("hssp_two_blocks.hssp").c_str()), 1);
  EXPECT_EQ(qor::isHSSP((dir_ + "/missing.hssp").c_str()), 0);
  EXPECT_EQ(qor::isHSSP(""), 0);
  EXPECT_EQ(qor::isHSSP(nullptr), 0);
}

// Sequences 1-2 come from the first block, 3 from the second; the chain-break lines are no residues;
// "." " " "_" and a column beyond the line give "-", lower case becomes upper case.
TEST_F(Hssp, AlignedSequencesOverTwoBlocks) {
  int32_t nalign = 0;
  std::vector<std::string> seqs = read(fixture("hssp_two_blocks.hssp"), 0, dir_ + "/unused", &nalign);
  EXPECT_EQ(nalign, 3);
  EXPECT_EQ(seqs, (std::vector<std::string>{"MKLVW", "M---W", "AC-DE"}));
  EXPECT_EQ(access((dir_ + "/unused.tplate").c_str(), F_OK), -1);  // no template without the flag
}

// The template's lines compared whole; the date line is the current UTC time in the standard form.
TEST_F(Hssp, TemplateLines) {
  const std::string run = dir_ + "/t1";
  time_t before = time(nullptr);
  read(fixture("hssp_two_blocks.hssp"), 1, run);
  time_t after = time(nullptr);
  std::vector<std::string> got = lines_of(slurp(run + ".tplate"));
  const std::vector<std::string> expected = {
      "TEMPLATE",
      "%",
      "%",
      "%\tTemplate sequence from " + run,
      "%",
      "(date)",
      "%",
      "%",
      "SEQLENGTH   5",
      "ID  " + run,
      "%",
      "%",
      "%AA    STRUCTURE    ACCESSIBILITY",
      "%--   -----------   -------------",
      "",
      " M         *          120",
      " K         H          45",
      " L         H          0",
      " V         E          201",
      " W         *          7",
  };
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < expected.size(); i++)
    if (i != 5) {
      EXPECT_EQ(got[i], expected[i]) << "line " << i + 1;
    }
  std::smatch m;
  ASSERT_TRUE(std::regex_match(got[5], m,
                               std::regex("%\tFile generated ((Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
                                          "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123][0-9] "
                                          "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4})")))
      << got[5];
  struct tm tm = {};
  ASSERT_NE(strptime(m[1].str().c_str(), "%a %b %e %H:%M:%S %Y", &tm), nullptr);
  time_t stamped = timegm(&tm);  // read as UTC
  EXPECT_GE(stamped, before - 1);
  EXPECT_LE(stamped, after + 1);
}

TEST_F(Hssp, NoNalignGivesNoSequences) {
  std::string p = write("n.hssp", "HSSP\nSEQLENGTH 3\n");
  int32_t nalign = -1;
  EXPECT_TRUE(read(p, 0, dir_ + "/x", &nalign).empty());
  EXPECT_EQ(nalign, 0);
}

// A residue line longer than the line buffer is read in its first 9999 characters, with a warning.
TEST_F(Hssp, OverlongLineIsCutWithAWarning) {
  std::string text = slurp(fixture("hssp_two_blocks.hssp"));
  size_t at = text.find("  MM\n");
  ASSERT_NE(at, std::string::npos);
  text.insert(at + 4, std::string(20000, 'Q'));
  std::string p = write("long.hssp", text);
  testing::internal::CaptureStderr();
  std::vector<std::string> seqs = read(p, 0, dir_ + "/x");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(seqs, (std::vector<std::string>{"MKLVW", "M---W", "AC-DE"}));
  EXPECT_NE(err.find("is longer than 9999 characters"), std::string::npos) << err;
}

std::string cut_after(const std::string &text, const std::string &marker, int extra_lines) {
  size_t at = text.find(marker);
  at = text.find('\n', at);
  for (int i = 0; i < extra_lines; i++) at = text.find('\n', at + 1);
  return text.substr(0, at + 1);
}

using HsspDeath = Hssp;

TEST_F(HsspDeath, BrokenFilesAreFatal) {
  const std::string full = slurp(fixture("hssp_two_blocks.hssp"));
  struct Case {
    const char *name;
    std::string content;
    const char *message;  // regular expression for the standard error stream
  } cases[] = {
      {"ends inside the first block", cut_after(full, "## ALIGNMENTS    1", 3),
       "^Error: .*: the file ends after 2 of the 5 residue lines of the alignment block 1 - 2\n$"},
      {"ends before the second block", cut_after(full, "## ALIGNMENTS    1", 7),
       "^Error: .*: the file ends after the alignment block 1 - 2; NALIGN is 3\n$"},
      {"ends inside the second block", cut_after(full, "## ALIGNMENTS    3", 2),
       "^Error: .*: the file ends after 1 of the 5 residue lines of the alignment block 3 - 3\n$"},
      {"no block header", "HSSP\nSEQLENGTH 5\nNALIGN 3\n",
       "^Error: .*no alignment block \\(a line beginning \"## ALIGNMENTS\"\\) in the file\n$"},
      {"no ruler in the column header",
       "HSSP\nSEQLENGTH 1\nNALIGN 1\n## ALIGNMENTS 1 - 1\n SeqNo AA STRUCTURE ACC\n",
       "^Error: .*: the column header at line 5 has no \".\" column\n$"},
      {"block header without range", "HSSP\nSEQLENGTH 1\nNALIGN 1\n## ALIGNMENTS\n",
       "^Error: .*: line 4: alignment block header without its sequence range"},
      // HsspDeclaredSizeUnbounded: NALIGN x SEQLENGTH from the header was allocated before any
      // residue line was read, gigabytes for a file of four lines.
      {"alignment too large", "HSSP\nSEQLENGTH 2000000\nNALIGN 100000\n## ALIGNMENTS 1 - 1\n",
       "^Error: .*: NALIGN 100000 sequences of SEQLENGTH 2000000 residues exceed 1073741824 bytes\n$"},
      // HsspOverlappingBlocks: a block that started inside the one before rewrote its texts, and
      // blocks of a huge NALIGN that each covered everything made the work unbounded.
      {"overlapping blocks",
       "HSSP\nSEQLENGTH 1\nNALIGN 3\n## ALIGNMENTS 1 - 2\n SeqNo AA STRUCTURE ACC ....:\n 1 A  0 AA\n"
       "## ALIGNMENTS 2 - 3\n SeqNo AA STRUCTURE ACC ....:\n 1 A  0 AAA\n",
       "^Error: .*: line 7: alignment block 2 - 3 does not follow block 1 - 2\n$"},
  };
  for (const auto &c : cases) {
    std::string p = write("broken.hssp", c.content);
    EXPECT_EXIT(read(p, 0, dir_ + "/x"), testing::ExitedWithCode(1), c.message) << c.name;
  }
}

TEST_F(HsspDeath, TemplateThatCannotBeOpenedIsFatal) {
  const char residues[] = "M", structure[] = "*";
  const int32_t acc[] = {0};
  EXPECT_EXIT(qor::PrintTemplate((dir_ + "/no/such/dir/t1").c_str(), residues, structure, acc, 1),
              testing::ExitedWithCode(1),
              "^Error: can not open \".*/no/such/dir/t1.tplate\": No such file or directory\n$");
}

}  // namespace
