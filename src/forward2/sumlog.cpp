// The log-sum table: SUMLOG[d] is the cost correction for adding two probabilities whose costs
// differ by d (d = 0..7600); log05 marks it built.
#include <cmath>

#include "forward2/forward2.h"

namespace qor {

int32_t SUMLOG[SUMLOG_MAX + 1];
int32_t log05 = 0;
PosConstraint noPosConstraint = {-1, 80000, 80000, 0};

// cost(p) of the cost tables: 80000 at or below 2.0612e-9, else the integer part of 0.5 - 1000 ln p
// in extended precision.
static int32_t prob_cost(long double p) {
  if (p <= 2.0612e-9L) return 80000;
  return static_cast<int32_t>(0.5L - 1000.0L * logl(p));
}

void build_sumlog() {
  for (int d = 0; d <= SUMLOG_MAX; d++) {
    float e = static_cast<float>(exp(-d / 1000.0));
    float t = static_cast<float>(1.0 / (1.0 + static_cast<double>(e)));
    SUMLOG[d] = prob_cost(t);
  }
  log05 = prob_cost(0.5L);
}

}  // namespace qor
