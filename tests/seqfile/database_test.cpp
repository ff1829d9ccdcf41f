// Databases: reading several database entries into one table under a maximum, selecting and
// excluding ids, and the report of what was found and selected.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "seqfile_test_support.h"
#include "util/util.h"

namespace {

using seqfiletest::capture;
using seqfiletest::exactly;
using testing::ExitedWithCode;

// Runs the test in the temporary directory, so that file names in reports are short and fixed.
class InDirectory {
 public:
  explicit InDirectory(const std::string &dir) {
    if (getcwd(saved_, sizeof saved_) == nullptr || chdir(dir.c_str()) != 0) abort();
  }
  ~InDirectory() {
    if (chdir(saved_) != 0) abort();
  }

 private:
  char saved_[4096];
};

// A directory holding a.fa (3 sequences a1..a3), b.fa (3 sequences b1..b3) and one.fa (1 sequence).
class DatabaseFiles {
 public:
  DatabaseFiles() : in_(dir_path()) {
    dir_.write("a.fa", ">a1\nACGT\n>a2\nAC\n>a3\nACG\n");
    dir_.write("b.fa", ">b1\nTT\n>b2\nTTT\n>b3\nT\n");
    dir_.write("one.fa", ">x\nGG\n");
  }

 private:
  std::string dir_path() { return dir_.path(""); }
  alphatest::TempDir dir_;
  InDirectory in_;
};

std::vector<std::string> ids_of(const qor::SequenceTable *t) {
  std::vector<std::string> ids;
  for (int i = 0; i < t->count; i++) ids.push_back(t->items[i]->id);
  return ids;
}

std::vector<char *> c_list(std::vector<std::string> &v) {
  std::vector<char *> out;
  for (std::string &s : v) out.push_back(&s[0]);
  return out;
}

TEST(ReadSelectSeqfileList, Reports) {
  struct Case {
    const char *what;
    std::vector<std::string> dbs, ids, not_ids;
    bool report_to_file;  // the report goes to a file (else to standard output), the second report
                          // to standard output
    std::string report, out, err;
    std::vector<std::string> selected;
  } cases[] = {
      {"three sequences from one file",
       {"a.fa"},
       {},
       {},
       false,
       "",
       "Database Files:  a.fa\nFound 3 sequences in 1 file; selected 3 sequences\n",
       "",
       {"a1", "a2", "a3"}},
      {"one sequence: no plural endings",
       {"one.fa"},
       {},
       {},
       false,
       "",
       "Database Files:  one.fa\nFound 1 sequence in 1 file; selected 1 sequence\n",
       "",
       {"x"}},
      {"a report in a file is commented; the second stream gets the Found line",
       {"a.fa", "b.fa"},
       {"b2", "a1", "zz"},
       {"a1"},
       true,
       "% Database Files:  a.fa b.fa\n% Select IDs:  b2 a1 zz\n% Exclude IDs:  a1\n"
       "% Found 6 sequences in 2 files; selected 1 sequence\n",
       "Found 6 sequences in 2 files; selected 1 sequence\n",
       "Unable to find sequence `zz'.\n",
       {"b2"}},
  };
  for (const Case &c : cases) {
    seqfiletest::State state;
    DatabaseFiles files;
    std::vector<std::string> dbs = c.dbs, ids = c.ids, not_ids = c.not_ids;
    std::vector<char *> db_list = c_list(dbs), id_list = c_list(ids), not_list = c_list(not_ids);
    FILE *report = c.report_to_file ? tmpfile() : stdout;
    int max = 0;
    qor::SequenceTable *table = nullptr;
    std::string err;
    std::string out = capture(stdout, [&] {
      err = capture(stderr, [&] {
        table = qor::read_select_seqfile_list(&max, db_list.data(), static_cast<int>(dbs.size()), nullptr, 0,
                                              id_list.data(), static_cast<int>(ids.size()), not_list.data(),
                                              static_cast<int>(not_ids.size()), report, stdout, 1);
      });
    });
    std::string report_text;
    if (c.report_to_file) {
      rewind(report);
      int ch;
      while ((ch = getc(report)) != EOF) report_text += static_cast<char>(ch);
      fclose(report);
    }
    EXPECT_EQ(report_text, c.report) << c.what;
    EXPECT_EQ(out, c.out) << c.what;
    EXPECT_EQ(err, c.err) << c.what;
    EXPECT_EQ(ids_of(table), c.selected) << c.what;
    EXPECT_EQ(max, static_cast<int>(c.selected.size())) << c.what;
    qor::free_sequence_table(table);
  }
}

TEST(ReadSeqfileList, MaximumBoundsTheTotal) {
  struct Case {
    int max;
    std::vector<std::string> expected;
  } cases[] = {
      {5, {"a1", "a2", "a3", "b1", "b2"}},        {2, {"a1", "a2"}}, {3, {"a1", "a2", "a3"}},
      {0, {"a1", "a2", "a3", "b1", "b2", "b3"}},  // 0 or less: no practical bound
      {-4, {"a1", "a2", "a3", "b1", "b2", "b3"}},
  };
  for (const Case &c : cases) {
    seqfiletest::State state;
    DatabaseFiles files;
    std::vector<std::string> dbs = {"a.fa", "b.fa"};
    std::vector<char *> db_list = c_list(dbs);
    int max = c.max;
    std::string err;
    qor::SequenceTable *table = nullptr;
    err = capture(stderr, [&] { table = qor::read_seqfile_list(&max, db_list.data(), 2, nullptr, 0); });
    EXPECT_EQ(ids_of(table), c.expected) << c.max;
    EXPECT_EQ(max, static_cast<int>(c.expected.size())) << c.max;
    EXPECT_EQ(err, "") << c.max;
    qor::free_sequence_table(table);
  }
}

TEST(ReadSelectSeqfileList, FatalCases) {
  seqfiletest::State state;
  DatabaseFiles files;
  std::vector<std::string> dbs = {"a.fa", "b.fa"}, guides = {"a.fa"}, ids = {"zz"};
  std::vector<char *> db_list = c_list(dbs), guide_list = c_list(guides), id_list = c_list(ids);
  int max = 0;
  EXPECT_EXIT(qor::read_select_seqfile_list(&max, db_list.data(), 2, guide_list.data(), 1, nullptr, 0,
                                            nullptr, 0, nullptr, nullptr, 1),
              ExitedWithCode(1),
              exactly("Error: Must specify same number of database and guide sequence files.\n\n"));
  EXPECT_EXIT(
      qor::read_select_seqfile_list(&max, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, stdout, nullptr, 1),
      ExitedWithCode(1), exactly("Error: No sequence databases provided.  Use -db\n"));
  EXPECT_EXIT(qor::read_select_seqfile_list(&max, db_list.data(), 1, nullptr, 0, id_list.data(), 1, nullptr,
                                            0, nullptr, nullptr, 1),
              ExitedWithCode(1),
              exactly("Unable to find sequence `zz'.\nError: No sequences specified; exiting\n"));
}

TEST(SelectSequences, IdsAndExclusions) {
  struct Case {
    const char *what;
    std::vector<std::string> table, ids, not_ids;
    std::vector<std::string> expected;
    std::string err;
  } cases[] = {
      {"no lists keep the read order", {"C", "A", "B"}, {}, {}, {"C", "A", "B"}, ""},
      {"ids in list order", {"A", "B", "C", "D"}, {"B", "A"}, {}, {"B", "A"}, ""},
      {"an id twice", {"A", "B"}, {"A", "A"}, {}, {"A"}, "ID A selected twice; skipping repeat.\n"},
      {"an absent id", {"A", "B", "C"}, {"Q", "C"}, {}, {"C"}, "Unable to find sequence `Q'.\n"},
      {"empty list entries are skipped", {"A", "B", "C"}, {"", "C"}, {}, {"C"}, ""},
      {"two exclusions", {"D", "A", "B", "C"}, {}, {"B", "D"}, {"A", "C"}, ""},
      {"an absent exclusion",
       {"A", "B"},
       {},
       {"Z"},
       {"A", "B"},
       "Unable to find sequence `Z' for exclusion.\n"},
      {"an exclusion twice",
       {"A", "B", "C"},
       {},
       {"B", "B"},
       {"A", "C"},
       "Unable to find sequence `B' for exclusion.\n"},
      {"equal ids are excluded one at a time", {"A", "B", "A", "A"}, {}, {"A", "A"}, {"A", "B"}, ""},
      {"exclusions leave the table sorted by id",
       {"A", "B", "C", "D"},
       {"D", "B", "A"},
       {"B"},
       {"A", "D"},
       ""},
  };
  for (const Case &c : cases) {
    qor::SequenceTable *table = qor::alloc_sequence_table();
    for (const std::string &id : c.table) {
      qor::Sequence *s = qor::alloc_sequence(0, 1);
      s->id = strdup(id.c_str());
      qor::add_seq_to_table(table, s);
    }
    std::vector<std::string> ids = c.ids, not_ids = c.not_ids;
    std::vector<char *> id_list = c_list(ids), not_list = c_list(not_ids);
    int count = -1;
    std::string err = capture(stderr, [&] {
      table = qor::select_sequences(table, &count, id_list.data(), static_cast<int>(ids.size()),
                                    not_list.data(), static_cast<int>(not_ids.size()), 0);
    });
    EXPECT_EQ(ids_of(table), c.expected) << c.what;
    EXPECT_EQ(count, static_cast<int>(c.expected.size())) << c.what;
    EXPECT_EQ(err, c.err) << c.what;
    qor::free_sequence_table(table);
  }
}

}  // namespace
