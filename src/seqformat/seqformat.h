// The multi-format sequence reader: format names and descriptions, format detection from a file's
// first lines, and reading one entry (its sequence characters and its id line) of a file in one of
// the further sequence formats (IG, GenBank, NBRF, EMBL, GCG, Strider, Fitch, Pearson, Zuker, Olsen,
// Phylip, Plain, PIR, MSF, PAUP/NEXUS).
#ifndef QOR_SEQFORMAT_SEQFORMAT_H
#define QOR_SEQFORMAT_SEQFORMAT_H

#include <cstdint>
#include <cstdio>

namespace qor {

// ---- Format codes -----------------------------------------------------------------------------
constexpr int16_t SEQFMT_UNKNOWN = 0;
constexpr int16_t SEQFMT_IG = 1;
constexpr int16_t SEQFMT_GENBANK = 2;
constexpr int16_t SEQFMT_NBRF = 3;
constexpr int16_t SEQFMT_EMBL = 4;
constexpr int16_t SEQFMT_GCG = 5;
constexpr int16_t SEQFMT_STRIDER = 6;
constexpr int16_t SEQFMT_FITCH = 7;
constexpr int16_t SEQFMT_PEARSON = 8;
constexpr int16_t SEQFMT_ZUKER = 9;
constexpr int16_t SEQFMT_OLSEN = 10;
constexpr int16_t SEQFMT_PHYLIP_SEQUENTIAL = 11;
constexpr int16_t SEQFMT_PHYLIP = 12;  // interleaved
constexpr int16_t SEQFMT_PLAIN = 13;
constexpr int16_t SEQFMT_PIR = 14;
constexpr int16_t SEQFMT_MSF = 15;
constexpr int16_t SEQFMT_ASN1 = 16;
constexpr int16_t SEQFMT_PAUP = 17;
constexpr int16_t SEQFMT_PRETTY = 18;
constexpr int16_t SEQFMT_HSSP = 19;
constexpr int16_t SEQFMT_ASN1_ENTRY = 51;  // detected ASN.1 holding a Seq-entry
constexpr int16_t SEQFMT_ASN1_SET = 52;    // detected ASN.1 holding a Bioseq-set

// ---- Error codes (readSeqErr prints their messages) -------------------------------------------
constexpr int16_t READSEQ_FILE_NOT_FOUND = -1;
constexpr int16_t READSEQ_NO_DATA = -2;
constexpr int16_t READSEQ_OUT_OF_MEMORY = -3;  // the sequence was truncated, its text is still given
constexpr int16_t READSEQ_ITEM_NOT_FOUND = -4;
constexpr int16_t READSEQ_ONE_PER_FILE = -5;
constexpr int16_t READSEQ_EQUAL_LENGTH = -6;
constexpr int16_t READSEQ_CANT_OPEN_OUTPUT = -7;
constexpr int16_t READSEQ_UNKNOWN_FORMAT = -8;
constexpr int16_t READSEQ_ASN1_ERROR = -10;

// ---- Limits -----------------------------------------------------------------------------------
// Size of the reader's line buffer and of the caller's push-back slot given to readSeqFp: a line
// holds at most READSEQ_LINE_BUFFER-1 characters; a longer line is read in pieces of that size.
constexpr int READSEQ_LINE_BUFFER = 100000;
// Size of the id-line buffer a caller passes (an id line is at most one line long).
constexpr int READSEQ_ID_BUFFER = READSEQ_LINE_BUFFER;
// Initial size of a sequence text and the step by which it grows.
constexpr int READSEQ_SEQ_START = 500001;
constexpr int READSEQ_SEQ_STEP = 500000;
// Lines format detection reads at most (one more for each line holding "): ").
constexpr int READSEQ_DETECT_LINES = 500;

// ---- Name and description tables --------------------------------------------------------------
struct SeqFormatName {
  const char *name;
  int16_t code;
};
constexpr int NUM_FORMAT_NAMES = 31;
constexpr int NUM_FORMAT_DESCRIPTIONS = 18;
extern const SeqFormatName formname[NUM_FORMAT_NAMES];      // names to codes, searched in order
extern const char *const formats[NUM_FORMAT_DESCRIPTIONS];  // " 1. IG/Stanford" ... "18. Pretty (out-only)"

// The first name of code in formname, or "unknown".
const char *SeqFormatString(int16_t format);

// Prints the message of error code err (naming filename) on stderr; returns 1 when err is an
// error, 0 for err 0 (nothing printed).
int readSeqErr(int16_t err, const char *filename);

// ---- Detection --------------------------------------------------------------------------------
// Detects the format of the stream from its first lines: returns the format code (0 unknown) and
// sets *skiplines to the number of mail-header lines before the data. A null stream sets *error
// to -1; otherwise *error is 0. The stream is left at an unspecified position.
int16_t seqFileFormatFp(FILE *stream, int32_t *skiplines, int16_t *error);

// ---- Reading ----------------------------------------------------------------------------------
// Reads entry whichEntry (0 or less is taken as 1; -1 only counts the entries, giving no text) of
// the named file in the given format, skipping skiplines lines first. Returns the new sequence text
// (0-terminated, released with free()) and sets *seqlen, *nseq (entries seen), *error and the id
// line in seqid (READSEQ_ID_BUFFER bytes; may be null). On an error other than -3 returns null.
char *readSeq(int16_t whichEntry, const char *filename, int32_t skiplines, int16_t format, int32_t *seqlen,
              int16_t *nseq, int16_t *error, char *seqid);

// As readSeq, on an open stream. linebuf (READSEQ_LINE_BUFFER bytes, may be null) is the push-back
// slot between calls: a line read beyond the entry is left there (empty when none) and read first by
// the next call. MSF, Olsen and PAUP entries are read by number from the start of the stream (which
// must be rewindable), as are Phylip entries after the first: a caller reads these formats by
// numbering its calls 1, 2, 3, ...
char *readSeqFp(int16_t whichEntry, FILE *stream, int32_t skiplines, int16_t format, int32_t *seqlen,
                int16_t *nseq, int16_t *error, char *seqid, char *linebuf);

}  // namespace qor

#endif
