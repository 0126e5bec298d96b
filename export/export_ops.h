// The two ways a terrain leaves the plug-in. Both are called by the editor's
// pump, never directly from a button.
#pragma once

// Asks for a .qmf path and writes the map text (file form) there.
// 1 when written; 0 when cancelled or when the file could not be written
// (the user has then been told why).
int ExportToFile();

// Hands the map text (host form) to the host's callback in one synchronous call.
// 1 on success; 0 when no host is connected or the text could not be handed
// over (the user has been told).
int PassToHost();
