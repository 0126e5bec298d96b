// "Generate Map", "Apply Filters" and "Change Size" (placeholders).
#include "ui/control_window.h"

void ControlWindow::GenerateMap(Fl_Widget*, void*) {}
void ControlWindow::ApplyFilters(Fl_Widget*, void*) {}
void ControlWindow::ChangeSize(Fl_Widget*, void*) {}
