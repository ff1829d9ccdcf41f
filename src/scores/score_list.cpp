// Score lists: negation, Z-scores taken as the scores, sorting on the first score column, and the
// test whether two lists carry Z-scores.
//
// Sections: negation and Z-scores | sorting | Z-score check
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "scores/scores.h"
#include "util/util.h"

namespace qor {

int32_t sort_direction = 1;

// ---- Negation and Z-scores --------------------------------------------------------------------

// Flips the sign bit of a single-precision value (exact: twice gives the value back, 0.0 gives -0.0).
static float flip_sign_bit(float v) {
  uint32_t bits;
  memcpy(&bits, &v, sizeof bits);
  bits ^= UINT32_C(0x80000000);
  memcpy(&v, &bits, sizeof v);
  return v;
}

// negate_score_list: with a non-zero flag, flips the sign bit of column1 and column2 of every
//   entry (null entries are passed over); with flag 0 (or a null table) does nothing.
void negate_score_list(int flag, SequenceTable *table) {
  if (flag == 0 || table == nullptr) return;
  for (int i = 0; i < table->count; i++) {
    Sequence *seq = table->items[i];
    if (seq == nullptr) continue;
    seq->column1 = flip_sign_bit(seq->column1);
    seq->column2 = flip_sign_bit(seq->column2);
  }
}

// copy_zscore_to_dist: every entry's column1 becomes its zscore rounded to single precision.
//   A zscore beyond the single-precision range becomes an infinity of its sign.
void copy_zscore_to_dist(SequenceTable *table) {
  if (table == nullptr) return;
  for (int i = 0; i < table->count; i++) {
    Sequence *seq = table->items[i];
    if (seq == nullptr) continue;
    double z = seq->zscore;
    if (std::isfinite(z) && std::fabs(z) > FLT_MAX)
      seq->column1 = static_cast<float>(std::copysign(HUGE_VAL, z));
    else
      seq->column1 = static_cast<float>(z);
  }
}

// ---- Sorting ----------------------------------------------------------------------------------

// c1compare: order of two table entries (each a Sequence **) by column1, scaled by sort_direction:
//   sort_direction when the first is greater, 0 when equal, -sort_direction otherwise (also when
//   either value is not a number). A null entry sorts after every record.
int c1compare(const void *a, const void *b) {
  const Sequence *x = *static_cast<Sequence *const *>(a);
  const Sequence *y = *static_cast<Sequence *const *>(b);
  if (x == nullptr || y == nullptr) return (x == nullptr) - (y == nullptr);
  if (x->column1 > y->column1) return sort_direction;
  if (x->column1 == y->column1) return 0;
  return -sort_direction;
}

// sort_score_list: sorts the entries by column1 with c1compare (runtime quicksort; entries with
//   equal column1 end in no defined order).
void sort_score_list(SequenceTable *table) {
  if (table == nullptr || table->count < 2) return;
  qsort(table->items, static_cast<size_t>(table->count), sizeof(Sequence *), c1compare);
}

// ---- Z-score check ----------------------------------------------------------------------------

// Index of the first entry of table without a Z-score (zscore at the unset marker), or -1.
static int first_without_zscore(const SequenceTable *table) {
  for (int i = 0; i < table->count; i++)
    if (table->items[i] != nullptr && table->items[i]->zscore == SCORE_NO_ZSCORE) return i;
  return -1;
}

// score_lists_use_zscores: 1 when the lists' Z-scores can serve as their scores. The first entry of
//   each list must hold a zscore other than 0 and other than SCORE_NO_ZSCORE (the value of a line
//   without a third real); when they do but some later entry has none, a warning naming the file
//   and that entry is written to stderr and 0 is returned, so that no entry is scored by the marker.
int score_lists_use_zscores(const SequenceTable *a, const char *name_a, const SequenceTable *b,
                            const char *name_b) {
  if (a == nullptr || b == nullptr || a->count < 1 || b->count < 1) return 0;
  const Sequence *fa = a->items[0], *fb = b->items[0];
  if (fa == nullptr || fb == nullptr) return 0;
  if (fa->zscore == 0.0 || fb->zscore == 0.0) return 0;
  if (fa->zscore == SCORE_NO_ZSCORE || fb->zscore == SCORE_NO_ZSCORE) return 0;
  const SequenceTable *lists[2] = {a, b};
  const char *names[2] = {name_a, name_b};
  for (int k = 0; k < 2; k++) {
    int i = first_without_zscore(lists[k]);
    if (i >= 0) {
      const char *id = lists[k]->items[i]->id;
      fprintf(stderr, "Warning: %s (%s): score line without a Z-score; the ordinary scores are used.\n",
              names[k] != nullptr ? names[k] : "", id != nullptr ? id : "");
      return 0;
    }
  }
  return 1;
}

}  // namespace qor
