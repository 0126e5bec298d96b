#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "plugin/plugin_state.h"
#include "terrain/filter_chain.h"
#include "terrain/generators.h"
#include "terrain/heightmap_ops.h"
#include "terrain/resample.h"
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

TEST_F(TerrainCommands, GenerateMapMakesAFreshMapOfTheChosenSize) {
  displayZoom = 3;
  GenerateMapWith(0, kPlasma, kBlur, kNoFilter);
  const Heightmap first(heightmap);
  EXPECT_EQ(first.width(), 249);
  EXPECT_EQ(first.height(), 249);
  EXPECT_EQ(displayZoom, 1);
  GenerateMapWith(0, kPlasma, kBlur, kNoFilter);
  EXPECT_NE(heightmap, first);

  GenerateMapWith(4, kMorviGen, kNoFilter, kNoFilter);
  EXPECT_EQ(mapSize, 16);
  EXPECT_EQ(heightmap.width(), 16);
  EXPECT_EQ(heightmap.height(), 16);
  GenerateMapWith(7, kPlasma, kBlur, kNoFilter);  // no such size: nothing happens
  EXPECT_EQ(mapSize, 16);
}

TEST_F(TerrainCommands, GenerateMapResizesTheEditorWindow) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
  std::unique_ptr<cimg_library::CImgDisplay> display(
      new cimg_library::CImgDisplay(heightmap, "Heightmap", 1, false, false));
  editorDisplay = display.get();
  GenerateMapWith(4, kPlasma, kBlur, kNoFilter);
  EXPECT_EQ(display->width(), 16);
  EXPECT_EQ(display->height(), 16);
  editorDisplay = nullptr;
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
    ASSERT_GE(map(x, y), lo - 4) << x << "," << y;  // truncation may shave a little
    ASSERT_LE(map(x, y), hi);
    if (x > 0) {
      ASSERT_LE(std::abs(map(x, y) - map(x - 1, y)), 12) << x << "," << y;
    }
  }
}

TEST_F(TerrainCommands, FilterSlotsUseTheirOwnCounts) {
  erodeTimes[0] = 2;
  erodeTimes[1] = 5;
  displayZoom = 2;
  for (int slot = 0; slot < 2; ++slot) {
    heightmap.assign(63, 63, 1, 1, 0);
    heightmap(31, 31) = 40;
    mapSize = 63;
    if (slot == 0) ApplyFiltersWith(kErosion, kNoFilter);
    if (slot == 1) ApplyFiltersWith(kNoFilter, kErosion);
    const int r = erodeTimes[slot];
    EXPECT_EQ(Count(heightmap, 40), 2 * r * r + 2 * r + 1) << slot;  // a diamond of radius r
  }
  EXPECT_EQ(displayZoom, 2);
  EXPECT_EQ(mapSize, 63);

  const Heightmap before(heightmap);
  ApplyFiltersWith(kNegative, kNegative);
  EXPECT_EQ(heightmap, before);
  ApplyFiltersWith(kNegative, kNoFilter);
  EXPECT_EQ(heightmap(31, 31), 255 - 40);
  EXPECT_EQ(heightmap(0, 0), 255);
}

TEST_F(TerrainCommands, ChangeSizeResamplesAndFiltersWorkAtTheNewSize) {
  heightmap.assign(249, 249, 1, 1, 50);
  cimg_forXY(heightmap, x, y) if (x >= 124) heightmap(x, y) = 200;
  displayZoom = 4;
  ChangeSizeWith(0);  // the current size: no sample changes, zoom back to 1
  EXPECT_EQ(displayZoom, 1);
  EXPECT_EQ(Count(heightmap, 50) + Count(heightmap, 200), 249 * 249);

  ChangeSizeWith(4);
  EXPECT_EQ(mapSize, 16);
  ASSERT_EQ(heightmap.width(), 16);
  EXPECT_EQ(heightmap(2, 8), 50);  // the large step survives shrinking
  EXPECT_EQ(heightmap(13, 8), 200);
  ApplyFiltersWith(kNegative, kNoFilter);
  EXPECT_EQ(heightmap.width(), 16);
  EXPECT_EQ(heightmap(2, 8), 205);
}

TEST(Resample, CatmullRomWrapsOvershootAndStopsShortOfTheFarEdge) {
  Heightmap step(16, 16, 1, 1, 0);
  cimg_forXY(step, x, y) if (x >= 8) step(x, y) = 255;
  Resample(step, 249, 249, ResampleMode::CatmullRom);
  // Just before the step the cubic dips below 0 and wraps to the top; just
  // after it, it rises past 255 and wraps to the bottom.
  int wrappedLow = 0, wrappedHigh = 0;
  for (int x = 100; x < 124; ++x) wrappedLow += step(x, 100) > 200;
  for (int x = 125; x < 150; ++x) wrappedHigh += step(x, 100) < 50;
  EXPECT_GT(wrappedLow, 0);
  EXPECT_GT(wrappedHigh, 0);

  // The source step is 249/125 added up, so the last sample reads near 247.
  Heightmap ramp(249, 249, 1, 1, 0);
  cimg_forXY(ramp, x, y) ramp(x, y) = static_cast<unsigned char>(x);
  Resample(ramp, 125, 125, ResampleMode::CatmullRom);
  EXPECT_NEAR(ramp(124, 60), 247, 1);
  EXPECT_EQ(ramp(0, 60), 0);
  EXPECT_EQ(ramp(50, 60), 99);  // 50 * 1.992 = 99.6, truncated

  // Enlarging a small map gives a smooth copy.
  Heightmap small(16, 16, 1, 1, 0);
  cimg_forXY(small, x, y) small(x, y) = static_cast<unsigned char>(x * 10 + y * 5);
  Resample(small, 249, 249, ResampleMode::CatmullRom);
  cimg_forXY(small, x, y) {
    if (x > 0) {
      ASSERT_LE(std::abs(small(x, y) - small(x - 1, y)), 2);
    }
  }
}

TEST(StartupTerrain, DiffersFromRunToRun) {
  Heightmap a(249, 249, 1, 1, 0), b(249, 249, 1, 1, 0);
  StartupTerrain(a);
  StartupTerrain(b);
  EXPECT_NE(a, b);
  EXPECT_GT(a.max() - a.min(), 50);
}
