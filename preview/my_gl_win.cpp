#include "preview/my_gl_win.h"

#include <FL/Fl.H>
#include <FL/gl.h>
#include <GL/glu.h>

#include "plugin/plugin_state.h"
#include "preview/draw_terrain.h"
#include "ui/file_drop.h"

namespace {

int HandlePush() {
  if (Fl::event_button1()) {
    dragAnchorY = Fl::event_y();
    dragAnchorX = Fl::event_x();
  } else if (Fl::event_button2() || Fl::event_button3()) {
    zoomLastY = Fl::event_y();
  } else {
    return 0;
  }
  return 1;
}

// The whole state is compared, so a drag with a modifier or a second button
// held neither turns nor zooms.
int HandleDrag() {
  const int state = Fl::event_state();
  if (state == FL_BUTTON1) {
    yawDrag = float(Fl::event_x() - dragAnchorX);
    pitchDrag = float(Fl::event_y() - dragAnchorY);
  } else if (state == FL_BUTTON2 || state == FL_BUTTON3) {
    // A fixed step per event, whatever the distance travelled.
    const int d = Fl::event_y() - zoomLastY;
    if (d < 0) camZ -= 0.5f;
    if (d > 0) camZ += 0.5f;
    zoomLastY = Fl::event_y();
  } else {
    return 0;
  }
  return 1;
}

int HandleRelease() {
  if (Fl::event_button() != FL_LEFT_MOUSE) return 0;
  yaw += yawDrag;
  pitch += pitchDrag;
  pitchDrag = 0;
  yawDrag = 0;
  return 1;
}

}  // namespace

MyGlWin::MyGlWin(int x, int y, int w, int h, const char* label) : Fl_Gl_Window(x, y, w, h, label) {}

void MyGlWin::draw() {
  if (!valid()) {
    glViewport(0, 0, w(), h());
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  }
  glClearColor(0.6f, 0.6f, 0.9f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // The window is at least 300 pixels high on screen; the guard only keeps a
  // zero height from dividing by zero.
  gluPerspective(60.0, double(w()) / double(h() > 0 ? h() : 1), 0.1, 1000.0);

  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(camX, camY, camZ);
  glPushMatrix();
  glRotatef(yaw + yawDrag, 0.0f, 1.0f, 0.0f);
  glRotatef(pitch + pitchDrag, 1.0f, 0.0f, 0.0f);
  DrawTerrain();
  glPopMatrix();
}

int MyGlWin::handle(int event) {
  int used = 0;
  switch (event) {
    case FL_PUSH:
      used = HandlePush();
      break;
    case FL_DRAG:
      used = HandleDrag();
      break;
    case FL_RELEASE:
      used = HandleRelease();
      break;
    case FL_MOUSEWHEEL:
      camZ += float(Fl::event_dy());
      used = 1;
      break;
    default:
      // An image file dropped here loads as with "Load Image". Otherwise the
      // plain widget's handler, not Fl_Gl_Window's: keys and focus are left
      // to the rest of the application.
      if (const int dropped = HandleFileDrop(this, event)) return dropped;
      return Fl_Widget::handle(event);
  }
  if (used) redraw();
  return used;
}
