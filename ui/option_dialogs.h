// The five option dialogs of the generators and of the erosion and dilation
// filters. Each opens non-modal with the current parameters; its "Apply"
// stores them into the plug-in state and closes it, while the close box and
// Escape close it storing nothing.
#pragma once

class Fl_Double_Window;

// Each returns the dialog's window, which lives until the dialog is closed
// (do not keep it). Opening a dialog that is already open replaces it.
Fl_Double_Window* showPlasmaOptions();
Fl_Double_Window* showNoiseOptions();
// slot: 0 for the first filter slot, 1 for the second; the dialog's Apply
// stores into that slot.
Fl_Double_Window* showErodeOptions(int slot);
Fl_Double_Window* showDilateOptions(int slot);
Fl_Double_Window* showMorviGenOptions();
