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

Heightmap Eroded(Heightmap map, unsigned n) { return ErodeZeros(map, n); }
Heightmap Dilated(Heightmap map, unsigned n) { return DilateZeros(map, n); }

// The pass-by-pass definitions of the zero-region filters: the fast forms
// must match these on every map and count.
template <typename Rule>
Heightmap Passes(Heightmap map, unsigned n, Rule rule) {
  static const int dx[4] = {-1, 1, 0, 0}, dy[4] = {0, 0, -1, 1};
  Heightmap next(map);
  for (unsigned pass = 0; pass < n; ++pass) {
    cimg_forXY(map, x, y) {
      bool zeroNear = false, nonZeroNear = false;
      for (int k = 0; k < 4; ++k) {
        const int nx = x + dx[k], ny = y + dy[k];
        // Outside the map the neighbour is the sample itself.
        const bool inside = nx >= 0 && ny >= 0 && nx < map.width() && ny < map.height();
        const unsigned char v = inside ? map(nx, ny) : map(x, y);
        zeroNear |= v == 0;
        nonZeroNear |= v != 0;
      }
      next(x, y) = rule(map(x, y), zeroNear, nonZeroNear);
    }
    map.swap(next);
    next = map;
  }
  return map;
}

Heightmap ErodeByPasses(const Heightmap& map, unsigned n) {
  const unsigned char top = map.max() ? map.max() : 1;
  return Passes(map, n, [top](unsigned char v, bool, bool nonZeroNear) {
    return v == 0 && nonZeroNear ? top : v;
  });
}

Heightmap DilateByPasses(const Heightmap& map, unsigned n) {
  return Passes(map, n, [](unsigned char v, bool zeroNear, bool) {
    return v != 0 && zeroNear ? 0 : v;
  });
}

}  // namespace

TEST(StoreWrapped, TruncatesThenKeepsTheLowByteAndZeroesOutOfRange) {
  const struct { double r; int stored; } cases[] = {
      {-1, 255},      {-37, 219},    {256, 0},       {300, 44},     {3375, 47},
      {255.9, 255},   {-0.5, 0},     {-1.9, 255},    {32767.9, 255}, {-32768.5, 0},
      {32768, 0},     {-32769, 0},   {1e9, 0},       {NAN, 0},      {127, 127}};
  for (const auto& c : cases) EXPECT_EQ(StoreWrapped(c.r), c.stored) << c.r;
}

TEST(RandomSource, SeedsFromTheClockOnlyAtTheFirstAddNoise) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: nothing seeded yet
  auto child = [] {
    std::srand(1);
    Heightmap first = Filled(16, 0), second = Filled(16, 0), expected = Filled(16, 0);
    AddNoise(first, 100, kGaussian);  // seeds from the clock
    std::srand(1);
    AddNoise(expected, 100, kGaussian);  // no second seeding: continues from srand(1)
    std::srand(1);
    AddNoise(second, 100, kGaussian);
    std::exit(first != expected && second == expected ? 0 : 1);
  };
  EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST(AddNoise, DrawsNothingAtSigmaZeroAndSpreadsOverTheRange) {
  Heightmap map = Filled(249, 0);
  AddNoise(map, 0, kGaussian);  // first call may seed; later ones must not draw
  std::srand(5);
  for (int kind : {kGaussian, kUniform, kSaltPepper}) AddNoise(map, 0, kind);
  const int next = std::rand();
  std::srand(5);
  EXPECT_EQ(std::rand(), next);
  EXPECT_EQ(Count(map, 0), 249 * 249);

  // Negative results wrap to high values instead of piling up at 0.
  AddNoise(map, 100, kGaussian);
  EXPECT_LT(Count(map, 0), 249 * 249 / 50);
  EXPECT_GT(Count(map, 255) + Count(map, 254), 0);
  EXPECT_LT(map.min(), 10);
  EXPECT_GT(map.max(), 245);
}

TEST(AddNoise, SaltAndPepperReplacesSigmaPercentWithTheMapExtremes) {
  Heightmap map = Filled(249, 0);
  AddNoise(map, 100, kSaltPepper);  // flat map: 0 and 255
  const double total = 249.0 * 249.0;
  EXPECT_EQ(Count(map, 0) + Count(map, 255), total);
  EXPECT_NEAR(Count(map, 255) / total, 0.5, 0.03);

  map.fill(0);
  AddNoise(map, 40, kSaltPepper);
  EXPECT_NEAR(Count(map, 255) / total, 0.2, 0.03);
  EXPECT_EQ(Count(map, 0) + Count(map, 255), total);

  Heightmap ranged = Filled(32, 6);
  ranged(0, 0) = 3;
  ranged(1, 0) = 9;
  const Heightmap source(ranged);
  Heightmap noisy = GetAddNoise(source, 100, kSaltPepper);
  EXPECT_EQ(source, ranged);
  EXPECT_EQ(Count(noisy, 3) + Count(noisy, 9), 32 * 32);
}

