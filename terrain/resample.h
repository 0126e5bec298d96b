// Changing the map's side while keeping its terrain.
#pragma once

#include "terrain/heightmap.h"

enum class ResampleMode { CatmullRom };

// Replaces the map by a w x h copy interpolated with the Catmull-Rom cubic.
// The origins coincide and the source step is W / w, so a shrunk map stops
// short of the source's far edge. Cubic overshoot wraps (StoreWrapped), it is
// not clamped. The current size, or a size below 1, leaves the map unchanged.
Heightmap& Resample(Heightmap& map, int w, int h, ResampleMode mode);
