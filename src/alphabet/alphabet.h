// Alphabets: the built-in alphabet table, user-defined alphabets, per-track alphabets, letter
// translation, the sequence-type guesses and alphabet background files.
#ifndef QOR_ALPHABET_ALPHABET_H
#define QOR_ALPHABET_ALPHABET_H

#include <cstdint>
#include <cstdio>

namespace qor {

constexpr int MAX_ALPHA_LENGTH = 128;  // size of the regularizer arrays
constexpr int MAX_TRACKS = 6;          // tracks per sequence
constexpr int CODON_ID = 34;           // internal_id of the codon alphabet
constexpr int ALPHABET_DEF_ID = 35;    // internal_id of a user-defined slot
constexpr int NUM_BUILTIN_ALPHABETS = 34;
constexpr int NUM_ALPHABET_DEF_SLOTS = 6;

// Sequence-type codes.
constexpr int SEQTYPE_UNKNOWN = 0;
constexpr int SEQTYPE_DNA = 1;
constexpr int SEQTYPE_RNA = 2;
constexpr int SEQTYPE_NUCLEIC = 3;
constexpr int SEQTYPE_PROTEIN = 4;

struct Alphabet {
  int32_t internal_id;
  char *name;
  const char *comment;
  int32_t length;
  int32_t wild_length;
  int32_t flength;
  int32_t fwild_length;
  char *letters;
  const char *convert;
  float transition_regularizer[9];
  float match_regularizer[MAX_ALPHA_LENGTH];
  float insert_regularizer[MAX_ALPHA_LENGTH];
  unsigned char translate[256];
  unsigned char *digit_table;
  int32_t num_digits;
};

// 34 built-in records, 6 user-defined slots (internal_id 35, name null), a terminator (internal_id 0).
extern Alphabet alphabet_table[NUM_BUILTIN_ALPHABETS + NUM_ALPHABET_DEF_SLOTS + 1];
extern Alphabet *alphabets[MAX_TRACKS];  // per-track alphabets, null when not set
extern int num_alphabets;                // tracks whose alphabet has been set
extern Alphabet *alphabet;               // the current alphabet (track 0's unless a caller switches it)

// Builds translate for every built-in record; called once by the program frame.
void init_alphabets();
// Runs init_alphabets unless it has already run (for code that may run before the program frame).
void ensure_alphabets_initialized();
// First named record with this internal_id; fatal "alphabet_id_to_info: unknown alphabet id %d".
Alphabet *alphabet_id_to_info(int internal_id);
// Rebuilds a's translate table from its letters and conversion pairs.
void set_trans_table(Alphabet *a);
// Installs a on track (fatal when the track holds another alphabet).
void set_alphabet(Alphabet *a, int track);
// Selects the built-in alphabet name for track; where prefixes the messages.
void init_alphabet_by_name(const char *name, int track, const char *where);
// Defines a letter or numeric alphabet name from spec in a free slot and installs it on track.
void init_alphabet_by_def(const char *name, const char *spec, int track, const char *where);
// Index of the first free user-defined slot; fatal when none is left.
int find_empty_def(const char *where);
// Handles a whole "alphabet ..." or "alphabet_def ..." parameter line; returns track's alphabet
// when track is non-negative, else null.
Alphabet *process_alphabet(const char *line, int track, const char *where);
// Makes sure the current alphabet exists, guessing it from seqfile (or the first sequence-file
// parameter when seqfile is null).
void check_alphabet(const char *seqfile);
// Guesses the sequence type of the FASTA stream positioned at its first '>'; may set *format to 3 (nbrf).
void fasta_alphabet(FILE *stream, int *type, int *format);
// Guesses the sequence type of one sequence text of length n.
int getseqtype(const char *text, int n);
// Reads an alphabet background file and replaces the regularizer weights it names.
void process_alphabet_backfile(FILE *stream, const char *filename);

}  // namespace qor

#endif
