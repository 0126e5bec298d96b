// The map text written the plain way, every record through snprintf into a
// scratch buffer and appended to a growing string. The fast builder must
// match it byte for byte, and the benchmark measures against it.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

#include "export/map_text.h"
#include "terrain/heightmap.h"

namespace reference {

inline void Append(std::string* text, const char* format, ...) {
  char scratch[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(scratch, sizeof(scratch), format, args);
  va_end(args);
  text->append(scratch, static_cast<std::size_t>(n));
}

inline void AppendObject(std::string* text, const Heightmap& map, int left, int top, int n, int k,
                         int step, int yStep, int xOffset, int zOffset, int hmin, int side,
                         int tileColumn, int tileRow, bool file) {
  Append(text, file ? "terrain%d;9;-1;1;-1;0;-\n" : "terrain%d;9;-1;1;-1;0;-;", k);
  Append(text, file ? "%d\n" : "%d;", n * n);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) {
      int h = (map(left + c, top + r) + 256 - hmin) % 256;
      Append(text, file ? "%d;%d;%d\n" : "%d;%d;%d;", (c + xOffset - n / 2) * step, h * yStep,
             (r + zOffset - n / 2) * step);
    }
  Append(text, file ? "%d\n" : "%d;", (n - 1) * (n - 1));
  for (int r = 0; r + 1 < n; ++r)
    for (int c = 0; c + 1 < n; ++c) {
      double u0 = double(31 * tileColumn + c) / side, u1 = double(31 * tileColumn + c + 1) / side;
      double v0 = double(31 * tileRow + r) / side, v1 = double(31 * tileRow + r + 1) / side;
      Append(text, "4;5;%d;%d;%d;%d;%13.4f;%13.4f;%13.4f;%13.4f;%13.4f;%13.4f;%13.4f;%13.4f;",
             r * n + c + 1, (r + 1) * n + c + 1, (r + 1) * n + c, r * n + c, u1, v0, u1, v1, u0, v1,
             u0, v0);
    }
}

// The text of a square map of a side from the size table.
inline std::string BuildMapText(const Heightmap& map, int maxWideness, int maxHeight,
                                MapTextForm form) {
  const bool file = form == MapTextForm::File;
  const int side = map.width();
  const int step = maxWideness / side, yStep = maxHeight / 255;
  const int hmin = map.min();
  const int tiles = side > 32 ? side / 31 : 1;
  std::string text;
  Append(&text,
         file ? "Quarn Map File\nVersion 0.86\nLand;255;255;255\ngoodies.qtp\n%d\n"
              : "Quarn Map File;Version 0.86;Land;255;255;255;goodies.qtp;%d;",
         tiles * tiles);
  if (tiles == 1) {
    AppendObject(&text, map, 0, 0, side, 0, step, yStep, 0, 0, hmin, side, 0, 0, file);
  } else {
    for (int i = 0; i < tiles; ++i)
      for (int j = 0; j < tiles; ++j)
        AppendObject(&text, map, 31 * j, 31 * i, 32, i * tiles + j, step, yStep,
                     31 * j - side / 2 + 16, 31 * i - side / 2 + 16, hmin, side, j, i, file);
  }
  Append(&text, file ? "0\n" : "0;");
  return text;
}

}  // namespace reference
