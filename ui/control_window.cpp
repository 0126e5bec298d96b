// The control window's widget tree, its start-up and the commands behind the
// settings, request, tool and transform widgets.
#include "ui/control_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Color_Chooser.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Tile.H>
#include <FL/Fl_Value_Output.H>
#include <FL/Fl_Value_Slider.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <climits>
#include <utility>

#include "plugin/plugin_state.h"
#include "plugin/terrain_history.h"
#include "plugin/views.h"
#include "terrain/heightmap_ops.h"
#include "ui/close_question.h"
#include "ui/file_drop.h"
#include "ui/fit_text.h"
#include "ui/option_dialogs.h"
#include "ui/tool_icons.h"

namespace {

// Menus are static arrays: a choice only points at them, never copies them.
// Every entry is a plain item in the toolkit's default look.
constexpr Fl_Menu_Item Item(const char* label) {
  return {label, 0, nullptr, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 14, FL_FOREGROUND_COLOR};
}
constexpr Fl_Menu_Item kEnd = {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0};

Fl_Menu_Item renderingModeMenu[] = {Item("Color Shaded"), Item("Wireframe"), kEnd};
Fl_Menu_Item mapDimensionsMenu[] = {Item("249x249 px"), Item("125x125 px"), Item("63x63 px"),
                                    Item("32x32 px"),   Item("16x16 px"),   kEnd};
Fl_Menu_Item generatorMenu[] = {Item("Plasma"), Item("Noise"), Item("Morvi Gen"), kEnd};
// The two filter choices each get their own array, so a selection in one can
// never show up in the other.
Fl_Menu_Item firstFilterMenu[] = {Item("Blur"),     Item("Erosion"),   Item("Dilate"),
                                  Item("Negative"), Item("No Filter"), kEnd};
Fl_Menu_Item secondFilterMenu[] = {Item("Blur"),     Item("Erosion"),   Item("Dilate"),
                                   Item("Negative"), Item("No Filter"), kEnd};
Fl_Menu_Item widenessMenu[] = {Item("256 units"),  Item("512 units"),  Item("1024 units"),
                               Item("2048 units"), Item("4096 units"), kEnd};
Fl_Menu_Item heightMenu[] = {Item("255 units"), Item("510 units"), Item("765 units"),
                             Item("1020 units"), kEnd};

const int kWidenessUnits[] = {256, 512, 1024, 2048, 4096};
const int kHeightUnits[] = {255, 510, 765, 1020};

// Every callback finds its ControlWindow through the top-level window's user
// data, so the widgets need no pointer of their own.
ControlWindow* Owner(Fl_Widget* w) {
  while (w->parent()) w = w->parent();
  return static_cast<ControlWindow*>(w->user_data());
}

void RenderingModeCallback(Fl_Widget* w, void* d) { Owner(w)->RenderingMode(w, d); }
void ResetViewCallback(Fl_Widget* w, void* d) { Owner(w)->ResetView(w, d); }
void MinColorCallback(Fl_Widget* w, void* d) { Owner(w)->MinimumColor(w, d); }
void MidColorCallback(Fl_Widget* w, void* d) { Owner(w)->MiddleColor(w, d); }
void MaxColorCallback(Fl_Widget* w, void* d) { Owner(w)->MaximumColor(w, d); }
void GenerateMapCallback(Fl_Widget* w, void* d) { Owner(w)->GenerateMap(w, d); }
void ApplyFiltersCallback(Fl_Widget* w, void* d) { Owner(w)->ApplyFilters(w, d); }
void GeneratorOptionsCallback(Fl_Widget* w, void* d) { Owner(w)->GeneratorOptions(w, d); }
void FirstFilterOptionsCallback(Fl_Widget* w, void* d) { Owner(w)->FirstFilterOptions(w, d); }
void SecondFilterOptionsCallback(Fl_Widget* w, void* d) { Owner(w)->SecondFilterOptions(w, d); }
void ChangeSizeCallback(Fl_Widget* w, void* d) { Owner(w)->ChangeSize(w, d); }
void MaxWidenessCallback(Fl_Widget* w, void* d) { Owner(w)->MaximumWideness(w, d); }
void MaxHeightCallback(Fl_Widget* w, void* d) { Owner(w)->MaximumHeight(w, d); }
void PassCallback(Fl_Widget* w, void* d) { Owner(w)->PassRequest(w, d); }
void ExportCallback(Fl_Widget* w, void* d) { Owner(w)->ExportRequest(w, d); }
void CloseCallback(Fl_Widget* w, void* d) { Owner(w)->CloseRequest(w, d); }
void LoadImageCallback(Fl_Widget* w, void* d) { Owner(w)->LoadImage(w, d); }
void SaveImageCallback(Fl_Widget* w, void* d) { Owner(w)->SaveImage(w, d); }
void ClearAllCallback(Fl_Widget* w, void* d) { Owner(w)->ClearAll(w, d); }
void FixDrawCallback(Fl_Widget* w, void*) { Owner(w)->SelectTool(kFixDraw); }
void PaintPlainCallback(Fl_Widget* w, void*) { Owner(w)->SelectTool(kPaintPlainBrush); }
void MountainCallback(Fl_Widget* w, void*) { Owner(w)->SelectTool(kCreateMountain); }
void DepressionCallback(Fl_Widget* w, void*) { Owner(w)->SelectTool(kCreateDepression); }
void NoiseZoneCallback(Fl_Widget* w, void*) { Owner(w)->SelectTool(kNoiseZone); }
void BlurZoneCallback(Fl_Widget* w, void*) { Owner(w)->SelectTool(kBlurZone); }
void RotateRightCallback(Fl_Widget* w, void* d) { Owner(w)->RotateRight(w, d); }
void RotateLeftCallback(Fl_Widget* w, void* d) { Owner(w)->RotateLeft(w, d); }
void EnlargeCallback(Fl_Widget* w, void* d) { Owner(w)->Enlarge(w, d); }
void ReduceCallback(Fl_Widget* w, void* d) { Owner(w)->Reduce(w, d); }
void FlipHorizontalCallback(Fl_Widget* w, void* d) { Owner(w)->FlipHorizontal(w, d); }
void FlipVerticalCallback(Fl_Widget* w, void* d) { Owner(w)->FlipVertical(w, d); }
void BrushSizeCallback(Fl_Widget* w, void* d) { Owner(w)->BrushSize(w, d); }
void BrushHeightCallback(Fl_Widget* w, void* d) { Owner(w)->BrushHeight(w, d); }

Fl_Choice* MakeChoice(int x, int y, int w, int h, const char* label, const char* tip,
                      Fl_Menu_Item* menu, Fl_Callback* cb) {
  Fl_Choice* c = new Fl_Choice(x, y, w, h, label);
  c->tooltip(tip);
  c->down_box(FL_BORDER_BOX);
  c->menu(menu);
  FitChoiceEntries(c);
  if (cb) c->callback(cb);
  return c;
}

Fl_Button* MakeButton(int x, int y, int w, int h, const char* label, const char* tip,
                      Fl_Callback* cb) {
  Fl_Button* b = new Fl_Button(x, y, w, h, label);
  b->tooltip(tip);
  b->callback(cb);
  return b;
}

// A colour button's label stays readable on whatever colour it shows.
void PaintColorButton(Fl_Button* b, Fl_Color color) {
  b->color(color);
  b->labelcolor(fl_contrast(FL_FOREGROUND_COLOR, color));
}

Fl_Button* MakeColorButton(int x, const char* label, const char* tip, Fl_Color color,
                           Fl_Callback* cb) {
  Fl_Button* b = MakeButton(x, 150, 40, 40, label, tip, cb);
  PaintColorButton(b, color);
  b->labeltype(FL_EMBOSSED_LABEL);
  return b;
}

// An image file dropped anywhere on the window loads as with "Load Image".
class DropTargetWindow : public Fl_Double_Window {
 public:
  DropTargetWindow(int w, int h, const char* label) : Fl_Double_Window(w, h, label) {}
  int handle(int event) override {
    const int used = HandleFileDrop(this, event);
    return used ? used : Fl_Double_Window::handle(event);
  }
};

// The boxes keep their tile, but their borders cannot be dragged: the buttons
// and sliders inside keep their size.
class FixedTile : public Fl_Tile {
 public:
  FixedTile(int x, int y, int w, int h, const char* label) : Fl_Tile(x, y, w, h, label) {}
  int handle(int event) override { return Fl_Group::handle(event); }
};

// A tool or transform button shows only its icon; the tooltip names it.
Fl_Light_Button* MakeToolButton(int x, const char* tip, ToolIcon icon, Fl_Callback* cb) {
  Fl_Light_Button* b = new Fl_Light_Button(x, 85, 45, 30);
  b->type(FL_RADIO_BUTTON);
  b->box(FL_ROUND_UP_BOX);
  b->tooltip(tip);
  b->image(ToolIconImage(icon));
  b->callback(cb);
  return b;
}

void MakeTransformButton(int x, const char* tip, ToolIcon icon, Fl_Callback* cb) {
  Fl_Button* b = new Fl_Button(x, 120, 45, 30);
  b->box(FL_ROUND_UP_BOX);
  b->tooltip(tip);
  b->image(ToolIconImage(icon));
  b->callback(cb);
}

Fl_Value_Slider* MakeBrushSlider(int y, const char* label, const char* tip, double min, double max,
                                 double value, Fl_Callback* cb) {
  Fl_Value_Slider* s = new Fl_Value_Slider(210, y, 145, 20, label);
  s->tooltip(tip);
  s->type(FL_HOR_SLIDER);
  s->range(min, max);
  s->step(1);
  s->value(value);
  s->align(FL_ALIGN_LEFT);
  s->callback(cb);
  return s;
}

Fl_Value_Output* MakeReadout(int x, const char* label, const char* tip) {
  Fl_Value_Output* o = new Fl_Value_Output(x, 240, 35, 20, label);
  o->tooltip(tip);
  o->range(0, 255);
  o->step(1);
  return o;
}

// Whether the editor window at this magnification still fits on the work area.
bool ZoomFits(int zoom) {
  const long w = static_cast<long>(zoom) * heightmap.width();
  const long h = static_cast<long>(zoom) * heightmap.height();
  return w <= INT_MAX && h <= INT_MAX && EditorFits(static_cast<int>(w), static_cast<int>(h));
}

void ShowZoomedEditor() {
  ResizeEditor(displayZoom * heightmap.width(), displayZoom * heightmap.height());
  RefreshEditor();
}

void RefreshBothViews() {
  RefreshEditor();
  RefreshPreview();
}

// The colour dialog edits the ramp colour in place; cancel leaves it as it was.
void PickColor(const char* title, Rgb& color, Fl_Button* button) {
  fl_color_chooser(title, color.r, color.g, color.b);
  PaintColorButton(button, fl_rgb_color(color.r, color.g, color.b));
  button->redraw();
  RefreshPreview();
}

}  // namespace

