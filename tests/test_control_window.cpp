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
#include <FL/Fl_Tile.H>
#include <FL/Fl_Value_Output.H>
#include <FL/Fl_Value_Slider.H>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <typeinfo>
#include <vector>

#include "plugin/plugin_state.h"
#include "ui/option_dialogs.h"
#include "ui/tool_icons.h"

namespace {

std::string Str(const char* s) { return s ? s : ""; }

// Every widget below the window, depth first, in creation order.
void Flatten(Fl_Group* g, std::vector<Fl_Widget*>& out) {
  for (int i = 0; i < g->children(); ++i) {
    out.push_back(g->child(i));
    if (Fl_Group* sub = g->child(i)->as_group()) Flatten(sub, out);
  }
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
  cimg_forXY(m, x, y) m(x, y) = static_cast<unsigned char>((x * 7 + y * 13 + x * y) & 0xFF);
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
    delete cw_;
    heightmap = saved_;
    Fl::wait(0);  // lets closed dialogs be freed
  }
  Fl_Widget* ByTooltip(const char* tip) {
    for (Fl_Widget* w : widgets_)
      if (Str(w->tooltip()) == tip) return w;
    ADD_FAILURE() << "no widget with tooltip " << tip;
    return cw_->window;
  }
  ControlWindow* cw_ = nullptr;
  std::vector<Fl_Widget*> widgets_;
  Heightmap saved_;
};

struct Row {
  const std::type_info& type;
  int x, y, w, h;
  const char* label;
  const char* tooltip;
};

