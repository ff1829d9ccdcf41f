// Loading the models of a run: one prepared model per sequence track, from the model parameter,
// from per-track model files or from a query sequence; the track coefficients; the query model.
//
// Sections: query-sequence model | track models
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "init/init.h"
#include "models/model_prepare.h"
#include "seqfile/seqfile.h"
#include "util/util.h"

namespace qor {

// ---- Query-sequence model ---------------------------------------------------------------------

// sw_model: the query-sequence model of score->query.
//   Sets the FIMs-added flag; reads the query's first sequence; the model has length 0,
//   is_seqmodel 1, the query, the matrix named by score->matrix and gap costs score->gap and
//   score->continue_. Writes the query's name (and annotation), the matrix file and the gap costs
//   to log (when given). In score: is_query_model 1, model_length the query length, and the
//   null-score thresholds the user set are negated.
//   Fatal: no sequence in the file; no matrix named.
Model *sw_model(ScoreParams *score, FILE *log) {
  set_fims_added();
  const char *query = score->query != nullptr ? score->query : "";
  SequenceTable *table = alloc_sequence_table();
  int count = query[0] != '\0' ? read_sequences(query, nullptr, 1, table, 1) : 0;
  if (count != 1) error("Query sequence not found in file %s", query);

  Model *model = alloc_model(0);
  model->is_seqmodel = 1;
  model->query = remove_seq_from_table(table, 0);
  free_sequence_table(table);
  const Sequence *seq = model->query;
  if (log != nullptr) {
    fprintf(log, "%% Smith & Waterman Query Sequence:  %s\n", seq->id != nullptr ? seq->id : "");
    if (seq->annotation != nullptr) fprintf(log, "%% Query Annotation:  %50s\n", seq->annotation);
  }

  model->matrix = read_matrix(score->matrix, nullptr, nullptr, log);
  if (model->matrix == nullptr)
    error("A query-sequence model needs a substitution matrix: the parameter matrix is empty");
  model->gap_cost = score->gap;
  model->continue_cost = score->continue_;
  if (log != nullptr)
    fprintf(log, "%% Gap cost %d    Continue cost %d\n", model->gap_cost, model->continue_cost);

  score->is_query_model = 1;
  score->model_length = seq->length;
  // The thresholds the user set are negated (their changed flags live with the Score record).
  if (var_changed(&Score.NLLnull)) score->NLLnull = -score->NLLnull;
  if (var_changed(&Score.mdNLLnull)) score->mdNLLnull = -score->mdNLLnull;
  if (var_changed(&Score.NLLcomplex)) score->NLLcomplex = -score->NLLcomplex;
  if (var_changed(&Score.mdNLLcomplex)) score->mdNLLcomplex = -score->mdNLLcomplex;
  return model;
}

// ---- Track models -----------------------------------------------------------------------------

// Converts a trackcoeff entry as a decimal real. Fatal: text that is not a number.
static float track_coefficient(const char *text, int track) {
  char *end = nullptr;
  errno = 0;
  double value = strtod(text, &end);
  if (end == text || *end != '\0' || errno == ERANGE)
    error("Track %d coefficient \"%s\" (-trackcoeff) is not a number", track, text);
  return static_cast<float>(value);
}

// Releases models[0..last] and nulls their entries.
static void release_models(Model **models, int last) {
  for (int k = 0; k <= last; k++) {
    free_model(models[k]);
    models[k] = nullptr;
  }
}

// read_and_process_track_models: the models of a run, one per track.
//   Sources, of which at most one may be given: the bundle *base_holder (consumed; track 0), the
//   query sequence score->query (sw_model), or the trackmod list of model files (one per track,
//   each read with its track's alphabet current, with coefficients from trackcoeff). Every model is
//   prepared with process_rmodel. *models gets one entry per track (null beyond the loaded ones),
//   *coefficients one weight per track (1.0 unless trackcoeff says otherwise). log null: stdout.
//   Returns the number of models: 1 for the model parameter or the query, the number of trackmod
//   names otherwise; 0 after a failure that flags bit 1 does not make fatal (no model is kept).
//   Fatal: track counts that do not match (flags bit 1), two sources, a trackmod entry without a
//   model, track models of different lengths (flags bit 1), no source at all (flags bit 1).
int read_and_process_track_models(RModel **base_holder, const char *display_name, Model ***models,
                                  float **coefficients, const char *trackmod, const char *trackcoeff,
                                  int add_fims, int local_mode, ScoreParams *score, FILE *log,
                                  int require_all_tracks, int flags) {
  if (log == nullptr) log = stdout;
  NameList *names = parse_name_list(trackmod);
  NameList *coeffs = parse_name_list(trackcoeff);
  int m = names->count, c = coeffs->count, a = num_alphabets;

  if ((c > 0 && m != c) || (m > 0 && require_all_tracks && m != a) || m > a) {
    fprintf(stderr, "Track models require matching numbers of alphabet definitions\n");
    fprintf(stderr, "  track model filenames, and track coefficients.  Instead, there\n");
    fprintf(stderr, "  are %d models (-trackmod), %d coefficients (-trackcoeff), and\n", m, c);
    fprintf(stderr, "  %d alphabets (-a).  Use comma-separated lists with these options.\n", a);
    free(names);
    free(coeffs);
    if (flags & 1) error("Tracks must correspond to alphabets.\n");
    return 0;
  }

  int has_base = base_holder != nullptr && *base_holder != nullptr;
  int has_query = score != nullptr && score->query != nullptr && score->query[0] != '\0';
  if (has_base + has_query + (m > 0) > 1)
    error("Only one of -modelfile (or -i models), -query sequences,\nand -trackmod may be specified.\n");

  // One entry per track; at least one, since a query model may be built before any alphabet is set.
  int entries = a > 0 ? a : 1;
  *models = static_cast<Model **>(mem_alloc(entries * static_cast<int>(sizeof(Model *))));
  *coefficients = static_cast<float *>(mem_alloc(entries * static_cast<int>(sizeof(float))));
  for (int t = 0; t < entries; t++) (*coefficients)[t] = 1.0f;

  int loaded = 0;
  if (has_query) {
    (*models)[0] = sw_model(score, log);
    loaded = 1;
  } else if (has_base) {
    (*models)[0] = process_rmodel(base_holder, add_fims, local_mode, score, 0, log);
    if (display_name != nullptr) fprintf(log, "%% Single Track Model:  %s\n", display_name);
    loaded = 1;
  } else if (m > 0) {
    for (int i = 0; i < m; i++) {
      if (alphabets[i] == nullptr) error("Track %d has no alphabet for its model (-trackmod)\n", i);
      alphabet = alphabets[i];
      char description[64];
      snprintf(description, sizeof description, "track %d model", i);
      RModel *rm = nullptr;
      int result = read_first_rmodel(names->names[i], description, i, &rm, flags);
      if (result == -1) {
        release_models(*models, i - 1);
        alphabet = alphabets[0];
        free(names);
        free(coeffs);
        return 0;
      }
      if (result != 1 || rm == nullptr)
        error("Track %d model file %s gave no model (-trackmod)\n", i, names->names[i]);
      (*models)[i] = process_rmodel(&rm, add_fims, local_mode, score, i, log);

      float coefficient = c > 0 ? track_coefficient(coeffs->names[i], i) : 1.0f;
      if (coefficient < 0.0f) {
        fprintf(stderr, "Track %d coef < 0 (%5.3f).  Resetting to 1.0.\n", i, coefficient);
        fprintf(log, "%% Track %d coef < 0 (%5.3f).  Resetting to 1.0.\n", i, coefficient);
        coefficient = 1.0f;
      }
      (*coefficients)[i] = coefficient;
      fprintf(log, "%% Track %d Coeff %5.3f File %s\n", i, coefficient, names->names[i]);

      if (i > 0 && (*models)[i]->length != (*models)[i - 1]->length) {
        fprintf(stderr, "Track model %d has length %d, while TM %d has length %d\n", i - 1,
                (*models)[i - 1]->length, i, (*models)[i]->length);
        if (flags & 1) error("All track models must have same length.");
        release_models(*models, i);
        alphabet = alphabets[0];
        free(names);
        free(coeffs);
        return 0;
      }
    }
    loaded = m;
  } else if (flags & 1) {
    error("No model given: use -model_file (or -i models), -query or -trackmod.\n");
  }

  if (a > 0) alphabet = alphabets[0];
  free(names);
  free(coeffs);
  return loaded;
}

// free_track_models: releases models[0..count-1] and both arrays, and nulls both holders.
void free_track_models(Model ***models, float **coefficients, int count) {
  if (models != nullptr && *models != nullptr) {
    release_models(*models, count - 1);
    free(*models);
    *models = nullptr;
  }
  if (coefficients != nullptr) {
    free(*coefficients);
    *coefficients = nullptr;
  }
}

}  // namespace qor