ControlWindow::ControlWindow() {
  window = new DropTargetWindow(416, 315, "Relievo Plugin Menu");
  window->user_data(this);
  window->callback(CloseWindowCallback);
  statusBox = new Fl_Box(5, 2, 406, 21);
  statusBox->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  Fl_Tabs* tabs = new Fl_Tabs(5, 25, 410, 290);
  tabs->align(FL_ALIGN_TOP | FL_ALIGN_INSIDE);
  BuildRenderingPage();
  BuildHeightmapPage();
  BuildLandPage();
  Fl_Group* paint = BuildPaintPage();
  tabs->resizable(paint);
  tabs->end();
  FitTabLabels(tabs);
  window->resizable(tabs);
  window->end();
}

ControlWindow::~ControlWindow() { delete window; }

void ControlWindow::BuildRenderingPage() {
  Fl_Group* page = new Fl_Group(5, 50, 410, 265, "Rendering Options");
  page->hide();
  renderingModeChoice = MakeChoice(190, 75, 120, 25, "Rendering Mode:", "Select Rendering Mode",
                                   renderingModeMenu, RenderingModeCallback);
  resetViewButton =
      MakeButton(170, 240, 95, 25, "Reset View", "Reset the Current 3D View", ResetViewCallback);
  Fl_Tile* colors = new FixedTile(95, 145, 230, 55, "Color Shading Settings");
  minColorButton =
      MakeColorButton(123, "Min", "Set Color for Minimum Height Value", 0, MinColorCallback);
  midColorButton =
      MakeColorButton(188, "Mid", "Set Color for Mean Height Value", 19, MidColorCallback);
  maxColorButton =
      MakeColorButton(253, "Max", "Set Color for Maximum Height Value", 7, MaxColorCallback);
  colors->end();
  page->end();
}

