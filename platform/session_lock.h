// Where the plug-in keeps its recovery copy, and the per-process lock that
// tells a copy of a running plug-in from one left by a run that died.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The plug-in's own folder in the user's state folder, created if missing:
// $XDG_STATE_HOME/AdvancedRelievo (default ~/.local/state) on Linux,
// %LOCALAPPDATA%\AdvancedRelievo on Windows. Empty when there is none.
std::string StateFolder();

// A number that no other running process has.
unsigned long ProcessId();

// An exclusive lock on a file that the system drops when the process ends,
// however it ends; another process can see whether it is held.
class SessionLock {
 public:
  SessionLock() = default;
  SessionLock(const SessionLock&) = delete;
  SessionLock& operator=(const SessionLock&) = delete;
  ~SessionLock() { Release(); }

  // Creates path if needed and holds it; false when it is held already.
  bool Acquire(const std::string& path);
  // Lets go of the lock and removes its file.
  void Release();

  // Whether some live process holds the lock on path.
  static bool HeldElsewhere(const std::string& path);

 private:
  std::string path_;
  std::intptr_t handle_ = -1;
};

}  // namespace platform
