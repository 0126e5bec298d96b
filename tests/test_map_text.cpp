// The map text (bytes, layout as the host reads it, numbers against printf); the host's checks.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <random>

#include "export/map_text.h"
#include "export/number_format.h"
#include "host/map_text_reader.h"
#include "plugin/plugin_state.h"

namespace {

std::string Check(const std::string& text) {
  MapSummary summary;
  std::string error;
  return ReadMapText(text, &summary, &error) ? FormatSummary(summary) : error;
}

TEST(NumberFormat, MatchesPrintfIncludingTiesAndNegatives) {
  std::vector<double> values = {-0.0, 0.00005,  0.99995,  1e-320, -1e-9,
                                4e11, -DBL_MAX, HUGE_VAL, NAN};
  std::mt19937_64 random(11);
  for (int i = -30000; i < 30000;
       ++i)  // k / 2^m includes the exact ties that half-up and half-even part
    values.insert(values.end(),
                  {std::ldexp(i, -(i & 15)), (random() / 9.2e18 - 1) * std::pow(10.0, i % 16)});
  char fast[numfmt::kMaxFixedChars + 1], printed[400];
  for (double v : values) {
    std::snprintf(printed, sizeof(printed), "%13.4f", v);
    ASSERT_EQ(std::string(fast, numfmt::FormatFixed13_4(fast, v)), printed) << v;
  }
  for (long long v :
       {(long long)INT_MIN, (long long)INT_MAX, LLONG_MIN, 0LL, -7LL, 1234567890123LL})
    EXPECT_EQ(std::string(fast, numfmt::FormatInt(fast, v)), std::to_string(v));
}

// 16 flat samples at 256 units: vertices step 16 from -128; corners (c+1, r), (c+1, r+1), (c, r+1),
// (c, r).
TEST(MapText, WorkedExampleGivesItsExactBytes) {
  heightmap.assign(16, 16, 1, 1, 7), mapSize = 16, maxWideness = 256, maxHeight = 255;
  const std::string text = BuildMapText(MapTextForm::File);
  EXPECT_EQ(text.rfind("Quarn Map File\nVersion 0.86\nLand;255;255;255\ngoodies.qtp\n1\n"
                       "terrain0;9;-1;1;-1;0;-\n256\n-128;0;-128\n-112;0;-128\n",
                       0),
            0u);
  const std::string polygons =
      "\n112;0;112\n225\n4;5;1;17;16;0;       0.0625;       0.0000;       0.0625;       0.0625;"
      "       0.0000;       0.0625;       0.0000;       0.0000;4;5;2;18;17;1;       0.1250;";
  const std::size_t at = text.find(polygons);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(text.find('\n', at + polygons.size()), text.size() - 1);
  const std::string end =
      "4;5;239;255;254;238;       0.9375;       0.8750;       0.9375;"
      "       0.9375;       0.8750;       0.9375;       0.8750;       0.8750;0\n";
  EXPECT_EQ(text.substr(text.size() - end.size()), end);
}

// Sides above 32: (n - 1) / 31 tiles a side of 32 samples overlapping by one (62 would cut past
// the edge: one). x, z step wideness / n, heights (v - lowest) * (height / 255); side over mapSize.
TEST(MapText, HostReadsTheTilesScalesAndHeightsOfEverySize) {
  const int cases[][3] = {{249, 1024, 255}, {125, 4096, 510}, {63, 2048, 1020},
                          {62, 1024, 255},  {32, 256, 765},   {16, 512, 255}};
  std::mt19937 random(1);
  for (auto& c : cases) {
    const int n = c[0], lowest = 20 + n % 7;
    heightmap.assign(n, n, 1, 1), mapSize = 249, maxWideness = c[1], maxHeight = c[2];
    for (unsigned char& v : heightmap) v = lowest + random() % (256 - lowest);
    const int tiles = n > 32 ? (n - 1) / 31 : 1, side = tiles > 1 ? 32 : n;
    const int step = c[1] / n, objects = tiles * tiles;
    const int lo = -(n / 2) * step, hi = (tiles > 1 ? 31 * tiles - n / 2 : n - 1 - n / 2) * step;
    char want[200];
    std::snprintf(want, sizeof want, "objects=%d vertices=%d polygons=%d x=%d..%d y=0..%d z=%d..%d",
                  objects, objects * side * side, objects * (side - 1) * (side - 1), lo, hi,
                  (heightmap.max() - heightmap.min()) * (c[2] / 255), lo, hi);
    for (MapTextForm form : {MapTextForm::File, MapTextForm::Host})
      EXPECT_EQ(Check(BuildMapText(form)), want) << n << " form " << int(form);
  }
}

TEST(MapTextReader, SummarisesBothFormsAndFindsBrokenRecords) {
  heightmap.assign(63, 63, 1, 1, 40)(3, 5) = 100, mapSize = 63, maxWideness = 1024, maxHeight = 510;
  const std::string host = BuildMapText(MapTextForm::Host), file = BuildMapText(MapTextForm::File);
  std::string crlf;
  for (char c : file) crlf += c == '\n' ? "\r\n" : std::string(1, c);
  for (const std::string& text : {host, file, crlf})
    EXPECT_EQ(Check(text),
              "objects=4 vertices=4096 polygons=3844 x=-496..496 y=0..120 z=-496..496");
  auto with = [&](const std::string& from, const std::string& to) {
    return std::string(host).replace(host.find(from), from.size(), to);
  };
  const std::pair<std::string, const char*> cases[] = {
      {with("Version 0.86", "Version 0.85"), "expected \"Version 0.86\" at byte 15"},
      {with("terrain1;", "terrain2;"), "is named terrain2"},
      {with(";       0.0000;", ";0.0000;"), "%13.4f"},
      {file.substr(0, file.size() - 2) + "3\n", "closing count is 3"}};
  for (const auto& [text, error] : cases)
    EXPECT_NE(Check(text).find(error), std::string::npos) << Check(text);
}

TEST(CallbackRecord, RefusesRecordsTheHostCannotTrust) {
  char text[] = "ab\0cd";
  const std::pair<PluginCallbackData, const char*> cases[] = {
      {{1, text, 3}, ""},
      {{2, text, 3}, "kind is 2"},
      {{0, text, 3}, "kind is 0"},
      {{1, nullptr, 1}, "null"},
      {{1, text, 0}, "too small"},
      {{1, text, 2}, "not NUL"},
      {{1, text, 6}, "the text has 2 characters"}};
  for (const auto& [data, error] : cases)
    EXPECT_TRUE(*error ? CheckCallbackRecord(data).find(error) != std::string::npos
                       : CheckCallbackRecord(data).empty())
        << CheckCallbackRecord(data);
}

}  // namespace
