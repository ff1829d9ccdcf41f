// Score files and score lists: reading score-distribution files into score lists (sequence tables
// whose records carry only an identifier, a length and the score columns), the list operations
// (negation, Z-scores as scores, sorting), and the false-negative/false-positive curve of two lists.
#ifndef QOR_SCORES_SCORES_H
#define QOR_SCORES_SCORES_H

#include <cstdint>
#include <cstdio>

#include "sequence/sequence.h"

namespace qor {

// Size of the line buffer of the score-file reader; a line holds at most SCORE_LINE_BUFFER - 2
// characters before its newline.
constexpr int SCORE_LINE_BUFFER = 100000;

// The zscore of a score line that has no third real (the unset value of the record).
constexpr double SCORE_NO_ZSCORE = 1000000.0;

// Sign of the comparison of c1compare (1: ascending). Initially 1.
extern int32_t sort_direction;

// ---- Score files ------------------------------------------------------------------------------
// Reads a score file into a new table, one record per data line in file order; comment lines
// (';' or '%' first) are skipped and so are, with a warning naming the file and line, lines that
// lack a length and two scores, hold an unusable number, a NUL byte, or do not fit the line buffer.
// A missing file is fatal.
SequenceTable *read_score_file(const char *filename);

// ---- Score lists ------------------------------------------------------------------------------
// With a non-zero flag flips the sign bit of column1 and column2 of every entry; else does nothing.
void negate_score_list(int flag, SequenceTable *table);
// Sets every entry's column1 to its zscore rounded to single precision (beyond the single range: ±inf).
void copy_zscore_to_dist(SequenceTable *table);
// Sorts the entries by column1 with c1compare (equal values end in no defined order).
void sort_score_list(SequenceTable *table);
// qsort comparison of two table entries (Sequence **): sort_direction when the first column1 is
// greater, 0 when equal, otherwise -sort_direction (also when either is not a number); null
// entries sort after all others.
int c1compare(const void *a, const void *b);
// 1 when both lists carry Z-scores to sort on: the first entry of each has a zscore that is neither
// 0 nor SCORE_NO_ZSCORE, and no entry of either lacks one (then a warning naming the file and
// the first such entry is written to stderr and 0 is returned). Empty lists give 0.
int score_lists_use_zscores(const SequenceTable *a, const char *name_a, const SequenceTable *b,
                            const char *name_b);

// ---- False-negative / false-positive curve ------------------------------------------------------
// The curve of two sorted score lists (A: true members, B: database; smaller column1 is better):
// at point o, fn[o] members score at or above score[o] and fp[o] database entries at or below it.
struct FnFpCurve {
  int32_t f;     // members walked from the top of A
  int32_t g;     // database entries walked from the bottom of B
  int32_t h;     // f + g; the points are 0..h
  float *fn;     // h + 1 false-negative counts (interpolated where the point is a database entry)
  float *fp;     // h + 1 false-positive counts (interpolated where the point is a member)
  float *score;  // h + 1 scores of the points, in decreasing order of the merge
};

// Walks the overlap of A and B (both sorted ascending, both non-empty), builds the curve and fills
// its missing counts by linear interpolation in the score. Fatal on an empty list.
FnFpCurve *make_fnfp_curve(const SequenceTable *a, const SequenceTable *b);
// Releases a curve and its arrays; null does nothing.
void free_fnfp_curve(FnFpCurve *curve);
// Truncates a curve value toward zero, clamped to the 32-bit range (NaN gives 0).
int32_t trunc_curve_value(double v);
// The balance point, where FN meets FP: sets *found to 1 and returns the FN value of the point of
// the first crossing that lies nearer the balance; sets *found to 0 (returns 0) when FN never crosses FP.
float fnfp_balance_point(const FnFpCurve *curve, int *found);
// Minimum over the points of trunc(FN) + trunc(FP).
int64_t fnfp_minimum_error(const FnFpCurve *curve);
// Writes the six lines of the balance file (the FP=FN line only when there is a crossing);
// fatal when the stream reports a write error. Does not close the stream.
void write_fnfp_balance(FILE *out, const char *name, const FnFpCurve *curve);

}  // namespace qor

#endif
