// Helpers of the DP engine tests: the DNA alphabet installed once per test program, random small
// prepared models (cost tables only) and random sequences, built from a fixed seed.
#ifndef QOR_TESTS_FORWARD2_DP_TEST_SUPPORT_H
#define QOR_TESTS_FORWARD2_DP_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "alphabet/alphabet.h"
#include "fbmodel/fbmodel.h"
#include "forward2/forward2.h"
#include "models/models.h"
#include "sequence/sequence.h"
#include "util/util.h"

namespace dptest {

class AlphabetEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    qor::init_alphabets();
    qor::init_alphabet_by_name("DNA", 0, "test");
    qor::alphabet = qor::alphabets[0];
  }
};

// A prepared model of length L with random costs: transitions in 0..max_cost (one in ten 80000),
// emissions in 0..max_cost for every letter index; node types drawn from {0, 'C', 'D', 'E'} when
// typed is set, labels 0..L+1.
inline qor::Model *random_model(std::mt19937 &rng, int L, int max_cost = 4000, bool typed = true) {
  qor::Model *m = qor::alloc_model(L);
  qor::alloc_mod_weight(m);
  std::uniform_int_distribution<int> cost(0, max_cost), tenth(0, 9), type(0, 7);
  const char types[8] = {0, 0, 0, 0, 0, 'C', 'D', 'E'};
  for (int k = 0; k <= L + 1; k++) {
    qor::ModWeight *w = m->weights[k];
    for (int x = 0; x < w->block_length; x++) w->block[x] = tenth(rng) == 0 ? 80000 : cost(rng);
    m->nodes[k]->type = typed ? types[type(rng)] : 0;
    m->nodes[k]->label = k;
  }
  return m;
}

// A converted sequence of n random letters 0..3.
inline qor::Sequence *random_sequence(std::mt19937 &rng, int n, const char *id = "seq") {
  qor::Sequence *s = qor::alloc_sequence(n, 1);
  if (n == 0) s->tracks[0].letters = static_cast<unsigned char *>(qor::mem_alloc(2));
  std::uniform_int_distribution<int> letter(0, 3);
  for (int j = 0; j < n; j++) s->tracks[0].letters[j] = static_cast<unsigned char>(letter(rng));
  s->converted = 1;
  s->id = strdup(id);
  return s;
}

// A sequence of the given letter indices.
inline qor::Sequence *sequence_of(const std::vector<int> &letters, const char *id = "seq") {
  int n = static_cast<int>(letters.size());
  qor::Sequence *s = qor::alloc_sequence(n, 1);
  if (n == 0) s->tracks[0].letters = static_cast<unsigned char *>(qor::mem_alloc(2));
  for (int j = 0; j < n; j++) s->tracks[0].letters[j] = static_cast<unsigned char>(letters[j]);
  s->converted = 1;
  s->id = strdup(id);
  return s;
}

inline std::string alignment_bytes(const qor::Sequence *s) {
  std::string out;
  if (s->alignment == nullptr) return "(null)";
  for (const unsigned char *p = s->alignment; *p; p++) out += std::to_string(*p) + " ";
  return out;
}

}  // namespace dptest

#endif
