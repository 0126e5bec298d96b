// The 3D preview, read back from its window: where the terrain shows, its colours, the mouse.
#include <FL/Fl.H>
#include <FL/gl.h>
#include <gmock/gmock.h>

#include <cmath>
#include <vector>

#include "plugin/plugin_state.h"
#include "preview/my_gl_win.h"
#include "tests/support/screen_turn.h"

using ::testing::ElementsAre;

namespace {

const int kSky = 0x9999e5;  // 0.6, 0.6, 0.9

// Colours as 0xRRGGBB; within 2 in every channel counts as the same.
MATCHER_P(LooksLike, colour, "") {
  for (int s : {0, 8, 16})
    if (std::abs((arg >> s & 255) - (colour >> s & 255)) > 2) return false;
  return true;
}

// The turn comes first: the window shows.
class Preview : public ::testing::Test, ScreenTurn, public MyGlWin {
 protected:
  Preview() : MyGlWin(0, 0, 400, 200, "Landscape 3D View") {
    ResetDefaults();
    renderMode = 0;
    camX = 0;
    camY = -0.8f;
    camZ = -2.7f;
    yaw = pitch = yawDrag = pitchDrag = 0;
    minColor = {0, 0, 0};  // the start colours, whatever an earlier test set
    meanColor = {127, 127, 127};
    maxColor = {255, 255, 255};
    show();
    wait_for_expose();
  }
  // Draws a frame and reads it back from the back buffer.
  void Frame() {
    make_current();
    draw();
    glFinish();
    glReadPixels(0, 0, w(), h(), GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
  }
  // The last frame's colour at (x, y) counted from the bottom left; -1 outside.
  int At(std::pair<int, int> p) const {
    const auto [x, y] = p;
    if (x < 0 || y < 0 || x >= w() || y >= h()) return -1;
    const int i = (y * w() + x) * 3;
    return pixels_[i] << 16 | pixels_[i + 1] << 8 | pixels_[i + 2];
  }
  // Where (X, Y, Z) shows: pitched about x, yawed about y, moved, seen at 60 degrees (cot 30).
  std::pair<int, int> Project(double X, double Y, double Z) const {
    const double a = (pitch + pitchDrag) * M_PI / 180, b = (yaw + yawDrag) * M_PI / 180;
    const double y1 = Y * std::cos(a) - Z * std::sin(a), z1 = Y * std::sin(a) + Z * std::cos(a);
    const double x2 = X * std::cos(b) + z1 * std::sin(b), z2 = -X * std::sin(b) + z1 * std::cos(b);
    const double f = std::sqrt(3.0) / -(z2 + camZ), aspect = double(w()) / h();
    return {int((1 + f / aspect * (x2 + camX)) * w() / 2), int((1 + f * (y1 + camY)) * h() / 2)};
  }
  // One mouse event as the toolkit hands it over; returns whether it was used.
  int Send(int event, int x, int y, int state, int button = 0) {
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_state = state;
    Fl::e_keysym = FL_Button + button;
    return handle(event);
  }
  std::vector<unsigned char> pixels_ = std::vector<unsigned char>(400 * 200 * 3);
};

// A quadrant raised to 255 over ground at 0. At 1024 by 255 it stands 2 * 255 / 1024 high
// (t = 0.498), where the start colours give 0.996 grey; at 1020 by 510 the square spans 1
// unit and the quadrant stands 1 high, where the ramp reaches the high colour.
TEST_F(Preview, TheRampRunsFromTheLowToTheHighColour) {
  heightmap.assign(249, 249, 1, 1, 0);
  cimg_forXY(heightmap, x, y) if (x > 124 && y < 124) heightmap(x, y) = 255;
  pitch = 20;
  Frame();
  EXPECT_THAT(At(Project(0.5, 0.498, -0.5)), LooksLike(0xfefefe)) << "start colours half way up";
  maxWideness = 1020;
  maxHeight = 510;
  minColor = {200, 40, 10};
  meanColor = {20, 100, 60};
  maxColor = {0, 0, 250};
  Frame();
  EXPECT_THAT(At(Project(-0.5, 0, 0.5)), LooksLike(0xc8280a)) << "the low colour at the bottom";
  EXPECT_THAT(At(Project(0.5, 1, -0.5)), LooksLike(0x0000fa)) << "the high colour at the top";
}

// A drag in progress turns the view on top of the yaw and pitch already set. A
// wideness of 4096 against 255 spans 2 preview units; 215 stands 0.105 high.
TEST_F(Preview, TheViewFollowsTheTurnIncludingADragInProgress) {
  heightmap.assign(249, 249, 1, 1, 40);
  cimg_forXY(heightmap, x, y) if (x > 124 && y < 124) heightmap(x, y) = 255;
  minColor = meanColor = {0, 0, 0};
  maxColor = {0, 0, 250};
  yaw = 30;
  yawDrag = 60;
  pitch = 5;
  pitchDrag = 15;
  maxWideness = 4096;
  Frame();
  EXPECT_THAT(At(Project(-0.5, 0, 0.5)), LooksLike(0x000000)) << "the low corner";
  EXPECT_THAT(At(Project(0.5, 2.0 * 215 / 4096, -0.5)),
              ::testing::Not(::testing::AnyOf(LooksLike(0x000000), LooksLike(kSky))))
      << "the raised quadrant's far corner";
  EXPECT_THAT(At({0, h() - 1}), LooksLike(kSky)) << "the background";
}

// Every edge of the grid is drawn in blue, and the cells between them are not filled.
TEST_F(Preview, WireframeDrawsEveryGridEdgeInBlue) {
  heightmap.assign(9, 9, 1, 1, 90);
  renderMode = 1;
  pitch = 60;
  camY = 0;
  Frame();
  auto seen = [&](double c, double r, int reach) {  // the first colour not sky near (c, r)
    const auto [x, y] = Project((c - 4) / 4.5, 0, (r - 4) / 4.5);
    for (int dx = -reach; dx <= reach; ++dx)
      for (int dy = -reach; dy <= reach; ++dy)
        if (!::testing::Value(At({x + dx, y + dy}), LooksLike(kSky))) return At({x + dx, y + dy});
    return kSky;
  };
  for (int i = 0; i < 9; ++i) {
    for (int j = 0; j < 8; ++j) {
      SCOPED_TRACE(::testing::Message() << "row or column " << i << ", step " << j);
      EXPECT_THAT(seen(j + 0.5, i, 1), LooksLike(0x0000ff));
      EXPECT_THAT(seen(i, j + 0.5, 1), LooksLike(0x0000ff));
      EXPECT_THAT(seen(j + 0.5, i + 0.5, 0), LooksLike(kSky));
    }
  }
}

// The turn is measured from where the button went down; releasing it keeps the turn.
TEST_F(Preview, ReleasingTheLeftButtonKeepsTheTurn) {
  yaw = 5;
  pitch = 7;
  Send(FL_PUSH, 100, 100, FL_BUTTON1, 1);
  Send(FL_DRAG, 130, 90, FL_BUTTON1);
  EXPECT_EQ(Send(FL_RELEASE, 130, 90, 0, 1), 1);
  EXPECT_THAT(std::vector<float>({yaw, pitch, yawDrag, pitchDrag}), ElementsAre(35, -3, 0, 0));
}

// Down 1, down 100, sideways, up: half a unit each way per event, from the last one.
TEST_F(Preview, ZoomDragMovesAFixedStepPerEvent) {
  camZ = 0;
  Send(FL_PUSH, 0, 100, FL_BUTTON3, 3);
  std::vector<float> steps;
  for (int y : {101, 201, 201, 0}) {
    EXPECT_EQ(Send(FL_DRAG, 5, y, FL_BUTTON3), 1);
    steps.push_back(camZ);
  }
  EXPECT_THAT(steps, ElementsAre(0.5f, 1, 1, 0.5f));
}

}  // namespace
