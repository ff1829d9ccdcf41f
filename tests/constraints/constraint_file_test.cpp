// Constraint tables and files: the table and its counters, the definition syntax and its fatal
// reasons, the section rule, identifiers, hostile lines, several files, and the writer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "constraint_test_support.h"

using constrtest::crlf;
using constrtest::ranges_of;
using constrtest::ScratchDir;
using namespace qor;

namespace {

// Reads content as one constraint file; the caller frees the table.
ConstraintTable *read_text(const ScratchDir &dir, const std::string &content, const char *name = "c.cons") {
  std::string path = dir.write(name, content);
  ConstraintTable *table = create_constraint_table();
  read_constraints_file(table, path.c_str());
  return table;
}

// The four line-end variants of a text written with "\n": as is, without its final newline, CRLF,
// CRLF without the final line end.
std::vector<std::string> line_end_variants(const std::string &text) {
  std::string bare = text.substr(0, text.size() - 1);
  return {text, bare, crlf(text), crlf(bare)};
}

// A string of all the bytes of a literal, NUL bytes included.
template <size_t N>
std::string bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

}  // namespace

TEST(ConstraintTable, AddFindAndCounters) {
  ConstraintTable *t = create_constraint_table();
  EXPECT_EQ(t->count, 0);
  EXPECT_EQ(t->max_node_label, -1);
  EXPECT_EQ(t->has_unlabeled, 0);
  for (int b = 0; b < CONSTRAINT_BUCKETS; b++) ASSERT_EQ(t->buckets[b], nullptr);
  EXPECT_EQ(find_seq_constraints(t, "seq1"), nullptr);

  add_constraint_to_table(t, "seq1", 3, 21, 8, 0, 80000, 80000);
  add_constraint_to_table(t, "seq2", 1, 1, 5, 1, 2, 3);
  add_constraint_to_table(t, "seq1", 15, 40, 1, 0, 80000, 80000);
  EXPECT_EQ(t->count, 2);
  EXPECT_EQ(t->max_node_label, 40);
  EXPECT_EQ(t->has_unlabeled, 0);
  EXPECT_EQ(ranges_of(t, "seq1"), "3+8:21 15+1:40");
  EXPECT_EQ(ranges_of(t, "seq2"), "1+5:1/1,2,3");
  ConstraintSeq *e = find_seq_constraints(t, "seq1");
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->seq_id, "seq1");
  EXPECT_EQ(e->max_pos, 15);
  EXPECT_EQ(e->last->start, 15);
  EXPECT_EQ(find_seq_constraints(t, "SEQ1"), nullptr) << "identifiers compare byte for byte";
  EXPECT_EQ(find_seq_constraints(t, "seq"), nullptr);

  // The highest label is the end of a range, not its start; a lower range does not lower it; an
  // unlabeled range sets the flag and leaves the label alone.
  add_constraint_to_table(t, "seq3", 100, 50, 10, 0, 80000, 80000);
  EXPECT_EQ(t->max_node_label, 59);
  add_constraint_to_table(t, "seq3", 2, -3, 4, 0, 80000, 80000);
  EXPECT_EQ(t->has_unlabeled, 1);
  EXPECT_EQ(t->max_node_label, 59);
  EXPECT_EQ(find_seq_constraints(t, "seq3")->max_pos, 109) << "a lower range keeps max_pos";

  // add_seq_constraint makes an empty entry at the head of its chain.
  ConstraintSeq *fresh = add_seq_constraint(t, "seq4");
  EXPECT_EQ(t->count, 4);
  EXPECT_EQ(fresh->max_pos, 0);
  EXPECT_EQ(fresh->first, nullptr);
  EXPECT_EQ(t->buckets[hash_string("seq4") & 127], fresh);
  EXPECT_EQ(find_seq_constraints(t, "seq4"), fresh);
  free_constraint_table(t);
  free_constraint_table(nullptr);
}

