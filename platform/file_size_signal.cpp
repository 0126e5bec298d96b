#include "platform/file_size_signal.h"

#ifndef _WIN32
#include <pthread.h>

#include <ctime>
#endif

namespace platform {

#ifdef _WIN32
// Windows has no file-size signal: a write past a quota simply fails.
FileSizeSignalHeld::FileSizeSignalHeld() = default;
FileSizeSignalHeld::~FileSizeSignalHeld() = default;
#else
namespace {
sigset_t JustFileSize() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGXFSZ);
  return set;
}

bool FileSizePending() {
  sigset_t pending;
  return sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ) == 1;
}
}  // namespace

FileSizeSignalHeld::FileSizeSignalHeld() {
  const sigset_t set = JustFileSize();
  pthread_sigmask(SIG_BLOCK, &set, &old_);
  pendingBefore_ = FileSizePending();
}

FileSizeSignalHeld::~FileSizeSignalHeld() {
  // An outer hold (or the host) already blocks it: leave it to them.
  if (sigismember(&old_, SIGXFSZ) != 1 && !pendingBefore_ && FileSizePending()) {
    const sigset_t set = JustFileSize();
    const timespec now = {0, 0};
    sigtimedwait(&set, nullptr, &now);
  }
  pthread_sigmask(SIG_SETMASK, &old_, nullptr);
}
#endif

}  // namespace platform
