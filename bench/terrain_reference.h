// The preview surface drawn the plain way, one glColor3f/glVertex3f at a time
// between one glBegin/glEnd pair, straight from the rendering rules: the
// baseline the vertex-array path is measured against.
#pragma once

#include <FL/gl.h>

#include <algorithm>

#include "plugin/plugin_state.h"

namespace reference {

inline void DrawTerrainImmediate() {
  const int n = heightmap.width();
  if (n < 2 || heightmap.height() != n) return;
  float sx = 1.0f, sy = 2.0f;
  if (maxWideness >= maxHeight)
    sy = 2.0f * float(maxHeight) / float(maxWideness);
  else
    sx = float(maxWideness) / float(maxHeight);
  const unsigned char hmin = *std::min_element(heightmap.begin(), heightmap.end());
  const unsigned char lows[3] = {minColor.r, minColor.g, minColor.b};
  const unsigned char means[3] = {meanColor.r, meanColor.g, meanColor.b};
  const unsigned char highs[3] = {maxColor.r, maxColor.g, maxColor.b};
  float a[3], b[3], c[3];
  for (int k = 0; k < 3; ++k) {
    a[k] = lows[k] / 255.0f;
    b[k] = 4.0f * (means[k] / 255.0f) + highs[k] / 255.0f + a[k];
    c[k] = highs[k] / 255.0f - a[k] - b[k];
  }
  const bool wire = renderMode != 0;
  auto vertex = [&](int col, int row) {
    const float x = float(col - n / 2) / (n / 2.0f) * sx;
    const float y = float(heightmap(col, row) - hmin) / 255.0f * sy;
    const float z = float(row - n / 2) / (n / 2.0f) * sx;
    if (!wire)
      glColor3f(a[0] + b[0] * y + c[0] * y * y, a[1] + b[1] * y + c[1] * y * y,
                a[2] + b[2] * y + c[2] * y * y);
    glVertex3f(x, y, z);
  };
  if (wire) glColor3f(0.0f, 0.0f, 1.0f);
  glBegin(wire ? GL_LINES : GL_QUADS);
  for (int r = 0; r + 1 < n; ++r) {
    for (int col = 0; col + 1 < n; ++col) {
      vertex(col + 1, r + 1);
      vertex(col + 1, r);
      vertex(col, r);
      vertex(col, r + 1);
      if (!wire) continue;
      vertex(col, r);
      vertex(col + 1, r);
    }
  }
  for (int k = 0; wire && k + 1 < n; ++k) {
    vertex(k, n - 1);
    vertex(k + 1, n - 1);
  }
  glEnd();
}

}  // namespace reference
