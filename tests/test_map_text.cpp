// The map text: exact bytes of both forms, tiling, coordinates, and the fast
// number formatting it is built with.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "export/map_text.h"
#include "export/number_format.h"
#include "host/map_text_reader.h"
#include "plugin/plugin_state.h"
#include "tests/map_text_reference.h"

namespace {

std::string Printf(const char* format, double v) {
  char text[400];
  std::snprintf(text, sizeof(text), format, v);
  return text;
}

std::string Fast(double v) {
  char text[numfmt::kMaxFixedChars];
  return std::string(text, numfmt::FormatFixed13_4(text, v));
}

std::string FastInt(long long v) {
  char text[numfmt::kMaxIntChars];
  return std::string(text, numfmt::FormatInt(text, v));
}

void UseMap(int side, int level, int wideness = 1024, int height = 255) {
  heightmap.assign(side, side, 1, 1, static_cast<unsigned char>(level));
  mapSize = side;
  maxWideness = wideness;
  maxHeight = height;
}

void UseRandomMap(int side, unsigned seed, int lowest) {
  std::mt19937 random(seed);
  UseMap(side, 0);
  cimg_forXY(heightmap, x, y) heightmap(x, y) = lowest + random() % (256 - lowest);
}

MapSummary Read(const std::string& text) {
  MapSummary summary;
  std::string error;
  EXPECT_TRUE(ReadMapText(text, &summary, &error)) << error;
  return summary;
}

TEST(NumberFormat, IntegersMatchPrintf) {
  std::vector<long long> values = {0, 1, -1, 9, 10, 99, 100, -100, 123456789, INT_MAX, INT_MIN,
                                   LLONG_MAX, LLONG_MIN};
  std::mt19937_64 random(7);
  for (int i = 0; i < 200000; ++i) {
    values.push_back(static_cast<int>(random()) >> (random() % 32));
    values.push_back(static_cast<long long>(random()) >> (random() % 64));
  }
  for (long long v : values) {
    char expected[32];
    std::snprintf(expected, sizeof(expected), "%lld", v);
    ASSERT_EQ(FastInt(v), expected) << v;
  }
}

TEST(NumberFormat, FixedPointMatchesPrintfIncludingTies) {
  std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.5, 0.03125, 0.09375, 0.15625, -0.03125,
                                0.00005, 0.99995, 9.99995, 1e-320, -1e-9, 123456.78905,
                                3.99999e11, 4e11, 1e15, 1e300, -1e300, DBL_MAX, -DBL_MAX,
                                HUGE_VAL, -HUGE_VAL, NAN};
  // Every texture coordinate any divisor up to 1024 can give.
  for (int d = 1; d <= 1024; ++d)
    for (int k = -2; k <= d + 2; ++k) values.push_back(static_cast<double>(k) / d);
  // Exact binary ties n/2^m and their neighbours, where round-half-up and
  // round-half-even part, and where the exact product decides.
  for (int m = 1; m <= 20; ++m)
    for (int n = -3000; n <= 3000; n += 7) {
      double tie = std::ldexp(n, -m);
      values.push_back(tie);
      values.push_back(std::nextafter(tie, HUGE_VAL));
      values.push_back(std::nextafter(tie, -HUGE_VAL));
    }
  // Decimal halves x.xxxx5, which are never exact in binary.
  for (int n = 0; n < 200000; n += 3) values.push_back((n + 0.5) / 10000 * (n % 2 ? 1 : -1));
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int i = 0; i < 300000; ++i) values.push_back(unit(random) * std::pow(10.0, i % 16 - 4));
  for (double v : values) ASSERT_EQ(Fast(v), Printf("%13.4f", v)) << Printf("%.17g", v);
}

TEST(MapText, WorkedExampleFlat16At256Units) {
  UseMap(16, 0, 256, 255);
  const std::string text = BuildMapText(MapTextForm::File);
  const std::string head =
      "Quarn Map File\nVersion 0.86\nLand;255;255;255\ngoodies.qtp\n1\n"
      "terrain0;9;-1;1;-1;0;-\n256\n-128;0;-128\n-112;0;-128\n";
  ASSERT_EQ(text.substr(0, head.size()), head);
  const std::string polygons =
      "\n112;0;112\n225\n"
      "4;5;1;17;16;0;       0.0625;       0.0000;       0.0625;       0.0625;       0.0000;"
      "       0.0625;       0.0000;       0.0000;"
      "4;5;2;18;17;1;       0.1250;       0.0000;       0.1250;       0.0625;       0.0625;"
      "       0.0625;       0.0625;       0.0000;";
  const std::size_t at = text.find(polygons);
  ASSERT_NE(at, std::string::npos);
  const std::string last =
      "4;5;239;255;254;238;       0.9375;       0.8750;       0.9375;       0.9375;"
      "       0.8750;       0.9375;       0.8750;       0.8750;0\n";
  ASSERT_GE(text.size(), last.size());
  EXPECT_EQ(text.substr(text.size() - last.size()), last);
  // 5 header lines, the name, the counts, 256 vertices, one polygon line.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5 + 1 + 1 + 256 + 1 + 1);
  EXPECT_EQ(text.find('\n', at + polygons.size()), text.size() - 1);
}

