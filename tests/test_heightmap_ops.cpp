#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

#include "terrain/heightmap_ops.h"

namespace {

Heightmap Filled(int side, unsigned char v) { return Heightmap(side, side, 1, 1, v); }

int Count(const Heightmap& map, unsigned char v) {
  int n = 0;
  for (unsigned char s : map) n += s == v;
  return n;
}

// The zero-region filters by their definition, pass by pass; outside the map
// a neighbour is the sample itself.
Heightmap ByPasses(Heightmap map, unsigned n, bool erode) {
  const unsigned char top = map.max() ? map.max() : 1;
  for (unsigned pass = 0; pass < n; ++pass) {
    Heightmap next(map);
    cimg_forXY(map, x, y) {
      const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
      bool zeroNear = false, nonZeroNear = false;
      for (int k = 0; k < 4; ++k) {
        const bool inside = nx[k] >= 0 && ny[k] >= 0 && nx[k] < map.width() && ny[k] < map.height();
        const unsigned char v = inside ? map(nx[k], ny[k]) : map(x, y);
        zeroNear |= v == 0;
        nonZeroNear |= v != 0;
      }
      if (erode && map(x, y) == 0 && nonZeroNear) next(x, y) = top;
      if (!erode && map(x, y) != 0 && zeroNear) next(x, y) = 0;
    }
    map.swap(next);
  }
  return map;
}

Heightmap Fast(Heightmap map, unsigned n, bool erode) {
  return erode ? ErodeZeros(map, n) : DilateZeros(map, n);
}

}  // namespace

TEST(StoreWrapped, TruncatesThenKeepsTheLowByteAndZeroesOutOfRange) {
  const double in[] = {-1, -37, 256, 300, 3375, 255.9, -0.5, -1.9, 32767.9, -32768.5, 32768, -32769, NAN};
  const int out[] = {255, 219, 0, 44, 47, 255, 0, 255, 255, 0, 0, 0, 0};
  for (int i = 0; i < 13; ++i) EXPECT_EQ(StoreWrapped(in[i]), out[i]) << in[i];
}

TEST(RandomSource, SeedsFromTheClockOnlyAtTheFirstAddNoise) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: nothing seeded yet
  auto noiseAfterSrand1 = [] {
    Heightmap map = Filled(16, 0);
    std::srand(1);
    return AddNoise(map, 100, kGaussian);
  };
  auto child = [&] {
    const Heightmap first = noiseAfterSrand1();  // reseeds from the clock
    const Heightmap second = noiseAfterSrand1(), third = noiseAfterSrand1();
    std::exit(first != second && second == third ? 0 : 1);
  };
  EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST(AddNoise, DrawsNothingAtSigmaZeroAndWrapsGaussianNoise) {
  Heightmap map = Filled(249, 0);
  AddNoise(map, 0, kGaussian);  // the first call may seed; none may draw
  std::srand(5);
  for (int kind : {kGaussian, kUniform, kSaltPepper}) AddNoise(map, 0, kind);
  const int next = std::rand();
  std::srand(5);
  EXPECT_EQ(std::rand(), next);
  EXPECT_EQ(Count(map, 0), 249 * 249);
  // Negative results wrap to high values instead of piling up at 0.
  AddNoise(map, 100, kGaussian);
  EXPECT_LT(Count(map, 0), 249 * 249 / 50);
  EXPECT_LT(map.min(), 10);
  EXPECT_GT(map.max(), 245);
}

// Mean and spread of the change a noise kind makes to a flat 128 map: the
// Gaussian deviate has spread sigma, the uniform one lies in [-sigma, sigma]
// with spread sigma / sqrt(3).
TEST(AddNoise, GaussianAndUniformHaveTheirSpreadAroundTheOldValue) {
  struct { int kind; double sigma, spread; } rows[] = {
      {kGaussian, 20, 20}, {kUniform, 60, 60 / std::sqrt(3.0)}};
  for (auto row : rows) {
    Heightmap map = Filled(200, 128);
    AddNoise(map, row.sigma, row.kind);
    double sum = 0, squares = 0;
    for (unsigned char v : map) sum += v - 128, squares += (v - 128) * (v - 128);
    const double n = map.size(), mean = sum / n;
    EXPECT_NEAR(mean, 0, 1.0) << row.kind;
    EXPECT_NEAR(std::sqrt(squares / n - mean * mean), row.spread, row.spread * 0.05) << row.kind;
    if (row.kind == kUniform) {
      EXPECT_TRUE(map.min() >= 68 && map.max() <= 188);
    }
  }
}

TEST(AddNoise, SaltAndPepperReplacesSigmaPercentWithTheMapExtremes) {
  const double total = 249.0 * 249.0;
  for (double sigma : {100.0, 40.0}) {
    Heightmap map = Filled(249, 0);
    AddNoise(map, sigma, kSaltPepper);  // a flat map gets 0 and 255
    EXPECT_EQ(Count(map, 0) + Count(map, 255), total);
    EXPECT_NEAR(Count(map, 255) / total, sigma / 200, 0.03);
  }
  Heightmap ranged = Filled(32, 6);
  ranged(0, 0) = 3, ranged(1, 0) = 9;
  const Heightmap noisy = GetAddNoise(ranged, 100, kSaltPepper);
  EXPECT_EQ(Count(ranged, 6), 32 * 32 - 2);
  EXPECT_EQ(Count(noisy, 3) + Count(noisy, 9), 32 * 32);
}

