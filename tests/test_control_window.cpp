// The control window: what its buttons do to the map, editor and preview; a run's settings.
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
#include "terrain/heightmap_ops.h"
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

// result(x, y) is before(source(x, y)) on a 4 x 6 map; clockwise with y down.
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

// Reduce at zoom 1, Enlarge up to the screen, then Change Size; the editor fits the map
// at every step.
TEST_F(ControlWindowTest, ZoomStepsDoubleWithinTheScreen) {
  cimg_library::CImgDisplay display{100, 100, "Heightmap", 1, false, false};
  editorDisplay = &display;
  heightmap.assign(63, 63, 1, 1, 9);
  auto zoomAfter = [&](const char* tip) {
    Click(Tip(tip));
    EXPECT_EQ(display.width(), 63 * displayZoom) << "the editor does not fit after " << tip;
    return displayZoom;
  };
  EXPECT_EQ(zoomAfter("Reduce"), 1);
  EXPECT_THAT(Str(cw_.statusBox->label()), HasSubstr("smallest size"));
  EXPECT_EQ(zoomAfter("Enlarge"), 2);
  EXPECT_EQ(Str(cw_.statusBox->label()), "") << "the note outlived the limit";
  EXPECT_EQ(zoomAfter("Enlarge"), 4);
  for (int i = 0; i < 4; ++i) zoomAfter("Enlarge");
  const int screen = std::min(Fl::w(), Fl::h());
  EXPECT_LE(displayZoom * 63, screen);
  EXPECT_GT(displayZoom * 2 * 63, screen);
  EXPECT_THAT(Str(cw_.statusBox->label()), HasSubstr("largest size that fits the screen"));
  cw_.mapDimensionsChoice->value(3);  // "32x32 px"
  Click(cw_.changeSizeButton);
  EXPECT_EQ(heightmap.width(), 32);
  EXPECT_EQ(displayZoom, 1) << "Change Size kept the zoom";
}

// A file manager drops a percent-encoded URI with its line end; one undo takes the load back.
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
    EXPECT_EQ(cw_.mapDimensionsChoice->value(), 2) << "the size choice does not show 63x63";
    Undo();
    EXPECT_EQ(heightmap, Heightmap(125, 125, 1, 1, 5));
  }
  controlWindow = nullptr;
  std::remove(file.c_str());
}

// "" where the drop must be refused, with a reason and no path.
TEST(DroppedFilePath, AcceptsOnlyOneLocalFileWithItsNameDecoded) {
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

// Showing starts a run: the settings, and the choices that show them, go back to the defaults;
// the rendering mode alone outlives the run.
TEST_F(ControlWindowTest, ShowingStartsFromTheDefaults) {
  renderMode = 1;
  cw_.renderingModeChoice->value(0);
  maxWideness = 4096;
  cw_.maxWidenessChoice->value(4);
  currentTool = kBlurZone;
  displayZoom = 4;
  plasmaAlpha = 3.5;
  noiseType = kUniform;
  dilateTimes[0] = 7;
  cw_.show();
  renderMode = 0;
  EXPECT_EQ(cw_.renderingModeChoice->value(), 1) << "Color Shaded shown for the wireframe";
  EXPECT_EQ(maxWideness, 1024);
  EXPECT_EQ(cw_.maxWidenessChoice->value(), 2) << "the choice does not show 1024 units";
  EXPECT_EQ(currentTool, kFixDraw);
  EXPECT_EQ(displayZoom, 1);
  EXPECT_EQ(plasmaAlpha, 1.0);
  EXPECT_EQ(noiseType, kGaussian);
  EXPECT_EQ(dilateTimes[0], 100);
  // Colour map entries 0 (black), 19 and 7 (white).
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
  for (const auto& [name, act] : rows) {
    preview_.clear_damage();
    act();
    EXPECT_NE(preview_.damage(), 0) << "no redraw after " << name;
  }
}

}  // namespace
