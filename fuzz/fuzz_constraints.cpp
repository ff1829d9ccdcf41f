// Fuzz target: a constraint file as the programs read the files named by the constraints
// parameter -- read into a new table (labelled ranges required unless the first byte is odd), then
// written back as a constraint file.
#include "constraints/constraints.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qor_fuzz::setup();
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  std::string path = qor_fuzz::write_input(data + 1, size - 1, "in.cons");
  const std::string out = qor_fuzz::work_dir() + "/out.cons";
  qor_fuzz::run_one([&] {
    char *names[] = {&path[0]};
    qor::ConstraintTable *table = qor::read_constraints_table(names, 1, mode & 1);
    qor::write_constraints_table(table, out.c_str());
    qor::free_constraint_table(table);
  });
  return 0;
}
