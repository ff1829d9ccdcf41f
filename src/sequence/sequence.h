// Sequences: sequence records and tables, length statistics, the FASTA/A2M reader, letter
// conversion, and sequence and A2M alignment output.
#ifndef QOR_SEQUENCE_SEQUENCE_H
#define QOR_SEQUENCE_SEQUENCE_H

#include <cstdint>
#include <cstdio>

#include "alphabet/alphabet.h"

namespace qor {

// Size of the line buffer of an open sequence file.
constexpr int SEQFILE_LINE_BUFFER = 100000;

// One open sequence file. The sequence-file area opens and closes it; the FASTA reader of this
// area reads entries from it (so the record lives here, below both).
struct OpenSeqFile {
  char *name;                             // file name as given (owned)
  FILE *stream;                           // the file, or null (HSSP files once read)
  int16_t format;                         // format code
  int32_t hssp_count;                     // sequences taken from an HSSP file
  char **hssp_seqs;                       // those sequences (owned), or null
  int32_t seq_count;                      // sequences read so far from this file
  int32_t at_end;                         // 1 once a read found no further entry
  char line_buffer[SEQFILE_LINE_BUFFER];  // header lines, skipped lines, a pushed-back line
};

// The constraint on one residue: label -1 unconstrained, -3 constrained without a model label,
// otherwise the model label the residue is tied to.
struct PosConstraint {
  int32_t label;
  int32_t satisfied_cost;
  int32_t unsatisfied_cost;
  int32_t unconstrained_cost;
};

// One letter's place on its path: ln posterior of its state, model position, match flag.
struct PathRecord {
  float log_posterior;
  int32_t position;
  int32_t match;
};

struct SequenceTrack {
  unsigned char *letters;  // input characters, then letter indices of alphabets[t]
  float **probs;           // null, or length rows of flength probabilities (model sequences)
};

struct Sequence {
  int32_t length;
  int32_t converted;
  char *id;
  char *annotation;
  int32_t num_tracks;
  SequenceTrack tracks[MAX_TRACKS];
  unsigned char *alignment;  // run-length alignment string, 0-terminated
  PathRecord *path;
  float score;
  float null_score;
  float column1;
  float column2;
  double zscore;
  float xcount;
  PosConstraint *constraints;
};

// Value of score, null_score, column1, column2 and zscore until set.
constexpr float SEQUENCE_UNSET_SCORE = 1000000.0f;

struct SequenceTable {
  int32_t count;
  int32_t capacity;
  Sequence **items;
};

constexpr int SEQUENCE_TABLE_STEP = 4096;

struct SeqInfo {
  int32_t min_length;
  int32_t max_length;
  int32_t num_seqs;
  double mean_length;
  double total_length;
  double total_excess;
  double sum_squares;
  double sd_length;
};

// ---- Records and tables -----------------------------------------------------------------------
// A new sequence: scores SEQUENCE_UNSET_SCORE, and with length > 0 zeroed letter arrays of length+2.
Sequence *alloc_sequence(int length, int num_tracks);
// Gives track `length` zeroed rows of flength probabilities; returns them (null for length 0).
float **alloc_prob_seq_track(Sequence *seq, int track);
// Resizes the letters (and present probability rows) of every track to new_length; returns seq.
Sequence *realloc_sequence(Sequence *seq, int new_length);
// Releases a sequence and everything it owns; null does nothing.
void free_sequence(Sequence *seq);
// A new empty table without an item array.
SequenceTable *alloc_sequence_table();
// Appends seq (null: nothing), growing the table by SEQUENCE_TABLE_STEP entries when full.
void add_seq_to_table(SequenceTable *table, Sequence *seq);
// Takes entry index out of the table (a null stays in its place); null when out of range.
Sequence *remove_seq_from_table(SequenceTable *table, int index);
// Drops the null entries, keeping the order of the others.
void compact_sequence_table(SequenceTable *table);
// Releases every sequence and empties the table (the item array is kept).
void clean_sequence_table(SequenceTable *table);
// Releases the sequences, the item array and the table; null does nothing.
void free_sequence_table(SequenceTable *table);
// qsort/bsearch order of two table entries by id, byte-wise; a null entry compares equal.
int compare_ID(const void *a, const void *b);
// Sorts the entries by id (null entries last).
void sequence_sort(SequenceTable *table);
// Index of an entry with this id in a table sorted by id, or -1.
int sequence_search(const char *id, SequenceTable *table);
// Length statistics of table into info with excess offset x (squares summed in 64-bit integers).
void seq_max_stats(SequenceTable *table, SeqInfo *info, int x, int reset);

// ---- FASTA/A2M reader -------------------------------------------------------------------------
// Longest id and annotation the reader keeps (they are gathered in the file's line buffer).
constexpr int FASTA_MAX_ID = 99999;
constexpr int FASTA_MAX_ANNOTATION = 99999;
// Longest run of digits read as one number of a numeric sequence.
constexpr int FASTA_MAX_DIGITS = 43;

// Reads the next header line: *id gets a new id text, *annotation (when annotation is not null)
// a new annotation text or null. Returns the character that ended the header line ('\n' or -1),
// or -1 at end of file (then *id is null).
int next_fasta_initial(OpenSeqFile *file, char **id, char **annotation);
// Reads the next entry; returns its sequence characters as a new text, or null at end of file.
char *next_fasta_string(OpenSeqFile *file, char **id, char **annotation);
// Reads the next entry of a numeric alphabet (values of the current alphabet); returns a new array
// of *length values, or null at end of file.
unsigned char *next_fasta_numstring(OpenSeqFile *file, char **id, char **annotation, int *length);

// ---- Letter conversion ------------------------------------------------------------------------
// Turns the characters of one track into letter indices of alphabets[track], dropping '-' and '.'.
void convert_seq_track(Sequence *seq, int track);
// Converts every letter track of seq and checks that the tracks have equal lengths; null does nothing.
void convertseq(Sequence *seq);

// ---- Sequence and A2M output ------------------------------------------------------------------
// The character written for letter index `index` of a (letter) alphabet. An index that the letter
// string has no character for (the wildcard of alphabets such as CB_BURIAL_12_7, whose letters stop
// at `length`) is written as 'X' -- the usual wildcard letter, which the alphabet reads back as its
// wildcard -- or, when 'X' is a real letter of the alphabet, as the first letter A..Z that reads
// back as the wildcard.
char alphabet_letter(const Alphabet *a, int index);
// Writes one A2M record: ">id annotation" (or ">id"), the text in lines of 50, a final newline.
void print_string(FILE *stream, const char *text, const char *id, const char *annotation);
// The A2M text of seq's alignment on track (match letters upper case, inserts lower case, '-' for
// deletes; with numeric set 'X', 'x' and '-'); a new text. Buffer starts at initial_size (at least
// 100 and twice the length).
char *str_w_deletions(const Sequence *seq, int initial_size, int track, int numeric);
// Writes one aligned sequence of track as an A2M (or numeric) record.
void print_alignment(FILE *stream, const Sequence *seq, int track);
// Writes the alignments of every sequence of table; with dots non-zero inserts are padded with '.'
// so that all rows have equal length.
void print_seqalignment(FILE *stream, const SequenceTable *table, int dots, int track);
// Adds one alignment text to the column control table *control (made on the first call; entries
// end with -1; entry 0 becomes -1 when the texts have different numbers of columns).
void add_control(const char *text, int **control);
// Pads text (released here) with '.' after the inserts of each region to the sizes in control;
// returns the new padded text (empty when control[0] is -1).
char *add_dots(char *text, int padded_length, const int *control);
// Writes track 0 of a converted sequence in FASTA form (letters of the current alphabet, 50 a line).
void pretty_print_sequence(FILE *stream, const Sequence *seq);
// Writes every sequence of table with pretty_print_sequence.
void print_sequence_table(FILE *stream, const SequenceTable *table);
// Writes a record of a numeric alphabet: the values of track, marked by the alignment text when
// it is given (null: the plain values).
void print_num_alignment(FILE *stream, const Sequence *seq, const char *text, int track);

// ---- Posterior-path and trimmed alignments ----------------------------------------------------
// Writes every sequence's alignment record on track followed by its posterior row (digits of
// -ln(P)*scale for match letters, the letter for inserts, '-' for deletes); with dots non-zero
// both are padded to equal lengths. Fatal: a null stream, a sequence without path records.
void print_seqpathalignment(FILE *stream, const SequenceTable *table, int dots, int track, double scale);
// Writes every sequence's alignment on track with the match letters whose -ln(P) is at least
// threshold turned into inserts beside a delete; with dots non-zero padded to equal lengths.
// Fatal: a null stream, a numeric alphabet, a sequence without path records.
void print_trimalignment(FILE *stream, const SequenceTable *table, int dots, int track, double threshold);
// Pads row (as long as text, released here) by the insert pattern of text to the sizes in
// control; returns the new padded row (empty when control[0] is -1).
char *add_dots_by_second_seq(char *row, const char *text, int padded_length, const int *control);

}  // namespace qor

#endif
