// Refreshing and placing the run's windows after the heightmap, a view setting
// or the editor's size changed. Each does nothing outside a run.
#pragma once

// Shows the heightmap in the editor window.
void RefreshEditor();
// Asks the 3D preview to redraw.
void RefreshPreview();
// Resizes the editor window to w x h pixels, redraws it and places the run's
// windows again.
void ResizeEditor(int w, int h);

struct WindowBox {
  int x, y, w, h;
};

// Positions for the editor, the preview and the control window (boxes[0..2],
// sizes given in w and h) inside `area`, none overlapping: all three in a row
// when they fit, else the preview above the control window in a column right
// of the editor. Returns false, leaving the row arrangement, when neither fits.
bool PlaceSideBySide(const WindowBox& area, WindowBox boxes[3]);

// Places the run's three windows side by side within the screen's work area,
// leaving alone any window the user has moved since it was last placed.
// `fresh` forgets earlier placements (a new run).
void ArrangeRunWindows(bool fresh = false);

// Whether the editor window, grown to w x h pixels, stays on the work area
// from where it is (and, while the plug-in places it, leaves room for the
// other two windows beside it).
bool EditorFits(int w, int h);
