// The alignment run of a sequence table: the DP engine set up once for the longest sequence, then
// one forward pass and traceback (or posterior-decoded alignment) per sequence.
//
// Sections: run settings | set-up | alignment of a table
#include "forward2/align_run.h"

#include <cstdio>

#include "forward2/forward2.h"
#include "models/model_prepare.h"

namespace qor {

// ---- Run settings -----------------------------------------------------------------------------
//
// The settings of the last set-up, kept for operations that rescore single sequences against the
// same run.

static Model **align_tmod = nullptr;
static const float *align_trcoeff = nullptr;
static int align_tracks = 0;
static int align_maxl = 0;
static int align_sw = 0;
static float align_jumpin = 1.0f;
static float align_jumpout = 1.0f;
static float align_dpstyle = 1.0f;
static int align_pseqmeth = 0;

// ---- Set-up -----------------------------------------------------------------------------------

// setup_alignment: the DP engine for an alignment run.
//   models, coefficients, ntracks: the prepared models of the tracks and their weights; maxlen: the
//   longest sequence to be aligned; sw: the local mode; jump_in_prob, jump_out_prob: the local-jump
//   probabilities; style: the DP style (1 Viterbi, 4 and 5 posterior-decoded; any other value
//   means 1); pseq_method: the scoring of probabilistic residues.
//   Records the settings, then sets the engine up with traceback storage and no output file.
//   Fatal: whatever the engine's set-up finds fatal (no model, a model of length 0, ...).
void setup_alignment(Model **models, const float *coefficients, int ntracks, int maxlen, int sw,
                     double jump_in_prob, double jump_out_prob, int style, int pseq_method) {
  if (style != 1 && style != 4 && style != 5) style = 1;
  align_tmod = models;
  align_trcoeff = coefficients;
  align_tracks = ntracks;
  align_maxl = maxlen;
  align_sw = sw;
  align_jumpin = static_cast<float>(jump_in_prob);
  align_jumpout = static_cast<float>(jump_out_prob);
  align_dpstyle = static_cast<float>(style);
  align_pseqmeth = pseq_method;
  init_forward2_tracks(models, coefficients, ntracks, maxlen, sw, jump_in_prob, jump_out_prob, style,
                       pseq_method, 2, nullptr);
}

// ---- Alignment of a table ---------------------------------------------------------------------

// align_sequences: aligns every sequence of a table to the models of the run.
//   models, coefficients, ntracks: as for setup_alignment; table: the sequences (each gets its
//   alignment string and its score); score_info: null, or the Score record whose adjust_score
//   selects the length adjustment of the null-model scores; sw, style, pseq_method, jump_in_prob,
//   jump_out_prob: as for setup_alignment; track: the track whose letters index expected counts
//   (none are counted here); keep_fim_delete: 0 to take the delete step through an appended end
//   FIM back out of each alignment, so that it covers the model as read.
//   Returns the mean null-model score with score_info, else 0.
//   Warning: an empty table ("Call to align_sequences with 0 sequences"); nothing is set up then.
double align_sequences(Model **models, const float *coefficients, int ntracks, SequenceTable *table,
                       const ScoreParams *score_info, int sw, int style, int pseq_method, double jump_in_prob,
                       double jump_out_prob, int track, int keep_fim_delete) {
  if (table == nullptr || table->count <= 0) {
    fprintf(stderr, "Warning:  Call to align_sequences with 0 sequences.\n");
    return 0.0;
  }
  int maxlen = 0;
  for (int i = 0; i < table->count; i++) {
    const Sequence *seq = table->items[i];
    if (seq != nullptr && seq->length > maxlen) maxlen = seq->length;
  }
  setup_alignment(models, coefficients, ntracks, maxlen, sw, jump_in_prob, jump_out_prob, style, pseq_method);

  double mean_null = 0.0;
  for (int i = 0; i < table->count; i++) {
    Sequence *seq = table->items[i];
    if (seq == nullptr) continue;
    seq->score = static_cast<float>(forback2(seq, nullptr, track));
    if (score_info != nullptr) {
      seq->null_score = static_cast<float>(
          null_mod_score(models, coefficients, ntracks, seq, seq->score, score_info->adjust_score));
      mean_null += seq->null_score / static_cast<double>(table->count);
    }
    if (!keep_fim_delete) remove_fim_delete_if_auto(seq);
  }
  return mean_null;
}

}  // namespace qor
