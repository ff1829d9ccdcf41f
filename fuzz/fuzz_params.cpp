// Fuzz target: a parameter file read as the program frame reads the default-parameter file --
// entries applied to the parameter table (numbers, names, lists, alphabet lines) and model blocks
// read into the models they name. The first byte chooses the entry mode (keep, warn, silent) and
// which model kinds are wanted; the rest is the file.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qor_fuzz::setup();
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  const std::string path = qor_fuzz::write_input(data + 1, size - 1, "in.params");
  qor_fuzz::run_one([&] {
    int kinds = (mode >> 2) & 0xf;
    if (mode & 0x40) kinds |= qor::WANT_ANY_MODEL;
    qor::read_init(path.c_str(), (mode & 3) % 3, kinds);
  });
  return 0;
}