TEST(ConstraintTable, ImpossibleRangesAreFatal) {
  struct Case {
    int32_t start, label, length;
  } cases[] = {{0, 5, 1}, {-4, 5, 1}, {3, 5, 0}, {2147483647, 5, 2}, {1, 2147483647, 2}, {1, -1, 1}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.start);
    char message[200];
    snprintf(message, sizeof message,
             "add_constraint_to_table: invalid range (start %d, length %d, label %d) for s", c.start,
             c.length, c.label);
    EXPECT_FATAL(([&] {
                   ConstraintTable *t = create_constraint_table();
                   add_constraint_to_table(t, "s", c.start, c.label, c.length, 0, 80000, 80000);
                 }),
                 message);
  }
}

// One definition line of seq1 and what it gives: the ranges, or the reason of the fatal message.
struct DefinitionCase {
  std::string line;
  const char *ranges;  // as ranges_of gives them; null when the line is fatal
  const char *reason;  // the reason in the fatal message
};

std::vector<DefinitionCase> definition_cases() {
  // 91 characters of number text are the most a definition number may have.
  std::string longest = std::string(90, '0') + "5";
  std::string too_long = std::string(91, '0') + "5";
  return {
      {"seq1 3-10:21, 15:40", "3+8:21 15+1:40", nullptr},
      {"seq1 0x10", "16+1:-", nullptr},
      {"seq1 010", "8+1:-", nullptr},
      {"seq1 0X1f-0x20:0x10", "31+2:16", nullptr},
      {"seq1 5,,7", "5+1:- 7+1:-", nullptr},
      {"seq1 ,5,", "5+1:-", nullptr},
      {"seq1 -5", "5+1:-", nullptr},
      {"seq1 :5", "5+1:-", nullptr},
      {"seq1 -5-7:2", "5+3:2", nullptr},
      {"seq1 +5", "5+1:-", nullptr},
      {"seq1 5-5", "5+1:-", nullptr},
      {"seq1 4:0", "4+1:0", nullptr},
      {"seq1 1 2 - 1\t5 : 4 0 ,  7", "12+4:40 7+1:-", nullptr},
      {"seq1\t3-4:9", "3+2:9", nullptr},
      {"seq1", "absent", nullptr},
      {"seq1 ,,", "absent", nullptr},
      {"seq1 2147483647:2147483647", "2147483647+1:2147483647", nullptr},
      {"seq1 1-2147483647", "1+2147483647:-", nullptr},
      {"seq1 2147483646-2147483647:2147483646", "2147483646+2:2147483646", nullptr},
      {"seq1 " + longest, "5+1:-", nullptr},
      {"seq1 " + longest + "-" + longest + ":" + longest, "5+1:5", nullptr},
      {"seq1 5-3", nullptr, "invalid sequence position range"},
      {"seq1 0", nullptr, "sequence position must be greater than zero"},
      {"seq1 0-5", nullptr, "sequence position must be greater than zero"},
      {"seq1 0x0:4", nullptr, "sequence position must be greater than zero"},
      {"seq1 3, 0", nullptr, "sequence position must be greater than zero"},
      {"seq1 5-", nullptr, "missing value following '-'"},
      {"seq1 5-,6", nullptr, "missing value following '-'"},
      {"seq1 5-:3", nullptr, "missing value following '-'"},
      {"seq1 5:", nullptr, "missing value following ':'"},
      {"seq1 5-6:", nullptr, "missing value following ':'"},
      {"seq1 5: ,6", nullptr, "missing value following ':'"},
      {"seq1 5x", nullptr, "invalid number"},
      {"seq1 08", nullptr, "invalid number"},
      {"seq1 0x", nullptr, "invalid number"},
      {"seq1 5:3-4", nullptr, "invalid number"},
      {"seq1 5:1:2", nullptr, "invalid number"},
      {"seq1 1-2-3", nullptr, "invalid number"},
      {"seq1 5;6", nullptr, "invalid number"},
      {"seq1 5\xc3\xa9", nullptr, "invalid number"},
      {"seq1 5--3", nullptr, "number out of range"},
      {"seq1 5:-3", nullptr, "number out of range"},
      {"seq1 2147483648", nullptr, "number out of range"},
      {"seq1 1-4294967297", nullptr, "number out of range"},
      {"seq1 99999999999999999999999999999", nullptr, "number out of range"},
      {"seq1 0xffffffffffffffffffff", nullptr, "number out of range"},
      {"seq1 1-2:2147483647", nullptr, "number out of range"},
      {"seq1 " + too_long, nullptr, "garbage entry"},
      {"seq1 3-" + too_long, nullptr, "garbage entry"},
      {"seq1 3:" + too_long, nullptr, "garbage entry"},
  };
}

