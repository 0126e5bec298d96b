// Dropping an image file on the control window or the preview loads it, as
// "Load Image" does with a file picked in its dialog.
#pragma once

#include <string>

class Fl_Widget;

// The one local file a drop names, from the text the toolkit hands over:
// names or URIs, one a line ("file:///maps/a%20b.png" on X11, "C:\maps\a.png"
// on Windows). False, with the reason for the user, for anything else.
bool DroppedFilePath(const std::string& text, std::string* path, std::string* why);

// For a window's handle(): takes the drag events for target and, for the paste
// that delivers a drop, loads the file once the drop is over. Returns 0 for
// every other event, which the window handles as before.
int HandleFileDrop(Fl_Widget* target, int event);
