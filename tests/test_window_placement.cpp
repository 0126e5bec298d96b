// Where the run's three windows go, by their frames (title bars included), on
// work areas that hold them in a row, in a column, or not at all.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>

#include "plugin/views.h"

static std::ostream& operator<<(std::ostream& os, const WindowBox& b) {
  return os << "{" << b.x << "," << b.y << " " << b.w << "x" << b.h << "}";
}
static bool operator==(const WindowBox& a, const WindowBox& b) {
  return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

namespace {

using ::testing::ElementsAre;

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
const WindowBox kPreview = Frame(300), kControl = {0, 0, 418, 342};

struct Case {
  std::string name;
  WindowBox area;
  int editorSide;
  bool fits;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class PlaceSideBySideTest : public ::testing::TestWithParam<Case> {};

TEST_P(PlaceSideBySideTest, KeepsEveryTitleBarOnTheAreaAndOverlapsOnlyWhenNothingElseFits) {
  const Case& c = GetParam();
  WindowBox boxes[3] = {Frame(c.editorSide), kPreview, kControl};
  EXPECT_EQ(PlaceSideBySide(c.area, boxes), c.fits);
  EXPECT_EQ(std::make_pair(boxes[0].x, boxes[0].y), std::make_pair(c.area.x, c.area.y))
      << "the editor is not in the area's corner";
  EXPECT_EQ(boxes[1].y, c.area.y) << "the preview's top is not aligned with the editor's";
  for (const WindowBox& b : boxes) {
    SCOPED_TRACE(testing::PrintToString(b));
    EXPECT_TRUE(b.x >= c.area.x && b.y >= c.area.y) << "title bar above or left of the area";
    if (b.w <= c.area.w && b.h <= c.area.h) EXPECT_TRUE(Inside(c.area, b)) << "not whole";
  }
  if (c.fits) {
    EXPECT_FALSE(Overlap(boxes[0], boxes[1]) || Overlap(boxes[0], boxes[2]) ||
                 Overlap(boxes[1], boxes[2]))
        << "overlap where they fit";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Areas, PlaceSideBySideTest,
    ::testing::Values(Case{"RowOnAWideScreen", kArea, 249, true},
                      Case{"ColumnForAnEditorTooWideForTheRow", kArea, 498, true},
                      Case{"NeitherOnASmallScreen", {0, 0, 800, 600}, 498, false},
                      Case{"NeitherForAnEditorLargerThanTheArea", kArea, 996, false},
                      Case{"NeitherOnAnAreaRightOfAPanel", {64, 0, 640, 1024}, 249, false}),
    [](const testing::TestParamInfo<Case>& i) { return i.param.name; });

// After the editor's frame changed size: its arrangement from a row at zoom 2.
class ArrangeFramesTest : public ::testing::Test {
 protected:
  WindowBox now[3] = {Frame(498), kPreview, kControl};
  bool keep[3] = {false, false, false};
  WindowBox want[3];
  void SetUp() override { ASSERT_TRUE(PlaceSideBySide(kArea, now)); }
};

TEST_F(ArrangeFramesTest, OthersStayPutWhenTheEditorShrinks) {
  const WindowBox preview = now[1], control = now[2];
  now[0] = {now[0].x, now[0].y, 251, 276};
  ArrangeFrames(kArea, now, keep, false, want);
  EXPECT_THAT(want, ElementsAre(now[0], preview, control));
}

TEST_F(ArrangeFramesTest, OthersMoveClearWhenTheEditorGrowsOverThem) {
  now[0] = {kArea.x, kArea.y, 749, 774};  // over the preview
  ArrangeFrames(kArea, now, keep, false, want);
  for (int i = 1; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(Overlap(want[0], want[i]));
    EXPECT_TRUE(Inside(kArea, want[i]));
  }
  EXPECT_FALSE(Overlap(want[1], want[2]));
}

TEST_F(ArrangeFramesTest, AWindowTheUserMovedStaysEvenOverTheEditor) {
  const WindowBox moved = {20, 40, kControl.w, kControl.h};
  now[2] = moved;
  keep[2] = true;
  ArrangeFrames(kArea, now, keep, false, want);
  EXPECT_EQ(want[2], moved);
}

}  // namespace
