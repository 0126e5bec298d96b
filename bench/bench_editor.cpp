// The editor's per-pass work: one pump pass on a 249 x 249 map, and each tool
// once at the largest brush (size 20, a 41 x 41 square).
#include <FL/Fl.H>
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include "editor/drawing_tools.h"
#include "editor/editor_idle.h"
#include "plugin/plugin_state.h"
#include "plugin/recovery.h"
#include "preview/my_gl_win.h"
#include "ui/control_window.h"

namespace {

const char* const kToolNames[] = {"FixDraw", "Mountain", "Depression", "Noise", "Blur", "Paint"};

Heightmap RandomMap() {
  Heightmap map(249, 249, 1, 1, 0);
  return map.rand(0, 255);
}

// The three run windows, shown, as a run would have them.
struct RunWindows {
  RunWindows() {
    heightmap = RandomMap();
    editorDisplay = new cimg_library::CImgDisplay(heightmap, "Heightmap", 1, false, false);
    previewWindow = new MyGlWin(0, 0, 300, 300, "Landscape 3D View");
    controlWindow = new ControlWindow();
    controlWindow->show();
    previewWindow->show();
    editorDisplay->move(700, 400);
    Fl::check();
  }
  ~RunWindows() {
    delete editorDisplay;
    delete previewWindow;
    delete controlWindow;
    editorDisplay = nullptr;
    previewWindow = nullptr;
    controlWindow = nullptr;
  }
};

// state.range(0): the tool; with a tool the left button is held over the map.
void BM_EditorPass(benchmark::State& state) {
  RunWindows windows;
  currentTool = static_cast<int>(state.range(0));
  brushSize = 20;
  editorDisplay->set_mouse(124, 124);
  if (currentTool != kFixDraw) editorDisplay->set_button(1);
  // Noise Zone keeps changing the map however long it is held.
  for (auto _ : state) EditorIdle(nullptr);
  state.SetLabel(kToolNames[currentTool]);
}
BENCHMARK(BM_EditorPass)->Arg(kFixDraw)->Arg(kNoiseZone)->Unit(benchmark::kMicrosecond);

// Painting in short strokes (the button comes up every tenth pass), with the
// recovery copy brought up to date every 30th pass or never (state.range(0)).
// At 60 passes a second that is twice a second, six times as often as a run
// does; each update after a stroke writes the whole 249 x 249 copy.
void BM_PaintingPass(benchmark::State& state) {
  char folder[] = "/tmp/relievo-bench-state-XXXXXX";
  if (!mkdtemp(folder)) return state.SkipWithError("no temporary folder");
  setenv("XDG_STATE_HOME", folder, 1);
  const bool copies = state.range(0) != 0;
  RunWindows windows;
  SetRecoveryPeriod(0);
  StartRecovery();
  currentTool = kCreateMountain;
  brushSize = 5;
  editorDisplay->set_mouse(124, 124);
  long pass = 0;
  for (auto _ : state) {
    editorDisplay->set_button(++pass % 10 == 0 ? 0 : 1);
    EditorIdle(nullptr);
    if (copies && pass % 30 == 0) UpdateRecoveryCopy();
  }
  EndRecovery(true);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(copies ? "copies every 30 passes" : "no copies");
}
BENCHMARK(BM_PaintingPass)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ApplyTool(benchmark::State& state) {
  const int tool = static_cast<int>(state.range(0));
  const Heightmap start = RandomMap();
  Heightmap map = start;
  const BrushRect rect = BrushRectAt(124, 124, 20, map.width(), map.height());
  for (auto _ : state) {
    ApplyTool(map, tool, rect, 10);
    benchmark::DoNotOptimize(map.data());
  }
  state.SetLabel(kToolNames[tool]);
}
BENCHMARK(BM_ApplyTool)
    ->DenseRange(kCreateMountain, kPaintPlainBrush)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