void ControlWindow::BuildHeightmapPage() {
  Fl_Group* page = new Fl_Group(5, 50, 410, 265, "HeigthMap Options");
  page->hide();
  mapDimensionsChoice = MakeChoice(160, 75, 125, 25, "Map Dimensions:", "Set Heightmap Dimensions",
                                   mapDimensionsMenu, nullptr);
  generateMapButton =
      MakeButton(30, 260, 110, 25, "Generate Map",
                 "Generate Map with these Settings and Apply Filters", GenerateMapCallback);
  generatorChoice =
      MakeChoice(160, 115, 125, 25, "Generator:", "Set Generator Type", generatorMenu, nullptr);
  firstFilterChoice = MakeChoice(160, 155, 125, 25, "1th Filter:", "Select First Filter to Apply",
                                 firstFilterMenu, nullptr);
  secondFilterChoice = MakeChoice(160, 195, 125, 25, "2nd Filter:", "Select Second Filter to Apply",
                                  secondFilterMenu, nullptr);
  applyFiltersButton = MakeButton(157, 260, 110, 25, "Apply Filters", "Apply Filter Sequence Only",
                                  ApplyFiltersCallback);
  generatorOptionsButton =
      MakeButton(295, 115, 75, 25, "Options...", "Set Options for the Selected Generator",
                 GeneratorOptionsCallback);
  firstFilterOptionsButton =
      MakeButton(295, 155, 75, 25, "Options...", "Set Options for the Selected Filter",
                 FirstFilterOptionsCallback);
  secondFilterOptionsButton =
      MakeButton(295, 195, 75, 25, "Options...", "Set Options for the Selected Filter",
                 SecondFilterOptionsCallback);
  changeSizeButton = MakeButton(285, 260, 110, 25, "Change Size",
                                "Change HeightMap Size so to Change Detail", ChangeSizeCallback);
  page->end();
}

