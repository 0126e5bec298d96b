// The brush tools and terrain commands against their defining operations, same random numbers.
#include <FL/Fl_Value_Output.H>
#include <gtest/gtest.h>

#include <functional>

#include "editor/drawing_tools.h"
#include "plugin/plugin_state.h"
#include "terrain/filter_chain.h"
#include "terrain/generators.h"
#include "terrain/heightmap_ops.h"
#include "ui/control_window.h"
#include "ui/terrain_commands.h"

int Count(const Heightmap& map, unsigned char v);
Heightmap Varied(int side);
void ExpectSameAsChain(const std::function<void(Heightmap&)>& made,
                       const std::function<void(Heightmap&)>& chain, Heightmap start);

// Erosion spreads the maximum over zeros, dilation zeros over the rest: a diamond of radius r
// (2r(r + 1) + 1 samples), cut at the edges. Generate Map takes size, generator and both slots.
TEST(FilterSlots, UseTheirOwnCountsAndBlurWithSigmaOne) {
  ResetDefaults();
  erodeTimes[0] = 2, erodeTimes[1] = 5, dilateTimes[0] = 1, dilateTimes[1] = 4;
  struct {
    int first, second, value, radius, x;
  } rows[] = {{kErosion, kNoFilter, 40, 2, 31},
              {kNoFilter, kErosion, 40, 5, 31},
              {kDilate, kNoFilter, 0, 1, 31},
              {kNoFilter, kDilate, 0, 4, 31},
              {kErosion, kNoFilter, 40, 2, 0}};
  for (auto row : rows) {
    heightmap.assign(63, 63, 1, 1, row.value ? 0 : 90)(row.x, 31) = row.value;
    ApplyFiltersWith(row.first, row.second);
    const int r = row.radius, cut = row.x ? 0 : r * r;  // at the edge a half diamond
    EXPECT_EQ(Count(heightmap, row.value), 2 * r * (r + 1) + 1 - cut) << row.first << row.second;
  }
  ExpectSameAsChain([](Heightmap& m) { ApplyFilterSlot(m, kBlur, 0, 0); },
                    [](Heightmap& m) { BlurDeriche(m, 1.0f); }, Varied(63));
  noiseSigma = 30, noiseType = kUniform;
  ExpectSameAsChain(
      [](Heightmap& m) { GenerateMapWith(3, kNoise, kErosion, kNegative), m = heightmap; },
      [](Heightmap& m) { Negate(ErodeZeros(AddNoise(m, 30, kUniform), 2)); },
      Heightmap(32, 32, 1, 1, 0));
  EXPECT_EQ(mapSize, 32);
}

TEST(Brush, IsTheSquareAroundThePointerCutToTheMapAndReadsMaxMinAndMean) {
  struct {
    int mx, my, b, w, h, x0, y0, x1, y1;
  } rows[] = {
      {100, 100, 3, 249, 249, 97, 97, 103, 103}, {0, 0, 3, 249, 249, 0, 0, 3, 3},
      {246, 10, 3, 249, 249, 243, 7, 248, 13},   {300, 260, 3, 249, 125, 245, 121, 248, 124},
      {5, 5, 20, 16, 16, 0, 0, 15, 15},          {10, 3, -2, 16, 16, 10, 3, 10, 3}};
  for (auto c : rows) {
    const BrushRect r = BrushRectAt(c.mx, c.my, c.b, c.w, c.h);
    EXPECT_TRUE(r.x0 == c.x0 && r.y0 == c.y0 && r.x1 == c.x1 && r.y1 == c.y1)
        << c.mx << "," << c.my;
  }
  Heightmap map(16, 16, 1, 1, 9);
  map(0, 0) = 1, map(1, 0) = 2, map(2, 0) = 10, map(1, 1) = 3;
  ControlWindow window;
  BrushReadout(map, BrushRect{0, 0, 2, 1}, &window);  // mean 34 / 6
  EXPECT_TRUE(window.brushMaxOutput->value() == 10 && window.brushMinOutput->value() == 1 &&
              window.brushMeanOutput->value() == 5);
}

