// Generators, filter slots and resampling, each against the chain of
// operations it is defined by, replayed on the same random numbers.
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

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

const int kWhole = 32768;

int Count(const Heightmap& map, unsigned char v) {
  int n = 0;
  for (unsigned char s : map) n += s == v;
  return n;
}

Heightmap Varied(int side) {
  Heightmap m(side, side, 1, 1);
  cimg_forXY(m, x, y) m(x, y) = static_cast<unsigned char>(x * 5 + y * 11 + x * y);
  return m;
}

// Seeds the random source once, so that srand() decides what follows.
void Seeded(unsigned seed) {
  Heightmap scratch(1, 1, 1, 1, 0);
  AddNoise(scratch, 1, kGaussian);
  std::srand(seed);
}

class TerrainCommands : public ::testing::Test {
 protected:
  void SetUp() override { ResetDefaults(); }
  void TearDown() override {
    ResetDefaults();
    heightmap.assign(249, 249, 1, 1, 0);
  }
};

// The resampling as first defined, sample by sample: four rows of four taps
// interpolated along x, then the four row results along y.
Heightmap ResampleBySample(const Heightmap& src, int w, int h) {
  const int W = src.width(), H = src.height();
  auto cubic = [](float p0, float p1, float p2, float p3, float f) -> float {
    return p1 + 0.5 * f * (p2 - p0) + f * f * (p0 - 2.5 * p1 + 2 * p2 - 0.5 * p3) +
           f * f * f * (0.5 * (p3 - p0) + 1.5 * (p1 - p2));
  };
  auto clamp = [](int i, int n) { return i < 0 ? 0 : i >= n ? n - 1 : i; };
  Heightmap out(w, h, 1, 1, 0);
  const float rx = float(W) / w, ry = float(H) / h;
  float py = 0;
  for (int y = 0; y < h; ++y, py += ry) {
    const float cy = std::min(py, float(H - 1));
    const int iy = int(cy);
    float px = 0;
    for (int x = 0; x < w; ++x, px += rx) {
      const float cx = std::min(px, float(W - 1));
      const int ix = int(cx);
      float rows[4];
      for (int j = 0; j < 4; ++j) {
        const int sy = clamp(iy - 1 + j, H);
        rows[j] = cubic(src(clamp(ix - 1, W), sy), src(ix, sy), src(clamp(ix + 1, W), sy),
                        src(clamp(ix + 2, W), sy), cx - ix);
      }
      out(x, y) = StoreWrapped(cubic(rows[0], rows[1], rows[2], rows[3], cy - iy));
    }
  }
  return out;
}

}  // namespace

TEST(Generators, FollowTheirChainOfOperationsWithTheGivenOptions) {
  GeneratorOptions o;
  o.plasmaAlpha = 2.5, o.plasmaBeta = 0.5, o.plasmaNoise = 40;
  o.noiseSigma = 30, o.noiseType = kUniform;
  o.morviAlpha = 5, o.morviBeta = 2.5, o.morviNoise = 60;
  struct Row {
    int generator;
    std::function<void(Heightmap&)> chain;
  } rows[] = {
      {kPlasma, [&](Heightmap& m) {
         AddNoise(m, 40, kGaussian);
         DrawPlasma(m, 0, 0, kWhole, kWhole, 2.5, 0.5);
       }},
      {kNoise, [&](Heightmap& m) { AddNoise(m, 30, kUniform); }},
      {kMorviGen, [&](Heightmap& m) {
         AddNoise(m, 60, kGaussian);
         PixelPow(PixelSqrt(m), 5);
         BlurDeriche(m, 1.0f);
         PixelPow(PixelSqrt(m), 1.36);
         BlurDeriche(m, static_cast<float>(RandomUniform() * 2.5));
         DrawPlasma(m, 0, 0, kWhole, kWhole, 1.0, 1.0);
         PixelPow(m, 1.156);
         Normalize(m, 0, 255);
       }},
  };
  for (const Row& row : rows) {
    Heightmap made = Varied(40), expected(63, 63, 1, 1, 0);
    Seeded(row.generator + 3);
    GenerateTerrain(made, 63, row.generator, o);
    Seeded(row.generator + 3);
    row.chain(expected);
    EXPECT_EQ(made, expected) << "generator " << row.generator;
  }
  // The start-up terrain works on the map as it is, without a zero fill.
  Heightmap start = Varied(63), expected = Varied(63);
  Seeded(11);
  StartupTerrain(start);
  Seeded(11);
  AddNoise(expected, 100, kGaussian);
  DrawPlasma(expected, 0, 0, kWhole, kWhole, 1.0, 1.0);
  BlurDeriche(expected, 1.0f);
  EXPECT_EQ(start, expected);
}

