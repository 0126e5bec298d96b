// The "Landscape 3D View" window: the heightmap as a 3D surface that the mouse
// turns (left button), moves nearer or farther (middle/right button, wheel).
// The camera lives in the plug-in state, not in the window, so it survives
// from one run to the next.
#pragma once

#include <FL/Fl_Gl_Window.H>

class MyGlWin : public Fl_Gl_Window {
 public:
  MyGlWin(int x, int y, int w, int h, const char* label);

  // Mouse camera: returns 1 for the mouse events it used; keys and every
  // other event go to the plain widget handler and are not consumed.
  int handle(int event) override;

 protected:
  // One frame from the live heightmap, in the toolkit's default GL mode.
  void draw() override;
};
