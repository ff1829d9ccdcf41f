// Substitution matrices: the BLOSUM62 file shipped with the toolkit, the search along BLASTMAT,
// columns in any order, and every malformed-file error.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "prepare_test_support.h"

using namespace qor;
using preptest::exact;
using preptest::in_child;
using preptest::setup;
using preptest::TempDir;

static std::string shipped_blosum62() {
  return std::string(QOR_TEST_DATA) + "/../../data/matrix/aa/blosum62";
}

static std::string read_file(const std::string &name) {
  FILE *f = fopen(name.c_str(), "r");
  if (f == nullptr) throw std::runtime_error("cannot read " + name);
  std::string text;
  for (int c; (c = getc(f)) != EOF;) text += static_cast<char>(c);
  fclose(f);
  return text;
}

// The shipped table as score[row char][column char], taken from its text.
static std::map<char, std::map<char, int>> blosum_table() {
  std::istringstream in(read_file(shipped_blosum62()));
  std::string line, header;
  while (std::getline(in, line) && line[0] == '#') {
  }
  std::vector<char> columns;
  for (char c : line)
    if (c != ' ') columns.push_back(c);
  std::map<char, std::map<char, int>> table;
  while (std::getline(in, line)) {
    std::istringstream row(line);
    char label;
    row >> label;
    for (char c : columns) row >> table[label][c];
  }
  return table;
}

// A matrix file with the columns and rows in the order of `order` (its last character is '*').
static std::string matrix_text(const std::string &order) {
  auto table = blosum_table();
  std::string s = "# test matrix\n ";
  for (char c : order) s += std::string("  ") + c;
  s += "\n";
  for (char r : order) {
    s += r;
    for (char c : order) s += " " + std::to_string(table[r][c]);
    s += "\n";
  }
  return s;
}

