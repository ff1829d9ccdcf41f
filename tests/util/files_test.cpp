// Input files (plain, compressed, seekable, search path), their closing, and output files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "util/util.h"

namespace {

class Files : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qorfiles.XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }
  void write(const std::string &name, const std::string &content) const {
    std::ofstream(path(name), std::ios::binary) << content;
  }
  static std::string quoted(const std::string &s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
  }
  // Writes content gzip-compressed under name (whatever its suffix).
  void write_gz(const std::string &name, const std::string &content) const {
    write("plain.tmp", content);
    std::string cmd = "gzip -c " + quoted(path("plain.tmp")) + " > " + quoted(path(name));
    ASSERT_EQ(system(cmd.c_str()), 0);
    unlink(path("plain.tmp").c_str());
  }
  static std::string read_all(FILE *f) {
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    return s;
  }
  std::string open_and_read(const std::string &name, int flags = 0) const {
    FILE *f = qor::do_open_read(path(name).c_str(), flags);
    if (f == nullptr) return "<null>";
    std::string s = read_all(f);
    EXPECT_EQ(qor::close_read(f), 0);
    return s;
  }
  std::string dir_;
};

TEST_F(Files, PlainThenGzThenZ) {
  write_gz("seqs.gz", "from gz\n");
  write_gz("seqs.Z", "from Z\n");  // gzip data under a .Z name goes through "uncompress -c"
  EXPECT_EQ(open_and_read("seqs"), "from gz\n");
  EXPECT_EQ(open_and_read("seqs.Z"), "from Z\n");
  EXPECT_EQ(open_and_read("seqs.gz"), "from gz\n");
  write("seqs", "plain\n");
  EXPECT_EQ(open_and_read("seqs"), "plain\n");
  unlink(path("seqs").c_str());
  unlink(path("seqs.gz").c_str());
  EXPECT_EQ(open_and_read("seqs"), "from Z\n");
}

TEST_F(Files, MissingCompressedNameStartsNoDecompressor) {
  errno = 0;
  EXPECT_EQ(qor::do_open_read(path("x.gz").c_str(), 0), nullptr);
  EXPECT_EQ(errno, ENOENT);
  write_gz("x.gz.gz", "never\n");  // 'x.gz' must not try 'x.gz.gz'
  EXPECT_EQ(open_and_read("x.gz"), "<null>");
  EXPECT_EQ(open_and_read("absent"), "<null>");
}

TEST_F(Files, RequiredMissingFileIsFatal) {
  std::string name = path("nothing");
  EXPECT_EXIT(qor::open_read(name.c_str(), qor::OPEN_REQUIRED), testing::ExitedWithCode(1),
              "^Error: Couldn't open file .*/nothing: No such file or directory\n\n$");
  EXPECT_EQ(qor::open_read(name.c_str(), 0), nullptr);
}

TEST_F(Files, SeekableCompressedStreamRewinds) {
  std::string content;
  for (int i = 0; i < 5000; i++) content += "line " + std::to_string(i) + "\n";  // several copy blocks
  write_gz("big.gz", content);
  FILE *f = qor::do_open_read(path("big").c_str(), qor::OPEN_SEEKABLE);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(read_all(f), content);
  rewind(f);
  EXPECT_EQ(read_all(f), content);
  EXPECT_EQ(qor::close_read(f), 0);
}

