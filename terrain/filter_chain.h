// The filter slots run after every generation and by "Apply Filters".
#pragma once

#include "terrain/heightmap.h"

// Indices of the two filter choices, in menu order.
enum FilterKind { kBlur = 0, kErosion = 1, kDilate = 2, kNegative = 3, kNoFilter = 4 };

// Runs one slot's filter (FilterKind) once on the map. erodeTimes and
// dilateTimes are that slot's own pass counts for "Erosion" and "Dilate".
// Unknown kinds do nothing, like "No Filter".
Heightmap& ApplyFilterSlot(Heightmap& map, int kind, int erodeTimes, int dilateTimes);
