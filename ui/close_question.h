// Closing the run asks first when the terrain was changed and neither
// exported nor passed to the host since; otherwise it closes at once.
#pragma once

class Fl_Widget;

// True when the run may close: nothing unsaved, or the user answered Yes.
bool CloseConfirmed();

// The window callback of the preview and the control window, which the
// toolkit calls for the title bar's close box and for Escape: hides the
// window (ending the run) once the close is confirmed.
void CloseWindowCallback(Fl_Widget* w, void* data);
