// The control window and its option dialogs, driven through their widgets.
#include "ui/control_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Color_Chooser.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Value_Output.H>
#include <FL/Fl_Value_Slider.H>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "plugin/plugin_state.h"
#include "preview/my_gl_win.h"
#include "tests/support/fake_platform.h"
#include "ui/option_dialogs.h"
#include "ui/tool_icons.h"

namespace {

std::string Str(const char* s) { return s ? s : ""; }

void Flatten(Fl_Group* g, std::vector<Fl_Widget*>& out) {
  for (int i = 0; i < g->children(); ++i) {
    out.push_back(g->child(i));
    if (Fl_Group* sub = g->child(i)->as_group()) Flatten(sub, out);
  }
}

// Leaf widgets of one group that overlap on screen.
std::string Overlaps(Fl_Group* g) {
  std::vector<Fl_Widget*> all;
  Flatten(g, all);
  std::string found;
  for (Fl_Widget* a : all) {
    for (Fl_Widget* b : all) {
      if (a >= b || a->as_group() || b->as_group()) continue;
      if (a->x() < b->x() + b->w() && b->x() < a->x() + a->w() && a->y() < b->y() + b->h() &&
          b->y() < a->y() + a->h())
        found += Str(a->label()) + Str(a->tooltip()) + " / " + Str(b->label()) + Str(b->tooltip()) + "; ";
    }
  }
  return found;
}

// A full mouse click as the toolkit delivers it, so radio grouping is real.
void Click(Fl_Widget* w) {
  Fl::e_x = w->x() + w->w() / 2;
  Fl::e_y = w->y() + w->h() / 2;
  Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
  w->handle(FL_PUSH);
  w->handle(FL_RELEASE);
}

Heightmap Numbered(int w, int h) {
  Heightmap m(w, h, 1, 1);
  cimg_forXY(m, x, y) m(x, y) = static_cast<unsigned char>(x * 7 + y * 13 + x * y);
  return m;
}

class ControlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = heightmap;
    cw_ = new ControlWindow();
    cw_->show();
    Flatten(cw_->window, widgets_);
  }
  void TearDown() override {
    for (Fl_Window* w = Fl::first_window(); w;) {
      Fl_Window* next = Fl::next_window(w);
      if (w != cw_->window && w != previewWindow) w->do_callback();
      w = next;
    }
    delete cw_;
    heightmap = saved_;
    ResetDefaults();
    Fl::wait(0);  // lets closed dialogs be freed
  }
  Fl_Widget* ByTooltip(const char* tip) {
    for (Fl_Widget* w : widgets_)
      if (Str(w->tooltip()) == tip) return w;
    ADD_FAILURE() << "no widget with tooltip " << tip;
    return cw_->window;
  }
  ScopedFakePlatform platform_;  // answers the close question of "Close Plugin"
  ControlWindow* cw_ = nullptr;
  std::vector<Fl_Widget*> widgets_;
  Heightmap saved_;
};

TEST_F(ControlWindowTest, OpensOnPaintWithRunDefaultsAndNoWidgetsOverlap) {
  EXPECT_EQ(Str(cw_->window->label()), "Relievo Plugin Menu");
  Fl_Tabs* tabs = static_cast<Fl_Tabs*>(widgets_[0]);
  EXPECT_EQ(Str(tabs->value()->label()), "Paint");
  for (int i = 0; i < tabs->children(); ++i)
    EXPECT_EQ(Overlaps(tabs->child(i)->as_group()), "") << tabs->child(i)->label();
  EXPECT_EQ(cw_->fixDrawButton->value(), 1);
  EXPECT_EQ(cw_->brushSizeSlider->value(), 3);
  EXPECT_EQ(cw_->brushSizeSlider->maximum(), 20);
  EXPECT_EQ(cw_->brushHeightSlider->value(), 10);
  EXPECT_EQ(cw_->maxWidenessChoice->value(), 2);
  EXPECT_EQ(cw_->maxHeightChoice->value(), 0);
  EXPECT_EQ(cw_->generatorChoice->value(), 0);
  EXPECT_EQ(cw_->firstFilterChoice->value(), 0);
  EXPECT_EQ(cw_->secondFilterChoice->value(), 4);
  // Colour map entries: Min 0 (black), Mid 19, Max 7 (white).
  EXPECT_EQ(std::vector<Fl_Color>({cw_->minColorButton->color(), cw_->midColorButton->color(),
                                   cw_->maxColorButton->color()}),
            std::vector<Fl_Color>({0, 19, 7}));
  // A map left at another side by an earlier run selects that side.
  heightmap.assign(63, 63, 1, 1, 0);
  ControlWindow second;
  second.show();
  EXPECT_EQ(mapSize, 63);
  EXPECT_EQ(second.mapDimensionsChoice->value(), 2);
}

