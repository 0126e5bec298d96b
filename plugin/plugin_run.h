// One plug-in run: start-up terrain, the three windows, the toolkit loop until
// the user ends the run, tear-down.
#pragma once

#include <string>

// Performs one run; returns at once (doing nothing) if a run is in progress.
void RunPlugin();

// Tells the user why a run failed (why: one sentence, no line break): one line
// on standard error always, and a
// "Warning" box when showBox (a box needs the screen the run may lack).
void ReportRunFailure(const std::string& why, bool showBox);

// The text of a FreeImage message box: "%d : %s", cut to fit 1024 bytes.
std::string FormatFreeImageMessage(int format, const char* message);

// Shows a FreeImage message as a "Warning" box; installed for the run.
void FreeImageMessageHandler(int format, const char* message);
