// Allocation, row arrays and the fatal-error routine.
#include <gtest/gtest.h>

#include <cstdlib>

#include "util/util.h"

namespace {

TEST(MemAlloc, ZeroFilledWithFourSpareBytes) {
  unsigned char *p = static_cast<unsigned char *>(qor::mem_alloc(0));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 4; i++) EXPECT_EQ(p[i], 0);
  p = static_cast<unsigned char *>(qor::mem_realloc(p, 100));
  p[103] = 7;  // size + 4 bytes are usable
  free(p);
  unsigned char *q = static_cast<unsigned char *>(qor::mem_alloc(1000));
  for (int i = 0; i < 1004; i++) ASSERT_EQ(q[i], 0);
  free(q);
}

TEST(MemAlloc, ImpossibleSizesAreFatal) {
  EXPECT_EXIT(qor::mem_alloc(-5), testing::ExitedWithCode(1), "^Error: out of memory allocating -5 bytes\n$");
  EXPECT_EXIT(qor::mem_realloc(nullptr, -1), testing::ExitedWithCode(1),
              "^Error: out of memory reallocating -1 bytes\n$");
}

TEST(DoubleAlloc, RowsAreZeroedAndFreedWithNulledSlots) {
  int **rows = reinterpret_cast<int **>(qor::double_alloc(3, 5, sizeof(int)));
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 5; j++) EXPECT_EQ(rows[i][j], 0);
  rows[2][4] = 9;
  free(rows[1]);
  rows[1] = nullptr;  // a row already released is skipped
  qor::double_free(reinterpret_cast<void **>(rows), 3);
  qor::double_free(nullptr, 3);
}

TEST(Error, PrefixesAndEndsWithNewlineAfterFlushingStdout) {
  EXPECT_EXIT(
      {
        printf("pending output");
        qor::error("bad %s %d\n", "thing", 3);
      },
      testing::ExitedWithCode(1), "^Error: bad thing 3\n\n$");
}

// The fuzz targets' hook: called after the message instead of exiting; a hook that returns still
// ends the program with status 1.
struct HookThrown {};
TEST(Error, ExitHookRunsAfterTheMessage) {
  testing::internal::CaptureStderr();
  qor::error_exit_hook = [] { throw HookThrown{}; };
  EXPECT_THROW(qor::error("read %d", 7), HookThrown);
  qor::error_exit_hook = nullptr;
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: read 7\n");
  EXPECT_EXIT(
      {
        qor::error_exit_hook = [] {};
        qor::error("still fatal");
      },
      testing::ExitedWithCode(1), "^Error: still fatal\n$");
}

}  // namespace
