#include <FL/Fl.H>
#include <FL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>
#include <set>
#include <utility>

#include "plugin/plugin_state.h"
#include "preview/draw_terrain.h"
#include "preview/my_gl_win.h"

namespace {

using Sample = std::pair<int, int>;  // column, row
const ColorRamp kDefaultRamp = MakeColorRamp({0, 0, 0}, {127, 127, 127}, {255, 255, 255});

TerrainMesh Mesh(const Heightmap& map, int mode, ColorRamp ramp = kDefaultRamp) {
  TerrainMesh mesh;
  BuildTerrainMesh(map, mode, ComputeTerrainScale(1024, 255), ramp, &mesh);
  return mesh;
}

// The sample vertex v of an n x n map stands for, from its X and Z (sx = 1).
Sample SampleAt(const TerrainMesh& m, size_t v, int n) {
  auto index = [&](float coord) { return int(std::lround(coord * (n / 2.0) + n / 2)); };
  return {index(m.position[v * 3]), index(m.position[v * 3 + 2])};
}

// Smooth hills, the same on every call.
Heightmap TestTerrain(int n) {
  Heightmap map(n, n, 1, 1, 0);
  cimg_forXY(map, x, y) {
    double h = 128 + 60 * std::sin(x * 0.05) * std::cos(y * 0.07) + 40 * std::sin((x + 2 * y) * 0.02);
    map(x, y) = (unsigned char)h;
  }
  return map;
}

}  // namespace

TEST(TerrainGeometry, LowestSampleInTheLastRowOrColumnIsAtZero) {
  for (Sample low : {Sample{4, 2}, Sample{2, 4}, Sample{4, 4}}) {
    Heightmap map(5, 5, 1, 1, 100);
    map(low.first, low.second) = 20;
    TerrainMesh m = Mesh(map, 0);
    for (size_t v = 0; v < m.position.size() / 3; ++v)
      ASSERT_NEAR(m.position[v * 3 + 1], SampleAt(m, v, 5) == low ? 0 : 80 / 255.0f * 0.498047f, 1e-6);
  }
}

TEST(TerrainGeometry, ProportionsFollowTheExportSettingsAndTheRampItsFormula) {
  struct { int wide, high; float sx, sy; } sizes[] = {
      {1024, 255, 1, 0.498047f}, {256, 255, 1, 1.992188f}, {256, 1020, 0.25098f, 2},
      {4096, 255, 1, 0.124512f}, {256, 510, 0.501961f, 2}, {255, 255, 1, 2}};
  for (auto row : sizes) {
    TerrainScale s = ComputeTerrainScale(row.wide, row.high);
    EXPECT_NEAR(s.sx, row.sx, 1e-5) << row.wide << " x " << row.high;
    EXPECT_NEAR(s.sy, row.sy, 1e-5) << row.wide << " x " << row.high;
  }
  // Odd sides sit half a cell off centre: 249 columns span -124..124 / 124.5.
  TerrainMesh m = Mesh(Heightmap(249, 249, 1, 1, 0), 1);
  EXPECT_FLOAT_EQ(m.position[2 * 3], -124 / 124.5f);                 // sample (0, 0)
  EXPECT_FLOAT_EQ(m.position[m.position.size() - 3], 124 / 124.5f);  // sample (248, 248)
  // Default colours: black at the bottom, near white at t = 0.5, negative at 2.
  struct { float t, grey; } ramp[] = {{0, 0}, {0.5f, 0.998039f}, {1, 1}, {2, -1.984314f}};
  for (auto row : ramp) {
    float rgb[3];
    kDefaultRamp.At(row.t, rgb);
    for (float v : rgb) EXPECT_NEAR(v, row.grey, 1e-5) << "t = " << row.t;
  }
}

TEST(TerrainGeometry, QuadsAndWireGridComeInDrawingOrder) {
  TerrainMesh quads = Mesh(TestTerrain(4), 0);
  ASSERT_EQ(quads.position.size(), 9u * 4 * 3);
  EXPECT_EQ(quads.color.size(), quads.position.size());
  for (size_t v = 0; v < 36; ++v) {  // each cell: (c+1, r+1), (c+1, r), (c, r), (c, r+1)
    const int cell = int(v / 4), corner = int(v % 4);
    ASSERT_EQ(SampleAt(quads, v, 4), Sample(cell % 3 + (corner < 2), cell / 3 + (corner % 3 == 0)));
  }
  const int n = 5;
  TerrainMesh wire = Mesh(TestTerrain(n), 1);
  const size_t vertices = wire.position.size() / 3;
  ASSERT_EQ(vertices, 2u * (3 * (n - 1) * (n - 1) + (n - 1)));
  EXPECT_TRUE(wire.color.empty());
  std::set<std::pair<Sample, Sample>> edges;
  for (size_t v = 0; v < vertices; v += 2) {
    const auto ends = std::minmax({SampleAt(wire, v, n), SampleAt(wire, v + 1, n)});
    EXPECT_EQ(ends.second.first - ends.first.first + ends.second.second - ends.first.second, 1);
    edges.insert(ends);
  }
  EXPECT_EQ(edges.size(), 2u * n * (n - 1));  // every grid edge
  for (int k = 0; k + 1 < n; ++k) {           // the closing row comes last
    const size_t v = vertices - 2 * (n - 1) + 2 * k;
    EXPECT_EQ(SampleAt(wire, v, n), Sample(k, n - 1));
    EXPECT_EQ(SampleAt(wire, v + 1, n), Sample(k + 1, n - 1));
  }
  EXPECT_TRUE(Mesh(Heightmap(1, 1, 1, 1, 5), 0).position.empty());
  EXPECT_TRUE(Mesh(Heightmap(4, 3, 1, 1, 5), 1).position.empty());
}

