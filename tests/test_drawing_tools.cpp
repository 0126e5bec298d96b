// The filter slots, the brush square and its readout, and the brush tools.
#include <FL/Fl_Value_Output.H>
#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "editor/drawing_tools.h"
#include "plugin/plugin_state.h"
#include "terrain/filter_chain.h"
#include "terrain/generators.h"
#include "tests/support/heightmaps.h"
#include "ui/control_window.h"
#include "ui/terrain_commands.h"

using ::testing::AllOf;
using ::testing::AnyOf;
using ::testing::Each;
using ::testing::Ge;
using ::testing::Le;

namespace {

// Erosion spreads the top value over zeros, dilation zeros: a diamond of 2r(r + 1) + 1 samples.
TEST(FilterSlots, MorphologyReachesItsOwnSlotsCount) {
  ResetDefaults();
  erodeTimes[0] = 2;
  dilateTimes[0] = 1;
  dilateTimes[1] = 4;
  const struct {
    int first, second, seed, radius;
  } rows[] = {{kErosion, kNoFilter, 40, 2}, {kNoFilter, kDilate, 0, 4}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "filters " << row.first << ", " << row.second);
    heightmap.assign(63, 63, 1, 1, row.seed ? 0 : 90);
    heightmap(31, 31) = row.seed;
    ApplyFiltersWith(row.first, row.second);
    EXPECT_EQ(Count(heightmap, row.seed), 2 * row.radius * (row.radius + 1) + 1);
  }
}

TEST(FilterSlots, BlurIsDericheOfSigmaOneAlongXThenY) {
  Heightmap map = Varied(63), expected = Varied(63);
  expected.deriche(1.0f, 0, 'x', 1).deriche(1.0f, 0, 'y', 1);
  EXPECT_EQ(ApplyFilterSlot(map, kBlur, 0, 0), expected);
}

TEST(GenerateMap, MakesThePickedSizeWithThePickedGeneratorThenBothFilters) {
  ResetDefaults();
  noiseSigma = 30;
  noiseType = kUniform;
  GenerateMapWith(3, kNoise, kNoFilter, kNegative);
  ASSERT_EQ(heightmap.width(), 32);
  EXPECT_THAT(heightmap, Each(AnyOf(Ge(225), Le(29)))) << "not noise of 30 on zeros, negated";
}

TEST(Brush, IsTheSquareAroundThePointerCutToTheMap) {
  const struct {
    int mx, my, b, w, h, x0, y0, x1, y1;
  } rows[] = {{100, 100, 3, 249, 249, 97, 97, 103, 103},
              {300, 260, 3, 249, 125, 245, 121, 248, 124},
              {5, 5, 20, 16, 16, 0, 0, 15, 15},
              {10, 3, -2, 16, 16, 10, 3, 10, 3}};
  for (const auto& c : rows) {
    const BrushRect r = BrushRectAt(c.mx, c.my, c.b, c.w, c.h);
    EXPECT_EQ(std::make_tuple(r.x0, r.y0, r.x1, r.y1), std::make_tuple(c.x0, c.y0, c.x1, c.y1))
        << "pointer " << c.mx << "," << c.my << " brush " << c.b << " map " << c.w << "x" << c.h;
  }
}

TEST(Brush, ReadoutShowsTheSquaresExtremesAndMean) {
  Heightmap map(16, 16, 1, 1, 9);
  map(0, 0) = 1;
  map(2, 0) = 10;
  ControlWindow window;
  BrushReadout(map, BrushRect{0, 0, 2, 1}, &window);  // 47 over 6 samples
  EXPECT_EQ(window.brushMaxOutput->value(), 10);
  EXPECT_EQ(window.brushMinOutput->value(), 1);
  EXPECT_EQ(window.brushMeanOutput->value(), 7);
}

// What one pass of a tool changes on flat ground with an 11 x 11 brush around (60, 40).
cimg_library::CImg<int> Change(int tool, int ground, double height) {
  Heightmap map(120, 80, 1, 1, ground);
  ApplyTool(map, tool, BrushRectAt(60, 40, 5, 120, 80), height);
  return cimg_library::CImg<int>(map) - ground;
}

// The largest change off the square r.
int Outside(cimg_library::CImg<int> change, const BrushRect& r) {
  return change.draw_rectangle(r.x0, r.y0, r.x1, r.y1, cimg_library::CImg<int>::vector(0).data())
      .abs()
      .max();
}

// The full height under the centre, half of it mid-side, smoothed so that the corners rise.
TEST(BrushTools, MountainBumpFallsFromTheFullHeightAtTheCentre) {
  const auto up = Change(kCreateMountain, 100, 30);
  EXPECT_THAT(up(60, 40), AllOf(Ge(27), Le(30))) << "the full height, a little smoothed";
  EXPECT_NEAR(up(55, 40), 15, 3);
  EXPECT_NEAR(up(60, 45), 15, 3);
  EXPECT_GT(up(55, 35), 0) << "the bump was not smoothed";
  EXPECT_LT(up(55, 35), 5);
  EXPECT_EQ(Outside(up, BrushRect{55, 35, 65, 45}), 0) << "raised outside the square";
}

// The tallest bump's falloff stays within 8 bits: its edge rises to half the height.
TEST(BrushTools, TallBumpRisesToHalfItsHeightOnTheEdge) {
  const auto up = Change(kCreateMountain, 0, 250);
  EXPECT_GT(up(60, 40), 200);
  int edge = 0;
  for (int i = 0; i <= 10; ++i)
    edge = std::max({edge, up(55 + i, 35), up(55 + i, 45), up(55, 35 + i), up(65, 35 + i)});
  EXPECT_NEAR(edge, 125, 20);
}

// Saturated, never wrapped: a stroke cannot turn a peak into a pit.
TEST(BrushTools, BumpsStopAtTheHeightLimits) {
  const auto up = Change(kCreateMountain, 250, 10);
  EXPECT_EQ(up.max(), 5);
  EXPECT_GE(up.min(), 0) << "a raise wrapped past 255";
  const auto down = Change(kCreateDepression, 3, 10);
  EXPECT_EQ(down.min(), -3);
  EXPECT_LE(down.max(), 0) << "a lowering wrapped below 0";
}

// On a ramp of 160 the noise of sigma 20 leaves about 3 of difference (sigma 60: about 7).
TEST(BrushTools, NoiseZoneOnASlopeAddsWeakNoiseInsideTheSquareOnly) {
  Heightmap map(120, 80, 1, 1);
  cimg_forXY(map, x, y) map(x, y) = 40 + 4 * std::clamp(x - 40, 0, 40);
  const Heightmap before = map;
  const BrushRect r{40, 20, 80, 60};
  ApplyTool(map, kNoiseZone, r, 70);
  const auto change = cimg_library::CImg<int>(map) - cimg_library::CImg<int>(before);
  const double rms = std::sqrt(change.get_crop(r.x0, r.y0, r.x1, r.y1).sqr().mean());
  EXPECT_GT(rms, 1);
  EXPECT_LT(rms, 5);
  EXPECT_EQ(Outside(change, r), 0) << "noise outside the square";
}

}  // namespace