TEST_F(TerrainCommands, GenerateUsesTheChosenSizeGeneratorAndFilters) {
  noiseSigma = 30, noiseType = kUniform;
  erodeTimes[0] = 2;
  Seeded(4);
  GenerateMapWith(3, kNoise, kErosion, kNegative);
  Heightmap expected(32, 32, 1, 1, 0);
  Seeded(4);
  Negate(ErodeZeros(AddNoise(expected, 30, kUniform), 2));
  EXPECT_EQ(mapSize, 32);
  EXPECT_EQ(heightmap, expected);
}

// Each slot has its own counts; a diamond of radius r has 2r^2 + 2r + 1 samples.
TEST_F(TerrainCommands, FilterSlotsUseTheirOwnCountsAndBlurWithSigmaOne) {
  erodeTimes[0] = 2, erodeTimes[1] = 5, dilateTimes[0] = 1, dilateTimes[1] = 4;
  struct { int first, second, value, radius; } rows[] = {
      {kErosion, kNoFilter, 40, 2}, {kNoFilter, kErosion, 40, 5},
      {kDilate, kNoFilter, 0, 1},   {kNoFilter, kDilate, 0, 4}};
  for (auto row : rows) {
    heightmap.assign(63, 63, 1, 1, row.value ? 0 : 90)(31, 31) = row.value;
    ApplyFiltersWith(row.first, row.second);
    const int r = row.radius;
    EXPECT_EQ(Count(heightmap, row.value), 2 * r * r + 2 * r + 1) << row.first << row.second;
  }
  heightmap = Varied(63);
  Heightmap expected = Varied(63);
  ApplyFiltersWith(kBlur, kNoFilter);
  EXPECT_EQ(heightmap, BlurDeriche(expected, 1.0f));
}

TEST_F(TerrainCommands, ChangeSizeAndGenerateResizeTheEditorAndResetItsZoom) {
  ScopedFakePlatform platform;
  RunWithSteps({[&] {
                  displayZoom = 2;
                  controlWindow->mapDimensionsChoice->value(4);
                  controlWindow->generateMapButton->do_callback();
                  EXPECT_EQ(displayZoom, 1);
                  EXPECT_EQ(heightmap.width(), 16);
                  displayZoom = 2;
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

// Catmull-Rom reproduces a plane: inside the map each result is the plane at
// the source position, truncated. Positions add up the single-precision step.
TEST(Resample, ReproducesAPlaneTiltedAlongBothAxes) {
  Heightmap map(32, 32, 1, 1);
  cimg_forXY(map, x, y) map(x, y) = static_cast<unsigned char>(3 * x + 5 * y);
  Resample(map, 20, 45, ResampleMode::CatmullRom);
  ASSERT_EQ(map.width(), 20);
  ASSERT_EQ(map.height(), 45);
  auto positions = [](int from, int to) {
    std::vector<float> p(to);
    float at = 0, step = float(from) / float(to);
    for (int i = 0; i < to; ++i, at += step) p[i] = at;
    return p;
  };
  const std::vector<float> px = positions(32, 20), py = positions(32, 45);
  int checked = 0;
  for (int y = 0; y < 45; ++y) {
    for (int x = 0; x < 20; ++x) {
      if (px[x] < 1 || px[x] >= 29 || py[y] < 1 || py[y] >= 29) continue;
      const double f = 3.0 * px[x] + 5.0 * py[y];
      const int got = map(x, y);
      EXPECT_TRUE(got == int(std::floor(f - 0.01)) || got == int(std::floor(f + 0.01)))
          << x << "," << y << ": " << got << " for " << f;
      ++checked;
    }
  }
  EXPECT_GT(checked, 300);
  // Overshoot wraps: a cubic across a step from 0 to 255 rises past 255.
  Heightmap step(16, 16, 1, 1, 0);
  cimg_forXY(step, x, y) if (x >= 8) step(x, y) = 255;
  Resample(step, 249, 249, ResampleMode::CatmullRom);
  int wrapped = 0;
  for (int x = 125; x < 150; ++x) wrapped += step(x, 100) < 50;
  EXPECT_GT(wrapped, 0);
}

TEST(Resample, GivesTheBytesOfTheSampleBySampleDefinition) {
  std::srand(3);
  const int sizes[][4] = {{249, 249, 16, 16}, {16, 16, 249, 249}, {63, 63, 125, 125},
                          {125, 125, 32, 32}, {100, 37, 249, 16}, {32, 32, 63, 63}};
  for (const auto& s : sizes) {
    Heightmap map(s[0], s[1], 1, 1, 0);
    for (unsigned char& v : map) v = std::rand() % 256;
    const Heightmap expected = ResampleBySample(map, s[2], s[3]);
    ASSERT_EQ(Resample(map, s[2], s[3], ResampleMode::CatmullRom), expected) << s[0] << ">" << s[2];
  }
}
