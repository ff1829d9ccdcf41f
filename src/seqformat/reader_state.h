// Internal to the multi-format reader: the state of one read call and the line, sequence and entry
// helpers that the per-format readers share. Not used outside src/seqformat.
#ifndef QOR_SEQFORMAT_READER_STATE_H
#define QOR_SEQFORMAT_READER_STATE_H

#include <cstdint>
#include <cstdio>

#include "seqformat/seqformat.h"

namespace qor {

// The state of one read call; the fields up to isseqchar are those of the reader's data model.
struct ReadSeqState {
  int16_t choice;         // wanted entry number (-1: count the entries only)
  int16_t err;            // error code
  int16_t nseq;           // entries seen
  int32_t seqlen;         // sequence length
  int32_t maxseq;         // sequence capacity (bytes of seq)
  int32_t seqlencount;    // counted characters (Phylip, PAUP)
  int16_t topnseq;        // declared number of sequences (PAUP, Phylip)
  int32_t topseqlen;      // declared length (PAUP, Phylip)
  const char *fname;      // file name, null when reading from an open stream
  char *seq;              // sequence buffer
  char *seqid;            // the caller's id-line buffer (READSEQ_ID_BUFFER bytes), or null
  char matchchar;         // PAUP match character, 0 when none
  uint8_t allDone;        // the wanted entry has been read
  uint8_t done;           // the current entry has ended
  uint8_t filestart;      // the stream was rewound to its start for this call
  uint8_t addit;          // the current entry is being collected
  FILE *f;                // the stream
  char *s;                // the line buffer (READSEQ_LINE_BUFFER bytes)
  char *unget;            // the push-back slot (READSEQ_LINE_BUFFER bytes)
  uint8_t has_unget;      // the slot holds a line
  int (*isseqchar)(int);  // the sequence-character test
  // Line bookkeeping of this implementation.
  uint8_t eof;        // the stream is exhausted; s is empty
  uint8_t continued;  // s continues the previous line (which was longer than the buffer)
  uint8_t unget_continued;
  uint8_t more_of_line;  // the line in s goes on in the next piece
  uint8_t started;       // an entry header was recognised (distinguishes "no data" from "not found")
  int32_t length;        // characters in s
  int32_t lines_read;    // lines (pieces) read from the stream
};

// An end test: says whether the line in st->s ends the entry; sets *addend when the line still
// belongs to it and *ungetend when it belongs to the next entry. It may shorten st->s.
typedef bool (*EndTest)(ReadSeqState *st, bool *addend, bool *ungetend);

// ---- State ------------------------------------------------------------------------------------
// Sets up st for one call (allocates the buffers); seqid may be null.
void rs_init(ReadSeqState *st, int16_t choice, const char *fname, FILE *f, char *seqid);
// Releases the buffers (not the sequence when keep_seq).
void rs_release(ReadSeqState *st, bool keep_seq);

// ---- Lines ------------------------------------------------------------------------------------
// Reads the next line into st->s: the pushed-back line if any, else at most READSEQ_LINE_BUFFER-1
// characters of the stream with the newline (and a carriage return before it) removed; NUL bytes are
// dropped. At end of file s is empty and st->eof is set.
void rs_getline(ReadSeqState *st);
// Pushes the line in st->s back; the next rs_getline returns it.
void rs_ungetline(ReadSeqState *st);
// Rewinds the stream (fails quietly for a pipe) and forgets any pushed-back line; true on success.
bool rs_rewind(ReadSeqState *st);
// True when the line in s starts a physical line and begins with prefix.
bool rs_begins(const ReadSeqState *st, const char *prefix);
// True when text holds no character other than white space and control characters.
bool rs_blank(const char *text);
// Reads lines until st->s satisfies pred or the stream ends.
void rs_skipto(ReadSeqState *st, bool (*pred)(const ReadSeqState *st));

// ---- Sequence and id --------------------------------------------------------------------------
// Letters A-Z, a-z and the characters of "_.-*?".
int is_seq_char(int c);
// Any printing character other than the blank.
int is_any_char(int c);
// Appends the sequence characters of text (by st->isseqchar) to the sequence.
void rs_addseq(ReadSeqState *st, const char *text);
// Appends one character to the sequence (growing the buffer; -3 when it cannot grow further).
void rs_addchar(ReadSeqState *st, char c);
// Number of sequence characters in text.
int32_t rs_countseq(const ReadSeqState *st, const char *text);
// Copies text into the id-line buffer (bounded).
void rs_setid(ReadSeqState *st, const char *text);
// Copies at most n characters of text into the id-line buffer.
void rs_setid_n(ReadSeqState *st, const char *text, size_t n);
// Takes text (a part of the line in s) as the id line; the rest of an over-long line is passed
// over with a warning (the id line keeps its first READSEQ_LINE_BUFFER-1 characters).
void rs_take_id(ReadSeqState *st, const char *text);
// Passes over the rest of the current line when it was longer than the buffer (with a warning).
void rs_skip_rest_of_line(ReadSeqState *st);
// Prints a warning about the input on stderr, naming the file when it is known.
void rs_warn(const ReadSeqState *st, const char *format, ...) __attribute__((format(printf, 2, 3)));

// ---- Entries ----------------------------------------------------------------------------------
// The entry loop: counts the entry, collects it when it is the wanted one (adding the current line
// first when addfirst), reads lines until the end test ends the entry or the stream ends.
void rs_readloop(ReadSeqState *st, bool addfirst, EndTest endtest);

// ---- Per-format readers (st->s holds the first non-empty line, except for MSF, Olsen, PAUP) ----
void read_ig(ReadSeqState *st);
void read_genbank(ReadSeqState *st);
void read_nbrf(ReadSeqState *st);
void read_embl(ReadSeqState *st);
void read_gcg(ReadSeqState *st);
void read_strider(ReadSeqState *st);
void read_fitch(ReadSeqState *st);
void read_pearson(ReadSeqState *st);
void read_zuker(ReadSeqState *st);
void read_plain(ReadSeqState *st);
void read_pir(ReadSeqState *st);
void read_msf(ReadSeqState *st);
void read_olsen(ReadSeqState *st);
void read_paup(ReadSeqState *st);
void read_phylip_sequential(ReadSeqState *st);
void read_phylip_interleaved(ReadSeqState *st);

}  // namespace qor

#endif
