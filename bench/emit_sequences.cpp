// emit_sequences: writes sequences emitted from a model file, from a fixed seed, in FASTA form on
// the standard output -- the database of the end-to-end alignment benchmark.
//
//   emit_sequences model_file count seed [flank]
//
// Each sequence is one walk through the model from the begin state to the end state, taking every
// transition and every emitted letter with its (normalised) probability; flank residues (default 0)
// drawn from the begin node's insert distribution are put before and after it, standing for the
// unaligned ends of a real sequence. All letters are upper case. The generator is the 32-bit Mersenne
// Twister, whose output the language fixes, and letters are chosen by comparing its output with cumulative
// sums, so a seed gives the same file on every machine.
//
// Sections: drawing | walking the model | the program
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "alphabet/alphabet.h"
#include "init/init.h"
#include "models/model_prepare.h"
#include "models/models.h"
#include "sequence/sequence.h"
#include "util/util.h"

using namespace qor;

namespace {

// ---- Drawing ----------------------------------------------------------------------------------

// A uniform real in [0, 1).
double uniform(std::mt19937 &rng) {
  return rng() / 4294967296.0;
}

// An index 0..n-1 drawn with the weights w (not necessarily normalised); -1 when they sum to 0.
int draw(std::mt19937 &rng, const float *w, int n) {
  double total = 0;
  for (int i = 0; i < n; i++) total += w[i] > 0 ? w[i] : 0;
  if (total <= 0) return -1;
  double u = uniform(rng) * total, sum = 0;
  int last = -1;
  for (int i = 0; i < n; i++) {
    if (w[i] <= 0) continue;
    sum += w[i];
    last = i;
    if (u < sum) return i;
  }
  return last;  // rounding left u at the very top
}

// One letter from the emission table t.
char draw_letter(std::mt19937 &rng, const float *t) {
  int i = draw(rng, t, alphabet->length);
  if (i < 0) error("emit_sequences: an emission table of the model is empty");
  return alphabet_letter(alphabet, i);
}

// ---- Walking the model ------------------------------------------------------------------------

enum State { DELETE = 0, MATCH = 1, INSERT = 2 };

// One walk from the begin state (M_0) to the end (node L+1): from state s of node k the next state
// is D_{k+1}, M_{k+1} or I_k, with node k+1's djump[s], mjump[s] and node k's ijump[s].
std::string walk(std::mt19937 &rng, const Model *m) {
  std::string out;
  int L = m->length, k = 0;
  State s = MATCH;
  while (k <= L) {
    const float w[3] = {m->nodes[k + 1]->djump[s], m->nodes[k + 1]->mjump[s], m->nodes[k]->ijump[s]};
    int next = draw(rng, w, 3);
    if (next < 0) error("emit_sequences: node %d has no transition out of state %d", k, static_cast<int>(s));
    s = static_cast<State>(next);
    if (s == INSERT) {
      out += draw_letter(rng, m->nodes[k]->insert);
      continue;
    }
    k++;
    if (s == MATCH && k <= L) out += draw_letter(rng, m->nodes[k]->match);
  }
  return out;
}

}  // namespace

// ---- The program ------------------------------------------------------------------------------

int main(int argc, char **argv) {
  if (argc < 4 || argc > 5) {
    fprintf(stderr, "Usage: %s model_file count seed [flank]\n", argv[0]);
    return 1;
  }
  int count = atoi(argv[2]);
  unsigned long seed = strtoul(argv[3], nullptr, 10);
  int flank = argc == 5 ? atoi(argv[4]) : 0;
  if (count < 0 || flank < 0) error("emit_sequences: count and flank must not be negative");

  initialize_variables();
  init_alphabets();
  RModel *rmodel = nullptr;
  if (read_first_rmodel(argv[1], "model", 0, &rmodel, 1) != 1 || rmodel == nullptr)
    error("emit_sequences: no model in %s", argv[1]);
  Model *model = destruct_rmodel2model(&rmodel);
  normalize_model(model);

  std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
  const float *background = model->nodes[0]->insert;
  for (int n = 1; n <= count; n++) {
    std::string seq;
    for (int i = 0; i < flank; i++) seq += draw_letter(rng, background);
    seq += walk(rng, model);
    for (int i = 0; i < flank; i++) seq += draw_letter(rng, background);
    printf(">emit%05d %zu residues\n", n, seq.size());
    for (size_t p = 0; p < seq.size(); p += 60) printf("%s\n", seq.substr(p, 60).c_str());
  }
  free_model(model);
  if (fflush(stdout) != 0 || ferror(stdout)) error("emit_sequences: could not write the sequences");
  return 0;
}
