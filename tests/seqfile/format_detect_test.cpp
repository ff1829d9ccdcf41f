// Format detection: FASTA and NBRF recognition with the sequence-type guess, and the format of a
// named file (names, FASTA/NBRF, empty files, undeterminable files).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "alphabet/alphabet.h"
#include "alphabet/alphabet_test_support.h"
#include "seqfile/seqfile.h"

namespace {

using testing::Eq;
using testing::ExitedWithCode;

TEST(IsFastaOrNbrf, FormatsAndTypes) {
  struct Case {
    const char *what;
    std::string content;
    int format, type;
  } cases[] = {
      {"FASTA of DNA", ">s1 first\nACGTTGCA\n>s2\nTTGACC\n", 8, 1},
      {"FASTA of protein", ">sp|P1|X some protein\nMKVLAAGIVLLW\n", 8, 4},
      {"FASTA of RNA, blank lines first", "\n\n  \n>s1\nACGUU\n", 8, 2},
      {"NBRF header", ">P1;CCHU\ncytochrome c\nMGDVEKGKKIFVQKC*\n", 3, 4},
      {"NBRF-like header with another first letter", ">DL;X\nACGT\n", 3, 1},
      {"';' not third after '>'", "> P1;CCHU\nMKV\n", 8, 4},
      {"short header", ">P1\nACGT\n", 8, 1},
      {"header of two characters and end of file", ">P1", 8, 0},
      {"line numbers before the letters", ">s1\n1 ACGTACGT\n9 ACGT\n", 3, 1},
      {"numbers after the letters", ">s1\nACGTACGT 8\n", 8, 1},
      {"CRLF line ends", ">s1\r\nACGT\r\nACGT\r\n", 8, 1},
      {"CRLF blank line first", "\r\n>s1\r\nACGU\r\n", 8, 2},
      {"no final newline", ">s1\nMKVLLW", 8, 4},
      {"no letters", ">s1\n\n", 8, 0},
      {"plain text", "ACGTACGT\n", 0, 0},
      {"text before the first '>'", "title\n>s1\nACGT\n", 0, 0},
      {"high bytes first", "\xEF\xBB\xBF>s1\nACGT\n", 0, 0},
  };
  alphatest::TempDir dir;
  for (const Case &c : cases) {
    std::string path = dir.write("seqs", c.content);
    int type = -1;
    std::string err = alphatest::stderr_of(
        [&] { EXPECT_EQ(qor::is_fasta_or_nbrf(path.c_str(), &type), c.format) << c.what; });
    EXPECT_EQ(type, c.type) << c.what;
    EXPECT_EQ(err, "") << c.what;
  }
}

TEST(IsFastaOrNbrf, CompressedFilesAreReadThroughTheDecompressor) {
  alphatest::TempDir dir;
  std::string path = dir.write("seqs.fa", ">s1\n" + std::string(5000, 'U') + "\n>s2\nACGU\n");
  if (system(("gzip -n '" + path + "' 2>/dev/null").c_str()) != 0) GTEST_SKIP() << "gzip not available";
  dir.adopt("seqs.fa.gz");
  // The guess stops after 300 letters and abandons the pipe, which is no error; the file is found
  // with and without its suffix.
  for (const std::string &name : {path, path + ".gz"}) {
    int type = -1;
    EXPECT_EQ(qor::is_fasta_or_nbrf(name.c_str(), &type), 8) << name;
    EXPECT_EQ(type, 2) << name;
  }
}

TEST(IsFastaOrNbrf, MisplacedFirstMarkerIsWarnedOncePerRun) {
  // In a freshly started child process (the warning flag is run-wide), which makes and removes
  // its own files.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        bool ok;
        {
          alphatest::TempDir dir;
          std::string path = dir.write("indented.fa", " >s1\nACGT\n");
          std::string other = dir.write("other.fa", "\r>s1\nACGT\n");
          int type = -1;
          int a = qor::is_fasta_or_nbrf(path.c_str(), &type);
          int b = qor::is_fasta_or_nbrf(other.c_str(), nullptr);
          ok = a == 0 && b == 0 && type == 0;
        }
        exit(ok ? 0 : 2);
      },
      ExitedWithCode(0),
      testing::MatchesRegex("Warning: /.*/indented\\.fa not read as fasta\\.\n"
                            "The '>' must be the first character in a line, followed by ID\\.\n"));
  GTEST_FLAG_SET(death_test_style, "fast");
}