TEST(ConstraintFile, Definitions) {
  ScratchDir dir;
  for (const DefinitionCase &c : definition_cases()) {
    for (const std::string &content : line_end_variants(std::string("constraints:\n") + c.line + "\n")) {
      SCOPED_TRACE(testing::Message() << "line '" << c.line << "' in " << testing::PrintToString(content));
      if (c.ranges != nullptr) {
        ConstraintTable *t = read_text(dir, content);
        EXPECT_EQ(ranges_of(t, "seq1"), c.ranges);
        EXPECT_EQ(t->count, std::string(c.ranges) == "absent" ? 0 : 1);
        EXPECT_EQ(t->has_unlabeled, strstr(c.ranges, ":-") != nullptr ? 1 : 0);
        free_constraint_table(t);
      } else {
        std::string path = dir.write("c.cons", content);
        EXPECT_FATAL([&] { read_text(dir, content); },
                     path + ": 2: invalid constraint defintion: " + c.reason + "\n" + c.line);
      }
    }
  }
}

TEST(ConstraintFile, SectionCommentsAndLineNumbers) {
  ScratchDir dir;
  // Comments, blank lines, white space around lines and repeated section lines; one identifier on
  // several lines keeps its ranges in reading order.
  std::string text =
      "# constraints for two sequences\n"
      "\n"
      "   \t\n"
      "  constraints:  \n"
      "seq1 3-10:21, 15:40\n"
      "   # indented comment\n"
      "constraints:\n"
      "\tseq2 1-5:1   \n"
      "seq1 50\n";
  for (const std::string &content : line_end_variants(text)) {
    ConstraintTable *t = read_text(dir, content);
    EXPECT_EQ(t->count, 2);
    EXPECT_EQ(ranges_of(t, "seq1"), "3+8:21 15+1:40 50+1:-");
    EXPECT_EQ(ranges_of(t, "seq2"), "1+5:1");
    EXPECT_EQ(t->max_node_label, 40);
    free_constraint_table(t);
  }

  // Only comments and empty lines, no section line: nothing and no error. An empty file likewise.
  for (const char *only : {"# a\n\n   \n#b", "", "\n", "\r", "#x\r"}) {
    ConstraintTable *t = read_text(dir, only);
    EXPECT_EQ(t->count, 0) << only;
    EXPECT_EQ(t->max_node_label, -1);
    free_constraint_table(t);
  }

  // The fatal messages give the line number (comments counted) and the trimmed line.
  std::string path = dir.path("c.cons");
  struct Case {
    std::string content, message;
  } cases[] = {
      {"seq1 5\nconstraints:\n", path + ":1: data line before a section:\nseq1 5"},
      {"# x\n\n  seq1 5  \n", path + ":3: data line before a section:\nseq1 5"},
      {"Constraints:\nseq1 5\n", path + ":1: data line before a section:\nConstraints:"},
      {"constraints: seq1 5\n", path + ":1: data line before a section:\nconstraints: seq1 5"},
      {"constraints:\n#\n\nseq1 1\n  seq1 5-3 \n",
       path + ": 5: invalid constraint defintion: invalid sequence position range\nseq1 5-3"},
  };
  for (const Case &c : cases) {
    for (const std::string &content : line_end_variants(c.content)) {
      SCOPED_TRACE(testing::PrintToString(content));
      dir.write("c.cons", content);
      EXPECT_FATAL([&] { read_text(dir, content); }, c.message);
    }
  }
}

