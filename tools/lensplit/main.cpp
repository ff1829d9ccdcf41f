// lensplit: splits a sequence database by length into <run>A.seq and <run>B.seq.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "init/init.h"
#include "seqfile/seqfile.h"
#include "sequence/sequence.h"
#include "util/util.h"

using namespace qor;

// One statistics line: count, shortest, mean and longest length and the standard deviation (mean
// and deviation truncated toward zero).
static void print_stats_line(const char *label, const SeqInfo *info) {
  printf("%s   N=%6d Length Min=%4d Ave=%4d Max=%4d SD=%3d\n", label, info->num_seqs, info->min_length,
         static_cast<int>(info->mean_length), info->max_length, static_cast<int>(info->sd_length));
}

// Closes an output file; a failed write (full disk, ...) is fatal.
static void close_output(FILE *file, const char *run_name, const char *suffix) {
  bool failed = ferror(file) != 0;
  if (fclose(file) != 0) failed = true;
  if (failed) error("(lensplit):  Could not write file %s%s", run_name, suffix);
}

static void usage() {
  fprintf(stderr, "   -max_seq_length <integer>   Required\n");
  fprintf(stderr, "   -db   sequencefile          Required\n");
  fprintf(stderr, "Where\n");
  fprintf(stderr, "    sequencefile is a sequence database\n");
  fprintf(stderr, "    max_seq_length <integer> specifies maximum length\n");
  fprintf(stderr, "    for <runname>A.seq; other sequences are put in \n");
  fprintf(stderr, "    <runname>B.seq.\n");
}

int main(int argc, char **argv) {
  char banner[2200];
  snprintf(banner, sizeof banner, "QOR: %s v%s %s compiled %s", argv[0], "3.5", "(July 15, 2005)",
           "07/19/05_11:12:48");
  static char run_name[RUN_NAME_BUFFER];
  basic_command_line(argv, argc, run_name, nullptr, 0, 0, banner, usage);

  if (!var_changed(&max_seq_length)) {
    fprintf(stderr, "Splitting sequence length must be specified.  Use -max_seq_length <int>\n");
    usage();
    exit(1);
  }
  if (dblistcount <= 0) {
    fprintf(stderr, "A sequence database file is required:\n");
    usage();
    exit(1);
  }

  SequenceTable *database =
      read_select_seqfile_list(&NscoreSeq, dblist, dblistcount, dbguide, dbguidelistcount, idlist,
                               idlistcount, notidlist, notidlistcount, stdout, stdout, 1);
  SequenceTable *short_seqs = alloc_sequence_table();
  SequenceTable *long_seqs = alloc_sequence_table();
  // One record serves the three lines, so a part of fewer than two sequences shows the standard
  // deviation of the line before it.
  SeqInfo info = {};
  seq_max_stats(database, &info, 1, 1);
  FILE *a_file = open_outputfile(run_name, "A.seq");
  FILE *b_file = open_outputfile(run_name, "B.seq");
  print_stats_line("Database:", &info);

  for (int i = 0; i < NscoreSeq; i++) {
    Sequence *seq = remove_seq_from_table(database, i);
    if (seq == nullptr) continue;
    add_seq_to_table(seq->length > max_seq_length ? long_seqs : short_seqs, seq);
  }

  std::string a_label = std::string(run_name) + "A.seq:";
  std::string b_label = std::string(run_name) + "B.seq:";
  seq_max_stats(short_seqs, &info, 1, 1);
  print_stats_line(a_label.c_str(), &info);
  seq_max_stats(long_seqs, &info, 1, 1);
  print_stats_line(b_label.c_str(), &info);
  fflush(stdout);

  print_sequence_table(a_file, short_seqs);
  print_sequence_table(b_file, long_seqs);
  free_sequence_table(database);
  free_sequence_table(short_seqs);
  free_sequence_table(long_seqs);
  close_output(a_file, run_name, "A.seq");
  close_output(b_file, run_name, "B.seq");
  return 0;
}
