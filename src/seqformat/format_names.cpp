// Format names and descriptions, and the reader's error messages.
//
// Sections: tables | names | error messages
#include <cstdio>

#include "seqformat/seqformat.h"

namespace qor {

// ---- Tables -----------------------------------------------------------------------------------

const SeqFormatName formname[NUM_FORMAT_NAMES] = {
    {"ig", 1},
    {"stanford", 1},
    {"genbank", 2},
    {"gb", 2},
    {"nbrf", 3},
    {"embl", 4},
    {"gcg", 5},
    {"uwgcg", 5},
    {"dnastrider", 6},
    {"strider", 6},
    {"fitch", 7},
    {"pearson", 8},
    {"fasta", 8},
    {"zuker", 9},
    {"olsen", 10},
    {"phylip", 12},
    {"phylip3.2", 11},
    {"phylip3.3", 12},
    {"phylip3.4", 12},
    {"phylip-interleaved", 12},
    {"phylip-sequential", 11},
    {"plain", 13},
    {"raw", 13},
    {"pir", 14},
    {"codata", 14},
    {"asn.1", 16},
    {"msf", 15},
    {"paup", 17},
    {"nexus", 17},
    {"pretty", 18},
    {"HSSP", 19},
};

const char *const formats[NUM_FORMAT_DESCRIPTIONS] = {
    " 1. IG/Stanford",
    " 2. GenBank/GB",
    " 3. NBRF",
    " 4. EMBL",
    " 5. GCG",
    " 6. DNAStrider",
    " 7. Fitch",
    " 8. Pearson/Fasta",
    " 9. Zuker (in-only)",
    "10. Olsen (in-only)",
    "11. Phylip3.2",
    "12. Phylip",
    "13. Plain/Raw",
    "14. PIR/CODATA",
    "15. MSF",
    "16. ASN.1",
    "17. PAUP/NEXUS",
    "18. Pretty (out-only)",
};

// ---- Names ------------------------------------------------------------------------------------

const char *SeqFormatString(int16_t format) {
  for (const SeqFormatName &row : formname)
    if (row.code == format) return row.name;
  return "unknown";
}

// ---- Error messages ---------------------------------------------------------------------------

int readSeqErr(int16_t err, const char *filename) {
  if (err == 0) return 0;
  const char *name = filename != nullptr ? filename : "";
  switch (err) {
    case -1:
      fprintf(stderr, "ReadSeq (file %s): File not found\n", name);
      break;
    case -2:
      fprintf(stderr, "ReadSeq (file %s): No data in file.\n", name);
      break;
    case -3:
      fprintf(stderr, "ReadSeq (file %s): Out of storage memory. Sequence truncated.\n", name);
      break;
    case -4:
      fprintf(stderr, "ReadSeq (file %s): Specified item not in file.\n", name);
      break;
    case -5:
      fprintf(stderr, "ReadSeq (file %s): Warning: This format permits only 1 sequence per file.\n", name);
      break;
    case -6:
      fprintf(stderr,
              "ReadSeq (file %s): This format requires equal length sequences.\nSequence truncated or padded "
              "to fit.\n",
              name);
      break;
    case -7:
      fprintf(stderr, "ReadSeq (file %s): Can't open output file.\n", name);
      break;
    case -8:
      fprintf(stderr, "ReadSeq (file %s): Error: this format is unknown to me.\n", name);
      break;
    case -10:
      fprintf(stderr, "ReadSeq (file %s): Error in ASN.1 sequence routines.\n", name);
      break;
    default:
      fprintf(stderr, "ReadSeq (file %s): readSeq error = %d\n", name, err);
      break;
  }
  return 1;
}

}  // namespace qor
