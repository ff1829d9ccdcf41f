// Format detection: the mail-header skip, the marks and their order, the line limit, the Phylip
// vote, plain and unknown files.
#include <gtest/gtest.h>

#include <string>

#include "seqformat/fixture_util.h"
#include "seqformat/seqformat.h"

namespace {

struct DetectCase {
  const char *name;
  std::string content;
  int format;
  int skip;
};

std::string repeat(const std::string &line, int n) {
  std::string s;
  for (int i = 0; i < n; i++) s += line;
  return s;
}

const std::string kProteinLine = "MKVLAAGIVGLLLAHHSSW\n";  // a protein line: never decides by itself

TEST(DetectFormat, Table) {
  const DetectCase cases[] = {
      // Mail headers within the first three lines are skipped up to the first blank line.
      {"mail From",
       "From a@b.c Mon Jan  1\nSubject: x\nDate: y\n\nLOCUS       X\nORIGIN\n  1 acgt\n  5 acgt\n", 2, 4},
      {"mail Received", "Received: from x\n  by y\n\n>s1\nACGTACGT\nACGT\n", 8, 3},
      {"mail on line 3", "\n\nReceived: z\n\nID   X\nSQ   S\n acgtacgt\n acgt\n", 4, 4},
      {"no mail after line 3", "x\ny\nz\nFrom a\n>s1\nACGTACGT\nACGT\n", 8, 0},
      // The first of the marks on a line wins; the decision follows the fixed order.
      {"GCG beats IG when both", "; comment\nx.seq  Length: 4  Check: 1  ..\n", 1, 0},
      {"GCG", "x.seq  Length: 4  Check: 1  ..\nACGT\n", 5, 0},
      {"MSF before GCG", "  MSF: 4  Type: N  Check: 1 ..\n", 15, 0},
      {"ASN.1 Bioseq-set", "Bioseq-set ::= {\n", 52, 0},
      {"ASN.1 Seq-submit", "Seq-submit ::= {\n", 16, 0},
      {"Strider before GenBank", "LOCUS   X\n; from DNA Strider\nACGTACGT\nACGT\n", 6, 0},
      {"GenBank before NBRF", ">P1;X\nLOCUS   X\nACGTACGT\nACGT\n", 2, 0},
      {"PIR before EMBL", "ID   X\nSEQUENCE\nACGTACGT\nACGT\n", 14, 0},
      {"NBRF before Pearson", ">s\n>P1;X\nACGTACGT\nACGT\n", 3, 0},
      {"IG before Pearson", ">s\n; c\nACGTACGT\nACGT\n", 1, 0},
      {"Zuker", "(x\n    1 id\nACGUACGU\nACGU\n", 9, 0},
      {"NEXUS decides at once", "#NEXUS\nLOCUS\n", 17, 0},
      {"Olsen decides at once", "  A (a): x\n identity:   Data:\nLOCUS\n", 10, 0},
      // Without marks: sequence lines make a plain file, any non-sequence line an unknown one.
      {"plain DNA", "ACGTACGTAC\nGGTTAACC\n", 13, 0},
      {"plain protein", kProteinLine + kProteinLine, 13, 0},
      {"unknown text", "Just some text\nACGT\n", 0, 0},
      {"blank file", "\n   \n\n", 0, 0},
      {"empty file", "", 0, 0},
      // The Fitch layout: groups of a blank and three letters on a line of more than 20 characters.
      {"Fitch", "name\n ACG TAC GTA CGG TTA ACC\n ACG\n", 7, 0},
      // Detection reads at most 500 lines; each line holding "): " allows one more.
      {"mark on line 500", repeat(kProteinLine, 499) + "LOCUS  X\n", 2, 0},
      {"mark on line 501", repeat(kProteinLine, 500) + "LOCUS  X\n", 13, 0},
      {"limit grows with ): lines", repeat("MKV): ALA\n", 10) + repeat(kProteinLine, 495) + "LOCUS  X\n", 2,
       0},
      // Phylip: two positive integers on the first line, a name and sequence on the second.
      {"Phylip needs its second line", " 2 8\nACGTACGT\nACGTACGT\n", 0, 0},
  };
  fmttest::TempDir dir;
  for (const auto &c : cases) {
    std::string path = dir.write("in.txt", c.content);
    int skip = -1;
    EXPECT_EQ(fmttest::detect(path, &skip), c.format) << c.name;
    EXPECT_EQ(skip, c.skip) << c.name;
  }
}

TEST(DetectFormat, NullStreamIsFileNotFound) {
  int32_t skip = -1;
  int16_t err = 0;
  EXPECT_EQ(qor::seqFileFormatFp(nullptr, &skip, &err), 0);
  EXPECT_EQ(err, -1);
}

// The vote between the two Phylip layouts, on one file of each and on each after a mail header.
TEST(DetectFormat, PhylipVote) {
  EXPECT_EQ(fmttest::detect(fmttest::fixture("fmt_phylip_int.phy")), 12);
  EXPECT_EQ(fmttest::detect(fmttest::fixture("fmt_phylip_seq.phy")), 11);
  int skip = -1;
  EXPECT_EQ(fmttest::detect(fmttest::fixture("fmt_mail_phylip.txt"), &skip), 11);
  EXPECT_EQ(skip, 4);
  fmttest::TempDir dir;
  std::string mailed = "From x\n\n" + fmttest::slurp(fmttest::fixture("fmt_phylip_int.phy"));
  EXPECT_EQ(fmttest::detect(dir.write("m.phy", mailed), &skip), 12);
  EXPECT_EQ(skip, 2);
}

// Detection reads from a pipe (no rewinding needed for the vote).
TEST(DetectFormat, PhylipVoteOnAPipe) {
  std::string cmd = "cat '" + fmttest::fixture("fmt_phylip_int.phy") + "'";
  FILE *p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  int32_t skip = -1;
  int16_t err = 99;
  EXPECT_EQ(qor::seqFileFormatFp(p, &skip, &err), 12);
  EXPECT_EQ(err, 0);
  pclose(p);
}

// PhylipHeaderOverflow: a Phylip header declaring LONG_MAX sequences made the vote compute 2 * n,
// a signed overflow; the vote now reads every line there is and decides as for any count larger
// than the file (here as for the count 2, which the file's two lines do not exceed either).
TEST(DetectFormat, PhylipHeaderOverflow) {
  fmttest::TempDir dir;
  const std::string body = " 14\nalpha     ACGTACGTAC\nbeta      ACCTACGTAC\n";
  const int16_t as_two = fmttest::detect(dir.write("two.phy", "2" + body));
  EXPECT_TRUE(as_two == 11 || as_two == 12);
  for (const char *count : {"9223372036854775807", "99999999999999999999999"})
    EXPECT_EQ(fmttest::detect(dir.write("big.phy", count + body)), as_two) << count;
}

}  // namespace
