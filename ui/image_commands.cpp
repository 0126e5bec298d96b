// "Load Image" and "Save Image" (placeholders).
#include "ui/control_window.h"

void ControlWindow::LoadImage(Fl_Widget*, void*) {}
void ControlWindow::SaveImage(Fl_Widget*, void*) {}
