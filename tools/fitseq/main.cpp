// fitseq: aligns the sequences of one or more databases to a profile model and writes <run>.a2m.
#include <cstdio>

#include "init/init.h"
#include "util/util.h"

using namespace qor;

static void usage() {
  fprintf(stderr, "    -modelfile model_file             required\n");
  fprintf(stderr, "    -db seq_file [-db seq_filen]*     one or more sequence files\n");
  fprintf(stderr, "    [-id seqid]*                      one or more sequence IDs\n");
  fprintf(stderr, "    [-pptrim <value>]*                create .ta2m trimmed alignment\n");
  fprintf(stderr, "See documentation for additional options.\n");
}

int main(int argc, char **argv) {
  char banner[200];
  snprintf(banner, sizeof banner, "QOR: %s v%s %s compiled %s", "fitseq", "3.5", "(July 15, 2005)",
           "07/19/05_11:12:14");
  static char run_name[RUN_NAME_BUFFER];
  basic_command_line(argv, argc, run_name, nullptr, WANT_MODEL, WANT_ANY_MODEL, banner, usage);
  // The alignment run joins here once the model preparation and the DP engine are built.
  fprintf(stderr, "fitseq: the alignment run is not available in this build yet\n");
  return 1;
}
