// The control window: its buttons and what they do to the map, the editor and
// the preview; the settings a run starts from; the option dialogs.
#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Color_Chooser.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Value_Slider.H>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "plugin/plugin_state.h"
#include "plugin/terrain_history.h"
#include "preview/my_gl_win.h"
#include "tests/support/fake_platform.h"
#include "tests/support/screen_turn.h"
#include "tests/support/widgets.h"
#include "ui/control_window.h"
#include "ui/file_drop.h"
#include "ui/tool_icons.h"

using ::testing::ElementsAre;

namespace {

using Values = std::vector<double>;

// Every value the option dialogs edit, in one list.
Values Options() {
  Values v = {plasmaAlpha, plasmaBeta, plasmaNoise, noiseSigma};
  for (int n : {noiseType, erodeTimes[0], erodeTimes[1], dilateTimes[0], dilateTimes[1]})
    v.push_back(n);
  v.insert(v.end(), {morviNoise, morviAlpha, morviBeta});
  return v;
}

void SetOptions(const Values& v) {
  plasmaAlpha = v[0];
  plasmaBeta = v[1];
  plasmaNoise = v[2];
  noiseSigma = v[3];
  noiseType = int(v[4]);
  erodeTimes[0] = int(v[5]);
  erodeTimes[1] = int(v[6]);
  dilateTimes[0] = int(v[7]);
  dilateTimes[1] = int(v[8]);
  morviNoise = v[9];
  morviAlpha = v[10];
  morviBeta = v[11];
}

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
  const struct {
    const char* tip;
    ToolIcon icon;
    int tool;
  } rows[] = {{"Paint Plain Brush", ToolIcon::kPaintPlainBrush, kPaintPlainBrush},
              {"Fix Draw", ToolIcon::kFixDraw, kFixDraw},
              {"Create Mountain", ToolIcon::kCreateMountain, kCreateMountain},
              {"Blur Zone", ToolIcon::kBlurZone, kBlurZone},
              {"Create Depression", ToolIcon::kCreateDepression, kCreateDepression},
              {"Noise Zone", ToolIcon::kNoiseZone, kNoiseZone}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.tip);
    currentTool = -1;
    Click(Tip(row.tip));
    EXPECT_EQ(currentTool, row.tool);
    EXPECT_EQ(Tip(row.tip)->image(), static_cast<Fl_Image*>(ToolIconImage(row.icon)));
    EXPECT_EQ(Tip(row.tip)->label(), nullptr);
  }
}

// result(x, y) is before(source(x, y)) on a 4 x 6 map; clockwise as seen with y
// down, so the top-left sample ends top right.
TEST_F(ControlWindowTest, TransformButtonsMoveEverySampleAsNamed) {
  const struct {
    const char* tip;
    ToolIcon icon;
    int width;
    std::function<int(const Heightmap&, int, int)> source;
  } rows[] = {
      {"Rotate Right", ToolIcon::kRotateRight, 6,
       [](auto& m, int x, int y) { return m(y, 5 - x); }},
      {"Rotate Left", ToolIcon::kRotateLeft, 6, [](auto& m, int x, int y) { return m(3 - y, x); }},
      {"Flip Horizontal", ToolIcon::kFlipHorizontal, 4,
       [](auto& m, int x, int y) { return m(3 - x, y); }},
      {"Flip Vertical", ToolIcon::kFlipVertical, 4,
       [](auto& m, int x, int y) { return m(x, 5 - y); }}};
  Heightmap before(4, 6, 1, 1);
  cimg_forXY(before, x, y) before(x, y) = static_cast<unsigned char>(x * 7 + y * 13 + x * y);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.tip);
    heightmap = before;
    EXPECT_TRUE(Redraws([&] { Click(Tip(row.tip)); }));
    EXPECT_EQ(Tip(row.tip)->image(), static_cast<Fl_Image*>(ToolIconImage(row.icon)));
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
    EXPECT_EQ(display_.width(), 63 * displayZoom) << tip;
    EXPECT_EQ(display_.height(), 63 * displayZoom) << tip;
    return displayZoom;
  }
  cimg_library::CImgDisplay display_{100, 100, "Heightmap", 1, false, false};
};

