// Fuzz target: a score file as fnfpbal reads it -- read into a score list, Z-scores taken when
// present, sorted, and (when it holds entries) balanced against itself.
#include "fuzz_common.h"
#include "scores/scores.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qor_fuzz::setup();
  static FILE *sink = fopen("/dev/null", "w");
  const std::string path = qor_fuzz::write_input(data, size, "in.dist");
  qor_fuzz::run_one([&] {
    qor::SequenceTable *a = qor::read_score_file(path.c_str());
    qor::SequenceTable *b = qor::read_score_file(path.c_str());
    if (qor::score_lists_use_zscores(a, "a", b, "b")) {
      qor::copy_zscore_to_dist(a);
      qor::copy_zscore_to_dist(b);
      qor::negate_score_list(1, a);
      qor::negate_score_list(1, b);
    }
    qor::sort_score_list(a);
    qor::sort_score_list(b);
    if (a->count > 0 && b->count > 0) {
      qor::FnFpCurve *curve = qor::make_fnfp_curve(a, b);
      qor::write_fnfp_balance(sink, "in.dat", curve);
      qor::free_fnfp_curve(curve);
    }
    qor::free_sequence_table(a);
    qor::free_sequence_table(b);
  });
  return 0;
}
