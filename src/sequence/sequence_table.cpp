// Sequence records and tables: making, resizing and releasing sequences, the growable sequence table,
// sorting and searching by id, and the length statistics of a table.
//
// Sections: sequence records | sequence tables | sorting and search | length statistics
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "sequence/sequence.h"
#include "util/util.h"

namespace qor {

// ---- Sequence records -------------------------------------------------------------------------

// alloc_sequence: a new record of the given length and number of tracks.
//   Every field is zero or null except length, num_tracks and the five scores (SEQUENCE_UNSET_SCORE).
//   With length > 0 each track below num_tracks gets a zeroed letter array of length + 2 bytes.
//   Fatal: a negative length, or a track count outside 0..MAX_TRACKS.
Sequence *alloc_sequence(int length, int num_tracks) {
  if (length < 0) error("alloc_sequence: negative length %d", length);
  if (num_tracks < 0 || num_tracks > MAX_TRACKS)
    error("alloc_sequence: %d tracks requested, at most %d are supported", num_tracks, MAX_TRACKS);
  Sequence *seq = static_cast<Sequence *>(mem_alloc(static_cast<int>(sizeof(Sequence))));
  seq->length = length;
  seq->num_tracks = num_tracks;
  seq->score = SEQUENCE_UNSET_SCORE;
  seq->null_score = SEQUENCE_UNSET_SCORE;
  seq->column1 = SEQUENCE_UNSET_SCORE;
  seq->column2 = SEQUENCE_UNSET_SCORE;
  seq->zscore = SEQUENCE_UNSET_SCORE;
  if (length > 0) {
    if (length > 0x7ffffff0 - 2) error("alloc_sequence: length %d is too large", length);
    for (int t = 0; t < num_tracks; t++)
      seq->tracks[t].letters = static_cast<unsigned char *>(mem_alloc(length + 2));
  }
  return seq;
}

// Number of probability entries per row on track t (flength of the track's alphabet).
static int track_flength(int track, const char *who) {
  if (track < 0 || track >= MAX_TRACKS) error("%s: track %d out of range", who, track);
  if (alphabets[track] == nullptr) error("%s: track %d has no alphabet", who, track);
  return alphabets[track]->flength;
}

// alloc_prob_seq_track: gives track `track` of seq length zeroed rows of flength probabilities.
//   Returns the rows, or null when the sequence is empty (nothing is allocated then).
//   An earlier probability array of the track is released first.
//   Fatal: a null sequence; a track out of range or without an alphabet.
float **alloc_prob_seq_track(Sequence *seq, int track) {
  if (seq == nullptr) error("realloc_prob_seq_track with null sequence");
  if (seq->length == 0) return nullptr;
  int flength = track_flength(track, "alloc_prob_seq_track");
  double_free(reinterpret_cast<void **>(seq->tracks[track].probs), seq->length);
  seq->tracks[track].probs =
      reinterpret_cast<float **>(double_alloc(seq->length, flength, static_cast<int>(sizeof(float))));
  return seq->tracks[track].probs;
}

// realloc_sequence: resizes every track below num_tracks to new_length and sets length.
//   The letter arrays get room for new_length + 2 bytes, the new bytes zeroed; present probability
//   arrays get zeroed rows for new positions (rows beyond a shorter length are released).
//   Returns seq. Fatal: a sequence with constraints; a negative length.
Sequence *realloc_sequence(Sequence *seq, int new_length) {
  if (seq == nullptr) error("realloc_sequence with null sequence");
  if (seq->constraints != nullptr) error("can't realloc_sequence with constraints");
  if (new_length < 0 || new_length > 0x7ffffff0 - 2)
    error("realloc_sequence: bad length %d for %s", new_length, seq->id ? seq->id : "");
  int old_length = seq->length;
  for (int t = 0; t < seq->num_tracks; t++) {
    SequenceTrack &tr = seq->tracks[t];
    if (tr.probs != nullptr) {
      int flength = track_flength(t, "realloc_sequence");
      for (int i = new_length; i < old_length; i++) {
        free(tr.probs[i]);
        tr.probs[i] = nullptr;
      }
      tr.probs = static_cast<float **>(mem_realloc(tr.probs, new_length * static_cast<int>(sizeof(float *))));
      for (int i = old_length; i < new_length; i++)
        tr.probs[i] = static_cast<float *>(mem_alloc(flength * static_cast<int>(sizeof(float))));
    }
    // The old array holds at least old_length bytes when present; clear everything past the
    // part that is kept.
    int kept = tr.letters == nullptr ? 0 : std::min(old_length, new_length);
    tr.letters = static_cast<unsigned char *>(mem_realloc(tr.letters, new_length + 2));
    memset(tr.letters + kept, 0, static_cast<size_t>(new_length + 2 - kept));
  }
  seq->length = new_length;
  return seq;
}

// free_sequence: releases the record and everything it owns; null does nothing.
void free_sequence(Sequence *seq) {
  if (seq == nullptr) return;
  free(seq->id);
  free(seq->annotation);
  free(seq->alignment);
  // All slots are released, not only those below num_tracks: unused slots are null.
  for (int t = 0; t < MAX_TRACKS; t++) {
    free(seq->tracks[t].letters);
    double_free(reinterpret_cast<void **>(seq->tracks[t].probs), seq->length);
  }
  free(seq->path);
  free(seq->constraints);
  free(seq);
}

// ---- Sequence tables --------------------------------------------------------------------------

// alloc_sequence_table: an empty table without an item array.
SequenceTable *alloc_sequence_table() {
  return static_cast<SequenceTable *>(mem_alloc(static_cast<int>(sizeof(SequenceTable))));
}

// add_seq_to_table: appends seq (null does nothing); a full table grows by SEQUENCE_TABLE_STEP.
//   Fatal: a null table; a table that would exceed the largest count.
void add_seq_to_table(SequenceTable *table, Sequence *seq) {
  if (table == nullptr) error("sequence:add_seq_to_table()  Null seqtab\n");
  if (seq == nullptr) return;
  if (table->count >= table->capacity) {
    long long capacity = static_cast<long long>(table->capacity) + SEQUENCE_TABLE_STEP;
    if (capacity * static_cast<long long>(sizeof(Sequence *)) > 0x7ffffff0LL)
      error("sequence:add_seq_to_table()  too many sequences (%d)", table->count);
    table->items = static_cast<Sequence **>(
        mem_realloc(table->items, static_cast<int>(capacity * static_cast<long long>(sizeof(Sequence *)))));
    for (long long i = table->capacity; i < capacity; i++) table->items[i] = nullptr;
    table->capacity = static_cast<int32_t>(capacity);
  }
  table->items[table->count++] = seq;
}

// remove_seq_from_table: takes entry index out, leaving a null in its place; the caller owns it.
//   Returns null for an index outside 0..count-1. Fatal: a null table.
Sequence *remove_seq_from_table(SequenceTable *table, int index) {
  if (table == nullptr) error("sequence:remove_seq_from_table()  Null seqtab\n");
  if (index < 0 || index >= table->count) return nullptr;
  Sequence *seq = table->items[index];
  table->items[index] = nullptr;
  return seq;
}

// compact_sequence_table: drops the null entries, keeping the order of the others.
void compact_sequence_table(SequenceTable *table) {
  if (table == nullptr) return;
  int kept = 0;
  for (int i = 0; i < table->count; i++)
    if (table->items[i] != nullptr) table->items[kept++] = table->items[i];
  for (int i = kept; i < table->count; i++) table->items[i] = nullptr;
  table->count = kept;
}

// clean_sequence_table: releases every sequence and sets count to 0; the item array is kept.
void clean_sequence_table(SequenceTable *table) {
  if (table == nullptr) return;
  for (int i = 0; i < table->count; i++) {
    free_sequence(table->items[i]);
    table->items[i] = nullptr;
  }
  table->count = 0;
}

// free_sequence_table: releases the sequences, the item array and the table; null does nothing.
void free_sequence_table(SequenceTable *table) {
  if (table == nullptr) return;
  clean_sequence_table(table);
  free(table->items);
  free(table);
}

// ---- Sorting and search -----------------------------------------------------------------------

static const char *id_of(const Sequence *seq) {
  return seq->id != nullptr ? seq->id : "";
}

// compare_ID: orders two table entries (pointers to Sequence pointers) by id, byte-wise.
//   A null entry on either side compares equal; a null id counts as the empty id.
int compare_ID(const void *a, const void *b) {
  const Sequence *sa = *static_cast<const Sequence *const *>(a);
  const Sequence *sb = *static_cast<const Sequence *const *>(b);
  if (sa == nullptr || sb == nullptr) return 0;
  return strcmp(id_of(sa), id_of(sb));
}

// sequence_sort: sorts the entries by id (the order of compare_ID); null entries go to the end,
//   so that the comparison stays a strict ordering even on a table that was not compacted.
void sequence_sort(SequenceTable *table) {
  if (table == nullptr || table->count < 2) return;
  std::sort(table->items, table->items + table->count, [](const Sequence *a, const Sequence *b) {
    if (a == nullptr || b == nullptr) return a != nullptr && b == nullptr;
    return strcmp(id_of(a), id_of(b)) < 0;
  });
}

// sequence_search: index of an entry with this id in a table sorted by sequence_sort, or -1.
int sequence_search(const char *id, SequenceTable *table) {
  if (id == nullptr || table == nullptr) return -1;
  int lo = 0;
  int hi = table->count - 1;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    const Sequence *s = table->items[mid];
    // Null entries sort last: they are greater than every id.
    int c = s == nullptr ? -1 : strcmp(id, id_of(s));
    if (c == 0) return mid;
    if (c < 0)
      hi = mid - 1;
    else
      lo = mid + 1;
  }
  return -1;
}

