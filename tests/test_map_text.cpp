// The map text: its bytes, its layout as the host reads it, its numbers against printf; and
// the host's own checks of what it is handed.
#include <gmock/gmock.h>

#include <cfloat>
#include <cmath>
#include <random>

#include "export/map_text.h"
#include "export/number_format.h"
#include "host/map_text_reader.h"
#include "plugin/plugin_state.h"

using ::testing::HasSubstr;

namespace {

std::string Summary(const std::string& text) {
  MapSummary summary;
  std::string error;
  if (!ReadMapText(text, &summary, &error)) return error;
  return FormatSummary(summary);
}

void SetMap(int side, int fill, int wideness, int height) {
  heightmap.assign(side, side, 1, 1, fill);
  mapSize = side;
  maxWideness = wideness;
  maxHeight = height;
}

TEST(NumberFormat, FixedMatchesPrintf) {
  std::vector<double> values = {-0.0, 0.00005,  0.99995,  1e-320, -1e-9,
                                4e11, -DBL_MAX, HUGE_VAL, NAN};
  std::mt19937_64 random(11);
  // k / 2^m gives the exact ties where rounding half up and half to even part.
  for (int i = -30000; i < 30000; ++i) {
    values.push_back(std::ldexp(i, -(i & 15)));
    values.push_back((random() / 9.2e18 - 1) * std::pow(10.0, i % 16));
  }
  char fast[numfmt::kMaxFixedChars + 1], printed[400];
  for (double v : values) {
    std::snprintf(printed, sizeof(printed), "%13.4f", v);
    ASSERT_EQ(std::string(fast, numfmt::FormatFixed13_4(fast, v)), printed) << v;
  }
}

// 16 flat samples over 256 units: vertices step 16 from -128; each quad lists its corners
// (c+1, r), (c+1, r+1), (c, r+1), (c, r), then their texture places.
TEST(MapText, WorkedExampleGivesItsExactBytes) {
  SetMap(16, 7, 256, 255);
  const std::string text = BuildMapText(MapTextForm::File);
  EXPECT_THAT(
      text, ::testing::StartsWith("Quarn Map File\nVersion 0.86\nLand;255;255;255\ngoodies.qtp\n1\n"
                                  "terrain0;9;-1;1;-1;0;-\n256\n-128;0;-128\n-112;0;-128\n"));
  const std::string polygons =
      "\n112;0;112\n225\n4;5;1;17;16;0;       0.0625;       0.0000;       0.0625;       0.0625;"
      "       0.0000;       0.0625;       0.0000;       0.0000;4;5;2;18;17;1;       0.1250;";
  EXPECT_NE(text.find(polygons), std::string::npos);
  const std::string end =
      "4;5;239;255;254;238;       0.9375;       0.8750;       0.9375;"
      "       0.9375;       0.8750;       0.9375;       0.8750;       0.8750;0\n";
  EXPECT_EQ(text.substr(text.size() - end.size()), end);
}

// Sides above 32 are cut into (n - 1) / 31 tiles a side, of 32 samples that share
// their edges. x and z step wideness / n; heights are (v - lowest) * height / 255.
TEST(MapText, HostReadsEverySizeAsLaidOut) {
  const struct {
    int side, wideness, height;
  } rows[] = {{249, 1024, 255}, {63, 2048, 1020}, {62, 1024, 255}, {16, 512, 255}};
  std::mt19937 random(1);
  for (const auto& row : rows) {
    const int n = row.side, lowest = 20 + n % 7;
    SetMap(n, 0, row.wideness, row.height);
    for (unsigned char& v : heightmap) v = lowest + random() % (256 - lowest);
    const int tiles = n > 32 ? (n - 1) / 31 : 1, side = tiles > 1 ? 32 : n;
    const int step = row.wideness / n, objects = tiles * tiles;
    const int lo = -(n / 2) * step;
    const int hi = (tiles > 1 ? 31 * tiles - n / 2 : n - 1 - n / 2) * step;
    char want[200];
    std::snprintf(want, sizeof want, "objects=%d vertices=%d polygons=%d x=%d..%d y=0..%d z=%d..%d",
                  objects, objects * side * side, objects * (side - 1) * (side - 1), lo, hi,
                  (heightmap.max() - heightmap.min()) * (row.height / 255), lo, hi);
    for (MapTextForm form : {MapTextForm::File, MapTextForm::Host})
      EXPECT_EQ(Summary(BuildMapText(form)), want) << "side " << n << " form " << int(form);
  }
}

// 125 samples over 1000 units: 4 x 4 tiles, vertex (c, r) at x = 8 (c - 62), z = 8 (r - 62)
// whichever tile holds it. The lowest sample, alone in the last row, stands at 0.
TEST(MapText, EverySampleStandsAtItsPlaceInItsTile) {
  SetMap(125, 50, 1000, 255);
  heightmap(100, 40) = 250;
  heightmap(0, 124) = 10;
  const std::string text = BuildMapText(MapTextForm::File);
  EXPECT_THAT(text, HasSubstr("\n304;240;-176\n"));
  EXPECT_THAT(text, HasSubstr("\n-496;0;496\n"));
  EXPECT_THAT(text, HasSubstr("\n496;40;496\n"));
}

TEST(MapTextReader, NamesWhatIsBrokenInAText) {
  SetMap(63, 40, 1024, 510);
  const std::string host = BuildMapText(MapTextForm::Host), file = BuildMapText(MapTextForm::File);
  auto with = [&](const std::string& from, const std::string& to) {
    return std::string(host).replace(host.find(from), from.size(), to);
  };
  const std::pair<std::string, const char*> rows[] = {
      {with("Version 0.86", "Version 0.85"), "expected \"Version 0.86\" at byte 15"},
      {with("4;5;1;33;32;0;", "4;5;1024;33;32;0;"), "vertex index 1024 is not one"},
      {file.substr(0, file.size() - 2) + "3\n", "closing count is 3"}};
  for (const auto& [text, error] : rows) EXPECT_THAT(Summary(text), HasSubstr(error));
}

TEST(CallbackRecord, RefusesRecordsTheHostCannotTrust) {
  char text[] = "ab\0cd";
  const std::pair<PluginCallbackData, const char*> rows[] = {
      {{2, text, 3}, "kind is 2"}, {{0, text, 3}, "kind is 0"},
      {{1, nullptr, 1}, "null"},   {{1, text, 0}, "too small"},
      {{1, text, 2}, "not NUL"},   {{1, text, 6}, "the text has 2 characters"}};
  for (const auto& [data, error] : rows) EXPECT_THAT(CheckCallbackRecord(data), HasSubstr(error));
}

}  // namespace
