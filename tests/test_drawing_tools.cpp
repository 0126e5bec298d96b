#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "editor/drawing_tools.h"
#include "plugin/plugin_state.h"
#include "terrain/heightmap_ops.h"

namespace {

Heightmap Flat(int side, unsigned char v) { return Heightmap(side, side, 1, 1, v); }

Heightmap Varied(int side) {
  Heightmap m(side, side, 1, 1);
  cimg_forXY(m, x, y) m(x, y) = static_cast<unsigned char>(60 + x * 3 + y * 7);
  return m;
}

// The bump as its definition builds it: 255 - f * height with f = (a^2 + c^2) / 2,
// stretched to 0..hv and blurred.
Heightmap ExpectedBump(int w, int h, double height) {
  Heightmap bump(w, h, 1, 1);
  const long double cx = (w - 1) / 2.0L, cy = (h - 1) / 2.0L;
  cimg_forXY(bump, i, j) {
    const long double a = (i - cx) / cx, c = (j - cy) / cy;
    bump(i, j) = 255 - StoreWrapped(static_cast<float>((a * a + c * c) / 2) * height);
  }
  Normalize(bump, 0, StoreWrapped(height));
  return BlurDeriche(bump, 1.0f);
}

void Seeded(unsigned seed) {
  Heightmap scratch(1, 1, 1, 1, 0);
  AddNoise(scratch, 1, kGaussian);
  std::srand(seed);
}

TEST(BrushRect, IsTheSquareAroundThePointerCutToTheMap) {
  struct { int mx, my, b, side, x0, y0, x1, y1; } rows[] = {
      {100, 100, 3, 249, 97, 97, 103, 103}, {0, 0, 3, 249, 0, 0, 3, 3},
      {248, 248, 3, 249, 245, 245, 248, 248}, {246, 10, 3, 249, 243, 7, 248, 13},
      {300, 260, 3, 249, 245, 245, 248, 248}, {5, 5, 20, 16, 0, 0, 15, 15}};
  for (auto c : rows) {
    const BrushRect r = BrushRectAt(c.mx, c.my, c.b, c.side, c.side);
    EXPECT_EQ(std::vector<int>({r.x0, r.y0, r.x1, r.y1}), std::vector<int>({c.x0, c.y0, c.x1, c.y1}))
        << c.mx << "," << c.my;
  }
}

TEST(BrushReadout, GivesMaxMinAndMeanRoundedDown) {
  Heightmap map = Flat(16, 9);
  map(0, 0) = 1;
  map(1, 0) = map(0, 1) = 2, map(1, 1) = 3;
  const BrushStats s = ReadBrush(map, BrushRect{0, 0, 1, 1});
  EXPECT_EQ(std::vector<int>({s.max, s.min, s.mean}), std::vector<int>({3, 1, 2}));  // 8 / 4
  const BrushStats odd = ReadBrush(map, BrushRect{0, 0, 2, 0});
  EXPECT_EQ(odd.mean, 4);  // 13 / 3
}

TEST(PaintPlainBrush, MovesHalfWayTowardsTheToolHeightAndStopsShortByTruncation) {
  struct { unsigned char ground; std::vector<int> passes; } rows[] = {
      {0, {5, 7, 8, 9, 9}}, {20, {15, 12, 11, 10, 10}}};
  for (auto& c : rows) {
    Heightmap map = Flat(32, c.ground);
    std::vector<int> seen;
    for (std::size_t i = 0; i < c.passes.size(); ++i) {
      ApplyTool(map, kPaintPlainBrush, BrushRect{10, 10, 12, 12}, 10);
      seen.push_back(map(11, 11));
    }
    EXPECT_EQ(seen, c.passes) << int(c.ground);
  }
}

// Off-centre and cut squares included; ground 250 saturates, ground 3 too.
TEST(MountainAndDepression, AddOrTakeTheBumpAndSaturate) {
  struct { int tool, ground, mx, my, b; double height; } rows[] = {
      {kCreateMountain, 100, 100, 100, 5, 30}, {kCreateMountain, 250, 100, 100, 5, 10},
      {kCreateMountain, 0, 246, 10, 3, 200},   {kCreateDepression, 150, 60, 40, 7, 90},
      {kCreateDepression, 3, 100, 100, 5, 10}, {kCreateMountain, 100, 0, 0, 1, 50}};
  for (auto c : rows) {
    Heightmap map = Flat(249, c.ground);
    const BrushRect r = BrushRectAt(c.mx, c.my, c.b, 249, 249);
    ApplyTool(map, c.tool, r, c.height);
    const Heightmap bump = ExpectedBump(r.width(), r.height(), c.height);
    for (int y = r.y0; y <= r.y1; ++y) {
      for (int x = r.x0; x <= r.x1; ++x) {
        const int v = bump(x - r.x0, y - r.y0);
        const int want = c.tool == kCreateMountain ? std::min(c.ground + v, 255)
                                                   : std::max(c.ground - v, 0);
        ASSERT_EQ(map(x, y), want) << c.tool << " ground " << c.ground << " at " << x << "," << y;
      }
    }
  }
}

// Both noise fields come from the ground, noise 20, stretched to 0..hv and
// blurred; the result is ground - second + first on 8 bits.
TEST(NoiseAndBlurZone, FollowTheirDefinitionInsideTheSquareOnly) {
  const BrushRect r{10, 12, 22, 20};
  Heightmap map = Varied(40);
  const Heightmap ground = map.get_crop(r.x0, r.y0, r.x1, r.y1);
  Seeded(21);
  ApplyTool(map, kNoiseZone, r, 70);
  Seeded(21);
  Heightmap n1 = GetAddNoise(ground, 20.0, kGaussian), n2;
  BlurDeriche(Normalize(n1, 0, 70), 1.0f);
  n2 = GetAddNoise(ground, 20.0, kGaussian);
  BlurDeriche(Normalize(n2, 0, 70), 1.0f);
  Heightmap expected = Varied(40);
  cimg_forXY(ground, x, y) expected(r.x0 + x, r.y0 + y) =
      static_cast<unsigned char>(ground(x, y) - n2(x, y) + n1(x, y));
  EXPECT_EQ(map, expected);

  // The blur sees only the square: the wall beside it does not bleed in.
  map = Varied(40);
  const unsigned char wall = 255;
  map.draw_rectangle(r.x1 + 1, 0, 39, 39, &wall);
  expected = map;
  Heightmap zone = map.get_crop(r.x0, r.y0, r.x1, r.y1);
  expected.draw_image(r.x0, r.y0, BlurDeriche(zone, 1.0f));
  ApplyTool(map, kBlurZone, r, 10);
  EXPECT_EQ(map, expected);
}

TEST(DrawingTools, ChangeOnlyTheSquareAndHeightZeroChangesNothingButPaint) {
  const BrushRect rect = BrushRectAt(120, 60, 6, 249, 249);
  for (int tool = kFixDraw; tool <= kPaintPlainBrush + 1; ++tool) {
    for (double height : {0.0, 200.0}) {
      Heightmap map = Varied(249);
      ApplyTool(map, tool, rect, height);
      Heightmap outside = map, outsideBefore = Varied(249);
      const unsigned char hole = 0;
      outside.draw_rectangle(rect.x0, rect.y0, rect.x1, rect.y1, &hole);
      outsideBefore.draw_rectangle(rect.x0, rect.y0, rect.x1, rect.y1, &hole);
      EXPECT_EQ(outside, outsideBefore) << "tool " << tool;
      const bool draws = tool >= kCreateMountain && tool <= kPaintPlainBrush;
      const bool zeroDraws = tool == kPaintPlainBrush || tool == kBlurZone;
      EXPECT_EQ(map != Varied(249), height > 0 ? draws : zeroDraws) << tool << " " << height;
    }
  }
}

}  // namespace