TEST_F(ZoomTest, ReduceAtZoomOneStillFitsTheEditorToTheMap) { EXPECT_EQ(ZoomAfter("Reduce"), 1); }

TEST_F(ZoomTest, EnlargeDoublesUntilTheNextStepWouldLeaveTheScreen) {
  std::vector<int> zooms;
  for (int i = 0; i < 6; ++i) zooms.push_back(ZoomAfter("Enlarge"));
  const int top = displayZoom, screen = std::min(Fl::w(), Fl::h());
  EXPECT_LE(top * 63, screen);
  EXPECT_GT(top * 2 * 63, screen);
  EXPECT_EQ(zooms[0], 2);
  EXPECT_EQ(zooms[1], 4) << "the second step";
  EXPECT_EQ(ZoomAfter("Reduce"), top / 2);
}

TEST_F(ZoomTest, ChangeSizeGoesBackToZoomOne) {
  ZoomAfter("Enlarge");
  cw_.mapDimensionsChoice->value(3);  // "32x32 px"
  Click(cw_.changeSizeButton);
  EXPECT_THAT(Values({double(displayZoom), double(heightmap.width()), double(heightmap.height()),
                      double(display_.width())}),
              ElementsAre(1, 32, 32, 32));
}

TEST_F(ControlWindowTest, LoadingAPictureReplacesTheMapAtZoomOne) {
  const std::string good = ::testing::TempDir() + "cw_map_" + std::to_string(getpid()) + ".pgm";
  Heightmap(63, 63, 1, 1, 77).save(good.c_str());
  platform_.fake.openAnswers = {good};
  displayZoom = 4;
  Click(Tip("Load an Image"));
  std::remove(good.c_str());
  EXPECT_TRUE(platform_.fake.messages.empty());
  EXPECT_EQ(heightmap.width(), 63);
  EXPECT_EQ(heightmap.max(), 77);
  EXPECT_EQ(cw_.mapDimensionsChoice->value(), 2);
  EXPECT_EQ(displayZoom, 1);
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

// Showing starts a run: settings and widgets go back to their defaults, while the
// view, the colours, the rendering mode and the map stay.
TEST_F(ControlWindowTest, ShowingStartsFromTheDefaults) {
  SetOptions(Values(12, 7));
  maxWideness = 4096;
  maxHeight = 1020;
  currentTool = kBlurZone;
  displayZoom = 4;
  brushSize = 12;
  brushHeight = 99;
  passRequest = exportRequest = closeRequest = 1;
  cw_.maxWidenessChoice->value(4);
  cw_.maxHeightChoice->value(3);
  cw_.secondFilterChoice->value(1);
  Click(Tip("Blur Zone"));
  cw_.show();
  EXPECT_THAT(Options(), ElementsAre(1, 1, 100, 100, 0, 100, 100, 100, 100, 100, 3, 6.765));
  EXPECT_THAT(Values({double(maxWideness), double(maxHeight), double(currentTool),
                      double(displayZoom), brushSize, brushHeight, double(passRequest),
                      double(exportRequest), double(closeRequest)}),
              ElementsAre(1024, 255, kFixDraw, 1, 3, 10, 0, 0, 0));
  EXPECT_THAT(Values({double(cw_.maxWidenessChoice->value()), double(cw_.maxHeightChoice->value()),
                      double(cw_.secondFilterChoice->value()), cw_.brushSizeSlider->value(),
                      cw_.brushHeightSlider->value(), double(cw_.fixDrawButton->value())}),
              ElementsAre(2, 0, 4, 3, 10, 1));
}

// Colour map entries 0 (black), 19 and 7 (white), as the buttons are built.
TEST_F(ControlWindowTest, ColourButtonsStartBlackGreyAndWhite) {
  EXPECT_THAT(std::vector<Fl_Color>({cw_.minColorButton->color(), cw_.midColorButton->color(),
                                     cw_.maxColorButton->color()}),
              ElementsAre(0, 19, 7));
}

TEST_F(ControlWindowTest, ViewCommandsRedrawThePreviewWithTheirValue) {
  camX = 1;
  camY = 2;
  camZ = 3;
  yaw = 33;
  cw_.renderingModeChoice->value(1);
  EXPECT_TRUE(Redraws([&] { cw_.renderingModeChoice->do_callback(); }));
  EXPECT_TRUE(Redraws([&] { Click(cw_.resetViewButton); }));
  EXPECT_THAT(std::vector<float>({float(renderMode), camX, camY, camZ, yaw}),
              ElementsAre(1, 0, -0.8f, -2.7f, 33));
}

TEST_F(ControlWindowTest, ExportSizesRedrawThePreviewWithTheirUnits) {
  const int widths[] = {256, 512, 1024, 2048, 4096}, heights[] = {255, 510, 765, 1020};
  auto pick = [&](Fl_Choice* c, int i) { return Redraws([&] { c->picked(c->menu() + i); }); };
  for (int i = 4; i >= 0; --i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(pick(cw_.maxWidenessChoice, i));
    EXPECT_EQ(maxWideness, widths[i]);
  }
  for (int i = 3; i >= 0; --i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(pick(cw_.maxHeightChoice, i));
    EXPECT_EQ(maxHeight, heights[i]);
  }
}

// Answers the colour chooser once it is open: the given colour, then the button.
struct Chooser {
  double r, g, b;
  const char* button;
  std::string title;
};
void Answer(void* data) {
  Chooser* answer = static_cast<Chooser*>(data);
  Fl_Window* w = Fl::modal();
  if (!w) return Fl::repeat_timeout(0.05, Answer, data);
  for (int i = 0; i < w->children(); ++i)
    if (auto* chooser = dynamic_cast<Fl_Color_Chooser*>(w->child(i)))
      chooser->rgb(answer->r, answer->g, answer->b);
  answer->title = Str(w->label());
  Named(w, answer->button)->do_callback();
}

TEST_F(ControlWindowTest, OnlyAColourPickedWithOkIsTaken) {
  const struct {
    Fl_Button* button;
    Rgb* field;
    const char* title;
  } rows[] = {{cw_.minColorButton, &minColor, "Select Minimum Color"},
              {cw_.midColorButton, &meanColor, "Select Middle Color"},
              {cw_.maxColorButton, &maxColor, "Select Maximum Color"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.title);
    Chooser ok{1.0, 0.0, 0.2, "OK", ""}, cancel{0.0, 1.0, 0.0, "Cancel", ""};
    Fl::add_timeout(0.05, Answer, &ok);
    EXPECT_TRUE(Redraws([&] { row.button->do_callback(); }));
    EXPECT_EQ(ok.title, row.title);
    Fl::add_timeout(0.05, Answer, &cancel);
    row.button->do_callback();
    EXPECT_THAT(std::vector<int>({row.field->r, row.field->g, row.field->b}),
                ElementsAre(255, 0, 51));
    EXPECT_EQ(row.button->color(), fl_rgb_color(255, 0, 51));
  }
}

// Two widgets of a dialog that overlap on screen.
int Overlaps(Fl_Group* g) {
  int pairs = 0;
  for (Fl_Widget* a : Leaves(g))
    for (Fl_Widget* b : Leaves(g))
      pairs += a < b && a->x() < b->x() + b->w() && b->x() < a->x() + a->w() &&
               a->y() < b->y() + b->h() && b->y() < a->y() + a->h();
  return pairs;
}

// Opens the dialog of a choice's entry by the "Options..." button beside it,
// twice: the second replaces the first. Returns the one shown last.
Fl_Window* OpenOptions(ControlWindow& cw, Fl_Choice* choice, int entry) {
  choice->value(entry);
  for (Fl_Widget* w : Leaves(cw.window)) {
    if (Str(w->label()) == "Options..." && w->y() == choice->y()) {
      Click(w);
      Click(w);
    }
  }
  return Fl::first_window();
}

struct Slider {
  int choice;  // 0 generator, 1 first filter, 2 second filter
  int entry;
  const char *title, *label, *tip;
  int option;  // index in Options()
  double min, max, inUse, applied;
};

void PrintTo(const Slider& s, std::ostream* os) {
  *os << std::string(s.title).substr(0, std::string(s.title).find(' ')) << s.label << s.choice;
}

class OptionDialog : public ControlWindowTest, public ::testing::WithParamInterface<Slider> {};

// The dialog shows the value in use, not its built-in one, and Apply stores the
// slider into that value only.
TEST_P(OptionDialog, EditsTheValueInUseAlone) {
  const Slider& s = GetParam();
  Fl_Choice* choices[] = {cw_.generatorChoice, cw_.firstFilterChoice, cw_.secondFilterChoice};
  Values options = {3.5, 0.5, 640, 77, 2, 61, 62, 63, 64, 65, 4, 2.5};
  options[s.option] = s.inUse;
  SetOptions(options);
  Fl_Window* d = OpenOptions(cw_, choices[s.choice], s.entry);
  EXPECT_EQ(Str(d->label()), s.title);
  auto* v = static_cast<Fl_Valuator*>(Named(d, s.label));
  EXPECT_EQ(Str(v->tooltip()), s.tip);
  EXPECT_THAT(Values({v->value(), v->minimum(), v->maximum()}), ElementsAre(s.inUse, s.min, s.max));
  EXPECT_EQ(Overlaps(d), 0);
  v->value(s.applied);
  Named(d, "Apply")->do_callback();
  options[s.option] = s.applied;
  EXPECT_EQ(Options(), options);
  EXPECT_EQ(Fl::next_window(Fl::next_window(Fl::first_window())), nullptr)
      << "a second dialog is still shown";
}

const char *kErode = "Times you Want to Apply Erode Filter",
           *kDilate = "Times you Want to Apply Dilate Filter", *kAlpha = "Set the Alpha Parameter",
           *kBeta = "Set the Beta Parameter", *kNoise = "Set the Noise Parameter";
INSTANTIATE_TEST_SUITE_P(
    EverySlider, OptionDialog,
    ::testing::Values(Slider{0, 0, "Plasma Options", "Alpha", kAlpha, 0, 0, 4, 2.5, 0.75},
                      Slider{0, 0, "Plasma Options", "Beta", kBeta, 1, 0, 4, 3.25, 1.5},
                      Slider{0, 0, "Plasma Options", "Noise", kNoise, 2, 1, 1000, 7, 420},
                      Slider{0, 1, "Noise Options", "Sigma", "Sigma Parameter for Noise", 3, 1,
                             2000, 1500, 33},
                      Slider{1, 1, "Erode Options", "Times", kErode, 5, 1, 1000, 17, 5},
                      Slider{2, 1, "Erode Options", "Times", kErode, 6, 1, 1000, 23, 600},
                      Slider{1, 2, "Dilate Options", "Times", kDilate, 7, 1, 1000, 9, 44},
                      Slider{2, 2, "Dilate Options", "Times", kDilate, 8, 1, 1000, 999, 2},
                      Slider{0, 2, "Morvi Gen Options", "Noise", kNoise, 9, 1, 1000, 55, 250},
                      Slider{0, 2, "Morvi Gen Options", "Alpha", kAlpha, 10, 1, 10, 7, 2},
                      Slider{0, 2, "Morvi Gen Options", "Beta", kBeta, 11, 1, 10, 1.005, 9.5}));

TEST_F(ControlWindowTest, NoiseDialogStoresTheKindOnApplyOnly) {
  noiseType = 2;
  noiseSigma = 77;
  auto type = [&] {
    return static_cast<Fl_Choice*>(Named(OpenOptions(cw_, cw_.generatorChoice, 1), "Noise Type:"));
  };
  Fl_Choice* shown = type();
  EXPECT_THAT(std::vector<std::string>({shown->text(0), shown->text(1), shown->text(2)}),
              ElementsAre("Gaussian", "Uniform", "Salt+Pepper"));
  EXPECT_EQ(shown->value(), 2);
  shown->value(1);
  Named(shown->window(), "Apply")->do_callback();
  type()->value(0);
  Fl::first_window()->do_callback();
  EXPECT_EQ(noiseType, 1);
  EXPECT_EQ(noiseSigma, 77);
}

}  // namespace
