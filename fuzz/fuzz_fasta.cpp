// Fuzz target: the FASTA/A2M reader on an open file of that format, as a database track is read
// (read_sequence_track, then the letter conversion), for letter and numeric alphabets. The first
// byte chooses the alphabet (protein, DNA, RNA, or a numeric one of 3 to 66 values) and whether
// annotations are kept; the rest is the file.
#include "fuzz_common.h"
#include "seqfile/seqfile.h"
#include "sequence/sequence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qor_fuzz::setup();
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  const std::string path = qor_fuzz::write_input(data + 1, size - 1, "db.fa");
  qor_fuzz::run_one([&] {
    static const char *const names[] = {"protein", "DNA", "RNA"};
    if ((mode & 3) < 3) {
      qor::init_alphabet_by_name(names[mode & 3], 0, "fuzz");
    } else {
      char spec[8];
      snprintf(spec, sizeof spec, "%d", 3 + (mode >> 2));
      qor::init_alphabet_by_def("numbers", spec, 0, "fuzz");
    }
    qor::keepannotations = (mode & 4) ? 1 : 0;
    qor::OpenSeqFile *file =
        static_cast<qor::OpenSeqFile *>(qor::mem_alloc(static_cast<int>(sizeof(qor::OpenSeqFile))));
    file->name = static_cast<char *>(qor::mem_alloc(static_cast<int>(path.size()) + 1));
    memcpy(file->name, path.c_str(), path.size() + 1);
    file->format = qor::SEQFORMAT_PEARSON;
    file->stream = qor::open_read(path.c_str(), qor::OPEN_REQUIRED);
    for (int i = 0; i < 500; i++) {
      qor::Sequence *seq = qor::alloc_sequence(0, 1);
      if (!qor::read_sequence_track(file, seq, 0)) {
        qor::free_sequence(seq);
        break;
      }
      qor::convertseq(seq);
      qor::free_sequence(seq);
    }
    qor::close_sequence_file(file);
  });
  return 0;
}