TEST(DrawPlasma, ReadsOnlyTheCornersAndWritesAllButTheLastSample) {
  for (int side : {249, 125, 63, 32, 16}) {
    // Maps that agree only on their corners come out equal under the same
    // random numbers: every other sample is written before it is read.
    Heightmap a = Filled(side, 0), b = Filled(side, 0);
    cimg_forXY(b, x, y) b(x, y) = static_cast<unsigned char>(x * 7 + y * 13 + 1);
    for (Heightmap* m : {&a, &b}) {
      (*m)(0, 0) = 10, (*m)(side - 1, 0) = 90, (*m)(0, side - 1) = 170, (*m)(side - 1, side - 1) = 250;
    }
    std::srand(side);
    DrawPlasma(a, 0, 0, 32768, 32768, 1.0, 1.0);
    std::srand(side);
    DrawPlasma(b, 32768, 32768, 0, 0, 1.0, 1.0);  // swapped corners, same rectangle
    EXPECT_EQ(a, b) << side;
    EXPECT_EQ(a(side - 1, side - 1), 250) << side;
  }
}

// The displacement of a square is (its half diagonal) * alpha + beta times a
// Gaussian deviate; a 2 x 2 map has a half diagonal of 0, so only beta moves
// its centre and the random numbers matter only when beta is not 0.
TEST(DrawPlasma, DisplacementScalesTheHalfDiagonalByAlphaAndAddsBeta) {
  struct { double alpha, beta; bool random; } rows[] = {{3, 0, false}, {0, 3, true}};
  for (auto row : rows) {
    Heightmap first, second;
    for (unsigned seed : {1u, 2u}) {
      Heightmap map = Filled(2, 100);
      std::srand(seed);
      DrawPlasma(map, 0, 0, 1, 1, row.alpha, row.beta);
      (seed == 1 ? first : second) = map;
    }
    EXPECT_EQ(first != second, row.random) << row.alpha << " " << row.beta;
  }
  // Without displacement the edges blend their corners: 0 to 200 along the top.
  Heightmap map = Filled(33, 0);
  map(32, 0) = 200;
  DrawPlasma(map, 0, 0, 32, 32, 0, 0);
  for (int x = 0; x <= 32; ++x) EXPECT_NEAR(map(x, 0), 200 * x / 32.0, 8) << x;
}

TEST(PixelOps, SqrtPowNormalizeAndBlurFollowTheWrappedArithmetic) {
  Heightmap map = Filled(16, 255);
  EXPECT_EQ(Count(PixelPow(PixelSqrt(map), 3.0), 47), 256);  // 15 cubed is 3375
  Heightmap flat = Filled(16, 77);
  EXPECT_EQ(Count(Normalize(flat, 0, 255), 0), 256);
  map.fill(10)(5, 5) = 20;
  Normalize(map, 0, 255);
  EXPECT_EQ(map(5, 5), 255);
  EXPECT_EQ(Count(map, 0), 255);

  Heightmap dark = Filled(4, 0), light = Filled(4, 200);
  EXPECT_EQ(Negate(dark)(1, 1), 255);
  EXPECT_EQ(Negate(light)(1, 1), 55);
  map.fill(0)(8, 8) = 200;
  const Heightmap peak(map);
  EXPECT_EQ(BlurDeriche(map, 0.005f), peak);
  BlurDeriche(map, 1.0f);
  EXPECT_LT(map(8, 8), 200);
  EXPECT_GT(map(7, 8) * map(9, 8) * map(8, 7) * map(8, 9), 0);
  EXPECT_EQ(map(0, 0), 0);
}

// CImg's own deriche on the byte map is the reference: the x result is
// stored in the bytes before the y pass reads them.
TEST(BlurDeriche, MatchesCImgDericheRunOnTheByteMapAlongXThenY) {
  std::mt19937 rng(99);
  for (int trial = 0; trial < 6; ++trial) {
    const int w = 16 + trial * 40, h = trial % 2 ? w : 249 - trial * 30;
    Heightmap map(w, h, 1, 1, 0);
    cimg_forXY(map, x, y) map(x, y) = trial < 3 ? rng() % 256 : (x * 3 + y * y) % 256;
    for (float sigma : {1.0f, 2.6f}) {
      Heightmap expected(map), got(map);
      expected.deriche(sigma, 0, 'x', 1).deriche(sigma, 0, 'y', 1);
      ASSERT_EQ(BlurDeriche(got, sigma), expected) << w << "x" << h << " sigma " << sigma;
    }
  }
}

TEST(ZeroRegionFilters, GrowDiamondsAndMatchTheirPassByPassDefinition) {
  Heightmap dot = Filled(16, 0);
  dot(8, 8) = 7;
  EXPECT_EQ(Count(ErodeZeros(dot, 2), 7), 13);  // a diamond of radius 2
  EXPECT_EQ(dot(6, 8) + dot(7, 7) + dot(6, 7), 14);

  std::mt19937 rng(1234);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int trial = 0; trial < 48; ++trial) {
    const int w = pick(16, 249), h = trial % 3 ? w : pick(16, 249), zeroPercent = pick(1, 99);
    const int style = trial % 4;  // scattered zeros, no zeros, all zeros, salt and pepper
    Heightmap map(w, h, 1, 1, 0);
    cimg_forXY(map, x, y) {
      if (style == 0) map(x, y) = pick(0, 99) < zeroPercent ? 0 : pick(1, 255);
      if (style == 1) map(x, y) = pick(1, 255);
      if (style == 3) map(x, y) = pick(0, 999) < 3 ? 255 : 0;
    }
    for (unsigned n : {0u, 1u, 2u, static_cast<unsigned>(pick(3, w + 20))}) {
      for (bool erode : {true, false})
        ASSERT_EQ(Fast(map, n, erode), ByPasses(map, n, erode)) << trial << " " << n << erode;
    }
  }
}
