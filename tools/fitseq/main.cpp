// fitseq: aligns the sequences of one or more databases to a profile model and writes <run>.a2m.
//
// The run, in order: parameters and the output file; the models of all tracks; the constraint
// table; the sequences and their constraints; the alignment of every sequence; the A2M alignment;
// the posterior-trimmed alignments; the alignments saved as constraints; release of everything.
#include <cstdio>
#include <cstdlib>

#include "constraints/constraints.h"
#include "forward2/align_run.h"
#include "forward2/forward2.h"
#include "init/init.h"
#include "models/model_prepare.h"
#include "models/models.h"
#include "seqfile/seqfile.h"
#include "sequence/sequence.h"
#include "util/util.h"

using namespace qor;

static void usage() {
  fprintf(stderr, "    -modelfile model_file             required\n");
  fprintf(stderr, "    -db seq_file [-db seq_filen]*     one or more sequence files\n");
  fprintf(stderr, "    [-id seqid]*                      one or more sequence IDs\n");
  fprintf(stderr, "    [-pptrim <value>]*                create .ta2m trimmed alignment\n");
  fprintf(stderr, "See documentation for additional options.\n");
}

// The model file named in the load report: model_file, else the first file of the insert list.
static const char *model_display_name() {
  if (model_filename != nullptr && model_filename[0] != '\0') return model_filename;
  if (insert_listcount > 0 && insert_filename != nullptr && insert_filename[0] != nullptr)
    return insert_filename[0];
  return nullptr;
}

// Closes an output file; a failed write (full disk, ...) is fatal.
static void close_output(FILE *file, const char *run_name, const char *suffix) {
  bool failed = ferror(file) != 0;
  if (fclose(file) != 0) failed = true;
  if (failed) error("(fitseq):  Could not write file %s%s", run_name, suffix);
}

int main(int argc, char **argv) {
  // 1. Parameters and run name.
  char banner[200];
  snprintf(banner, sizeof banner, "QOR: %s v%s %s compiled %s", "fitseq", "3.5", "(July 15, 2005)",
           "07/19/05_11:12:14");
  static char run_name[RUN_NAME_BUFFER];
  basic_command_line(argv, argc, run_name, nullptr, WANT_MODEL, WANT_ANY_MODEL, banner, usage);

  // 2. The alignment file, open until the end of the run.
  FILE *a2m_file = open_outputfile(run_name, ".a2m");

  // 3. The models of all tracks, prepared for the local mode (fatal on any failure).
  Model **models = nullptr;
  float *coefficients = nullptr;
  int ntracks = read_and_process_track_models(&base_model, model_display_name(), &models, &coefficients,
                                              trackmodfilenames, trackmodcoeff, auto_add_fims, SW_score,
                                              &Score, stdout, 1, 1);

  // 4. Constraint table: read the constraint files (constraints, constraints_count); none without
  //    files. Ranges without a model label are refused.
  ConstraintTable *constraints_in = read_constraints_table(Constr.constraints, Constr.constraints_count, 0);

  // 5. The sequences, read from the databases and selected by id.
  SequenceTable *sequences =
      read_select_seqfile_list(&NscoreSeq, dblist, dblistcount, dbguide, dbguidelistcount, idlist,
                               idlistcount, notidlist, notidlistcount, stderr, nullptr, 0);

  // 6. Constraints attached to the sequences, one per residue.
  apply_seqs_constraints(constraints_in, sequences);

  // 7. The alignment of every sequence (styles other than 1, 4 and 5 align as 1).
  align_sequences(models, coefficients, ntracks, sequences, nullptr, SW_score, Score.adpstyle, probseqmethod,
                  jump_in_prob, jump_out_prob, 0, 0);

  // 8. The alignment as A2M.
  print_seqalignment(a2m_file, sequences, a2mdots, 0);

  // 9. [posterior trimming] With pptrim non-zero (a value that is not a number counts as non-zero):
  //    the posterior of each residue along its alignment, <run>.pa2m and <run>.ta2m.
  //    The engine is set up again for the longest sequence with style 100 (free-insertion modules
  //    added, or a query-sequence model) or 6: the posterior of the existing path, left in `path`.
  if (pptrim != 0.0) {
    SeqInfo stats{};
    seq_max_stats(sequences, &stats, 1, 1);
    free_forward2();
    int path_style = fims_added() ? 100 : 6;
    init_forward2_tracks(models, coefficients, ntracks, stats.max_length, SW_score, jump_in_prob,
                         jump_out_prob, path_style, probseqmethod, 2, nullptr);
    for (int i = 0; i < sequences->count; i++)
      if (sequences->items[i] != nullptr) forback2(sequences->items[i], nullptr, 0);
    FILE *pa2m_file = open_outputfile(run_name, ".pa2m");
    print_seqpathalignment(pa2m_file, sequences, a2mdots, 0, ppscale);
    close_output(pa2m_file, run_name, ".pa2m");
    FILE *ta2m_file = open_outputfile(run_name, ".ta2m");
    print_trimalignment(ta2m_file, sequences, a2mdots, 0, pptrim);
    close_output(ta2m_file, run_name, ".ta2m");
  }

  // 10. The alignments of the constrained sequences saved as a constraint file (constraints_out).
  ConstraintTable *constraints_saved = nullptr;
  if (Constr.constraints_out != nullptr) {
    constraints_saved = create_constraint_table();
    save_align_constraints(constraints_saved, sequences);
    write_constraints_table(constraints_saved, Constr.constraints_out);
  }

  // 11. Release, in order: the DP engine, the output and input constraint tables, the sequences,
  //     the model bundles, the track models and coefficients.
  free_forward2();
  free_constraint_table(constraints_saved);
  free_constraint_table(constraints_in);
  free_sequence_table(sequences);
  free_rmodel(&base_model);
  free_rmodel(&base_regularizer);
  free_rmodel(&base_frequencies);
  free_rmodel(&users_null);
  free_track_models(&models, &coefficients, ntracks);
  close_output(a2m_file, run_name, ".a2m");
  return 0;
}
