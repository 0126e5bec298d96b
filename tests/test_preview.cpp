#include <FL/Fl.H>
#include <FL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <utility>

#include "plugin/plugin_state.h"
#include "preview/draw_terrain.h"
#include "preview/my_gl_win.h"

namespace {

const ColorRamp kDefaultRamp = MakeColorRamp({0, 0, 0}, {127, 127, 127}, {255, 255, 255});

TerrainMesh Mesh(const Heightmap& map, int mode, ColorRamp ramp = kDefaultRamp) {
  TerrainMesh mesh;
  BuildTerrainMesh(map, mode, ComputeTerrainScale(1024, 255), ramp, &mesh);
  return mesh;
}

// The sample (c, r) that vertex v of an n x n map stands for, from X and Z (sx = 1).
std::pair<int, int> SampleAt(const TerrainMesh& m, size_t v, int n) {
  auto index = [&](float coord) { return int(std::lround(coord * (n / 2.0) + n / 2)); };
  return {index(m.position[v * 3]), index(m.position[v * 3 + 2])};
}

// Hills, ridges and (if rough) spikes, the same on every call.
Heightmap TestTerrain(int n, bool rough = true) {
  Heightmap map(n, n, 1, 1, 0);
  cimg_forXY(map, x, y) {
    double h = 128 + 60 * std::sin(x * 0.05) * std::cos(y * 0.07) + 40 * std::sin((x + 2 * y) * 0.02);
    map(x, y) = (unsigned char)(h + (rough ? (x * 7919 + y * 104729) % 23 : 0));
  }
  return map;
}

}  // namespace

TEST(TerrainGeometry, FlatMapLiesAtZeroInTheLowColour) {
  const Rgb low = {10, 200, 30};
  for (int value : {0, 77, 255}) {
    TerrainMesh m = Mesh(Heightmap(6, 6, 1, 1, value), 0, MakeColorRamp(low, {1, 2, 3}, {9, 9, 9}));
    for (size_t i = 0; i < m.position.size(); i += 3) ASSERT_EQ(m.position[i + 1], 0.0f);
    for (size_t i = 0; i < m.color.size(); i += 3) {
      ASSERT_FLOAT_EQ(m.color[i], 10 / 255.0f);
      ASSERT_FLOAT_EQ(m.color[i + 1], 200 / 255.0f);
      ASSERT_FLOAT_EQ(m.color[i + 2], 30 / 255.0f);
    }
  }
}

TEST(TerrainGeometry, LowestSampleInTheLastRowOrColumnIsAtZero) {
  for (auto [c, r] : {std::pair{4, 2}, std::pair{2, 4}, std::pair{4, 4}}) {
    Heightmap map(5, 5, 1, 1, 100);
    map(c, r) = 20;
    TerrainMesh m = Mesh(map, 0);
    for (size_t v = 0; v < m.position.size() / 3; ++v) {
      const float y = SampleAt(m, v, 5) == std::pair{c, r} ? 0 : 80 / 255.0f * 0.498047f;
      ASSERT_NEAR(m.position[v * 3 + 1], y, 1e-6) << "vertex " << v;
    }
  }
}

TEST(TerrainGeometry, ProportionsFollowTheExportSettings) {
  struct { int wide, high; float sx, sy; } rows[] = {
      {1024, 255, 1, 0.498047f}, {256, 255, 1, 1.992188f}, {256, 1020, 0.25098f, 2},
      {4096, 255, 1, 0.124512f}, {256, 510, 0.501961f, 2}, {255, 255, 1, 2}};
  for (auto row : rows) {
    TerrainScale s = ComputeTerrainScale(row.wide, row.high);
    EXPECT_NEAR(s.sx, row.sx, 1e-5) << row.wide << " x " << row.high;
    EXPECT_NEAR(s.sy, row.sy, 1e-5) << row.wide << " x " << row.high;
  }
  // Odd sides sit half a cell off centre: 249 columns span -124..124 / 124.5.
  TerrainMesh m = Mesh(Heightmap(249, 249, 1, 1, 0), 1);
  EXPECT_FLOAT_EQ(m.position[2 * 3], -124 / 124.5f);  // sample (0, 0)
  EXPECT_FLOAT_EQ(m.position[m.position.size() - 3], 124 / 124.5f);  // sample (248, 248)
}