// Showing the window starts a run: settings go back to their defaults, the
// view and the colours stay as the last run left them.
TEST_F(ControlWindowTest, ShowingResetsTheSettingsButNotTheViewOrColours) {
  struct { double* field; double set, start; } doubles[] = {
      {&plasmaAlpha, 3.5, 1}, {&plasmaBeta, 2, 1}, {&plasmaNoise, 7, 100}, {&morviAlpha, 5, 3},
      {&morviBeta, 2, 6.765}, {&morviNoise, 9, 100}, {&noiseSigma, 11, 100}, {&brushSize, 12, 3},
      {&brushHeight, 99, 10}};
  struct { int* field; int set, start; } ints[] = {
      {&noiseType, 2, 0}, {&erodeTimes[0], 3, 100}, {&erodeTimes[1], 4, 100},
      {&dilateTimes[0], 5, 100}, {&dilateTimes[1], 6, 100}, {&maxWideness, 4096, 1024},
      {&maxHeight, 1020, 255}, {&currentTool, kBlurZone, kFixDraw}, {&displayZoom, 2, 1},
      {&passRequest, 1, 0}, {&exportRequest, 1, 0}, {&closeRequest, 1, 0}};
  for (auto& d : doubles) *d.field = d.set;
  for (auto& i : ints) *i.field = i.set;
  camZ = -5.0f, yaw = 30.0f, renderMode = 1, minColor = {10, 20, 30};
  cw_->show();
  for (auto& d : doubles) EXPECT_EQ(*d.field, d.start) << "set to " << d.set;
  for (auto& i : ints) EXPECT_EQ(*i.field, i.start) << "set to " << i.set;
  EXPECT_EQ(std::vector<float>({camZ, yaw, float(renderMode), float(minColor.g)}),
            std::vector<float>({-5.0f, 30.0f, 1, 20}));
  camZ = -2.7f, yaw = 0, renderMode = 0, minColor = {0, 0, 0};
}

