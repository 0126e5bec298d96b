// Undo and redo of the terrain from the keys of the three windows, the
// history across runs and its memory bound, and the question before closing
// with unsaved terrain.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "editor/editor_idle.h"
#include "plugin/plugin_state.h"
#include "plugin/terrain_history.h"
#include "preview/my_gl_win.h"
#include "tests/support/fake_platform.h"
#include "tests/support/run_driver.h"
#include "ui/control_window.h"

namespace {

namespace cimg = cimg_library::cimg;

const char kCloseQuestion[] =
    "The landscape has not been exported or passed to Quarn. Close the plug-in anyway?";

// Ctrl+Z, or with shift Ctrl+Shift+Z, or Ctrl+Y, as the toolkit hands a key
// that no widget took to the window.
void ToolkitKey(Fl_Window* window, int key, bool shift = false) {
  Fl::e_keysym = key;
  Fl::e_state = FL_CTRL | (shift ? FL_SHIFT : 0);
  Fl::handle(FL_SHORTCUT, window);
  Fl::e_state = 0;
}

// A quick tap, as a script types it: all four key events before the pump's
// next pass sees any of them.
void EditorKey(unsigned int key, bool shift = false) {
  editorDisplay->set_key(cimg::keyCTRLLEFT);
  if (shift) editorDisplay->set_key(cimg::keySHIFTLEFT);
  editorDisplay->set_key(key);
  editorDisplay->set_key(key, false);
  if (shift) editorDisplay->set_key(cimg::keySHIFTLEFT, false);
  editorDisplay->set_key(cimg::keyCTRLLEFT, false);
}

// Ctrl seen by one pass of the pump, Z and both releases by the next.
void EditorKeyAcrossPasses(unsigned int key) {
  editorDisplay->set_key(cimg::keyCTRLLEFT);
  ASSERT_TRUE(WaitUntil([] { return editorDisplay->key(0) == 0; }));
  editorDisplay->set_key(key);
  editorDisplay->set_key(key, false);
  editorDisplay->set_key(cimg::keyCTRLLEFT, false);
}

// The map, and everything that must follow its size, as one expected state.
void ExpectRestored(const Heightmap& expected, const char* what) {
  SCOPED_TRACE(what);
  ASSERT_TRUE(WaitUntil([&] { return heightmap.is_sameXY(expected) && heightmap == expected; }));
  EXPECT_EQ(mapSize, expected.width());
  EXPECT_EQ(mapSizeTable[controlWindow->mapDimensionsChoice->value()], expected.width());
  EXPECT_EQ(editorDisplay->width(), expected.width());
}

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST(TerrainHistory, StrokeGenerateResizeAndLoadUndoAndRedoInOrderByteForByte) {
  ScopedFakePlatform platform;
  const std::string image = "/tmp/relievo-history-20x10.pgm";
  Heightmap(20, 10, 1, 1, 90).save_pnm(image.c_str());  // loads as 16 x 16
  platform.fake.openAnswers.push_back(image);
  Heightmap s[5];
  RunWithSteps(
      {[&] {
         s[0] = heightmap;
         editorDisplay->move(700, 400);
         currentTool = kPaintPlainBrush;
         brushHeight = 255;
         editorDisplay->set_mouse(60, 60);
         editorDisplay->set_button(1);
       },
       [&] {
         const int steps = UndoSteps();
         ASSERT_TRUE(WaitUntil([&] { return heightmap(60, 60) != s[0](60, 60); }));
         editorDisplay->set_button();
         ASSERT_TRUE(WaitUntil([&] { return UndoSteps() == steps + 1; }));
         s[1] = heightmap;
         controlWindow->mapDimensionsChoice->value(2);
         controlWindow->generateMapButton->do_callback();
         s[2] = heightmap;
         controlWindow->mapDimensionsChoice->value(1);
         controlWindow->changeSizeButton->do_callback();
         s[3] = heightmap;
         controlWindow->LoadImage(nullptr, nullptr);
         s[4] = heightmap;
         ASSERT_EQ(s[4].width(), 16);
         ASSERT_EQ(s[2].width(), 63);
       },
       [&] {
         EditorKey(cimg::keyZ);
         ExpectRestored(s[3], "load undone in the editor");
         ToolkitKey(controlWindow->window, 'z');
         ExpectRestored(s[2], "resize undone in the control window");
         ToolkitKey(previewWindow, 'z');
         ExpectRestored(s[1], "generate undone in the preview");
         EditorKeyAcrossPasses(cimg::keyZ);
         ExpectRestored(s[0], "stroke undone in the editor");
         EditorKey(cimg::keyY);
         ExpectRestored(s[1], "stroke redone by Ctrl+Y in the editor");
         ToolkitKey(previewWindow, 'z', true);
         ExpectRestored(s[2], "generate redone by Ctrl+Shift+Z in the preview");
         EditorKey(cimg::keyZ, true);
         ExpectRestored(s[3], "resize redone by Ctrl+Shift+Z in the editor");
         ToolkitKey(controlWindow->window, 'y');
         ExpectRestored(s[4], "load redone by Ctrl+Y in the control window");
         EXPECT_EQ(RedoSteps(), 0);
       }},
      0.1, 60.0);
  std::remove(image.c_str());
}

TEST(TerrainHistory, ANewChangeDropsTheRedoStepsAndNoChangeMakesNoStep) {
  heightmap.assign(16, 16, 1, 1, 5);
  BeginChange();
  heightmap.fill(6);
  EndChange();
  Undo();
  ASSERT_EQ(heightmap(0, 0), 5);
  const int steps = UndoSteps();
  BeginChange();
  heightmap.fill(5);  // a command that changed nothing
  EndChange();
  EXPECT_EQ(UndoSteps(), steps);
  EXPECT_EQ(RedoSteps(), 1) << "a change of nothing dropped the redo step";
  BeginChange();
  heightmap.fill(7);
  EndChange();
  EXPECT_EQ(RedoSteps(), 0);
  Redo();
  EXPECT_EQ(heightmap(0, 0), 7);
  Undo();
  EXPECT_EQ(heightmap(0, 0), 5);
}

TEST(TerrainHistory, TheNextRunUndoesBackIntoTheMapThePreviousRunLeft) {
  ScopedFakePlatform platform;
  Heightmap startup1, flat, startup2;
  RunWithSteps({[&] {
    startup1 = heightmap;
    brushHeight = 77;
    controlWindow->ClearAll(nullptr, nullptr);
    flat = heightmap;
  }});
  RunWithSteps({[&] {
                  startup2 = heightmap;
                  ToolkitKey(controlWindow->window, 'z');
                  EXPECT_EQ(heightmap, flat) << "undo at the start missed the previous run's map";
                  ToolkitKey(controlWindow->window, 'z');
                  EXPECT_EQ(heightmap, startup1);
                  ToolkitKey(controlWindow->window, 'y');
                  ToolkitKey(controlWindow->window, 'y');
                  EXPECT_EQ(heightmap, startup2);
                }});
}

TEST(TerrainHistory, AThousandStrokesStayWithinTheMemoryBound) {
  ScopedFakePlatform platform;
  const std::size_t bound = static_cast<std::size_t>(kHistorySteps) * 249 * 249;
  long before = 0, after = 0;
  RunWithSteps({[&] {
                  heightmap.assign(249, 249, 1, 1, 128);
                  before = ResidentKiB();
                  currentTool = kNoiseZone;  // fresh noise: every stroke changes the map
                  brushHeight = 60;
                  editorDisplay->move(700, 400);
                  editorDisplay->set_mouse(100, 100);
                  for (int i = 0; i < 1000; ++i) {
                    editorDisplay->set_button(1);
                    EditorIdle(nullptr);
                    EditorIdle(nullptr);
                    editorDisplay->set_button();
                    EditorIdle(nullptr);
                  }
                  after = ResidentKiB();
                  EXPECT_EQ(UndoSteps() + RedoSteps(), kHistorySteps);
                  EXPECT_LE(HistoryBytes(), bound);
                }},
               0.05, 120.0);
  std::printf("history bound %zu bytes; resident memory %ld KiB before, %ld KiB after 1000 "
              "strokes\n", bound, before, after);
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT((after - before) * 1024, static_cast<long>(bound) + 4 * 1024 * 1024);
#endif
}

TEST(CloseQuestion, AskedOnlyWhileTheTerrainIsUnsaved) {
  ScopedFakePlatform platform;
  FakePlatform& fake = platform.fake;
  const std::string qmf = "/tmp/relievo-history-close.qmf";
  fake.saveAnswers.push_back(qmf);
  RunWithSteps({[&] {
                  EXPECT_FALSE(TerrainUnsaved()) << "the start-up terrain counted as a change";
                  controlWindow->RotateRight(nullptr, nullptr);
                  fake.yesNoAnswers = {false, false};
                  Fl::e_keysym = FL_Escape;
                  Fl::handle(FL_SHORTCUT, previewWindow);
                  controlWindow->CloseRequest(nullptr, nullptr);
                  ASSERT_EQ(fake.questions.size(), 2u);
                  EXPECT_EQ(fake.questions[0].text, kCloseQuestion);
                  EXPECT_EQ(fake.questions[0].title, "Warning");
                  EXPECT_TRUE(previewWindow->shown());
                  EXPECT_EQ(closeRequest, 0);
                  exportRequest = 1;
                  ASSERT_TRUE(WaitUntil([&] { return !fake.messages.empty(); }));
                  Fl::e_keysym = FL_Escape;
                  Fl::handle(FL_SHORTCUT, previewWindow);  // exported: closes at once
                  EXPECT_EQ(fake.questions.size(), 2u);
                  EXPECT_FALSE(previewWindow->shown());
                }},
               0.1, 30.0, false);
  std::remove(qmf.c_str());
}

}  // namespace
