#include "export/export_ops.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "export/map_text.h"
#include "platform/platform.h"
#include "plugin/plugin_state.h"

namespace {

void Warn(const std::string& text) {
  platform::ShowMessage("Warning", text, platform::MessageIcon::Exclamation);
}

std::string Reason(int error) { return std::strerror(error); }

// A new file beside path, opened for writing in text mode. "x" refuses to
// reuse a name that exists, so no file of the user's is ever taken.
std::FILE* OpenTempBeside(const std::string& path, std::string* tempPath, int* error) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *tempPath = path + ".tmp" + (attempt ? std::to_string(attempt) : "");
    if (std::FILE* f = std::fopen(tempPath->c_str(), "wx")) return f;
    *error = errno;
    if (*error != EEXIST) return nullptr;
  }
  return nullptr;
}

// The old file must still be writable: replacing it by renaming would
// otherwise bypass its protection.
bool TargetWritable(const std::string& path, int* error) {
  std::FILE* f = std::fopen(path.c_str(), "r+");
  if (f) {
    std::fclose(f);
    return true;
  }
  *error = errno;
  return *error == ENOENT;
}

bool ReplaceFile(const std::string& from, const std::string& to, int* error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  *error = errno;
  // Some systems refuse to rename onto an existing file.
  if (*error != EEXIST && *error != EACCES) return false;
  if (std::remove(to.c_str()) != 0 || std::rename(from.c_str(), to.c_str()) != 0) {
    *error = errno;
    return false;
  }
  return true;
}

// Writes text to path through a temporary file that replaces path only when
// complete, so a failure never leaves a truncated or half-written map behind.
bool WriteWholeFile(const std::string& path, const std::string& text, std::string* reason) {
  int error = ENOENT;
  if (path.empty() || !TargetWritable(path, &error)) {
    *reason = Reason(error);
    return false;
  }
  std::string tempPath;
  std::FILE* f = OpenTempBeside(path, &tempPath, &error);
  if (!f) {
    *reason = Reason(error);
    return false;
  }
  bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size() &&
                 std::fflush(f) == 0;
  if (!written) error = errno;
  if (std::fclose(f) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && !ReplaceFile(tempPath, path, &error)) written = false;
  if (!written) {
    *reason = error ? Reason(error) : "the file could not be written completely";
    std::remove(tempPath.c_str());
  }
  return written;
}

}  // namespace

int ExportToFile() {
  std::string path;
  if (!platform::SaveFileDialog("Save to QMF file", {{"QMF files(*.qmf)", "*.qmf"}}, &path))
    return 0;
  std::string text;
  try {
    text = BuildMapText(MapTextForm::File);
  } catch (const std::bad_alloc&) {
    Warn("Not enough memory to build the map of " + path + ". Nothing was written.");
    return 0;
  }
  std::string reason;
  if (!WriteWholeFile(path, text, &reason)) {
    Warn("Could not write the map to " + path + ": " + reason + ".");
    return 0;
  }
  return 1;
}

int PassToHost() {
  if (!hostCallback) {
    Warn("No host is connected: the landscape cannot be passed to Quarn.");
    return 0;
  }
  std::string text;
  try {
    text = BuildMapText(MapTextForm::Host);
  } catch (const std::bad_alloc&) {
    Warn("Not enough memory to build the landscape for Quarn.");
    return 0;
  }
  const std::size_t size = text.size() + 1;
  // The host owns nothing of it: the buffer lives only for the call.
  char* buffer = size <= INT_MAX ? static_cast<char*>(std::malloc(size)) : nullptr;
  if (!buffer) {
    Warn("Not enough memory to pass the landscape to Quarn (" + std::to_string(size) +
         " bytes).");
    return 0;
  }
  std::memset(buffer, 0, size);
  std::memcpy(buffer, text.data(), text.size());
  hostCallback(PluginCallbackData{1, buffer, static_cast<int>(size)});
  std::free(buffer);
  return 1;
}