// Each button by its tooltip: its icon and what a click does to a 4 x 6 map.
TEST_F(ControlWindowTest, ToolAndTransformButtonsCarryTheirIconAndCommand) {
  using Map = std::function<int(const Heightmap&, int, int)>;
  struct Row {
    const char* tip;
    ToolIcon icon;
    int tool;  // -1: a transform
    Map source;  // result(x, y) = source(before, x, y), on a W x H map
  } rows[] = {
      {"Paint Plain Brush", ToolIcon::kPaintPlainBrush, kPaintPlainBrush, nullptr},
      {"Create Mountain", ToolIcon::kCreateMountain, kCreateMountain, nullptr},
      {"Create Depression", ToolIcon::kCreateDepression, kCreateDepression, nullptr},
      {"Noise Zone", ToolIcon::kNoiseZone, kNoiseZone, nullptr},
      {"Blur Zone", ToolIcon::kBlurZone, kBlurZone, nullptr},
      {"Fix Draw", ToolIcon::kFixDraw, kFixDraw, nullptr},
      // Clockwise as seen with y down: the top-left sample ends top right.
      {"Rotate Right", ToolIcon::kRotateRight, -1, [](const Heightmap& m, int x, int y) { return m(y, m.height() - 1 - x); }},
      {"Rotate Left", ToolIcon::kRotateLeft, -1, [](const Heightmap& m, int x, int y) { return m(m.width() - 1 - y, x); }},
      {"Flip Horizontal", ToolIcon::kFlipHorizontal, -1, [](const Heightmap& m, int x, int y) { return m(m.width() - 1 - x, y); }},
      {"Flip Vertical", ToolIcon::kFlipVertical, -1, [](const Heightmap& m, int x, int y) { return m(x, m.height() - 1 - y); }},
      {"Enlarge", ToolIcon::kEnlarge, -1, nullptr},
      {"Reduce", ToolIcon::kReduce, -1, nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tip);
    Fl_Button* b = static_cast<Fl_Button*>(ByTooltip(r.tip));
    EXPECT_EQ(b->image(), ToolIconImage(r.icon));
    EXPECT_EQ(Str(b->label()), "");
    heightmap = Numbered(4, 6);
    currentTool = kBlurZone + 7;
    Click(b);
    if (r.tool >= 0) {
      EXPECT_EQ(currentTool, r.tool);
      int lit = 0;
      for (Fl_Widget* w : widgets_)
        if (w->type() == FL_RADIO_BUTTON) lit += static_cast<Fl_Button*>(w)->value();
      EXPECT_EQ(lit, 1);
    }
    if (!r.source) continue;
    const Heightmap before = Numbered(4, 6);
    const bool turned = r.icon == ToolIcon::kRotateRight || r.icon == ToolIcon::kRotateLeft;
    ASSERT_EQ(heightmap.width(), turned ? 6 : 4);
    cimg_forXY(heightmap, x, y) ASSERT_EQ(heightmap(x, y), r.source(before, x, y)) << x << "," << y;
  }
}

TEST_F(ControlWindowTest, ClearAllFillsWithTheWrappedBrushHeight) {
  heightmap = Numbered(63, 63);
  const double heights[] = {0, 10.9, 77, 300};
  const int fills[] = {0, 10, 77, 44};
  for (int i = 0; i < 4; ++i) {
    brushHeight = heights[i];
    Click(ByTooltip("Clear Current Image to Maximum Height Value"));
    EXPECT_EQ(heightmap.width(), 63);
    EXPECT_EQ(heightmap.min(), fills[i]);
    EXPECT_EQ(heightmap.max(), fills[i]);
  }
}

TEST_F(ControlWindowTest, EnlargeAndReduceResizeTheEditorWithinTheScreen) {
  heightmap = Numbered(63, 63);
  cimg_library::CImgDisplay display(100, 100, "Heightmap", 1, false, false);
  editorDisplay = &display;
  Fl_Widget* enlarge = ByTooltip("Enlarge");
  Fl_Widget* reduce = ByTooltip("Reduce");
  Click(reduce);  // at zoom 1 it still fits the editor to the map
  EXPECT_EQ(displayZoom, 1);
  EXPECT_EQ(display.width(), 63);
  Click(enlarge);
  EXPECT_EQ(displayZoom, 2);
  EXPECT_EQ(display.height(), 126);
  for (int i = 0; i < 12; ++i) Click(enlarge);
  EXPECT_LE(displayZoom * 63, std::min(Fl::w(), Fl::h()));
  EXPECT_GT(displayZoom * 2 * 63, std::min(Fl::w(), Fl::h()));
  EXPECT_EQ(display.width(), displayZoom * 63);
  const int top = displayZoom;
  Click(reduce);
  EXPECT_EQ(displayZoom, top / 2);
  EXPECT_EQ(display.height(), top / 2 * 63);
  editorDisplay = nullptr;
}

