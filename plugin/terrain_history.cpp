#include "plugin/terrain_history.h"

#include <FL/Fl_Choice.H>

#include <deque>
#include <utility>

#include "plugin/plugin_state.h"
#include "plugin/views.h"
#include "ui/control_window.h"

namespace {

// A map as it was, with the number that names that state of the terrain, so
// that undoing back to the exported map counts as saved again.
struct Snapshot {
  Heightmap map;
  unsigned long state = 0;
};

std::deque<Snapshot> undoSteps;  // back: the map before the latest step
std::deque<Snapshot> redoSteps;  // back: the map the next redo brings back
Snapshot before;                 // the map before the open change
bool changeOpen = false;
bool strokeOpen = false;
unsigned long currentState = 0;
unsigned long savedState = 0;
unsigned long lastState = 0;

// CImg's == compares the samples only, so a 2 x 8 map would equal a 4 x 4 one.
bool SameMap(const Heightmap& a, const Heightmap& b) { return a.is_sameXYZC(b) && a == b; }

Snapshot TakeCurrent() {
  Snapshot s;
  s.map.swap(heightmap);
  s.state = currentState;
  return s;
}

// The size-dependent state follows the map as the size-changing commands
// leave it: one pixel per sample, the choice on the map's size.
void ShowRestored(bool sizeChanged) {
  mapSize = heightmap.width();
  if (sizeChanged) {
    displayZoom = 1;
    ResizeEditor(heightmap.width(), heightmap.height());
    const int index = MapSizeIndex(mapSize);
    if (controlWindow && controlWindow->mapDimensionsChoice && index >= 0)
      controlWindow->mapDimensionsChoice->value(index);
  }
  RefreshEditor();
  RefreshPreview();
}

// Moves the current map onto `to` and brings back the latest map of `from`.
void Travel(std::deque<Snapshot>& from, std::deque<Snapshot>& to) {
  FinishStroke();
  if (from.empty()) return;
  Snapshot back = std::move(from.back());
  from.pop_back();
  const bool sizeChanged = !back.map.is_sameXY(heightmap);
  to.push_back(TakeCurrent());
  heightmap.swap(back.map);
  currentState = back.state;
  ShowRestored(sizeChanged);
}

}  // namespace

void BeginChange() {
  FinishStroke();
  EndChange();
  before.map = heightmap;
  before.state = currentState;
  changeOpen = true;
}

void EndChange() {
  if (!changeOpen) return;
  changeOpen = strokeOpen = false;
  if (SameMap(before.map, heightmap)) {
    before.map.assign();
    return;
  }
  redoSteps.clear();
  undoSteps.push_back(std::move(before));
  before = Snapshot();
  if (undoSteps.size() > static_cast<std::size_t>(kHistorySteps)) undoSteps.pop_front();
  currentState = ++lastState;
}

void StrokePass() {
  if (strokeOpen) return;
  BeginChange();
  strokeOpen = true;
}

void FinishStroke() {
  if (strokeOpen) EndChange();
}

bool StrokeInProgress() { return strokeOpen; }

void Undo() { Travel(undoSteps, redoSteps); }

void Redo() { Travel(redoSteps, undoSteps); }

bool TerrainUnsaved() {
  FinishStroke();
  return currentState != savedState;
}

void MarkSaved() { savedState = currentState; }

int UndoSteps() { return static_cast<int>(undoSteps.size()); }

int RedoSteps() { return static_cast<int>(redoSteps.size()); }

std::size_t HistoryBytes() {
  std::size_t bytes = before.map.size();
  for (const Snapshot& s : undoSteps) bytes += s.map.size();
  for (const Snapshot& s : redoSteps) bytes += s.map.size();
  return bytes;
}
