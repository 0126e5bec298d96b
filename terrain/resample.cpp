#include "terrain/resample.h"

#include <algorithm>
#include <vector>

#include "terrain/heightmap_ops.h"

namespace {

float CatmullRomCubic(float p0, float p1, float p2, float p3, float f) {
  return p1 + 0.5 * f * (p2 - p0) + f * f * (p0 - 2.5 * p1 + 2 * p2 - 0.5 * p3) +
         f * f * f * (0.5 * (p3 - p0) + 1.5 * (p1 - p2));
}

// Where each destination index falls in the source: the single-precision
// ratio added up step by step (not multiplied), clamped to the source.
struct Tap {
  int index;  // the sample at or before the position
  float fraction;
};

std::vector<Tap> Taps(int from, int to) {
  const float ratio = static_cast<float>(from) / static_cast<float>(to);
  std::vector<Tap> taps(to);
  float position = 0.0f;
  for (int i = 0; i < to; ++i) {
    const float p = std::clamp(position, 0.0f, static_cast<float>(from - 1));
    taps[i].index = static_cast<int>(p);
    taps[i].fraction = p - taps[i].index;
    position += ratio;
  }
  return taps;
}

int Clamped(int i, int size) { return std::clamp(i, 0, size - 1); }

}  // namespace

Heightmap& Resample(Heightmap& map, int w, int h, ResampleMode) {
  const int W = map.width(), H = map.height();
  if ((w == W && h == H) || w < 1 || h < 1 || map.is_empty()) return map;
  const std::vector<Tap> xs = Taps(W, w), ys = Taps(H, h);
  Heightmap out(w, h, 1, 1, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      float rows[4];
      for (int j = 0; j < 4; ++j) {
        const int sy = Clamped(ys[y].index - 1 + j, H);
        float p[4];
        for (int i = 0; i < 4; ++i) p[i] = map(Clamped(xs[x].index - 1 + i, W), sy);
        rows[j] = CatmullRomCubic(p[0], p[1], p[2], p[3], xs[x].fraction);
      }
      out(x, y) = StoreWrapped(CatmullRomCubic(rows[0], rows[1], rows[2], rows[3], ys[y].fraction));
    }
  }
  map.swap(out);
  return map;
}