TEST_F(ControlWindowTest, WidgetTreeFollowsTheLayoutInCreationOrder) {
  const Row rows[] = {
      {typeid(Fl_Tabs), 5, 25, 410, 290, "", ""},
      {typeid(Fl_Group), 5, 50, 410, 265, "Rendering Options", ""},
      {typeid(Fl_Choice), 190, 75, 120, 25, "Rendering Mode:", "Select Rendering Mode"},
      {typeid(Fl_Button), 170, 240, 95, 25, "Reset View", "Reset the Current 3D View"},
      {typeid(Fl_Tile), 95, 145, 230, 55, "Color Shading Settings", ""},
      {typeid(Fl_Button), 123, 150, 40, 40, "Min", "Set Color for Minimum Height Value"},
      {typeid(Fl_Button), 188, 150, 40, 40, "Mid", "Set Color for Mean Height Value"},
      {typeid(Fl_Button), 253, 150, 40, 40, "Max", "Set Color for Maximum Height Value"},
      {typeid(Fl_Group), 5, 50, 410, 265, "HeigthMap Options", ""},
      {typeid(Fl_Choice), 160, 75, 125, 25, "Map Dimensions:", "Set Heightmap Dimensions"},
      {typeid(Fl_Button), 30, 260, 110, 25, "Generate Map",
       "Generate Map with these Settings and Apply Filters"},
      {typeid(Fl_Choice), 160, 115, 125, 25, "Generator:", "Set Generator Type"},
      {typeid(Fl_Choice), 160, 155, 125, 25, "1th Filter:", "Select First Filter to Apply"},
      {typeid(Fl_Choice), 160, 195, 125, 25, "2nd Filter:", "Select Second Filter to Apply"},
      {typeid(Fl_Button), 157, 260, 110, 25, "Apply Filters", "Apply Filter Sequence Only"},
      {typeid(Fl_Button), 295, 115, 75, 25, "Options...", "Set Options for the Selected Generator"},
      {typeid(Fl_Button), 295, 155, 75, 25, "Options...", "Set Options for the Selected Filter"},
      {typeid(Fl_Button), 295, 195, 75, 25, "Options...", "Set Options for the Selected Filter"},
      {typeid(Fl_Button), 285, 260, 110, 25, "Change Size", "Change HeightMap Size so to Change Detail"},
      {typeid(Fl_Group), 5, 50, 410, 265, "Land Options", ""},
      {typeid(Fl_Choice), 170, 75, 115, 25, "Maximun wideness:", "Set Landscape Maximum Wideness in Quarn"},
      {typeid(Fl_Choice), 170, 125, 115, 25, "Maximum Height:", "Set Landscape Maximum Height in Quarn"},
      {typeid(Fl_Button), 155, 190, 115, 25, "Pass to Quarn", "Pass this Landscape to Quarn"},
      {typeid(Fl_Button), 155, 227, 115, 25, "Export to QMF", "Export to a QMF File"},
      {typeid(Fl_Button), 155, 265, 115, 25, "Close Plugin", "Terminate Plugin"},
      {typeid(Fl_Group), 5, 50, 410, 265, "Paint", ""},
      {typeid(Fl_Button), 40, 275, 95, 25, "Load Image", "Load an Image"},
      {typeid(Fl_Button), 165, 275, 95, 25, "Save Image", "Save an Image"},
      {typeid(Fl_Button), 290, 275, 95, 25, "Clear All", "Clear Current Image to Maximum Height Value"},
      {typeid(Fl_Tile), 55, 75, 315, 85, "Drawing Tools", ""},
      {typeid(Fl_Light_Button), 65, 85, 45, 30, "", "Fix Draw"},
      {typeid(Fl_Light_Button), 115, 85, 45, 30, "", "Paint Plain Brush"},
      {typeid(Fl_Light_Button), 165, 85, 45, 30, "", "Create Mountain"},
      {typeid(Fl_Light_Button), 215, 85, 45, 30, "", "Create Depression"},
      {typeid(Fl_Light_Button), 265, 85, 45, 30, "", "Noise Zone"},
      {typeid(Fl_Light_Button), 315, 85, 45, 30, "", "Blur Zone"},
      {typeid(Fl_Button), 65, 120, 45, 30, "", "Rotate Right"},
      {typeid(Fl_Button), 115, 120, 45, 30, "", "Rotate Left"},
      {typeid(Fl_Button), 265, 120, 45, 30, "", "Enlarge"},
      {typeid(Fl_Button), 315, 120, 45, 30, "", "Reduce"},
      {typeid(Fl_Button), 215, 120, 45, 30, "", "Flip Horizontal"},
      {typeid(Fl_Button), 165, 120, 45, 30, "", "Flip Vertical"},
      {typeid(Fl_Tile), 60, 170, 315, 100, "Options", ""},
      {typeid(Fl_Value_Slider), 210, 180, 145, 20, "Brush Size in Pixels:",
       "Brush Size in Pixels, this Setting Affects Drawing Tools"},
      {typeid(Fl_Value_Slider), 210, 210, 145, 20, "Maximum Height:", "This Setting Affects Drawing Tools"},
      {typeid(Fl_Value_Output), 150, 240, 35, 20, "Min Height:", "Show Brush Actual Area Minimum Pixel Value"},
      {typeid(Fl_Value_Output), 240, 240, 35, 20, "Mean:", "Show Brush Actual Area Mean Pixel Value"},
      {typeid(Fl_Value_Output), 320, 240, 35, 20, "Max:", "Show Brush Actual Area Maximum Pixel Value"},
  };
  EXPECT_EQ(Str(cw_->window->label()), "Relievo Plugin Menu");
  EXPECT_EQ(cw_->window->w(), 416);
  EXPECT_EQ(cw_->window->h(), 315);
  ASSERT_EQ(widgets_.size(), sizeof(rows) / sizeof(rows[0]));
  for (std::size_t i = 0; i < widgets_.size(); ++i) {
    Fl_Widget* w = widgets_[i];
    const Row& r = rows[i];
    SCOPED_TRACE("widget " + std::to_string(i) + " " + Str(r.label) + Str(r.tooltip));
    EXPECT_TRUE(typeid(*w) == r.type) << typeid(*w).name();
    EXPECT_EQ(w->x(), r.x);
    EXPECT_EQ(w->y(), r.y);
    EXPECT_EQ(w->w(), r.w);
    EXPECT_EQ(w->h(), r.h);
    EXPECT_EQ(Str(w->label()), r.label);
    EXPECT_EQ(Str(w->tooltip()), r.tooltip);
    if (Fl_Choice* c = dynamic_cast<Fl_Choice*>(w)) {
      EXPECT_EQ(c->down_box(), FL_BORDER_BOX);
    }
    if (Str(r.label).empty() && !w->as_group()) {
      EXPECT_EQ(w->box(), FL_ROUND_UP_BOX);
      EXPECT_NE(w->image(), nullptr);
    }
  }
  EXPECT_EQ(cw_->fixDrawButton, widgets_[30]);
  EXPECT_EQ(cw_->brushMaxOutput, widgets_[47]);
  EXPECT_EQ(widgets_[0]->align(), 17);
  EXPECT_EQ(cw_->window->resizable(), widgets_[0]);
  EXPECT_EQ(static_cast<Fl_Group*>(widgets_[0])->resizable(), widgets_[25]);
  EXPECT_EQ(cw_->midColorButton->color(), 19u);
  EXPECT_EQ(cw_->minColorButton->labeltype(), FL_EMBOSSED_LABEL);
}

