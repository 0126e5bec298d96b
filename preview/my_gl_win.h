// The "Landscape 3D View" window: the heightmap as a 3D surface that the mouse
// turns (left button), moves nearer or farther (middle/right button, wheel).
// The camera lives in the plug-in state, not in the window.
#pragma once

#include <FL/Fl_Gl_Window.H>

class MyGlWin : public Fl_Gl_Window {
 public:
  MyGlWin(int x, int y, int w, int h, const char* label);

 protected:
  void draw() override;
  int handle(int event) override;
};
