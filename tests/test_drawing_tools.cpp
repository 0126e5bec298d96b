// The filter slots, the brush square and its readout, and the six brush tools.
#include <FL/Fl_Value_Output.H>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "editor/drawing_tools.h"
#include "plugin/plugin_state.h"
#include "terrain/filter_chain.h"
#include "terrain/generators.h"
#include "terrain/heightmap_ops.h"
#include "tests/support/heightmaps.h"
#include "ui/control_window.h"
#include "ui/terrain_commands.h"

using ::testing::Each;

namespace {

// Erosion spreads the highest value over zeros, dilation zeros over the rest: a
// diamond of radius r (2r(r + 1) + 1 samples) around one seed, halved at an edge.
TEST(FilterSlots, MorphologyReachesItsOwnSlotsCount) {
  ResetDefaults();
  erodeTimes[0] = 2;
  erodeTimes[1] = 5;
  dilateTimes[0] = 1;
  dilateTimes[1] = 4;
  const struct {
    int first, second, seed, radius, x;
  } rows[] = {{kErosion, kNoFilter, 40, 2, 31},
              {kNoFilter, kErosion, 40, 5, 31},
              {kDilate, kNoFilter, 0, 1, 31},
              {kNoFilter, kDilate, 0, 4, 31},
              {kErosion, kNoFilter, 40, 2, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message()
                 << "filters " << row.first << ", " << row.second << " seed at x " << row.x);
    heightmap.assign(63, 63, 1, 1, row.seed ? 0 : 90);
    heightmap(row.x, 31) = row.seed;
    ApplyFiltersWith(row.first, row.second);
    const int r = row.radius, cut = row.x ? 0 : r * r;
    EXPECT_EQ(Count(heightmap, row.seed), 2 * r * (r + 1) + 1 - cut);
  }
}

TEST(FilterSlots, BlurIsDericheOfSigmaOne) {
  Heightmap map = Varied(63), expected = Varied(63);
  expected.deriche(1.0f, 0, 'x', 1).deriche(1.0f, 0, 'y', 1);
  EXPECT_EQ(ApplyFilterSlot(map, kBlur, 0, 0), expected);
}

TEST(GenerateMap, MakesThePickedSizeWithThePickedGeneratorThenBothFilters) {
  ResetDefaults();
  noiseSigma = 30;
  noiseType = kUniform;
  GenerateMapWith(3, kNoise, kNoFilter, kNegative);
  EXPECT_EQ(mapSize, 32);
  ASSERT_EQ(heightmap.width(), 32);
  // Uniform noise of 30 on zeros, negated: within 30 of 255 (or wrapped below 0).
  for (unsigned char v : heightmap) ASSERT_TRUE(v >= 225 || v <= 29) << int(v);
}

TEST(Brush, IsTheSquareAroundThePointerCutToTheMap) {
  const struct {
    int mx, my, b, w, h, x0, y0, x1, y1;
  } rows[] = {
      {100, 100, 3, 249, 249, 97, 97, 103, 103}, {0, 0, 3, 249, 249, 0, 0, 3, 3},
      {246, 10, 3, 249, 249, 243, 7, 248, 13},   {300, 260, 3, 249, 125, 245, 121, 248, 124},
      {5, 5, 20, 16, 16, 0, 0, 15, 15},          {10, 3, -2, 16, 16, 10, 3, 10, 3}};
  for (const auto& c : rows) {
    const BrushRect r = BrushRectAt(c.mx, c.my, c.b, c.w, c.h);
    EXPECT_EQ(std::make_tuple(r.x0, r.y0, r.x1, r.y1), std::make_tuple(c.x0, c.y0, c.x1, c.y1))
        << "pointer " << c.mx << "," << c.my << " brush " << c.b << " map " << c.w << "x" << c.h;
  }
}

TEST(Brush, ReadoutShowsTheSquaresExtremesAndMean) {
  Heightmap map(16, 16, 1, 1, 9);
  map(0, 0) = 1;
  map(1, 0) = 2;
  map(2, 0) = 10;
  map(1, 1) = 3;
  ControlWindow window;
  BrushReadout(map, BrushRect{0, 0, 2, 1}, &window);  // 34 over 6 samples
  EXPECT_EQ(window.brushMaxOutput->value(), 10);
  EXPECT_EQ(window.brushMinOutput->value(), 1);
  EXPECT_EQ(window.brushMeanOutput->value(), 5);
}

// Each pass moves half-way to the tool height, truncated.
TEST(BrushTools, PaintMovesHalfWayToTheHeightEachPass) {
  Heightmap map(32, 32, 1, 1, 0);
  map(11, 11) = 20;
  std::vector<int> left, right;
  for (int pass = 0; pass < 5; ++pass) {
    ApplyTool(map, kPaintPlainBrush, BrushRect{11, 11, 12, 11}, 10);
    left.push_back(map(11, 11));
    right.push_back(map(12, 11));
  }
  EXPECT_THAT(left, ::testing::ElementsAre(15, 12, 11, 10, 10));
  EXPECT_THAT(right, ::testing::ElementsAre(5, 7, 8, 9, 9));
  EXPECT_EQ(map.sum(), 19) << "painted outside the square";
}

// One pass of a tool on flat ground with an 11 x 11 brush around (60, 40); the change.
cimg_library::CImg<int> Change(int tool, int ground, double height) {
  Heightmap map(120, 80, 1, 1, ground);
  ApplyTool(map, tool, BrushRectAt(60, 40, 5, 120, 80), height);
  return cimg_library::CImg<int>(map) - ground;
}

int Outside(const cimg_library::CImg<int>& change) {  // what changed off the 55..65 x 35..45 square
  cimg_library::CImg<int> off(change);
  off.draw_rectangle(55, 35, 65, 45, cimg_library::CImg<int>::vector(0).data());
  return off.abs().max();
}

// The bump: the full height under the centre, half of it at the middle of each
// side, smoothed so that even the corners rise a little.
TEST(BrushTools, MountainBumpFallsFromTheFullHeightAtTheCentre) {
  const auto up = Change(kCreateMountain, 100, 30);
  EXPECT_THAT(up(60, 40), ::testing::AllOf(::testing::Ge(27), ::testing::Le(30)))
      << "the full height, a little smoothed";
  EXPECT_NEAR(up(55, 40), 15, 3);
  EXPECT_NEAR(up(60, 45), 15, 3);
  EXPECT_GT(up(55, 35), 0) << "the bump was not smoothed";
  EXPECT_LT(up(55, 35), 5);
  EXPECT_EQ(Outside(up), 0);
}

TEST(BrushTools, BumpsStopAtTheHeightLimits) {
  EXPECT_EQ(Change(kCreateMountain, 250, 10).max(), 5);
  EXPECT_EQ(Change(kCreateDepression, 3, 10).min(), -3);
}

// Each field follows the ground; on a ramp of 160 the noise of sigma 20 leaves
// about 3 heights of difference (a noise three times stronger, about 7).
TEST(BrushTools, NoiseZoneOnASlopeAddsOnlyWeakNoise) {
  Heightmap map(120, 80, 1, 1);
  cimg_forXY(map, x, y) map(x, y) = 40 + 4 * std::clamp(x - 40, 0, 40);
  const Heightmap before = map;
  ApplyTool(map, kNoiseZone, BrushRect{40, 20, 80, 60}, 70);
  const auto change = cimg_library::CImg<int>(map) - cimg_library::CImg<int>(before);
  const double rms = std::sqrt(change.get_crop(40, 20, 80, 60).sqr().mean());
  EXPECT_GT(rms, 1);
  EXPECT_LT(rms, 5);
}

// The blur sees the square alone: a wall beside it does not bleed in.
TEST(BrushTools, BlurZoneBlursTheSquareAsIfNothingWereAroundIt) {
  Heightmap map = Varied(40);
  const BrushRect r{10, 12, 22, 20};
  Heightmap zone = map.get_crop(r.x0, r.y0, r.x1, r.y1);
  zone.deriche(1.0f, 0, 'x', 1).deriche(1.0f, 0, 'y', 1);
  const unsigned char wall = 255;
  map.draw_rectangle(r.x1 + 1, 0, 39, 39, &wall);
  Heightmap expected = map;
  expected.draw_image(r.x0, r.y0, zone);
  ApplyTool(map, kBlurZone, r, 10);
  EXPECT_EQ(map, expected);
}

}  // namespace