void ControlWindow::BuildLandPage() {
  Fl_Group* page = new Fl_Group(5, 50, 410, 265, "Land Options");
  page->hide();
  maxWidenessChoice =
      MakeChoice(170, 75, 115, 25, "Maximun wideness:", "Set Landscape Maximum Wideness in Quarn",
                 widenessMenu, MaxWidenessCallback);
  maxWidenessChoice->when(FL_WHEN_CHANGED);
  maxHeightChoice =
      MakeChoice(170, 125, 115, 25, "Maximum Height:", "Set Landscape Maximum Height in Quarn",
                 heightMenu, MaxHeightCallback);
  maxHeightChoice->when(FL_WHEN_CHANGED);
  MakeButton(155, 190, 115, 25, "Pass to Quarn", "Pass this Landscape to Quarn", PassCallback);
  MakeButton(155, 227, 115, 25, "Export to QMF", "Export to a QMF File", ExportCallback);
  MakeButton(155, 265, 115, 25, "Close Plugin", "Terminate Plugin", CloseCallback);
  page->end();
}

Fl_Group* ControlWindow::BuildPaintPage() {
  Fl_Group* page = new Fl_Group(5, 50, 410, 265, "Paint");
  MakeButton(40, 275, 95, 25, "Load Image", "Load an Image", LoadImageCallback);
  MakeButton(165, 275, 95, 25, "Save Image", "Save an Image", SaveImageCallback);
  MakeButton(290, 275, 95, 25, "Clear All", "Clear Current Image to Maximum Height Value",
             ClearAllCallback);

  // Tools and transforms share one parent, so the six radio tool buttons form
  // one group while the transform push buttons leave the lit tool alone.
  Fl_Tile* tools = new FixedTile(55, 75, 315, 85, "Drawing Tools");
  fixDrawButton = MakeToolButton(65, "Fix Draw", ToolIcon::kFixDraw, FixDrawCallback);
  MakeToolButton(115, "Paint Plain Brush", ToolIcon::kPaintPlainBrush, PaintPlainCallback);
  MakeToolButton(165, "Create Mountain", ToolIcon::kCreateMountain, MountainCallback);
  MakeToolButton(215, "Create Depression", ToolIcon::kCreateDepression, DepressionCallback);
  MakeToolButton(265, "Noise Zone", ToolIcon::kNoiseZone, NoiseZoneCallback);
  MakeToolButton(315, "Blur Zone", ToolIcon::kBlurZone, BlurZoneCallback);
  MakeTransformButton(65, "Rotate Right", ToolIcon::kRotateRight, RotateRightCallback);
  MakeTransformButton(115, "Rotate Left", ToolIcon::kRotateLeft, RotateLeftCallback);
  MakeTransformButton(265, "Enlarge", ToolIcon::kEnlarge, EnlargeCallback);
  MakeTransformButton(315, "Reduce", ToolIcon::kReduce, ReduceCallback);
  MakeTransformButton(215, "Flip Horizontal", ToolIcon::kFlipHorizontal, FlipHorizontalCallback);
  MakeTransformButton(165, "Flip Vertical", ToolIcon::kFlipVertical, FlipVerticalCallback);
  tools->end();

  Fl_Tile* brush = new FixedTile(60, 170, 315, 100, "Options");
  brushSizeSlider = MakeBrushSlider(
      180, "Brush Size in Pixels:", "Brush Size in Pixels, this Setting Affects Drawing Tools", 1,
      20, 1, BrushSizeCallback);
  brushHeightSlider = MakeBrushSlider(210, "Maximum Height:", "This Setting Affects Drawing Tools",
                                      0, 255, 10, BrushHeightCallback);
  brushMinOutput = MakeReadout(150, "Min Height:", "Show Brush Actual Area Minimum Pixel Value");
  brushMeanOutput = MakeReadout(240, "Mean:", "Show Brush Actual Area Mean Pixel Value");
  brushMaxOutput = MakeReadout(320, "Max:", "Show Brush Actual Area Maximum Pixel Value");
  brush->end();
  page->end();
  return page;
}

