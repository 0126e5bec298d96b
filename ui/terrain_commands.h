// What "Generate Map", "Apply Filters" and "Change Size" do to the heightmap
// and the shared state, given the indices their choices hold. The control
// window's commands only read the choices and call these.
#pragma once

// New terrain of the size at sizeIndex (mapSizeTable) by the generator
// (GeneratorKind), then both filter slots (FilterKind); editor window resized,
// zoom back to 1, both views refreshed. An index outside the menus does nothing.
void GenerateMapWith(int sizeIndex, int generator, int firstFilter, int secondFilter);

// Both filter slots on the current map, then both views refreshed. Size,
// zoom and the editor window stay as they are.
void ApplyFiltersWith(int firstFilter, int secondFilter);

// Resamples the current map to the size at sizeIndex; editor window resized,
// zoom back to 1, both views refreshed. An index outside the menu does nothing.
void ChangeSizeWith(int sizeIndex);
