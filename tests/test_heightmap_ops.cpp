// The whole-map operations and the generators made of them, on the same random numbers; resampling.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "terrain/filter_chain.h"
#include "terrain/generators.h"
#include "terrain/heightmap_ops.h"
#include "terrain/resample.h"

// Shared with the brush tools' tests.
int Count(const Heightmap& map, unsigned char v) { return std::count(map.begin(), map.end(), v); }

Heightmap Varied(int side) {
  return Heightmap(side, side, 1, 1).fill("(60+5*x+11*y+x*y)%256", true);
}

void ExpectSameAsChain(const std::function<void(Heightmap&)>& made,
                       const std::function<void(Heightmap&)>& chain, Heightmap start) {
  Heightmap got(start), scratch(1, 1, 1, 1, 0);
  AddNoise(scratch, 1, kGaussian);  // seeds once, so that srand() decides the rest
  std::srand(7), made(got);
  std::srand(7), chain(start);
  EXPECT_EQ(got, start);
}

const int kWhole = 32768;

TEST(StoreWrapped, TruncatesThenKeepsTheLowByteAndZeroesOutOfRange) {
  const double in[] = {-1,   -37,     256,      300,   3375,   255.9, -0.5,
                       -1.9, 32767.9, -32768.5, 32768, -32769, NAN};
  const int out[] = {255, 219, 0, 44, 47, 255, 0, 255, 255, 0, 0, 0, 0};
  for (int i = 0; i < 13; ++i) EXPECT_EQ(StoreWrapped(in[i]), out[i]) << in[i];
}

// On a flat 128 map: Gaussian of spread sigma, uniform in [-sigma, sigma] (spread sigma / sqrt 3),
// salt and pepper setting sigma % of samples to the map's extremes (flat: 0, 255), half each way.
TEST(AddNoise, EachKindHasItsSpreadAroundTheOldValue) {
  for (int kind : {kGaussian, kUniform}) {
    Heightmap map(200, 200, 1, 1, 128);
    const double sigma = kind == kGaussian ? 20 : 60,
                 spread = kind == kGaussian ? 20 : 60 / std::sqrt(3.0);
    EXPECT_EQ(Count(AddNoise(map, 0, kind), 128), 40000);
    AddNoise(map, sigma, kind);
    EXPECT_NEAR(map.mean(), 128, 1.0) << kind;
    EXPECT_NEAR(std::sqrt(map.variance(0)), spread, spread * 0.05) << kind;
    EXPECT_TRUE(kind == kGaussian || (map.min() >= 68 && map.max() <= 188));
  }
  Heightmap map(200, 200, 1, 1, 128), flat(256, 256, 1, 1, 128);
  map(0, 0) = 100, map(1, 0) = 150;
  AddNoise(map, 40, kSaltPepper), AddNoise(flat, 100, kSaltPepper);
  const int lows = Count(map, 100), highs = Count(map, 150);
  EXPECT_TRUE(std::abs(lows - 8000) < 800 && std::abs(highs - 8000) < 800) << lows << " " << highs;
  EXPECT_EQ(lows + highs + Count(map, 128), 40000);
  EXPECT_EQ(Count(flat, 0) + Count(flat, 255), 65536);
}

// Undisplaced midpoints average corners: close to their bilinear blend. The
// displacement is (half diagonal) * alpha + beta; on a 2 x 2 map that is beta.
TEST(DrawPlasma, BlendsTheCornersAndDisplacesByHalfDiagonalTimesAlphaPlusBeta) {
  Heightmap map = Varied(33);
  map(0, 0) = 10, map(32, 0) = 90, map(0, 32) = 170, map(32, 32) = 250;
  DrawPlasma(map, 32768, 32768, 0, 0, 0, 0);  // swapped corners, clamped to the map
  auto blend = [](double u, double v) {
    return (10 * (1 - u) + 90 * u) * (1 - v) + (170 * (1 - u) + 250 * u) * v;
  };
  cimg_forXY(map, x, y) ASSERT_NEAR(map(x, y), blend(x / 32.0, y / 32.0), 8) << x << "," << y;
  Heightmap a(2, 2, 1, 1, 100), b(a), c(a), d(a);
  std::srand(1), DrawPlasma(a, 0, 0, 1, 1, 3, 0), std::srand(2), DrawPlasma(b, 0, 0, 1, 1, 3, 0);
  std::srand(1), DrawPlasma(c, 0, 0, 1, 1, 0, 3), std::srand(2), DrawPlasma(d, 0, 0, 1, 1, 0, 3);
  EXPECT_TRUE(a == b && c != d);
}

