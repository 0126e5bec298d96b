#include <FL/Fl.H>
#include <FL/Fl_Color_Chooser.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Value_Slider.H>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "plugin/plugin_state.h"
#include "preview/my_gl_win.h"
#include "tests/support/fake_platform.h"
#include "tests/support/screen_turn.h"
#include "ui/control_window.h"
#include "ui/tool_icons.h"

namespace {

using Values = std::vector<double>;
template <class... T>
Values V(T... v) {
  return {double(v)...};
}
std::string Str(const char* s) { return s ? s : ""; }

std::vector<Fl_Widget*> Leaves(Fl_Group* g, std::vector<Fl_Widget*> out = {}) {
  for (int i = 0; i < g->children(); ++i)
    g->child(i)->as_group() ? void(out = Leaves(g->child(i)->as_group(), out))
                            : out.push_back(g->child(i));
  return out;
}

Fl_Widget* Named(Fl_Group* g, const std::string& name) {  // by label or tooltip
  for (Fl_Widget* w : Leaves(g))
    if (Str(w->label()) == name || Str(w->tooltip()) == name) return w;
  ADD_FAILURE() << "no " << name << " in " << Str(g->label());
  return g;
}

int Overlaps(Fl_Group* g) {
  int pairs = 0;
  for (Fl_Widget* a : Leaves(g))
    for (Fl_Widget* b : Leaves(g))
      pairs += a < b && a->x() < b->x() + b->w() && b->x() < a->x() + a->w() &&
               a->y() < b->y() + b->h() && b->y() < a->y() + a->h();
  return pairs;
}

void Click(Fl_Widget* w) {  // as the toolkit delivers it, so that radio grouping is real
  Fl::e_x = w->x() + w->w() / 2, Fl::e_y = w->y() + w->h() / 2, Fl::e_keysym = FL_Button + 1;
  w->handle(FL_PUSH), w->handle(FL_RELEASE);
}

Values Options(const Values& set = {}) {  // every value the option dialogs edit, set first if given
  Values now;
  auto each = [&](auto&... f) { ((set.empty() ? f : f = set[now.size()], now.push_back(f)), ...); };
  each(plasmaAlpha, plasmaBeta, plasmaNoise, noiseSigma, noiseType, erodeTimes[0], erodeTimes[1],
       dilateTimes[0], dilateTimes[1], morviNoise, morviAlpha, morviBeta);
  return now;
}

// Answers the colour chooser once it is open: the given colour, then the button.
struct Chooser {
  double r, g, b;
  const char* button;
  std::string title;
};
void Answer(void* data) {
  Chooser* s = static_cast<Chooser*>(data);
  Fl_Window* w = Fl::modal();
  if (!w) return Fl::repeat_timeout(0.05, Answer, data);
  for (int i = 0; i < w->children(); ++i)
    if (auto* chooser = dynamic_cast<Fl_Color_Chooser*>(w->child(i)))
      chooser->rgb(s->r, s->g, s->b);
  s->title = Str(w->label()), Named(w, s->button)->do_callback();
}

class ControlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { cw_.show(), preview_.show(), previewWindow = &preview_; }
  void TearDown() override { previewWindow = nullptr, editorDisplay = nullptr; }
  template <class F>
  bool Redraws(F act) {
    return preview_.clear_damage(), act(), preview_.damage();
  }
  Fl_Button* Tip(const char* tip) { return static_cast<Fl_Button*>(Named(cw_.window, tip)); }
  ScreenTurn turn_;
  ScopedFakePlatform platform_;  // answers the close question of "Close Plugin"
  ControlWindow cw_;
  MyGlWin preview_{0, 0, 300, 300, "Landscape 3D View"};
};

