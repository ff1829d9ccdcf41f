// Test support for code on the process-wide alphabet state: a guard that restores the alphabet
// table, the track alphabets and the alphabet parameter variables; capture of standard error; a
// temporary directory for fixture files.
#ifndef QOR_TESTS_ALPHABET_ALPHABET_TEST_SUPPORT_H
#define QOR_TESTS_ALPHABET_ALPHABET_TEST_SUPPORT_H

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "alphabet/alphabet.h"
#include "support/capture.h"
#include "init/init.h"

namespace alphatest {

using qortest::stderr_of;

constexpr int TABLE_SIZE = qor::NUM_BUILTIN_ALPHABETS + qor::NUM_ALPHABET_DEF_SLOTS + 1;

// Saves the alphabet state on construction and puts it back on destruction, releasing what the
// test allocated (user-defined slots, the alphabetname and alphabet_def values). The changed flags
// of the parameter table are restored too.
class AlphabetState {
 public:
  AlphabetState() {
    qor::init_alphabets();
    memcpy(saved_table_, qor::alphabet_table, sizeof saved_table_);
    memcpy(saved_tracks_, qor::alphabets, sizeof saved_tracks_);
    saved_num_ = qor::num_alphabets;
    saved_current_ = qor::alphabet;
    saved_name_ = qor::alphabetname;
    saved_def_ = qor::alphabet_def;
    for (qor::OptionEntry *row = qor::read_vars; row->type != qor::VAR_END; row++)
      saved_changed_.push_back(row->changed);
  }
  ~AlphabetState() {
    for (int i = 0; i < TABLE_SIZE; i++) {
      qor::Alphabet &now = qor::alphabet_table[i];
      const qor::Alphabet &was = saved_table_[i];
      if (now.name != was.name) free(now.name);
      if (now.letters != was.letters) free(now.letters);
      if (now.digit_table != was.digit_table) free(now.digit_table);
    }
    memcpy(qor::alphabet_table, saved_table_, sizeof saved_table_);
    memcpy(qor::alphabets, saved_tracks_, sizeof saved_tracks_);
    qor::num_alphabets = saved_num_;
    qor::alphabet = saved_current_;
    if (qor::alphabetname != saved_name_) free(qor::alphabetname);
    qor::alphabetname = saved_name_;
    if (qor::alphabet_def != saved_def_) free(qor::alphabet_def);
    qor::alphabet_def = saved_def_;
    size_t k = 0;
    for (qor::OptionEntry *row = qor::read_vars; row->type != qor::VAR_END; row++)
      row->changed = saved_changed_[k++];
  }
  AlphabetState(const AlphabetState &) = delete;
  AlphabetState &operator=(const AlphabetState &) = delete;

 private:
  qor::Alphabet saved_table_[TABLE_SIZE];
  qor::Alphabet *saved_tracks_[qor::MAX_TRACKS];
  int saved_num_;
  qor::Alphabet *saved_current_;
  char *saved_name_;
  char *saved_def_;
  std::vector<int32_t> saved_changed_;
};

// A fresh directory for fixture files, removed with its files at the end.
class TempDir {
 public:
  TempDir() {
    const char *base = getenv("TMPDIR");
    std::string tmpl = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/qoralpha.XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = buf.data();
  }
  ~TempDir() {
    for (const std::string &f : files_) unlink(f.c_str());
    rmdir(root_.c_str());
  }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  // Writes content (bytes as given) to name in the directory; returns its path.
  std::string write(const std::string &name, const std::string &content) {
    std::string path = root_ + "/" + name;
    FILE *f = fopen(path.c_str(), "wb");
    if (f == nullptr) throw std::runtime_error("cannot write " + path);
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
    files_.push_back(path);
    return path;
  }
  std::string path(const std::string &name) const { return root_ + "/" + name; }
  // Marks a file that something else made in the directory for removal; returns its path.
  std::string adopt(const std::string &name) {
    files_.push_back(path(name));
    return files_.back();
  }

 private:
  std::string root_;
  std::vector<std::string> files_;
};

// The same text with every "\n" written as "\r\n".
inline std::string crlf(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace alphatest

#endif
