// Whole runs in-process: windows, the editor's pump, history keys, and how a run ends or fails.
#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "editor/editor_idle.h"
#include "plugin/history_keys.h"
#include "plugin/plugin_run.h"
#include "plugin/views.h"
#include "preview/my_gl_win.h"
#include "tests/support/run_steps.h"
#include "ui/control_window.h"

namespace {

namespace cimg = cimg_library::cimg;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

using PluginRun = RunTest;
using EditorPump = RunTest;
using TerrainHistory = RunTest;

TEST_F(PluginRun, PreviewResizesFreelyDownTo300) {
  XSizeHints hints{};
  long supplied = 0;
  InRun([&] { XGetWMNormalHints(fl_display, fl_xid(previewWindow), &hints, &supplied); });
  EXPECT_TRUE(hints.flags & PMinSize) << "no minimum size";
  EXPECT_EQ(hints.min_width, 300);
  EXPECT_EQ(hints.min_height, 300);
  if (hints.flags & PMaxSize) {
    EXPECT_GT(hints.max_width, 300) << "the preview cannot grow";
  }
}

// The preview moved over the control window, then the editor near the work area's right edge.
TEST_F(PluginRun, EnlargeRespectsTheWindowsTheUserMoved) {
  InRun([] {
    const int x = previewWindow->x() + 100, y = previewWindow->y() + 300;
    previewWindow->position(x, y);
    controlWindow->Enlarge(nullptr, nullptr);
    EXPECT_EQ(previewWindow->x(), x) << "the moved preview was placed again";
    EXPECT_EQ(previewWindow->y(), y);
    int ax, ay, aw, ah;
    Fl::screen_work_area(ax, ay, aw, ah, 0);
    editorDisplay->move(ax + aw - editorDisplay->width() - 20, ay);
    controlWindow->Enlarge(nullptr, nullptr);
    EXPECT_EQ(displayZoom, 2) << "enlarged past the work area's right edge";
  });
}

// One line on standard error and, with a screen, one warning box say why.
void ExpectRunSaysOnce(FakePlatform& fake, const std::function<void()>& run, const std::string& why,
                       bool box = true) {
  testing::internal::CaptureStderr();
  run();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.find('\n'), err.size() - 1) << "not one line: " << err;
  EXPECT_THAT(err, HasSubstr(why));
  ASSERT_EQ(fake.messages.size(), box ? 1u : 0u);
  if (box) {
    EXPECT_EQ(fake.messages[0].title, "Warning");
    EXPECT_THAT(fake.messages[0].text, HasSubstr(why));
  }
}

// First no screen at all, then one the toolkit opens but CImg, connecting on its first window
// only, cannot.
TEST_F(PluginRun, ARunThatCannotOpenItsWindowsLeavesTheMapWithAReason) {
  if (cimg::X11_attr().display) GTEST_SKIP() << "CImg is connected already";
  heightmap.assign(63, 63, 1, 1, 9);
  const Heightmap before = heightmap;
  fake.displayFailure = "no X display is set";
  ExpectRunSaysOnce(
      fake, [] { RunWithSteps({}); }, "no X display is set", false);
  EXPECT_EQ(heightmap, before) << "the start-up terrain changed the map without a screen";
  fake.displayFailure.reset();
  fl_open_display();
  const std::string display = getenv("DISPLAY");
  unsetenv("DISPLAY");
  auto run = [&] {
    PluginExecute();
    setenv("DISPLAY", display.c_str(), 1);
  };
  ExpectRunSaysOnce(fake, run, "Failed to open X11 display");
  EXPECT_EQ(heightmap, before) << "the start-up terrain changed the map without an editor";
  EXPECT_EQ(cimg::mutex(14, 2), 0) << "CImg's window lock was left held";  // tried, not waited on
  cimg::mutex(14, 0);
}

TEST_F(PluginRun, AFailureInsideARunIsReportedOnce) {
  const auto fail = [] { throw std::runtime_error("planted failure"); };
  ExpectRunSaysOnce(
      fake, [&] { RunWithSteps({fail}, 10); }, "planted failure");
}

TEST_F(PluginRun, FreeImageWarningsAreCutToTheirBuffer) {
  FreeImageMessageHandler(13, std::string(5000, 'x').c_str());  // a 1024-byte buffer
  ASSERT_THAT(fake.messages, SizeIs(1));
  EXPECT_EQ(fake.messages[0].title, "Warning");
  EXPECT_EQ(fake.messages[0].text, "13 : " + std::string(1018, 'x'));
}

