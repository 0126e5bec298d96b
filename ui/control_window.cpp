// Placeholder until the full widget tree lands: a bare window that shows and
// hides like the real one.
#include "ui/control_window.h"

#include <FL/Fl_Double_Window.H>

#include "plugin/plugin_state.h"

ControlWindow::ControlWindow() {
  window = new Fl_Double_Window(416, 315, "Relievo Plugin Menu");
  window->user_data(this);
  window->end();
}

ControlWindow::~ControlWindow() { delete window; }

void ControlWindow::show() {
  ResetDefaults();
  SyncMapSizeToHeightmap();
  window->show();
}

void ControlWindow::hide() { window->hide(); }

void ControlWindow::RenderingMode(Fl_Widget*, void*) {}
void ControlWindow::ResetView(Fl_Widget*, void*) {}
void ControlWindow::MinimumColor(Fl_Widget*, void*) {}
void ControlWindow::MiddleColor(Fl_Widget*, void*) {}
void ControlWindow::MaximumColor(Fl_Widget*, void*) {}
void ControlWindow::MaximumHeight(Fl_Widget*, void*) {}
void ControlWindow::MaximumWideness(Fl_Widget*, void*) {}
void ControlWindow::PassRequest(Fl_Widget*, void*) { passRequest = 1; }
void ControlWindow::ExportRequest(Fl_Widget*, void*) { exportRequest = 1; }
void ControlWindow::CloseRequest(Fl_Widget*, void*) { closeRequest = 1; }
void ControlWindow::ClearAll(Fl_Widget*, void*) {}
void ControlWindow::GeneratorOptions(Fl_Widget*, void*) {}
void ControlWindow::FirstFilterOptions(Fl_Widget*, void*) {}
void ControlWindow::SecondFilterOptions(Fl_Widget*, void*) {}
void ControlWindow::SelectTool(int tool) { currentTool = tool; }
void ControlWindow::RotateRight(Fl_Widget*, void*) {}
void ControlWindow::RotateLeft(Fl_Widget*, void*) {}
void ControlWindow::FlipHorizontal(Fl_Widget*, void*) {}
void ControlWindow::FlipVertical(Fl_Widget*, void*) {}
void ControlWindow::Enlarge(Fl_Widget*, void*) {}
void ControlWindow::Reduce(Fl_Widget*, void*) {}
void ControlWindow::BrushSize(Fl_Widget*, void*) {}
void ControlWindow::BrushHeight(Fl_Widget*, void*) {}
