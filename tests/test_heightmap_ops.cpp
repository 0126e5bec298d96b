// The whole-map operations, the generators built of them, and resampling.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "terrain/generators.h"
#include "terrain/heightmap_ops.h"
#include "terrain/resample.h"
#include "tests/support/heightmaps.h"

using ::testing::AllOf;
using ::testing::Each;
using ::testing::Ge;
using ::testing::Le;

namespace {

const int kWhole = 32768;  // a far corner past any map: clamped to it

TEST(StoreWrapped, WrapsTheTruncatedValueOnEightBits) {
  const struct {
    double in;
    int out;
  } rows[] = {{-1, 255},    {-37, 219},  {256, 0},    {300, 44},      {3375, 47},
              {255.9, 255}, {-0.5, 0},   {-1.9, 255}, {32767.9, 255}, {-32768.5, 0},
              {32768, 0},   {-32769, 0}, {NAN, 0}};
  for (const auto& row : rows) EXPECT_EQ(StoreWrapped(row.in), row.out) << "of " << row.in;
}

double Spread(const Heightmap& map) { return std::sqrt(map.variance(0)); }

TEST(AddNoise, GaussianSpreadsBySigmaAroundTheOldHeight) {
  Heightmap map(200, 200, 1, 1, 128);
  AddNoise(map, 20, kGaussian);
  EXPECT_NEAR(map.mean(), 128, 1.0);
  EXPECT_NEAR(Spread(map), 20, 1.0);
}

TEST(AddNoise, UniformSpreadsEvenlyWithinSigma) {
  Heightmap map(200, 200, 1, 1, 128);
  AddNoise(map, 60, kUniform);
  EXPECT_NEAR(map.mean(), 128, 1.0);
  EXPECT_NEAR(Spread(map), 60 / std::sqrt(3.0), 1.5);  // a uniform of half-width 60
  EXPECT_THAT(map, Each(AllOf(Ge(68), Le(188))));
}

TEST(AddNoise, SaltAndPepperSetsSigmaPercentToTheExtremesHalfEachWay) {
  Heightmap map(200, 200, 1, 1, 128);
  map(0, 0) = 100;
  map(1, 0) = 150;
  AddNoise(map, 40, kSaltPepper);
  EXPECT_NEAR(Count(map, 100), 8000, 800);
  EXPECT_NEAR(Count(map, 150), 8000, 800);
  EXPECT_EQ(Count(map, 100) + Count(map, 150) + Count(map, 128), 40000);
}

TEST(AddNoise, SaltAndPepperOnAFlatMapUsesTheWholeRange) {
  Heightmap flat(256, 256, 1, 1, 128);
  AddNoise(flat, 100, kSaltPepper);
  EXPECT_EQ(Count(flat, 0) + Count(flat, 255), 65536);
}

// Before writing a sample it reads only the four corners; the last sample stays.
TEST(DrawPlasma, DependsOnlyOnTheCornersAndKeepsTheLastSample) {
  Heightmap varied = Varied(33), flat(33, 33, 1, 1, 0);
  for (int x : {0, 32})
    for (int y : {0, 32}) flat(x, y) = varied(x, y);
  auto plasma = [](Heightmap& m) { DrawPlasma(m, 0, 0, kWhole, kWhole, 3, 5); };
  const Heightmap fromVaried = Seeded(4, varied, plasma);
  EXPECT_EQ(fromVaried, Seeded(4, flat, plasma));
  EXPECT_EQ(fromVaried(32, 32), varied(32, 32));
}

TEST(DrawPlasma, WithoutDisplacementBlendsTheCornersBilinearly) {
  Heightmap map = Varied(33);
  map(0, 0) = 10;
  map(32, 0) = 90;
  map(0, 32) = 170;
  map(32, 32) = 250;
  DrawPlasma(map, 32768, 32768, 0, 0, 0, 0);  // swapped corners are put in order
  cimg_forXY(map, x, y) {
    const double u = x / 32.0, v = y / 32.0;
    const double blend = (10 * (1 - u) + 90 * u) * (1 - v) + (170 * (1 - u) + 250 * u) * v;
    ASSERT_NEAR(map(x, y), blend, 8) << "at " << x << "," << y;
  }
}

// A 2 x 2 square has a half diagonal of 0: only beta displaces its midpoint.
TEST(DrawPlasma, DisplacesByHalfDiagonalTimesAlphaPlusBeta) {
  auto plasma = [](unsigned seed, double alpha, double beta) {
    return Seeded(seed, Heightmap(2, 2, 1, 1, 100),
                  [&](Heightmap& m) { DrawPlasma(m, 0, 0, 1, 1, alpha, beta); });
  };
  EXPECT_EQ(plasma(1, 3, 0), plasma(2, 3, 0)) << "alpha displaced a square without diagonal";
  EXPECT_NE(plasma(1, 0, 3), plasma(2, 0, 3)) << "beta did not displace";
}

TEST(PixelOps, NormalizeFlattensAFlatMapToZero) {
  Heightmap map(16, 16, 1, 1, 10);
  EXPECT_THAT(Normalize(map, 9, 255), Each(0));
}

TEST(PixelOps, NormalizeStretchesTheRangeToTheBounds) {
  Heightmap map(16, 16, 1, 1, 10);
  map(5, 5) = 20;
  map(6, 5) = 15;
  Normalize(map, 40, 240);
  EXPECT_EQ(map(5, 5), 240);
  EXPECT_EQ(map(6, 5), 140);
  EXPECT_EQ(Count(map, 40), 254);
}

TEST(PixelOps, NegateMirrorsEveryHeight) {
  Heightmap ramp(256, 1, 1, 1);
  ramp.fill("x", true);
  Negate(ramp);
  cimg_forX(ramp, x) EXPECT_EQ(ramp(x), 255 - x);
}

// CImg's own Deriche filter, x stored on the byte map before y reads it.
TEST(PixelOps, BlurIsDericheAlongXThenY) {
  Heightmap map(97, 152);
  cimg_forXY(map, x, y) map(x, y) = (x * 3 + y * y) % 256;
  for (float sigma : {0.005f, 1.0f, 2.6f}) {
    SCOPED_TRACE(sigma);
    Heightmap expected(map), got(map);
    if (sigma > 0.01f) expected.deriche(sigma, 0, 'x', 1).deriche(sigma, 0, 'y', 1);
    EXPECT_EQ(BlurDeriche(got, sigma), expected);
  }
}

// Morvi Gen is its documented chain of operations; the blur takes a uniform
// share of beta, drawn between the two halves.
TEST(Generators, MorviGenIsItsDocumentedChain) {
  GeneratorOptions o;
  o.morviAlpha = 5;
  o.morviBeta = 2.5;
  o.morviNoise = 60;
  const Heightmap zeros(63, 63, 1, 1, 0);
  const Heightmap made = Seeded(7, zeros, [&](Heightmap& m) { GenerateTerrain(m, 63, 2, o); });
  const Heightmap chain = Seeded(7, zeros, [](Heightmap& m) {
    AddNoise(m, 60, kGaussian);
    BlurDeriche(PixelPow(PixelSqrt(m), 5), 1.0f);
    BlurDeriche(PixelPow(PixelSqrt(m), 1.36), static_cast<float>(RandomUniform() * 2.5));
    PixelPow(DrawPlasma(m, 0, 0, kWhole, kWhole, 1.0, 1.0), 1.156);
    Normalize(m, 0, 255);
  });
  EXPECT_EQ(made, chain);
}

// Catmull-Rom reproduces a plane: the source position is taken in single precision.
TEST(Resample, ReproducesAPlane) {
  Heightmap map(32, 32, 1, 1);
  cimg_forXY(map, x, y) map(x, y) = static_cast<unsigned char>(3 * x + 5 * y);
  Resample(map, 20, 45, ResampleMode::CatmullRom);
  ASSERT_EQ(map.width(), 20);
  ASSERT_EQ(map.height(), 45);
  float py = 0;
  for (int y = 0; y < 45; ++y) {
    float px = 0;
    for (int x = 0; x < 20; ++x) {
      if (px >= 1 && px < 29 && py >= 1 && py < 29) {
        EXPECT_NEAR(map(x, y), 3.0 * px + 5.0 * py - 0.5, 0.52) << "at " << x << "," << y;
      }
      px += 32.0f / 20;
    }
    py += 32.0f / 45;
  }
}

// Every row is level, so every resampled row is level too, out to its ends.
TEST(Resample, ARampDownTheRowsStaysLevelAlongEachRowToItsEnds) {
  Heightmap ramp(16, 16, 1, 1);
  cimg_forXY(ramp, x, y) ramp(x, y) = static_cast<unsigned char>(10 * y);
  Resample(ramp, 63, 63, ResampleMode::CatmullRom);
  cimg_forY(ramp, y) {
    SCOPED_TRACE(y);
    EXPECT_THAT(ramp.get_row(y), Each(ramp(0, y)));
  }
}

TEST(Resample, DoublingKeepsEverySampleAtEvenPlaces) {
  Heightmap random(16, 24);
  for (unsigned char& v : random) v = std::rand() % 256;
  Heightmap doubled = random;
  Resample(doubled, 32, 48, ResampleMode::CatmullRom);
  cimg_forXY(random, x, y) ASSERT_EQ(doubled(2 * x, 2 * y), random(x, y)) << x << "," << y;
}

TEST(Resample, OvershootPast255Wraps) {
  Heightmap step(16, 16, 1, 1);
  cimg_forXY(step, x, y) step(x, y) = x >= 8 ? 255 : 0;
  Resample(step, 249, 249, ResampleMode::CatmullRom);
  EXPECT_LT(step.get_crop(125, 100, 150, 100).min(), 50) << "the cubic's rise past 255";
}

TEST(Resample, TheSameSizeChangesNothing) {
  Heightmap same = Varied(16);
  EXPECT_EQ(Resample(same, 16, 16, ResampleMode::CatmullRom), Varied(16));
}

}  // namespace