void ControlWindow::show() {
  ResetDefaults();
  // The map may keep another side from an earlier run; the size choice and
  // mapSize follow the map so that nothing reads past it.
  SyncMapSizeToHeightmap();
  const int sizeIndex = MapSizeIndex(mapSize);
  if (sizeIndex >= 0) mapDimensionsChoice->value(sizeIndex);
  maxWidenessChoice->value(2);
  maxHeightChoice->value(0);
  secondFilterChoice->value(4);
  // renderMode outlives the run; the new choice shows the mode in use.
  renderingModeChoice->value(renderMode != 0 ? 1 : 0);
  brushSizeSlider->value(brushSize);
  brushHeightSlider->value(brushHeight);
  // setonly, so a repeated show() never leaves two tools lit.
  fixDrawButton->setonly();
  window->show();
}

void ControlWindow::hide() { window->hide(); }

void ControlWindow::RenderingMode(Fl_Widget*, void*) {
  const int v = renderingModeChoice->value();
  if (v == 0 || v == 1) renderMode = v;
  RefreshPreview();
}

void ControlWindow::ResetView(Fl_Widget*, void*) {
  camX = 0.0f;
  camY = -0.8f;
  camZ = -2.7f;
  RefreshPreview();
}

void ControlWindow::MinimumColor(Fl_Widget*, void*) {
  PickColor("Select Minimum Color", minColor, minColorButton);
}

void ControlWindow::MiddleColor(Fl_Widget*, void*) {
  PickColor("Select Middle Color", meanColor, midColorButton);
}

void ControlWindow::MaximumColor(Fl_Widget*, void*) {
  PickColor("Select Maximum Color", maxColor, maxColorButton);
}

void ControlWindow::MaximumHeight(Fl_Widget*, void*) {
  const int v = maxHeightChoice->value();
  if (v >= 0 && v < 4) maxHeight = kHeightUnits[v];
  RefreshPreview();
}

void ControlWindow::MaximumWideness(Fl_Widget*, void*) {
  const int v = maxWidenessChoice->value();
  if (v >= 0 && v < 5) maxWideness = kWidenessUnits[v];
  RefreshPreview();
}

void ControlWindow::PassRequest(Fl_Widget*, void*) { passRequest = 1; }
void ControlWindow::ExportRequest(Fl_Widget*, void*) { exportRequest = 1; }
void ControlWindow::CloseRequest(Fl_Widget*, void*) {
  if (CloseConfirmed()) closeRequest = 1;
}

