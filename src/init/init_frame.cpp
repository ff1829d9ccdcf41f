// The program frame: the special first arguments, the run name, the command line, the one
// default-parameter file, the models named by parameters, the derived settings and the checks of
// the required models.
//
// Sections: the default-parameter file; models named by parameters; the base regularizer; the frame.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "alphabet/alphabet.h"
#include "init/init.h"
#include "models/models.h"
#include "util/util.h"

namespace qor {

// ---- The default-parameter file ---------------------------------------------------------------

// Writes the defaults note (when a buffer is given) or else the progress line.
static void note_defaults_file(char *defaults_note, const std::string &note, const std::string &progress) {
  if (defaults_note != nullptr) {
    if (note.size() >= static_cast<size_t>(DEFAULTS_NOTE_BUFFER))
      error("The name of the default-parameter file is too long for the defaults note (%zu characters)",
            note.size());
    memcpy(defaults_note, note.c_str(), note.size() + 1);
  } else if (verbout != nullptr) {
    fputs(progress.c_str(), verbout);
  }
}

static std::string format_text(const char *format, const char *value) {
  int n = snprintf(nullptr, 0, format, value);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  snprintf(&text[0], text.size(), format, value);
  text.resize(static_cast<size_t>(n));
  return text;
}

static bool plain_file_opens(const char *name) {
  FILE *f = fopen(name, "r");
  if (f == nullptr) return false;
  fclose(f);
  return true;
}

// The current directory as text; "." when it cannot be determined.
static std::string current_directory() {
  char *dir = getcwd(nullptr, 0);
  if (dir == nullptr) return ".";
  std::string text = dir;
  free(dir);
  return text;
}

// Reads the first default-parameter file that applies, in MODE_KEEP.
static void read_defaults_file(char *defaults_note, int model_kinds) {
  if (const char *qorrc = getenv("QORRC")) {
    note_defaults_file(defaults_note,
                       format_text("%%\n%%  Additional default parameters from QORRC =\n%%\t%s\n%%\n", qorrc),
                       format_text("Reading default parameters from QORRC=%s\n", qorrc));
    read_init(qorrc, MODE_KEEP, model_kinds);
    return;
  }
  if (plain_file_opens(".qorrc")) {
    std::string dir = current_directory();
    note_defaults_file(
        defaults_note,
        format_text("%%\n%%  Additional default parameters from\n%%\t%s/.qorrc\n%%\n", dir.c_str()),
        format_text("Reading default parameters from %s/.qorrc\n", dir.c_str()));
    read_init(".qorrc", MODE_KEEP, model_kinds);
    return;
  }
  if (const char *home = getenv("HOME")) {
    std::string path = std::string(home) + "/.qorrc";
    if (plain_file_opens(path.c_str())) {
      note_defaults_file(
          defaults_note,
          format_text("%%\n%%  Additional default parameters from\n%%\t%s\n%%\n", path.c_str()),
          format_text("Reading default parameters from %s\n", path.c_str()));
      read_init(path.c_str(), MODE_KEEP, model_kinds);
    }
  }
}

// ---- Models named by parameters ---------------------------------------------------------------

// The first models of the files named by model_file, regularizer_file and nullmodel_file become
// MODEL, REGULARIZER and NULLMODEL, replacing bundles from model blocks; a missing file is fatal.
static void load_models_named_by_parameters(int model_kinds) {
  const int fatal = 1;
  if (model_kinds & (WANT_MODEL | WANT_ANY_MODEL))
    read_first_rmodel(model_filename, "initial model", 0, &base_model, fatal);
  if (model_kinds & WANT_REGULARIZER)
    read_first_rmodel(regularizer_filename, "regularizer", 0, &base_regularizer, fatal);
  if (model_kinds & WANT_NULLMODEL) read_first_rmodel(nullmodel_filename, "null model", 0, &users_null, fatal);
}

// ---- The base regularizer ---------------------------------------------------------------------

RModel *make_base_regularizer(int track) {
  check_alphabet(nullptr);
  if (track < 0 || track >= MAX_TRACKS || alphabets[track] == nullptr)
    error("make_base_regularizer: track %d has no alphabet", track);
  Alphabet *previous = alphabet;
  alphabet = alphabets[track];
  RModel *bundle = alloc_rmodel(nullptr);
  bundle->length = -1;  // no numbered nodes
  bundle->neg_count = 0;
  alloc_rmodel(bundle);
  Node *node = alloc_node();
  for (int k = 0; k < 3; k++) {
    node->djump[k] = alphabet->transition_regularizer[k];
    node->mjump[k] = alphabet->transition_regularizer[3 + k];
    node->ijump[k] = alphabet->transition_regularizer[6 + k];
  }
  for (int i = 0; i < alphabet->flength; i++) {
    node->match[i] = alphabet->match_regularizer[i];
    node->insert[i] = alphabet->insert_regularizer[i];
  }
  bundle->generic = node;
  bundle->begin = nullptr;  // both shortcuts are empty: the bundle has no numbered nodes
  bundle->end = bundle->end_slots[0];
  alphabet = previous;
  return bundle;
}

void read_default_inits(int build_regularizer, char *defaults_note, int model_kinds) {
  if (defaults_note != nullptr) defaults_note[0] = '\0';
  read_defaults_file(defaults_note, model_kinds);
  load_models_named_by_parameters(model_kinds);
  if (build_regularizer && base_regularizer == nullptr) base_regularizer = make_base_regularizer(0);
  if (mainline_cutoff != 0.5) {
    cutmatch = mainline_cutoff;
    cutinsert = mainline_cutoff;
  }
  if (seed == -1) seed = static_cast<int32_t>(getpid());
  srandom(static_cast<unsigned>(seed));
  for (OptionEntry *row = read_vars; row->type != VAR_END; row++)
    if (row->var == &seed) {
      row->changed = 2;
      break;
    }
  if (trainseed == -1) {
    trainseed = static_cast<int32_t>(getpid());
    for (OptionEntry *row = read_vars; row->type != VAR_END; row++)
      if (row->var == &trainseed) {
        row->changed = 2;
        break;
      }
  }
}

// ---- The frame --------------------------------------------------------------------------------

static void usage_or_documentation(void (*usage)()) {
  if (usage != nullptr)
    usage();
  else
    fprintf(stderr, "Please see the QOR documentation for help.\n");
}

// The prior library follows the alphabet when the user named none.
static void choose_prior_library() {
  if (alphabet == nullptr || var_changed(&prior_filename) != 0) return;
  if (prior_filename != nullptr && prior_filename[0] != '\0') return;
  char **source = nullptr;
  if (alphabet->internal_id == 3 && protein_prior != nullptr)
    source = &protein_prior;
  else if ((alphabet->internal_id == 1 || alphabet->internal_id == 2) && nucleotide_prior != nullptr)
    source = &nucleotide_prior;
  if (source == nullptr) return;
  free(prior_filename);
  size_t n = strlen(*source);
  prior_filename = static_cast<char *>(mem_alloc(static_cast<int>(n + 1)));
  memcpy(prior_filename, *source, n + 1);
  if (var_changed(source) != 0) mark_var_changed(&prior_filename);
}

static void read_alphabet_backfiles() {
  for (int k = 0; k < alphbackfilecount; k++) {
    FILE *f = open_read(alphbackfile[k], OPEN_REQUIRED);
    process_alphabet_backfile(f, alphbackfile[k]);
    close_read(f);
  }
}

// The checks of the required models; false (after the lines of the first failing one) when a
// required model is missing.
static bool required_models_present(int required) {
  if ((required & WANT_ANY_MODEL) && !(base_model != nullptr || Score.query != nullptr ||
                                       trackmodfilenames != nullptr || modlibfilename != nullptr)) {
    fprintf(stderr, "This program requires a QOR model specified as either\n");
    fprintf(stderr, "-i file, which contains a %s, or\n", "MODEL");
    fprintf(stderr, "-model_file file, where file contains any model structure, or\n");
    fprintf(stderr, "-trackmod file1,file2,..., for a multitrack model, or\n");
    fprintf(stderr, "-query sequencefile   for a Smith and Waterman query model.\n");
    return false;
  }
  if ((required & WANT_MODEL) && base_model == nullptr) {
    fprintf(stderr, "This program requires a QOR model specified as either\n");
    fprintf(stderr, "-i file, while file contains a %s, or\n", "MODEL");
    fprintf(stderr, "-model_file file, where file contains any model structure, or\n");
    return false;
  }
  if ((required & WANT_REGULARIZER) && base_regularizer == nullptr) {
    fprintf(stderr, "This program requires a QOR regularizer specified as either\n");
    fprintf(stderr, "-i file, while file contains a %s, or\n", "REGULARIZER");
    fprintf(stderr, "-regularizer_file file, where file contains any model structure.\n");
    return false;
  }
  if ((required & WANT_NULLMODEL) && users_null == nullptr) {
    fprintf(stderr, "This program requires a QOR complex null model specified as either\n");
    fprintf(stderr, "-i file, while file contains a %s, or\n", "NULLMODEL");
    fprintf(stderr, "-nullmodel_file file, where file contains any model structure.\n");
    return false;
  }
  if (required & ~(1 | 2 | 4 | 8 | 0x10 | 0x40)) {
    fprintf(stderr, "init: basic_command_line called with illegal required model.\n");
    return false;
  }
  return true;
}

char *basic_command_line(char **argv, int argc, char *run_name, char *defaults_note, int model_kinds,
                         int required, const char *banner, void (*usage)()) {
  static bool called = false;
  verbout = stderr;
  if (called) error("basic_command_line called twice!");
  called = true;

  initialize_variables();
  init_alphabets();

  const char *program = argc >= 1 && argv[0] != nullptr ? argv[0] : "";
  if (argc <= 1) {
    fprintf(stderr, "%s\nUsage: %s run_name [-option value]*\n", banner, program);
    usage_or_documentation(usage);
    exit(1);
  }
  if (argc == 2 && strcmp(argv[1], "-v") == 0) {
    printf("%s\n", banner);
    exit(0);
  }
  if (argc == 2 && strcmp(argv[1], "-h") == 0) {
    printf("%s\n", banner);
    fflush(stdout);
    usage_or_documentation(usage);
  }
  if (argc == 3 && capscomp(argv[1], "-dump_parameters") == 0 && strcmp(argv[2], "2") == 0) {
    dump_params(banner, nullptr);
    exit(0);
  }

  size_t name_len = strlen(argv[1]);
  if (name_len >= static_cast<size_t>(RUN_NAME_BUFFER))
    error("The run name is %zu characters long; at most %d are allowed", name_len, RUN_NAME_BUFFER - 1);
  memcpy(run_name, argv[1], name_len + 1);

  if (!process_args(argc - 2, argv + 2, model_kinds)) {
    fprintf(stderr, "Usage: %s run_name [-option value]*\n", program);
    if (usage != nullptr) usage();
    exit(1);
  }
  if (verbout != nullptr) fprintf(verbout, "%s\n", banner);

  read_default_inits(required & WANT_REGULARIZER, defaults_note, model_kinds);
  choose_prior_library();
  read_alphabet_backfiles();
  bool models_present = required_models_present(required);

  if (alphabet != nullptr && alphabet->internal_id == CODON_ID) {
    fprintf(stderr, "Resetting parameters for experimental codon alphabet\n");
    fprintf(stderr, "Nmodels 1, seq_models = 0\n");
    fprintf(stderr, "Settings for evalues & null scores not yet studied.\n");
    fprintf(stderr, "Character regularizer for codons always\n");
    fprintf(stderr, "taken from the alphabet node.  Use -alphbackfile to set.\n");
    initNmodels = 1;
    seq_models = 0.0;
    mark_var_changed(&initNmodels);
    mark_var_changed(&seq_models);
  }

  if (!models_present) {
    if (usage != nullptr) usage();
    exit(1);
  }
  return run_name;
}

}  // namespace qor
