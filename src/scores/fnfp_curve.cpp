// The false-negative / false-positive curve of two sorted score lists: the walk over the region
// where they overlap, the merged curve, its interpolation, the balance point (FN = FP), the
// minimum error and the balance file.
//
// Sections: helpers | the overlap walk and the curve | interpolation | balance and minimum error |
//           the balance file
#include <cfloat>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "scores/scores.h"
#include "util/util.h"

namespace qor {

// ---- Helpers ----------------------------------------------------------------------------------

// The value -1 in fn or fp marks a count not filled in yet.
constexpr float CURVE_UNFILLED = -1.0f;

// column1 of entry k of a sorted list.
static double score_at(const SequenceTable *list, int k) {
  return list->items[k]->column1;
}

// A double stored in single precision; values beyond the single range are held at its limits.
static float to_single(double v) {
  if (v > FLT_MAX) return FLT_MAX;
  if (v < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(v);
}

// trunc_curve_value: v truncated toward zero, held within the 32-bit range; NaN gives 0.
int32_t trunc_curve_value(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);  // toward zero
}

// Checks that a list can be walked: present, non-empty, without null entries.
static void check_score_list(const SequenceTable *list, const char *which) {
  if (list == nullptr || list->count < 1) error("make_fnfp_curve: the %s score list is empty", which);
  for (int k = 0; k < list->count; k++)
    if (list->items[k] == nullptr) error("make_fnfp_curve: the %s score list has a removed entry", which);
}

// ---- The overlap walk and the curve -----------------------------------------------------------

// Fills the missing count of point o of values (fn or fp) by linear interpolation in the score
// between the nearest filled points below and above o (values filled earlier count).
static void fill_curve_value(float *values, const float *score, int o, int h) {
  int lo = o - 1, hi = o + 1;
  while (lo > 0 && values[lo] == CURVE_UNFILLED) lo--;
  while (hi < h && values[hi] == CURVE_UNFILLED) hi++;
  // Point 0 and point h always hold both counts.
  const double v_lo = values[lo], v_hi = values[hi];
  const double s_lo = score[lo], s_hi = score[hi], s_o = score[o];
  double v;
  if (s_lo != s_hi)
    v = v_lo - (v_lo - v_hi) * (s_lo - s_o) / (s_lo - s_hi);
  else
    v = (v_lo + v_hi) * 0.5;
  values[o] = to_single(v);
}

// make_fnfp_curve: the interpolated curve of member list a and database list b, both sorted by
//   column1 ascending and non-empty (smaller scores are better).
//   Walk: f counts members from the top of A, g database entries from the bottom of B, while the
//   member a(nA-f) still scores at or above b(0). Point 0 is (FN 0, FP g+1, score b(g)) -- or the
//   score of the last database entry when the walk used up B -- and point h = f + g is
//   (FN f, FP 0, score a(nA-f)); the points between merge A from its top and B from b(g-1) down,
//   ties to A, each holding its own count and an interpolated count of the other list.
//   Fatal: an empty list or a list with a removed (null) entry.
FnFpCurve *make_fnfp_curve(const SequenceTable *a, const SequenceTable *b) {
  check_score_list(a, "member");
  check_score_list(b, "database");
  const int nA = a->count, nB = b->count;

  // Overlap walk. The loop condition compares with b(0), the first database entry.
  int f = 1, g = 0;
  if (nA >= 2 && nB >= 1 && score_at(a, nA - 1) >= score_at(b, 0)) {
    do {
      if (score_at(a, nA - f) <= score_at(b, g))
        f++;
      else
        g++;
      if (f >= nA || g >= nB) break;
    } while (score_at(a, nA - f) >= score_at(b, 0));
  }
  if (static_cast<int64_t>(f) + g >= (INT_MAX - 8) / static_cast<int64_t>(sizeof(float)) - 1)
    error("make_fnfp_curve: %d + %d curve points are too many", f, g);
  const int h = f + g;

  FnFpCurve *curve = static_cast<FnFpCurve *>(mem_alloc(static_cast<int>(sizeof(FnFpCurve))));
  curve->f = f;
  curve->g = g;
  curve->h = h;
  const int bytes = static_cast<int>(sizeof(float)) * (h + 1);
  curve->fn = static_cast<float *>(mem_alloc(bytes));
  curve->fp = static_cast<float *>(mem_alloc(bytes));
  curve->score = static_cast<float *>(mem_alloc(bytes));
  float *fn = curve->fn, *fp = curve->fp, *s = curve->score;

  // The two ends. When the walk used up B (g = nB) there is no b(g): the last entry stands in.
  fn[0] = 0.0f;
  fp[0] = static_cast<float>(g + 1);
  s[0] = static_cast<float>(score_at(b, g < nB ? g : nB - 1));
  fn[h] = static_cast<float>(f);
  fp[h] = 0.0f;
  s[h] = static_cast<float>(score_at(a, nA - f));

  // The middle, in decreasing score order: i members taken from the top of A, n database entries
  // still to take below b(n).
  int i = 0, n = g;
  for (int o = 1; o < h; o++) {
    bool from_a = n < 1 || (i < nA && score_at(a, nA - 1 - i) >= score_at(b, n - 1));
    if (from_a) {
      if (i >= nA) error("make_fnfp_curve: internal error, member list exhausted");
      i++;
      fn[o] = static_cast<float>(i);
      fp[o] = CURVE_UNFILLED;
      s[o] = static_cast<float>(score_at(a, nA - i));
    } else {
      n--;
      fn[o] = CURVE_UNFILLED;
      fp[o] = static_cast<float>(n + 1);
      s[o] = static_cast<float>(score_at(b, n));
    }
  }

  // ---- Interpolation: every middle point gets the count it lacks, in increasing order ----------
  for (int o = 1; o < h; o++) {
    if (fn[o] == CURVE_UNFILLED)
      fill_curve_value(fn, s, o, h);
    else if (fp[o] == CURVE_UNFILLED)
      fill_curve_value(fp, s, o, h);
  }
  return curve;
}

// free_fnfp_curve: releases the three arrays and the record; null does nothing.
void free_fnfp_curve(FnFpCurve *curve) {
  if (curve == nullptr) return;
  free(curve->fn);
  free(curve->fp);
  free(curve->score);
  free(curve);
}

// ---- Balance and minimum error ----------------------------------------------------------------

// fnfp_balance_point: the FN value where the curve crosses FN = FP. From the side point 0 lies on
//   (FN <= FP, or FN > FP), the first point o on the other side is found; of o - 1 and o, the one
//   whose truncated |FN - FP| is smaller (o on a tie) gives the value. *found is 0 without a crossing.
float fnfp_balance_point(const FnFpCurve *curve, int *found) {
  const float *fn = curve->fn, *fp = curve->fp;
  const bool fn_below = fn[0] <= fp[0];
  *found = 0;
  for (int o = 1; o <= curve->h; o++) {
    bool crossed = fn_below ? fn[o] > fp[o] : fn[o] < fp[o];
    if (!crossed) continue;
    int64_t d1 =
        std::llabs(static_cast<long long>(trunc_curve_value(static_cast<double>(fn[o - 1]) - fp[o - 1])));
    int64_t d2 = std::llabs(static_cast<long long>(trunc_curve_value(static_cast<double>(fn[o]) - fp[o])));
    *found = 1;
    return d1 < d2 ? fn[o - 1] : fn[o];
  }
  return 0.0f;
}

// fnfp_minimum_error: the smallest trunc(FN) + trunc(FP) over all points of the curve.
int64_t fnfp_minimum_error(const FnFpCurve *curve) {
  int64_t m = INT64_MAX;
  for (int o = 0; o <= curve->h; o++) {
    int64_t sum = static_cast<int64_t>(trunc_curve_value(curve->fn[o])) + trunc_curve_value(curve->fp[o]);
    if (sum < m) m = sum;
  }
  return m;
}

// ---- The balance file -------------------------------------------------------------------------

// A count for a "%d" field, held within the 32-bit range.
static int as_int(int64_t v) {
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

// write_fnfp_balance: the balance file of a curve: "FP=FN" (the balance point; only when FN
//   crosses FP), "pFN" (FN at the low end, truncated) and "oFN" (that minus 1), "pFP" (FP at the
//   second point) and "oFP" (that minus 1.0), "MER" (the minimum error minus 1).
//   Fatal: a write error on out ("Could not write %s").
void write_fnfp_balance(FILE *out, const char *name, const FnFpCurve *curve) {
  int found = 0;
  float balance = fnfp_balance_point(curve, &found);
  if (found) fprintf(out, "FP=FN\t%4.1f\n", static_cast<double>(balance));
  const int64_t fn_end = trunc_curve_value(curve->fn[curve->h]);
  fprintf(out, "pFN\t%d\n", as_int(fn_end));
  fprintf(out, "oFN\t%d\n", as_int(fn_end - 1));
  fprintf(out, "pFP\t%5.1f\n", static_cast<double>(curve->fp[1]));
  fprintf(out, "oFP\t%5.1f\n", static_cast<double>(curve->fp[1]) - 1.0);
  fprintf(out, "MER\t%d\n", as_int(fnfp_minimum_error(curve) - 1));
  if (fflush(out) != 0 || ferror(out))
    error("Could not write %s", name != nullptr ? name : "the balance file");
}

}  // namespace qor