// Answers the colour chooser once it is open: OK with the given colour, or Cancel.
struct ChooserScript {
  bool ok;
  double r, g, b;
  std::string seenTitle;
};

void AnswerChooser(void* data) {
  ChooserScript* s = static_cast<ChooserScript*>(data);
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
    if (!w->modal()) continue;
    s->seenTitle = Str(w->label());
    for (int i = 0; i < w->children(); ++i)
      if (auto* chooser = dynamic_cast<Fl_Color_Chooser*>(w->child(i))) chooser->rgb(s->r, s->g, s->b);
    for (int i = 0; i < w->children(); ++i) {
      Fl_Widget* c = w->child(i);
      if (dynamic_cast<Fl_Button*>(c) && (dynamic_cast<Fl_Return_Button*>(c) != nullptr) == s->ok) {
        c->do_callback();
        return;
      }
    }
  }
  Fl::repeat_timeout(0.05, AnswerChooser, data);
}

// Every setting the preview draws with asks it to redraw.
TEST_F(ControlWindowTest, SettingsWriteTheirFieldsAndRedrawThePreview) {
  MyGlWin preview(0, 0, 300, 300, "Landscape 3D View");
  preview.show();
  previewWindow = &preview;
  auto redrawn = [&](const std::function<void()>& act) {
    preview.clear_damage();
    act();
    return preview.damage() != 0;
  };
  EXPECT_TRUE(redrawn([&] { cw_->renderingModeChoice->value(1), cw_->renderingModeChoice->do_callback(); }));
  EXPECT_EQ(renderMode, 1);
  camX = 1, camY = 2, camZ = 3, yaw = 33;
  EXPECT_TRUE(redrawn([&] { Click(cw_->resetViewButton); }));
  EXPECT_EQ(std::vector<float>({camX, camY, camZ, yaw}), std::vector<float>({0, -0.8f, -2.7f, 33}));
  const int widths[] = {256, 512, 1024, 2048, 4096}, heights[] = {255, 510, 765, 1020};
  for (int i = 4; i >= 0; --i) {
    EXPECT_TRUE(redrawn([&] { cw_->maxWidenessChoice->picked(cw_->maxWidenessChoice->menu() + i); }));
    EXPECT_EQ(maxWideness, widths[i]);
  }
  for (int i = 3; i >= 0; --i) {
    EXPECT_TRUE(redrawn([&] { cw_->maxHeightChoice->picked(cw_->maxHeightChoice->menu() + i); }));
    EXPECT_EQ(maxHeight, heights[i]);
  }
  struct { Fl_Button* button; Rgb* field; const char* title; } colours[] = {
      {cw_->minColorButton, &minColor, "Select Minimum Color"},
      {cw_->midColorButton, &meanColor, "Select Middle Color"},
      {cw_->maxColorButton, &maxColor, "Select Maximum Color"}};
  for (auto& c : colours) {
    ChooserScript ok{true, 1.0, 0.0, 0.2, ""};
    Fl::add_timeout(0.05, AnswerChooser, &ok);
    EXPECT_TRUE(redrawn([&] { c.button->do_callback(); }));
    EXPECT_EQ(ok.seenTitle, c.title);
    EXPECT_EQ(std::vector<int>({c.field->r, c.field->g, c.field->b}), std::vector<int>({255, 0, 51}));
    EXPECT_EQ(c.button->color(), fl_rgb_color(255, 0, 51));
    ChooserScript cancel{false, 0.0, 1.0, 0.0, ""};
    Fl::add_timeout(0.05, AnswerChooser, &cancel);
    c.button->do_callback();
    EXPECT_EQ(c.field->g, 0);
  }
  previewWindow = nullptr;

  Click(ByTooltip("Pass this Landscape to Quarn"));
  Click(ByTooltip("Export to a QMF File"));
  Click(ByTooltip("Terminate Plugin"));
  EXPECT_EQ(passRequest + exportRequest + closeRequest, 3);
  cw_->brushSizeSlider->value(7);
  cw_->brushSizeSlider->do_callback();
  cw_->brushHeightSlider->value(200);
  cw_->brushHeightSlider->do_callback();
  EXPECT_EQ(brushSize, 7);
  EXPECT_EQ(brushHeight, 200);
}

