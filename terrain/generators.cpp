#include "terrain/generators.h"

// Placeholder until the heightmap operations land.
Heightmap& StartupTerrain(Heightmap& map) { return map; }