TEST(ConstraintFile, Identifiers) {
  ScratchDir dir;
  std::string id512(512, 'k');
  ConstraintTable *t = read_text(dir, "constraints:\n" + id512 + " 4:7\n#\n");
  EXPECT_EQ(ranges_of(t, id512.c_str()), "4+1:7");
  free_constraint_table(t);

  // Any byte but white space belongs to the identifier, '#' and ':' included.
  t = read_text(dir, "constraints:\nsp|P1#x:y\xff 2\n");
  EXPECT_EQ(ranges_of(t, "sp|P1#x:y\xff"), "2+1:-");
  free_constraint_table(t);

  std::string id513(513, 'k');
  for (const std::string &line : {id513 + " 4:7", id513, std::string(100000, 'k') + " 1"}) {
    std::string path = dir.write("c.cons", "#\nconstraints:\n" + line + "\n");
    EXPECT_FATAL([&] { read_text(dir, "#\nconstraints:\n" + line + "\n"); },
                 path + ":3: sequence id exceeds maximum length of 512");
  }
}

TEST(ConstraintFile, HostileLines) {
  ScratchDir dir;
  // A line far longer than the first line buffer, with many definitions: nothing is lost.
  std::string line = "seq1";
  std::string expected;
  for (int k = 1; k <= 2000; k++) {
    line += (k == 1 ? " " : " , ") + std::to_string(k) + ":" + std::to_string(10 * k);
    expected += (k == 1 ? "" : " ") + std::to_string(k) + "+1:" + std::to_string(10 * k);
  }
  std::string comment = "#" + std::string(70000, 'c');
  ConstraintTable *t = read_text(dir, comment + "\nconstraints:\n" + comment + "\n" + line);
  EXPECT_EQ(ranges_of(t, "seq1"), expected);
  EXPECT_EQ(t->max_node_label, 20000);
  EXPECT_EQ(find_seq_constraints(t, "seq1")->max_pos, 2000);
  free_constraint_table(t);

  // Blanks are not counted against the length of a number.
  t = read_text(dir, "constraints:\nseq1 1" + std::string(5000, ' ') + "2\n");
  EXPECT_EQ(ranges_of(t, "seq1"), "12+1:-");
  free_constraint_table(t);

  // A number text of thousands of characters stops at the limit.
  std::string huge = "constraints:\nseq1 " + std::string(5000, '7') + "\n";
  std::string path = dir.write("c.cons", huge);
  EXPECT_FATAL([&] { read_text(dir, huge); },
               path + ": 2: invalid constraint defintion: garbage entry\nseq1 " + std::string(5000, '7'));

  // A NUL byte anywhere in a line is reported, not read as the end of the line.
  const std::string nul_lines[] = {bytes("constraints:\nseq1 5\0,7\n"), bytes("constraints:\n\0seq1 5\n"),
                                   bytes("constraints:\n# \0 comment\n")};
  for (const std::string &content : nul_lines) {
    SCOPED_TRACE(testing::PrintToString(content));
    path = dir.write("c.cons", content);
    EXPECT_FATAL([&] { read_text(dir, content); }, path + ":2: line holds a NUL byte");
  }
}

TEST(ConstraintFile, MissingAndCompressedFiles) {
  ScratchDir dir;
  std::string missing = dir.path("absent.cons");
  EXPECT_FATAL(
      [&] {
        ConstraintTable *t = create_constraint_table();
        read_constraints_file(t, missing.c_str());
      },
      "Couldn't open file " + missing + ": No such file or directory\n");

  if (system("command -v gzip >/dev/null 2>&1") != 0) GTEST_SKIP() << "gzip not installed";
  dir.write("z.cons", "constraints:\nseq1 3-10:21\n");
  std::string cmd = "gzip '" + dir.path("z.cons") + "'";
  ASSERT_EQ(system(cmd.c_str()), 0);
  // Named with or without its suffix.
  for (const char *name : {"z.cons.gz", "z.cons"}) {
    std::string p = dir.path(name);
    ConstraintTable *t = create_constraint_table();
    read_constraints_file(t, p.c_str());
    EXPECT_EQ(ranges_of(t, "seq1"), "3+8:21") << name;
    free_constraint_table(t);
  }
}