namespace {

// Sets the event state the toolkit would have, then hands the event over.
int Send(MyGlWin& win, int event, int x, int y, int state, int button = 0) {
  Fl::e_x = x, Fl::e_y = y, Fl::e_state = state, Fl::e_keysym = FL_Button + button;
  return win.handle(event);
}

class PreviewCamera : public ::testing::Test {
 protected:
  void SetUp() override { yaw = pitch = yawDrag = pitchDrag = 0, camZ = -2.7f; }
  void TearDown() override { SetUp(); }
  MyGlWin win{0, 0, 300, 300, "Landscape 3D View"};
};

}  // namespace

TEST_F(PreviewCamera, LeftDragsTurnFromTheAnchorAndAccumulate) {
  const int moves[][4] = {{100, 100, 130, 90}, {50, 50, 60, 70}};
  for (auto [x0, y0, x1, y1] : moves) {
    EXPECT_EQ(Send(win, FL_PUSH, x0, y0, FL_BUTTON1, 1), 1);
    Send(win, FL_DRAG, x0 + 3, y0 + 3, FL_BUTTON1);
    EXPECT_EQ(Send(win, FL_DRAG, x1, y1, FL_BUTTON1), 1);  // replaces, not adds
    EXPECT_EQ(Send(win, FL_RELEASE, x1, y1, 0, 1), 1);
  }
  Send(win, FL_PUSH, 7, 7, FL_BUTTON1, 1);  // a click without motion
  Send(win, FL_RELEASE, 7, 7, 0, 1);
  EXPECT_EQ(yaw, 40);
  EXPECT_EQ(pitch, 10);
  EXPECT_EQ(yawDrag + pitchDrag, 0);
  for (int extra : {FL_SHIFT, FL_CTRL, FL_ALT, FL_CAPS_LOCK, FL_NUM_LOCK, FL_BUTTON3}) {
    Send(win, FL_PUSH, 100, 100, FL_BUTTON1 | extra, 1);
    EXPECT_EQ(Send(win, FL_DRAG, 150, 150, FL_BUTTON1 | extra), 0) << extra;
    Send(win, FL_RELEASE, 150, 150, extra, 1);
  }
  EXPECT_EQ(yaw, 40);
  EXPECT_EQ(pitch, 10);
}

TEST_F(PreviewCamera, ZoomMovesAFixedStepPerDragEventAndTheWheelByItsDelta) {
  for (int button : {2, 3}) {
    const int state = button == 2 ? FL_BUTTON2 : FL_BUTTON3;
    camZ = 0;
    Send(win, FL_PUSH, 0, 100, state, button);
    const int ys[] = {101, 201, 201, 0};  // down 1, down 100, sideways, up
    const float camZs[] = {0.5f, 1.0f, 1.0f, 0.5f};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(Send(win, FL_DRAG, i * 10, ys[i], state), 1);
      EXPECT_EQ(camZ, camZs[i]) << "button " << button << ", step " << i;
    }
    yawDrag = 5;  // releasing another button folds nothing
    EXPECT_EQ(Send(win, FL_RELEASE, 0, 0, 0, button), 0);
    EXPECT_EQ(yaw, 0);
  }
  Fl::e_dy = -3;
  EXPECT_EQ(win.handle(FL_MOUSEWHEEL), 1);
  EXPECT_EQ(camZ, -2.5f);
  for (int event : {FL_KEYBOARD, FL_KEYUP, FL_SHORTCUT, FL_FOCUS}) EXPECT_EQ(win.handle(event), 0);
  EXPECT_EQ(Send(win, FL_PUSH, 1, 1, 0), 0);
}

