// The editor's history keys while a modal box is open.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include "plugin/history_keys.h"
#include "plugin/plugin_state.h"
#include "plugin/terrain_history.h"
#include "tests/support/screen_turn.h"

namespace {

namespace cimg = cimg_library::cimg;

// Ctrl+Z pressed and released over the editor, then the pump's look at its keys.
void CtrlZ() {
  editorDisplay->set_key(cimg::keyCTRLLEFT).set_key(cimg::keyZ);
  editorDisplay->set_key(cimg::keyZ, false).set_key(cimg::keyCTRLLEFT, false);
  PollEditorHistoryKeys();
}

// As in the toolkit's windows, the box keeps its keys: nothing undone, nor once it closes.
TEST(EditorHistoryKeys, CtrlZUnderAModalBoxIsDropped) {
  ScreenTurn turn;
  heightmap.assign(16, 16, 1, 1, 10);
  mapSize = 16;
  cimg_library::CImgDisplay display(16, 16, "editor", 0);
  editorDisplay = &display;
  BeginChange();
  heightmap.fill(200);
  EndChange();
  Fl_Window box(120, 60, "Warning");
  box.set_modal();
  box.show();
  ASSERT_EQ(Fl::modal(), &box);
  CtrlZ();
  EXPECT_EQ(heightmap(0, 0), 200) << "undone under the modal box";
  box.hide();
  PollEditorHistoryKeys();
  EXPECT_EQ(heightmap(0, 0), 200) << "the key was kept for after the box";
  CtrlZ();
  EXPECT_EQ(heightmap(0, 0), 10) << "no undo once the box closed";
  editorDisplay = nullptr;
}

}  // namespace