TEST_F(ControlWindowTest, ChoicesSlidersAndReadoutsAreSetUp) {
  auto entries = [](Fl_Choice* c) {
    std::string s;
    for (int i = 0; i < c->size() - 1; ++i) s += Str(c->menu()[i].label()) + "|";
    return s;
  };
  EXPECT_EQ(entries(cw_->renderingModeChoice), "Color Shaded|Wireframe|");
  EXPECT_EQ(entries(cw_->mapDimensionsChoice), "249x249 px|125x125 px|63x63 px|32x32 px|16x16 px|");
  EXPECT_EQ(entries(cw_->generatorChoice), "Plasma|Noise|Morvi Gen|");
  EXPECT_EQ(entries(cw_->firstFilterChoice), "Blur|Erosion|Dilate|Negative|No Filter|");
  EXPECT_EQ(entries(cw_->secondFilterChoice), entries(cw_->firstFilterChoice));
  EXPECT_NE(cw_->firstFilterChoice->menu(), cw_->secondFilterChoice->menu());
  EXPECT_EQ(entries(cw_->maxWidenessChoice), "256 units|512 units|1024 units|2048 units|4096 units|");
  EXPECT_EQ(entries(cw_->maxHeightChoice), "255 units|510 units|765 units|1020 units|");
  EXPECT_EQ(cw_->maxWidenessChoice->when(), FL_WHEN_CHANGED);
  EXPECT_EQ(cw_->maxHeightChoice->when(), FL_WHEN_CHANGED);
  EXPECT_EQ(cw_->renderingModeChoice->when(), FL_WHEN_RELEASE);

  struct { Fl_Valuator* v; double min, max, step; } ranges[] = {
      {cw_->brushSizeSlider, 1, 20, 1}, {cw_->brushHeightSlider, 0, 255, 1},
      {cw_->brushMinOutput, 0, 255, 1}, {cw_->brushMeanOutput, 0, 255, 1},
      {cw_->brushMaxOutput, 0, 255, 1}};
  for (auto& r : ranges) {
    EXPECT_EQ(r.v->minimum(), r.min) << r.v->label();
    EXPECT_EQ(r.v->maximum(), r.max) << r.v->label();
    EXPECT_EQ(r.v->step(), r.step) << r.v->label();
  }
  EXPECT_EQ(cw_->brushSizeSlider->type(), FL_HOR_SLIDER);
  EXPECT_EQ(cw_->brushHeightSlider->align(), FL_ALIGN_LEFT);
}

