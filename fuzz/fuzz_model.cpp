// Fuzz target: a model file as a program loads it -- the first block read (text or binary body)
// and, when one was read, the model prepared for alignment (assembly, FIMs, insert methods, local
// mode, normalisation, cost tables). The first byte chooses the preparation settings (FIMs at the
// ends, the local mode, the FIM and insert methods) and the alphabet in force before the file is
// read (none, so that the file's alphabet line sets it, protein or DNA); the rest is the file.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qor_fuzz::setup();
  if (size < 1) return 0;
  static FILE *log = fopen("/dev/null", "w");
  const uint8_t mode = data[0];
  const std::string path = qor_fuzz::write_input(data + 1, size - 1, "in.mod");
  qor_fuzz::run_one([&] {
    if ((mode & 3) == 1) qor::init_alphabet_by_name("protein", 0, "fuzz");
    if ((mode & 3) == 2) qor::init_alphabet_by_name("DNA", 0, "fuzz");
    qor::RModel *rm = nullptr;
    if (qor::read_first_rmodel(path.c_str(), "initial model", 0, &rm, 1) != 1 || rm == nullptr) {
      qor::free_rmodel(&rm);
      return;
    }
    qor::Score.FIM_method_score = (mode >> 4) % 10;
    qor::Score.Insert_method_score = ((mode >> 2) & 3) * 2;
    qor::Model **models = nullptr;
    float *coefficients = nullptr;
    int count =
        qor::read_and_process_track_models(&rm, path.c_str(), &models, &coefficients, nullptr, nullptr,
                                           (mode >> 2) & 1, (mode >> 5) & 3, &qor::Score, log, 0, 1);
    qor::free_track_models(&models, &coefficients, count);
    qor::free_rmodel(&rm);
  });
  return 0;
}
