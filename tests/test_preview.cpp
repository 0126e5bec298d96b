#include <FL/Fl.H>
#include <FL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "plugin/plugin_state.h"
#include "preview/my_gl_win.h"
#include "tests/support/screen_turn.h"

namespace {

const int kSky = 0x9999e5, kBlue = 0x0000ff;  // sky 0.6, 0.6, 0.9

bool Near(int a, int b) {  // within 2 in every channel
  for (int s : {0, 8, 16})
    if (std::abs((a >> s & 255) - (b >> s & 255)) > 2) return false;
  return true;
}

// The ramp at height t: A + B t + C t^2 per channel, A = min, B = 4 mean + max + min, C = max - A -
// B.
int Ramp(double t) {
  int packed = 0;
  for (auto part : {&Rgb::r, &Rgb::g, &Rgb::b}) {
    const double a = minColor.*part / 255.0, m = meanColor.*part / 255.0,
                 M = maxColor.*part / 255.0;
    const double b = 4 * m + M + a, v = a + b * t + (M - a - b) * t * t;
    packed = packed * 256 + int(std::lround(std::fmin(1, std::fmax(0, v)) * 255));
  }
  return packed;
}

class PreviewTest : public ::testing::Test,
                    ScreenTurn,
                    public MyGlWin {  // the turn first: it shows
 protected:
  PreviewTest() : MyGlWin(0, 0, 400, 200, "Landscape 3D View") {
    ResetDefaults(), renderMode = 0, camX = 0, camY = -0.8f, camZ = -2.7f,
                     yaw = pitch = yawDrag = pitchDrag = 0;
    show(), wait_for_expose();
  }
  void TestBody() override {}
  void
  Frame() {  // rows of 400 pixels need no packing change; a double-buffered window reads its back
    make_current(), draw(), glFinish(),
        glReadPixels(0, 0, w(), h(), GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
  }
  int At(int x,
         int y) const {  // the last frame's colour at (x, y) from the bottom left; -1 outside
    const int i = (y * w() + x) * 3;
    return x < 0 || y < 0 || x >= w() || y >= h()
               ? -1
               : pixels_[i] << 16 | pixels_[i + 1] << 8 | pixels_[i + 2];
  }
  // Where (X, Y, Z) appears: turned by the pitch about x, then the yaw about y, moved by the
  // camera, seen at 60 degrees (cot 30 = sqrt 3).
  std::pair<int, int> Project(double X, double Y, double Z) const {
    const double a = (pitch + pitchDrag) * M_PI / 180, b = (yaw + yawDrag) * M_PI / 180;
    const double y1 = Y * std::cos(a) - Z * std::sin(a), z1 = Y * std::sin(a) + Z * std::cos(a);
    const double x2 = X * std::cos(b) + z1 * std::sin(b), z2 = -X * std::sin(b) + z1 * std::cos(b);
    const double f = std::sqrt(3.0) / -(z2 + camZ), aspect = double(w()) / h();
    return {int((1 + f / aspect * (x2 + camX)) * w() / 2), int((1 + f * (y1 + camY)) * h() / 2)};
  }
  int Send(int event, int x, int y, int state,
           int button = 0) {  // a used event, and only that, redraws
    Fl::e_x = x, Fl::e_y = y, Fl::e_state = state, Fl::e_keysym = FL_Button + button,
    clear_damage();
    const int used = handle(event);
    EXPECT_EQ(damage() != 0, used != 0) << "event " << event;
    return used;
  }
  std::vector<unsigned char> pixels_ = std::vector<unsigned char>(400 * 200 * 3);
};

}  // namespace

// The lowest samples stand at height 0 in the low colour, a quadrant 60 above at 60 / 255 * sy in
// the ramp's colour; the larger export setting spans 2 preview units (sx = 1 or sy = 2), the other
// keeps its ratio.
TEST_F(PreviewTest,
       TerrainShowsWhereTheViewPutsItInItsHeightsColourOrAsABlueGridAndTheMouseTurnsIt) {
  heightmap.assign(249, 249, 1, 1, 40), minColor = {200, 40, 10}, meanColor = {20, 100, 60},
                                        maxColor = {0, 0, 250};
  cimg_forXY(heightmap, x, y) if (x > 124 && y < 124) heightmap(x, y) = 100;
  struct {
    float yaw, yawDrag, pitch, pitchDrag;
    int wide, high;
  } views[] = {{30, 60, 5, 15, 4096, 255},
               {270, 0, 20, 0, 2048, 765},
               {0, 0, 25, 0, 512, 1020},
               {0, 0, 20, 0, 1024, 255}};  // the last: defaults
  for (auto v : views) {  // yaw 30 + 60, pitch 5 + 15: a drag in progress turns the view too
    yaw = v.yaw, yawDrag = v.yawDrag, pitch = v.pitch, pitchDrag = v.pitchDrag;
    maxWideness = v.wide, maxHeight = v.high, Frame();
    const double sx = std::fmin(1, double(v.wide) / v.high),
                 top = std::fmin(2, 2.0 * v.high / v.wide) * 60 / 255;
    const auto [gx, gy] = Project(-sx / 2, 0, sx / 2);
    const auto [rx, ry] = Project(sx / 2, top, -sx / 2);
    EXPECT_TRUE(Near(At(0, h() - 1), kSky) && Near(At(gx, gy), 0xc8280a) &&
                Near(At(rx, ry), Ramp(top)))
        << std::hex << At(gx, gy) << " " << At(rx, ry) << " want " << Ramp(top) << " at yaw "
        << yaw + yawDrag;
  }
  heightmap.assign(9, 9, 1, 1, 90), renderMode = 1, pitch = 60, camY = 0,
                                    Frame();        // wire: the grid's edges only
  auto seen = [&](double c, double r, int reach) {  // the first colour but the sky near (c, r)
    const auto [x, y] = Project((c - 4) / 4.5, 0, (r - 4) / 4.5);
    for (int dx = -reach; dx <= reach; ++dx)
      for (int dy = -reach; dy <= reach; ++dy)
        if (!Near(At(x + dx, y + dy), kSky)) return At(x + dx, y + dy);
    return kSky;
  };
  // Edges (j + 0.5, i) and (i, j + 0.5), cell (j + 0.5, i + 0.5).
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 8; ++j)
      EXPECT_EQ(
          std::vector<int>({seen(j + 0.5, i, 1), seen(i, j + 0.5, 1), seen(j + 0.5, i + 0.5, 0)}),
          std::vector<int>({kBlue, kBlue, kSky}))
          << i << " " << j;
  heightmap.assign(40, 30, 1, 1, 90), Frame();  // a map that is not square draws nothing
  EXPECT_TRUE(Near(At(200, 100), kSky));
  // The mouse turns from the drag's anchor and zooms by fixed steps.
  using F = std::vector<float>;
  yaw = 5, pitch = 7, camZ = -2.7f, Fl::e_dy = -3, Send(FL_PUSH, 100, 100, FL_BUTTON1, 1),
  Send(FL_DRAG, 103, 103, FL_BUTTON1);
  EXPECT_EQ(Send(FL_DRAG, 130, 90, FL_BUTTON1), 1);          // from the anchor, not the last event
  for (int extra : {FL_SHIFT, FL_CTRL, FL_ALT, FL_BUTTON3})  // held: neither turns nor zooms
    EXPECT_EQ(
        Send(FL_DRAG, 150, 150, FL_BUTTON1 | extra) + Send(FL_DRAG, 1, 250, FL_BUTTON2 | extra), 0);
  EXPECT_EQ(F({yaw, pitch, yawDrag, pitchDrag, camZ}), F({5, 7, 30, -10, -2.7f}));
  EXPECT_EQ(F({float(Send(FL_RELEASE, 130, 90, 0, 1)), yaw, pitch, yawDrag, pitchDrag}),
            F({1, 35, -3, 0, 0}));
  for (auto [button, state] : {std::pair{2, FL_BUTTON2}, {3, FL_BUTTON3}}) {
    camZ = 0, Send(FL_PUSH, 0, 100, state, button), yawDrag = 5;
    const int ys[] = {101, 201, 201, 0};  // down 1, down 100, sideways, up: a step each way
    for (int i = 0; i < 4; ++i)
      EXPECT_TRUE(Send(FL_DRAG, i * 10, ys[i], state) && camZ == (i % 3 ? 1 : .5f)) << i;
    EXPECT_TRUE(Send(FL_RELEASE, 0, 0, 0, button) == 0 &&
                yaw == 35);  // only the left folds yawDrag
  }
  EXPECT_EQ(Send(FL_MOUSEWHEEL, 0, 0, 0) + Send(FL_KEYBOARD, 0, 0, 0) + Send(FL_PUSH, 1, 1, 0), 1);
  EXPECT_EQ(camZ, -2.5f);
}
