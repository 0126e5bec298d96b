// Frame time of the preview for the largest map, the array path against one
// glBegin/glEnd with a glColor3f/glVertex3f per vertex, in the same run.
// Needs a display (scripts/with-display.sh gives a virtual one).
#include <FL/Fl.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "bench/terrain_reference.h"
#include "plugin/plugin_state.h"
#include "preview/draw_terrain.h"

namespace {

// Rolling hills with random roughness, 249 x 249, as "Generate Map" gives.
Heightmap BenchTerrain() {
  Heightmap map(249, 249, 1, 1, 0);
  std::mt19937 random(7);
  std::uniform_int_distribution<int> rough(0, 30);
  cimg_forXY(map, x, y) {
    const double hills =
        110 + 70 * std::sin(x * 0.045) * std::cos(y * 0.06) + 40 * std::sin((x + y) * 0.02);
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

double ProcessCpuMs() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct FrameTimes {
  std::vector<double> wall, cpu;  // ms per frame; cpu counts Mesa's threads too
  void Measure(void (*drawTerrain)()) {
    const double cpuStart = ProcessCpuMs();
    const auto start = std::chrono::steady_clock::now();
    Frame(drawTerrain);
    wall.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
    cpu.push_back(ProcessCpuMs() - cpuStart);
  }
};

double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

// Both paths in every iteration, in alternating order, so that the load of a
// shared machine weighs on them alike; medians of the single frames. On a
// busy machine the CPU time of the process (all threads) is the steadier of
// the two measures.
void BM_PreviewFrame(benchmark::State& state, int mode) {
  MakeContextCurrent();
  heightmap = BenchTerrain();
  renderMode = mode;
  yaw = 30, pitch = 20;
  FrameTimes arrays, immediate;
  bool arraysFirst = true;
  for (auto _ : state) {
    if (arraysFirst) arrays.Measure(DrawTerrain);
    immediate.Measure(reference::DrawTerrainImmediate);
    if (!arraysFirst) arrays.Measure(DrawTerrain);
    arraysFirst = !arraysFirst;
  }
  state.counters["arrays_ms"] = Median(arrays.wall);
  state.counters["reference_ms"] = Median(immediate.wall);
  state.counters["arrays_cpu_ms"] = Median(arrays.cpu);
  state.counters["reference_cpu_ms"] = Median(immediate.cpu);
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
BENCHMARK_CAPTURE(BM_PreviewFrame, shaded, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2);
BENCHMARK_CAPTURE(BM_PreviewFrame, wireframe, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2);
BENCHMARK_CAPTURE(BM_BuildTerrainMesh, shaded, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildTerrainMesh, wireframe, 1)->Unit(benchmark::kMillisecond);
