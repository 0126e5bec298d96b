// Where the run's three windows go, by their frames (title bars included), on
// work areas that hold them in a row, in a column, or not at all.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "plugin/views.h"

namespace {

bool Inside(const WindowBox& area, const WindowBox& b) {
  return b.x >= area.x && b.y >= area.y && b.x + b.w <= area.x + area.w &&
         b.y + b.h <= area.y + area.h;
}

bool Overlap(const WindowBox& a, const WindowBox& b) {
  return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// Frames as a window manager draws them: the windows' sizes plus borders and a
// 25-pixel title bar. A panel takes the top 30 pixels of the screen.
const WindowBox kArea = {0, 30, 1280, 994};
WindowBox Frame(int side) { return {0, 0, side + 2, side + 27}; }

struct Case {
  std::string name;
  WindowBox area;
  int editorSide;
  bool fits;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class PlaceSideBySideTest : public ::testing::TestWithParam<Case> {
 protected:
  WindowBox boxes[3] = {Frame(GetParam().editorSide), Frame(300), {0, 0, 418, 342}};
};

// Apart when they fit, overlapping otherwise, and each whole on the area where it fits there.
TEST_P(PlaceSideBySideTest, KeepsEveryTitleBarOnTheArea) {
  const WindowBox& area = GetParam().area;
  EXPECT_EQ(PlaceSideBySide(area, boxes), GetParam().fits);
  for (int i = 0; i < 3; ++i) {
    const WindowBox& b = boxes[i];
    SCOPED_TRACE(testing::Message() << "window " << i << " at " << b.x << "," << b.y);
    EXPECT_GE(b.x, area.x) << "left of the area";
    EXPECT_GE(b.y, area.y) << "above the area";
    if (b.w <= area.w && b.h <= area.h) {
      EXPECT_TRUE(Inside(area, b)) << "not whole on the area, though it would fit";
    }
    for (int j = i + 1; GetParam().fits && j < 3; ++j)
      EXPECT_FALSE(Overlap(b, boxes[j])) << "over window " << j << ", though they fit apart";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Areas, PlaceSideBySideTest,
    ::testing::Values(Case{"RowOnAWideScreen", kArea, 249, true},
                      Case{"ColumnForAnEditorTooWideForTheRow", kArea, 747, true},
                      Case{"NeitherOnASmallScreen", {0, 0, 800, 600}, 498, false},
                      Case{"NeitherForAnEditorLargerThanTheArea", kArea, 996, false},
                      Case{"NeitherOnAnAreaRightOfAPanel", {64, 0, 640, 1024}, 249, false}),
    [](const testing::TestParamInfo<Case>& i) { return i.param.name; });

}  // namespace
