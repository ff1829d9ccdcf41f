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

#endif
