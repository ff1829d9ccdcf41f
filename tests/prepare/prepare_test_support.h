// Test support for model preparation, FIMs, loading and matrices: running a body in a forked child
// (alphabets, parameters and the once-only report flags are process-wide), capturing a stream,
// temporary directories, and builders of small models in memory and as model-file text.
#ifndef QOR_TESTS_PREPARE_PREPARE_TEST_SUPPORT_H
#define QOR_TESTS_PREPARE_PREPARE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include "support/capture.h"
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "alphabet/alphabet.h"
#include "init/init.h"
#include "models/model_prepare.h"
#include "models/models.h"
#include "util/util.h"

namespace preptest {

using qortest::in_child;
using qortest::output_of;
using qortest::stderr_of;

// Parameter defaults and the built-in alphabet name on track 0 (call in a child).
inline void setup(const char *alphabet_name = "protein") {
  qor::initialize_variables();
  qor::init_alphabets();
  qor::init_alphabet_by_name(alphabet_name, 0, "test");
}

// A fresh temporary directory (removed with its files by the destructor).
struct TempDir {
  std::string path;
  TempDir() {
    char pattern[] = "/tmp/qor_prep_XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    path = pattern;
  }
  ~TempDir() {
    std::string cmd = "rm -rf '" + path + "'";
    if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", path.c_str());
  }
  // Writes text to path/name and returns the full name.
  std::string write(const std::string &name, const std::string &text) const {
    std::string full = path + "/" + name;
    size_t slash = full.rfind('/');
    std::string cmd = "mkdir -p '" + full.substr(0, slash) + "'";
    if (system(cmd.c_str()) != 0) throw std::runtime_error("mkdir failed");
    FILE *f = fopen(full.c_str(), "w");
    if (f == nullptr) throw std::runtime_error("cannot write " + full);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    return full;
  }
};

// The name of a file in tests/data.
inline std::string data_file(const char *name) {
  return std::string(QOR_TEST_DATA) + "/" + name;
}

// ---- Models in memory -------------------------------------------------------------------------

// Fills an ordinary node: transitions into D, M, I from D, M, I; emissions from a seed so that
// every letter has a distinct positive probability.
inline void fill_node(qor::Node *n, int seed) {
  const float jumps[9] = {0.1f, 0.05f, 0.2f, 0.8f, 0.9f, 0.6f, 0.1f, 0.05f, 0.2f};
  for (int j = 0; j < 9; j++) n->block[j] = jumps[j];
  int len = qor::alphabet->length;
  for (int i = 0; i < len; i++) {
    n->match[i] = static_cast<float>(1 + (i + seed) % len);
    n->insert[i] = static_cast<float>(1 + (i * 3 + seed) % len);
  }
}

// An assembled model of length L whose nodes are all filled (not yet normalised).
inline qor::Model *make_model(int L) {
  qor::Model *m = qor::alloc_model(L);
  for (int k = 0; k <= L + 1; k++) fill_node(m->nodes[k], k);
  return m;
}

// A bundle of length L (end node in slot L+1) with nodes in the slots listed in present (-1 for the
// end node); the other slots stay empty.
inline qor::RModel *make_rmodel(int L, const std::vector<int> &present) {
  qor::RModel *rm = qor::alloc_rmodel(nullptr);
  rm->length = L;
  rm->neg_count = 0;
  qor::alloc_rmodel(rm);
  for (int k : present) {
    int slot = k < 0 ? L + 1 : k;
    rm->slots[slot] = qor::alloc_node();
    fill_node(rm->slots[slot], slot);
  }
  rm->begin = rm->slots[0];
  rm->end = rm->end_slots[0];
  return rm;
}

// ---- Models as file text ----------------------------------------------------------------------

// One node record "name v v v ..." of the current alphabet, numbers as fill_node gives them.
inline std::string node_text(const std::string &name, int seed) {
  qor::Node *n = qor::alloc_node();
  fill_node(n, seed);
  std::string s = name;
  char buf[32];
  for (int i = 0; i < n->block_length; i++) {
    snprintf(buf, sizeof buf, " %.4f", n->block[i]);
    s += buf;
  }
  qor::free_node(n);
  return s + "\n";
}

// A model block of length L in text form for the current alphabet.
inline std::string model_text(int L) {
  std::string s = std::string("MODEL -- test model\nalphabet ") + qor::alphabet->name + "\n";
  s += node_text("Begin", 0);
  for (int k = 1; k <= L; k++) s += node_text(" " + std::to_string(k), k);
  s += node_text("End", L + 1);
  return s + "ENDMODEL\n";
}

// Sum of the first m entries of v.
inline double sum_of(const float *v, int m) {
  double s = 0;
  for (int i = 0; i < m; i++) s += v[i];
  return s;
}

// text as a regular expression matching exactly that text (for death tests).
inline std::string exact(const std::string &text) {
  std::string re = "^";
  for (char c : text) {
    if (strchr(".[]()|{}*+?^$\\", c) != nullptr) re += '\\';
    re += c;
  }
  return re + "$";
}

}  // namespace preptest

#endif
