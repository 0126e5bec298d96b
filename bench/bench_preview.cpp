// Frame time of the preview for the largest map, the array path against one
// glBegin/glEnd with a glColor3f/glVertex3f per vertex, in the same run.
// Needs a display (scripts/with-display.sh gives a virtual one).
#include <FL/Fl.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "plugin/plugin_state.h"
#include "preview/draw_terrain.h"

namespace {

// Rolling hills with random roughness, 249 x 249, as "Generate Map" gives.
Heightmap BenchTerrain() {
  Heightmap map(249, 249, 1, 1, 0);
  std::mt19937 random(7);
  std::uniform_int_distribution<int> rough(0, 30);
  cimg_forXY(map, x, y) {
    const double hills = 110 + 70 * std::sin(x * 0.045) * std::cos(y * 0.06) + 40 * std::sin((x + y) * 0.02);
    map(x, y) = (unsigned char)(hills + rough(random));
  }
  return map;
}

// A window of the preview's size; the benchmark draws into it itself.
class BenchWindow : public Fl_Gl_Window {
 public:
  using Fl_Gl_Window::Fl_Gl_Window;
  void draw() override {}
};

void MakeContextCurrent() {
  static Fl_Gl_Window* window = [] {
    auto* w = new BenchWindow(0, 0, 300, 300, "Landscape 3D View");
    w->show();
    for (int i = 0; i < 20; ++i) Fl::wait(0.01);
    return w;
  }();
  window->make_current();
}

// One frame as the preview draws it, finished before the clock stops.
void Frame(void (*drawTerrain)()) {
  glViewport(0, 0, 300, 300);
  glClearColor(0.6f, 0.6f, 0.9f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(60.0, 1.0, 0.1, 1000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(camX, camY, camZ);
  glRotatef(yaw, 0, 1, 0);
  glRotatef(pitch, 1, 0, 0);
  drawTerrain();
  glFinish();
}

void BM_PreviewFrame(benchmark::State& state, int mode, void (*drawTerrain)()) {
  MakeContextCurrent();
  heightmap = BenchTerrain();
  renderMode = mode;
  yaw = 30, pitch = 20;
  for (auto _ : state) Frame(drawTerrain);
  state.SetLabel(mode ? "wireframe" : "shaded");
}

void BM_BuildTerrainMesh(benchmark::State& state, int mode) {
  const Heightmap map = BenchTerrain();
  TerrainMesh mesh;
  for (auto _ : state) {
    BuildTerrainMesh(map, mode, ComputeTerrainScale(1024, 255),
                     MakeColorRamp(minColor, meanColor, maxColor), &mesh);
    benchmark::DoNotOptimize(mesh.position.data());
  }
}

}  // namespace

// Real time: Mesa rasterises on its own threads.
BENCHMARK_CAPTURE(BM_PreviewFrame, shaded_arrays, 0, DrawTerrain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PreviewFrame, shaded_reference, 0, DrawTerrainImmediate)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PreviewFrame, wire_arrays, 1, DrawTerrain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PreviewFrame, wire_reference, 1, DrawTerrainImmediate)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_BuildTerrainMesh, shaded, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildTerrainMesh, wire, 1)->Unit(benchmark::kMillisecond);
