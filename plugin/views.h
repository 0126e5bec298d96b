// Refreshing the run's two views after the heightmap or a view setting changed.
// Each does nothing outside a run (no window to refresh).
#pragma once

// Shows the heightmap in the editor window.
void RefreshEditor();
// Asks the 3D preview to redraw.
void RefreshPreview();
// Resizes the editor window to w x h pixels and redraws it.
void ResizeEditor(int w, int h);
