// Test support shared by the unit tests: capturing what code writes, and running a test body in a
// forked child so that process-wide state (alphabets, parameters) cannot leak into the next test.
#ifndef QOR_TESTS_SUPPORT_CAPTURE_H
#define QOR_TESTS_SUPPORT_CAPTURE_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>

namespace qortest {

// The whole content of a stream, read from its start; the stream is closed.
inline std::string drain(FILE *f) {
  std::string text;
  rewind(f);
  int c;
  while ((c = getc(f)) != EOF) text += static_cast<char>(c);
  fclose(f);
  return text;
}

// What f writes to a stream it is given.
inline std::string output_of(const std::function<void(FILE *)> &f) {
  FILE *out = tmpfile();
  if (out == nullptr) throw std::runtime_error("tmpfile failed");
  f(out);
  fflush(out);
  return drain(out);
}

// What f writes to the standard error stream.
inline std::string stderr_of(const std::function<void()> &f) {
  fflush(stderr);
  FILE *tmp = tmpfile();
  if (tmp == nullptr) throw std::runtime_error("tmpfile failed");
  int saved = dup(2);
  dup2(fileno(tmp), 2);
  f();
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  return drain(tmp);
}

// A stream holding bytes, positioned at the start.
inline FILE *stream_of(const std::string &bytes) {
  FILE *f = tmpfile();
  if (f == nullptr) throw std::runtime_error("tmpfile failed");
  fwrite(bytes.data(), 1, bytes.size(), f);
  rewind(f);
  return f;
}

// Failed assertions recorded so far in the running test.
inline int failed_parts() {
  const testing::TestResult *result = testing::UnitTest::GetInstance()->current_test_info()->result();
  int failed = 0;
  for (int i = 0; i < result->total_part_count(); i++)
    if (result->GetTestPartResult(i).failed()) failed++;
  return failed;
}

// Runs body in a forked child and expects it to finish without a failed assertion or a fatal
// error; the child ends through exit, so a sanitizer build checks it for leaks. Only the child's
// own failures count (a child forked after an earlier failure of the test starts clean).
inline void in_child(const std::function<void()> &body) {
  fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int before = failed_parts();
    body();
    fflush(nullptr);
    exit(failed_parts() > before ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the test body failed in its child process (see its output above); status " << status;
}

}  // namespace qortest

#endif