TEST(TerrainGeometry, DefaultRampRisesFromBlackAndTurnsNegativeAboveOne) {
  struct { float t, grey; } rows[] = {{0, 0}, {0.5f, 0.998039f}, {1, 1}, {2, -1.984314f}};
  for (auto row : rows) {
    float rgb[3];
    kDefaultRamp.At(row.t, rgb);
    for (float v : rgb) EXPECT_NEAR(v, row.grey, 1e-5) << "t = " << row.t;
  }
}

TEST(TerrainGeometry, QuadsCoverEveryCellInDrawingOrder) {
  TerrainMesh m = Mesh(TestTerrain(4), 0);
  ASSERT_EQ(m.position.size(), 9u * 4 * 3);
  EXPECT_EQ(m.color.size(), m.position.size());
  // Row by row, column by column; each quad (c+1, r+1), (c+1, r), (c, r), (c, r+1).
  for (size_t v = 0; v < 36; ++v) {
    const int cell = int(v / 4), corner = int(v % 4);
    const int c = cell % 3 + (corner < 2), r = cell / 3 + (corner == 0 || corner == 3);
    ASSERT_EQ(SampleAt(m, v, 4), std::pair(c, r)) << "vertex " << v;
  }
}

TEST(TerrainGeometry, WireGridDrawsEveryEdgeAndClosesTheLastRow) {
  const unsigned n = 5;
  TerrainMesh m = Mesh(TestTerrain(n), 1);
  const size_t vertices = m.position.size() / 3;
  ASSERT_EQ(vertices, 2 * (3 * (n - 1) * (n - 1) + (n - 1)));
  EXPECT_TRUE(m.color.empty());
  std::set<std::pair<std::pair<int, int>, std::pair<int, int>>> edges;
  for (size_t v = 0; v < vertices; v += 2) {
    const auto ends = std::minmax({SampleAt(m, v, n), SampleAt(m, v + 1, n)});
    const auto [a, b] = ends;
    EXPECT_EQ(std::abs(a.first - b.first) + std::abs(a.second - b.second), 1) << "vertex " << v;
    edges.insert({a, b});
  }
  EXPECT_EQ(edges.size(), 2 * n * (n - 1));  // every grid edge
  for (int k = 0; k + 1 < int(n); ++k) {      // the closing row comes last
    const size_t v = vertices - 2 * (n - 1) + 2 * k;
    EXPECT_EQ(SampleAt(m, v, n), std::pair(k, int(n) - 1));
    EXPECT_EQ(SampleAt(m, v + 1, n), std::pair(k + 1, int(n) - 1));
  }
}

TEST(TerrainGeometry, MapsWithoutACellDrawNothing) {
  EXPECT_TRUE(Mesh(Heightmap(1, 1, 1, 1, 5), 0).position.empty());
  EXPECT_TRUE(Mesh(Heightmap(4, 3, 1, 1, 5), 1).position.empty());
}

namespace {

// Sets the event state the toolkit would have, then hands the event over.
int Send(MyGlWin& win, int event, int x, int y, int state, int button = 0) {
  Fl::e_x = x;
  Fl::e_y = y;
  Fl::e_state = state;
  Fl::e_keysym = FL_Button + button;
  return win.handle(event);
}

class PreviewCamera : public ::testing::Test {
 protected:
  void SetUp() override { yaw = pitch = yawDrag = pitchDrag = 0, camZ = -2.7f; }
  void TearDown() override { SetUp(); }
  void LeftDrag(int x0, int y0, int x1, int y1) {
    EXPECT_EQ(Send(win, FL_PUSH, x0, y0, FL_BUTTON1, 1), 1);
    EXPECT_EQ(Send(win, FL_DRAG, x1, y1, FL_BUTTON1), 1);
    EXPECT_EQ(Send(win, FL_RELEASE, x1, y1, 0, 1), 1);
  }
  MyGlWin win{0, 0, 300, 300, "Landscape 3D View"};
};

}  // namespace

