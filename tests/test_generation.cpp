#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <gtest/gtest.h>

#include <cstdlib>

#include "plugin/plugin_state.h"
#include "terrain/filter_chain.h"
#include "terrain/generators.h"
#include "terrain/heightmap_ops.h"
#include "terrain/resample.h"
#include "tests/support/fake_platform.h"
#include "tests/support/run_driver.h"
#include "ui/control_window.h"
#include "ui/terrain_commands.h"

namespace {

int Count(const Heightmap& map, unsigned char v) {
  int n = 0;
  for (unsigned char s : map) n += s == v;
  return n;
}

class TerrainCommands : public ::testing::Test {
 protected:
  void SetUp() override { ResetDefaults(); }
  void TearDown() override { heightmap.assign(249, 249, 1, 1, 0); }
};

}  // namespace

TEST_F(TerrainCommands, ButtonsOfTheRunningPlugInWorkAtTheChosenSize) {
  ScopedFakePlatform platform;
  Heightmap first;
  RunWithSteps({[&] {
                  displayZoom = 3;
                  controlWindow->generateMapButton->do_callback();
                  first = heightmap;
                  controlWindow->generateMapButton->do_callback();
                  EXPECT_NE(heightmap, first);  // a fresh terrain on every press
                  EXPECT_EQ(heightmap.width(), 249);
                  EXPECT_EQ(displayZoom, 1);
                  controlWindow->mapDimensionsChoice->value(4);
                  controlWindow->generateMapButton->do_callback();
                },
                [&] {
                  EXPECT_EQ(mapSize, 16);
                  EXPECT_EQ(heightmap.width(), 16);
                  EXPECT_EQ(editorDisplay->width(), 16);
                  first = heightmap;
                  controlWindow->firstFilterChoice->value(kNegative);
                  controlWindow->secondFilterChoice->value(kNegative);
                  controlWindow->applyFiltersButton->do_callback();
                  EXPECT_EQ(heightmap, first);
                  displayZoom = 3;
                  controlWindow->mapDimensionsChoice->value(2);
                  controlWindow->changeSizeButton->do_callback();
                },
                [&] {
                  EXPECT_EQ(mapSize, 63);
                  EXPECT_EQ(displayZoom, 1);
                  EXPECT_EQ(heightmap.height(), 63);
                  EXPECT_EQ(editorDisplay->height(), 63);
                }});
}

TEST(Generators, EachHasItsCharacterBeforeTheFilters) {
  Heightmap map;
  GeneratorOptions options;
  options.noiseType = kSaltPepper;
  GenerateTerrain(map, 249, kNoise, options);
  EXPECT_EQ(Count(map, 0) + Count(map, 255), 249 * 249);
  for (int i = 0; i < 5; ++i) {
    GenerateTerrain(map, 63, kMorviGen, options);
    EXPECT_EQ(map.min(), 0);
    EXPECT_EQ(map.max(), map.min() == map.max() ? 0 : 255);
  }
  // Without displacement the plasma only blends the four noisy corners.
  options.plasmaAlpha = options.plasmaBeta = 0;
  GenerateTerrain(map, 125, kPlasma, options);
  const int lo = std::min({map(0, 0), map(124, 0), map(0, 124), map(124, 124)});
  const int hi = std::max({map(0, 0), map(124, 0), map(0, 124), map(124, 124)});
  cimg_forXY(map, x, y) {
    ASSERT_GE(map(x, y), lo - 4);  // truncation may shave a little
    ASSERT_LE(map(x, y), hi);
    if (x > 0) {
      ASSERT_LE(std::abs(map(x, y) - map(x - 1, y)), 12) << x << "," << y;
    }
  }
  Heightmap a(249, 249, 1, 1, 0), b(a);
  EXPECT_NE(StartupTerrain(a), StartupTerrain(b));
}

TEST_F(TerrainCommands, FilterSlotsUseTheirOwnCountsAndKeepSizeAndZoom) {
  erodeTimes[0] = 2, erodeTimes[1] = 5;
  displayZoom = 2;
  for (int slot = 0; slot < 2; ++slot) {
    heightmap.assign(63, 63, 1, 1, 0)(31, 31) = 40;
    ApplyFiltersWith(slot ? kNoFilter : kErosion, slot ? kErosion : kNoFilter);
    const int r = erodeTimes[slot];
    EXPECT_EQ(Count(heightmap, 40), 2 * r * r + 2 * r + 1) << slot;  // a diamond of radius r
  }
  ApplyFiltersWith(kNegative, kNoFilter);
  EXPECT_EQ(heightmap(31, 31), 255 - 40);
  EXPECT_EQ(heightmap(0, 0), 255);
  EXPECT_EQ(displayZoom, 2);
  EXPECT_EQ(heightmap.width(), 63);
}

TEST(Resample, CatmullRomWrapsOvershootAndStopsShortOfTheFarEdge) {
  Heightmap halves(249, 249, 1, 1, 50);
  cimg_forXY(halves, x, y) if (x >= 124) halves(x, y) = 200;
  const Heightmap before(halves);
  EXPECT_EQ(Resample(halves, 249, 249, ResampleMode::CatmullRom), before);
  Resample(halves, 16, 16, ResampleMode::CatmullRom);  // large features survive
  EXPECT_EQ(halves(2, 8) + halves(13, 8), 250);

  Heightmap step(16, 16, 1, 1, 0);
  cimg_forXY(step, x, y) if (x >= 8) step(x, y) = 255;
  Resample(step, 249, 249, ResampleMode::CatmullRom);
  // Before the step the cubic dips below 0 and wraps to the top; after it, it
  // rises past 255 and wraps to the bottom.
  int wrappedLow = 0, wrappedHigh = 0;
  for (int x = 100; x < 124; ++x) wrappedLow += step(x, 100) > 200;
  for (int x = 125; x < 150; ++x) wrappedHigh += step(x, 100) < 50;
  EXPECT_GT(wrappedLow * wrappedHigh, 0);

  // The source step 249/125 is added up, so the last sample reads near 247.
  Heightmap ramp(249, 249, 1, 1, 0);
  cimg_forXY(ramp, x, y) ramp(x, y) = static_cast<unsigned char>(x);
  Resample(ramp, 125, 125, ResampleMode::CatmullRom);
  EXPECT_NEAR(ramp(124, 60), 247, 1);
  EXPECT_EQ(ramp(50, 60), 99);  // 50 * 1.992 = 99.6, truncated
}