// Each button by its tooltip: its icon, its tool, and a click's result(x, y) = source(before, x,
// y).
TEST_F(ControlWindowTest, ButtonsCarryTheirIconAndCommandAndFitTheEditorToTheMap) {
  using I = ToolIcon;
  struct {
    const char* tip;
    I icon;
    int tool;
    std::function<int(const Heightmap&, int, int)> source = {};
  } rows[] = {
      {"Paint Plain Brush", I::kPaintPlainBrush, kPaintPlainBrush},
      {"Fix Draw", I::kFixDraw, kFixDraw},
      {"Create Mountain", I::kCreateMountain, kCreateMountain},
      {"Blur Zone", I::kBlurZone, kBlurZone},
      {"Create Depression", I::kCreateDepression, kCreateDepression},
      {"Noise Zone", I::kNoiseZone, kNoiseZone},
      {"Enlarge", I::kEnlarge, -1},
      {"Reduce", I::kReduce, -1},
      // Clockwise as seen with y down: the top-left sample ends top right.
      {"Rotate Right", I::kRotateRight, -1, [](auto& m, int x, int y) { return m(y, 5 - x); }},
      {"Rotate Left", I::kRotateLeft, -1, [](auto& m, int x, int y) { return m(3 - y, x); }},
      {"Flip Horizontal", I::kFlipHorizontal, -1,
       [](auto& m, int x, int y) { return m(3 - x, y); }},
      {"Flip Vertical", I::kFlipVertical, -1, [](auto& m, int x, int y) { return m(x, 5 - y); }},
      // No icon; the brush height wraps: 300.7 stores 300 - 256.
      {"Clear Current Image to Maximum Height Value", I(-1), -1,
       [](auto&, int, int) { return 44; }}};
  Heightmap before(4, 6, 1, 1);
  cimg_forXY(before, x, y) before(x, y) = static_cast<unsigned char>(x * 7 + y * 13 + x * y);
  for (const auto& r : rows) {
    heightmap = before, currentTool = -1, brushHeight = 300.7;
    EXPECT_TRUE((Redraws([&] { Click(Tip(r.tip)); }) || !r.source) && currentTool == r.tool)
        << r.tip;
    EXPECT_TRUE(r.icon == I(-1) ||
                (Tip(r.tip)->image() == (Fl_Image*)ToolIconImage(r.icon) && !Tip(r.tip)->label()))
        << r.tip;
    if (!r.source) continue;
    ASSERT_EQ(heightmap.width(), Str(r.tip).rfind("Rotate", 0) ? 4 : 6) << r.tip;
    cimg_forXY(heightmap, x, y) ASSERT_EQ(heightmap(x, y), r.source(before, x, y))
        << r.tip << " " << x << "," << y;
  }
  // Enlarge, Reduce and Change Size fit the editor to the map at a zoom that fits the screen; a
  // picture sets the map, its size choice and zoom 1; a file that is no picture changes nothing and
  // says why, once.
  cimg_library::CImgDisplay display(100, 100, "Heightmap", 1, false, false);
  heightmap.assign(63, 63, 1, 1, 9), editorDisplay = &display;
  auto zoom = [&](const char* tip) {
    Click(Tip(tip));
    EXPECT_EQ(display.width() + display.height(), 2 * 63 * displayZoom) << tip;
    return displayZoom;
  };
  EXPECT_TRUE(zoom("Reduce") == 1 && zoom("Enlarge") == 2);  // at zoom 1 Reduce still fits
  for (int i = 0; i < 12; ++i) zoom("Enlarge");
  const int top = displayZoom, screen = std::min(Fl::w(), Fl::h());
  EXPECT_TRUE(top * 63 <= screen && top * 2 * 63 > screen && zoom("Reduce") == top / 2) << top;
  cw_.mapDimensionsChoice->value(3), Click(cw_.changeSizeButton);  // "32x32 px", back at zoom 1
  EXPECT_EQ(V(displayZoom, heightmap.width(), heightmap.height(), display.width()),
            V(1, 32, 32, 32));
  const std::string good = ::testing::TempDir() + "cw_map.pgm",
                    bad = ::testing::TempDir() + "cw_text.pgm";
  Heightmap(63, 63, 1, 1, 77).save(good.c_str()), std::ofstream(bad) << "not a picture";
  platform_.fake.openAnswers = {bad, good}, displayZoom = 4, editorDisplay = nullptr,
  Click(Tip("Load an Image"));
  EXPECT_EQ(V(platform_.fake.messages.size(), heightmap.width(), cw_.mapDimensionsChoice->value()),
            V(1, 32, 3));
  Click(Tip("Load an Image"));
  EXPECT_EQ(V(platform_.fake.messages.size(), heightmap.width(), heightmap.max(),
              cw_.mapDimensionsChoice->value(), displayZoom),
            V(1, 63, 77, 2, 1));
}

