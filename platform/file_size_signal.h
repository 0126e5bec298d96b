// Writes past the file-size limit (RLIMIT_FSIZE) fail with EFBIG instead of
// raising SIGXFSZ, whose default action would end the host with us.
#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

namespace platform {

// Holds SIGXFSZ off in the calling thread while it lives; a SIGXFSZ raised by
// our own writes meanwhile is discarded, not delivered late. Nests.
class FileSizeSignalHeld {
 public:
  FileSizeSignalHeld();
  ~FileSizeSignalHeld();
  FileSizeSignalHeld(const FileSizeSignalHeld&) = delete;
  FileSizeSignalHeld& operator=(const FileSizeSignalHeld&) = delete;

 private:
#ifndef _WIN32
  sigset_t old_;
  bool pendingBefore_ = false;
#endif
};

}  // namespace platform
