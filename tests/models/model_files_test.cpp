// Model files: the first block of a named file along PRIOR_PATH, its messages and results, and
// recognising model files by name and by content.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "model_test_support.h"

using namespace qor;
using modeltest::in_child;
using modeltest::numbers;
using modeltest::stderr_of;
using modeltest::use_alphabet;

namespace {

class ModelFiles : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qormodels.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    // Relative names are looked up in the current directory first: work in an empty one.
    ASSERT_NE(getcwd(old_cwd_, sizeof old_cwd_), nullptr);
    ASSERT_EQ(mkdir((dir_ + "/cwd").c_str(), 0700), 0);
    ASSERT_EQ(chdir((dir_ + "/cwd").c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(old_cwd_), 0);
    std::string cmd = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }
  void write(const std::string &name, const std::string &content) const {
    std::ofstream(path(name), std::ios::binary) << content;
  }

  std::string dir_;
  char old_cwd_[4096];
};

const std::string small_model =
    "% a comment\nMODEL -- small one\nalphabet DNA\n1" + numbers(17) + "\nENDMODEL\n";

}  // namespace

TEST_F(ModelFiles, ReadFirstAlongPriorPath) {
  write("m.mod", small_model);
  in_child([&] {
    use_alphabet("DNA");
    setenv("PRIOR_PATH", (dir_ + "/").c_str(), 1);
    FILE *progress = tmpfile();
    verbout = progress;
    RModel *holder = nullptr;
    EXPECT_EQ(read_first_rmodel("m.mod", "initial model", 0, &holder, 1), 1);
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->length, 1);
    rewind(progress);
    char line[200] = "";
    ASSERT_NE(fgets(line, sizeof line, progress), nullptr);
    EXPECT_STREQ(line, "m.mod(5):  Reading initial model from MODEL -- small one\n")
        << "lines are counted from the start of the file";
    verbout = nullptr;
    fclose(progress);
    // A second model replaces the first, with a message.
    std::string err =
        stderr_of([&] { EXPECT_EQ(read_first_rmodel("m.mod", "initial model", 0, &holder, 1), 1); });
    EXPECT_EQ(err, "m.mod(5):  Replacing initial model with MODEL -- small one\n");
    free_rmodel(&holder);
  });
}

TEST_F(ModelFiles, CompressedModelFoundWithoutItsSuffix) {
  write("plain.tmp", small_model);
  ASSERT_EQ(system(("gzip -c '" + path("plain.tmp") + "' > '" + path("z.mod.gz") + "'").c_str()), 0);
  in_child([&] {
    use_alphabet("DNA");
    setenv("PRIOR_PATH", dir_.c_str(), 1);
    verbout = nullptr;
    RModel *holder = nullptr;
    EXPECT_EQ(read_first_rmodel("z.mod", "track 0 model", 0, &holder, 1), 1);
    ASSERT_NE(holder, nullptr);
    EXPECT_FLOAT_EQ(holder->slots[1]->insert[3], 0.17f);
    free_rmodel(&holder);
    EXPECT_EQ(is_model_file("z.mod"), 1);
  });
}

TEST_F(ModelFiles, NoModelInFile) {
  write("plain.txt", ">seq\nACGT\n");
  setenv("PRIOR_PATH", dir_.c_str(), 1);
  in_child([&] {
    use_alphabet("DNA");
    RModel *holder = nullptr;
    int result = 0;
    EXPECT_EQ(stderr_of([&] { result = read_first_rmodel("plain.txt", "initial model", 0, &holder, 0); }),
              "Warning:  File or model not found in the initial model file plain.txt\n");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(stderr_of([&] { result = read_first_rmodel("plain.txt", "model sequence", 0, &holder, 10); }),
              "");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(holder, nullptr);
    EXPECT_EQ(read_first_rmodel(nullptr, "initial model", 0, &holder, 1), 0);
    EXPECT_EQ(read_first_rmodel("", "initial model", 0, &holder, 1), 0);
    EXPECT_EQ(stderr_of([&] { result = read_first_rmodel("absent.mod", "initial model", 0, &holder, 2); }),
              "");
    EXPECT_EQ(result, 0) << "a file that cannot be opened, not required";
    EXPECT_EQ(fread_first_rmodel(nullptr, "x", "initial model", 0, &holder, 1), 0);
  });
  EXPECT_EXIT(
      {
        use_alphabet("DNA");
        RModel *holder = nullptr;
        read_first_rmodel("plain.txt", "initial model", 0, &holder, 1);
        exit(0);
      },
      testing::ExitedWithCode(1), "^Error: No model found in the initial model file plain.txt\n\n$");
  unsetenv("PRIOR_PATH");
}

TEST_F(ModelFiles, ModelFileByContent) {
  write("m.txt", "first line\n" + small_model);
  write("seqs.fa", ">a MODEL\n MODEL only in column 2\nACGT\nmodel in lower case\n");
  setenv("PRIOR_PATH", dir_.c_str(), 1);
  EXPECT_EQ(is_model_file("m.txt"), 1);
  EXPECT_EQ(is_model_file("seqs.fa"), 0);
  EXPECT_EQ(is_model_file(QOR_TEST_DATA "/model_globins4.mod"), 1);
  EXPECT_EQ(is_model_file(nullptr), 0);
  EXPECT_EQ(is_model_file(""), 0);
  EXPECT_EXIT(is_model_file("absent.mod"), testing::ExitedWithCode(1),
              "Error: Couldn't open file absent.mod");
  unsetenv("PRIOR_PATH");
}

TEST(ModelFileNames, Suffixes) {
  struct Case {
    const char *name;
    int expected;
  } cases[] = {{"globin.mod", 1},   {"globin.mod.gz", 1}, {"globin.mod.Z", 1}, {".mod", 1},
               {"globin.model", 0}, {"mod", 0},           {"globin.MOD", 0},   {"globin.mod.bz2", 0}};
  for (const Case &c : cases) EXPECT_EQ(is_modelfilename(c.name), c.expected) << c.name;
  EXPECT_EQ(is_modelfilename(nullptr), 0);
}

TEST(ModelFileNames, BinaryFlagStartsClear) {
  EXPECT_EQ(last_model_read_binary(), 0);
}