TEST(PixelOps, SqrtPowNormalizeNegateAndBlurFollowTheirDefinitions) {
  Heightmap map(16, 16, 1, 1, 255), ramp(256, 1, 1, 1);
  EXPECT_EQ(Count(PixelPow(PixelSqrt(map), 3.0), 47), 256);  // 15 cubed is 3375, wrapped
  EXPECT_EQ(Count(Normalize(map, 9, 255), 0), 256);          // flat
  map.fill(10)(5, 5) = 20, map(6, 5) = 15;
  EXPECT_TRUE(Normalize(map, 40, 240)(5, 5) == 240 && map(6, 5) == 140 && Count(map, 40) == 254);
  EXPECT_EQ(Negate(ramp.fill("x", true)), Heightmap(256, 1, 1, 1).fill("255 - x", true));
  // CImg's own deriche on the byte map, x stored before y reads it.
  map.assign(97, 152);
  cimg_forXY(map, x, y) map(x, y) = (x * 3 + y * y) % 256;
  for (float sigma : {0.005f, 1.0f, 2.6f}) {
    Heightmap expected(map), got(map);
    if (sigma > 0.01f) expected.deriche(sigma, 0, 'x', 1).deriche(sigma, 0, 'y', 1);
    EXPECT_EQ(BlurDeriche(got, sigma), expected) << sigma;
  }
}

TEST(Generators, FollowTheirChainOfOperationsWithTheGivenOptions) {
  GeneratorOptions o;
  o.plasmaAlpha = 2.5, o.plasmaBeta = 0.5, o.plasmaNoise = 40, o.noiseSigma = 30,
  o.noiseType = kUniform;
  o.morviAlpha = 5, o.morviBeta = 2.5, o.morviNoise = 60;
  auto generate = [&](int kind) {
    return [&, kind](Heightmap& m) { GenerateTerrain(m, 63, kind, o); };
  };
  const Heightmap zeros(63, 63, 1, 1, 0);
  ExpectSameAsChain(
      generate(kPlasma),
      [](Heightmap& m) { DrawPlasma(AddNoise(m, 40, kGaussian), 0, 0, kWhole, kWhole, 2.5, 0.5); },
      zeros);
  ExpectSameAsChain(
      generate(kNoise), [](Heightmap& m) { AddNoise(m, 30, kUniform); }, zeros);
  ExpectSameAsChain(
      generate(kMorviGen),
      [](Heightmap& m) {
        BlurDeriche(PixelPow(PixelSqrt(AddNoise(m, 60, kGaussian)), 5), 1.0f);
        BlurDeriche(PixelPow(PixelSqrt(m), 1.36), static_cast<float>(RandomUniform() * 2.5));
        Normalize(PixelPow(DrawPlasma(m, 0, 0, kWhole, kWhole, 1.0, 1.0), 1.156), 0, 255);
      },
      zeros);
  ExpectSameAsChain(
      StartupTerrain,
      [](Heightmap& m) {  // on the map as it is, no zero fill
        BlurDeriche(DrawPlasma(AddNoise(m, 100, kGaussian), 0, 0, kWhole, kWhole, 1.0, 1.0), 1.0f);
      },
      Varied(63));
}

// Catmull-Rom reproduces a plane (single-precision source position, truncated) and the samples.
TEST(Resample, ReproducesPlanesAndSamplesAndWrapsItsOvershoot) {
  Heightmap map(32, 32, 1, 1), random(16, 24), doubled, step(16, 16, 1, 1), same = Varied(16);
  cimg_forXY(map, x, y) map(x, y) = static_cast<unsigned char>(3 * x + 5 * y);
  ASSERT_EQ(Resample(map, 20, 45, ResampleMode::CatmullRom).width(), 20);
  float py = 0;
  for (int y = 0; y < 45; ++y, py += 32.0f / 45) {
    float px = 0;
    for (int x = 0; x < 20; ++x, px += 32.0f / 20)
      if (px >= 1 && px < 29 && py >= 1 && py < 29) {
        EXPECT_NEAR(map(x, y), 3.0 * px + 5.0 * py - 0.5, 0.52);
      }
  }
  for (unsigned char& v : random) v = std::rand() % 256;
  Resample(doubled = random, 32, 48, ResampleMode::CatmullRom);
  cimg_forXY(random, x, y) ASSERT_EQ(doubled(2 * x, 2 * y), random(x, y)) << x << "," << y;
  cimg_forXY(step, x, y) step(x, y) = x >= 8 ? 255 : 0;  // the cubic rises past 255 and wraps
  EXPECT_LT(Resample(step, 249, 249, ResampleMode::CatmullRom).get_crop(125, 100, 150, 100).min(),
            50);
  EXPECT_EQ(Resample(same, 16, 16, ResampleMode::CatmullRom), Varied(16));
}