// Showing starts a run: settings and widgets go back to the defaults; view, colours, mode and map
// stay. Then every setting the preview draws with stores its value and redraws it.
TEST_F(ControlWindowTest, ShowingStartsARunAndViewSettingsStoreTheirValueAndRedrawThePreview) {
  Options(Values(12, 7)), maxWideness = 4096, maxHeight = 1020, currentTool = kBlurZone,
                          displayZoom = 4, brushSize = 12;
  brushHeight = 99, passRequest = exportRequest = closeRequest = 1, renderMode = 1, yaw = 30;
  cw_.maxWidenessChoice->value(4), cw_.maxHeightChoice->value(3), cw_.secondFilterChoice->value(1);
  heightmap.assign(63, 63, 1, 1, 0), minColor = {10, 20, 30}, Click(Tip("Blur Zone")), cw_.show();
  EXPECT_EQ(Options(), V(1, 1, 100, 100, 0, 100, 100, 100, 100, 100, 3, 6.765));
  EXPECT_EQ(
      V(maxWideness, maxHeight, currentTool, displayZoom, brushSize, brushHeight, passRequest,
        exportRequest, closeRequest, yaw, minColor.g, renderMode, mapSize,
        cw_.renderingModeChoice->value(), cw_.mapDimensionsChoice->value(),
        cw_.maxWidenessChoice->value(), cw_.maxHeightChoice->value(),
        cw_.secondFilterChoice->value(), cw_.brushSizeSlider->value(),
        cw_.brushHeightSlider->value(),
        cw_.fixDrawButton->value(),  // colour map entries 0 (black), 19 and 7 (white):
        cw_.minColorButton->color(), cw_.midColorButton->color(), cw_.maxColorButton->color()),
      V(1024, 255, kFixDraw, 1, 3, 10, 0, 0, 0, 30, 20, 1, 63, 1, 2, 2, 0, 4, 3, 10, 1, 0, 19, 7));
  Fl_Choice *mode = cw_.renderingModeChoice, *wide = cw_.maxWidenessChoice,
            *high = cw_.maxHeightChoice;
  camX = 1, camY = 2, camZ = 3, yaw = 33;
  EXPECT_TRUE(Redraws([&] { mode->value(1), mode->do_callback(); }) &&
              Redraws([&] { Click(cw_.resetViewButton); }));
  EXPECT_EQ(V(renderMode, camX, camY, camZ, yaw), V(1, 0, -0.8f, -2.7f, 33));
  const int widths[] = {256, 512, 1024, 2048, 4096}, heights[] = {255, 510, 765, 1020, 255};
  auto pick = [&](Fl_Choice* c, int i) { return Redraws([&] { c->picked(c->menu() + i); }); };
  for (int i = 4; i >= 0; --i)  // Maximum Height is at its last entry already
    EXPECT_TRUE(pick(wide, i) && (i == 4 || pick(high, i)) && maxWideness == widths[i] &&
                maxHeight == heights[i])
        << i;
  struct {
    Fl_Button* button;
    Rgb* field;
    const char* title;
  } colours[] = {{cw_.minColorButton, &minColor, "Select Minimum Color"},
                 {cw_.midColorButton, &meanColor, "Select Middle Color"},
                 {cw_.maxColorButton, &maxColor, "Select Maximum Color"}};
  for (auto& c : colours) {  // OK with a colour, then Cancel with another
    Chooser ok{1.0, 0.0, 0.2, "OK", ""}, cancel{0.0, 1.0, 0.0, "Cancel", ""};
    EXPECT_TRUE(Redraws([&] { Fl::add_timeout(0.05, Answer, &ok), c.button->do_callback(); }));
    Fl::add_timeout(0.05, Answer, &cancel), c.button->do_callback();
    EXPECT_EQ(V(c.field->r, c.field->g, c.field->b, c.button->color(), ok.title == c.title),
              V(255, 0, 51, fl_rgb_color(255, 0, 51), true))
        << c.title;
  }
}

