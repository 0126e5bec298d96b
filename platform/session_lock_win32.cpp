#include <windows.h>

#include <cstdlib>

#include "platform/session_lock.h"

namespace platform {

std::string StateFolder() {
  const char* local = std::getenv("LOCALAPPDATA");
  if (!local || !local[0]) return "";
  const std::string folder = std::string(local) + "\\AdvancedRelievo";
  if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    return "";
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return "";
  return folder;
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

// Opened with no sharing, the file cannot be opened again while the handle
// lives, and Windows closes the handle when the process ends.
bool SessionLock::Acquire(const std::string& path) {
  Release();
  const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  path_ = path;
  handle_ = reinterpret_cast<std::intptr_t>(h);
  return true;
}

void SessionLock::Release() {
  if (handle_ == -1) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  DeleteFileA(path_.c_str());
  handle_ = -1;
  path_.clear();
}

bool SessionLock::HeldElsewhere(const std::string& path) {
  const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

}  // namespace platform
