// The FASTA/A2M reader: headers, annotations, sequence characters and their messages, each input
// read with LF and CRLF line ends and with and without a final newline; numeric sequences.
#include <string>
#include <vector>

#include "seqtest.h"

namespace {

using namespace qor;
using seqtest::close_bytes;
using seqtest::open_bytes;

struct Entry {
  std::string id;
  bool has_annotation;
  std::string annotation;
  std::string text;
  bool operator==(const Entry &o) const {
    return id == o.id && has_annotation == o.has_annotation && annotation == o.annotation && text == o.text;
  }
};

std::ostream &operator<<(std::ostream &os, const Entry &e) {
  return os << "{" << e.id << " | " << (e.has_annotation ? e.annotation : "(null)") << " | " << e.text << "}";
}

Entry E(const std::string &id, const std::string &text) {
  return {id, false, "", text};
}
Entry EA(const std::string &id, const std::string &annotation, const std::string &text) {
  return {id, true, annotation, text};
}

struct ReadResult {
  std::vector<Entry> entries;
  std::string messages;
  int seq_count;
};

ReadResult read_all(const std::string &bytes) {
  ReadResult r;
  OpenSeqFile *f = open_bytes(bytes);
  r.messages = seqtest::capture(stderr, [&] {
    for (;;) {
      char *id = nullptr;
      char *annotation = nullptr;
      char *text = next_fasta_string(f, &id, &annotation);
      if (text == nullptr) {
        EXPECT_EQ(id, nullptr);
        EXPECT_EQ(annotation, nullptr);
        break;
      }
      r.entries.push_back({id, annotation != nullptr, annotation ? annotation : "", text});
      free(id);
      free(annotation);
      free(text);
    }
  });
  r.seq_count = f->seq_count;
  close_bytes(f);
  return r;
}

std::string crlf(const std::string &s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

struct Case {
  const char *name;
  std::string input;  // LF line ends, ending with a newline
  std::vector<Entry> entries;
  std::string messages;
};

const std::string kLongId(FASTA_MAX_ID, 'i');
const std::string kLongAnnotation(FASTA_MAX_ANNOTATION, 'a');

std::vector<Case> cases() {
  return {
      {"two entries",
       ">s1 first seq\nACGT\nacgt\n>s2\nMKV\n",
       {EA("s1", "first seq", "ACGTacgt"), E("s2", "MKV")},
       ""},
      {"comma ends the id", ">abc,def ghi\nAC\n", {EA("abc", "def ghi", "AC")}, ""},
      {"separators before the annotation", ">a ,\t, ann  text \nAC\n", {EA("a", "ann  text ", "AC")}, ""},
      {"only separators after the id", ">a , \nAC\n", {E("a", "AC")}, ""},
      {"empty ids from the file name", ">\nAC\n>\nGT\n", {E("seqs.fa#1", "AC"), E("seqs.fa#2", "GT")}, ""},
      {"empty id with annotation", "> some text\nAC\n", {EA("seqs.fa#1", "some text", "AC")}, ""},
      {"white space and blank lines", "\n  \n>a\n\nA C\tG \n\nT\n", {E("a", "ACGT")}, ""},
      {"gaps and digits kept", ">a\nAC-G.T\n12x\n", {E("a", "AC-G.T12x")}, ""},
      {"strange characters once per entry",
       ">a\nAC*GT*\n>b\nA#C\n",
       {E("a", "ACGT"), E("b", "AC")},
       "dir/seqs.fa (a): Strange characters (*) ignored\ndir/seqs.fa (b): Strange characters (#) ignored\n"},
      {"non-ASCII byte is strange",
       ">a\nAC\xc3\xa9GT\n",
       {E("a", "ACGT")},
       "dir/seqs.fa (a): Strange characters (\xc3) ignored\n"},
      {"NUL byte in a sequence",
       std::string(">a\nAC\0GT\n", 9),
       {E("a", "ACGT")},
       std::string("dir/seqs.fa (a): Strange characters (") + '\0' + ") ignored\n"},
      {"NUL bytes in a header",
       std::string(">a\0b c\0d\nAC\n", 12),
       {EA("ab", "cd", "AC")},
       "dir/seqs.fa (ab): NUL characters in header line ignored\n"},
      {"> inside a sequence line",
       ">a\nACG>b\nTT\n",
       {E("a", "ACG"), E("b", "TT")},
       "dir/seqs.fa (a): Newline not present before terminating >\n"},
      {"> inside a header belongs to it", ">a>b c>d\nAC\n", {EA("a>b", "c>d", "AC")}, ""},
      {"text before the first >",
       "junk\nmore\n>a\nAC\n",
       {E("a", "AC")},
       "Missing > in fasta file dir/seqs.fa after sequence 0\nSkipping to next >\n"},
      {"no > at all",
       "ACGT\n",
       {},
       "Missing > in fasta file dir/seqs.fa after sequence 0\nSkipping rest of file."},
      {"empty file", "", {}, ""},
      {"only white space", "\n\n", {}, ""},
      {"empty entries", ">a\n>b\nAC\n>c\n", {E("a", ""), E("b", "AC"), E("c", "")}, ""},
      {"header at the end of the file", ">a\nAC\n>b x\n", {E("a", "AC"), EA("b", "x", "")}, ""},
      {"id at the limit", ">" + kLongId + " x\nAC\n", {EA(kLongId, "x", "AC")}, ""},
      {"id beyond the limit",
       ">" + kLongId + "jjj x\nAC\n",
       {EA(kLongId, "x", "AC")},
       "dir/seqs.fa (" + kLongId + "):  ID truncated to 99999 char.\n"},
      {"annotation at the limit", ">s " + kLongAnnotation + "\nAC\n", {EA("s", kLongAnnotation, "AC")}, ""},
      {"annotation beyond the limit",
       ">s " + kLongAnnotation + "bbb\nAC\n",
       {EA("s", kLongAnnotation, "AC")},
       "dir/seqs.fa (s):  Annotation truncated to 99999 char.\n"},
  };
}

class FastaReader : public testing::TestWithParam<Case> {};

TEST_P(FastaReader, LineEndsAndFinalNewline) {
  const Case &c = GetParam();
  for (int variant = 0; variant < 4; variant++) {
    std::string input = c.input;
    if (variant & 1) input = crlf(input);
    bool cut = (variant & 2) && !input.empty() && input.back() == '\n';
    if (cut) {
      input.pop_back();
      if (!input.empty() && input.back() == '\r') input.pop_back();
    }
    SCOPED_TRACE(std::string(variant & 1 ? "CRLF" : "LF") + (variant & 2 ? ", no final newline" : ""));
    ReadResult r = read_all(input);
    EXPECT_EQ(r.entries, c.entries);
    EXPECT_EQ(r.messages, c.messages);
    EXPECT_EQ(r.seq_count, static_cast<int>(c.entries.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, FastaReader, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case> &info) {
                           std::string n;
                           for (const char *p = info.param.name; *p; p++)
                             n += (isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
                           return n;
                         });

TEST(FastaReader, LoneCarriageReturns) {
  // A CR that ends the file ends the header line; a CR inside a line separates like a blank.
  EXPECT_EQ(read_all(">a x\r").entries, std::vector<Entry>{EA("a", "x", "")});
  EXPECT_EQ(read_all(">a\rb\nAC\rGT\r").entries, std::vector<Entry>{EA("a", "b", "ACGT")});
}

TEST(FastaReader, HeaderReaderReturnsLineEnd) {
  OpenSeqFile *f = open_bytes(">a x\r\n>b");
  char *id = nullptr;
  char *annotation = nullptr;
  EXPECT_EQ(next_fasta_initial(f, &id, &annotation), '\n');
  EXPECT_STREQ(id, "a");
  EXPECT_STREQ(annotation, "x");
  free(id);
  free(annotation);
  EXPECT_EQ(next_fasta_initial(f, &id, nullptr), -1);  // the header line ends the file
  EXPECT_STREQ(id, "b");
  free(id);
  EXPECT_EQ(next_fasta_initial(f, &id, &annotation), -1);  // end of file
  EXPECT_EQ(id, nullptr);
  EXPECT_EQ(annotation, nullptr);
  EXPECT_EQ(f->seq_count, 2);
  close_bytes(f);
}

TEST(FastaReader, MissingStreamIsFatal) {
  EXPECT_EXIT(next_fasta_initial(nullptr, nullptr, nullptr), testing::ExitedWithCode(1),
              "^Error: Bad openseqfile passed to next_fasta_seq\n\n$");
  EXPECT_EXIT(
      {
        OpenSeqFile *f = open_bytes("");
        fclose(f->stream);
        f->stream = nullptr;
        next_fasta_string(f, nullptr, nullptr);
      },
      testing::ExitedWithCode(1), "^Error: Bad openseqfile passed to next_fasta_seq\n");
}

TEST(FastaReader, SeveralMegabaseSequence) {
  // 6 Mb in lines of 60: the text buffer grows by doubling and keeps every letter in order.
  std::string input = ">chr big one\n";
  std::string expected;
  const char *bases = "ACGTTGCAAN";
  for (int i = 0; i < 6000000; i++) {
    expected += bases[(i * 7 + i / 13) % 10];
    input += expected.back();
    if (i % 60 == 59) input += '\n';
  }
  input += "\n>next\nAC\n";
  ReadResult r = read_all(input);
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0].text.size(), expected.size());
  EXPECT_TRUE(r.entries[0].text == expected);
  EXPECT_EQ(r.entries[1], E("next", "AC"));
  EXPECT_EQ(r.messages, "");
}

TEST(FastaReader, RealDatabaseRoundTripsThroughTheWriter) {
  // 45 globins in lines of 50: reading every entry and writing it back with print_string gives the
  // file again, less the trailing blank of each header line (an empty annotation).
  FILE *in = fopen(QOR_TEST_DATA "/globins45.fa", "rb");
  ASSERT_NE(in, nullptr);
  std::string original;
  for (int c; (c = getc(in)) != EOF;) original += static_cast<char>(c);
  fclose(in);
  std::string expected;
  for (size_t i = 0; i < original.size(); i++)
    if (!(original[i] == ' ' && i + 1 < original.size() && original[i + 1] == '\n')) expected += original[i];

  ReadResult r = read_all(original);
  ASSERT_EQ(r.entries.size(), 45u);
  EXPECT_EQ(r.entries[0].id, "MYG_ESCGI");
  EXPECT_EQ(r.messages, "");
  std::string out = seqtest::written([&](FILE *f) {
    for (const Entry &e : r.entries)
      print_string(f, e.text.c_str(), e.id.c_str(), e.has_annotation ? e.annotation.c_str() : nullptr);
  });
  EXPECT_EQ(out, expected);
}

// ---- Numeric sequences ------------------------------------------------------------------------

struct NumCase {
  const char *name;
  int track;
  std::string input;
  std::vector<std::vector<int>> values;
  std::string messages;
};

class NumericReader : public testing::TestWithParam<NumCase> {};

TEST_P(NumericReader, Values) {
  const NumCase &c = GetParam();
  seqtest::CurrentAlphabet use(c.track);
  for (int variant = 0; variant < 2; variant++) {
    std::string input = variant ? crlf(c.input) : c.input;
    SCOPED_TRACE(variant ? "CRLF" : "LF");
    OpenSeqFile *f = open_bytes(input);
    std::vector<std::vector<int>> got;
    std::string messages = seqtest::capture(stderr, [&] {
      for (;;) {
        char *id = nullptr;
        int length = -1;
        unsigned char *v = next_fasta_numstring(f, &id, nullptr, &length);
        if (v == nullptr) {
          EXPECT_EQ(length, 0);
          break;
        }
        got.emplace_back(v, v + length);
        free(v);
        free(id);
      }
    });
    EXPECT_EQ(got, c.values);
    EXPECT_EQ(messages, c.messages);
    close_bytes(f);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumericReader,
    testing::Values(
        NumCase{"OutOfRangeAndWildcards",
                seqtest::NUM20_TRACK,
                ">s\n3 19 X 25 xx\n",
                {{3, 19, 19, 19, 19}},
                "dir/seqs.fa (s): Number 25 is out of range for alphabet NUM20.  Replaced with X (19).\n"},
        NumCase{"LongXRunReportedOnce",
                seqtest::NUM20_TRACK,
                ">s\nxxx 1 XXXX\n>t\nXXX\n",
                {{19, 1, 19}, {19}},
                "dir/seqs.fa (s): X repeated more than the number of digits (2).  Treated as one X.\n"
                "dir/seqs.fa (t): X repeated more than the number of digits (2).  Treated as one X.\n"},
        NumCase{"OneDigitAlphabet",
                seqtest::NUM10_TRACK,
                ">s\n0 9 xx 10\n",
                {{0, 9, 9, 9}},
                "dir/seqs.fa (s): X repeated more than the number of digits (1).  Treated as one X.\n"
                "dir/seqs.fa (s): Number 10 is out of range for alphabet NUM10.  Replaced with X (9).\n"},
        NumCase{"SeparatorsAndLeadingZeros",
                seqtest::NUM20_TRACK,
                ">s\n007.12-3*4\n\n 0025x\n",
                {{7, 12, 3, 4, 19, 19}},
                "dir/seqs.fa (s): Number 25 is out of range for alphabet NUM20.  Replaced with X (19).\n"},
        NumCase{"HugeNumbers",
                seqtest::NUM20_TRACK,
                ">s\n12345678901234567890 " + std::string(43, '9') + " " + std::string(44, '1') + "\n",
                {{19, 19, 19}},
                "dir/seqs.fa (s): Number 12345678901234567890 is out of range for alphabet NUM20.  Replaced "
                "with X (19).\n"
                "dir/seqs.fa (s): Number " +
                    std::string(43, '9') +
                    " is out of range for alphabet NUM20.  Replaced with X (19).\n"
                    "dir/seqs.fa (s): Number of more than 43 digits is out of range for alphabet NUM20.  "
                    "Replaced with X (19).\n"},
        NumCase{"StrangeCharactersOnce",
                seqtest::NUM20_TRACK,
                ">s\n1 q 2 r\n",
                {{1, 2}},
                "dir/seqs.fa (s): Strange characters (q) ignored\n"},
        NumCase{"TerminatingGreaterThan",
                seqtest::NUM20_TRACK,
                ">a\n1 2\n3>b\n4\n>c\n",
                {{1, 2, 3}, {4}, {}},
                "dir/seqs.fa (a): Newline not present before terminating >\n"}),
    [](const testing::TestParamInfo<NumCase> &info) { return std::string(info.param.name); });

}  // namespace
