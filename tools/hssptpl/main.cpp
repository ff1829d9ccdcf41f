// hssptpl: reads an HSSP file and writes the structure template <run>.tplate.
#include <cstdio>

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
  static char defaults_note[DEFAULTS_NOTE_BUFFER];
  basic_command_line(argv, argc, run_name, defaults_note, 0, 0, banner, usage);
  // The HSSP reader and template writer join here.
  fprintf(stderr, "hssptpl: the template writer is not available in this build yet\n");
  return 1;
}