TEST_F(Files, TruncatedCompressedFile) {
  std::string content;
  for (int i = 0; i < 20000; i++) content += "residue line " + std::to_string(i * 7919) + "\n";
  write_gz("full.gz", content);
  std::string bytes;
  {
    std::ifstream in(path("full.gz"), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    bytes = s.str();
  }
  write("cut.gz", bytes.substr(0, bytes.size() / 2));

  // Abandoned after its first line: the decompressor's failure is tolerated.
  FILE *f = qor::do_open_read(path("cut.gz").c_str(), 0);
  ASSERT_NE(f, nullptr);
  char line[100];
  ASSERT_NE(fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "residue line 0\n");
  EXPECT_EQ(qor::close_read(f), 1);

  // Read to its end: the failure is fatal at close.
  std::string name = path("cut.gz");
  EXPECT_EXIT(
      {
        FILE *g = qor::do_open_read(name.c_str(), 0);
        while (fgets(line, sizeof line, g) != nullptr) {
        }
        qor::close_read(g);
      },
      testing::ExitedWithCode(1), "Error: gzcat terminated on an error: [0-9]+\n$");

  // A seekable copy of a truncated file is refused.
  EXPECT_EQ(qor::do_open_read(name.c_str(), qor::OPEN_SEEKABLE), nullptr);
}

TEST_F(Files, ShellCharactersInNamesAreNotCommands) {
  const char *names[] = {"a b.gz", "it's.gz", "x;touch pwned.gz", "$(touch pwned).gz", "`touch pwned`.gz"};
  for (const char *n : names) {
    write_gz(n, std::string("content of ") + n + "\n");
    EXPECT_EQ(open_and_read(n), std::string("content of ") + n + "\n") << n;
  }
  EXPECT_NE(access("pwned", F_OK), 0);
  EXPECT_NE(access(path("pwned").c_str(), F_OK), 0);
}

TEST_F(Files, SearchPathFindsFileInEnvironmentDirectory) {
  mkdir(path("data").c_str(), 0755);
  write("data/m.mod", "model\n");
  setenv("QOR_TEST_PATH", (path("data") + "/").c_str(), 1);
  char logbuf[4096] = {0};
  FILE *log = fmemopen(logbuf, sizeof logbuf, "w");
  FILE *f = qor::open_read_env("m.mod", "QOR_TEST_PATH", "/usr/local/lib/qor", nullptr, log, 5);
  fclose(log);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(read_all(f), "model\n");
  qor::close_read(f);
  EXPECT_EQ(std::string(logbuf), path("data") + "/m.mod");

  // With a subdirectory, and compressed.
  mkdir(path("data/matrix").c_str(), 0755);
  mkdir(path("data/matrix/aa").c_str(), 0755);
  write_gz("data/matrix/aa/blosum62.gz", "matrix\n");
  f = qor::open_read_env("blosum62", "QOR_TEST_PATH", "/nonexistent", "matrix/aa", nullptr, 0);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(read_all(f), "matrix\n");
  qor::close_read(f);
  unsetenv("QOR_TEST_PATH");
}

TEST_F(Files, SearchPathFailures) {
  std::string dir = path("empty");
  mkdir(dir.c_str(), 0755);
  // Not required, with a log: the warning goes to stderr, the log says "File Not Found".
  testing::internal::CaptureStderr();
  char logbuf[4096] = {0};
  FILE *log = fmemopen(logbuf, sizeof logbuf, "w");
  EXPECT_EQ(qor::open_read_env("q.mod", "QOR_UNSET_VARIABLE", dir.c_str(), nullptr, log, 0), nullptr);
  fclose(log);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Warning:  q.mod not found in current directory\nor using $QOR_UNSET_VARIABLE " + dir + "/q.mod");
  EXPECT_STREQ(logbuf, "File Not Found (q.mod)");
  // Quiet: no warning.
  testing::internal::CaptureStderr();
  EXPECT_EQ(qor::open_read_env("q.mod", "QOR_UNSET_VARIABLE", dir.c_str(), nullptr, nullptr, qor::OPEN_QUIET),
            nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // No directory at all: the name is logged and null returned.
  EXPECT_EQ(qor::open_read_env("q.mod", nullptr, nullptr, nullptr, nullptr, 0), nullptr);
  // Required.
  EXPECT_EXIT(qor::open_read_env("q.mod", "QOR_UNSET_VARIABLE", dir.c_str(), nullptr, nullptr, qor::OPEN_REQUIRED),
              testing::ExitedWithCode(1),
              "^Warning:  q.mod not found in current directory\nor using \\$QOR_UNSET_VARIABLE .*/q.modError: "
              "Couldn't open file q.mod: No such file or directory\n\n$");
  EXPECT_EXIT(qor::open_read_env("", "X", "/", nullptr, nullptr, qor::OPEN_REQUIRED), testing::ExitedWithCode(1),
              "^Error: No file name given.\n\n$");
  EXPECT_EQ(qor::open_read_env(nullptr, "X", "/", nullptr, nullptr, 0), nullptr);
}

TEST_F(Files, CloseOfInvalidStreamIsFatal) {
  EXPECT_EXIT(
      {
        FILE *f = fopen("/dev/null", "r");
        close(fileno(f));
        qor::close_read(f);
      },
      testing::ExitedWithCode(1), "^Error: close_read: file not open\n$");
}

TEST_F(Files, OutputFiles) {
  EXPECT_EQ(qor::open_outputfile("run", ">"), stdout);
  EXPECT_EQ(qor::open_outputfile("run", ">&"), stderr);
  std::string base = path("run");
  FILE *f = qor::open_outputfile(base.c_str(), ".a2m");
  ASSERT_NE(f, nullptr);
  fputs("x", f);
  fclose(f);
  EXPECT_EQ(access((base + ".a2m").c_str(), F_OK), 0);
  f = qor::open_outputfile(base.c_str(), nullptr);
  fclose(f);
  EXPECT_EQ(access(base.c_str(), F_OK), 0);
  std::string bad = path("no/such/dir/run");
  EXPECT_EXIT(qor::open_outputfile(bad.c_str(), "A.seq"), testing::ExitedWithCode(1),
              "^Error: \\(open_outputfile\\):  Could not open file .*/no/such/dir/runA.seq\n$");
}

}  // namespace
