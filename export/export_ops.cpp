#include "export/export_ops.h"

#include <climits>
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
  if (!platform::WriteWholeFile(path, text, platform::FileMode::Text, &reason)) {
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
    Warn("Not enough memory to pass the landscape to Quarn (" + std::to_string(size) + " bytes).");
    return 0;
  }
  std::memset(buffer, 0, size);
  std::memcpy(buffer, text.data(), text.size());
  hostCallback(PluginCallbackData{1, buffer, static_cast<int>(size)});
  std::free(buffer);
  return 1;
}
