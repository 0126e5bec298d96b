// The control window: its buttons and what they do to the map, the editor and
// the preview, and the settings a run starts from.
#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Color_Chooser.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Light_Button.H>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "plugin/plugin_state.h"
#include "plugin/terrain_history.h"
#include "preview/my_gl_win.h"
#include "tests/support/fake_platform.h"
#include "tests/support/screen_turn.h"
#include "tests/support/widgets.h"
#include "ui/control_window.h"
#include "ui/file_drop.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class ControlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cw_.show();
    preview_.show();
    previewWindow = &preview_;
  }
  void TearDown() override {
    previewWindow = nullptr;
    editorDisplay = nullptr;
  }
  // Whether act made the preview redraw.
  bool Redraws(const std::function<void()>& act) {
    preview_.clear_damage();
    act();
    return preview_.damage() != 0;
  }
  Fl_Button* Tip(const char* tip) { return static_cast<Fl_Button*>(Named(cw_.window, tip)); }
  ScreenTurn turn_;
  ScopedFakePlatform platform_;
  ControlWindow cw_;
  MyGlWin preview_{0, 0, 300, 300, "Landscape 3D View"};
};

TEST_F(ControlWindowTest, EachToolButtonSelectsItsTool) {
  const std::pair<const char*, int> rows[] = {
      {"Paint Plain Brush", kPaintPlainBrush},  {"Fix Draw", kFixDraw},
      {"Create Mountain", kCreateMountain},     {"Blur Zone", kBlurZone},
      {"Create Depression", kCreateDepression}, {"Noise Zone", kNoiseZone}};
  for (const auto& [tip, tool] : rows) {
    SCOPED_TRACE(tip);
    currentTool = -1;
    Click(Tip(tip));
    EXPECT_EQ(currentTool, tool);
  }
}

// result(x, y) is before(source(x, y)) on a 4 x 6 map; clockwise as seen with y
// down, so the top-left sample ends top right.
TEST_F(ControlWindowTest, TransformButtonsMoveEverySampleAsNamed) {
  const struct {
    const char* tip;
    int width;
    std::function<int(const Heightmap&, int, int)> source;
  } rows[] = {{"Rotate Right", 6, [](auto& m, int x, int y) { return m(y, 5 - x); }},
              {"Rotate Left", 6, [](auto& m, int x, int y) { return m(3 - y, x); }},
              {"Flip Horizontal", 4, [](auto& m, int x, int y) { return m(3 - x, y); }},
              {"Flip Vertical", 4, [](auto& m, int x, int y) { return m(x, 5 - y); }}};
  Heightmap before(4, 6, 1, 1);
  cimg_forXY(before, x, y) before(x, y) = static_cast<unsigned char>(x * 7 + y * 13 + x * y);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.tip);
    heightmap = before;
    Click(Tip(row.tip));
    ASSERT_EQ(heightmap.width(), row.width);
    cimg_forXY(heightmap, x, y) ASSERT_EQ(heightmap(x, y), row.source(before, x, y))
        << x << "," << y;
  }
}

class ZoomTest : public ControlWindowTest {
 protected:
  void SetUp() override {
    ControlWindowTest::SetUp();
    heightmap.assign(63, 63, 1, 1, 9);
    editorDisplay = &display_;
  }
  // The zoom after a click, checked against the editor's size.
  int ZoomAfter(const char* tip) {
    Click(Tip(tip));
    EXPECT_EQ(display_.width(), 63 * displayZoom)
        << "the editor does not fit the map after " << tip;
    return displayZoom;
  }
  std::string StatusText() { return Str(cw_.statusBox->label()); }
  cimg_library::CImgDisplay display_{100, 100, "Heightmap", 1, false, false};
};

TEST_F(ZoomTest, ReduceAtZoomOneFitsTheEditorAndSaysItIsTheSmallest) {
  EXPECT_EQ(ZoomAfter("Reduce"), 1);
  EXPECT_THAT(StatusText(), HasSubstr("smallest size"));
}

TEST_F(ZoomTest, EnlargeDoublesUntilTheNextStepWouldLeaveTheScreen) {
  std::vector<int> zooms;
  for (int i = 0; i < 6; ++i) zooms.push_back(ZoomAfter("Enlarge"));
  const int top = displayZoom, screen = std::min(Fl::w(), Fl::h());
  EXPECT_LE(top * 63, screen);
  EXPECT_GT(top * 2 * 63, screen);
  EXPECT_THAT(std::vector<int>(zooms.begin(), zooms.begin() + 2), ElementsAre(2, 4));
  EXPECT_THAT(StatusText(), HasSubstr("largest size that fits the screen"));
}

TEST_F(ZoomTest, AZoomStepThatWorksClearsTheLimitNote) {
  ZoomAfter("Reduce");
  EXPECT_EQ(ZoomAfter("Enlarge"), 2);
  EXPECT_EQ(StatusText(), "") << "the note outlived the limit";
}

TEST_F(ZoomTest, ChangeSizeGoesBackToZoomOne) {
  ZoomAfter("Enlarge");
  cw_.mapDimensionsChoice->value(3);  // "32x32 px"
  Click(cw_.changeSizeButton);
  EXPECT_EQ(heightmap.width(), 32);
  EXPECT_EQ(displayZoom, 1);
}

TEST_F(ControlWindowTest, LoadingAPictureShowsItsSizeInTheSizeChoice) {
  const std::string good = ::testing::TempDir() + "cw_map_" + std::to_string(getpid()) + ".pgm";
  Heightmap(63, 63, 1, 1, 77).save(good.c_str());
  platform_.fake.openAnswers = {good};
  Click(Tip("Load an Image"));
  std::remove(good.c_str());
  EXPECT_EQ(heightmap.width(), 63);
  EXPECT_EQ(cw_.mapDimensionsChoice->value(), 2) << "the choice does not show 63x63";
}

