// The editor's pump: polls the "Heightmap" window, services the deferred
// requests, shows the map with the brush and applies the current tool, and
// ends the run when the toolkit windows go away.
#pragma once

// One pass of the pump; the argument is unused. Safe with any of the run's
// windows missing.
void EditorIdle(void* data);

// Starts and stops calling EditorIdle from the toolkit loop for the run, about
// 60 passes a second: a held tool then acts at the same speed on every machine
// and an idle run leaves the processor alone.
void StartEditorPump();
void StopEditorPump();
