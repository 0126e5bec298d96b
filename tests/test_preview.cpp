#include <FL/Fl.H>
#include <FL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
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

TEST(TerrainGeometry, FlatMapLiesAtZeroInTheLowColour) {
  const float low[3] = {10 / 255.0f, 200 / 255.0f, 30 / 255.0f};
  for (int value : {0, 77, 255}) {
    TerrainMesh m = Mesh(Heightmap(6, 6, 1, 1, value), 0, MakeColorRamp({10, 200, 30}, {1, 2, 3}, {9, 9, 9}));
    for (size_t i = 0; i < m.position.size(); ++i)
      ASSERT_FLOAT_EQ(i % 3 == 1 ? m.position[i] : m.color[i] - low[i % 3], 0.0f) << value;
  }
}

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
  PreviewPicture() : MyGlWin(0, 0, 300, 300, "Landscape 3D View") {
    show();
    wait_for_expose();
  }
  ~PreviewPicture() override { heightmap = map_, renderMode = 0, minColor = {0, 0, 0}, yaw = pitch = 0; }
  void TestBody() override {}
  Pixels Frame() {
    make_current();
    draw();
    return Read();
  }
  // After a Frame(): the camera as plain GL calls, then the surface one
  // vertex at a time.
  Pixels ReferenceFrame() {
    make_current();
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 1.0, 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(camX, camY, camZ);
    glRotatef(yaw, 0, 1, 0);
    glRotatef(pitch, 1, 0, 0);
    DrawTerrainImmediate();
    return Read();
  }
  Pixels Read() {
    Pixels p(300 * 300 * 3);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 300, 300, GL_RGB, GL_UNSIGNED_BYTE, p.data());
    return p;
  }
  // Counts the pixels other than the background (0.6, 0.6, 0.9); fails on any
  // that is not `*only`.
  static int SurfacePixels(const Pixels& frame, const Rgb* only = nullptr) {
    int surface = 0;
    for (size_t i = 0; i < frame.size(); i += 3) {
      if (frame[i] == 153 && frame[i + 1] == 153 && std::abs(frame[i + 2] - 229) <= 1) continue;
      ++surface;
      if (only && !HasFailure()) {
        EXPECT_EQ(Rgb2Int(&frame[i]), (only->r << 16) + (only->g << 8) + only->b) << "pixel " << i / 3;
      }
    }
    return surface;
  }
  static int Rgb2Int(const unsigned char* p) { return (p[0] << 16) + (p[1] << 8) + p[2]; }
  Heightmap map_ = heightmap;
};

}  // namespace

TEST_F(PreviewPicture, FlatMapShowsInTheLowColourAndTheWireGridInBlue) {
  heightmap.assign(249, 249, 1, 1, 90);
  minColor = {200, 40, 10};
  const Pixels shaded = Frame();
  EXPECT_EQ(SurfacePixels(Pixels(shaded.end() - 300 * 3 * 100, shaded.end())), 0);  // the sky
  EXPECT_GT(SurfacePixels(shaded, &minColor), 5000);
  renderMode = 1;
  const Rgb blue = {0, 0, 255};
  EXPECT_GT(SurfacePixels(Frame(), &blue), 2000);
}

// Mesa rasterises a batch slightly differently depending on where it splits
// it, and immediate mode splits wherever its vertex buffer happens to fill, so
// one-vertex-at-a-time frames of a shaded surface differ from each other by a
// few silhouette pixels. The array picture must be exactly the wire grid, and
// for the shaded surface as close to every reference frame as those frames
// are to each other (quads split along the other diagonal differ in hundreds
// of pixels).
TEST_F(PreviewPicture, ArraysDrawTheSamePictureAsOneVertexAtATime) {
  heightmap = TestTerrain(249);
  auto differing = [](const Pixels& a, const Pixels& b) {
    int count = 0;
    for (size_t i = 0; i < a.size(); i += 3) count += Rgb2Int(&a[i]) != Rgb2Int(&b[i]);
    return count;
  };
  for (float turn : {0.0f, 35.0f, 200.0f}) {
    yaw = turn, pitch = turn / 5;
    for (int mode : {0, 1}) {
      renderMode = mode;
      const Pixels fast = Frame();
      std::vector<Pixels> reference;
      for (int k = 0; k < 4; ++k) reference.push_back(ReferenceFrame());
      int spread = 0, nearest = 1 << 30;
      for (const Pixels& r : reference) {
        for (const Pixels& other : reference) spread = std::max(spread, differing(r, other));
        nearest = std::min(nearest, differing(fast, r));
      }
      EXPECT_LE(nearest, mode ? 0 : std::max(spread, 30)) << "mode " << mode << ", yaw " << turn;
      EXPECT_GT(SurfacePixels(fast), 3000);
    }
  }
}
