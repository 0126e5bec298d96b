// The 3D preview: where the terrain appears, in which colours, and how the mouse
// turns and zooms it. Frames are read back from the window.
#include <FL/Fl.H>
#include <FL/gl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "plugin/plugin_state.h"
#include "preview/my_gl_win.h"
#include "tests/support/screen_turn.h"

namespace {

const int kSky = 0x9999e5;  // 0.6, 0.6, 0.9
const int kBlue = 0x0000ff;

int Packed(Rgb c) { return c.r << 16 | c.g << 8 | c.b; }

// Colours as 0xRRGGBB; within 2 in every channel counts as the same.
bool Near(int a, int b) {
  for (int s : {0, 8, 16})
    if (std::abs((a >> s & 255) - (b >> s & 255)) > 2) return false;
  return true;
}

MATCHER_P(LooksLike, colour, "") { return Near(arg, colour); }

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
    show();
    wait_for_expose();
  }
  void TestBody() override {}
  // A double-buffered window reads back from its back buffer.
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
  // Where (X, Y, Z) appears: turned by the pitch about x, then the yaw about y,
  // moved by the camera, seen at 60 degrees (cot 30 = sqrt 3).
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
    clear_damage();
    return handle(event);
  }
  std::vector<unsigned char> pixels_ = std::vector<unsigned char>(400 * 200 * 3);
};

// 1020 wide by 510 high: the square spans 1 unit and a full-range quadrant
// stands 1 unit high, where the ramp reaches the high colour.
TEST_F(Preview, TheRampRunsFromTheLowToTheHighColour) {
  heightmap.assign(249, 249, 1, 1, 0);
  cimg_forXY(heightmap, x, y) if (x > 124 && y < 124) heightmap(x, y) = 255;
  maxWideness = 1020;
  maxHeight = 510;
  minColor = {200, 40, 10};
  meanColor = {20, 100, 60};
  maxColor = {0, 0, 250};
  pitch = 20;
  Frame();
  EXPECT_THAT(At(Project(-0.5, 0, 0.5)), LooksLike(Packed(minColor)));
  EXPECT_THAT(At(Project(0.5, 1, -0.5)), LooksLike(Packed(maxColor)));
}

// The start colours (black, grey 127, white) reach about 0.998 grey at height 0.5.
TEST_F(Preview, StartColoursAreNearlyWhiteHalfWayUp) {
  heightmap.assign(249, 249, 1, 1, 0);
  cimg_forXY(heightmap, x, y) if (x > 124 && y < 124) heightmap(x, y) = 255;
  pitch = 20;
  Frame();  // 1024 by 255: the full range stands 2 * 255 / 1024 high, t = 0.498
  EXPECT_THAT(At(Project(0.5, 0.498, -0.5)), LooksLike(0xfefefe));
}

// A drag in progress turns the view on top of the yaw and pitch already set.
TEST_F(Preview, TheViewFollowsTheTurnIncludingADragInProgress) {
  heightmap.assign(249, 249, 1, 1, 40);
  cimg_forXY(heightmap, x, y) if (x > 124 && y < 124) heightmap(x, y) = 255;
  minColor = {0, 0, 0};
  meanColor = {0, 0, 0};
  maxColor = {0, 0, 250};
  const struct {
    float yaw, yawDrag, pitch, pitchDrag;
    int wide, high;
  } views[] = {{30, 60, 5, 15, 4096, 255}, {270, 0, 20, 0, 2048, 765}, {0, 0, 25, 0, 512, 1020}};
  for (const auto& v : views) {
    SCOPED_TRACE(::testing::Message() << "yaw " << v.yaw << " + " << v.yawDrag);
    yaw = v.yaw;
    yawDrag = v.yawDrag;
    pitch = v.pitch;
    pitchDrag = v.pitchDrag;
    maxWideness = v.wide;
    maxHeight = v.high;
    Frame();
    // The larger export setting spans 2 preview units, the other keeps its ratio.
    const double sx = std::fmin(1, double(v.wide) / v.high);
    const double top = std::fmin(2, 2.0 * v.high / v.wide) * 215 / 255;
    EXPECT_THAT(At(Project(-sx / 2, 0, sx / 2)), LooksLike(0x000000)) << "low corner";
    EXPECT_THAT(At(Project(sx / 2, top, -sx / 2)),
                ::testing::Not(::testing::AnyOf(LooksLike(0x000000), LooksLike(kSky))))
        << "the raised quadrant's far corner";
    EXPECT_THAT(At({0, h() - 1}), LooksLike(kSky));
  }
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
        if (!Near(At({x + dx, y + dy}), kSky)) return At({x + dx, y + dy});
    return kSky;
  };
  for (int i = 0; i < 9; ++i) {
    for (int j = 0; j < 8; ++j) {
      SCOPED_TRACE(::testing::Message() << "row or column " << i << ", step " << j);
      EXPECT_THAT(seen(j + 0.5, i, 1), LooksLike(kBlue));
      EXPECT_THAT(seen(i, j + 0.5, 1), LooksLike(kBlue));
      EXPECT_THAT(seen(j + 0.5, i + 0.5, 0), LooksLike(kSky));
    }
  }
}

// The turn is measured from where the button went down, not from the last event.
TEST_F(Preview, LeftDragTurnsByTheDistanceFromThePress) {
  Send(FL_PUSH, 100, 100, FL_BUTTON1, 1);
  Send(FL_DRAG, 103, 103, FL_BUTTON1);
  EXPECT_EQ(Send(FL_DRAG, 130, 90, FL_BUTTON1), 1);
  EXPECT_EQ(yawDrag, 30);
  EXPECT_EQ(pitchDrag, -10);
  EXPECT_NE(damage(), 0) << "the turn was not redrawn";
}

TEST_F(Preview, ReleasingTheLeftButtonKeepsTheTurn) {
  yaw = 5;
  pitch = 7;
  Send(FL_PUSH, 100, 100, FL_BUTTON1, 1);
  Send(FL_DRAG, 130, 90, FL_BUTTON1);
  EXPECT_EQ(Send(FL_RELEASE, 130, 90, 0, 1), 1);
  EXPECT_THAT(std::vector<float>({yaw, pitch, yawDrag, pitchDrag}),
              ::testing::ElementsAre(35, -3, 0, 0));
}

// Down 1, down 100, sideways, up: half a unit each way per event, from the last one.
TEST_F(Preview, ZoomDragMovesAFixedStepPerEvent) {
  for (auto [button, state] : {std::pair{2, FL_BUTTON2}, {3, FL_BUTTON3}}) {
    SCOPED_TRACE(button);
    camZ = 0;
    Send(FL_PUSH, 0, 100, state, button);
    std::vector<float> steps;
    for (int y : {101, 201, 201, 0}) {
      EXPECT_EQ(Send(FL_DRAG, 5, y, state), 1);
      steps.push_back(camZ);
    }
    EXPECT_THAT(steps, ::testing::ElementsAre(0.5f, 1, 1, 0.5f));
    EXPECT_EQ(Send(FL_RELEASE, 0, 0, 0, button), 0) << "only the left button's release is used";
  }
}

}  // namespace
