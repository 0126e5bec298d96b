// The editor's pump: polls the "Heightmap" window, services the deferred
// requests and ends the run when the toolkit windows go away.
#pragma once

// One pass of the pump; the argument is unused.
void EditorIdle(void* data);

// Starts and stops calling EditorIdle from the toolkit loop for the run.
void StartEditorPump();
void StopEditorPump();