TEST_F(PreviewCamera, LeftDragsTurnFromTheAnchorAndAccumulate) {
  Send(win, FL_PUSH, 100, 100, FL_BUTTON1, 1);
  Send(win, FL_DRAG, 110, 95, FL_BUTTON1);
  Send(win, FL_DRAG, 130, 90, FL_BUTTON1);  // replaces the drag, measured from the anchor
  EXPECT_EQ(yawDrag, 30);
  EXPECT_EQ(pitchDrag, -10);
  Send(win, FL_RELEASE, 130, 90, 0, 1);
  LeftDrag(50, 50, 60, 70);
  EXPECT_EQ(yaw, 40);
  EXPECT_EQ(pitch, 10);
  EXPECT_EQ(yawDrag + pitchDrag, 0);
  LeftDrag(7, 7, 7, 7);  // press and release without motion
  EXPECT_EQ(yaw, 40);
  EXPECT_EQ(pitch, 10);
}

TEST_F(PreviewCamera, LeftDragWithAModifierOrAnotherButtonDoesNothing) {
  for (int extra : {FL_SHIFT, FL_CTRL, FL_ALT, FL_CAPS_LOCK, FL_NUM_LOCK, FL_BUTTON3}) {
    Send(win, FL_PUSH, 100, 100, FL_BUTTON1 | extra, 1);
    EXPECT_EQ(Send(win, FL_DRAG, 150, 150, FL_BUTTON1 | extra), 0);
    EXPECT_EQ(Send(win, FL_RELEASE, 150, 150, extra, 1), 1);
  }
  EXPECT_EQ(yaw + pitch + camZ, -2.7f);
}

TEST_F(PreviewCamera, ZoomDragMovesAFixedStepPerEventAndTheWheelByItsDelta) {
  for (int button : {2, 3}) {
    const int state = button == 2 ? FL_BUTTON2 : FL_BUTTON3;
    camZ = 0;
    Send(win, FL_PUSH, 0, 100, state, button);
    Send(win, FL_DRAG, 0, 101, state);
    EXPECT_EQ(camZ, 0.5f);
    Send(win, FL_DRAG, 0, 201, state);
    EXPECT_EQ(camZ, 1.0f);
    Send(win, FL_DRAG, 40, 201, state);  // no vertical motion
    EXPECT_EQ(camZ, 1.0f);
    Send(win, FL_DRAG, 0, 0, state);
    EXPECT_EQ(camZ, 0.5f);
    yawDrag = 5;  // releasing another button folds nothing
    EXPECT_EQ(Send(win, FL_RELEASE, 0, 0, 0, button), 0);
    EXPECT_EQ(yaw, 0);
    yawDrag = 0;
  }
  Fl::e_dy = -3;
  EXPECT_EQ(win.handle(FL_MOUSEWHEEL), 1);
  EXPECT_EQ(camZ, -2.5f);
}

TEST_F(PreviewCamera, KeysAndButtonlessPressesAreNotConsumed) {
  for (int event : {FL_KEYBOARD, FL_KEYUP, FL_SHORTCUT, FL_FOCUS}) EXPECT_EQ(win.handle(event), 0);
  EXPECT_EQ(Send(win, FL_PUSH, 1, 1, 0), 0);
  EXPECT_EQ(Send(win, FL_DRAG, 1, 1, 0), 0);
}