// Neither the start-up terrain nor an exported change is unsaved work; a cancelled export
// is not announced.
TEST_F(PluginRun, ClosingSavedTerrainAsksNothing) {
  const std::string qmf = testing::TempDir() + "saved-" + std::to_string(getpid()) + ".qmf";
  fake.saveAnswers = {std::nullopt, qmf};
  for (bool exported : {false, true}) {
    SCOPED_TRACE(exported ? "after an export" : "at the start");
    RunWithSteps({[&] {
      if (exported) {
        Change(Heightmap(16, 16, 1, 1, 7));
        exportRequest = 1;
        ASSERT_TRUE(WaitUntil([&] { return !fake.saveDialogs.empty(); })) << "no save dialog";
        EXPECT_THAT(fake.messages, IsEmpty()) << "the cancelled export was announced";
        exportRequest = 1;
        ASSERT_TRUE(WaitUntil([&] { return !fake.messages.empty(); })) << "no word of it";
      }
      controlWindow->CloseRequest(nullptr, nullptr);
    }});
    EXPECT_THAT(fake.questions, IsEmpty());
  }
  EXPECT_EQ(std::remove(qmf.c_str()), 0) << "nothing exported";
}

TEST_F(PluginRun, AFailedHandOffKeepsTheRun) {
  InRun([&] {
    PluginSetCallback(nullptr);
    passRequest = 1;
    EditorIdle(nullptr);
    EXPECT_EQ(closeRequest, 0) << "a failed hand-off ended the run";
    EXPECT_THAT(fake.messages, SizeIs(1)) << "no word of why";
  });
}

// The pointer over the editor at display pixel (x, y), as the display sees it.
void PointAt(int x, int y, unsigned int button) {
  editorDisplay->move(700, 500).set_mouse(x, y).set_button();  // clear of the run's windows
  if (button) editorDisplay->set_button(button);
  EXPECT_TRUE(
      WaitUntil([&] { return editorDisplay->mouse_x() == x && editorDisplay->mouse_y() == y; }));
}

void Pass() {  // one pump pass
  previewWindow->clear_damage();
  EditorIdle(nullptr);
}

// Brush size 3 covers 47..53. Red at 0.1 over grey 100 gives (0.1 * 255 + 0.9 * 100, 90, 90),
// which the display stretches from 90..115 to 0..255.
TEST_F(EditorPump, TheBrushActsUnderThePointerOnly) {
  InRun([] {
    heightmap.fill(100);
    currentTool = kPaintPlainBrush;
    brushHeight = 200;
    PointAt(50, 50, 0);
    Pass();
    cimg_library::CImg<unsigned char> shown;
    editorDisplay->snapshot(shown);
    const double g = (100 - 90) * 255 / (int(0.1 * 255 + 0.9 * 100) - 90.0);
    const struct {
      int x, y;
      double r, g, b;
    } at[] = {{50, 50, 255, 0, 0}, {53, 47, 255, 0, 0}, {54, 50, g, g, g}};
    for (const auto& p : at) {
      SCOPED_TRACE(::testing::Message() << "at " << p.x << "," << p.y);
      EXPECT_NEAR(shown(p.x, p.y, 0, 0), p.r, 3);
      EXPECT_NEAR(shown(p.x, p.y, 0, 1), p.g, 3);
      EXPECT_NEAR(shown(p.x, p.y, 0, 2), p.b, 3);
    }
    // Off the window CImg reads -1 but keeps the button: the brush would sit top left.
    XWarpPointer(fl_display, 0, RootWindow(fl_display, fl_screen), 0, 0, 0, 0,
                 DisplayWidth(fl_display, fl_screen) - 2, DisplayHeight(fl_display, fl_screen) - 2);
    XSync(fl_display, False);
    ASSERT_TRUE(WaitUntil([] { return editorDisplay->mouse_x() < 0; }));
    editorDisplay->set_button(1);
    Pass();
    EXPECT_THAT(heightmap, ::testing::Each(100)) << "drew off the window";
    // At zoom 2 the brush around display pixel (200, 200) covers samples 97..103.
    heightmap.fill(10);
    displayZoom = 2;
    ResizeEditor(498, 498);
    PointAt(200, 200, 1);
    Pass();
    EXPECT_EQ(heightmap(100, 103), 105) << "not half-way from 10 to 200 under the pointer";
    EXPECT_EQ(heightmap(100, 104), 10) << "outside the brush";
    PointAt(200, 200, 0);
  });
}

