// The parameter listing: the .params file, the listing lines of the rows and list parameters.
//
// Sections: list parameters; the listing lines; the .params file.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "init/init.h"
#include "models/models.h"
#include "util/util.h"

namespace qor {

// ---- List parameters --------------------------------------------------------------------------

void list_strings(FILE *out, char **list, int count, const char *name, const char *prefix) {
  bool one_per_line = count < 0;
  int n = one_per_line ? -count : count;
  fprintf(out, "%s%s", prefix, name);
  size_t head = strlen(prefix) + strlen(name);
  size_t column = head;
  for (int k = 0; k < n; k++) {
    const char *value = list[k] != nullptr ? list[k] : "";
    size_t len = strlen(value);
    if (k > 0 && (one_per_line || column + len > 70)) {
      fprintf(out, "\n%s%s", prefix, name);
      column = head;
    }
    fprintf(out, " %s", value);
    column += 1 + len;
  }
  fprintf(out, "\n");
}

// ---- The listing lines ------------------------------------------------------------------------

static bool is_list_type(int type) {
  return (type >= VAR_INSERT && type <= VAR_INSERT_PROTEIN) || type == VAR_STRING_LIST ||
         type == VAR_FILE_LIST;
}

// Writes the REGULARIZER bundle into the listing. This is the one place where the model writer joins
// the listing; no bundle can be held before the model reader is joined, so reaching it is an
// internal error.
static void print_regularizer_bundle(FILE *out, RModel *bundle, int binary) {
  nice_print_rmodel(out, bundle, "REGULARIZER", "Initial regularizer", nullptr, binary);
}

void print_init(FILE *out, int all, int commented, int binary) {
  const char *line_prefix = commented ? "% " : "";
  for (OptionEntry *row = read_vars; row->type != VAR_END; row++)
    if (row->var == &initNmodels) {
      if (row->changed != 0) row->changed = 2;
      break;
    }
  for (OptionEntry *row = read_vars; row->type != VAR_END; row++) {
    if (!all && row->changed == 0) continue;
    if (row != read_vars && is_list_type(row[-1].type)) continue;  // the count row of a list
    const char *prefix = row->changed == 2 ? "% " : line_prefix;
    switch (row->type) {
      case VAR_INT:
        fprintf(out, "%s%s %d\n", prefix, row->name, *static_cast<int32_t *>(row->var));
        break;
      case VAR_DOUBLE:
        fprintf(out, "%s%s %lf\n", prefix, row->name, *static_cast<double *>(row->var));
        break;
      case VAR_STRING:
      case VAR_SEQFILE:
      case VAR_PRIORFILE:
      case VAR_ALPHABET: {
        const char *value = *static_cast<char **>(row->var);
        fprintf(out, "%s%s %s\n", prefix, row->name, value != nullptr ? value : "");
        break;
      }
      case VAR_INSERT:
      case VAR_INSERT_DNA:
      case VAR_INSERT_RNA:
      case VAR_INSERT_PROTEIN:
        // Always commented with "%", so that a listing read back never re-reads the inserted files.
        list_strings(out, *static_cast<char ***>(row->var), -*static_cast<int32_t *>(row[1].var), row->name,
                     "%");
        break;
      case VAR_STRING_LIST:
      case VAR_FILE_LIST: {
        const char *list_prefix = row->var == &Constr.constraints ? "% " : prefix;
        list_strings(out, *static_cast<char ***>(row->var), -*static_cast<int32_t *>(row[1].var), row->name,
                     list_prefix);
        break;
      }
      case VAR_MODEL: {
        RModel *bundle = *static_cast<RModel **>(row->var);
        if (row->var == &base_regularizer && !commented && bundle != nullptr)
          print_regularizer_bundle(out, bundle, binary);
        break;
      }
      default:
        fprintf(stderr, "Unkown type in init:print_init: %d name: %s\n", row->type, row->name);
    }
  }
}

// ---- The .params file -------------------------------------------------------------------------

void dump_params(const char *banner, const char *name) {
  const char *base = name != nullptr ? name : "default";
  if (verbout != nullptr) fprintf(verbout, "Dumping parameters to file %s.params\n", base);
  FILE *out = prepare_statfile(base, banner, ".params");
  stat_print_time(out);
  fprintf(out, "%% ---------------------------------------------------------------------\n");
  print_init(out, 1, 0, binary_output);
  bool failed = ferror(out) != 0;
  if (fclose(out) != 0) failed = true;
  if (failed) error("Could not write the parameter listing %s.params", base);
}

}  // namespace qor
