// Helpers of the sequence tests: the alphabets installed once per test program, sequences built
// from letters and alignment codes, in-memory sequence files, and capture of the standard streams.
//
// Tracks of every test program (installed before the first test, inherited by death-test children):
//   0 DNA, 1 protein, 2 NUM20 (numeric, 20 values), 3 NUM10 (numeric, 10 values),
//   4 CB_BURIAL_12_7 (no character for its wildcard), 5 EHL.
#ifndef QOR_TESTS_SEQUENCE_SEQTEST_H
#define QOR_TESTS_SEQUENCE_SEQTEST_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alphabet/alphabet.h"
#include "sequence/sequence.h"
#include "util/util.h"

namespace seqtest {

constexpr int DNA_TRACK = 0;
constexpr int PROTEIN_TRACK = 1;
constexpr int NUM20_TRACK = 2;
constexpr int NUM10_TRACK = 3;
constexpr int BURIAL_TRACK = 4;
constexpr int EHL_TRACK = 5;

class AlphabetEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    qor::init_alphabets();
    qor::init_alphabet_by_name("DNA", DNA_TRACK, "test");
    qor::init_alphabet_by_name("protein", PROTEIN_TRACK, "test");
    qor::init_alphabet_by_def("NUM20", "20", NUM20_TRACK, "test");
    qor::init_alphabet_by_def("NUM10", "10", NUM10_TRACK, "test");
    qor::init_alphabet_by_name("CB_BURIAL_12_7", BURIAL_TRACK, "test");
    qor::init_alphabet_by_name("EHL", EHL_TRACK, "test");
    qor::alphabet = qor::alphabets[0];
  }
};

// Points the current alphabet at another record for one scope, as track-wise code does.
class CurrentAlphabet {
 public:
  explicit CurrentAlphabet(int track) : saved_(qor::alphabet) { qor::alphabet = qor::alphabets[track]; }
  ~CurrentAlphabet() { qor::alphabet = saved_; }

 private:
  qor::Alphabet *saved_;
};

inline char *copy_text(const char *s) {
  if (s == nullptr) return nullptr;
  char *p = static_cast<char *>(qor::mem_alloc(static_cast<int>(strlen(s)) + 1));
  strcpy(p, s);
  return p;
}

// Letter indices of text in the alphabet of track.
inline std::vector<unsigned char> indices(int track, const std::string &text) {
  std::vector<unsigned char> v;
  for (unsigned char c : text) v.push_back(qor::alphabets[track]->translate[c]);
  return v;
}

// A converted sequence holding letters (indices) on track, with an optional alignment code.
inline qor::Sequence *make_seq(const char *id, const char *annotation, int track,
                               const std::vector<unsigned char> &letters,
                               const std::vector<unsigned char> &code = {}) {
  qor::Sequence *s = qor::alloc_sequence(static_cast<int>(letters.size()), track + 1);
  s->id = copy_text(id);
  s->annotation = copy_text(annotation);
  if (s->tracks[track].letters == nullptr)
    s->tracks[track].letters = static_cast<unsigned char *>(qor::mem_alloc(2));
  if (!letters.empty()) memcpy(s->tracks[track].letters, letters.data(), letters.size());
  s->converted = 1;
  if (!code.empty()) {
    s->alignment = static_cast<unsigned char *>(qor::mem_alloc(static_cast<int>(code.size()) + 1));
    memcpy(s->alignment, code.data(), code.size());
  }
  return s;
}

// A sequence file named name whose content is bytes (a temporary file); release with close_bytes.
inline qor::OpenSeqFile *open_bytes(const std::string &bytes, const char *name = "dir/seqs.fa") {
  auto *f = static_cast<qor::OpenSeqFile *>(qor::mem_alloc(static_cast<int>(sizeof(qor::OpenSeqFile))));
  f->name = copy_text(name);
  f->stream = tmpfile();
  if (f->stream == nullptr) abort();
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f->stream);
  rewind(f->stream);
  return f;
}

inline void close_bytes(qor::OpenSeqFile *f) {
  fclose(f->stream);
  free(f->name);
  free(f);
}

// Everything fn writes to stream (stdout or stderr) while it runs, captured through a file.
template <typename Fn>
std::string capture(FILE *stream, Fn fn) {
  fflush(stream);
  FILE *tmp = tmpfile();
  int saved = dup(fileno(stream));
  dup2(fileno(tmp), fileno(stream));
  fn();
  fflush(stream);
  dup2(saved, fileno(stream));
  close(saved);
  std::string out;
  rewind(tmp);
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, tmp)) > 0) out.append(buf, n);
  fclose(tmp);
  return out;
}

// Everything fn writes to a fresh temporary stream passed to it.
template <typename Fn>
std::string written(Fn fn) {
  FILE *tmp = tmpfile();
  fn(tmp);
  std::string out;
  rewind(tmp);
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, tmp)) > 0) out.append(buf, n);
  fclose(tmp);
  return out;
}

}  // namespace seqtest

#endif
