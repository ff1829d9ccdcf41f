// Parameter entries: parameter files, one entry applied to the table, lists, model blocks in
// parameter files, and the command-line options.
//
// Sections: shared helpers; model blocks; lists; one entry; parameter files; command-line options.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alphabet/alphabet.h"
#include "init/init.h"
#include "models/models.h"
#include "util/util.h"

namespace qor {

FILE *verbout = stderr;

// ---- Shared helpers ---------------------------------------------------------------------------

static bool is_white(char c) {
  return isspace(static_cast<unsigned char>(c)) != 0;
}

static bool is_list_type(int type) {
  return (type >= VAR_INSERT && type <= VAR_INSERT_PROTEIN) || type == VAR_STRING_LIST ||
         type == VAR_FILE_LIST;
}

// True for the VAR_INT row that holds the count of the list row before it.
static bool is_count_row(const OptionEntry *row) {
  return row != read_vars && is_list_type(row[-1].type);
}

static char *copy_text(const char *text) {
  size_t n = strlen(text);
  if (n > static_cast<size_t>(INT_MAX - 8)) error("out of memory allocating %zu bytes", n + 1);
  char *copy = static_cast<char *>(mem_alloc(static_cast<int>(n + 1)));
  memcpy(copy, text, n + 1);
  return copy;
}

// "%d" with the range checked: 1 and the value, or 0 when no integer starts the text or it does not
// fit 32 bits. Characters after the number are ignored.
static int parse_int(const char *text, int32_t *value) {
  errno = 0;
  char *end = nullptr;
  long v = strtol(text, &end, 10);
  if (end == text || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return 0;
  *value = static_cast<int32_t>(v);
  return 1;
}

// ---- Reading lines ----------------------------------------------------------------------------

// Reads one piece of a line: characters through the next newline, at most capacity - 1 of them,
// NUL-terminated (a NUL byte inside the line ends the text the callers see). Returns false at end of
// file before any character; *complete tells whether the piece ended with its newline.
static bool read_piece(FILE *file, char *buffer, int capacity, bool *complete) {
  int n = 0, c = 0;
  *complete = false;
  while (n < capacity - 1 && (c = getc(file)) != EOF) {
    buffer[n++] = static_cast<char>(c);
    if (c == '\n') {
      *complete = true;
      break;
    }
  }
  buffer[n] = '\0';
  return n > 0;
}

// The parameter file being read: whether the line just handed to process_init_entry is the first
// piece of a line longer than the buffer (its rest still unread). Set by read_init, cleared by the
// model-block skip once it has read past that line.
static bool *current_line_continues = nullptr;

// ---- Model blocks in parameter files ----------------------------------------------------------

// Reads and counts the lines of a model block after its header, through the line beginning with
// "ENDMODEL"; at end of file writes the message and returns.
static void skip_model_block(FILE *file, const char *source, int *line_number) {
  std::vector<char> buffer(INIT_LINE_BUFFER);
  bool at_line_start = current_line_continues == nullptr || !*current_line_continues;
  bool complete = false;
  bool in_endmodel = false;
  while (read_piece(file, buffer.data(), INIT_LINE_BUFFER, &complete)) {
    bool starts_line = at_line_start;
    at_line_start = complete;
    if (starts_line) {
      (*line_number)++;
      in_endmodel = strncmp(buffer.data(), "ENDMODEL", 8) == 0;
    }
    if (in_endmodel && complete) break;
  }
  if (current_line_continues != nullptr) *current_line_continues = false;
  if (!in_endmodel)
    fprintf(stderr, "%s: %s not found before end of file in model definition.\n", source, "ENDMODEL");
}

// A model block met in a parameter file (row index 0 to 3), after the command-line and the
// keep/kind checks: the model reader builds the bundle from the block, starting at this line.
static void load_model_block(FILE *file, const char *line, OptionEntry *row, int mode, const char *prefix,
                             const char *source, int *line_number) {
  if (verbout != nullptr) fprintf(verbout, "%s Reading %s\n", prefix, line);
  RModel **holder = static_cast<RModel **>(row->var);
  if (*holder != nullptr) {
    free_rmodel(holder);
    if (mode != MODE_SILENT && row->changed != 0)
      fprintf(stderr, "%s Note: Last %s specified will be used.\n", prefix, row->name);
  }
  row->changed = 1;
  std::vector<char> kind(strlen(line) + 1), text(strlen(line) + 1);
  *holder = read_rmodel(file, source, line_number, line, kind.data(), text.data(), 0);
  if (current_line_continues != nullptr) *current_line_continues = false;
}

static void apply_model_entry(FILE *file, const char *line, OptionEntry *row, int mode, const char *prefix,
                              const char *source, int *line_number, int model_kinds) {
  if (file == nullptr) {
    fprintf(stderr, "%s Cannot specify %s here.\n", prefix, row->name);
    return;
  }
  int kind_bit =
      1 << static_cast<int>(row - read_vars);  // MODEL 1, REGULARIZER 2, FREQUENCIES 4, NULLMODEL 8
  bool wanted = !(row->changed != 0 && mode == MODE_KEEP) && (model_kinds & kind_bit) != 0;
  if (!wanted) {
    if (verbout != nullptr) fprintf(verbout, "%s Skipping %s\n", prefix, line);
    skip_model_block(file, source, line_number);
    return;
  }
  load_model_block(file, line, row, mode, prefix, source, line_number);
}

// ---- Lists ------------------------------------------------------------------------------------

void add_to_string_list(OptionEntry *row, const char *value) {
  char ***list = static_cast<char ***>(row->var);
  int32_t *count = static_cast<int32_t *>(row[1].var);
  if (*count < 0 || *count > MAX_LIST_VALUES || (*count > 0 && *list == nullptr))
    error("init: the list %s holds an impossible count %d", row->name, *count);
  if (*count == 0) {
    free(*list);  // an emptied list (never for the parameter sources, which cannot set counts)
    *list = static_cast<char **>(mem_alloc(MAX_LIST_VALUES * static_cast<int>(sizeof(char *))));
  }
  if (*count == MAX_LIST_VALUES) {
    fprintf(stderr, "Only %d %s values can be specified.  Skipping %s.\n", MAX_LIST_VALUES, row->name, value);
    return;
  }
  (*list)[*count] = copy_text(value);
  (*count)++;
}

// ---- One entry --------------------------------------------------------------------------------

// The keep and warning rules of a scalar row: false when the old value is kept.
static bool replace_scalar(OptionEntry *row, int mode, const char *prefix, const char *value,
                           const char *warning) {
  if (row->changed != 0 && mode == MODE_KEEP) return false;
  if (row->changed != 0 && mode != MODE_SILENT) fprintf(stderr, warning, prefix, row->name, value);
  return true;
}

static void apply_value(OptionEntry *row, char *line, const char *value, int mode, const char *prefix,
                        int model_kinds) {
  switch (row->type) {
    case VAR_INT:
    case VAR_DOUBLE: {
      if (is_count_row(row))
        error("%s %s is the count of the list %s and cannot be set", prefix, row->name, row[-1].name);
      if (!replace_scalar(row, mode, prefix, value, "%s%s has already been set. Using %s.\n")) return;
      int ok;
      if (row->type == VAR_INT)
        ok = parse_int(value, static_cast<int32_t *>(row->var));
      else if (row->type == VAR_DOUBLE)
        ok = sscanf(value, "%lf", static_cast<double *>(row->var)) == 1;
      else
        error("Internal error: Unrecognized type before VAR_STRING in init");
      if (!ok) error("%s Incorrect type or missing value for %s\n", prefix, row->name);
      row->changed = 1;
      return;
    }
    case VAR_STRING:
    case VAR_SEQFILE:
    case VAR_PRIORFILE: {
      if (!replace_scalar(row, mode, prefix, value, "%s%s has already been set.  Using %s.\n")) return;
      row->changed = 1;
      char **var = static_cast<char **>(row->var);
      free(*var);
      *var = copy_text(value);
      return;
    }
    case VAR_INSERT:
    case VAR_INSERT_DNA:
    case VAR_INSERT_RNA:
    case VAR_INSERT_PROTEIN: {
      // A value the full list skips is not read either: "Skipping" means the file is left alone.
      bool full = *static_cast<int32_t *>(row[1].var) >= MAX_LIST_VALUES;
      add_to_string_list(row, value);
      row->changed = 1;
      if (full) return;
      int current_id = alphabet != nullptr ? alphabet->internal_id : 0;
      if (row->type == VAR_INSERT || row->type - VAR_INSERT == current_id) {
        std::string name = value;  // the entry's buffer may be reused while the file is read
        read_init(name.c_str(), mode, model_kinds);
      }
      return;
    }
    case VAR_ALPHABET:
      if (row->changed != 0 && mode == MODE_KEEP) return;
      process_alphabet(line, -1, prefix);
      row->changed = 1;
      return;
    case VAR_STRING_LIST:
    case VAR_FILE_LIST:
      row->changed = 1;
      add_to_string_list(row, value);
      return;
    default:
      error("Illegal code (%d) in processes_init_entry.\n", row->type);
  }
}

void process_init_entry(FILE *file, char *line, int mode, const char *source, int *line_number,
                        int model_kinds) {
  // Trim; skip empty entries and comments.
  char *start = line;
  while (*start != '\0' && is_white(*start)) start++;
  size_t len = strlen(start);
  while (len > 0 && is_white(start[len - 1])) start[--len] = '\0';
  if (len == 0 || start[0] == '%') return;

  int prefix_len = snprintf(nullptr, 0, "%s(%d): ", source, *line_number);
  std::vector<char> prefix_buffer(static_cast<size_t>(prefix_len) + 1);
  snprintf(prefix_buffer.data(), prefix_buffer.size(), "%s(%d): ", source, *line_number);
  const char *prefix = prefix_buffer.data();

  // The key is the first word; the value is the rest after the white space that follows it.
  size_t key_len = 0;
  while (key_len < len && !is_white(start[key_len])) key_len++;
  std::string key(start, key_len);
  const char *value = start + key_len;
  while (*value != '\0' && is_white(*value)) value++;

  for (OptionEntry *row = read_vars; row->type != VAR_END; row++) {
    if (row->var == &verbose && capscomp(key.c_str(), row->name) == 0) {
      if (!parse_int(value, &verbose))
        error("%s Incorrect type or missing value for %s\n", prefix, row->name);
      verbout = verbose != 0 ? stderr : nullptr;
      return;
    }
    if (row->type == VAR_MODEL) {
      if (strncmp(key.c_str(), row->name, strlen(row->name)) == 0) {
        apply_model_entry(file, start, row, mode, prefix, source, line_number, model_kinds);
        return;
      }
      continue;
    }
    if (capscomp(key.c_str(), row->name) != 0) continue;
    if (*value == '\0') {
      fprintf(stderr, "%s Value not specified for %s\n", prefix, key.c_str());
      return;
    }
    apply_value(row, start, value, mode, prefix, model_kinds);
    return;
  }
  fprintf(stderr, "%s Could not understand %s\n", prefix, start);
}

// ---- Parameter files --------------------------------------------------------------------------

// Parameter files being read, one inside the other through inserts.
static int insert_depth = 0;

// A line of a parameter file is considered when it begins with a letter, or with white space and is
// not just a newline.
static bool is_entry_line(const char *line) {
  unsigned char c = static_cast<unsigned char>(line[0]);
  if (isalpha(c)) return true;
  return isspace(c) && !(line[0] == '\n' && line[1] == '\0');
}

void read_init(const char *filename, int mode, int model_kinds) {
  if (filename == nullptr || filename[0] == '\0') return;
  if (insert_depth >= MAX_INSERT_DEPTH)
    error("Parameter file %s is inserted more than %d files deep (do the parameter files insert each other?)",
          filename, MAX_INSERT_DEPTH);
  FILE *file = open_read(filename, OPEN_REQUIRED | OPEN_SEEKABLE);
  if (verbout != nullptr) fprintf(verbout, "Reading parameter file %s\n", filename);
  insert_depth++;

  // A line longer than the buffer is read in pieces of INIT_LINE_BUFFER - 1 characters, each handed
  // on as a line of its own; the pieces keep the number of their line.
  std::vector<char> buffer(INIT_LINE_BUFFER);
  std::string name = filename;  // the caller's text may live in a buffer that entries overwrite
  int line_number = 0;
  bool at_line_start = true;
  bool complete = false;
  while (read_piece(file, buffer.data(), INIT_LINE_BUFFER, &complete)) {
    if (at_line_start) line_number++;
    at_line_start = complete;
    if (!is_entry_line(buffer.data())) continue;
    bool continues = !complete;
    bool *outer = current_line_continues;
    current_line_continues = &continues;
    process_init_entry(file, buffer.data(), mode, name.c_str(), &line_number, model_kinds);
    current_line_continues = outer;
    if (!continues) at_line_start = true;  // a model block was read past the rest of this line
  }
  insert_depth--;
  close_read(file);
}

// ---- Command-line options ---------------------------------------------------------------------

int process_args(int nwords, char **words, int model_kinds) {
  for (int k = 0; k < nwords; k += 2) {
    if (words[k][0] != '-') {
      fprintf(stderr, "Option %s is missing a leading hyphen\n", words[k]);
      return 0;
    }
    if (k == nwords - 1) {
      fprintf(stderr, "Option %s is missing its value\n", words[k]);
      return 0;
    }
    std::string entry = std::string(words[k] + 1) + " " + words[k + 1] + "\n";
    std::vector<char> line(entry.begin(), entry.end());
    line.push_back('\0');
    int number = k;
    process_init_entry(nullptr, line.data(), MODE_WARN, "Command line option", &number, model_kinds);
  }
  return 1;
}

}  // namespace qor