// Paint moves half-way to the tool height, truncated; the bump is 255 - f * height, f = (a^2 +
// c^2) / 2, a and c running -1..1 across the square, stretched to 0..height, blurred, then added
// or taken away with saturation. Nothing outside the square changes.
TEST(BrushTools, PaintRaiseAndLowerTheSquareByTheirDefinitions) {
  Heightmap map(32, 32, 1, 1, 0);
  std::vector<int> seen;
  map(11, 11) = 20;
  for (int pass = 0; pass < 5; ++pass, seen.insert(seen.end(), {map(11, 11), map(12, 11)}))
    ApplyTool(map, kPaintPlainBrush, BrushRect{11, 11, 12, 11}, 10);
  EXPECT_EQ(seen, std::vector<int>({15, 5, 12, 7, 11, 8, 10, 9, 10, 9}));
  EXPECT_EQ(map.sum(), 19);
  struct {
    int tool, ground, mx, my, b;
    double height;
  } rows[] = {{kCreateMountain, 100, 100, 100, 5, 30}, {kCreateMountain, 250, 100, 100, 5, 10},
              {kCreateMountain, 0, 246, 10, 3, 200},   {kCreateDepression, 150, 60, 40, 7, 90},
              {kCreateDepression, 3, 100, 100, 5, 10}, {kFixDraw, 80, 20, 20, 5, 90}};
  for (auto c : rows) {
    Heightmap land(249, 249, 1, 1, c.ground), expected(land);
    const BrushRect r = BrushRectAt(c.mx, c.my, c.b, 249, 249);
    ApplyTool(land, c.tool, r, c.height);
    Heightmap bump(r.width(), r.height());
    const long double cx = (r.width() - 1) / 2.0L, cy = (r.height() - 1) / 2.0L;
    cimg_forXY(bump, i, j) {
      const long double a = (i - cx) / cx, s = (j - cy) / cy;
      bump(i, j) = 255 - StoreWrapped(static_cast<float>((a * a + s * s) / 2) * c.height);
    }
    BlurDeriche(Normalize(bump, 0, StoreWrapped(c.height)), 1.0f);
    cimg_forXY(bump, i, j) if (c.tool != kFixDraw) expected(r.x0 + i, r.y0 + j) =
        c.tool == kCreateMountain ? std::min(c.ground + bump(i, j), 255)
                                  : std::max(c.ground - bump(i, j), 0);
    EXPECT_EQ(land, expected) << c.tool << " ground " << c.ground;
  }
}

// Noise Zone: ground - second + first of two noise-20 fields stretched to
// 0..hv and blurred. Blur Zone sees only the square: the wall does not bleed in.
TEST(BrushTools, NoiseAndBlurZoneFollowTheirDefinitionInsideTheSquareOnly) {
  const BrushRect r{10, 12, 22, 20};
  const unsigned char wall = 255;
  Heightmap map = Varied(40);
  const Heightmap ground = map.get_crop(r.x0, r.y0, r.x1, r.y1);
  ExpectSameAsChain(
      [&](Heightmap& m) { ApplyTool(m, kNoiseZone, r, 70); },
      [&](Heightmap& m) {
        Heightmap n1 = GetAddNoise(ground, 20.0, kGaussian),
                  n2 = GetAddNoise(ground, 20.0, kGaussian);
        BlurDeriche(Normalize(n1, 0, 70), 1.0f), BlurDeriche(Normalize(n2, 0, 70), 1.0f);
        cimg_forXY(ground, x, y) m(r.x0 + x, r.y0 + y) = ground(x, y) - n2(x, y) + n1(x, y);
      },
      map);
  map.draw_rectangle(r.x1 + 1, 0, 39, 39, &wall);
  Heightmap zone = map.get_crop(r.x0, r.y0, r.x1, r.y1);
  ExpectSameAsChain([&](Heightmap& m) { ApplyTool(m, kBlurZone, r, 10); },
                    [&](Heightmap& m) { m.draw_image(r.x0, r.y0, BlurDeriche(zone, 1.0f)); }, map);
}
