#include "editor/drawing_tools.h"

#include <FL/Fl_Value_Output.H>

#include <algorithm>

#include "plugin/plugin_state.h"
#include "terrain/heightmap_ops.h"
#include "ui/control_window.h"

namespace {

// Heights a Mountain adds or a Depression takes away: hv under the centre of
// the square, nothing at its corners, smoothed. f is taken in extended
// precision and rounded to single, which decides the truncations below.
Heightmap BrushBump(int w, int h, double brushHeight) {
  Heightmap bump(w, h, 1, 1, 0);
  const long double cx = (w - 1) / 2.0L, cy = (h - 1) / 2.0L;
  for (int i = 0; i < w; ++i) {
    for (int j = 0; j < h; ++j) {
      // A side one sample wide has nothing to fall off along (and 0/0 is NaN).
      const long double a = cx > 0 ? (i - cx) / cx : 0.0L;
      const long double c = cy > 0 ? (j - cy) / cy : 0.0L;
      const float f = static_cast<float>((a * a + c * c) / 2);
      bump(i, j) = 255 - StoreWrapped(f * brushHeight);
    }
  }
  Normalize(bump, 0, StoreWrapped(brushHeight));
  return BlurDeriche(bump, 1.0f);
}

void RaiseOrLower(Heightmap& map, const BrushRect& r, double brushHeight, bool raise) {
  const Heightmap bump = BrushBump(r.width(), r.height(), brushHeight);
  for (int y = r.y0; y <= r.y1; ++y) {
    for (int x = r.x0; x <= r.x1; ++x) {
      const int t = map(x, y), v = bump(x - r.x0, y - r.y0);
      // Saturate: a brush stroke must never wrap a peak into a pit.
      if (raise)
        map(x, y) = t < 255 - v ? t + v : 255;
      else
        map(x, y) = t - v > 0 ? t - v : 0;
    }
  }
}

Heightmap SmoothedNoise(const Heightmap& ground, unsigned char hv) {
  Heightmap field = GetAddNoise(ground, 20.0, kGaussian);
  Normalize(field, 0, hv);
  return BlurDeriche(field, 1.0f);
}

// Two fields from the same ground with independent noise: their difference is
// mostly noise, stronger as hv grows. The sum wraps on 8 bits like the rest of
// the map arithmetic.
void NoiseZone(Heightmap& map, const BrushRect& r, unsigned char hv) {
  Heightmap ground = map.get_crop(r.x0, r.y0, r.x1, r.y1);
  const Heightmap n1 = SmoothedNoise(ground, hv);
  const Heightmap n2 = SmoothedNoise(ground, hv);  // drawn after n1's numbers
  cimg_forXY(ground, x, y) {
    ground(x, y) = static_cast<unsigned char>(ground(x, y) - n2(x, y) + n1(x, y));
  }
  map.draw_image(r.x0, r.y0, ground);
}

// The blur sees only the square: its edges are the square's, not the terrain
// around it.
void BlurZone(Heightmap& map, const BrushRect& r) {
  Heightmap zone = map.get_crop(r.x0, r.y0, r.x1, r.y1);
  BlurDeriche(zone, 1.0f);
  map.draw_image(r.x0, r.y0, zone);
}

void PaintPlain(Heightmap& map, const BrushRect& r, unsigned char hv) {
  map.draw_rectangle(r.x0, r.y0, r.x1, r.y1, &hv, 0.5f);
}

}  // namespace

BrushRect BrushRectAt(int mx, int my, int b, int width, int height) {
  mx = std::min(mx, width - 1);
  my = std::min(my, height - 1);
  b = std::max(b, 0);
  BrushRect r;
  r.x0 = mx >= b ? mx - b : 0;
  r.y0 = my >= b ? my - b : 0;
  r.x1 = mx < width - b ? mx + b : width - 1;
  r.y1 = my < height - b ? my + b : height - 1;
  return r;
}

BrushStats ReadBrush(const Heightmap& map, const BrushRect& r) {
  BrushStats s{0, 255, 0};
  int sum = 0;
  for (int y = r.y0; y <= r.y1; ++y) {
    for (int x = r.x0; x <= r.x1; ++x) {
      const int v = map(x, y);
      s.max = std::max(s.max, v);
      s.min = std::min(s.min, v);
      sum += v;
    }
  }
  s.mean = sum / (r.width() * r.height());
  return s;
}

void BrushReadout(const Heightmap& map, const BrushRect& rect, ControlWindow* window) {
  if (!window) return;
  const BrushStats s = ReadBrush(map, rect);
  if (window->brushMaxOutput) window->brushMaxOutput->value(s.max);
  if (window->brushMinOutput) window->brushMinOutput->value(s.min);
  if (window->brushMeanOutput) window->brushMeanOutput->value(s.mean);
}

void ApplyTool(Heightmap& map, int tool, const BrushRect& rect, double brushHeight) {
  const unsigned char hv = StoreWrapped(brushHeight);
  switch (tool) {
    case kCreateMountain:
      RaiseOrLower(map, rect, brushHeight, true);
      break;
    case kCreateDepression:
      RaiseOrLower(map, rect, brushHeight, false);
      break;
    case kNoiseZone:
      NoiseZone(map, rect, hv);
      break;
    case kBlurZone:
      BlurZone(map, rect);
      break;
    case kPaintPlainBrush:
      PaintPlain(map, rect, hv);
      break;
    default:
      break;  // Fix Draw only points and reads
  }
}
