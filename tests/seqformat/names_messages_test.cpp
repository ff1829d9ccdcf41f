// Format names and descriptions, the reader's error messages, and the formats it cannot read.
#include <gtest/gtest.h>

#include <string>

#include "seqformat/fixture_util.h"
#include "seqformat/seqformat.h"

namespace {

TEST(FormatNames, EveryCodeHasItsFirstName) {
  const char *expected[] = {"unknown", "ig",      "genbank", "nbrf",  "embl",      "gcg",    "dnastrider",
                            "fitch",   "pearson", "zuker",   "olsen", "phylip3.2", "phylip", "plain",
                            "pir",     "msf",     "asn.1",   "paup",  "pretty",    "HSSP",   "unknown"};
  for (int code = 0; code <= 20; code++)
    EXPECT_STREQ(qor::SeqFormatString(static_cast<int16_t>(code)), expected[code]) << code;
  EXPECT_STREQ(qor::SeqFormatString(51), "unknown");
  EXPECT_STREQ(qor::SeqFormatString(-1), "unknown");
}

TEST(FormatNames, NameTableMapsAliases) {
  struct Alias {
    const char *name;
    int code;
  } aliases[] = {{"stanford", 1},
                 {"gb", 2},
                 {"uwgcg", 5},
                 {"strider", 6},
                 {"fasta", 8},
                 {"phylip3.3", 12},
                 {"phylip3.4", 12},
                 {"phylip-interleaved", 12},
                 {"phylip-sequential", 11},
                 {"raw", 13},
                 {"codata", 14},
                 {"nexus", 17}};
  for (const auto &a : aliases) {
    bool found = false;
    for (const auto &row : qor::formname)
      if (std::string(row.name) == a.name) {
        EXPECT_EQ(row.code, a.code) << a.name;
        found = true;
      }
    EXPECT_TRUE(found) << a.name;
  }
}

TEST(FormatNames, DescriptionTable) {
  EXPECT_STREQ(qor::formats[0], " 1. IG/Stanford");
  EXPECT_STREQ(qor::formats[8], " 9. Zuker (in-only)");
  EXPECT_STREQ(qor::formats[11], "12. Phylip");
  EXPECT_STREQ(qor::formats[16], "17. PAUP/NEXUS");
  EXPECT_STREQ(qor::formats[17], "18. Pretty (out-only)");
}

TEST(ReadSeqErr, MessagesByteForByte) {
  struct Case {
    int code;
    const char *message;
  } cases[] = {
      {-1, "ReadSeq (file f.seq): File not found\n"},
      {-2, "ReadSeq (file f.seq): No data in file.\n"},
      {-3, "ReadSeq (file f.seq): Out of storage memory. Sequence truncated.\n"},
      {-4, "ReadSeq (file f.seq): Specified item not in file.\n"},
      {-5, "ReadSeq (file f.seq): Warning: This format permits only 1 sequence per file.\n"},
      {-6,
       "ReadSeq (file f.seq): This format requires equal length sequences.\nSequence truncated or padded to "
       "fit.\n"},
      {-7, "ReadSeq (file f.seq): Can't open output file.\n"},
      {-8, "ReadSeq (file f.seq): Error: this format is unknown to me.\n"},
      {-10, "ReadSeq (file f.seq): Error in ASN.1 sequence routines.\n"},
      {-9, "ReadSeq (file f.seq): readSeq error = -9\n"},
      {3, "ReadSeq (file f.seq): readSeq error = 3\n"},
  };
  for (const auto &c : cases) {
    testing::internal::CaptureStderr();
    int r = qor::readSeqErr(static_cast<int16_t>(c.code), "f.seq");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    EXPECT_EQ(r, 1);
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(qor::readSeqErr(0, "f.seq"), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// ASN.1 (all three detected variants), Pretty and codes outside 1..18 are "unknown to me".
TEST(UnreadableFormats, UnknownToMe) {
  const std::string asn = fmttest::fixture("fmt_asn1.asn");
  EXPECT_EQ(fmttest::detect(asn), 51);
  for (int format : {51, 52, 16, 18, 0, 19, 20, -3}) {
    fmttest::Got g = fmttest::read_file(1, asn, 0, format);
    EXPECT_EQ(g.err, -8) << format;
    EXPECT_FALSE(g.text) << format;
    FILE *f = fopen(asn.c_str(), "r");
    ASSERT_NE(f, nullptr);
    fmttest::Got s = fmttest::read_stream(1, f, 0, format, nullptr);
    EXPECT_EQ(s.err, -8) << format;
    fclose(f);
  }
  testing::internal::CaptureStderr();
  qor::readSeqErr(-8, asn.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ReadSeq (file " + asn + "): Error: this format is unknown to me.\n");
}

TEST(ReadSeq, MissingFileIsFileNotFound) {
  fmttest::Got g = fmttest::read_file(1, "/nonexistent/dir/x.gb", 0, 2);
  EXPECT_EQ(g.err, -1);
  EXPECT_FALSE(g.text);
  fmttest::Got s = fmttest::read_stream(1, nullptr, 0, 2, nullptr);
  EXPECT_EQ(s.err, -1);
}

}  // namespace
