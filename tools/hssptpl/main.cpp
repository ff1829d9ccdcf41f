// hssptpl: reads an HSSP file and writes the structure template <run>.tplate.
#include <cstdio>
#include <cstdlib>

#include "hssp/hssp.h"
#include "init/init.h"
#include "util/util.h"

using namespace qor;

static void usage() {
  fprintf(stderr, "-alignfile filename: Aligned sequences to read.\n");
  fprintf(stderr, "Other options are available -- see documentation.\n\n");
}

int main(int argc, char **argv) {
  char banner[2200];
  snprintf(banner, sizeof banner, "QOR: %s v%s %s compiled %s", argv[0], "3.5", "(July 15, 2005)",
           "07/19/05_11:12:40");
  static char run_name[RUN_NAME_BUFFER];
  static char defaults_note[RUN_NAME_BUFFER + 1100];
  basic_command_line(argv, argc, run_name, defaults_note, 0, 0, banner, usage);
  if (alignfile == nullptr || alignfile[0] == '\0') {
    usage();
    return 1;
  }
  if (isHSSP(alignfile)) {
    FILE *stream = open_read(alignfile, OPEN_REQUIRED);
    int32_t nalign = 0;
    char **seqs = read_HSSP_named(stream, &nalign, 1, run_name, alignfile);
    close_read(stream);
    for (int32_t k = 0; k < nalign; k++) free(seqs[k]);
    free(seqs);
  } else {
    // A file that cannot be read at all is an error, not a file of another format.
    close_read(open_read(alignfile, OPEN_REQUIRED));
    fprintf(stderr, "The alignment file %s is not an HSSP file.\n\n", alignfile);
  }
  return 0;
}
