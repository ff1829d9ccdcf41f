// lensplit: splits a sequence database by length into <run>A.seq and <run>B.seq.
#include <cstdio>

#include "init/init.h"
#include "util/util.h"

using namespace qor;

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
  // The split joins here once databases are read.
  fprintf(stderr, "lensplit: the length split is not available in this build yet\n");
  return 1;
}
