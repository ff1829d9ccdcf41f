// Helpers of the multi-format reader tests: a temporary directory, fixture paths, and calls of the
// reader that give back what it produced as plain values.
#ifndef QOR_TESTS_SEQFORMAT_FIXTURE_UTIL_H
#define QOR_TESTS_SEQFORMAT_FIXTURE_UTIL_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "seqformat/seqformat.h"

namespace fmttest {

inline std::string fixture(const std::string &name) {
  return std::string(QOR_TEST_DATA) + "/" + name;
}

inline std::string slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh directory under /tmp, removed with its files at the end.
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/qorfmt.XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() {
    std::string cmd = "rm -rf '" + path_ + "'";
    if (system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot remove " << path_;
  }
  std::string write(const std::string &name, const std::string &content) const {
    std::string p = path_ + "/" + name;
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

// What one read call produced.
struct Got {
  bool text = false;  // a text was returned
  std::string seq;
  std::string id;
  int len = -1;
  int nseq = -1;
  int err = 99;
};

inline Got read_file(int entry, const std::string &path, int skip, int format) {
  Got g;
  std::vector<char> id(qor::READSEQ_ID_BUFFER, 'x');
  int32_t len = -1;
  int16_t nseq = -1, err = 99;
  char *s = qor::readSeq(static_cast<int16_t>(entry), path.c_str(), skip, static_cast<int16_t>(format), &len,
                         &nseq, &err, id.data());
  g.text = s != nullptr;
  if (s != nullptr) g.seq = s;
  free(s);
  g.id = id.data();
  g.len = len;
  g.nseq = nseq;
  g.err = err;
  return g;
}

// Reads from an open stream, with the caller's push-back slot.
inline Got read_stream(int entry, FILE *f, int skip, int format, char *linebuf) {
  Got g;
  std::vector<char> id(qor::READSEQ_ID_BUFFER, 'x');
  int32_t len = -1;
  int16_t nseq = -1, err = 99;
  char *s = qor::readSeqFp(static_cast<int16_t>(entry), f, skip, static_cast<int16_t>(format), &len, &nseq,
                           &err, id.data(), linebuf);
  g.text = s != nullptr;
  if (s != nullptr) g.seq = s;
  free(s);
  g.id = id.data();
  g.len = len;
  g.nseq = nseq;
  g.err = err;
  return g;
}

inline int detect(const std::string &path, int *skip = nullptr) {
  FILE *f = fopen(path.c_str(), "r");
  EXPECT_NE(f, nullptr) << path;
  if (f == nullptr) return -100;
  int32_t lines = -1;
  int16_t err = 99;
  int16_t format = qor::seqFileFormatFp(f, &lines, &err);
  fclose(f);
  EXPECT_EQ(err, 0) << path;
  if (skip != nullptr) *skip = lines;
  return format;
}

}  // namespace fmttest

#endif
