// Whole terrains built from the heightmap operations.
#pragma once

#include "terrain/heightmap.h"

// The terrain every run starts from: noise, plasma and a light blur applied to
// the map as it is (no resize, no zero fill, no filters).
Heightmap& StartupTerrain(Heightmap& map);
