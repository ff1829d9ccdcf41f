// Test support for the constraint tables and files: a scratch directory, running code in a child
// to see exactly what a fatal path writes, a compact text form of a table's ranges, and small
// sequences.
#ifndef QOR_TESTS_CONSTRAINTS_CONSTRAINT_TEST_SUPPORT_H
#define QOR_TESTS_CONSTRAINTS_CONSTRAINT_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>

#include "constraints/constraints.h"
#include "sequence/sequence.h"
#include "support/capture.h"
#include "util/util.h"

namespace constrtest {

// A fresh directory, removed with its files at the end.
class ScratchDir {
 public:
  ScratchDir() {
    char tmpl[] = "/tmp/qorconstr.XXXXXX";
    if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = tmpl;
  }
  ~ScratchDir() {
    std::string cmd = "rm -rf '" + root_ + "'";
    if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", root_.c_str());
  }
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;
  std::string path(const std::string &name) const { return root_ + "/" + name; }
  // Writes bytes (any bytes, NUL included) to name; returns its path.
  std::string write(const std::string &name, const std::string &bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
    return path(name);
  }
  std::string read(const std::string &name) const {
    std::ifstream in(path(name), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path(name));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string root_;
};

// What a child running body wrote to the standard error stream and its exit status.
struct ChildResult {
  int status = -1;
  std::string err;
};

inline ChildResult run_in_child(const std::function<void()> &body) {
  fflush(nullptr);
  FILE *tmp = tmpfile();
  if (tmp == nullptr) throw std::runtime_error("tmpfile failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(fileno(tmp), 2);
    body();
    fflush(nullptr);
    _exit(0);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  ChildResult r;
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  r.err = qortest::drain(tmp);
  return r;
}

// Expects body to end the process through the fatal-error routine with exactly this message.
#define EXPECT_FATAL(body, message)                                         \
  do {                                                                      \
    constrtest::ChildResult fatal_result = constrtest::run_in_child(body);  \
    EXPECT_EQ(fatal_result.status, 1);                                      \
    EXPECT_EQ(fatal_result.err, std::string("Error: ") + (message) + "\n"); \
  } while (0)

// The ranges of one entry as "start+length:label" (label "-" for none) separated by blanks, with
// the costs appended as "/s,u,z" when they are not the file costs 0, 80000, 80000; "absent" when
// the table has no entry for id.
inline std::string ranges_of(const qor::ConstraintTable *table, const char *id) {
  const qor::ConstraintSeq *entry = qor::find_seq_constraints(table, id);
  if (entry == nullptr) return "absent";
  std::string s;
  char buf[128];
  for (const qor::ConstraintRange *r = entry->first; r != nullptr; r = r->next) {
    if (!s.empty()) s += ' ';
    if (r->label == -3)
      snprintf(buf, sizeof buf, "%d+%d:-", r->start, r->length);
    else
      snprintf(buf, sizeof buf, "%d+%d:%d", r->start, r->length, r->label);
    s += buf;
    if (r->satisfied_cost != 0 || r->unsatisfied_cost != 80000 || r->unconstrained_cost != 80000) {
      snprintf(buf, sizeof buf, "/%d,%d,%d", r->satisfied_cost, r->unsatisfied_cost, r->unconstrained_cost);
      s += buf;
    }
  }
  return s;
}

// A one-track sequence of length n with the given id and no letters set.
inline qor::Sequence *make_sequence(const char *id, int n) {
  qor::Sequence *seq = qor::alloc_sequence(n, 1);
  seq->id = static_cast<char *>(qor::mem_alloc(static_cast<int>(strlen(id)) + 1));
  strcpy(seq->id, id);
  return seq;
}

// The text with every "\n" written as "\r\n".
inline std::string crlf(const std::string &text) {
  std::string s;
  for (char c : text) {
    if (c == '\n') s += '\r';
    s += c;
  }
  return s;
}

}  // namespace constrtest

#endif
