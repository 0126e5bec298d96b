// The "Relievo Plugin Menu" window: four tab pages of settings, generation,
// export and painting controls. One instance per run.
#pragma once

#include <string>

class Fl_Widget;
class Fl_Double_Window;
class Fl_Group;
class Fl_Choice;
class Fl_Button;
class Fl_Light_Button;
class Fl_Value_Slider;
class Fl_Value_Output;
class Fl_Box;

class ControlWindow {
 public:
  // Builds the whole widget tree, hidden.
  ControlWindow();
  // Deletes the window and with it every widget.
  ~ControlWindow();
  ControlWindow(const ControlWindow&) = delete;
  ControlWindow& operator=(const ControlWindow&) = delete;

  // Puts the run's defaults into the widgets and shows the window.
  void show();
  void hide();

  // Non-owning pointers into the widget tree (the window owns its children).
  Fl_Double_Window* window = nullptr;
  Fl_Choice* renderingModeChoice = nullptr;
  Fl_Button* resetViewButton = nullptr;
  Fl_Button* minColorButton = nullptr;
  Fl_Button* midColorButton = nullptr;
  Fl_Button* maxColorButton = nullptr;
  Fl_Choice* mapDimensionsChoice = nullptr;
  Fl_Button* generateMapButton = nullptr;
  Fl_Choice* generatorChoice = nullptr;
  Fl_Choice* firstFilterChoice = nullptr;
  Fl_Choice* secondFilterChoice = nullptr;
  Fl_Button* applyFiltersButton = nullptr;
  Fl_Button* generatorOptionsButton = nullptr;
  Fl_Button* firstFilterOptionsButton = nullptr;
  Fl_Button* secondFilterOptionsButton = nullptr;
  Fl_Button* changeSizeButton = nullptr;
  Fl_Choice* maxWidenessChoice = nullptr;
  Fl_Choice* maxHeightChoice = nullptr;
  Fl_Light_Button* fixDrawButton = nullptr;
  Fl_Value_Slider* brushSizeSlider = nullptr;
  Fl_Value_Slider* brushHeightSlider = nullptr;
  Fl_Value_Output* brushMinOutput = nullptr;
  Fl_Value_Output* brushMeanOutput = nullptr;
  Fl_Value_Output* brushMaxOutput = nullptr;
  // A line above the pages that says why a command did nothing; empty otherwise.
  Fl_Box* statusBox = nullptr;

  // Commands behind the widgets; each gets the widget and the callback's data.
  // ui/control_window.cpp
  void RenderingMode(Fl_Widget* w, void* data);
  void ResetView(Fl_Widget* w, void* data);
  void MinimumColor(Fl_Widget* w, void* data);
  void MiddleColor(Fl_Widget* w, void* data);
  void MaximumColor(Fl_Widget* w, void* data);
  void MaximumHeight(Fl_Widget* w, void* data);
  void MaximumWideness(Fl_Widget* w, void* data);
  void PassRequest(Fl_Widget* w, void* data);
  void ExportRequest(Fl_Widget* w, void* data);
  void CloseRequest(Fl_Widget* w, void* data);
  void ClearAll(Fl_Widget* w, void* data);
  void GeneratorOptions(Fl_Widget* w, void* data);
  void FirstFilterOptions(Fl_Widget* w, void* data);
  void SecondFilterOptions(Fl_Widget* w, void* data);
  void SelectTool(int tool);  // DrawTool
  void RotateRight(Fl_Widget* w, void* data);
  void RotateLeft(Fl_Widget* w, void* data);
  void FlipHorizontal(Fl_Widget* w, void* data);
  void FlipVertical(Fl_Widget* w, void* data);
  void Enlarge(Fl_Widget* w, void* data);
  void Reduce(Fl_Widget* w, void* data);
  void BrushSize(Fl_Widget* w, void* data);
  void BrushHeight(Fl_Widget* w, void* data);
  // ui/terrain_commands.cpp
  void GenerateMap(Fl_Widget* w, void* data);
  void ApplyFilters(Fl_Widget* w, void* data);
  void ChangeSize(Fl_Widget* w, void* data);
  // ui/image_commands.cpp
  void LoadImage(Fl_Widget* w, void* data);
  // The load without its dialog, for a file dropped on the run's windows: one
  // undoable step, or the usual warning and no change.
  void LoadImageFrom(const std::string& path);
  void SaveImage(Fl_Widget* w, void* data);

 private:
  void RefuseWithStatus(const char* why);
  void ClearStatus();
  // One per tab page, in creation order; the "Paint" page is returned because
  // it is the tab set's resizable page.
  void BuildRenderingPage();
  void BuildHeightmapPage();
  void BuildLandPage();
  Fl_Group* BuildPaintPage();
};