void ControlWindow::ClearAll(Fl_Widget*, void*) {
  BeginChange();
  heightmap.fill(StoreWrapped(brushHeight));
  EndChange();
  RefreshBothViews();
}

void ControlWindow::GeneratorOptions(Fl_Widget*, void*) {
  switch (generatorChoice->value()) {
    case 0:
      showPlasmaOptions();
      break;
    case 1:
      showNoiseOptions();
      break;
    case 2:
      showMorviGenOptions();
      break;
    default:
      break;
  }
}

// Entries 1 and 2 of a filter menu are "Erosion" and "Dilate"; the others have
// no options.
static void OpenFilterOptions(int entry, int slot) {
  if (entry == 1) showErodeOptions(slot);
  if (entry == 2) showDilateOptions(slot);
}

void ControlWindow::FirstFilterOptions(Fl_Widget*, void*) {
  OpenFilterOptions(firstFilterChoice->value(), 0);
}

void ControlWindow::SecondFilterOptions(Fl_Widget*, void*) {
  OpenFilterOptions(secondFilterChoice->value(), 1);
}

void ControlWindow::SelectTool(int tool) { currentTool = tool; }

// Quarter turn clockwise as seen in the editor (y down): result(x, y) =
// source(y, H-1-x).
void ControlWindow::RotateRight(Fl_Widget*, void*) {
  BeginChange();
  const int W = heightmap.width(), H = heightmap.height();
  Heightmap turned(H, W, 1, 1);
  for (int y = 0; y < W; ++y)
    for (int x = 0; x < H; ++x) turned(x, y) = heightmap(y, H - 1 - x);
  heightmap.swap(turned);
  EndChange();
  RefreshBothViews();
}

// Quarter turn counter-clockwise: result(x, y) = source(W-1-y, x).
void ControlWindow::RotateLeft(Fl_Widget*, void*) {
  BeginChange();
  const int W = heightmap.width(), H = heightmap.height();
  Heightmap turned(H, W, 1, 1);
  for (int y = 0; y < W; ++y)
    for (int x = 0; x < H; ++x) turned(x, y) = heightmap(W - 1 - y, x);
  heightmap.swap(turned);
  EndChange();
  RefreshBothViews();
}

void ControlWindow::FlipHorizontal(Fl_Widget*, void*) {
  BeginChange();
  const int W = heightmap.width(), H = heightmap.height();
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W / 2; ++x) std::swap(heightmap(x, y), heightmap(W - 1 - x, y));
  EndChange();
  RefreshBothViews();
}

void ControlWindow::FlipVertical(Fl_Widget*, void*) {
  BeginChange();
  const int W = heightmap.width(), H = heightmap.height();
  for (int y = 0; y < H / 2; ++y)
    for (int x = 0; x < W; ++x) std::swap(heightmap(x, y), heightmap(x, H - 1 - y));
  EndChange();
  RefreshBothViews();
}

// A command that does nothing says so, or the click seems lost.
void ControlWindow::RefuseWithStatus(const char* why) {
  fl_beep();
  statusBox->copy_label(why);
  statusBox->redraw();
}

void ControlWindow::ClearStatus() {
  if (!statusBox->label()) return;
  statusBox->copy_label(nullptr);
  statusBox->redraw();
}

// Doubling stops where the editor window would no longer fit on the work area.
void ControlWindow::Enlarge(Fl_Widget*, void*) {
  if (!ZoomFits(2 * displayZoom))
    return RefuseWithStatus("The editor is at the largest size that fits the screen.");
  ClearStatus();
  displayZoom *= 2;
  ShowZoomedEditor();
}

// At zoom 1 the editor is still fitted to the map, which may have changed size.
void ControlWindow::Reduce(Fl_Widget*, void*) {
  const bool smallest = displayZoom <= 1;
  displayZoom = smallest ? 1 : displayZoom / 2;
  ShowZoomedEditor();
  if (smallest) return RefuseWithStatus("The editor is at its smallest size (zoom 1).");
  ClearStatus();
}

void ControlWindow::BrushSize(Fl_Widget*, void*) { brushSize = brushSizeSlider->value(); }

void ControlWindow::BrushHeight(Fl_Widget*, void*) { brushHeight = brushHeightSlider->value(); }
