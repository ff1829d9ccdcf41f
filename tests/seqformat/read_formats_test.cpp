// Every readable format: detection names it, and reading gives each entry's id line and letters,
// by entry number from the file and one after another from an open stream (with the push-back
// slot), for the fixture as written and for its CRLF and no-final-newline variants.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "seqformat/fixture_util.h"
#include "seqformat/seqformat.h"

namespace {

using fmttest::Got;

struct Entry {
  const char *id;  // the id line; "{FILE}" stands for the file name without its directory
  const char *seq;
};

struct FormatCase {
  const char *fixture;
  int format;     // the detected and read format
  bool numbered;  // read by number from a stream (MSF, Olsen, PAUP, Phylip)
  std::vector<Entry> entries;
};

const FormatCase kCases[] = {
    {"fmt_ig.txt",
     1,
     false,
     {{"alpha1 first test sequence", "ACGTACGTACGGTTAACC"}, {"beta2", "TTGGCCAATTGG"}}},
    {"fmt_genbank.gb",
     2,
     false,
     {{"HSFOO          20 bp    DNA             PRI       01-JAN-1990", "acgtacgtacggttaaccgg"},
      {"HSBAR          12 bp    DNA             PRI       01-JAN-1990", "ttttccccaaaa"}}},
    {"fmt_nbrf.nbrf",
     3,
     false,
     {{"CCHU", "GDVEKGKKIFVMKCSQCHTVEKGGKHKTGP"}, {"CCHO", "GDVEKGKKIFVQK"}, {"NOTITLE", "MKVLAAGGWWHH"}}},
    {"fmt_embl.embl",
     4,
     false,
     {{"HSFOO      standard; DNA; HUM; 20 BP.", "acgtacgtacggttaaccgg"},
      {"HSBAR      standard; DNA; HUM; 12 BP.", "ttttccccaaaa"}}},
    {"fmt_gcg.gcg", 5, false, {{"hsfoo.seq", "ACGTACGTACGGTTAACCGGTTAA"}}},
    {"fmt_strider.str",
     6,
     false,
     {{"pBR-frag, 24 bases, 1A2B checksum.", "ACGTACGTACGGTTAACCGGTTAA"},
      {"second-frag, 8 bases", "TTTTGGGG"}}},
    {"fmt_fitch.fitch", 7, false, {{"alpha", "ACGTACGTACGGTTAACCGGTTAAACGT"}, {"beta", "TTTTGGGGCCAA"}}},
    {"fmt_pearson.fa", 8, false, {{"seq1 first sequence", "ACGTACGTACGGTT"}, {"seq2 second one", "MKVLAA"}}},
    {"fmt_zuker.zuk", 9, false, {{"RNA1 first", "ACGUACGUACGGUU"}, {"RNA2 second", "UUUUCCCC"}}},
    {"fmt_olsen.olsen",
     10,
     true,
     {{"E.coli Escherichia coli", "ACGU.ACGUGG!@...."}, {"B.subtil Bacillus subtilis", "ACGU.A-GUGG......"}}},
    {"fmt_phylip_seq.phy",
     11,
     true,
     {{"alpha     ", "ACGTACGTACGGTTAACCGG"}, {"beta      ", "TTTTGGGGCCAAAACCCCGG"}}},
    {"fmt_phylip_int.phy",
     12,
     true,
     {{"alpha     ", "ACGTACGTGGCCAA"}, {"beta      ", "ACCTACGTGGCCTA"}, {"gamma     ", "ACG-ACACGGCCAA"}}},
    {"fmt_plain.txt", 13, false, {{"{FILE}(1)", "ACGTACGTACGGTTAACCGGTTAA"}}},
    {"fmt_pir.pir",
     14,
     false,
     {{"CCHU       #type complete", "GDVEKGKKIFVMKCSQCHTVEKGG"},
      {"CCHO       #type complete", "GDVEKGKKIF"}}},
    {"fmt_msf.msf",
     15,
     true,
     {{"alpha      Len:   22  Check:  1111  Weight:  1.00", "ACGTACGTACGGTT--AACCGG"},
      {"beta       Len:   22  Check:  2222  Weight:  1.00", "ACGT-CGTACGGTT--AACCG-"}}},
    {"fmt_paup.nex",
     17,
     true,
     {{"alpha", "ACGTACGTGGCCAA"}, {"beta", "ACCTACGTGGCCTA"}, {"gam ma", "ACG-AC??GGCCAA"}}},
    {"fmt_paup_seq.nex", 17, true, {{"alpha", "ACGTACGTACGT"}, {"beta", "TTTTGGGGCCAA"}}},
};

std::string expected_id(const Entry &e, const std::string &path, bool from_stream) {
  std::string id = e.id;
  auto at = id.find("{FILE}(1)");
  if (at != std::string::npos) {
    std::string base = path.substr(path.rfind('/') + 1);
    id.replace(at, 9, from_stream ? std::string("[1]") : base + "(1)");
  }
  return id;
}

// The variants every case is read in: as written, with CRLF line ends, without the final newline.
std::vector<std::pair<std::string, std::string>> variants(const std::string &content) {
  std::string crlf;
  for (char c : content) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  std::string no_final = content;
  if (!no_final.empty() && no_final.back() == '\n') no_final.pop_back();
  return {{"lf", content}, {"crlf", crlf}, {"nofinal", no_final}};
}

TEST(ReadFormats, DetectionNamesTheFormat) {
  for (const auto &c : kCases) EXPECT_EQ(fmttest::detect(fmttest::fixture(c.fixture)), c.format) << c.fixture;
}

TEST(ReadFormats, EntriesByNumberFromTheFile) {
  fmttest::TempDir dir;
  for (const auto &c : kCases) {
    std::string ext = std::string(c.fixture).substr(std::string(c.fixture).rfind('.'));
    for (const auto &v : variants(fmttest::slurp(fmttest::fixture(c.fixture)))) {
      std::string path = dir.write(v.first + ext, v.second);
      SCOPED_TRACE(std::string(c.fixture) + " " + v.first);
      EXPECT_EQ(fmttest::detect(path), c.format);
      for (size_t k = 0; k < c.entries.size(); k++) {
        Got g = fmttest::read_file(static_cast<int>(k + 1), path, 0, c.format);
        EXPECT_EQ(g.err, 0) << "entry " << k + 1;
        EXPECT_TRUE(g.text);
        EXPECT_EQ(g.id, expected_id(c.entries[k], path, false)) << "entry " << k + 1;
        EXPECT_EQ(g.seq, c.entries[k].seq) << "entry " << k + 1;
        EXPECT_EQ(g.len, static_cast<int>(strlen(c.entries[k].seq)));
      }
      // One past the last entry: no text, and an error.
      Got past = fmttest::read_file(static_cast<int>(c.entries.size() + 1), path, 0, c.format);
      EXPECT_FALSE(past.text);
      EXPECT_NE(past.err, 0);
      EXPECT_EQ(past.len, 0);
    }
  }
}

TEST(ReadFormats, EntriesOneAfterAnotherFromAStream) {
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.fixture);
    std::string path = fmttest::fixture(c.fixture);
    FILE *f = fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    std::vector<char> linebuf(qor::READSEQ_LINE_BUFFER, '\0');
    for (size_t k = 0; k < c.entries.size(); k++) {
      int number = c.numbered ? static_cast<int>(k + 1) : 1;
      Got g = fmttest::read_stream(number, f, 0, c.format, linebuf.data());
      EXPECT_EQ(g.err, 0) << "entry " << k + 1;
      EXPECT_EQ(g.id, expected_id(c.entries[k], path, true)) << "entry " << k + 1;
      EXPECT_EQ(g.seq, c.entries[k].seq) << "entry " << k + 1;
    }
    // The next read finds no further entry: "no data" (-2), which ends a sequence source quietly.
    int number = c.numbered ? static_cast<int>(c.entries.size() + 1) : 1;
    Got end = fmttest::read_stream(number, f, 0, c.format, linebuf.data());
    EXPECT_FALSE(end.text);
    EXPECT_EQ(end.err, -2);
    fclose(f);
  }
}

