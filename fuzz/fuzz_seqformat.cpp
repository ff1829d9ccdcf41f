// Fuzz target: the multi-format reader. The format detector runs on the file, then the reader
// reads the file in the format the first byte names (0: the detected one; 1..18 the format codes),
// entry after entry as a program reads a database, and once more only counting the entries.
#include "fuzz_common.h"
#include "seqformat/seqformat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qor_fuzz::setup();
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  const std::string path = qor_fuzz::write_input(data + 1, size - 1, "in.seq");
  qor_fuzz::run_one([&] {
    FILE *f = qor::open_read(path.c_str(), qor::OPEN_REQUIRED);
    int32_t skip = 0;
    int16_t err = 0;
    int16_t format = qor::seqFileFormatFp(f, &skip, &err);
    qor::close_read(f);
    if (mode % 19 != 0) {
      format = static_cast<int16_t>(mode % 19);
      skip = 0;
    }
    if (format <= 0) return;
    std::string idline(qor::READSEQ_ID_BUFFER, '\0');
    for (int16_t which = 1; which <= 20; which++) {
      int32_t length = 0;
      int16_t nseq = 0;
      err = 0;
      char *text = qor::readSeq(which, path.c_str(), skip, format, &length, &nseq, &err, &idline[0]);
      if (text != nullptr && static_cast<int32_t>(strlen(text)) != length) {
        fprintf(stderr, "fuzz: entry %d: length %d but text of %zu characters\n", which, length,
                strlen(text));
        abort();
      }
      free(text);
      if (text == nullptr) break;
    }
    int32_t length = 0;
    int16_t nseq = 0;
    err = 0;
    free(qor::readSeq(-1, path.c_str(), skip, format, &length, &nseq, &err, nullptr));
  });
  return 0;
}
