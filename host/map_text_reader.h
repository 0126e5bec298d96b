// The host's side of the hand-off: checking the record it is given and
// reading the map text it carries.
#pragma once

#include <string>

#include "plugin/host_contract.h"

// Empty when the record is sound: kind 1, size = text length + 1, NUL last.
std::string CheckCallbackRecord(const PluginCallbackData& data);

// What a map text holds, as a person would want to see it.
struct MapSummary {
  int objects = 0;
  long vertices = 0;
  long polygons = 0;
  long minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;
};

// Parses a map text in host form (records ended by ';') or file form (records
// ended by line breaks, polygons run on along a line). Returns false and sets
// error when the text does not follow the format.
bool ReadMapText(const std::string& text, MapSummary* summary, std::string* error);

// "objects=16 vertices=16384 polygons=15376 x=-992..992 y=0..255 z=-992..992"
std::string FormatSummary(const MapSummary& summary);