// The fast builder against the plain printf one, over every size, both forms
// and every scale choice; random maps whose lowest sample is not 0.
TEST(MapText, MatchesPlainPrintfTextForEverySizeAndScale) {
  struct Case {
    int side, wideness, height;
  } cases[] = {{249, 1024, 255}, {249, 256, 1020}, {125, 4096, 510}, {125, 512, 765},
               {63, 4096, 255},  {63, 2048, 1020}, {32, 1024, 765},  {32, 256, 255},
               {16, 256, 255},   {16, 4096, 1020}};
  unsigned seed = 1;
  for (const Case& c : cases) {
    UseRandomMap(c.side, seed, 20 + seed);
    ++seed;
    maxWideness = c.wideness;
    maxHeight = c.height;
    for (MapTextForm form : {MapTextForm::File, MapTextForm::Host}) {
      ASSERT_EQ(BuildMapText(form),
                reference::BuildMapText(heightmap, c.wideness, c.height, form))
          << c.side << " samples, " << c.wideness << " x " << c.height
          << (form == MapTextForm::File ? ", file form" : ", host form");
    }
  }
}

TEST(MapText, TilingObjectsAndCentring) {
  struct Case {
    int side, wideness, objects, vertices, polygons, halfWidth;
  } cases[] = {
      {249, 1024, 64, 64 * 1024, 64 * 961, 124 * 4}, {125, 1024, 16, 16 * 1024, 16 * 961, 62 * 8},
      {63, 4096, 4, 4 * 1024, 4 * 961, 31 * 65},     {32, 1024, 1, 1024, 961, 16 * 32},
      {16, 256, 1, 256, 225, 8 * 16},
  };
  for (const Case& c : cases) {
    UseMap(c.side, 90, c.wideness, 255);
    heightmap(c.side - 1, 0) = 200;  // y runs 0..110 once shifted by the lowest sample
    MapSummary s = Read(BuildMapText(MapTextForm::Host));
    EXPECT_EQ(s.objects, c.objects) << c.side;
    EXPECT_EQ(s.vertices, c.vertices) << c.side;
    EXPECT_EQ(s.polygons, c.polygons) << c.side;
    EXPECT_EQ(s.minY, 0) << c.side;
    EXPECT_EQ(s.maxY, 110) << c.side;
    // x runs from -(side/2)*s; an even side ends one step short of the far half.
    int far = (c.side - 1 - c.side / 2) * (c.wideness / c.side);
    EXPECT_EQ(s.minX, -c.halfWidth) << c.side;
    EXPECT_EQ(s.maxX, far) << c.side;
    EXPECT_EQ(s.minZ, -c.halfWidth) << c.side;
  }
}

TEST(MapText, SixtyThreeSamplesGiveFourNamedTiles) {
  UseMap(63, 140);
  const std::string text = BuildMapText(MapTextForm::File);
  EXPECT_NE(text.find("\n4\nterrain0;9;-1;1;-1;0;-\n1024\n-496;0;-496\n"), std::string::npos);
  // Objects follow the previous object's last polygon on the same line.
  EXPECT_NE(text.find(";terrain1;9;-1;1;-1;0;-\n1024\n0;0;-496\n"), std::string::npos);
  EXPECT_NE(text.find(";terrain2;9;-1;1;-1;0;-\n1024\n-496;0;0\n"), std::string::npos);
  EXPECT_NE(text.find(";terrain3;9;-1;1;-1;0;-\n1024\n0;0;0\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 3), ";0\n");
  // Every line break ends a header, name, count or vertex record.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5 + 4 * (1 + 1 + 1024 + 1) + 1);
}

TEST(MapText, PolygonIndicesAreLocalAndTexturesNeverReachOne) {
  UseRandomMap(249, 3, 0);
  const std::string text = BuildMapText(MapTextForm::Host);
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.find("1.0000"), std::string::npos);
  // The last tile's last cell: corners on column and row 248.
  const std::string lastCell =
      "4;5;991;1023;1022;990;       0.9960;       0.9920;       0.9960;       0.9960;"
      "       0.9920;       0.9960;       0.9920;       0.9920;0;";
  EXPECT_EQ(text.substr(text.size() - lastCell.size()), lastCell);
  // The reader refuses an index past the object's own vertices.
  Read(text);
}

TEST(MapText, HeightmapSideWinsOverMapSize) {
  UseRandomMap(63, 5, 10);
  const std::string expected = BuildMapText(MapTextForm::Host);
  mapSize = 249;  // a new run resets it while the map keeps its side
  EXPECT_EQ(BuildMapText(MapTextForm::Host), expected);
  // A side of a multiple of 31 would cut a tile past the edge; it gets one tile fewer.
  UseMap(62, 0);
  MapSummary s = Read(BuildMapText(MapTextForm::Host));
  EXPECT_EQ(s.objects, 1);
  EXPECT_EQ(s.maxX, (61 - 31) * 16);
}

TEST(MapText, TerrainObjectUsesOnlyItsArguments) {
  Heightmap tile(2, 2, 1, 1, 0);
  tile(1, 0) = 255;
  tile(0, 1) = 3;
  const std::string host = BuildTerrainObject(tile, 7, 10, 2, 20, 5, -3, 253, 32, 1, 2,
                                              MapTextForm::Host);
  EXPECT_EQ(host,
            "terrain7;9;-1;1;-1;0;-;4;40;506;-80;50;504;-80;40;0;-60;50;506;-60;1;"
            "4;5;1;3;2;0;       1.0000;       1.9375;       1.0000;       1.9688;"
            "       0.9688;       1.9688;       0.9688;       1.9375;");
}

}  // namespace
