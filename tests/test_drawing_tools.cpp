#include <FL/Fl_Value_Output.H>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "editor/drawing_tools.h"
#include "plugin/plugin_state.h"
#include "terrain/heightmap_ops.h"
#include "ui/control_window.h"

namespace {

Heightmap Varied(int side) {
  Heightmap m(side, side, 1, 1);
  cimg_forXY(m, x, y) m(x, y) = static_cast<unsigned char>(60 + x * 3 + y * 7);
  return m;
}

TEST(Brush, IsTheSquareAroundThePointerCutToTheMapAndReadsMaxMinAndMean) {
  struct { int mx, my, b, w, h, x0, y0, x1, y1; } rows[] = {
      {100, 100, 3, 249, 249, 97, 97, 103, 103}, {0, 0, 3, 249, 249, 0, 0, 3, 3},
      {246, 10, 3, 249, 249, 243, 7, 248, 13},   {300, 260, 3, 249, 125, 245, 121, 248, 124},
      {5, 5, 20, 16, 16, 0, 0, 15, 15},          {10, 3, -2, 16, 16, 10, 3, 10, 3}};
  for (auto c : rows) {
    const BrushRect r = BrushRectAt(c.mx, c.my, c.b, c.w, c.h);
    EXPECT_EQ(std::vector<int>({r.x0, r.y0, r.x1, r.y1}), std::vector<int>({c.x0, c.y0, c.x1, c.y1}));
  }
  Heightmap map(16, 16, 1, 1, 9);
  map(0, 0) = 1, map(1, 0) = 2, map(2, 0) = 10, map(1, 1) = 3;
  ControlWindow window;
  BrushReadout(map, BrushRect{0, 0, 2, 1}, &window);  // mean 34 / 6
  EXPECT_EQ(std::vector<double>({window.brushMaxOutput->value(), window.brushMinOutput->value(),
                                 window.brushMeanOutput->value()}), std::vector<double>({10, 1, 5}));
}

// Paint moves half-way towards the tool height and stops short by truncation;
// Fix Draw changes nothing.
TEST(PaintAndFixDraw, MoveHalfWayOrNotAtAll) {
  Heightmap map = Varied(32), before(map);
  ApplyTool(map, kFixDraw, BrushRect{0, 0, 31, 31}, 200);
  EXPECT_EQ(map, before);
  map.fill(0)(11, 11) = 20;
  std::vector<int> seen;
  for (int pass = 0; pass < 5; ++pass) {
    ApplyTool(map, kPaintPlainBrush, BrushRect{11, 11, 12, 11}, 10);
    seen.insert(seen.end(), {map(11, 11), map(12, 11)});
  }
  EXPECT_EQ(seen, std::vector<int>({15, 5, 12, 7, 11, 8, 10, 9, 10, 9}));
  EXPECT_EQ(map.sum(), 19);
}

// The bump: 255 - f * height with f = (a^2 + c^2) / 2, a and c running -1..1
// across the square, stretched to 0..height and blurred; added or taken away
// with saturation, nothing outside the square. Off-centre and cut squares.
TEST(MountainAndDepression, AddOrTakeTheBlurredBumpAndSaturate) {
  struct { int tool, ground, mx, my, b; double height; } rows[] = {
      {kCreateMountain, 100, 100, 100, 5, 30}, {kCreateMountain, 250, 100, 100, 5, 10},
      {kCreateMountain, 0, 246, 10, 3, 200},   {kCreateDepression, 150, 60, 40, 7, 90},
      {kCreateDepression, 3, 100, 100, 5, 10}};
  for (auto c : rows) {
    Heightmap map(249, 249, 1, 1, c.ground), expected(map);
    const BrushRect r = BrushRectAt(c.mx, c.my, c.b, 249, 249);
    ApplyTool(map, c.tool, r, c.height);
    Heightmap bump(r.width(), r.height());
    const long double cx = (r.width() - 1) / 2.0L, cy = (r.height() - 1) / 2.0L;
    cimg_forXY(bump, i, j) {
      const long double a = (i - cx) / cx, s = (j - cy) / cy;
      bump(i, j) = 255 - StoreWrapped(static_cast<float>((a * a + s * s) / 2) * c.height);
    }
    BlurDeriche(Normalize(bump, 0, StoreWrapped(c.height)), 1.0f);
    cimg_forXY(bump, i, j) expected(r.x0 + i, r.y0 + j) = c.tool == kCreateMountain
        ? std::min(c.ground + bump(i, j), 255) : std::max(c.ground - bump(i, j), 0);
    EXPECT_EQ(map, expected) << c.tool << " ground " << c.ground;
  }
}

// Noise Zone: two fields from the ground with noise 20, stretched to 0..hv and
// blurred; the result is ground - second + first on 8 bits. Blur Zone sees
// only the square, so the wall beside it does not bleed in.
TEST(NoiseAndBlurZone, FollowTheirDefinitionInsideTheSquareOnly) {
  const BrushRect r{10, 12, 22, 20};
  Heightmap map = Varied(40), expected(map), scratch(1, 1, 1, 1, 0);
  const Heightmap ground = map.get_crop(r.x0, r.y0, r.x1, r.y1);
  AddNoise(scratch, 1, kGaussian);  // seeds once, so that srand() decides what follows
  std::srand(21);
  ApplyTool(map, kNoiseZone, r, 70);
  std::srand(21);
  Heightmap n1 = GetAddNoise(ground, 20.0, kGaussian), n2 = GetAddNoise(ground, 20.0, kGaussian);
  BlurDeriche(Normalize(n1, 0, 70), 1.0f), BlurDeriche(Normalize(n2, 0, 70), 1.0f);
  cimg_forXY(ground, x, y) expected(r.x0 + x, r.y0 + y) = ground(x, y) - n2(x, y) + n1(x, y);
  EXPECT_EQ(map, expected);
  const unsigned char wall = 255;
  map = Varied(40).draw_rectangle(r.x1 + 1, 0, 39, 39, &wall);
  Heightmap zone = map.get_crop(r.x0, r.y0, r.x1, r.y1);
  expected = Heightmap(map).draw_image(r.x0, r.y0, BlurDeriche(zone, 1.0f));
  ApplyTool(map, kBlurZone, r, 10);
  EXPECT_EQ(map, expected);
}

}  // namespace
