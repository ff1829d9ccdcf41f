// Sequence files: format detection (FASTA and NBRF recognition, the format of a named file).
#ifndef QOR_SEQFILE_SEQFILE_H
#define QOR_SEQFILE_SEQFILE_H

#include <cstdint>

namespace qor {

// Format codes used by the detection.
constexpr int SEQFORMAT_UNKNOWN = 0;
constexpr int SEQFORMAT_NBRF = 3;
constexpr int SEQFORMAT_PEARSON = 8;  // FASTA

extern int16_t seqfilef;  // the format code found by the last seqfile_format_type

// ---- Format detection -------------------------------------------------------------------------
// 8 (FASTA) or 3 (NBRF) with the guessed sequence type in *seqtype (may be null), else 0.
int is_fasta_or_nbrf(const char *filename, int *seqtype);
// Format name of the one file named; sets seqfilef and the out arguments (each may be null).
const char *seqfile_format_type(const char *filename, int *format, int *seqtype, int *skip_lines);

}  // namespace qor

// ---- Sequence files and tracks; database reading and selection --------------------------------
#include <cstdio>

#include "sequence/sequence.h"  // OpenSeqFile, Sequence, SequenceTable

namespace qor {

constexpr int SEQFORMAT_HSSP = 19;
constexpr int SEQFORMAT_MODEL = 20;        // a model file read as model sequences
constexpr int MAX_DB_SEQUENCES = 2000000;  // a database maximum of 0 or less means this many

// One open sequence source: one file per track; the slot of a track named "-" is null.
struct OpenSeqTracks {
  int32_t num_files;               // names in the source's list, "-" included
  OpenSeqFile *files[MAX_TRACKS];  // owned, or null for a "-" track
};

// ---- Files and sources (seqfile_open.cpp) ---
// Detects the format of one file and opens it (HSSP files are read whole); never null.
OpenSeqFile *open_sequence_file(const char *filename);
// Closes the stream and releases the name, the HSSP texts and the record; null does nothing.
void close_sequence_file(OpenSeqFile *file);
// Checks the track count against the alphabets (guessing track 0's first when unset).
void verify_tracks_with_alphabets(const char *names);
// Opens a source of one file per track (names split at blanks, tabs, newlines, commas); never null.
OpenSeqTracks *open_sequences(const char *names);
// Warns about each file that holds more entries than a track that has ended.
void check_sequences_eof(OpenSeqTracks *tracks);
// check_sequences_eof, then closes every file and releases the source; null does nothing.
void close_sequences(OpenSeqTracks *tracks);

// ---- Reading entries (seqfile_read.cpp) ---
// "<file name without directory>#<seq_count>" as a new text.
char *generate_seq_id(const OpenSeqFile *file);
// Reads track `track` of the next entry into seq; 1 when read (or the slot is null), 0 at the end.
int read_sequence_track(OpenSeqFile *file, Sequence *seq, int track);
// The next entry of every track as a new Sequence (converted when convert is non-zero), or null.
Sequence *read_sequence(OpenSeqTracks *tracks, int convert);
// Reads at most max entries of the source dbname (guided by guidename, may be null) into table;
// returns the number added.
int read_sequences(const char *dbname, const char *guidename, int max, SequenceTable *table, int convert);
// Next entry of a file in one of the further formats: a new text with *id and *annotation, or null.
char *next_readseq_string(OpenSeqFile *file, char **id, char **annotation);
// Next model of a model file as the probabilities and letters of track; 1 when a model was read.
int next_model_string_track(OpenSeqFile *file, Sequence *seq, int track);

// ---- Databases (database.cpp) ---
// Reads the converted sequences of every database entry (with its guide) into one new table;
// *max (0 or less: MAX_DB_SEQUENCES) bounds the total and receives the number read.
SequenceTable *read_seqfile_list(int *max, char **dbs, int db_count, char **guides, int guide_count);
// Keeps the listed ids (in list order) and drops the excluded ones; *count gets the number left.
// Returns the table to use (the given one may have been released). require 1: none left is fatal.
SequenceTable *select_sequences(SequenceTable *table, int *count, char **ids, int id_count, char **not_ids,
                                int not_id_count, int require);
// read_seqfile_list, select_sequences and the report on report and report2 (each may be null);
// *max receives the number selected.
SequenceTable *read_select_seqfile_list(int *max, char **dbs, int db_count, char **guides, int guide_count,
                                        char **ids, int id_count, char **not_ids, int not_id_count,
                                        FILE *report, FILE *report2, int require);

}  // namespace qor

#endif
