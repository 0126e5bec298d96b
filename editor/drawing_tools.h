// The editor's brush: the square under the pointer, the heights it reads, and
// the six tools that change the map under it once per pump pass.
#pragma once

#include "terrain/heightmap.h"

class ControlWindow;

// Inclusive corners of the brush square, in heightmap samples.
struct BrushRect {
  int x0, y0, x1, y1;
  int width() const { return x1 - x0 + 1; }
  int height() const { return y1 - y0 + 1; }
};

// The square [mx - b, mx + b] x [my - b, my + b] cut to a width x height map:
// centred on the pointer away from the borders, narrower and off-centre at
// them. (mx, my) is the pointer in samples, -1 while it is outside the window;
// positions past the map are taken as its last row or column, so the square
// never leaves the map. b is the brush half-width (negative counts as 0).
BrushRect BrushRectAt(int mx, int my, int b, int width, int height);

struct BrushStats {
  int max, min, mean;  // mean rounded down
};

// Highest, lowest and mean height inside rect.
BrushStats ReadBrush(const Heightmap& map, const BrushRect& rect);

// Writes ReadBrush to the control window's "Max:", "Min Height:" and "Mean:"
// outputs, in that order. Missing outputs are skipped.
void BrushReadout(const Heightmap& map, const BrushRect& rect, ControlWindow* window);

// Applies tool (a DrawTool) once inside rect, with brushHeight as the tool
// height (0..255). Fix Draw and unknown tools change nothing.
void ApplyTool(Heightmap& map, int tool, const BrushRect& rect, double brushHeight);
