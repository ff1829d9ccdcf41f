// Test support for the model records, reader and writer: running a test body in a child process
// (alphabets are process-wide and can be installed only once per track), capturing standard error,
// streams over test text, and small model builders.
#ifndef QOR_TESTS_MODELS_MODEL_TEST_SUPPORT_H
#define QOR_TESTS_MODELS_MODEL_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "alphabet/alphabet.h"
#include "constraints/constraints.h"
#include "init/init.h"
#include "models/models.h"
#include "util/util.h"

namespace modeltest {

// Runs body in a forked child and expects it to finish without a failed assertion, a fatal error
// or a leak (the child ends through exit, so the leak checker of a sanitizer build runs there).
inline void in_child(const std::function<void()> &body) {
  fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    body();
    fflush(nullptr);
    exit(testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the test body failed in its child process (see its output above); status " << status;
}

// Installs the built-in alphabet name on track 0 (call in a child).
inline void use_alphabet(const char *name) {
  qor::init_alphabets();
  qor::init_alphabet_by_name(name, 0, "test");
}

// What f writes to the standard error stream.
inline std::string stderr_of(const std::function<void()> &f) {
  fflush(stderr);
  FILE *tmp = tmpfile();
  if (tmp == nullptr) throw std::runtime_error("tmpfile failed");
  int saved = dup(2);
  dup2(fileno(tmp), 2);
  f();
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string text;
  rewind(tmp);
  int c;
  while ((c = getc(tmp)) != EOF) text += static_cast<char>(c);
  fclose(tmp);
  return text;
}

// A stream holding bytes, positioned at the start.
inline FILE *stream_of(const std::string &bytes) {
  FILE *f = tmpfile();
  if (f == nullptr) throw std::runtime_error("tmpfile failed");
  fwrite(bytes.data(), 1, bytes.size(), f);
  rewind(f);
  return f;
}

// What f writes to a stream.
inline std::string output_of(const std::function<void(FILE *)> &f) {
  FILE *out = tmpfile();
  if (out == nullptr) throw std::runtime_error("tmpfile failed");
  f(out);
  fflush(out);
  std::string text;
  rewind(out);
  int c;
  while ((c = getc(out)) != EOF) text += static_cast<char>(c);
  fclose(out);
  return text;
}

// Reads the first block of text (searching for its header) under the source name "test.mod".
inline qor::RModel *read_text(const std::string &text, int *lines = nullptr, int track = 0) {
  FILE *f = stream_of(text);
  int line = 0;
  qor::RModel *rm = qor::read_rmodel(f, "test.mod", &line, nullptr, nullptr, nullptr, track);
  fclose(f);
  if (lines != nullptr) *lines = line;
  return rm;
}

// count numbers "v0 v0+step ..." separated by blanks.
inline std::string numbers(int count, double first = 0.01, double step = 0.01) {
  std::string s;
  char buf[64];
  for (int i = 0; i < count; i++) {
    snprintf(buf, sizeof buf, " %.6f", first + step * i);
    s += buf;
  }
  return s;
}

// The numbers of one node record under the current alphabet.
inline int record_size() {
  return 2 * qor::alphabet->flength + 9;
}

// A node whose block holds seed, seed + 1/1024, ... (exact in single precision).
inline qor::Node *make_node(float seed, char type = 0) {
  qor::Node *n = qor::alloc_node();
  for (int i = 0; i < n->block_length; i++) n->block[i] = seed + static_cast<float>(i) / 1024.0f;
  n->type = type;
  return n;
}

// A bundle of length L with the slot arrays allocated and no nodes.
inline qor::RModel *make_rmodel(int length) {
  qor::RModel *rm = qor::alloc_rmodel(nullptr);
  rm->length = length;
  rm->neg_count = 0;
  qor::alloc_rmodel(rm);
  return rm;
}

// Sets begin and end from the slots, as the reader does.
inline void set_aliases(qor::RModel *rm) {
  rm->begin = rm->length >= 0 ? rm->slots[0] : nullptr;
  rm->end = rm->end_slots[0];
}

// True when both nodes exist and agree bit for bit in type and block (and env when check_env).
inline bool same_node_bits(const qor::Node *a, const qor::Node *b, bool check_env) {
  if (a == nullptr || b == nullptr) return a == b;
  if (a->type != b->type || a->block_length != b->block_length || a->label != b->label) return false;
  if (memcmp(a->block, b->block, sizeof(float) * static_cast<size_t>(a->block_length)) != 0) return false;
  if (!check_env) return true;
  if ((a->env == nullptr) != (b->env == nullptr)) return false;
  return a->env == nullptr ||
         (a->env->acc == b->env->acc && a->env->env == b->env->env && a->env->code == b->env->code);
}

// The text with every "\n" written as "\r\n".
inline std::string crlf(const std::string &text) {
  std::string s;
  for (char c : text) {
    if (c == '\n') s += '\r';
    s += c;
  }
  return s;
}

}  // namespace modeltest

#endif
