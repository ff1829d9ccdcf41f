// Fuzz target: the HSSP reader as hssptpl runs it -- the file recognised, its alignment read and
// the structure template written.
#include "fuzz_common.h"
#include "hssp/hssp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qor_fuzz::setup();
  const std::string path = qor_fuzz::write_input(data, size, "in.hssp");
  const std::string run = qor_fuzz::work_dir() + "/run";
  qor_fuzz::run_one([&] {
    if (!qor::isHSSP(path.c_str())) return;
    qor_fuzz::Stream stream(qor::open_read(path.c_str(), qor::OPEN_REQUIRED));
    int32_t nalign = 0;
    char **seqs = qor::read_HSSP_named(stream.f, &nalign, 1, run.c_str(), path.c_str());
    for (int32_t k = 0; k < nalign; k++) free(seqs[k]);
    free(seqs);
  });
  return 0;
}
