// The keys of the terrain history in all three windows: Ctrl+Z undoes,
// Ctrl+Y and Ctrl+Shift+Z redo. The toolkit's windows deliver them as
// shortcuts; the editor window is polled by the editor's pump.
#pragma once

// Acts on the history keys the editor window recorded since the last call,
// and forgets them. Nothing outside a run, nor while a modal box is open.
void PollEditorHistoryKeys();

// The toolkit side, for the length of a run; installing twice is harmless.
void InstallHistoryShortcuts();
void RemoveHistoryShortcuts();
