#include "preview/my_gl_win.h"

#include <FL/gl.h>

MyGlWin::MyGlWin(int x, int y, int w, int h, const char* label) : Fl_Gl_Window(x, y, w, h, label) {}

void MyGlWin::draw() {
  glClearColor(0.6f, 0.6f, 0.9f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

int MyGlWin::handle(int event) { return Fl_Widget::handle(event); }
