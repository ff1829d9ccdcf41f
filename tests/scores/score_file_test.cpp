// The score-file reader: fields, identifiers, annotations, X counts, comments, skipped lines and
// their warnings, line ends, lines longer than the buffer, missing files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "scores/scores.h"
#include "sequence/sequence.h"

namespace {

class ScoreFile : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qorscores.XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  std::string write(const std::string &name, const std::string &content) const {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  // Reads content as a score file; *err receives what the reader wrote to stderr.
  qor::SequenceTable *read(const std::string &content, std::string *err, std::string *path_out = nullptr) {
    std::string path = write("scores.dist", content);
    if (path_out != nullptr) *path_out = path;
    testing::internal::CaptureStderr();
    qor::SequenceTable *t = qor::read_score_file(path.c_str());
    *err = testing::internal::GetCapturedStderr();
    return t;
  }
  std::string dir_;
};

// One expected record; annotation is written with "\n" line ends (null: none).
struct Rec {
  const char *id;
  int length;
  float column1, column2;
  double zscore;
  float xcount;
  const char *annotation;
};

struct ReaderCase {
  const char *name;
  std::vector<std::string> lines;  // without line ends
  std::vector<Rec> records;
  std::vector<std::string> skipped;  // "line: reason" of each warning, in order
};

const char *const kNoFields = "no length and two scores after the identifier";
const char *const kRange = "a number is not finite or out of range";

const ReaderCase kReaderCases[] = {
    {"comments only", {";comment", "%comment", ";a 10 1 2"}, {}, {}},
    {"two reals", {"a 10 -5.5 -3.0"}, {{"a", 10, -5.5f, -3.0f, 1000000.0, 0.0f, nullptr}}, {}},
    {"zscore, X count and annotation",
     {"a 10 -5.5 -3.0 0.25 4 X :text"},
     {{"a", 10, -5.5f, -3.0f, 0.25, 4.0f, "text\n"}},
     {}},
    {"toolkit line",
     {"seq12  153  -21.40  -18.03  4.21e-05  2 X\t:some protein"},
     {{"seq12", 153, -21.40f, -18.03f, 4.21e-05, 2.0f, "some protein\n"}},
     {}},
    {"X count with and without a blank",
     {"b 7 1.5 2.5 1e-3 3 X", "c 7 1.5 2.5 1e-3 3X", "d 7 1.5 2.5 1e-3 12\t X\t:x"},
     {{"b", 7, 1.5f, 2.5f, 1e-3, 3.0f, nullptr},
      {"c", 7, 1.5f, 2.5f, 1e-3, 3.0f, nullptr},
      {"d", 7, 1.5f, 2.5f, 1e-3, 12.0f, "x\n"}},
     {}},
    {"X count without a Z-score column is read as the third real too",
     {"e 7 1.5 2.5 3X"},
     {{"e", 7, 1.5f, 2.5f, 3.0, 3.0f, nullptr}},
     {}},
    {"X after the colon is annotation",
     {"f 5 1 2 :has 9 X inside", "g 5 1 2 Xray :a: b"},
     {{"f", 5, 1.0f, 2.0f, 1000000.0, 0.0f, "has 9 X inside\n"},
      {"g", 5, 1.0f, 2.0f, 1000000.0, 2.0f, "a: b\n"}},
     {}},
    {"identifier cut at the first blank or tab",
     {"sp|P1:x\t-4 0 1", " 3 4 5", "h  8 -1e2 1e1"},
     {{"sp|P1:x", -4, 0.0f, 1.0f, 1000000.0, 0.0f, nullptr},
      {"", 3, 4.0f, 5.0f, 1000000.0, 0.0f, nullptr},
      {"h", 8, -100.0f, 10.0f, 1000000.0, 0.0f, nullptr}},
     {}},
    {"malformed lines are skipped with a warning",
     {"ok1 1 1 1", "", "lonely", "one 10 -5.5", "word ten 1 2", "frac 10.5 1 2", "colon 10 :1 2", " ;x 1 2",
      "ok2 2 2 2"},
     {{"ok1", 1, 1.0f, 1.0f, 1000000.0, 0.0f, nullptr}, {"ok2", 2, 2.0f, 2.0f, 1000000.0, 0.0f, nullptr}},
     {"2", "3", "4", "5", "6", "7", "8"}},
    {"numbers out of range are skipped with a warning",
     {"nan 1 nan 2", "inf 1 1 inf", "big 1 1e39 2", "bigz 1 1 2 -1e39", "len 99999999999 1 2",
      "ok 1 -3.4e38 2 1e-300"},
     {{"ok", 1, -3.4e38f, 2.0f, 1e-300, 0.0f, nullptr}},
     {"1r", "2r", "3r", "4r", "5r"}},
};

// The warning for line n ("n" no fields, "nr" out of range) of the file at path.
std::string warning(const std::string &path, const std::string &code) {
  bool range = code.back() == 'r';
  std::string n = range ? code.substr(0, code.size() - 1) : code;
  return "Warning: " + path + "(" + n + "): " + (range ? kRange : kNoFields) + "; line skipped\n";
}

TEST_F(ScoreFile, ReaderCasesWithEveryLineEnd) {
  for (const auto &c : kReaderCases) {
    for (const std::string eol : {"\n", "\r\n"}) {
      for (bool final_eol : {true, false}) {
        std::string content;
        for (size_t k = 0; k < c.lines.size(); k++)
          content += c.lines[k] + (k + 1 < c.lines.size() || final_eol ? eol : "");
        std::string err, path;
        qor::SequenceTable *t = read(content, &err, &path);
        std::string what =
            std::string(c.name) + (eol == "\n" ? " LF" : " CRLF") + (final_eol ? "" : " no final eol");

        std::string expected_err = "Reading scores from file " + path + "\n";
        for (const auto &s : c.skipped) expected_err += warning(path, s);
        EXPECT_EQ(err, expected_err) << what;

        ASSERT_EQ(t->count, static_cast<int>(c.records.size())) << what;
        for (size_t k = 0; k < c.records.size(); k++) {
          const Rec &r = c.records[k];
          const qor::Sequence *s = t->items[k];
          EXPECT_STREQ(s->id, r.id) << what;
          EXPECT_EQ(s->length, r.length) << what;
          EXPECT_EQ(s->column1, r.column1) << what;
          EXPECT_EQ(s->column2, r.column2) << what;
          EXPECT_EQ(s->zscore, r.zscore) << what;
          EXPECT_EQ(s->xcount, r.xcount) << what;
          EXPECT_EQ(s->num_tracks, 1) << what;
          if (r.annotation == nullptr) {
            EXPECT_EQ(s->annotation, nullptr) << what;
          } else {
            // The annotation keeps the line's own end (none on a last line without one).
            std::string expected = r.annotation;
            expected.pop_back();
            bool last_line = c.lines.back().find(r.id) == 0;
            if (!(last_line && !final_eol)) expected += eol;
            ASSERT_NE(s->annotation, nullptr) << what;
            EXPECT_EQ(std::string(s->annotation), expected) << what;
          }
        }
        qor::free_sequence_table(t);
      }
    }
  }
}

TEST_F(ScoreFile, EmptyFileGivesEmptyTable) {
  std::string err;
  qor::SequenceTable *t = read("", &err);
  EXPECT_EQ(t->count, 0);
  qor::free_sequence_table(t);
}

// A line longer than the buffer used to come back as several lines; it is now skipped whole,
// with a warning, and the lines after it are read as they are.
TEST_F(ScoreFile, LineLongerThanBufferIsSkippedWhole) {
  const int most = qor::SCORE_LINE_BUFFER - 2;  // characters a line may hold before its newline
  std::string fits = "fits 1 2 3 :";
  fits += std::string(most - fits.size(), 'a');
  std::string over = "over 4 5 6 :";
  over += std::string(most + 1 - over.size(), 'b');
  std::string huge = "huge 4 5 6 :" + std::string(3 * qor::SCORE_LINE_BUFFER, 'c') + " 7 8 9";
  std::string path, err;
  qor::SequenceTable *t = read(fits + "\n" + over + "\n" + huge + "\nnext 1 1 1\n", &err, &path);
  EXPECT_EQ(err, "Reading scores from file " + path + "\n" + "Warning: " + path +
                     "(2): line longer than 99998 characters; line skipped\n" + "Warning: " + path +
                     "(3): line longer than 99998 characters; line skipped\n");
  ASSERT_EQ(t->count, 2);
  EXPECT_STREQ(t->items[0]->id, "fits");
  EXPECT_EQ(std::string(t->items[0]->annotation).size(), static_cast<size_t>(most - 12 + 1));
  EXPECT_STREQ(t->items[1]->id, "next");
  qor::free_sequence_table(t);
}

TEST_F(ScoreFile, LineWithNulByteIsSkipped) {
  std::string path, err;
  qor::SequenceTable *t = read(std::string("a 10 1\0 2 3\nb 1 2 3\n", 20), &err, &path);
  EXPECT_EQ(err, "Reading scores from file " + path + "\nWarning: " + path +
                     "(1): line holds a NUL byte; line skipped\n");
  ASSERT_EQ(t->count, 1);
  EXPECT_STREQ(t->items[0]->id, "b");
  qor::free_sequence_table(t);
}

TEST_F(ScoreFile, CompressedFileIsRead) {
  std::string plain = write("c.dist", "z 3 -1.25 2 :gz\n");
  std::string cmd = "gzip '" + plain + "'";
  ASSERT_EQ(system(cmd.c_str()), 0);
  testing::internal::CaptureStderr();
  qor::SequenceTable *t = qor::read_score_file(plain.c_str());  // found as c.dist.gz
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(t->count, 1);
  EXPECT_EQ(t->items[0]->column1, -1.25f);
  EXPECT_STREQ(t->items[0]->annotation, "gz\n");
  qor::free_sequence_table(t);
}

TEST_F(ScoreFile, MissingFileIsFatal) {
  std::string path = dir_ + "/absent.dist";
  EXPECT_EXIT(qor::read_score_file(path.c_str()), testing::ExitedWithCode(1),
              "^Reading scores from file " + path + "\nError: Couldn't open file " + path +
                  ": No such file or directory\n\n$");
}

}  // namespace
