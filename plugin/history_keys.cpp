#include "plugin/history_keys.h"

#include <FL/Fl.H>

#include "plugin/plugin_state.h"
#include "plugin/terrain_history.h"

namespace {

using cimg_library::CImgDisplay;
namespace cimg = cimg_library::cimg;

// Letters arrive as lower or upper case key symbols depending on Shift and
// Caps Lock (X11) or as upper-case virtual keys (Win32).
bool IsLetter(unsigned int key, char upper) {
  return key == static_cast<unsigned int>(upper) || key == static_cast<unsigned int>(upper + 32);
}
bool IsCtrl(unsigned int key) { return key == cimg::keyCTRLLEFT || key == cimg::keyCTRLRIGHT; }
bool IsShift(unsigned int key) { return key == cimg::keySHIFTLEFT || key == cimg::keySHIFTRIGHT; }

// Only the toolkit's own windows of the run: a modal box or the colour
// chooser keeps its keys.
int HistoryShortcut(int event) {
  if (event != FL_SHORTCUT || Fl::modal() || !(Fl::event_state() & FL_CTRL)) return 0;
  const int key = Fl::event_key();
  if (key == 'z') {
    if (Fl::event_state() & FL_SHIFT)
      Redo();
    else
      Undo();
    return 1;
  }
  if (key == 'y') {
    Redo();
    return 1;
  }
  return 0;
}

}  // namespace

void PollEditorHistoryKeys() {
  // Ctrl held when the last pass looked: Ctrl pressed in one pass, Z and the
  // Ctrl release both in the next is still Ctrl+Z.
  static bool ctrlHeld = false;
  if (!editorDisplay) {
    ctrlHeld = false;
    return;
  }
  CImgDisplay& display = *editorDisplay;
  // The display keeps the keys pressed, newest first (0 marks a release).
  // Emptying it every pass leaves only what arrived since the last one, so a
  // quick Ctrl+Z, already released when the pass looks, still counts. The
  // display's event thread writes the same table, hence the lock.
  unsigned int keys[128];
  int oldest = -1;
  cimg_lock_display();
  for (int i = 0; i < 128; ++i) {
    keys[i] = display.key(i);
    display.key(i) = 0;
    if (keys[i]) oldest = i;
  }
  const bool ctrlNow = display.is_keyCTRLLEFT() || display.is_keyCTRLRIGHT();
  bool shift = display.is_keySHIFTLEFT() || display.is_keySHIFTRIGHT();
  cimg_unlock_display();
  // A modal box (a dialog, the close question) keeps the keys for itself, as
  // in the toolkit's windows: what was typed meanwhile is dropped, not kept
  // for after it closes.
  if (Fl::modal()) {
    ctrlHeld = false;
    return;
  }
  bool ctrl = ctrlNow || ctrlHeld;
  ctrlHeld = ctrlNow;
  for (int i = oldest; i >= 0; --i) {
    const unsigned int key = keys[i];
    if (IsCtrl(key)) ctrl = true;
    if (IsShift(key)) shift = true;
    if (!ctrl) continue;
    if (IsLetter(key, 'Z')) {
      if (shift)
        Redo();
      else
        Undo();
    } else if (IsLetter(key, 'Y')) {
      Redo();
    }
  }
}

void InstallHistoryShortcuts() {
  Fl::remove_handler(HistoryShortcut);
  Fl::add_handler(HistoryShortcut);
}

void RemoveHistoryShortcuts() { Fl::remove_handler(HistoryShortcut); }
