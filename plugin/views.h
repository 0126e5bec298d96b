// Refreshing and placing the run's windows after the heightmap, a view setting
// or the editor's size changed. Each does nothing outside a run.
#pragma once

#include "platform/window_frame.h"

// Shows the heightmap in the editor window.
void RefreshEditor();
// Asks the 3D preview to redraw.
void RefreshPreview();
// Resizes the editor window to w x h pixels, redraws it and places the run's
// windows again.
void ResizeEditor(int w, int h);

// Positions for the frames of the editor, the preview and the control window
// (boxes[0..2], frame sizes given in w and h) inside `area`, none overlapping,
// their tops aligned: all three in a row when they fit, else the preview above
// the control window in a column right of the editor. When neither fits it
// returns false and leaves the row moved into the area as far as each frame
// allows, so that every title bar and first row of controls stays on it.
bool PlaceSideBySide(const WindowBox& area, WindowBox boxes[3]);

// The frames' next places after the editor's frame changed size: `now` holds
// the current frames with the editor's new size, `keep[i]` is set for a window
// the user has moved, which stays where it is. The editor goes to its place in
// the arrangement. Unless `fresh`, the other two stay where they are while
// they fit the area without overlapping the editor or each other; otherwise
// they take their places in the arrangement. Returns PlaceSideBySide's answer.
bool ArrangeFrames(const WindowBox& area, const WindowBox now[3], const bool keep[3], bool fresh,
                   WindowBox want[3]);

// Places the run's three windows side by side within the screen's work area,
// leaving alone any window the user has moved since it was last placed.
// `fresh` forgets earlier placements (a new run). Once the window manager has
// framed the windows they are placed again by their frames.
void ArrangeRunWindows(bool fresh = false);

// Shows the editor window again after its close button, where it was.
void ShowEditorAgain();

// Whether the editor window, grown to w x h pixels, stays on the work area
// from where it is (and, while the plug-in places it, leaves room for the
// other two windows beside it).
bool EditorFits(int w, int h);