// --- option dialogs -----------------------------------------------------------

Fl_Widget* Child(Fl_Window* w, const char* label) {
  for (int i = 0; i < w->children(); ++i)
    if (Str(w->child(i)->label()) == label) return w->child(i);
  ADD_FAILURE() << "no widget " << label << " in " << w->label();
  return w;
}

Fl_Valuator* Slider(Fl_Window* w, const char* label) { return static_cast<Fl_Valuator*>(Child(w, label)); }

int ShownWithTitle(const char* title) {
  int n = 0;
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) n += Str(w->label()) == title;
  return n;
}

class OptionDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetDefaults(); }
  void TearDown() override {
    while (Fl_Window* w = Fl::first_window()) w->do_callback();
    Fl::wait(0);
    ResetDefaults();
  }
};

// Each dialog shows the value in use (not its built-in one), and Apply stores
// the slider into its own field only.
TEST_F(OptionDialogTest, ShowTheCurrentValuesAndApplyStoresEachIntoItsField) {
  using Open = std::function<Fl_Double_Window*()>;
  double erode1 = 0, dilate0 = 0;
  struct Row {
    Open open;
    const char* title;
    const char* slider;
    const char* tip;
    double* field;
    double inUse, min, max, applied;
  } rows[] = {
      {showPlasmaOptions, "Plasma Options", "Alpha", "Set the Alpha Parameter", &plasmaAlpha, 2.5, 0, 4, 0.75},
      {showPlasmaOptions, "Plasma Options", "Beta", "Set the Beta Parameter", &plasmaBeta, 3.25, 0, 4, 1.5},
      {showPlasmaOptions, "Plasma Options", "Noise", "Set the Noise Parameter", &plasmaNoise, 7, 1, 1000, 420},
      {showNoiseOptions, "Noise Options", "Sigma", "Sigma Parameter for Noise", &noiseSigma, 1500, 1, 2000, 33},
      {[] { return showErodeOptions(1); }, "Erode Options", "Times", "Times you Want to Apply Erode Filter", &erode1, 17, 1, 1000, 5},
      {[] { return showDilateOptions(0); }, "Dilate Options", "Times", "Times you Want to Apply Dilate Filter", &dilate0, 9, 1, 1000, 600},
      {showMorviGenOptions, "Morvi Gen Options", "Noise", "Set the Noise Parameter", &morviNoise, 55, 1, 1000, 250},
      {showMorviGenOptions, "Morvi Gen Options", "Alpha", "Set the Alpha Parameter", &morviAlpha, 7, 1, 10, 2},
      {showMorviGenOptions, "Morvi Gen Options", "Beta", "Set the Beta Parameter", &morviBeta, 1.005, 1, 10, 9.5},
  };
  for (Row& r : rows) {
    SCOPED_TRACE(std::string(r.title) + " " + r.slider);
    ResetDefaults();
    erode1 = dilate0 = 100;
    *r.field = r.inUse;
    erodeTimes[1] = static_cast<int>(erode1), dilateTimes[0] = static_cast<int>(dilate0);
    Fl_Double_Window* d = r.open();
    EXPECT_EQ(Str(d->label()), r.title);
    EXPECT_EQ(ShownWithTitle(r.title), 1);
    EXPECT_EQ(Overlaps(d), "");
    Fl_Valuator* v = Slider(d, r.slider);
    EXPECT_DOUBLE_EQ(v->value(), r.inUse);
    EXPECT_EQ(std::vector<double>({v->minimum(), v->maximum()}), std::vector<double>({r.min, r.max}));
    EXPECT_EQ(Str(v->tooltip()), r.tip);
    v->value(r.applied);
    Child(d, "Apply")->do_callback();
    EXPECT_FALSE(d->shown());
    erode1 = erodeTimes[1], dilate0 = dilateTimes[0];
    EXPECT_DOUBLE_EQ(*r.field, r.applied);
    EXPECT_EQ(plasmaBeta, r.field == &plasmaBeta ? r.applied : 1.0);
    EXPECT_EQ(morviAlpha, r.field == &morviAlpha ? r.applied : 3.0);
    EXPECT_EQ(erodeTimes[0] + dilateTimes[1], 200);
  }
}

