// Helpers for tests of files: a folder of its own per test, whole-file reads,
// and code run in a child process whose ending is the result.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// The bytes of the file at path; empty if it cannot be read.
inline std::string ReadAll(const std::string& path) {
  return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

// Runs f() in a child with SIGXFSZ at its default action (ending the
// process) and an alarm after `seconds`. Returns f's exit code, or 128 plus
// the signal that ended the child (SIGALRM: it hung).
template <typename F>
int InChild(F f, unsigned seconds = 20) {
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_DFL);
    alarm(seconds);
    _exit(f());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Writes past `bytes` fail (EFBIG, or SIGXFSZ where it is not held off); for a child.
inline void LimitFileSize(rlim_t bytes) {
  rlimit limit;
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
}

// A fresh folder for one test, removed with everything in it at the end.
struct ScratchFolder {
  ScratchFolder()
      : path(std::filesystem::temp_directory_path() /
             ("relievo_" + std::to_string(getpid()) + "_" + std::to_string(++count))) {
    std::filesystem::create_directories(path);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path); }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  const std::filesystem::path path;
  static inline int count = 0;
};