TEST(Matrix, ShippedBlosum62) {
  in_child([] {
    setup();
    int32_t **m = read_matrix(shipped_blosum62().c_str(), nullptr, nullptr, nullptr);
    ASSERT_NE(m, nullptr);
    const unsigned char *t = alphabet->translate;
    EXPECT_EQ(m[t['A']][t['A']], 4);
    EXPECT_EQ(m[t['W']][t['W']], 11);
    EXPECT_EQ(m[t['W']][t['C']], -2);
    EXPECT_EQ(m[t['B']][t['D']], 4);
    EXPECT_EQ(m[t['Z']][t['E']], 4);
    EXPECT_EQ(m[t['X']][t['X']], -1);
    EXPECT_EQ(m[23][t['A']], -4) << "row and column 23 are '*'";
    EXPECT_EQ(m[23][23], 1);
    for (int i = 0; i < 24; i++)
      for (int j = 0; j < 24; j++) ASSERT_EQ(m[i][j], m[j][i]) << i << "," << j;
    double_free(reinterpret_cast<void **>(m), 24);
    EXPECT_EQ(read_matrix(nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(read_matrix("", nullptr, nullptr, nullptr), nullptr);
  });
}

TEST(Matrix, ColumnsInAnyOrder) {
  in_child([] {
    setup();
    TempDir dir;
    std::string a = dir.write("a", matrix_text("ARNDCQEGHILKMFPSTWYVBZX*"));
    std::string b = dir.write("b", matrix_text("XZBYWVTSRQPNMLKIHGFEDCA*"));
    int32_t **ma = read_matrix(a.c_str(), nullptr, nullptr, nullptr);
    int32_t **mb = read_matrix(b.c_str(), nullptr, nullptr, nullptr);
    for (int i = 0; i < 24; i++)
      for (int j = 0; j < 24; j++) ASSERT_EQ(ma[i][j], mb[i][j]) << i << "," << j;
    double_free(reinterpret_cast<void **>(ma), 24);
    double_free(reinterpret_cast<void **>(mb), 24);
  });
}

TEST(Matrix, SearchedInTheCurrentDirectoryThenAlongBlastmat) {
  in_child([] {
    setup();
    TempDir dir;
    std::string text = read_file(shipped_blosum62());
    std::string installed = dir.write("lib/matrix/aa/blosum62", text);
    setenv("BLASTMAT", (dir.path + "/lib").c_str(), 1);
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    int32_t **m = nullptr;
    std::string log =
        preptest::output_of([&](FILE *out) { m = read_matrix("blosum62", nullptr, nullptr, out); });
    EXPECT_EQ(log, "% Cost matrix:  " + installed + "\n");
    ASSERT_NE(m, nullptr);
    double_free(reinterpret_cast<void **>(m), 24);

    // A copy in the current directory comes first.
    std::string local = text;
    local.replace(local.find("A  4"), 4, "A  5");
    dir.write("blosum62", local);
    log = preptest::output_of([&](FILE *out) { m = read_matrix("blosum62", nullptr, nullptr, out); });
    EXPECT_EQ(log, "% Cost matrix:  blosum62\n");
    EXPECT_EQ(m[0][0], 5);
    double_free(reinterpret_cast<void **>(m), 24);
  });
}

TEST(Matrix, NucleotideMatricesLiveUnderNt) {
  in_child([] {
    setup("DNA");
    TempDir dir;
    std::string text = "# nucleotides\n A G C T R Y N *\n";
    const char rows[] = "AGCTRYN*";
    for (int r = 0; r < 8; r++) {
      text += rows[r];
      for (int c = 0; c < 8; c++) text += " " + std::to_string(r == c ? 5 : -4);
      text += "\n";
    }
    dir.write("lib/matrix/nt/dnamat", text);
    setenv("BLASTMAT", (dir.path + "/lib").c_str(), 1);
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    int32_t **m = read_matrix("dnamat", nullptr, nullptr, nullptr);
    EXPECT_EQ(m[3][3], 5);
    EXPECT_EQ(m[7][6], -4);
    double_free(reinterpret_cast<void **>(m), 8);
  });
}

TEST(Matrix, MalformedFilesAreFatal) {
  std::string good = matrix_text("ARNDCQEGHILKMFPSTWYVBZX*");
  auto without_line = [](std::string s, const std::string &start) {
    size_t at = s.find("\n" + start);
    return s.erase(at + 1, s.find('\n', at + 1) - at);
  };
  auto replace = [](std::string s, const std::string &from, const std::string &to) {
    return s.replace(s.find(from), from.size(), to);
  };
  struct Case {
    const char *what;
    std::string text;
    std::string message;
  } cases[] = {
      {"20 letters and *", matrix_text("ARNDCQEGHILKMFPSTWYV*"),
       "Error: Error reading matrix:  should have 24 (alen + 1 for *) columns, not 21\n"},
      {"X not named", replace(good, "  X  *", "  A  *"),
       "Error: Error reading matrix:  character X is not specified\n"},
      {"row label out of order", replace(good, "\nR ", "\nQ "), "Error: Error reading matrix\n"},
      {"a row short of a number", replace(good, "\nW -3 -3", "\nW -3"), "Error: Error reading matrix\n"},
      {"a row with an extra number", replace(good, "\nW -3", "\nW 0 -3"), "Error: Error reading matrix\n"},
      {"a number that is no integer", replace(good, "\nW -3", "\nW -3.5"), "Error: Error reading matrix\n"},
      {"the last row missing", without_line(good, "*"), "Error: Error reading matrix\n"},
      {"no header", "# only a comment\n", ""},
  };
  TempDir dir;
  for (const Case &c : cases) {
    std::string file = dir.write("m", c.text);
    std::string message =
        c.message.empty() ? "Error: Error reading matrix:  " + file + " has no header line\n" : c.message;
    EXPECT_EXIT(
        {
          setup();
          read_matrix(file.c_str(), nullptr, nullptr, nullptr);
        },
        testing::ExitedWithCode(1), exact(message))
        << c.what;
  }
  EXPECT_EXIT(
      {
        setup();
        read_matrix((dir.path + "/absent").c_str(), nullptr, nullptr, nullptr);
      },
      testing::ExitedWithCode(1), "Error: Couldn't open file [^ ]*/absent");
}