// An exposed preview and an editor the window manager resized.
TEST_F(EditorPump, RepairsWhatTheWindowSystemDisturbs) {
  InRun([] {
    previewWindow->clear_damage(FL_DAMAGE_EXPOSE);
    EditorIdle(nullptr);
    EXPECT_EQ(previewWindow->damage() & FL_DAMAGE_ALL, FL_DAMAGE_ALL) << "not redrawn whole";
    const int side = editorDisplay->width();
    XResizeWindow(fl_display, editorDisplay->_window, 400, 300);
    XSync(fl_display, False);
    XWindowAttributes a;
    EXPECT_TRUE(WaitUntil([&] {
      return XGetWindowAttributes(fl_display, editorDisplay->_window, &a) && a.width == side &&
             a.height == side && editorDisplay->window_width() == side;
    })) << "the editor kept the window manager's size";
  });
}

TEST_F(TerrainHistory, UndoBringsBackTheSizeWithItsChoice) {
  InRun([] {
    Change(Heightmap(16, 16, 1, 1, 5));
    Change(Heightmap(63, 63, 1, 1, 5));
    Undo();
    ASSERT_EQ(heightmap.width(), 16);
    EXPECT_EQ(mapSizeTable[controlWindow->mapDimensionsChoice->value()], 16) << "size choice";
    EXPECT_EQ(mapSize, 16);
    EXPECT_EQ(editorDisplay->width(), 16);
  });
}

// Each change a map of its own value: undoing all the way stops at the oldest step held.
TEST_F(TerrainHistory, HoldsOnlyTheLatestLineOfChanges) {
  heightmap.assign(16, 16, 1, 1, 0);
  for (int i = 1; i <= kHistorySteps + 1; ++i) Change(Heightmap(16, 16, 1, 1, i));
  for (int i = 0; i <= kHistorySteps; ++i) Undo();
  EXPECT_EQ(int(heightmap(0, 0)), 1) << "not " << kHistorySteps << " steps back";
  Change(Heightmap(16, 16, 1, 1, 99));
  Redo();
  EXPECT_EQ(int(heightmap(0, 0)), 99) << "redo brought back a step from before the new change";
}

// A quick tap over the editor: every press and release before the pump looks at the keys.
void EditorKey(cimg_library::CImgDisplay& display, char letter, bool shift) {
  std::vector<unsigned int> keys = {cimg::keyCTRLLEFT, letter == 'z' ? cimg::keyZ : cimg::keyY};
  if (shift) keys.insert(keys.begin() + 1, cimg::keySHIFTLEFT);
  for (unsigned int k : keys) display.set_key(k);
  for (auto k = keys.rbegin(); k != keys.rend(); ++k) display.set_key(*k, false);
  PollEditorHistoryKeys();
}

// As the toolkit hands on keys no widget took.
void ToolkitKey(Fl_Window& window, char letter, bool shift) {
  Fl::e_keysym = letter;
  Fl::e_state = FL_CTRL | (shift ? FL_SHIFT : 0);
  Fl::handle(FL_SHORTCUT, &window);
  Fl::e_state = 0;
}

// Three maps, the middle one current; keys typed under a modal box are dropped.
TEST_F(TerrainHistory, KeysOfEveryWindowUndoAndRedo) {
  cimg_library::CImgDisplay display(16, 16, "editor", 0);
  Fl_Window window(120, 60, "controls"), box(120, 60, "Warning");
  box.set_modal();
  window.show();
  editorDisplay = &display;
  InstallHistoryShortcuts();
  const struct {
    const char* keys;
    bool inEditor;
    char letter;
    bool shift, underModalBox;
    int map;  // 1: undone, 2: as it was, 3: redone
  } cases[] = {{"Ctrl+Z in the editor", true, 'z', false, false, 1},
               {"Ctrl+Shift+Z in the editor", true, 'z', true, false, 3},
               {"Ctrl+Y in the editor", true, 'y', false, false, 3},
               {"Ctrl+Z in the editor under a modal box", true, 'z', false, true, 2},
               {"Ctrl+Z in a toolkit window", false, 'z', false, false, 1},
               {"Ctrl+Shift+Z in a toolkit window", false, 'z', true, false, 3},
               {"Ctrl+Y in a toolkit window", false, 'y', false, false, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    heightmap.assign(16, 16, 1, 1, 1);
    Change(Heightmap(16, 16, 1, 1, 2));
    Change(Heightmap(16, 16, 1, 1, 3));
    Undo();
    if (c.underModalBox) box.show();
    if (c.inEditor)
      EditorKey(display, c.letter, c.shift);
    else
      ToolkitKey(window, c.letter, c.shift);
    box.hide();
    PollEditorHistoryKeys();
    EXPECT_EQ(int(heightmap(0, 0)), c.map) << "1: undone, 2: as it was, 3: redone";
  }
  RemoveHistoryShortcuts();
  editorDisplay = nullptr;
}

}  // namespace