TEST_F(ControlWindowTest, OpensOnPaintWithRunDefaultsAndTheSizeOfTheMap) {
  Fl_Tabs* tabs = static_cast<Fl_Tabs*>(widgets_[0]);
  EXPECT_EQ(Str(tabs->value()->label()), "Paint");
  EXPECT_TRUE(cw_->window->shown());
  EXPECT_EQ(cw_->fixDrawButton->value(), 1);
  EXPECT_EQ(cw_->brushSizeSlider->value(), 3);
  EXPECT_EQ(cw_->brushHeightSlider->value(), 10);
  EXPECT_EQ(cw_->maxWidenessChoice->value(), 2);
  EXPECT_EQ(cw_->maxHeightChoice->value(), 0);
  EXPECT_EQ(cw_->firstFilterChoice->value(), 0);
  EXPECT_EQ(cw_->secondFilterChoice->value(), 4);

  // A map left at another side by an earlier run selects that side.
  heightmap.assign(63, 63, 1, 1, 0);
  ControlWindow second;
  second.show();
  EXPECT_EQ(mapSize, 63);
  EXPECT_EQ(second.mapDimensionsChoice->value(), 2);
  second.hide();
  EXPECT_FALSE(second.window->shown());
}

TEST_F(ControlWindowTest, ToolButtonsFormOneRadioGroupTransformsLeaveIt) {
  const char* tools[] = {"Fix Draw",   "Create Mountain", "Create Depression",
                         "Noise Zone", "Blur Zone",       "Paint Plain Brush"};
  for (int tool = 5; tool >= 0; --tool) {
    Fl_Button* b = static_cast<Fl_Button*>(ByTooltip(tools[tool]));
    Click(b);
    EXPECT_EQ(currentTool, tool) << tools[tool];
    int lit = 0;
    for (Fl_Widget* w : widgets_)
      if (w->type() == FL_RADIO_BUTTON) lit += static_cast<Fl_Button*>(w)->value();
    EXPECT_EQ(lit, 1);
    EXPECT_EQ(b->value(), 1);
  }
  Click(ByTooltip("Rotate Right"));
  Click(ByTooltip("Rotate Left"));
  EXPECT_EQ(cw_->fixDrawButton->value(), 1);
  EXPECT_EQ(currentTool, kFixDraw);
}