// A file manager drops a percent-encoded URI with its line end; the load it
// makes is undone in one step.
TEST_F(ControlWindowTest, AFileDroppedOnEitherWindowLoadsAsOneUndoableStep) {
  const std::string file = ::testing::TempDir() + "cw dropped " + std::to_string(getpid()) + ".pgm";
  Heightmap(63, 63, 1, 1, 77).save(file.c_str());
  std::string uri = "file://localhost" + file + "\r\n";
  uri.replace(uri.find(" dropped "), 9, "%20dropped%20");
  controlWindow = &cw_;
  for (Fl_Widget* target : std::vector<Fl_Widget*>{cw_.window, &preview_}) {
    SCOPED_TRACE(Str(target->label()));
    heightmap.assign(125, 125, 1, 1, 5);
    for (int event : {FL_DND_ENTER, FL_DND_DRAG, FL_DND_RELEASE})
      EXPECT_EQ(target->handle(event), 1) << "the drag is refused at event " << event;
    Fl::e_text = &uri[0];
    Fl::e_length = static_cast<int>(uri.size());
    target->handle(FL_PASTE);
    Fl::check();
    EXPECT_EQ(heightmap.width(), 63);
    Undo();
    EXPECT_EQ(heightmap, Heightmap(125, 125, 1, 1, 5));
  }
  controlWindow = nullptr;
  std::remove(file.c_str());
}

// "" where the drop must be refused, with a reason and no path.
TEST(DroppedFilePath, TakesOneLocalFileDecodedAndRefusesTheRest) {
  const std::pair<std::string, std::string> rows[] = {
      {"file:///maps/a%20b%25c%zz.png\r\n", "/maps/a b%c%zz.png"},
      {"C:\\maps\\100%41.png\r\n", "C:\\maps\\100%41.png"},
      {"file://server/maps/a.png", ""},
      {"file:///maps/a.png%00.txt", ""},
      {"file:///maps/a.png\r\nfile:///maps/b.png\r\n", ""}};
  for (const auto& [text, expected] : rows) {
    SCOPED_TRACE(text);
    std::string path, why;
    EXPECT_EQ(DroppedFilePath(text, &path, &why), !expected.empty());
    EXPECT_EQ(path, expected);
    EXPECT_EQ(why.empty(), !expected.empty()) << why;
  }
}

// Showing starts a run: the settings, and the choices that show them, go back to the defaults.
TEST_F(ControlWindowTest, ShowingStartsFromTheDefaults) {
  maxWideness = 4096;
  cw_.maxWidenessChoice->value(4);
  currentTool = kBlurZone;
  displayZoom = 4;
  plasmaAlpha = 3.5;
  dilateTimes[0] = 7;
  cw_.show();
  EXPECT_EQ(maxWideness, 1024);
  EXPECT_EQ(cw_.maxWidenessChoice->value(), 2) << "the choice does not show 1024 units";
  EXPECT_EQ(currentTool, kFixDraw);
  EXPECT_EQ(displayZoom, 1);
  EXPECT_EQ(plasmaAlpha, 1.0);
  EXPECT_EQ(dilateTimes[0], 100);
}

// The rendering mode outlives the run: a new run's choice shows the one in use.
TEST_F(ControlWindowTest, ShowingShowsTheRenderingModeInUse) {
  renderMode = 1;
  cw_.renderingModeChoice->value(0);
  cw_.show();
  renderMode = 0;
  EXPECT_EQ(cw_.renderingModeChoice->value(), 1) << "Color Shaded shown for the wireframe";
}

// Colour map entries 0 (black), 19 and 7 (white), as the buttons are built.
TEST_F(ControlWindowTest, ColourButtonsStartBlackGreyAndWhite) {
  EXPECT_THAT(std::vector<Fl_Color>({cw_.minColorButton->color(), cw_.midColorButton->color(),
                                     cw_.maxColorButton->color()}),
              ElementsAre(0, 19, 7));
}

// Picks a colour in the colour chooser once it is open, and presses OK.
void PickWhenShown(void*) {
  Fl_Window* w = Fl::modal();
  if (!w) return Fl::repeat_timeout(0.05, PickWhenShown);
  for (int i = 0; i < w->children(); ++i)
    if (auto* chooser = dynamic_cast<Fl_Color_Chooser*>(w->child(i))) chooser->rgb(1.0, 0.0, 0.2);
  Named(w, "OK")->do_callback();
}

TEST_F(ControlWindowTest, EverySettingThePreviewShowsRedrawsIt) {
  auto pick = [](Fl_Choice* c, int i) { c->picked(c->menu() + i); };
  const std::pair<const char*, std::function<void()>> rows[] = {
      {"Rendering Mode", [&] { pick(cw_.renderingModeChoice, 1); }},
      {"Reset View", [&] { Click(cw_.resetViewButton); }},
      {"Maximum Wideness", [&] { pick(cw_.maxWidenessChoice, 4); }},
      {"Maximum Height", [&] { pick(cw_.maxHeightChoice, 3); }},
      {"a colour", [&] {
         Fl::add_timeout(0.05, PickWhenShown);
         cw_.maxColorButton->do_callback();
       }}};
  for (const auto& [name, act] : rows) EXPECT_TRUE(Redraws(act)) << "no redraw after " << name;
}

}  // namespace
