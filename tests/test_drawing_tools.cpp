#include <gtest/gtest.h>

#include <vector>

#include "editor/drawing_tools.h"
#include "plugin/plugin_state.h"

namespace {

Heightmap Flat(int side, unsigned char v) { return Heightmap(side, side, 1, 1, v); }

// The heights along one row of a square, left to right.
std::vector<int> Row(const Heightmap& map, int y, int x0, int x1) {
  std::vector<int> row;
  for (int x = x0; x <= x1; ++x) row.push_back(map(x, y));
  return row;
}

TEST(BrushRect, IsTheSquareAroundThePointerCutToTheMap) {
  struct Case {
    const char* name;
    int mx, my, b, side;
    BrushRect expected;
  };
  const Case cases[] = {
      {"middle", 100, 100, 3, 249, {97, 97, 103, 103}},
      {"top-left corner", 0, 0, 3, 249, {0, 0, 3, 3}},
      {"bottom-right corner", 248, 248, 3, 249, {245, 245, 248, 248}},
      {"right border cuts it off-centre", 246, 10, 3, 249, {243, 7, 248, 13}},
      {"pointer outside the window", -1, -1, 3, 249, {0, 0, 2, 2}},
      {"pointer past a map smaller than the window", 300, 260, 3, 249, {245, 245, 248, 248}},
      {"brush wider than the map", 5, 5, 20, 16, {0, 0, 15, 15}},
  };
  for (const Case& c : cases) {
    const BrushRect r = BrushRectAt(c.mx, c.my, c.b, c.side, c.side);
    EXPECT_EQ(std::vector<int>({r.x0, r.y0, r.x1, r.y1}),
              std::vector<int>({c.expected.x0, c.expected.y0, c.expected.x1, c.expected.y1}))
        << c.name;
  }
}

TEST(BrushReadout, GivesMaxMinAndMeanRoundedDown) {
  const BrushStats flat = ReadBrush(Flat(249, 40), BrushRectAt(100, 100, 3, 249, 249));
  EXPECT_EQ(flat.max, 40);
  EXPECT_EQ(flat.min, 40);
  EXPECT_EQ(flat.mean, 40);

  Heightmap map = Flat(16, 9);
  map(0, 0) = 1;
  map(1, 0) = map(0, 1) = map(1, 1) = 2;
  const BrushStats s = ReadBrush(map, BrushRect{0, 0, 1, 1});
  EXPECT_EQ(s.max, 2);
  EXPECT_EQ(s.min, 1);
  EXPECT_EQ(s.mean, 1);  // 7 / 4
}

TEST(PaintPlainBrush, MovesHalfWayTowardsTheToolHeightAndStopsShortByTruncation) {
  struct Case {
    unsigned char ground;
    std::vector<int> passes;
  };
  for (const Case& c : {Case{0, {5, 7, 8, 9, 9}}, Case{20, {15, 12, 11, 10, 10}}}) {
    Heightmap map = Flat(32, c.ground);
    std::vector<int> seen;
    for (std::size_t i = 0; i < c.passes.size(); ++i) {
      ApplyTool(map, kPaintPlainBrush, BrushRect{10, 10, 12, 12}, 10);
      seen.push_back(map(11, 11));
    }
    EXPECT_EQ(seen, c.passes) << "ground " << int(c.ground);
  }
}

TEST(MountainAndDepression, SaturateInsteadOfWrapping) {
  const BrushRect rect = BrushRectAt(100, 100, 5, 249, 249);
  Heightmap high = Flat(249, 250);
  for (int pass = 0; pass < 3; ++pass) ApplyTool(high, kCreateMountain, rect, 10);
  EXPECT_EQ(high(100, 100), 255);
  EXPECT_GE(high.get_crop(rect.x0, rect.y0, rect.x1, rect.y1).min(), 250);

  Heightmap low = Flat(249, 3);
  for (int pass = 0; pass < 3; ++pass) ApplyTool(low, kCreateDepression, rect, 10);
  EXPECT_EQ(low(100, 100), 0);
  EXPECT_LE(low.get_crop(rect.x0, rect.y0, rect.x1, rect.y1).max(), 3);
}

TEST(MountainAndDepression, PeakSitsAtTheCentreOfACutSquare) {
  Heightmap map = Flat(249, 0);
  const BrushRect rect = BrushRectAt(246, 10, 3, 249, 249);  // 243..248: centre 245.5
  ApplyTool(map, kCreateMountain, rect, 200);
  const std::vector<int> row = Row(map, 10, 243, 248);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(row[i], row[5 - i], 1) << "column " << 243 + i;
  EXPECT_GT(row[2], row[0] + 20);
  EXPECT_GT(map(246, 10), map(246, 7));
}

TEST(MountainAndDepression, FlatBumpChangesNothing) {
  // A 2 x 2 square in a corner has only corner samples: the bump is flat.
  const BrushRect corner = BrushRectAt(0, 0, 1, 249, 249);
  for (int tool : {kCreateMountain, kCreateDepression}) {
    Heightmap map = Flat(249, 100);
    ApplyTool(map, tool, corner, 50);
    EXPECT_EQ(map, Flat(249, 100)) << "tool " << tool;
  }
}

TEST(DrawingTools, ToolHeightZeroChangesNothingButPaintHalves) {
  const BrushRect rect = BrushRectAt(50, 50, 4, 249, 249);
  for (int tool : {kCreateMountain, kCreateDepression, kNoiseZone}) {
    Heightmap map = Flat(249, 120);
    map(50, 50) = 130;
    const Heightmap before = map;
    ApplyTool(map, tool, rect, 0);
    EXPECT_EQ(map, before) << "tool " << tool;
  }
  Heightmap map = Flat(249, 120);
  ApplyTool(map, kPaintPlainBrush, rect, 0);
  EXPECT_EQ(map(50, 50), 60);
  EXPECT_EQ(map(40, 40), 120);
}

TEST(DrawingTools, ChangeOnlyTheSquareAndFixDrawNothing) {
  Heightmap start = Flat(249, 0);
  start.rand(0, 255);
  const BrushRect rect = BrushRectAt(120, 60, 6, 249, 249);
  for (int tool = kFixDraw; tool <= kPaintPlainBrush + 1; ++tool) {
    Heightmap map = start;
    ApplyTool(map, tool, rect, 200);
    const unsigned char hole = 0;
    Heightmap outside = map, outsideBefore = start;
    outside.draw_rectangle(rect.x0, rect.y0, rect.x1, rect.y1, &hole);
    outsideBefore.draw_rectangle(rect.x0, rect.y0, rect.x1, rect.y1, &hole);
    EXPECT_EQ(outside, outsideBefore) << "tool " << tool;
    const bool changed = map != start;
    EXPECT_EQ(changed, tool >= kCreateMountain && tool <= kPaintPlainBrush) << "tool " << tool;
  }
}

TEST(BlurZone, SeesOnlyTheSquare) {
  // A wall right next to the square must not bleed into it.
  Heightmap map = Flat(64, 40);
  const unsigned char wall = 255;
  map.draw_rectangle(37, 0, 63, 63, &wall);
  ApplyTool(map, kBlurZone, BrushRect{30, 30, 36, 36}, 10);
  EXPECT_LE(map.get_crop(30, 30, 36, 36).max(), 40);
  EXPECT_GE(map.get_crop(30, 30, 36, 36).min(), 39);
  EXPECT_EQ(map(37, 33), 255);
}

}  // namespace
