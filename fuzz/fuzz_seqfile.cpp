// Fuzz target: a sequence database as the programs read it -- format detection (FASTA, NBRF,
// models, HSSP, the further formats), the alphabet guess, and every entry of every track read and
// converted. The first byte chooses the file name (plain or ".mod") and the alphabet (guessed from
// the file, protein, DNA, a numeric alphabet); the rest is the file.
#include "fuzz_common.h"
#include "seqfile/seqfile.h"
#include "sequence/sequence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qor_fuzz::setup();
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  const std::string path = qor_fuzz::write_input(data + 1, size - 1, (mode & 4) ? "db.mod" : "db.seq");
  qor_fuzz::run_one([&] {
    switch (mode & 3) {
      case 0:
        break;  // guessed from the file
      case 1:
        qor::init_alphabet_by_name("protein", 0, "fuzz");
        break;
      case 2:
        qor::init_alphabet_by_name("DNA", 0, "fuzz");
        break;
      case 3: {
        char spec[8];
        snprintf(spec, sizeof spec, "%d", 3 + (mode >> 3));
        qor::init_alphabet_by_def("numbers", spec, 0, "fuzz");
        break;
      }
    }
    qor::SequenceTable *table = qor::alloc_sequence_table();
    qor::read_sequences(path.c_str(), nullptr, 200, table, 1);
    qor::free_sequence_table(table);
  });
  return 0;
}
