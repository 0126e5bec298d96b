// libFuzzer target: the stand-in host's reader of map texts it receives.
#include <string>

#include "host/map_text_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  MapSummary summary;
  std::string error;
  if (ReadMapText(text, &summary, &error)) {
    // A text the reader accepts must summarise consistently.
    if (summary.objects < 0 || summary.vertices < 0 || summary.polygons < 0) __builtin_trap();
    FormatSummary(summary);
  }
  // The record check must cope with any buffer it is handed.
  std::string copy = text + '\0';
  PluginCallbackData record{1, copy.data(), static_cast<int>(copy.size())};
  CheckCallbackRecord(record);
  return 0;
}
