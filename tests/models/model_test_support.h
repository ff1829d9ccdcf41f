// Test support for the model records, reader and writer: running a test body in a child process
// (alphabets are process-wide and can be installed only once per track), capturing standard error,
// streams over test text, and small model builders.
#ifndef QOR_TESTS_MODELS_MODEL_TEST_SUPPORT_H
#define QOR_TESTS_MODELS_MODEL_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include "support/capture.h"
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

using qortest::in_child;
using qortest::output_of;
using qortest::stderr_of;
using qortest::stream_of;

// Installs the built-in alphabet name on track 0 (call in a child).
inline void use_alphabet(const char *name) {
  qor::init_alphabets();
  qor::init_alphabet_by_name(name, 0, "test");
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