// ---- Length statistics ------------------------------------------------------------------------

// seq_max_stats: length statistics of table into info; x is the offset of total_excess.
//   With reset 1 (or a null table) the sums and extremes start from 0; sd_length keeps its value
//   unless more than one sequence has been counted. Null entries are not counted.
//   Squares are formed in 64-bit integers, so lengths above 46340 are summed correctly.
//   Fatal: a null info.
void seq_max_stats(SequenceTable *table, SeqInfo *info, int x, int reset) {
  if (info == nullptr) error("seq_max_stats passed null SeqInfo");
  if (table == nullptr || reset == 1) {
    info->min_length = 0;
    info->max_length = 0;
    info->num_seqs = 0;
    info->mean_length = 0;
    info->total_length = 0;
    info->total_excess = 0;
    info->sum_squares = 0;
  }
  if (table == nullptr || table->count == 0) return;
  int counted = 0;
  for (int i = 0; i < table->count; i++) {
    const Sequence *s = table->items[i];
    if (s == nullptr) continue;
    int32_t len = s->length;
    if (counted == 0 && (reset == 1 || info->num_seqs == 0)) {
      info->min_length = len;
      info->max_length = len;
    }
    counted++;
    info->total_length += len;
    info->sum_squares += static_cast<double>(static_cast<int64_t>(len) * static_cast<int64_t>(len));
    int64_t excess = static_cast<int64_t>(len) - x;
    info->total_excess += excess > 1 ? static_cast<double>(excess) : 1.0;
    if (len < info->min_length) info->min_length = len;
    if (len > info->max_length) info->max_length = len;
  }
  info->num_seqs += counted;
  if (info->num_seqs == 0) return;
  if (info->num_seqs > 1) {
    double n = info->num_seqs;
    double var = (info->sum_squares - info->total_length * info->total_length / n) / (n - 1);
    // Rounding can leave a tiny negative variance for equal lengths; the deviation is then 0.
    info->sd_length = var > 0 ? sqrt(var) : 0.0;
  }
  info->mean_length =
      static_cast<double>(static_cast<float>(info->total_length) / static_cast<float>(info->num_seqs));
}

}  // namespace qor
