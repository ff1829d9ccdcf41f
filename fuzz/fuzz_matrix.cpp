// Fuzz target: a substitution matrix file, read as a query-sequence model reads the file named by
// the matrix parameter, with the protein alphabet or (first byte odd) the DNA alphabet in force.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qor_fuzz::setup();
  if (size < 1) return 0;
  static FILE *log = fopen("/dev/null", "w");
  const uint8_t mode = data[0];
  const std::string path = qor_fuzz::write_input(data + 1, size - 1, "in.mat");
  qor_fuzz::run_one([&] {
    qor::init_alphabet_by_name((mode & 1) ? "DNA" : "protein", 0, "fuzz");
    int32_t **m = qor::read_matrix(path.c_str(), nullptr, nullptr, log);
    if (m != nullptr) qor::double_free(reinterpret_cast<void **>(m), qor::alphabet->fwild_length + 1);
  });
  return 0;
}
