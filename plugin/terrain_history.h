// Undo and redo of the terrain, and whether the terrain has changed since it
// was last exported or passed to the host. Every change of the heightmap goes
// through here: commands wrap their change in BeginChange/EndChange, the
// editor's pump reports a stroke pass by pass. The history lives as long as
// the module, so a run can undo back into the map the previous run left.
#pragma once

#include <cstddef>

// Whole maps are kept, one per step, at most this many in undo and redo
// together; the oldest step goes first. With maps of at most 249 x 249
// samples that is at most kHistorySteps x 62,001 bytes, plus one map held
// while a change is open.
constexpr int kHistorySteps = 128;

// Remembers the map as it is now; an open change or stroke is closed first.
void BeginChange();
// Closes the change BeginChange opened: one undo step if the map differs,
// and the redo steps are dropped. Nothing if no change is open.
void EndChange();

// One pass of a drawing tool: the first pass of a stroke remembers the map.
void StrokePass();
// The button is up (or the run ends): the stroke, if any, becomes one step.
void FinishStroke();
// Whether a stroke has begun and not yet finished.
bool StrokeInProgress();

// Put back the map before the last step (after the last undone step) with its
// size; mapSize, the "Map Dimensions:" choice and the editor window follow the
// size, and both views are refreshed. Nothing if there is no such step.
void Undo();
void Redo();

// Whether the terrain differs from what it was when MarkSaved was last called
// (at the start of the run, after an export or a hand-off). Closes an open
// stroke first.
bool TerrainUnsaved();
void MarkSaved();

// For tests and measurements: steps held and bytes of samples they hold.
int UndoSteps();
int RedoSteps();
std::size_t HistoryBytes();