TEST_F(ControlWindowTest, SettingCommandsWriteTheirFields) {
  cw_->renderingModeChoice->value(1);
  cw_->renderingModeChoice->do_callback();
  EXPECT_EQ(renderMode, 1);
  cw_->renderingModeChoice->value(0);
  cw_->renderingModeChoice->do_callback();
  EXPECT_EQ(renderMode, 0);

  yaw = 33;
  camX = 1, camY = 2, camZ = 3;
  Click(cw_->resetViewButton);
  EXPECT_FLOAT_EQ(camX, 0.0f);
  EXPECT_FLOAT_EQ(camY, -0.8f);
  EXPECT_FLOAT_EQ(camZ, -2.7f);
  EXPECT_EQ(yaw, 33);

  const Heightmap before = heightmap;
  const int widths[] = {256, 512, 1024, 2048, 4096};
  for (int i = 4; i >= 0; --i) {
    cw_->maxWidenessChoice->picked(cw_->maxWidenessChoice->menu() + i);
    EXPECT_EQ(maxWideness, widths[i]);
  }
  const int heights[] = {255, 510, 765, 1020};
  for (int i = 3; i >= 0; --i) {
    cw_->maxHeightChoice->picked(cw_->maxHeightChoice->menu() + i);
    EXPECT_EQ(maxHeight, heights[i]);
  }
  // Picking the entry already shown does not call the command.
  maxHeight = 1;
  cw_->maxHeightChoice->picked(cw_->maxHeightChoice->menu());
  EXPECT_EQ(maxHeight, 1);
  EXPECT_EQ(heightmap, before);

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

TEST_F(ControlWindowTest, ClearAllFillsWithTheWrappedBrushHeight) {
  heightmap = Numbered(63, 63);
  const double heights[] = {0, 255, 10.9, 300};
  const int fills[] = {0, 255, 10, 44};
  for (int i = 0; i < 4; ++i) {
    brushHeight = heights[i];
    Click(ByTooltip("Clear Current Image to Maximum Height Value"));
    EXPECT_EQ(heightmap.width(), 63);
    EXPECT_EQ(heightmap.min(), fills[i]);
    EXPECT_EQ(heightmap.max(), fills[i]);
  }
}

TEST_F(ControlWindowTest, RotationsAndFlipsPermuteSamplesExactly) {
  heightmap = Numbered(3, 3);
  const Heightmap source = heightmap;
  cw_->RotateRight(nullptr, nullptr);
  EXPECT_EQ(heightmap(2, 0), source(0, 0));  // top left ends top right
  cimg_forXY(heightmap, x, y) EXPECT_EQ(heightmap(x, y), source(y, 2 - x));
  heightmap = source;
  cw_->RotateLeft(nullptr, nullptr);
  EXPECT_EQ(heightmap(0, 2), source(0, 0));  // top left ends bottom left

  heightmap = Numbered(249, 249);
  const Heightmap big = heightmap;
  for (int i = 0; i < 4; ++i) cw_->RotateRight(nullptr, nullptr);
  EXPECT_EQ(heightmap, big);
  cw_->RotateRight(nullptr, nullptr);
  EXPECT_NE(heightmap, big);
  cw_->RotateLeft(nullptr, nullptr);
  EXPECT_EQ(heightmap, big);

  heightmap = Numbered(5, 5);
  const Heightmap odd = heightmap;
  Click(ByTooltip("Flip Horizontal"));
  cimg_forXY(heightmap, x, y) EXPECT_EQ(heightmap(x, y), odd(4 - x, y));
  Click(ByTooltip("Flip Vertical"));
  cimg_forXY(heightmap, x, y) EXPECT_EQ(heightmap(x, y), odd(4 - x, 4 - y));
  EXPECT_EQ(heightmap(2, 2), odd(2, 2));
}

TEST_F(ControlWindowTest, EnlargeAndReduceResizeTheEditorWithinTheScreen) {
  heightmap = Numbered(63, 63);
  cimg_library::CImgDisplay display(heightmap, "Heightmap", 1, false, false);
  editorDisplay = &display;
  Fl_Widget* enlarge = ByTooltip("Enlarge");
  Fl_Widget* reduce = ByTooltip("Reduce");
  Click(reduce);
  EXPECT_EQ(displayZoom, 1);
  EXPECT_EQ(display.width(), 63);
  Click(enlarge);
  EXPECT_EQ(displayZoom, 2);
  EXPECT_EQ(display.width(), 126);
  EXPECT_EQ(display.height(), 126);
  for (int i = 0; i < 12; ++i) Click(enlarge);
  EXPECT_LE(displayZoom * 63, Fl::w());
  EXPECT_LE(displayZoom * 63, Fl::h());
  EXPECT_GT(displayZoom * 2 * 63, std::min(Fl::w(), Fl::h()));
  EXPECT_EQ(display.width(), displayZoom * 63);
  const int top = displayZoom;
  Click(reduce);
  EXPECT_EQ(displayZoom, top / 2);
  EXPECT_EQ(display.height(), top / 2 * 63);
  EXPECT_EQ(heightmap, Numbered(63, 63));
  editorDisplay = nullptr;
}

// Answers the colour chooser once it is open: OK with the given colour, or Cancel.
struct ChooserScript {
  std::string title;
  bool ok;
  double r, g, b;
  std::string seenTitle;
};

void AnswerChooser(void* data) {
  ChooserScript* s = static_cast<ChooserScript*>(data);
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
    if (!w->modal()) continue;
    s->seenTitle = Str(w->label());
    for (int i = 0; i < w->children(); ++i) {
      Fl_Widget* c = w->child(i);
      if (auto* chooser = dynamic_cast<Fl_Color_Chooser*>(c)) chooser->rgb(s->r, s->g, s->b);
    }
    for (int i = 0; i < w->children(); ++i) {
      Fl_Widget* c = w->child(i);
      const bool isOk = dynamic_cast<Fl_Return_Button*>(c) != nullptr;
      if (dynamic_cast<Fl_Button*>(c) && isOk == s->ok) {
        c->do_callback();
        return;
      }
    }
  }
  Fl::repeat_timeout(0.05, AnswerChooser, data);
}

