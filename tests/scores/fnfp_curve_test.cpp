// The false-negative / false-positive curve: the overlap walk, the merged points, the
// interpolation (double arithmetic, single storage), the balance point, the minimum error and the
// balance file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scores/scores.h"
#include "sequence/sequence.h"

namespace {

// A sorted score list with the given column1 values (given in ascending order).
qor::SequenceTable *make_list(const std::vector<float> &c1) {
  qor::SequenceTable *t = qor::alloc_sequence_table();
  for (float v : c1) {
    qor::Sequence *s = qor::alloc_sequence(0, 1);
    s->column1 = v;
    qor::add_seq_to_table(t, s);
  }
  return t;
}

struct Point {
  float fn, fp, score;
};

// The curve of a and b as points.
std::vector<Point> points_of(const qor::FnFpCurve *c) {
  std::vector<Point> p;
  for (int o = 0; o <= c->h; o++) p.push_back({c->fn[o], c->fp[o], c->score[o]});
  return p;
}

// The balance file of a curve, as text.
std::string balance_text(const qor::FnFpCurve *c) {
  FILE *f = tmpfile();
  qor::write_fnfp_balance(f, "test.dat", c);
  rewind(f);
  std::string s;
  int ch;
  while ((ch = getc(f)) != EOF) s += static_cast<char>(ch);
  fclose(f);
  return s;
}

struct CurveCase {
  const char *name;
  std::vector<float> a, b;
  int f, g;
  std::vector<Point> points;
  const char *balance;
};

// Interpolated counts are the double-precision formula rounded once to single precision.
float single(double v) {
  return static_cast<float>(v);
}

const std::vector<CurveCase> &curve_cases() {
  static const std::vector<CurveCase> cases = {
      {"overlapping lists",
       {-30, -25, -20, -12, -5},
       {-14, -8, 0, 3, 10},
       3,
       2,
       {{0, 3, 0},
        {1, single(3 - 5.0 / 8), -5},
        {single(1 + 3.0 / 7), 2, -8},
        {2, single(2 - 4.0 / 6), -12},
        {single(2 + 2.0 / 8), 1, -14},
        {3, 0, -20}},
       "FP=FN\t 2.0\npFN\t3\noFN\t2\npFP\t  2.4\noFP\t  1.4\nMER\t2\n"},
      {"separated lists",
       {-30, -25},
       {-10, 0},
       1,
       0,
       {{0, 1, -10}, {1, 0, -25}},
       "FP=FN\t 1.0\npFN\t1\noFN\t0\npFP\t  0.0\noFP\t -1.0\nMER\t0\n"},
      {"one database entry inside the members",
       {-30, -25, -20},
       {-22, -10, 0},
       2,
       1,
       {{0, 2, -10}, {1, single(2 - 10.0 / 12), -20}, {single(1 + 2.0 / 5), 1, -22}, {2, 0, -25}},
       "FP=FN\t 1.4\npFN\t2\noFN\t1\npFP\t  1.2\noFP\t  0.2\nMER\t1\n"},
      // The walk is skipped for a single member: f = 1, g = 0.
      {"single member",
       {5},
       {-10, 0},
       1,
       0,
       {{0, 1, -10}, {1, 0, 5}},
       "FP=FN\t 1.0\npFN\t1\noFN\t0\npFP\t  0.0\noFP\t -1.0\nMER\t0\n"},
      // Tied members at the low end: the merge takes the members down to a(0) and no database
      // entry; the last point repeats a(0) and nothing is read outside the lists.
      {"tied members at the low end",
       {0, 0, 5},
       {0, 9},
       3,
       1,
       {{0, 2, 9}, {1, single(2 - 8.0 / 9), 5}, {2, 0, 0}, {3, 0, 0}, {3, 0, 0}},
       "FP=FN\t 1.0\npFN\t3\noFN\t2\npFP\t  1.1\noFP\t  0.1\nMER\t1\n"},
      // 1 + 2/3 rounds to 1.66666663 from double arithmetic but to 1.66666675 in single arithmetic.
      {"interpolation in double precision",
       {-30, -21, -18},
       {-25, -20, -5},
       3,
       2,
       {{0, 3, -5},
        {1, single(3 - 13.0 / 15), -18},
        {single(1 + 2.0 / 3), 2, -20},
        {2, single(2 - 1.0 / 5), -21},
        {single(2 + 4.0 / 9), 1, -25},
        {3, 0, -30}},
       "FP=FN\t 2.0\npFN\t3\noFN\t2\npFP\t  2.1\noFP\t  1.1\nMER\t2\n"},
      // A member scoring worse than every database entry makes the walk use up B (g = nB): the
      // last database entry's score stands at point 0, nothing is read past the list.
      {"walk uses up the database",
       {-30, -25, 20},
       {-10, 0},
       1,
       2,
       {{0, 3, 0}, {1, 2.5f, 20}, {1, 2, 0}, {1, 0, 20}},
       "FP=FN\t 1.0\npFN\t1\noFN\t0\npFP\t  2.5\noFP\t  1.5\nMER\t0\n"},
  };
  return cases;
}

TEST(FnFpCurve, WalkPointsAndBalanceFile) {
  for (const auto &c : curve_cases()) {
    qor::SequenceTable *a = make_list(c.a), *b = make_list(c.b);
    qor::FnFpCurve *curve = qor::make_fnfp_curve(a, b);
    EXPECT_EQ(curve->f, c.f) << c.name;
    EXPECT_EQ(curve->g, c.g) << c.name;
    EXPECT_EQ(curve->h, c.f + c.g) << c.name;
    std::vector<Point> got = points_of(curve);
    ASSERT_EQ(got.size(), c.points.size()) << c.name;
    for (size_t o = 0; o < got.size(); o++) {
      EXPECT_EQ(got[o].fn, c.points[o].fn) << c.name << " point " << o;
      EXPECT_EQ(got[o].fp, c.points[o].fp) << c.name << " point " << o;
      EXPECT_EQ(got[o].score, c.points[o].score) << c.name << " point " << o;
    }
    EXPECT_EQ(balance_text(curve), c.balance) << c.name;
    qor::free_fnfp_curve(curve);
    qor::free_sequence_table(a);
    qor::free_sequence_table(b);
  }
}

// The minimum error used to start from 9999, so that any larger minimum came out as "MER 9998".
TEST(FnFpCurve, MinimumErrorAboveNineThousandIsNotCapped) {
  std::vector<float> a, b;
  for (int k = 0; k < 30000; k++) {
    a.push_back(static_cast<float>(k));
    b.push_back(static_cast<float>(k) + 0.5f);
  }
  qor::SequenceTable *ta = make_list(a), *tb = make_list(b);
  qor::FnFpCurve *curve = qor::make_fnfp_curve(ta, tb);
  long long least = -1;
  for (int o = 0; o <= curve->h; o++) {
    long long sum = static_cast<long long>(curve->fn[o]) + static_cast<long long>(curve->fp[o]);
    if (least < 0 || sum < least) least = sum;
  }
  ASSERT_GT(least, 9999);
  EXPECT_EQ(qor::fnfp_minimum_error(curve), least);
  std::string text = balance_text(curve);
  EXPECT_NE(text.find("\nMER\t" + std::to_string(least - 1) + "\n"), std::string::npos) << text;
  qor::free_fnfp_curve(curve);
  qor::free_sequence_table(ta);
  qor::free_sequence_table(tb);
}

TEST(FnFpCurve, TruncationTowardZeroWithinRange) {
  EXPECT_EQ(qor::trunc_curve_value(2.9), 2);
  EXPECT_EQ(qor::trunc_curve_value(-2.9), -2);
  EXPECT_EQ(qor::trunc_curve_value(1e30), INT32_MAX);
  EXPECT_EQ(qor::trunc_curve_value(-1e30), INT32_MIN);
  EXPECT_EQ(qor::trunc_curve_value(std::nan("")), 0);
}

TEST(FnFpCurve, EmptyListIsFatal) {
  qor::SequenceTable *empty = make_list({}), *one = make_list({1});
  EXPECT_EXIT(qor::make_fnfp_curve(empty, one), testing::ExitedWithCode(1),
              "^Error: make_fnfp_curve: the member score list is empty\n$");
  EXPECT_EXIT(qor::make_fnfp_curve(one, empty), testing::ExitedWithCode(1),
              "^Error: make_fnfp_curve: the database score list is empty\n$");
  qor::free_sequence_table(empty);
  qor::free_sequence_table(one);
}

}  // namespace