// Entry -1 counts the entries of the file and gives no text.
TEST(ReadFormats, CountingTheEntries) {
  for (const auto &c : kCases) {
    Got g = fmttest::read_file(-1, fmttest::fixture(c.fixture), 0, c.format);
    EXPECT_EQ(g.err, 0) << c.fixture;
    EXPECT_FALSE(g.text) << c.fixture;
    EXPECT_EQ(g.nseq, static_cast<int>(c.entries.size())) << c.fixture;
  }
}

// Entry numbers 0 and below are taken as 1.
TEST(ReadFormats, EntryZeroIsTheFirst) {
  for (int number : {0, -5}) {
    Got g = fmttest::read_file(number, fmttest::fixture("fmt_embl.embl"), 0, 4);
    EXPECT_EQ(g.err, 0);
    EXPECT_EQ(g.seq, "acgtacgtacggttaaccgg");
    Got m = fmttest::read_file(number, fmttest::fixture("fmt_msf.msf"), 0, 15);
    EXPECT_EQ(m.seq, "ACGTACGTACGGTT--AACCGG");
  }
}

// Between stream reads the push-back slot holds the next entry's first line.
TEST(ReadFormats, PushBackSlotHoldsTheNextEntryLine) {
  FILE *f = fopen(fmttest::fixture("fmt_embl.embl").c_str(), "r");
  ASSERT_NE(f, nullptr);
  std::vector<char> linebuf(qor::READSEQ_LINE_BUFFER, '\0');
  Got first = fmttest::read_stream(1, f, 0, 4, linebuf.data());
  EXPECT_EQ(first.seq, "acgtacgtacggttaaccgg");
  // The EMBL entry ended at "//": nothing was read beyond it.
  EXPECT_STREQ(linebuf.data(), "");
  fclose(f);

  f = fopen(fmttest::fixture("fmt_pearson.fa").c_str(), "r");
  ASSERT_NE(f, nullptr);
  first = fmttest::read_stream(1, f, 0, 8, linebuf.data());
  EXPECT_EQ(first.seq, "ACGTACGTACGGTT");
  EXPECT_STREQ(linebuf.data(), ">seq2 second one");
  fclose(f);
}

// Reading after a mail header: the lines detection counted are skipped, entries read by number.
TEST(ReadFormats, MailHeaderSkippedWhenReading) {
  const std::string path = fmttest::fixture("fmt_mail_phylip.txt");
  int skip = -1;
  EXPECT_EQ(fmttest::detect(path, &skip), 11);
  EXPECT_EQ(skip, 4);
  Got a = fmttest::read_file(1, path, skip, 11);
  EXPECT_EQ(a.id, "alpha     ");
  EXPECT_EQ(a.seq, "ACGTACGTACGGTTAACCGG");
  FILE *f = fopen(path.c_str(), "r");
  ASSERT_NE(f, nullptr);
  std::vector<char> linebuf(qor::READSEQ_LINE_BUFFER, '\0');
  Got b = fmttest::read_stream(2, f, skip, 11, linebuf.data());
  EXPECT_EQ(b.id, "beta      ");
  EXPECT_EQ(b.seq, "TTTTGGGGCCAAAACCCCGG");
  fclose(f);
}

}  // namespace