// Each "Options..." button opens its entry's dialog (twice: the second replaces the first), showing
// the value in use, not its built-in one; Apply stores its slider into that value only.
TEST_F(ControlWindowTest, OptionsButtonsOpenTheEntrysDialogThatStoresIntoItsOwnValue) {
  Fl_Choice *gen = cw_.generatorChoice, *first = cw_.firstFilterChoice,
            *second = cw_.secondFilterChoice;
  const char *erode = "Times you Want to Apply Erode Filter",
             *dilate = "Times you Want to Apply Dilate Filter";
  const char *alpha = "Set the Alpha Parameter", *beta = "Set the Beta Parameter",
             *noise = "Set the Noise Parameter";
  const char *plasma = "Plasma Options", *morvi = "Morvi Gen Options", *er = "Erode Options",
             *di = "Dilate Options";
  struct {
    Fl_Choice* choice;
    int entry;
    const char *title, *slider, *tip;
    int option;
    double min, max, inUse, applied;
  } rows[] = {{gen, 0, plasma, "Alpha", alpha, 0, 0, 4, 2.5, 0.75},
              {gen, 0, plasma, "Beta", beta, 1, 0, 4, 3.25, 1.5},
              {gen, 1, "Noise Options", "Sigma", "Sigma Parameter for Noise", 3, 1, 2000, 1500, 33},
              {first, 1, er, "Times", erode, 5, 1, 1000, 17, 5},
              {second, 1, er, "Times", erode, 6, 1, 1000, 23, 600},
              {first, 2, di, "Times", dilate, 7, 1, 1000, 9, 44},
              {second, 2, di, "Times", dilate, 8, 1, 1000, 999, 2},
              {gen, 2, morvi, "Noise", noise, 9, 1, 1000, 55, 250},
              {gen, 2, morvi, "Alpha", alpha, 10, 1, 10, 7, 2},
              {gen, 0, plasma, "Noise", noise, 2, 1, 1000, 7, 420},
              {gen, 2, morvi, "Beta", beta, 11, 1, 10, 1.005, 9.5}};
  auto open = [&](Fl_Choice* choice, int entry) {  // by the button beside the choice
    choice->value(entry);
    for (Fl_Widget* w : Leaves(cw_.window))
      if (Str(w->label()) == "Options..." && w->y() == choice->y()) Click(w), Click(w);
    return Fl::first_window();  // the one shown last
  };
  for (const auto& r : rows) {
    Values options = {3.5, 0.5, 640, 77, 2, 61, 62, 63, 64, 65, 4, 2.5};
    options[r.option] = r.inUse, Options(options);
    Fl_Window* d = open(r.choice, r.entry);
    auto* v = static_cast<Fl_Valuator*>(Named(d, r.slider));
    EXPECT_EQ(Str(d->label()) + "/" + Str(v->tooltip()), std::string(r.title) + "/" + r.tip);
    EXPECT_EQ(V(v->value(), v->minimum(), v->maximum(), Overlaps(d)), V(r.inUse, r.min, r.max, 0))
        << r.tip;
    v->value(r.applied), Named(d, "Apply")->do_callback(), options[r.option] = r.applied;
    EXPECT_EQ(Options(), options) << r.title << " " << r.slider;
  }
  EXPECT_EQ(Fl::next_window(Fl::next_window(Fl::first_window())), nullptr);  // only ours are shown
  // The noise kind is shown and stored; the close box stores nothing.
  Fl_Choice* type = static_cast<Fl_Choice*>(Named(open(gen, 1), "Noise Type:"));
  EXPECT_EQ(Str(type->text(0)) + type->text(1) + type->text(2) + "/" + type->text(),
            "GaussianUniformSalt+Pepper/Salt+Pepper");
  type->value(1), Named(type->window(), "Apply")->do_callback();
  static_cast<Fl_Choice*>(Named(open(gen, 1), "Noise Type:"))->value(0),
      Fl::first_window()->do_callback();
  EXPECT_EQ(V(noiseType, noiseSigma), V(1, 77));
}

}  // namespace