TEST_F(ControlWindowTest, ColourDialogsSetRampAndButtonCancelKeepsThem) {
  struct Case {
    Fl_Button* button;
    Rgb* field;
    const char* title;
  } cases[] = {{cw_->minColorButton, &minColor, "Select Minimum Color"},
               {cw_->midColorButton, &meanColor, "Select Middle Color"},
               {cw_->maxColorButton, &maxColor, "Select Maximum Color"}};
  for (const Case& c : cases) {
    ChooserScript ok{c.title, true, 1.0, 0.0, 0.2, ""};
    Fl::add_timeout(0.05, AnswerChooser, &ok);
    c.button->do_callback();
    EXPECT_EQ(ok.seenTitle, c.title);
    EXPECT_EQ(c.field->r, 255);
    EXPECT_EQ(c.field->g, 0);
    EXPECT_EQ(c.field->b, 51);
    EXPECT_EQ(c.button->color(), fl_rgb_color(255, 0, 51));

    ChooserScript cancel{c.title, false, 0.0, 1.0, 0.0, ""};
    Fl::add_timeout(0.05, AnswerChooser, &cancel);
    c.button->do_callback();
    EXPECT_EQ(c.field->g, 0);
    EXPECT_EQ(c.button->color(), fl_rgb_color(255, 0, 51));
  }
}

// --- option dialogs -----------------------------------------------------------

Fl_Valuator* Slider(Fl_Window* w, const char* label) {
  for (int i = 0; i < w->children(); ++i)
    if (Str(w->child(i)->label()) == label) return dynamic_cast<Fl_Valuator*>(w->child(i));
  ADD_FAILURE() << "no slider " << label;
  return nullptr;
}

Fl_Widget* ApplyButton(Fl_Window* w) {
  for (int i = 0; i < w->children(); ++i)
    if (Str(w->child(i)->label()) == "Apply") return w->child(i);
  return w;
}

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
  }
};

