// The four programs answer "-v" with their own banner line.
#include <gtest/gtest.h>

#include "tools/harness.h"

namespace {

struct BannerCase {
  const char *program;
  const char *expected;  // the line printed for "-v"
};

TEST(ProgramBanner, VersionArgumentPrintsBannerAndSucceeds) {
  const std::string bin = QOR_BIN_DIR;
  const BannerCase cases[] = {
      {"fitseq", "QOR: fitseq v3.5 (July 15, 2005) compiled 07/19/05_11:12:14\n"},
      {"fnfpbal", "QOR: {BIN}/fnfpbal v3.5 (July 15, 2005) compiled 07/19/05_11:12:36\n"},
      {"lensplit", "QOR: {BIN}/lensplit v3.5 (July 15, 2005) compiled 07/19/05_11:12:48\n"},
      {"hssptpl", "QOR: {BIN}/hssptpl v3.5 (July 15, 2005) compiled 07/19/05_11:12:40\n"},
  };
  for (const auto &c : cases) {
    qortest::Workdir dir;
    auto r = dir.run(c.program, {"-v"});
    std::string expected = c.expected;
    auto at = expected.find("{BIN}");
    if (at != std::string::npos) expected.replace(at, 5, bin);
    EXPECT_EQ(r.status, 0) << c.program;
    EXPECT_EQ(r.out, expected) << c.program;
    EXPECT_EQ(r.err, "") << c.program;
    EXPECT_TRUE(dir.files().empty()) << c.program;
  }
}

}  // namespace
