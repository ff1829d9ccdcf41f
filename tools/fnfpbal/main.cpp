// fnfpbal: the error-rate balance (FN = FP) of two score distributions, written to <run>.dat.
#include <cstdio>
#include <string>

#include "init/init.h"
#include "scores/scores.h"
#include "sequence/sequence.h"
#include "util/util.h"

using namespace qor;

// A score-file parameter that names a file.
static bool has_name(const char *name) {
  return name != nullptr && name[0] != '\0';
}

static void usage() {
  fprintf(stderr, " -distfile <runname>.dist    Score file to read (required).\n");
  fprintf(stderr, "[-distfile2 <runname>.dist]  Second (database) score file.\n\n");
  fprintf(stderr, "fnfpbal outputs a file runname.dat with this info:\n");
  fprintf(stderr, "1.  interpolated number of false negatives and false positives and\n");
  fprintf(stderr, "    sequence log-odds score at the two points which bracket the\n");
  fprintf(stderr, "2.   exact point where FN=FP\n2.  the integer value of the number of sequences ");
  fprintf(stderr, "where FN=FP\n3.  the number of FP where FN=0; the number of FN where FP=0\n");
  fprintf(stderr, "3.  The MER\n");
}

int main(int argc, char **argv) {
  char banner[2200];
  snprintf(banner, sizeof banner, "QOR: %s v%s %s compiled %s", argv[0], "3.5", "(July 15, 2005)",
           "07/19/05_11:12:36");
  static char run_name[RUN_NAME_BUFFER];
  basic_command_line(argv, argc, run_name, nullptr, 0, 0, banner, usage);

  // The members' scores (A) and the database's scores (B); an unset name gives an empty list.
  SequenceTable *members = has_name(NLLfilename) ? read_score_file(NLLfilename) : alloc_sequence_table();
  SequenceTable *database = has_name(NLLfilename2) ? read_score_file(NLLfilename2) : alloc_sequence_table();
  if (members->count == 0 || database->count == 0) error("Two valid score files are required.\n");

  // Z-scores, where both files carry them, are the scores; larger Z-scores are better.
  if (score_lists_use_zscores(members, NLLfilename, database, NLLfilename2)) {
    fprintf(stderr, "Both score files have Zscores, so using them.\n");
    copy_zscore_to_dist(members);
    copy_zscore_to_dist(database);
    negate_score_list(1, members);
    negate_score_list(1, database);
  }
  negate_score_list(plotnegate, members);
  negate_score_list(plotnegate, database);
  sort_score_list(members);
  sort_score_list(database);

  std::string dat_name = std::string(run_name) + ".dat";
  FILE *dat = open_outputfile(run_name, ".dat");
  FnFpCurve *curve = make_fnfp_curve(members, database);
  write_fnfp_balance(dat, dat_name.c_str(), curve);
  if (fclose(dat) != 0) error("Could not write %s", dat_name.c_str());

  free_fnfp_curve(curve);
  free_sequence_table(members);
  free_sequence_table(database);
  return 0;
}
