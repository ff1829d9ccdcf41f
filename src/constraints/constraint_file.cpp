// Constraint files and tables: the hash table of constraint ranges by sequence identifier, the
// constraint-file reader (line reader, section rule, definitions) and the writer.
//
// Sections: table | line reader | constraint lines | reading files | writing
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "constraints/constraints.h"
#include "util/util.h"

namespace qor {

// ---- Table ------------------------------------------------------------------------------------

static int bucket_of(const char *seq_id) {
  return hash_string(seq_id) & (CONSTRAINT_BUCKETS - 1);
}

// create_constraint_table: an empty table with no entries, max_node_label -1, has_unlabeled 0.
ConstraintTable *create_constraint_table() {
  ConstraintTable *table = static_cast<ConstraintTable *>(mem_alloc(sizeof(ConstraintTable)));
  table->count = 0;
  table->max_node_label = -1;
  table->has_unlabeled = 0;
  return table;
}

// free_constraint_table: releases every entry of every chain, their ranges and the table.
// A null table does nothing.
void free_constraint_table(ConstraintTable *table) {
  if (table == nullptr) return;
  for (int b = 0; b < CONSTRAINT_BUCKETS; b++) {
    ConstraintSeq *entry = table->buckets[b];
    while (entry != nullptr) {
      ConstraintSeq *next_entry = entry->next;
      ConstraintRange *range = entry->first;
      while (range != nullptr) {
        ConstraintRange *next_range = range->next;
        free(range);
        range = next_range;
      }
      free(entry);
      entry = next_entry;
    }
    table->buckets[b] = nullptr;
  }
  free(table);
}

// find_seq_constraints: the entry whose identifier equals seq_id byte for byte, or null (also for a
// null table or identifier).
ConstraintSeq *find_seq_constraints(const ConstraintTable *table, const char *seq_id) {
  if (table == nullptr || seq_id == nullptr) return nullptr;
  for (ConstraintSeq *entry = table->buckets[bucket_of(seq_id)]; entry != nullptr; entry = entry->next)
    if (strcmp(entry->seq_id, seq_id) == 0) return entry;
  return nullptr;
}

// add_seq_constraint: a new empty entry (max_pos 0, no ranges) whose identifier is copied into the
// entry's own allocation, put at the head of its chain; count grows by one. Does not look for an
// entry that already exists.
ConstraintSeq *add_seq_constraint(ConstraintTable *table, const char *seq_id) {
  if (table == nullptr || seq_id == nullptr) error("add_seq_constraint: null table or sequence id");
  size_t id_length = strlen(seq_id);
  if (id_length > static_cast<size_t>(INT_MAX) - sizeof(ConstraintSeq) - 1)
    error("add_seq_constraint: sequence id of %zu characters is too long", id_length);
  ConstraintSeq *entry =
      static_cast<ConstraintSeq *>(mem_alloc(static_cast<int>(sizeof(ConstraintSeq) + id_length + 1)));
  entry->seq_id = reinterpret_cast<char *>(entry + 1);
  memcpy(entry->seq_id, seq_id, id_length + 1);
  entry->max_pos = 0;
  entry->first = entry->last = nullptr;
  int b = bucket_of(seq_id);
  entry->next = table->buckets[b];
  table->buckets[b] = entry;
  table->count++;
  return entry;
}

// add_constraint_to_table: appends the range (start, label, length, three costs) to the entry of
// seq_id, creating the entry when there is none; updates the entry's max_pos and the table's
// has_unlabeled (label -3) or max_node_label. Fatal when the range is empty, starts before 1, has a
// negative label other than -3, or its last position or last label exceeds the 32-bit range.
void add_constraint_to_table(ConstraintTable *table, const char *seq_id, int32_t start, int32_t label,
                             int32_t length, int32_t satisfied_cost, int32_t unsatisfied_cost,
                             int32_t unconstrained_cost) {
  if (table == nullptr || seq_id == nullptr) error("add_constraint_to_table: null table or sequence id");
  int64_t last_pos = static_cast<int64_t>(start) + length - 1;
  int64_t last_label = static_cast<int64_t>(label) + length - 1;
  if (start < 1 || length < 1 || last_pos > INT32_MAX || (label != CONSTRAINT_NO_LABEL && label < 0) ||
      last_label > INT32_MAX)
    error("add_constraint_to_table: invalid range (start %d, length %d, label %d) for %s", start, length,
          label, seq_id);
  ConstraintSeq *entry = find_seq_constraints(table, seq_id);
  if (entry == nullptr) entry = add_seq_constraint(table, seq_id);
  ConstraintRange *range = static_cast<ConstraintRange *>(mem_alloc(sizeof(ConstraintRange)));
  range->start = start;
  range->label = label;
  range->length = length;
  range->satisfied_cost = satisfied_cost;
  range->unsatisfied_cost = unsatisfied_cost;
  range->unconstrained_cost = unconstrained_cost;
  range->next = nullptr;
  if (entry->last == nullptr)
    entry->first = range;
  else
    entry->last->next = range;
  entry->last = range;
  if (last_pos > entry->max_pos) entry->max_pos = static_cast<int32_t>(last_pos);
  if (label == CONSTRAINT_NO_LABEL)
    table->has_unlabeled = 1;
  else if (last_label > table->max_node_label)
    table->max_node_label = static_cast<int32_t>(last_label);
}

// ---- Line reader ------------------------------------------------------------------------------

namespace {

// A growable line: starts at 256 bytes and doubles when full.
struct LineBuffer {
  char *text;
  int capacity;
  int length;
};

}  // namespace

constexpr int LINE_BUFFER_INITIAL = 256;

// Reads the characters up to a newline or the end of the file into line (without the newline,
// 0-terminated). Returns false at the end of the file when no character was read for the line, so a
// last line without a newline is still returned. A read error is fatal "file read failed".
static bool read_constraint_line(FILE *in, const char *filename, long line_number, LineBuffer *line) {
  line->length = 0;
  int c;
  while ((c = getc(in)) != EOF && c != '\n') {
    if (line->length + 1 >= line->capacity) {
      if (line->capacity > INT_MAX / 2 - 4)
        error("%s:%ld: line longer than %d characters", filename, line_number, INT_MAX / 2 - 4);
      line->capacity *= 2;
      line->text = static_cast<char *>(mem_realloc(line->text, line->capacity));
    }
    line->text[line->length++] = static_cast<char>(c);
  }
  if (c == EOF && ferror(in)) error("file read failed: %s: %s", filename, strerror(errno));
  line->text[line->length] = '\0';
  return c != EOF || line->length > 0;
}

// ---- Constraint lines -------------------------------------------------------------------------

namespace {

// Where the definitions of one constraint line are read, for the fatal messages.
struct DefinitionContext {
  const char *filename;
  long line_number;
  const char *line;  // the whole (trimmed) line
};

}  // namespace

static const char *const SECTION_LINE = "constraints:";
// The costs of every range read from a file: probability 1.0 when satisfied, impossible otherwise.
constexpr int32_t FILE_SATISFIED_COST = 0;
constexpr int32_t FILE_UNSATISFIED_COST = 80000;
constexpr int32_t FILE_UNCONSTRAINED_COST = 80000;

[[noreturn]] static void bad_definition(const DefinitionContext &where, const char *reason) {
  error("%s: %ld: invalid constraint defintion: %s\n%s", where.filename, where.line_number, reason,
        where.line);
}

// The number reader: collects the non-blank characters from *p up to one of the stop characters or
// the end of the line, steps over the stop character, and converts the text with automatic base.
// *stop receives the stop character met (0 at the end of the line). Returns false for empty text;
// fatal for text longer than CONSTRAINT_MAX_NUMBER characters, characters left after the number,
// and numbers that are negative or beyond the 32-bit range.
static bool read_definition_number(const char **p, const char *stops, const DefinitionContext &where,
                                   int64_t *value, char *stop) {
  char text[CONSTRAINT_MAX_NUMBER + 1];
  int length = 0;
  const char *s = *p;
  *stop = 0;
  for (; *s != '\0'; s++) {
    if (strchr(stops, *s) != nullptr) {
      *stop = *s++;
      break;
    }
    if (isspace(static_cast<unsigned char>(*s))) continue;
    if (length == CONSTRAINT_MAX_NUMBER) bad_definition(where, "garbage entry");
    text[length++] = *s;
  }
  *p = s;
  if (length == 0) return false;
  text[length] = '\0';
  char *end;
  errno = 0;
  long long v = strtoll(text, &end, 0);
  if (*end != '\0') bad_definition(where, "invalid number");
  if (v < 0 || errno == ERANGE || v > INT32_MAX) bad_definition(where, "number out of range");
  *value = v;
  return true;
}

// Reads the definitions after the identifier of a constraint line and adds their ranges to table.
static void parse_definitions(ConstraintTable *table, const char *seq_id, const char *p,
                              const DefinitionContext &where) {
  while (*p != '\0') {
    int64_t first, last, label = CONSTRAINT_NO_LABEL;
    char stop;
    // An empty definition is skipped; with empty text before '-' or ':', what follows the stop
    // character is read as a new definition.
    if (!read_definition_number(&p, ",-:", where, &first, &stop)) continue;
    if (first == 0) bad_definition(where, "sequence position must be greater than zero");
    last = first;
    if (stop == '-') {
      if (!read_definition_number(&p, ",:", where, &last, &stop))
        bad_definition(where, "missing value following '-'");
      if (last < first) bad_definition(where, "invalid sequence position range");
    }
    if (stop == ':') {
      if (!read_definition_number(&p, ",", where, &label, &stop))
        bad_definition(where, "missing value following ':'");
      if (label + (last - first) > INT32_MAX) bad_definition(where, "number out of range");
    }
    add_constraint_to_table(table, seq_id, static_cast<int32_t>(first), static_cast<int32_t>(label),
                            static_cast<int32_t>(last - first + 1), FILE_SATISFIED_COST,
                            FILE_UNSATISFIED_COST, FILE_UNCONSTRAINED_COST);
  }
}

// Reads one constraint line: the identifier (up to the first white space, at most
// CONSTRAINT_MAX_ID characters), then the definitions. A line without definitions adds nothing.
static void parse_constraint_line(ConstraintTable *table, const DefinitionContext &where) {
  const char *p = where.line;
  char seq_id[CONSTRAINT_MAX_ID + 1];
  int length = 0;
  for (; *p != '\0' && !isspace(static_cast<unsigned char>(*p)); p++) {
    if (length == CONSTRAINT_MAX_ID)
      error("%s:%ld: sequence id exceeds maximum length of %d", where.filename, where.line_number,
            CONSTRAINT_MAX_ID);
    seq_id[length++] = *p;
  }
  seq_id[length] = '\0';
  parse_definitions(table, seq_id, p, where);
}

// ---- Reading files ----------------------------------------------------------------------------

// read_constraints_file: reads the constraint file filename (opened with OPEN_REQUIRED, possibly
// compressed) and adds its ranges with the costs 0, 80000, 80000 to table. Lines are trimmed of
// white space; empty lines and lines starting with '#' are comments; "constraints:" opens the
// section. Fatal: a data line before the section line, a NUL byte in a line, an identifier that is
// too long, a bad definition, a read error.
void read_constraints_file(ConstraintTable *table, const char *filename) {
  if (table == nullptr || filename == nullptr) error("read_constraints_file: null table or file name");
  FILE *in = open_read(filename, OPEN_REQUIRED);
  LineBuffer line = {static_cast<char *>(mem_alloc(LINE_BUFFER_INITIAL)), LINE_BUFFER_INITIAL, 0};
  bool in_section = false;
  for (long line_number = 1; read_constraint_line(in, filename, line_number, &line); line_number++) {
    // A NUL byte would silently cut the line short.
    if (memchr(line.text, '\0', static_cast<size_t>(line.length)) != nullptr)
      error("%s:%ld: line holds a NUL byte", filename, line_number);
    char *text = line.text;
    char *end = line.text + line.length;
    while (text < end && isspace(static_cast<unsigned char>(*text))) text++;
    while (end > text && isspace(static_cast<unsigned char>(end[-1]))) end--;
    *end = '\0';
    if (text[0] == '\0' || text[0] == '#') continue;
    if (strcmp(text, SECTION_LINE) == 0) {
      in_section = true;
    } else if (in_section) {
      parse_constraint_line(table, DefinitionContext{filename, line_number, text});
    } else {
      error("%s:%ld: data line before a section:\n%s", filename, line_number, text);
    }
  }
  free(line.text);
  close_read(in);
}

// read_constraints_table: a new table filled from the count files in order, or null when count is 0
// or less. Unless allow_unlabeled is set, a file after which the table holds a range without a model
// label is fatal.
ConstraintTable *read_constraints_table(char **filenames, int count, int allow_unlabeled) {
  if (count <= 0) return nullptr;
  if (filenames == nullptr) error("read_constraints_table: no file names for %d files", count);
  ConstraintTable *table = create_constraint_table();
  for (int f = 0; f < count; f++) {
    if (filenames[f] == nullptr) error("read_constraints_table: file name %d of %d missing", f + 1, count);
    read_constraints_file(table, filenames[f]);
    if (!allow_unlabeled && table->has_unlabeled)
      error("Error: constraint file %s has constraints with unspecified model labels,\n%s", filenames[f],
            "they are allowed only when creating a model from an alignment");
  }
  return table;
}

// ---- Writing ----------------------------------------------------------------------------------

// write_constraints_table: creates filename and, when the table has entries, writes the section line
// and one line per entry in hash-chain order (buckets 0..127, each chain from its head): the
// identifier, then its ranges in order, the first after a blank and the others after ',', as
// "start" or "start-last", followed by ":label" when the range is labelled. A null or empty table
// gives an empty file. Fatal when the file cannot be created or written.
void write_constraints_table(const ConstraintTable *table, const char *filename) {
  if (filename == nullptr) error("write_constraints_table: null file name");
  FILE *out = fopen(filename, "w");
  if (out == nullptr) error("Couldn't open file %s for writting: %s", filename, strerror(errno));
  if (table != nullptr && table->count > 0) {
    fputs("constraints:\n", out);
    for (int b = 0; b < CONSTRAINT_BUCKETS; b++) {
      for (const ConstraintSeq *entry = table->buckets[b]; entry != nullptr; entry = entry->next) {
        fputs(entry->seq_id, out);
        char separator = ' ';
        for (const ConstraintRange *r = entry->first; r != nullptr; r = r->next) {
          if (r->length == 1)
            fprintf(out, "%c%d", separator, r->start);
          else
            fprintf(out, "%c%d-%d", separator, r->start, r->start + r->length - 1);
          if (r->label >= 0) fprintf(out, ":%d", r->label);
          separator = ',';
        }
        fputc('\n', out);
      }
    }
  }
  bool failed = ferror(out) != 0;
  int saved = errno;
  if (fclose(out) != 0 && !failed) {
    failed = true;
    saved = errno;
  }
  if (failed) error("file write failed: %s: %s", filename, strerror(saved));
}

}  // namespace qor
