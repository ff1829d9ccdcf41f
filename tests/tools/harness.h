// End-to-end harness: runs a built program in a fresh temporary directory with a controlled
// environment and captures its standard streams, its exit status and the files it leaves.
//
//   qortest::Workdir dir;                          // fresh directory, removed at the end
//   dir.write("x.fa", ">a\nACGT\n");
//   auto r = dir.run("lensplit", {"run", "-db", "x.fa"});
//   EXPECT_EQ(r.status, 0); EXPECT_EQ(r.err, "..."); EXPECT_EQ(dir.read("runA.seq"), "...");
//
// The environment holds only PATH, HOME (an empty folder outside the work directory) and what the
// test adds with env; QORRC, PRIOR_PATH and BLASTMAT are unset unless the test sets them.
#ifndef QOR_TESTS_TOOLS_HARNESS_H
#define QOR_TESTS_TOOLS_HARNESS_H

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace qortest {

struct RunResult {
  int status = -1;  // exit status; 128 + signal number when the program was killed
  std::string out;  // standard output
  std::string err;  // standard error
};

inline std::string slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void remove_tree(const std::string &path) {
  DIR *d = opendir(path.c_str());
  if (d != nullptr) {
    while (struct dirent *e = readdir(d)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      std::string full = path + "/" + name;
      struct stat st;
      if (lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        remove_tree(full);
      else
        unlink(full.c_str());
    }
    closedir(d);
  }
  rmdir(path.c_str());
}

// Path of a built program.
inline std::string program_path(const std::string &name) { return std::string(QOR_BIN_DIR) + "/" + name; }

class Workdir {
 public:
  Workdir() {
    char tmpl[] = "/tmp/qortest.XXXXXX";
    char *made = mkdtemp(tmpl);
    if (made == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = made;
    mkdir((root_ + "/work").c_str(), 0755);
    mkdir((root_ + "/home").c_str(), 0755);
  }
  ~Workdir() { remove_tree(root_); }
  Workdir(const Workdir &) = delete;
  Workdir &operator=(const Workdir &) = delete;

  // The directory the program runs in.
  std::string path() const { return root_ + "/work"; }
  // The (empty) folder HOME points at.
  std::string home() const { return root_ + "/home"; }
  std::string file(const std::string &name) const { return path() + "/" + name; }

  void write(const std::string &name, const std::string &content) const {
    std::ofstream out(file(name), std::ios::binary);
    out << content;
  }
  std::string read(const std::string &name) const { return slurp(file(name)); }
  bool exists(const std::string &name) const { return access(file(name).c_str(), F_OK) == 0; }
  // Copies a fixture from tests/data into the work directory (under the same or a new name).
  void copy_fixture(const std::string &fixture, const std::string &as = "") const {
    write(as.empty() ? fixture : as, slurp(std::string(QOR_TEST_DATA) + "/" + fixture));
  }
  // The names of the files in the work directory, sorted.
  std::set<std::string> files() const {
    std::set<std::string> names;
    DIR *d = opendir(path().c_str());
    if (d == nullptr) return names;
    while (struct dirent *e = readdir(d)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    closedir(d);
    return names;
  }

  // Runs program (a name of the build directory, or a path containing '/') with args in the work
  // directory; env adds or overrides environment variables (an empty value is still set).
  RunResult run(const std::string &program, const std::vector<std::string> &args,
                const std::map<std::string, std::string> &env = {}, const std::string &input = "") const {
    std::string exe = program.find('/') == std::string::npos ? program_path(program) : program;
    std::string outpath = root_ + "/stdout", errpath = root_ + "/stderr", inpath = root_ + "/stdin";
    {
      std::ofstream in(inpath, std::ios::binary);
      in << input;
    }
    std::map<std::string, std::string> vars;
    const char *p = getenv("PATH");
    vars["PATH"] = p != nullptr ? p : "/usr/bin:/bin";
    vars["HOME"] = home();
    for (const char *keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
      if (const char *v = getenv(keep)) vars[keep] = v;
    for (const auto &kv : env) vars[kv.first] = kv.second;
    std::vector<std::string> envstrings;
    for (const auto &kv : vars) envstrings.push_back(kv.first + "=" + kv.second);

    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
      if (chdir(path().c_str()) != 0) _exit(126);
      int in = open(inpath.c_str(), O_RDONLY);
      int out = open(outpath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err = open(errpath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (in < 0 || out < 0 || err < 0) _exit(126);
      dup2(in, 0);
      dup2(out, 1);
      dup2(err, 2);
      std::vector<char *> argv, envp;
      argv.push_back(const_cast<char *>(exe.c_str()));
      for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
      argv.push_back(nullptr);
      for (auto &e : envstrings) envp.push_back(const_cast<char *>(e.c_str()));
      envp.push_back(nullptr);
      execve(exe.c_str(), argv.data(), envp.data());
      _exit(127);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    RunResult r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    r.out = slurp(outpath);
    r.err = slurp(errpath);
    return r;
  }

 private:
  std::string root_;
};

// Splits a text into its lines (without the newline characters).
inline std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

}  // namespace qortest

#endif
