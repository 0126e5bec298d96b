#include "host/map_text_reader.h"

#include <cstring>

std::string CheckCallbackRecord(const PluginCallbackData& data) {
  if (data.kind != 1) return "kind is " + std::to_string(data.kind) + ", expected 1";
  if (!data.text) return "text is a null pointer";
  if (data.size < 1) return "size " + std::to_string(data.size) + " is too small";
  if (data.text[data.size - 1] != '\0') return "text[size - 1] is not NUL";
  std::size_t len = std::strlen(data.text);
  if (len + 1 != static_cast<std::size_t>(data.size))
    return "size is " + std::to_string(data.size) + " but the text has " + std::to_string(len) +
           " characters";
  return "";
}

// Placeholder reader: the full parser lands with the map text format.
bool ReadMapText(const std::string& text, MapSummary* summary, std::string* error) {
  *summary = MapSummary();
  if (text.rfind("Quarn Map File", 0) != 0) {
    *error = "missing the \"Quarn Map File\" header";
    return false;
  }
  return true;
}

std::string FormatSummary(const MapSummary& s) {
  return "objects=" + std::to_string(s.objects) + " vertices=" + std::to_string(s.vertices) +
         " polygons=" + std::to_string(s.polygons) + " x=" + std::to_string(s.minX) + ".." +
         std::to_string(s.maxX) + " y=" + std::to_string(s.minY) + ".." + std::to_string(s.maxY) +
         " z=" + std::to_string(s.minZ) + ".." + std::to_string(s.maxZ);
}