TEST(DrawPlasma, ReadsOnlyTheCornersAndWritesAllButTheLastSample) {
  for (int side : {249, 125, 63, 32, 16}) {
    // Two maps that agree only on their corners must come out equal, given
    // the same random numbers: every other sample is written before it is read.
    Heightmap a = Filled(side, 0), b = Filled(side, 0);
    cimg_forXY(b, x, y) b(x, y) = static_cast<unsigned char>(x * 7 + y * 13 + 1);
    for (Heightmap* m : {&a, &b}) {
      (*m)(0, 0) = 10, (*m)(side - 1, 0) = 90, (*m)(0, side - 1) = 170;
      (*m)(side - 1, side - 1) = 250;
    }
    std::srand(side);
    DrawPlasma(a, 0, 0, 32768, 32768, 1.0, 1.0);
    std::srand(side);
    DrawPlasma(b, 32768, 32768, 0, 0, 1.0, 1.0);  // swapped corners, same rectangle
    EXPECT_EQ(a, b) << side;
    EXPECT_EQ(a(side - 1, side - 1), 250) << side;  // the one sample never written
  }
}

TEST(PixelOps, SqrtPowAndNormalizeFollowTheWrappedArithmetic) {
  Heightmap map = Filled(16, 255);
  PixelPow(PixelSqrt(map), 3.0);  // 15 cubed is 3375, stored as 47
  EXPECT_EQ(Count(map, 47), 16 * 16);
  PixelPow(map.fill(0), 0.5);
  EXPECT_EQ(Count(map, 0), 16 * 16);

  Heightmap flat = Filled(16, 77);
  EXPECT_EQ(Count(GetNormalize(flat, 0, 255), 0), 16 * 16);
  EXPECT_EQ(flat(3, 3), 77);
  Heightmap two = Filled(16, 10);
  two(5, 5) = 20;
  Normalize(two, 0, 255);
  EXPECT_EQ(two(5, 5), 255);
  EXPECT_EQ(Count(two, 0), 16 * 16 - 1);
}

TEST(BlurDeriche, SmoothsAPeakAndIgnoresTinySigmas) {
  Heightmap map = Filled(31, 0);
  map(15, 15) = 200;
  const Heightmap peak(map);
  EXPECT_EQ(BlurDeriche(map, 0.005f), peak);
  BlurDeriche(map, 1.0f);
  EXPECT_LT(map(15, 15), 200);
  EXPECT_GT(map(15, 15), 0);
  for (auto [x, y] : {std::pair{14, 15}, {16, 15}, {15, 14}, {15, 16}}) EXPECT_GT(map(x, y), 0);
  EXPECT_EQ(map(0, 0), 0);
  EXPECT_EQ(map(30, 30), 0);
}

TEST(ZeroRegionFilters, GrowDiamondsFromSingleSamples) {
  Heightmap map = Filled(16, 0);
  map(8, 8) = 7;
  EXPECT_EQ(Eroded(map, 0), map);
  Heightmap one = Eroded(map, 1), two = Eroded(map, 2);
  EXPECT_EQ(Count(one, 7), 5);
  EXPECT_EQ(one(7, 8) + one(9, 8) + one(8, 7) + one(8, 9), 4 * 7);
  EXPECT_EQ(Count(two, 7), 13);
  EXPECT_EQ(two(6, 8), 7);
  EXPECT_EQ(two(7, 7), 7);
  EXPECT_EQ(two(6, 7), 0);
  EXPECT_EQ(Count(Eroded(Filled(16, 0), 5), 0), 256);  // nothing to spread

  Heightmap hole = Filled(16, 9);
  hole(0, 0) = 0;  // at the border, the missing neighbours change nothing
  EXPECT_EQ(Count(DilateZeros(hole, 1), 0), 3);
  EXPECT_EQ(Count(Dilated(Filled(16, 9), 50), 9), 256);
}

TEST(ZeroRegionFilters, MatchPassByPassOnRandomMaps) {
  std::mt19937 rng(1234);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int trial = 0; trial < 48; ++trial) {
    const int w = pick(16, 249), h = trial % 3 ? w : pick(16, 249);
    Heightmap map(w, h, 1, 1, 0);
    const int style = trial % 4;  // scattered zeros, no zeros, all zeros, salt and pepper
    const int zeroPercent = pick(1, 99);
    cimg_forXY(map, x, y) {
      if (style == 0) map(x, y) = pick(0, 99) < zeroPercent ? 0 : pick(1, 255);
      if (style == 1) map(x, y) = pick(1, 255);
      if (style == 3) map(x, y) = pick(0, 999) < 3 ? 255 : 0;
    }
    const unsigned counts[] = {0, 1, 2, static_cast<unsigned>(pick(3, w + 20))};
    for (unsigned n : counts) {
      EXPECT_EQ(Eroded(map, n), ErodeByPasses(map, n)) << trial << " n=" << n;
      EXPECT_EQ(Dilated(map, n), DilateByPasses(map, n)) << trial << " n=" << n;
    }
  }
}

TEST(Negate, MirrorsHeightsAndTwiceRestores) {
  Heightmap map(16, 16, 1, 1, 0);
  cimg_forXY(map, x, y) map(x, y) = static_cast<unsigned char>(x * 16 + y);
  const Heightmap original(map);
  Negate(map);
  EXPECT_EQ(map(0, 0), 255);
  EXPECT_EQ(map(15, 15), 0);
  EXPECT_EQ(Negate(map), original);
}
