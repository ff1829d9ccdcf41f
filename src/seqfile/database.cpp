// Databases: reading every database entry (with its guide) into one sequence table, selecting
// sequences by id and excluding ids, and the report of what was found and selected.
//
// Sections: reading | selection | reading and reporting
#include <cstdlib>
#include <cstring>
#include <vector>

#include "alphabet/alphabet.h"
#include "init/init.h"
#include "seqfile/seqfile.h"
#include "util/util.h"

namespace qor {

// ---- Reading ----------------------------------------------------------------------------------

// read_seqfile_list
//   Reads the converted sequences of every database entry, in order, into one new table, each
//   entry with the guide source of the same position when guides are given; at most *max in all
//   (0 or less: MAX_DB_SEQUENCES). Track 0's alphabet is guessed from the first database when unset.
// Returns the table; *max receives the number of sequences read.
// Fatal: "Must specify same number of database and guide sequence files.\n"; the reading errors.
SequenceTable *read_seqfile_list(int *max, char **dbs, int db_count, char **guides, int guide_count) {
  if (max == nullptr) error("read_seqfile_list with no maximum");
  int limit = *max <= 0 ? MAX_DB_SEQUENCES : *max;
  if (guide_count != 0 && guide_count != db_count)
    error("Must specify same number of database and guide sequence files.\n");
  check_alphabet(db_count > 0 && dbs != nullptr ? dbs[0] : nullptr);
  SequenceTable *table = alloc_sequence_table();
  for (int i = 0; i < db_count; i++) {
    const char *guide = guide_count > 0 && guides != nullptr ? guides[i] : nullptr;
    read_sequences(dbs[i], guide, limit - table->count, table, 1);
  }
  *max = table->count;
  return table;
}

// ---- Selection --------------------------------------------------------------------------------

// An index of a table sorted by id whose entry has this id and is not marked in `taken`, or -1:
// the binary search finds one entry of the id; entries of equal ids lie next to it.
static int find_untaken(const char *id, SequenceTable *table, const std::vector<char> &taken) {
  int k = sequence_search(id, table);
  if (k < 0 || !taken[static_cast<size_t>(k)]) return k;
  for (int i = k - 1; i >= 0 && strcmp(table->items[i]->id, id) == 0; i--)
    if (!taken[static_cast<size_t>(i)]) return i;
  for (int i = k + 1; i < table->count && strcmp(table->items[i]->id, id) == 0; i++)
    if (!taken[static_cast<size_t>(i)]) return i;
  return -1;
}

// select_sequences
//   With ids: the listed ids, in list order, go to a new table (an id not found: "Unable to find
//   sequence `%s'.\n"; found again: "ID %s selected twice; skipping repeat.\n"; empty entries are
//   skipped); the other sequences are released with the old table. With exclusions: the table is
//   sorted by id and each listed id is removed and released (not among the sequences still
//   present: "Unable to find sequence `%s' for exclusion.\n"). Messages go to standard error.
// Returns the table to use; *count (may be null) receives its number of sequences.
// Fatal: a null table; "No sequences specified; exiting" when require is 1 and none is left.
SequenceTable *select_sequences(SequenceTable *table, int *count, char **ids, int id_count, char **not_ids,
                                int not_id_count, int require) {
  if (table == nullptr) error("select_sequences with null sequence table");
  compact_sequence_table(table);
  if (id_count > 0 && ids != nullptr) {
    sequence_sort(table);
    std::vector<char> taken(static_cast<size_t>(table->count), 0);
    SequenceTable *selected = alloc_sequence_table();
    for (int i = 0; i < id_count; i++) {
      const char *id = ids[i];
      if (id == nullptr || id[0] == '\0') continue;
      int k = sequence_search(id, table);
      if (k < 0) {
        fprintf(stderr, "Unable to find sequence `%s'.\n", id);
      } else if (taken[static_cast<size_t>(k)]) {
        fprintf(stderr, "ID %s selected twice; skipping repeat.\n", id);
      } else {
        taken[static_cast<size_t>(k)] = 1;
        add_seq_to_table(selected, table->items[k]);
      }
    }
    for (int i = 0; i < table->count; i++)
      if (taken[static_cast<size_t>(i)]) table->items[i] = nullptr;
    free_sequence_table(table);
    table = selected;
  }
  if (not_id_count > 0 && not_ids != nullptr) {
    sequence_sort(table);
    // Removed entries stay in place (marked) until the end, so that the binary search keeps
    // working on the sorted table.
    std::vector<char> removed(static_cast<size_t>(table->count), 0);
    for (int i = 0; i < not_id_count; i++) {
      const char *id = not_ids[i];
      if (id == nullptr || id[0] == '\0') continue;
      int k = find_untaken(id, table, removed);
      if (k < 0)
        fprintf(stderr, "Unable to find sequence `%s' for exclusion.\n", id);
      else
        removed[static_cast<size_t>(k)] = 1;
    }
    for (int i = 0; i < table->count; i++)
      if (removed[static_cast<size_t>(i)]) free_sequence(remove_seq_from_table(table, i));
    compact_sequence_table(table);
  }
  if (require == 1 && table->count == 0) error("No sequences specified; exiting");
  if (count != nullptr) *count = table->count;
  return table;
}

// ---- Reading and reporting --------------------------------------------------------------------

static const char *plural(int n) {
  return n == 1 || n == -1 ? "" : "s";
}

// read_select_seqfile_list
//   Reads the databases (read_seqfile_list) and selects (select_sequences), then reports: on
//   report the database list, the id and exclusion lists when given, and the "Found" line (lines
//   start with "% " unless report is standard output or standard error); on a different report2
//   the "Found" line alone, without prefix.
// Returns the table; *max receives the number of sequences selected.
// Fatal: "No sequence databases provided.  Use -db" when require is 1 and there is no database;
//   the errors of reading and selection.
SequenceTable *read_select_seqfile_list(int *max, char **dbs, int db_count, char **guides, int guide_count,
                                        char **ids, int id_count, char **not_ids, int not_id_count,
                                        FILE *report, FILE *report2, int require) {
  if (db_count <= 0 && require == 1) error("No sequence databases provided.  Use -db");
  if (max == nullptr) error("read_select_seqfile_list with no maximum");
  SequenceTable *table = read_seqfile_list(max, dbs, db_count, guides, guide_count);
  int found = *max;
  int selected = 0;
  table = select_sequences(table, &selected, ids, id_count, not_ids, not_id_count, require);
  *max = selected;
  if (report != nullptr) {
    const char *prefix = report == stdout || report == stderr ? "" : "% ";
    list_strings(report, dbs, db_count, "Database Files: ", prefix);
    if (id_count > 0) list_strings(report, ids, id_count, "Select IDs: ", prefix);
    if (not_id_count > 0) list_strings(report, not_ids, not_id_count, "Exclude IDs: ", prefix);
    fprintf(report, "%sFound %d sequence%s in %d file%s; selected %d sequence%s\n", prefix, found,
            plural(found), db_count, plural(db_count), selected, plural(selected));
    fflush(report);
  }
  if (report2 != nullptr && report2 != report) {
    fprintf(report2, "Found %d sequence%s in %d file%s; selected %d sequence%s\n", found, plural(found),
            db_count, plural(db_count), selected, plural(selected));
    fflush(report2);
  }
  return table;
}

}  // namespace qor
