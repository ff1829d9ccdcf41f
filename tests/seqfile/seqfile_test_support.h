// Helpers of the sequence-source tests: a guard for the process-wide state they touch (alphabets,
// keepannotations), exact-match patterns for death tests, capture of a standard stream, and a
// compact text form of a sequence.
#ifndef QOR_TESTS_SEQFILE_SEQFILE_TEST_SUPPORT_H
#define QOR_TESTS_SEQFILE_SEQFILE_TEST_SUPPORT_H

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "alphabet/alphabet.h"
#include "alphabet/alphabet_test_support.h"
#include "init/init.h"
#include "seqfile/seqfile.h"
#include "sequence/sequence.h"

namespace seqfiletest {

// Restores the alphabets and keepannotations at the end of a test.
class State {
 public:
  State() : keep_(qor::keepannotations) {}
  ~State() { qor::keepannotations = keep_; }

 private:
  alphatest::AlphabetState alphabets_;
  int32_t keep_;
};

// Installs built-in alphabets (or "NUMn" numeric alphabets of n values) on tracks 0, 1, ...
inline void use_alphabets(const std::vector<const char *> &names) {
  int track = 0;
  for (const char *name : names) {
    std::string n = name;
    if (n.rfind("NUM", 0) == 0)
      qor::init_alphabet_by_def(name, n.substr(3).c_str(), track, "test");
    else
      qor::init_alphabet_by_name(name, track, "test");
    track++;
  }
}

// A death-test pattern matching exactly text (every regex character escaped).
inline std::string exactly(const std::string &text) {
  std::string out = "^";
  for (char c : text) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out + "$";
}

// Everything fn writes to stream (stdout or stderr) while it runs.
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
  int c;
  while ((c = getc(tmp)) != EOF) out += static_cast<char>(c);
  fclose(tmp);
  return out;
}

// Track t of a converted sequence as text: its letters in the track's alphabet, values joined by
// ',' for a numeric alphabet, "-" when the track has no letters.
inline std::string track_text(const qor::Sequence *s, int t) {
  const unsigned char *l = s->tracks[t].letters;
  if (l == nullptr) return "-";
  const qor::Alphabet *a = qor::alphabets[t];
  std::string out;
  for (int i = 0; i < s->length; i++) {
    if (a->letters == nullptr) {
      if (i > 0) out += ',';
      out += std::to_string(l[i]);
    } else {
      out += l[i] < a->length ? a->letters[l[i]] : 'X';
    }
  }
  return out;
}

// "id|annotation|track 0|track 1|..." of a converted sequence.
inline std::string describe(const qor::Sequence *s) {
  std::string out = s->id != nullptr ? s->id : "(null)";
  out += "|";
  if (s->annotation != nullptr) out += s->annotation;
  for (int t = 0; t < s->num_tracks; t++) out += "|" + track_text(s, t);
  return out;
}

// The sequences of a table described one per entry.
inline std::vector<std::string> describe(const qor::SequenceTable *table) {
  std::vector<std::string> out;
  for (int i = 0; i < table->count; i++) out.push_back(describe(table->items[i]));
  return out;
}

}  // namespace seqfiletest

#endif
