#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/session_lock.h"

namespace platform {

std::string StateFolder() {
  std::string base;
  const char* state = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  // A relative XDG path is to be ignored, as the base directory rules say.
  if (state && state[0] == '/') {
    base = state;
  } else if (home && home[0] == '/') {
    base = std::string(home) + "/.local/state";
  } else {
    return "";
  }
  // Each level in turn: the state folder itself may not exist yet.
  for (std::size_t slash = 1; slash != std::string::npos; slash = base.find('/', slash + 1))
    mkdir(base.substr(0, slash).c_str(), 0700);
  mkdir(base.c_str(), 0700);
  const std::string folder = base + "/AdvancedRelievo";
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return "";
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "";
  return folder;
}

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

bool SessionLock::Acquire(const std::string& path) {
  Release();
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  path_ = path;
  handle_ = fd;
  return true;
}

void SessionLock::Release() {
  if (handle_ < 0) return;
  unlink(path_.c_str());
  close(static_cast<int>(handle_));
  handle_ = -1;
  path_.clear();
}

bool SessionLock::HeldElsewhere(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;  // no lock file: nobody holds it
  const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  return held;
}

}  // namespace platform
