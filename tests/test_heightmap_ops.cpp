// The whole-map operations, the generators built of them, and resampling.
#include <gmock/gmock.h>

#include <cmath>

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

// Gaussian noise deviates by sigma; uniform noise stays within sigma either way. Storing
// truncates, so the mean sits half a step below the old height. Seeded: no chance failures.
TEST(AddNoise, SpreadsAroundTheOldHeightBySigma) {
  const Heightmap flat(200, 200, 1, 1, 128);
  const Heightmap gaussian = Seeded(1, flat, [](Heightmap& m) { AddNoise(m, 20, kGaussian); });
  const Heightmap uniform = Seeded(1, flat, [](Heightmap& m) { AddNoise(m, 60, kUniform); });
  EXPECT_NEAR(gaussian.mean(), 127.5, 1.0);
  EXPECT_NEAR(std::sqrt(gaussian.variance(0)), 20, 1.0);
  EXPECT_NEAR(uniform.mean(), 127.5, 1.0);
  EXPECT_THAT(uniform, Each(AllOf(Ge(68), Le(188))));
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

// Before writing a sample it reads only the four corners; the last one stays as it was.
TEST(DrawPlasma, DependsOnlyOnTheCornersItKeeps) {
  Heightmap varied = Varied(33), flat(33, 33, 1, 1, 0);
  for (int x : {0, 32})
    for (int y : {0, 32}) flat(x, y) = varied(x, y);
  auto plasma = [](Heightmap& m) { DrawPlasma(m, 0, 0, kWhole, kWhole, 3, 5); };
  const Heightmap fromVaried = Seeded(4, varied, plasma);
  EXPECT_EQ(fromVaried, Seeded(4, flat, plasma));
  EXPECT_EQ(fromVaried(32, 32), varied(32, 32));
}

// A plasma (noise 100, alpha 1, beta 1) of the map the host handed over, smoothed once.
TEST(StartupTerrain, IsTheSmoothedPlasmaOfTheGivenMap) {
  const Heightmap made = Seeded(3, Varied(65), [](Heightmap& m) { StartupTerrain(m); });
  const Heightmap chain = Seeded(3, Varied(65), [](Heightmap& m) {
    AddNoise(m, 100, kGaussian);
    BlurDeriche(DrawPlasma(m, 0, 0, kWhole, kWhole, 1, 1), 1.0f);
  });
  EXPECT_EQ(made, chain);
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

TEST(PixelOps, NegateMirrorsEveryHeight) {
  Heightmap ramp(256, 1, 1, 1);
  ramp.fill("x", true);
  Negate(ramp);
  cimg_forX(ramp, x) EXPECT_EQ(ramp(x), 255 - x);
}

// The blur takes a uniform share of beta, drawn between the two halves.
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

}  // namespace
