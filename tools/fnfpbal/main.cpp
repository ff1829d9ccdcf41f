// fnfpbal: the error-rate balance (FN = FP) of two score distributions, written to <run>.dat.
#include <cstdio>

#include "init/init.h"
#include "util/util.h"

using namespace qor;

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
  fprintf(stderr, "fnfpbal: the balance computation is not available in this build yet\n");
  return 1;
}
