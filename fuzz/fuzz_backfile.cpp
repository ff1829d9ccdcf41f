// Fuzz target: an alphabet background file, read as the program frame reads one named by
// alphbackfile (after the alphabet of the run is set: protein, DNA or a user-defined one by the
// first byte).
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qor_fuzz::setup();
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  const std::string path = qor_fuzz::write_input(data + 1, size - 1, "in.back");
  qor_fuzz::run_one([&] {
    if ((mode & 3) == 1) qor::init_alphabet_by_name("protein", 0, "fuzz");
    if ((mode & 3) == 2) qor::init_alphabet_by_name("DNA", 0, "fuzz");
    if ((mode & 3) == 3) qor::init_alphabet_by_def("ABC", "ABCX", 0, "fuzz");
    qor_fuzz::Stream f(qor::open_read(path.c_str(), qor::OPEN_REQUIRED));
    qor::process_alphabet_backfile(f.f, path.c_str());
  });
  return 0;
}
