// Bad input for every reader: empty files, truncated entries, missing terminators, declared counts
// that disagree with the content, lines longer than the line buffer, NUL bytes. None may crash or
// read out of bounds (the sanitizer build checks); each gives the result stated here.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "seqformat/fixture_util.h"
#include "seqformat/seqformat.h"

namespace {

using fmttest::Got;

const int kReadable[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17};

TEST(BadInput, EmptyFileIsNoData) {
  fmttest::TempDir dir;
  for (const std::string &content : {std::string(""), std::string("\n\n  \n"), std::string("\r\n")}) {
    std::string path = dir.write("empty.txt", content);
    for (int format : kReadable) {
      Got g = fmttest::read_file(1, path, 0, format);
      EXPECT_EQ(g.err, -2) << "format " << format;
      EXPECT_FALSE(g.text) << "format " << format;
      EXPECT_EQ(g.len, 0);
    }
  }
}

struct BadCase {
  const char *name;
  int format;
  std::string content;
  int entry;
  int err;          // expected error code
  const char *seq;  // expected letters when err is 0
  bool warns;       // a warning is written on stderr
};

TEST(BadInput, TruncatedEntriesAndMissingTerminators) {
  const BadCase cases[] = {
      {"IG without terminator", 1, "; c\nid\nACGT\nGG\n", 1, 0, "ACGTGG", false},
      {"IG id only", 1, "; c\nid\n", 1, 0, "", false},
      {"GenBank without ORIGIN", 2, "LOCUS       X\nDEFINITION  y\n", 1, -4, nullptr, false},
      {"GenBank without //", 2, "LOCUS       X\nORIGIN\n  1 acgt\n", 1, 0, "acgt", false},
      {"GenBank entry without ORIGIN before another", 2,
       "LOCUS       A\nDEFINITION  y\nLOCUS       B\nORIGIN\n 1 ggcc\n//\n", 2, 0, "ggcc", false},
      {"GenBank entry without ORIGIN is empty", 2, "LOCUS       A\nLOCUS       B\nORIGIN\n 1 ggcc\n//\n", 1,
       0, "", false},
      {"NBRF without *", 3, ">P1;X\ntitle\nMKV\n", 1, 0, "MKV", false},
      {"NBRF header only", 3, ">P1;X\n", 1, 0, "", false},
      {"NBRF header then header", 3, ">P1;X\n>P1;Y\ntitle\nMKV*\n", 2, 0, "MKV", false},
      {"EMBL without SQ", 4, "ID   X\nDE   y\n", 1, -4, nullptr, false},
      {"EMBL without //", 4, "ID   X\nSQ   s\n acgt\n", 1, 0, "acgt", false},
      {"GCG without ..", 5, "some text\nACGT\n", 1, -2, nullptr, false},
      {"GCG second entry", 5, "x  Length: 4  Check: 1  ..\nACGT\n", 2, -5, nullptr, false},
      {"Strider without //", 6, "; DNA sequence  x\nACGT\n", 1, 0, "ACGT", false},
      {"Strider empty entry", 6, "; DNA sequence  x\n//\n; DNA sequence  y\nGG\n//\n", 2, 0, "GG", false},
      {"Fitch name only", 7, "name\n", 1, 0, "", false},
      {"Fitch blank lines inside", 7, "a\n ACG\n\n ACG\nb\n TTT\n", 2, 0, "TTT", false},
      {"Zuker paren only", 9, "(\n", 1, -2, nullptr, false},
      {"Zuker without next (", 9, "(\n    1 x\nACGU\n", 1, 0, "ACGU", false},
      {"Plain second entry", 13, "ACGT\n", 2, -5, nullptr, false},
      {"PIR without SEQUENCE", 14, "ENTRY           X\nTITLE t\n", 1, -4, nullptr, false},
      {"PIR without ///", 14, "ENTRY           X\nSEQUENCE\n 1 M K V\n", 1, 0, "MKV", false},
      {"MSF without //", 15, " Name: a  Len: 4\n", 1, -4, nullptr, true},
      {"MSF fewer names than wanted", 15, " Name: a  Len: 4\n//\na ACGT\n", 2, -2, nullptr, false},
      {"MSF without names", 15, "//\na ACGT\n", 1, -2, nullptr, false},
      {"Olsen without data line", 10, "  A   (a   ): x\n", 1, -4, nullptr, true},
      {"Olsen fewer entries", 10, "  A   (a   ): x\n identity:   Data:\n", 2, -2, nullptr, false},
      {"PAUP without matrix", 17, "#NEXUS\nbegin trees;\n", 1, -2, nullptr, false},
      {"PAUP matrix without ;", 17,
       "#NEXUS\ndimensions ntax=2 nchar=4;\nformat interleave;\nmatrix\na ACGT\nb ACGG\n", 2, 0, "ACGG",
       false},
      {"PAUP fewer taxa than declared", 17,
       "#NEXUS\ndimensions ntax=3 nchar=4;\nformat interleave;\nmatrix\na ACGT\nb AC\n;\n", 1, 0, "ACGT",
       true},
      {"PAUP length disagrees", 17,
       "#NEXUS\ndimensions ntax=2 nchar=4;\nformat interleave;\nmatrix\na ACGTAA\nb ACGT\n;\n", 1, 0,
       "ACGTAA", true},
      {"PAUP sequential without nchar", 17, "#NEXUS\nmatrix\na ACGT\nb GG\n;\n", 2, 0, "GG", false},
      {"PAUP sequential ends early", 17, "#NEXUS\ndimensions ntax=2 nchar=8;\nmatrix\na ACGT\n", 1, 0, "ACGT",
       true},
      {"PAUP sequential fewer taxa than declared", 17,
       "#NEXUS\ndimensions ntax=3 nchar=2;\nmatrix\na AC\nb GT\n;\n", 3, -2, nullptr, true},
      {"Phylip without header", 11, "alpha     ACGT\n", 1, -4, nullptr, true},
      {"Phylip fewer entries than declared", 11, " 3 4\na         ACGT\nb         ACGT\n", 3, -4, nullptr,
       true},
      {"Phylip entry past the declared ones", 11, " 1 4\na         ACGT\nb         ACGT\n", 2, -2, nullptr,
       false},
      {"Phylip sequential runs short", 11, " 1 10\na         ACGT\nGG\n", 1, 0, "ACGTGG", true},
      {"Phylip sequential overruns its length", 11, " 2 4\na         ACGTAA\nb         TT\n", 2, 0, "TT",
       true},
      // The next entry's short first line does not join the entry before it (the count includes the
      // entry's own first line).
      {"Phylip sequential short next name line", 11, " 2 8\na         ACGT\nACGT\nb         TT\nTTTTTT\n", 1,
       0, "ACGTACGT", false},
      {"Phylip interleaved fewer lines than declared", 12, " 3 4\na         ACGT\nb         ACGT\n", 3, -4,
       nullptr, true},
      {"Phylip interleaved length disagrees", 12, " 2 4\na         ACGTAA\nb         ACGT\n", 1, 0, "ACGTAA",
       true},
      {"NUL bytes dropped", 8, std::string(">x\nAC\0GT\n", 9), 1, 0, "ACGT", false},
  };
  fmttest::TempDir dir;
  for (const auto &c : cases) {
    std::string path = dir.write("bad.txt", c.content);
    testing::internal::CaptureStderr();
    Got g = fmttest::read_file(c.entry, path, 0, c.format);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(g.err, c.err) << c.name;
    EXPECT_EQ(g.text, c.err == 0) << c.name;
    if (c.seq != nullptr) {
      EXPECT_EQ(g.seq, c.seq) << c.name;
    }
    if (c.warns) {
      EXPECT_EQ(err.rfind("ReadSeq (file " + path + "): Warning: ", 0), 0u) << c.name << ": " << err;
    } else {
      EXPECT_EQ(err, "") << c.name;
    }
  }
}

// Reading a Phylip file one entry after another without entry numbers cannot go on after the first
// entry: the second call says so instead of repeating the first entry.
TEST(BadInput, PhylipReadOnWithoutNumbersStops) {
  FILE *f = fopen(fmttest::fixture("fmt_phylip_seq.phy").c_str(), "r");
  ASSERT_NE(f, nullptr);
  std::vector<char> linebuf(qor::READSEQ_LINE_BUFFER, '\0');
  Got first = fmttest::read_stream(1, f, 0, 11, linebuf.data());
  EXPECT_EQ(first.seq, "ACGTACGTACGGTTAACCGG");
  testing::internal::CaptureStderr();
  Got second = fmttest::read_stream(1, f, 0, 11, linebuf.data());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(second.err, -4);
  EXPECT_FALSE(second.text);
  EXPECT_NE(err.find("expected the Phylip header"), std::string::npos) << err;
  fclose(f);
}

struct LongLineCase {
  int format;
  const char *head;
  const char *tail;
};

// A sequence line of 250000 letters (two and a half line buffers) is read whole, for every format.
TEST(BadInput, SequenceLineLongerThanTheBuffer) {
  const std::string letters(250000, 'A');
  const LongLineCase cases[] = {
      {1, "; c\nid\n", "\n1\n"},
      {2, "LOCUS       X\nORIGIN\n", "\n//\n"},
      {3, ">P1;X\ntitle\n", "*\n"},
      {4, "ID   X\nSQ   s\n", "\n//\n"},
      {5, "x  Length: 3  Check: 1  ..\n", "\n"},
      {6, "; Strider\n", "\n//\n"},
      {7, "id\n ", "\n"},
      {8, ">x\n", "\n"},
      {9, "(\n    1 x\n", "\n"},
      {11, " 1 250000\nname      ", "\n"},
      {12, " 1 250000\nname      ", "\n"},
      {13, "", "\n"},
      {14, "ENTRY           X\nSEQUENCE\n", "\n///\n"},
      {15, " Name: a Len: 3\n//\na ", "\n"},
      {17, "#NEXUS\ndimensions ntax=1 nchar=250000;\nformat interleave;\nmatrix\na ", "\n;\n"},
      {17, "#NEXUS\ndimensions ntax=1 nchar=250000;\nmatrix\na ", "\n;\n"},
  };
  fmttest::TempDir dir;
  for (const auto &c : cases) {
    std::string path = dir.write("long.txt", std::string(c.head) + letters + c.tail);
    Got g = fmttest::read_file(1, path, 0, c.format);
    EXPECT_EQ(g.err, 0) << "format " << c.format;
    EXPECT_EQ(g.len, 250000) << "format " << c.format;
    EXPECT_EQ(g.seq, letters) << "format " << c.format;
  }
}

// An id line longer than the buffer keeps its first 99999 characters; its rest is not sequence.
TEST(BadInput, IdLineLongerThanTheBuffer) {
  fmttest::TempDir dir;
  const std::string name(150000, 'N');
  struct Case {
    int format;
    std::string content;
    size_t prefix;  // characters of the line before the id
  } cases[] = {
      {8, ">" + name + "\nACGT\n", 1},
      {2, "LOCUS       " + name + "\nORIGIN\n 1 acgt\n//\n", 12},
      {3, ">P1;" + name + "\ntitle\nACGT*\n", 4},
      {4, "ID   " + name + "\nSQ   s\n ACGT\n//\n", 5},
      {7, name + "\n ACGT\n", 0},
  };
  for (const auto &c : cases) {
    std::string path = dir.write("longid.txt", c.content);
    testing::internal::CaptureStderr();
    Got g = fmttest::read_file(1, path, 0, c.format);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(g.err, 0) << "format " << c.format;
    EXPECT_EQ(g.seq, c.format == 2 ? "acgt" : "ACGT") << "format " << c.format;
    EXPECT_EQ(g.id, name.substr(0, static_cast<size_t>(qor::READSEQ_LINE_BUFFER - 1) - c.prefix))
        << "format " << c.format;
    EXPECT_NE(err.find("is longer than 99999 characters"), std::string::npos) << "format " << c.format;
  }
}

// The same for the header of a second entry read from a stream: the line left in the push-back
// slot for the next call is cut there too.
TEST(BadInput, PushedBackHeaderLongerThanTheBuffer) {
  fmttest::TempDir dir;
  const std::string name(150000, 'N');
  std::string path = dir.write("longid2.fa", ">a\nACGT\n>" + name + "\nGGCC\n");
  FILE *f = fopen(path.c_str(), "r");
  ASSERT_NE(f, nullptr);
  std::vector<char> linebuf(qor::READSEQ_LINE_BUFFER, '\0');
  testing::internal::CaptureStderr();
  Got first = fmttest::read_stream(1, f, 0, 8, linebuf.data());
  Got second = fmttest::read_stream(1, f, 0, 8, linebuf.data());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(first.seq, "ACGT");
  EXPECT_EQ(second.err, 0);
  EXPECT_EQ(second.seq, "GGCC");
  EXPECT_EQ(second.id, name.substr(0, static_cast<size_t>(qor::READSEQ_LINE_BUFFER - 2)));
  EXPECT_EQ(err, "ReadSeq: Warning: an id line is longer than 99999 characters; it is cut there.\n");
  fclose(f);
}

// Detection on a first line longer than the buffer and on binary noise neither crashes nor errs.
TEST(BadInput, DetectionOnHostileLines) {
  fmttest::TempDir dir;
  std::string noise;
  for (int i = 0; i < 5000; i++) noise += static_cast<char>((i * 7919) % 256);
  for (const std::string &content :
       {std::string(300000, 'x'), noise, std::string(" 3 5\n") + std::string(200000, 'A')}) {
    std::string path = dir.write("hostile.txt", content);
    int format = fmttest::detect(path);
    EXPECT_GE(format, 0);
    testing::internal::CaptureStderr();
    for (int f : kReadable) {
      Got g = fmttest::read_file(1, path, 0, f);
      EXPECT_EQ(g.text, g.err == 0) << "format " << f;
    }
    // Whatever the readers said are warnings about this file.
    std::istringstream err(testing::internal::GetCapturedStderr());
    for (std::string line; std::getline(err, line);)
      EXPECT_EQ(line.rfind("ReadSeq (file " + path + "): Warning: ", 0), 0u) << line;
  }
}

}  // namespace