TEST(ConstraintFile, SeveralFilesAndUnlabeledRanges) {
  ScratchDir dir;
  std::string a = dir.write("a.cons", "constraints:\nseq1 3-10:21\nseq2 1:1\n");
  std::string b = dir.write("b.cons", "constraints:\nseq1 15:40\nseq3 7-9:100\n");
  std::string u = dir.write("u.cons", "# unlabeled\nconstraints:\nseq4 2-3\n");

  EXPECT_EQ(read_constraints_table(nullptr, 0, 0), nullptr);
  char *names[] = {&a[0], &b[0], &u[0]};
  EXPECT_EQ(read_constraints_table(names, -1, 0), nullptr);

  ConstraintTable *t = read_constraints_table(names, 2, 0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->count, 3);
  EXPECT_EQ(ranges_of(t, "seq1"), "3+8:21 15+1:40") << "ranges appended across files in order";
  EXPECT_EQ(ranges_of(t, "seq3"), "7+3:100");
  EXPECT_EQ(t->max_node_label, 102);
  EXPECT_EQ(t->has_unlabeled, 0);
  free_constraint_table(t);

  t = read_constraints_table(names, 3, 1);
  EXPECT_EQ(ranges_of(t, "seq4"), "2+2:-");
  EXPECT_EQ(t->has_unlabeled, 1);
  free_constraint_table(t);

  // Refused where unlabeled ranges are not allowed; the message names the file that brought them
  // (and carries its own "Error: " after the one of the fatal-error routine).
  EXPECT_FATAL([&] { read_constraints_table(names, 3, 0); },
               "Error: constraint file " + u +
                   " has constraints with unspecified model labels,\n"
                   "they are allowed only when creating a model from an alignment");
}

TEST(ConstraintFile, Write) {
  ScratchDir dir;
  std::string out = dir.path("out.cons");

  ConstraintTable *t = read_text(dir, "constraints:\nseq1 3-10:21, 15:40\n");
  write_constraints_table(t, out.c_str());
  EXPECT_EQ(dir.read("out.cons"), "constraints:\nseq1 3-10:21,15:40\n");
  free_constraint_table(t);

  // Lines follow the hash chains: "hr" and "seq1" share bucket 26 (the later entry heads it), "a" is
  // in bucket 97 and "x" in 120. Unlabeled ranges and single positions are written without label
  // or end; an entry without ranges is its identifier alone.
  t = create_constraint_table();
  add_constraint_to_table(t, "x", 1, 5, 1, 0, 80000, 80000);
  add_constraint_to_table(t, "a", 2, -3, 3, 0, 80000, 80000);
  add_constraint_to_table(t, "seq1", 3, 21, 8, 0, 80000, 80000);
  add_constraint_to_table(t, "hr", 7, -3, 1, 0, 80000, 80000);
  add_constraint_to_table(t, "a", 9, 0, 2, 0, 80000, 80000);
  add_seq_constraint(t, "e");  // bucket 101
  write_constraints_table(t, out.c_str());
  std::string written = dir.read("out.cons");
  EXPECT_EQ(written, "constraints:\nhr 7\nseq1 3-10:21\na 2-4,9-10:0\ne\nx 1:5\n");
  free_constraint_table(t);

  // What was written reads back to the same ranges.
  t = read_text(dir, written);
  EXPECT_EQ(ranges_of(t, "a"), "2+3:- 9+2:0");
  EXPECT_EQ(ranges_of(t, "hr"), "7+1:-");
  EXPECT_EQ(ranges_of(t, "x"), "1+1:5");
  EXPECT_EQ(ranges_of(t, "e"), "absent");
  free_constraint_table(t);

  // An empty table, or none, gives an empty file (replacing what was there).
  t = create_constraint_table();
  write_constraints_table(t, out.c_str());
  EXPECT_EQ(dir.read("out.cons"), "");
  free_constraint_table(t);
  dir.write("out.cons", "old");
  write_constraints_table(nullptr, out.c_str());
  EXPECT_EQ(dir.read("out.cons"), "");

  std::string bad = dir.path("no/such/dir.cons");
  EXPECT_FATAL([&] { write_constraints_table(nullptr, bad.c_str()); },
               "Couldn't open file " + bad + " for writting: No such file or directory");
  if (access("/dev/full", W_OK) == 0) {
    EXPECT_FATAL(([&] {
                   ConstraintTable *full = create_constraint_table();
                   add_constraint_to_table(full, "seq1", 3, 21, 8, 0, 80000, 80000);
                   write_constraints_table(full, "/dev/full");
                 }),
                 "file write failed: /dev/full: No space left on device");
  }
}
