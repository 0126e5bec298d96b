// The map text: exact bytes of both forms, tiling, and the fast number
// formatting it is built with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <random>

#include "export/map_text.h"
#include "export/number_format.h"
#include "host/map_text_reader.h"
#include "plugin/plugin_state.h"

namespace {

void UseMap(int side, int wideness, int height, unsigned seed, int lowest) {
  std::mt19937 random(seed);
  heightmap.assign(side, side, 1, 1, 0);
  cimg_forXY(heightmap, x, y) heightmap(x, y) = lowest + (seed ? random() % (256 - lowest) : 0);
  mapSize = side;
  maxWideness = wideness;
  maxHeight = height;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(NumberFormat, MatchesPrintfIncludingTiesAndNegatives) {
  std::vector<double> values = {-0.0, 0.03125, 0.09375, -0.15625, 0.00005, 0.99995, 1e-320,
                                -1e-9, 3.99999e11, 4e11, 1e300, -DBL_MAX, HUGE_VAL, NAN};
  for (int d = 1; d <= 1024; ++d)  // every texture coordinate a divisor up to 1024 gives
    for (int k = -2; k <= d + 2; ++k) values.push_back(static_cast<double>(k) / d);
  for (int m = 1; m <= 20; ++m)  // exact binary ties, where half-up and half-even part
    for (int n = -3000; n <= 3000; n += 7)
      for (double tie : {std::ldexp(n, -m)})
        values.insert(values.end(), {tie, std::nextafter(tie, 1e9), std::nextafter(tie, -1e9)});
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int i = 0; i < 300000; ++i) values.push_back(unit(random) * std::pow(10.0, i % 16 - 4));
  char fast[numfmt::kMaxFixedChars + 1], printed[400];
  for (double v : values) {
    std::snprintf(printed, sizeof(printed), "%13.4f", v);
    ASSERT_EQ(std::string(fast, numfmt::FormatFixed13_4(fast, v)), printed) << v;
  }
  for (int i = 0; i < 400000; ++i) {
    long long v = i < 4 ? std::vector<long long>{INT_MIN, INT_MAX, LLONG_MIN, 0}[i]
                        : static_cast<long long>(random()) >> (random() % 64);
    std::snprintf(printed, sizeof(printed), "%lld", v);
    ASSERT_EQ(std::string(fast, numfmt::FormatInt(fast, v)), printed);
  }
}

TEST(MapText, WorkedExampleFlat16At256Units) {
  UseMap(16, 256, 255, 0, 0);
  const std::string text = BuildMapText(MapTextForm::File);
  EXPECT_EQ(text.rfind("Quarn Map File\nVersion 0.86\nLand;255;255;255\ngoodies.qtp\n1\n"
                       "terrain0;9;-1;1;-1;0;-\n256\n-128;0;-128\n-112;0;-128\n", 0), 0u);
  const std::string polygons =
      "\n112;0;112\n225\n4;5;1;17;16;0;       0.0625;       0.0000;       0.0625;       0.0625;"
      "       0.0000;       0.0625;       0.0000;       0.0000;4;5;2;18;17;1;       0.1250;"
      "       0.0000;       0.1250;       0.0625;       0.0625;       0.0625;       0.0625;"
      "       0.0000;";
  const std::size_t at = text.find(polygons);
  ASSERT_NE(at, std::string::npos);
  // All 225 polygons on one line, the last one followed by the closing count.
  EXPECT_EQ(text.find('\n', at + polygons.size()), text.size() - 1);
  EXPECT_TRUE(EndsWith(text, "4;5;239;255;254;238;       0.9375;       0.8750;"
            "       0.9375;       0.9375;       0.8750;       0.9375;       0.8750;       0.8750;0\n"));
}

// What the host reads back, against the layout's arithmetic: sides above 32
// are cut into (n - 1) / 31 tiles a side of 32 samples overlapping by one,
// x and z step wideness / n, heights (v - lowest) * (height / 255).
TEST(MapText, HostReadsTheTilesScalesAndHeightsOfEverySize) {
  int cases[][3] = {{249, 1024, 255}, {125, 4096, 510}, {63, 2048, 1020}, {32, 256, 765}, {16, 512, 255}};
  unsigned seed = 1;
  for (auto& c : cases) {
    const int n = c[0], lowest = 20 + int(seed);
    UseMap(n, c[1], c[2], seed++, lowest);
    const int tiles = n > 32 ? (n - 1) / 31 : 1, side = tiles > 1 ? 32 : n;
    const int step = c[1] / n, yStep = c[2] / 255, objects = tiles * tiles;
    const int lo = -(n / 2) * step, hi = (tiles > 1 ? 31 * tiles - n / 2 : n - 1 - n / 2) * step;
    const std::string want = "objects=" + std::to_string(objects) +
        " vertices=" + std::to_string(objects * side * side) +
        " polygons=" + std::to_string(objects * (side - 1) * (side - 1)) +
        " x=" + std::to_string(lo) + ".." + std::to_string(hi) +
        " y=0.." + std::to_string((heightmap.max() - heightmap.min()) * yStep) +
        " z=" + std::to_string(lo) + ".." + std::to_string(hi);
    ASSERT_EQ(heightmap.min(), lowest);
    for (MapTextForm form : {MapTextForm::File, MapTextForm::Host}) {
      MapSummary s;
      std::string error;
      ASSERT_TRUE(ReadMapText(BuildMapText(form), &s, &error)) << error;
      EXPECT_EQ(FormatSummary(s), want) << n << " form " << int(form);
    }
  }
}

TEST(MapText, TilesAreNamedInOrderAndRunOnAfterPolygons) {
  UseMap(63, 1024, 255, 0, 140);
  const std::string text = BuildMapText(MapTextForm::File);
  EXPECT_NE(text.find("\n4\nterrain0;9;-1;1;-1;0;-\n1024\n-496;0;-496\n"), std::string::npos);
  EXPECT_NE(text.find(";terrain1;9;-1;1;-1;0;-\n1024\n0;0;-496\n"), std::string::npos);
  EXPECT_NE(text.find(";terrain2;9;-1;1;-1;0;-\n1024\n-496;0;0\n"), std::string::npos);
  EXPECT_NE(text.find(";terrain3;9;-1;1;-1;0;-\n1024\n0;0;0\n"), std::string::npos);
  // Only header, name, count and vertex records end in a line break.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5 + 4 * (1 + 1 + 1024 + 1) + 1);

  UseMap(249, 1024, 255, 3, 0);
  const std::string host = BuildMapText(MapTextForm::Host);
  EXPECT_EQ(host.find('\n'), std::string::npos);
  EXPECT_EQ(host.find("1.0000"), std::string::npos);
  EXPECT_TRUE(EndsWith(host, "4;5;991;1023;1022;990;       0.9960;       0.9920;"
            "       0.9960;       0.9960;       0.9920;       0.9960;       0.9920;       0.9920;0;"));
}

TEST(MapText, HeightmapSideWinsOverMapSize) {
  UseMap(63, 1024, 255, 5, 10);
  const std::string expected = BuildMapText(MapTextForm::Host);
  mapSize = 249;  // a new run resets it while the map keeps its side
  EXPECT_EQ(BuildMapText(MapTextForm::Host), expected);
  // A multiple of 31 would cut a tile past the edge: it is one object instead.
  UseMap(62, 1024, 255, 0, 0);
  MapSummary s;
  std::string error;
  ASSERT_TRUE(ReadMapText(BuildMapText(MapTextForm::Host), &s, &error)) << error;
  EXPECT_EQ(FormatSummary(s), "objects=1 vertices=3844 polygons=3721 x=-496..480 y=0..0 z=-496..480");
}

}  // namespace