namespace {

using Pixels = std::vector<unsigned char>;  // RGB rows, bottom first

class ShownPreview : public MyGlWin {
 public:
  ShownPreview() : MyGlWin(0, 0, 300, 300, "Landscape 3D View") {
    show();
    for (int i = 0; i < 20; ++i) Fl::wait(0.01);
  }
  Pixels Frame() {
    make_current();
    draw();
    return Read();
  }
  // The camera set up as a plain sequence of GL calls, then the surface sent
  // one vertex at a time: the picture the window must show.
  Pixels ReferenceFrame() {
    make_current();
    glViewport(0, 0, w(), h());
    glClearColor(0.6f, 0.6f, 0.9f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, w() / double(h()), 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(camX, camY, camZ);
    glRotatef(yaw + yawDrag, 0, 1, 0);
    glRotatef(pitch + pitchDrag, 1, 0, 0);
    DrawTerrainImmediate();
    return Read();
  }

 private:
  Pixels Read() {
    Pixels p(size_t(w()) * h() * 3);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w(), h(), GL_RGB, GL_UNSIGNED_BYTE, p.data());
    return p;
  }
};

const int kBackground[3] = {153, 153, 229};  // (0.6, 0.6, 0.9) in 8 bits, rounded either way

bool IsBackground(const unsigned char* p) {
  return p[0] == kBackground[0] && p[1] == kBackground[1] && std::abs(p[2] - kBackground[2]) <= 1;
}

// Counts the pixels that are not background; fails on any not in `*only`.
int SurfacePixels(const Pixels& frame, const Rgb* only = nullptr) {
  int surface = 0;
  for (size_t i = 0; i < frame.size(); i += 3) {
    if (IsBackground(&frame[i])) continue;
    ++surface;
    if (!only) continue;
    const Rgb allowed = *only;
    EXPECT_EQ(frame[i] * 65536 + frame[i + 1] * 256 + frame[i + 2],
              allowed.r * 65536 + allowed.g * 256 + allowed.b) << "pixel " << i / 3;
    if (::testing::Test::HasFailure()) break;
  }
  return surface;
}

struct SavedView {
  Heightmap map = heightmap;
  int mode = renderMode;
  Rgb low = minColor;
  float turn = yaw, tilt = pitch;
  ~SavedView() { heightmap = map, renderMode = mode, minColor = low, yaw = turn, pitch = tilt; }
};

}  // namespace

TEST(PreviewPicture, FlatMapShowsInTheLowColourAndTheWireGridInBlue) {
  SavedView saved;
  ShownPreview win;
  heightmap.assign(249, 249, 1, 1, 90);
  minColor = {200, 40, 10};
  renderMode = 0;
  Pixels shaded = win.Frame();
  EXPECT_TRUE(IsBackground(&shaded[(299 * 300 + 150) * 3]));  // above the horizon
  EXPECT_GT(SurfacePixels(shaded, &minColor), 5000);
  renderMode = 1;
  const Rgb blue = {0, 0, 255};
  EXPECT_GT(SurfacePixels(win.Frame(), &blue), 2000);
}

// Mesa rasterises a batch slightly differently depending on where it splits
// it, and immediate mode splits wherever its vertex buffer happens to fill, so
// one-vertex-at-a-time frames of a shaded surface differ from each other by a
// few silhouette pixels. The array picture must be exactly the wire grid, and
// for the shaded surface as close to every reference frame as those frames
// are to each other (quads split along the other diagonal differ in hundreds
// of pixels).
TEST(PreviewPicture, ArraysDrawTheSamePictureAsOneVertexAtATime) {
  SavedView saved;
  ShownPreview win;
  heightmap = TestTerrain(249, false);
  auto differing = [](const Pixels& a, const Pixels& b) {
    int count = 0;
    for (size_t i = 0; i < a.size(); i += 3) count += !std::equal(&a[i], &a[i] + 3, &b[i]);
    return count;
  };
  for (float turn : {0.0f, 35.0f, 200.0f}) {
    yaw = turn, pitch = turn / 5;
    for (int mode : {0, 1}) {
      renderMode = mode;
      const Pixels fast = win.Frame();
      std::vector<Pixels> reference;
      for (int k = 0; k < 4; ++k) reference.push_back(win.ReferenceFrame());
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