TEST_F(OptionDialogTest, NoiseTypeChoiceShowsAndStoresTheKind) {
  noiseType = 2, noiseSigma = 640;
  Fl_Double_Window* d = showNoiseOptions();
  Fl_Choice* type = static_cast<Fl_Choice*>(Child(d, "Noise Type:"));
  EXPECT_EQ(type->value(), 2);
  EXPECT_EQ(Str(type->text(0)) + Str(type->text(1)) + Str(type->text(2)), "GaussianUniformSalt+Pepper");
  type->value(1);
  Child(d, "Apply")->do_callback();
  EXPECT_EQ(noiseType, 1);
  EXPECT_EQ(noiseSigma, 640);
  // The close box stores nothing.
  d = showNoiseOptions();
  static_cast<Fl_Choice*>(Child(d, "Noise Type:"))->value(0);
  d->do_callback();
  EXPECT_EQ(noiseType, 1);
}

TEST_F(OptionDialogTest, ReopeningReplacesAndApplyStoresIntoItsOwnSlot) {
  showErodeOptions(0);
  Fl_Window* erode = showErodeOptions(0);
  EXPECT_EQ(ShownWithTitle("Erode Options"), 1);
  Fl_Window* dilate = showDilateOptions(1);
  Slider(erode, "Times")->value(42);
  Child(erode, "Apply")->do_callback();
  EXPECT_EQ(erodeTimes[0], 42);
  EXPECT_EQ(erodeTimes[1], 100);
  EXPECT_TRUE(dilate->shown());
}

TEST_F(ControlWindowTest, OptionsButtonsOpenTheDialogOfTheSelectedEntry) {
  const char* generators[] = {"Plasma Options", "Noise Options", "Morvi Gen Options"};
  for (int i = 2; i >= 0; --i) {
    cw_->generatorChoice->value(i);
    Click(cw_->generatorOptionsButton);
    EXPECT_EQ(ShownWithTitle(generators[i]), 1);
  }
  for (int entry : {0, 3, 4}) {
    cw_->firstFilterChoice->value(entry);
    cw_->secondFilterChoice->value(entry);
    Click(cw_->firstFilterOptionsButton);
    Click(cw_->secondFilterOptionsButton);
  }
  EXPECT_EQ(ShownWithTitle("Erode Options") + ShownWithTitle("Dilate Options"), 0);
  // Each slot's button edits its own slot's repetitions.
  cw_->secondFilterChoice->value(1);
  Click(cw_->secondFilterOptionsButton);
  cw_->firstFilterChoice->value(2);
  Click(cw_->firstFilterOptionsButton);
  std::vector<Fl_Window*> dialogs;  // Apply closes a dialog: collect them first
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w))
    if (Str(w->label()) == "Erode Options" || Str(w->label()) == "Dilate Options")
      dialogs.push_back(w);
  ASSERT_EQ(dialogs.size(), 2u);
  for (Fl_Window* w : dialogs) {
    Slider(w, "Times")->value(7);
    Child(w, "Apply")->do_callback();
  }
  EXPECT_EQ(erodeTimes[1] * 10 + dilateTimes[0], 77);
  EXPECT_EQ(erodeTimes[0] + dilateTimes[1], 200);
}

}  // namespace