TEST_F(OptionDialogTest, OpenWithDefaultsLayoutAndRanges) {
  using Open = Fl_Double_Window* (*)();
  const Open erode1 = [] { return showErodeOptions(1); };
  const Open dilate0 = [] { return showDilateOptions(0); };
  struct {
    Open open;
    const char* title;
    int w, h;
    const char* slider;
    double value, min, max, step;
  } rows[] = {
      {showPlasmaOptions, "Plasma Options", 199, 237, "Alpha", 1, 0, 4, 0},
      {showPlasmaOptions, "Plasma Options", 199, 237, "Beta", 1, 0, 4, 0},
      {showPlasmaOptions, "Plasma Options", 199, 237, "Noise", 100, 1, 1000, 1},
      {showNoiseOptions, "Noise Options", 199, 183, "Sigma", 100, 1, 2000, 1},
      {erode1, "Erode Options", 199, 131, "Times", 100, 1, 1000, 1},
      {dilate0, "Dilate Options", 199, 131, "Times", 100, 1, 1000, 1},
      {showMorviGenOptions, "Morvi Gen Options", 211, 230, "Noise", 100, 1, 1000, 1},
      {showMorviGenOptions, "Morvi Gen Options", 211, 230, "Alpha", 3, 1, 10, 1},
      {showMorviGenOptions, "Morvi Gen Options", 211, 230, "Beta", 6.765, 1, 10, 0.005},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.title) + " " + r.slider);
    Fl_Window* d = r.open();
    EXPECT_EQ(Str(d->label()), r.title);
    EXPECT_EQ(d->w(), r.w);
    EXPECT_EQ(d->h(), r.h);
    EXPECT_EQ(d->resizable(), d);
    EXPECT_EQ(ShownWithTitle(r.title), 1);
    Fl_Valuator* v = Slider(d, r.slider);
    ASSERT_NE(v, nullptr);
    EXPECT_DOUBLE_EQ(v->value(), r.value);
    EXPECT_EQ(v->minimum(), r.min);
    EXPECT_EQ(v->maximum(), r.max);
    EXPECT_DOUBLE_EQ(v->step(), r.step);
    EXPECT_EQ(v->align(), FL_ALIGN_TOP);
    EXPECT_EQ(Str(ApplyButton(d)->tooltip()), "Apply these Settings");
  }
  EXPECT_EQ(filterOptionsSlot, 0);
  // Creation order differs from screen order in two dialogs.
  EXPECT_EQ(Str(showPlasmaOptions()->child(2)->label()), "Apply");
  EXPECT_EQ(Str(showMorviGenOptions()->child(1)->label()), "Beta");
  Fl_Choice* type = dynamic_cast<Fl_Choice*>(showNoiseOptions()->child(2));
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(Str(type->label()), "Noise Type:");
  EXPECT_EQ(type->down_box(), FL_BORDER_BOX);
  EXPECT_EQ(Str(type->text(0)) + Str(type->text(1)) + Str(type->text(2)),
            "GaussianUniformSalt+Pepper");
  EXPECT_EQ(type->value(), 0);
}

TEST_F(OptionDialogTest, ApplyStoresPerSlotAndCloseBoxStoresNothing) {
  Fl_Window* erode = showErodeOptions(0);
  Slider(erode, "Times")->value(5.7);
  ApplyButton(erode)->do_callback();
  EXPECT_FALSE(erode->shown());
  EXPECT_EQ(erodeTimes[0], 5);
  EXPECT_EQ(erodeTimes[1], 100);
  EXPECT_EQ(Slider(showErodeOptions(1), "Times")->value(), 100);
  EXPECT_EQ(Slider(showErodeOptions(0), "Times")->value(), 5);

  Fl_Window* dilate = showDilateOptions(1);
  Slider(dilate, "Times")->value(1000);
  ApplyButton(dilate)->do_callback();
  EXPECT_EQ(dilateTimes[1], 1000);
  EXPECT_EQ(dilateTimes[0], 100);

  Fl_Window* plasma = showPlasmaOptions();
  Slider(plasma, "Alpha")->value(2.5);
  plasma->do_callback();  // the title bar's close box
  EXPECT_FALSE(plasma->shown());
  EXPECT_EQ(plasmaAlpha, 1.0);
  plasma = showPlasmaOptions();
  EXPECT_EQ(Slider(plasma, "Alpha")->value(), 1.0);
  Slider(plasma, "Alpha")->value(2.5);
  Slider(plasma, "Noise")->value(7);
  ApplyButton(plasma)->do_callback();
  EXPECT_EQ(plasmaAlpha, 2.5);
  EXPECT_EQ(plasmaNoise, 7);

  Fl_Window* noise = showNoiseOptions();
  Fl::e_keysym = FL_Escape;
  Slider(noise, "Sigma")->value(1500);
  Fl::handle(FL_SHORTCUT, noise);
  EXPECT_FALSE(noise->shown());
  EXPECT_EQ(noiseSigma, 100);
  noise = showNoiseOptions();
  static_cast<Fl_Choice*>(noise->child(2))->value(2);
  Slider(noise, "Sigma")->value(1500);
  ApplyButton(noise)->do_callback();
  EXPECT_EQ(noiseType, 2);
  EXPECT_EQ(noiseSigma, 1500);

  Fl_Window* morvi = showMorviGenOptions();
  Slider(morvi, "Beta")->value(1.005);
  ApplyButton(morvi)->do_callback();
  EXPECT_DOUBLE_EQ(morviBeta, 1.005);
  EXPECT_EQ(morviAlpha, 3);
}