TEST(IsFastaOrNbrf, MissingFileIsFatal) {
  alphatest::TempDir dir;
  std::string path = dir.path("absent.fa");
  EXPECT_EXIT(qor::is_fasta_or_nbrf(path.c_str(), nullptr), ExitedWithCode(1),
              Eq("Error: Couldn't open file " + path + ": No such file or directory\n\n"));
}

TEST(SeqfileFormatType, FastaNbrfAndEmptyFiles) {
  struct Case {
    const char *what;
    std::string content;
    const char *name;
    int format, type;
  } cases[] = {
      {"FASTA", ">s1\nACGTACGT\n", "pearson", 8, 1},
      {"NBRF", ">P1;X\ntitle\nMKVLW*\n", "nbrf", 3, 4},
      {"NBRF by line numbers", ">s1\n 1 ACGU\n", "nbrf", 3, 2},
      {"empty file", "", "pearson", 8, 4},
  };
  alphatest::TempDir dir;
  for (const Case &c : cases) {
    std::string path = dir.write("seqs", c.content);
    int format = -1, type = -1, skip = -1;
    qor::seqfilef = -1;
    EXPECT_STREQ(qor::seqfile_format_type(path.c_str(), &format, &type, &skip), c.name) << c.what;
    EXPECT_EQ(format, c.format) << c.what;
    EXPECT_EQ(type, c.type) << c.what;
    EXPECT_EQ(skip, 0) << c.what;
    EXPECT_EQ(qor::seqfilef, c.format) << c.what;
    // The out arguments may be absent; a name may carry separators around it.
    std::string padded = " " + path + "\n";
    EXPECT_STREQ(qor::seqfile_format_type(padded.c_str(), nullptr, nullptr, nullptr), c.name) << c.what;
  }
}

TEST(SeqfileFormatType, NamesAndUndeterminableFiles) {
  alphatest::TempDir dir;
  std::string plain = dir.write("plain.txt", "ACGTACGT\n");
  std::string blank = dir.write("blank.txt", "  \n\n");
  int format = 0;
  EXPECT_EXIT(qor::seqfile_format_type("", &format, nullptr, nullptr), ExitedWithCode(1),
              Eq(std::string("Error: attempt to determine alphabet from empty file name\n")));
  EXPECT_EXIT(qor::seqfile_format_type(" ,\t", &format, nullptr, nullptr), ExitedWithCode(1),
              Eq(std::string("Error: attempt to determine alphabet from empty file name\n")));
  EXPECT_EXIT(qor::seqfile_format_type((plain + "," + blank).c_str(), &format, nullptr, nullptr),
              ExitedWithCode(1),
              Eq(std::string(
                  "Error: alphabet must be explictly specified when multiple sequence tracks are used\n")));
}

// Files that are neither FASTA nor NBRF go to the model-file, HSSP and multi-format detection.
TEST(SeqfileFormatType, OtherFormatsAreDetected) {
  alphatest::TempDir dir;
  std::string plain = dir.write("plain.txt", "ACGTACGT\nACGT\n");
  std::string model = dir.write("m.txt", "% a model\nMODEL -- x\nalphabet DNA\nENDMODEL\n");
  std::string named = dir.write("n.mod", "not read for the name check\n");
  struct Case {
    std::string file;
    int format, type;
    const char *name;
  } cases[] = {
      {plain, 13, qor::SEQTYPE_DNA, "plain"},
      {model, qor::SEQFORMAT_MODEL, qor::SEQTYPE_UNKNOWN, "unknown"},
      {named, qor::SEQFORMAT_MODEL, qor::SEQTYPE_UNKNOWN, "unknown"},
      {std::string(QOR_TEST_DATA) + "/hssp_two_blocks.hssp", qor::SEQFORMAT_HSSP, qor::SEQTYPE_PROTEIN, "HSSP"},
      {std::string(QOR_TEST_DATA) + "/fmt_msf.msf", 15, -1, "msf"},
      {std::string(QOR_TEST_DATA) + "/fmt_genbank.gb", 2, -1, "genbank"},
  };
  for (const auto &c : cases) {
    int format = -9, type = -9, skip = -9;
    EXPECT_STREQ(qor::seqfile_format_type(c.file.c_str(), &format, &type, &skip), c.name) << c.file;
    EXPECT_EQ(format, c.format) << c.file;
    if (c.type >= 0) {
      EXPECT_EQ(type, c.type) << c.file;
    }
    EXPECT_EQ(skip, 0) << c.file;
    EXPECT_EQ(qor::seqfilef, c.format);
  }
}

}  // namespace