namespace {

using Pixels = std::vector<unsigned char>;  // RGB rows, bottom first

class PreviewPicture : public ::testing::Test, public MyGlWin {
 protected:
  PreviewPicture() : MyGlWin(0, 0, 400, 200, "Landscape 3D View") {
    show();
    wait_for_expose();
  }
  ~PreviewPicture() override {
    heightmap = map_, renderMode = 0, yaw = pitch = yawDrag = pitchDrag = 0;
    minColor = {0, 0, 0}, meanColor = {127, 127, 127}, maxColor = {255, 255, 255};
  }
  void TestBody() override {}
  Pixels Frame() {
    make_current();
    draw();
    Pixels p(w() * h() * 3);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w(), h(), GL_RGB, GL_UNSIGNED_BYTE, p.data());
    return p;
  }
  int At(const Pixels& p, int x, int y) const {
    const unsigned char* q = &p[(y * w() + x) * 3];
    return (q[0] << 16) + (q[1] << 8) + q[2];
  }
  // The pixels other than the sky (0.6, 0.6, 0.9) that are not `only` (-1: any).
  int Surface(const Pixels& p, int only, int* rightmost = nullptr) const {
    int count = 0;
    for (int y = 0; y < h(); ++y)
      for (int x = 0; x < w(); ++x)
        if (!IsSky(p, x, y) && At(p, x, y) != only) {
          ++count;
          if (rightmost) *rightmost = std::max(*rightmost, x);
        }
    return count;
  }
  bool IsSky(const Pixels& p, int x, int y) const {
    return At(p, x, y) >> 8 == (153 << 8) + 153 && std::abs((At(p, x, y) & 255) - 229) <= 1;
  }
  Heightmap map_ = heightmap;
};

int Packed(const float c[3]) {
  auto byte = [](float v) { return int(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
  return (byte(c[0]) << 16) + (byte(c[1]) << 8) + byte(c[2]);
}

}  // namespace

TEST_F(PreviewPicture, FlatMapShowsInTheLowColourAndTheWireGridInBlue) {
  heightmap.assign(249, 249, 1, 1, 90);
  minColor = {200, 40, 10};
  const Pixels shaded = Frame();
  EXPECT_TRUE(IsSky(shaded, 0, h() - 1));
  EXPECT_GT(Surface(shaded, -1), 5000);
  EXPECT_EQ(Surface(shaded, (200 << 16) + (40 << 8) + 10), 0);
  renderMode = 1;
  const Pixels wire = Frame();
  EXPECT_GT(Surface(wire, -1), 2000);
  EXPECT_EQ(Surface(wire, 0x0000ff), 0);
}

// Seen from the default camera, the near right corner of the map, at X = Z =
// 124/124.5 and Y = 0, projects through a 60 degree perspective of aspect w/h.
TEST_F(PreviewPicture, PerspectiveFollowsTheWindowShape) {
  heightmap.assign(249, 249, 1, 1, 90);
  const double f = 1 / std::tan(M_PI / 6), corner = 124 / 124.5;
  const double depth = 2.7 - corner, aspect = double(w()) / h();
  const double ndc = f / aspect * corner / depth;
  int rightmost = 0;
  Surface(Frame(), -1, &rightmost);
  EXPECT_NEAR(rightmost, (ndc + 1) / 2 * w(), 4);  // the corner is a tip
}

// A plateau at 200 over one low corner stands at Y = 200 / 255 * sy, and is
// coloured by the ramp at t = Y: A + B t + C t^2 with A = min, B = 4 mean +
// max + min, C = max - A - B.
TEST_F(PreviewPicture, SurfaceColourFollowsTheRampAtItsHeight) {
  heightmap.assign(249, 249, 1, 1, 200)(248, 248) = 0;
  minColor = {40, 0, 0}, meanColor = {0, 60, 0}, maxColor = {0, 0, 90};
  struct { int wide, high; } rows[] = {{1024, 255}, {4096, 255}, {2048, 510}};
  for (auto row : rows) {
    maxWideness = row.wide, maxHeight = row.high;
    const float t = 200 / 255.0f * 2.0f * row.high / row.wide;
    float c[3];
    const Rgb lo = minColor, mid = meanColor, hi = maxColor;
    const float m[3] = {lo.r / 255.f, lo.g / 255.f, lo.b / 255.f}, a[3] = {mid.r / 255.f, mid.g / 255.f, mid.b / 255.f},
                M[3] = {hi.r / 255.f, hi.g / 255.f, hi.b / 255.f};
    for (int k = 0; k < 3; ++k) {
      const float B = 4 * a[k] + M[k] + m[k], C = M[k] - m[k] - B;
      c[k] = m[k] + B * t + C * t * t;
    }
    const int want = Packed(c), got = At(Frame(), w() / 2, 62);  // on the plateau in all three
    for (int shift : {16, 8, 0})
      EXPECT_NEAR((got >> shift) & 255, (want >> shift) & 255, 2) << row.wide << " " << row.high;
  }
  maxWideness = 1024, maxHeight = 255;
}

// The view turns with a drag in progress, before the button is released.
TEST_F(PreviewPicture, ADragInProgressTurnsTheView) {
  heightmap.assign(249, 249, 1, 1, 0);
  cimg_forXY(heightmap, x, y) heightmap(x, y) = static_cast<unsigned char>(x < 60 ? 250 : y / 2);
  yaw = 90, pitch = 20;
  const Pixels turned = Frame();
  yaw = 30, yawDrag = 60, pitch = 5, pitchDrag = 15;
  EXPECT_EQ(Frame(), turned);
  yawDrag = pitchDrag = 0;
  EXPECT_NE(Frame(), turned);
}