TEST_F(OptionDialogTest, ReopeningReplacesAndApplyStoresIntoItsOwnSlot) {
  showErodeOptions(0);
  Fl_Window* erode = showErodeOptions(0);
  EXPECT_EQ(ShownWithTitle("Erode Options"), 1);
  // The dilate dialog for the other slot opens meanwhile; the erode dialog's
  // Apply still belongs to the first slot it was opened for.
  Fl_Window* dilate = showDilateOptions(1);
  EXPECT_EQ(filterOptionsSlot, 1);
  Slider(erode, "Times")->value(42);
  ApplyButton(erode)->do_callback();
  EXPECT_EQ(erodeTimes[0], 42);
  EXPECT_EQ(erodeTimes[1], 100);
  EXPECT_TRUE(dilate->shown());
}

TEST_F(ControlWindowTest, OptionsButtonsOpenTheDialogOfTheSelectedEntry) {
  const char* generators[] = {"Plasma Options", "Noise Options", "Morvi Gen Options"};
  for (int i = 0; i < 3; ++i) {
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
  cw_->secondFilterChoice->value(1);
  Click(cw_->secondFilterOptionsButton);
  EXPECT_EQ(filterOptionsSlot, 1);
  cw_->firstFilterChoice->value(2);
  Click(cw_->firstFilterOptionsButton);
  EXPECT_EQ(filterOptionsSlot, 0);
  EXPECT_EQ(ShownWithTitle("Erode Options") + ShownWithTitle("Dilate Options"), 2);
  for (Fl_Window* w = Fl::first_window(); w;) {
    Fl_Window* next = Fl::next_window(w);
    if (w != cw_->window) w->do_callback();
    w = next;
  }
}

// --- icons --------------------------------------------------------------------

TEST(ToolIcons, CompactColourMapsOfTheRightSizesWithEveryColourUsed) {
  const int sizes[] = {24, 24, 24, 24, 22, 22, 16, 16, 24, 24, 22, 22};
  const int colours[] = {176, 50, 31, 30, 161, 63, 108, 108, 100, 30, 172, 172};
  for (int i = 0; i < kToolIconCount; ++i) {
    SCOPED_TRACE("icon " + std::to_string(i + 1));
    const char* const* xpm = ToolIconXpm(static_cast<ToolIcon>(i));
    int w = 0, h = 0, n = 0, cpp = 0;
    ASSERT_EQ(std::sscanf(xpm[0], "%d %d %d %d", &w, &h, &n, &cpp), 4);
    EXPECT_EQ(w, sizes[i]);
    EXPECT_EQ(h, sizes[i]);
    EXPECT_EQ(n, -colours[i]);
    EXPECT_EQ(cpp, 1);
    EXPECT_EQ(xpm[1][0], ' ');  // transparent entry first
    std::set<unsigned char> mapped, used;
    for (int k = 0; k < colours[i]; ++k) mapped.insert(static_cast<unsigned char>(xpm[1][4 * k]));
    EXPECT_EQ(mapped.size(), static_cast<std::size_t>(colours[i]));
    for (int y = 0; y < h; ++y) {
      ASSERT_EQ(std::strlen(xpm[2 + y]), static_cast<std::size_t>(w));
      for (int x = 0; x < w; ++x) used.insert(static_cast<unsigned char>(xpm[2 + y][x]));
    }
    EXPECT_EQ(used, mapped);
    Fl_Pixmap* image = ToolIconImage(static_cast<ToolIcon>(i));
    EXPECT_EQ(image->w(), sizes[i]);
    EXPECT_EQ(image->h(), sizes[i]);
  }
}

}  // namespace
