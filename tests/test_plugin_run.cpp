// Whole runs in-process: the settings they start from, their windows and places, the editor's
// pump, undo and redo from every window's keys, and the ways a run ends, asks or fails.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Value_Output.H>
#include <FL/x.H>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <tuple>

#include "editor/editor_idle.h"
#include "plugin/exports.h"
#include "plugin/plugin_run.h"
#include "plugin/plugin_state.h"
#include "plugin/terrain_history.h"
#include "plugin/views.h"
#include "preview/my_gl_win.h"
#include "tests/support/fake_platform.h"
#include "tests/support/screen_turn.h"
#include "ui/close_question.h"
#include "ui/control_window.h"

namespace {

namespace cimg = cimg_library::cimg;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Runs PluginExecute() and calls the steps 0.05 s apart; the last one ends the run. After
// `timeout` seconds every window is hidden, and the test fails.
void RunWithSteps(const std::vector<std::function<void()>>& steps, double timeout = 30) {
  using Fn = std::function<void()>;
  const Fl_Timeout_Handler call = [](void* f) { (*static_cast<Fn*>(f))(); };
  std::size_t next = 0;
  bool timedOut = false;
  Fn step = [&] {
    if (next == steps.size()) return;
    steps[next++]();
    Fl::repeat_timeout(0.05, call, &step);
  };
  Fn stop = [&] {  // hides every window: the run ends
    timedOut = true;
    closeRequest = 1;
    while (Fl::first_window()) Fl::first_window()->hide();
  };
  Fl::add_timeout(0.05, call, &step);
  Fl::add_timeout(timeout, call, &stop);
  PluginExecute();
  Fl::remove_timeout(call, &step);
  Fl::remove_timeout(call, &stop);
  EXPECT_FALSE(timedOut) << "the run did not end in time";
  EXPECT_EQ(next, steps.size()) << "the run ended before every step";
}

// Processes events until pred() holds or `seconds` have passed on the clock; returns pred().
bool WaitUntil(const std::function<bool()>& pred, double seconds = 10.0) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!pred() && std::chrono::steady_clock::now() < end) Fl::wait(0.01);
  return pred();
}

// Editor, preview and control window inside the work area, none over another.
void ExpectApart(const char* when) {
  const Fl_Window *p = previewWindow, *c = controlWindow->window;
  const auto* e = editorDisplay;
  WindowBox a, b[3] = {{e->window_x(), e->window_y(), e->width(), e->height()},
                       {p->x(), p->y(), p->w(), p->h()},
                       {c->x(), c->y(), c->w(), c->h()}};
  Fl::screen_work_area(a.x, a.y, a.w, a.h, 0);
  for (const WindowBox& p : b) {
    SCOPED_TRACE(::testing::Message() << when << ": window at " << p.x << "," << p.y);
    EXPECT_GE(p.x, a.x);
    EXPECT_GE(p.y, a.y);
    EXPECT_LE(p.x + p.w, a.x + a.w);
    EXPECT_LE(p.y + p.h, a.y + a.h);
    for (const WindowBox* q = &p + 1; q < b + 3; ++q) {
      const bool apart =
          p.x + p.w <= q->x || q->x + q->w <= p.x || p.y + p.h <= q->y || q->y + q->h <= p.y;
      EXPECT_TRUE(apart) << "overlaps the one at " << q->x << "," << q->y;
    }
  }
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
  fake.messages.clear();
}

TEST(PluginRun, PreviewCannotShrinkBelow300) {
  ScreenTurn turn;
  ScopedFakePlatform platform;
  XSizeHints hints{};
  RunWithSteps({[&] {
    long supplied = 0;
    XGetWMNormalHints(fl_display, fl_xid(previewWindow), &hints, &supplied);
    previewWindow->hide();
  }});
  EXPECT_TRUE(hints.flags & PMinSize);
  EXPECT_EQ(hints.min_width, 300);
  EXPECT_EQ(hints.min_height, 300);
  if (hints.flags & PMaxSize) EXPECT_GT(hints.max_width, 300);
}

// Apart at the start, wherever Enlarge and Change Size take the editor; a window
// the user moved stays where it is.
void WindowsStayApart() {
  ExpectApart("at start");
  const int side = heightmap.width();
  for (int i = 0, last = 0; i < 20 && displayZoom != last; ++i) {
    last = displayZoom;
    controlWindow->Enlarge(nullptr, nullptr);
  }
  EXPECT_GE(displayZoom, 2);
  EXPECT_EQ(editorDisplay->width(), displayZoom * side);
  ExpectApart("enlarged as far as it goes");
  controlWindow->mapDimensionsChoice->value(3);
  controlWindow->changeSizeButton->do_callback();
  ExpectApart("after Change Size");
  const int x = previewWindow->x() + 100, y = previewWindow->y() + 300;
  previewWindow->position(x, y);
  controlWindow->Enlarge(nullptr, nullptr);
  EXPECT_EQ(previewWindow->x(), x) << "the moved preview was placed again";
  EXPECT_EQ(previewWindow->y(), y);
  previewWindow->hide();
}

TEST(PluginRun, WindowsStayApartInTheWorkArea) {
  ScreenTurn turn;
  ScopedFakePlatform platform;
  RunWithSteps({WindowsStayApart});
}

// Moved by the user near the right or the bottom edge: the bound on the zoom
// counts from there.
void ZoomBoundCountsFromTheEditorsPlace() {
  int ax, ay, aw, ah;
  Fl::screen_work_area(ax, ay, aw, ah, 0);
  const int side = heightmap.width();
  for (auto [x, y] : {std::pair{ax + aw - side - 20, ay}, {ax, ay + ah - side - 20}, {ax, ay}}) {
    displayZoom = 1;
    controlWindow->Reduce(nullptr, nullptr);
    editorDisplay->move(x, y);
    controlWindow->Enlarge(nullptr, nullptr);
    EXPECT_EQ(displayZoom, x == ax && y == ay ? 2 : 1) << "editor at " << x << "," << y;
  }
  previewWindow->hide();
}

TEST(PluginRun, EnlargeStopsWhereTheEditorWouldLeaveTheWorkArea) {
  ScreenTurn turn;
  ScopedFakePlatform platform;
  RunWithSteps({ZoomBoundCountsFromTheEditorsPlace});
}

TEST(PluginRun, WithoutAScreenLeavesTheMapWithAReason) {
  ScopedFakePlatform platform;
  platform.fake.displayFailure = "no X display is set";
  heightmap.assign(63, 63, 1, 1, 9);
  const Heightmap before = heightmap;
  ExpectRunSaysOnce(
      platform.fake, [] { RunWithSteps({}); }, "no X display is set", false);
  EXPECT_EQ(heightmap, before) << "the start-up terrain changed the map";
}

// CImg connects to the screen on its first window only; here that fails.
TEST(PluginRun, AnEditorThatCannotOpenReleasesCImgsLock) {
  ScopedFakePlatform platform;
  if (cimg::X11_attr().display) GTEST_SKIP() << "CImg is connected already";
  fl_open_display();
  heightmap.assign(63, 63, 1, 1, 9);
  const Heightmap before = heightmap;
  const std::string display = getenv("DISPLAY");
  unsetenv("DISPLAY");
  auto run = [&] {
    PluginExecute();
    setenv("DISPLAY", display.c_str(), 1);
  };
  ExpectRunSaysOnce(platform.fake, run, "Failed to open X11 display");
  EXPECT_EQ(heightmap, before);
  EXPECT_EQ(cimg::mutex(14, 2), 0) << "CImg's window lock was left held";  // tried, not waited on
  cimg::mutex(14, 0);
}

TEST(PluginRun, AFailureInsideARunIsReportedOnce) {
  ScreenTurn turn;
  ScopedFakePlatform platform;
  heightmap.assign(63, 63, 1, 1, 9);
  const Heightmap before = heightmap;
  renderMode = 1;  // kept from an earlier run: the new choice must show it
  int modeShown = -1;
  auto run = [&] {
    RunWithSteps({[&] {
                   modeShown = controlWindow->renderingModeChoice->value();
                   throw std::runtime_error("planted failure");
                 }},
                 10);
  };
  ExpectRunSaysOnce(platform.fake, run, "planted failure");
  EXPECT_EQ(modeShown, 1);
  EXPECT_NE(heightmap, before) << "a working run makes its start-up terrain";
}

TEST(PluginRun, FreeImageWarningsAreCutToTheirBuffer) {
  ScopedFakePlatform platform;
  FreeImageMessageHandler(13, std::string(5000, 'x').c_str());  // a 1024-byte buffer
  ASSERT_EQ(platform.fake.messages.size(), 1u);
  const FakePlatform::Message& m = platform.fake.messages[0];
  EXPECT_EQ(m.title, "Warning");
  EXPECT_EQ(m.text, "13 : " + std::string(1018, 'x'));
  EXPECT_EQ(m.icon, platform::MessageIcon::Exclamation);
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

// Runs `scenario` as the one step of a run, which then ends.
void InRun(const std::function<void()>& scenario) {
  ScopedFakePlatform platform;
  ScreenTurn turn;
  RunWithSteps({[&] {
    scenario();
    previewWindow->hide();
  }});
}

// Brush size 3 covers 47..53. Red at 0.1 over grey 100 gives (0.1 * 255 + 0.9 *
// 100, 90, 90); the display stretches 90..115 to 0..255.
TEST(EditorPump, ShowsTheBrushAsAFaintRedSquare) {
  InRun([] {
    heightmap.fill(100);
    PointAt(50, 50, 0);
    Pass();
    cimg_library::CImg<unsigned char> shown;
    editorDisplay->snapshot(shown);
    const double g = (100 - 90) * 255 / (int(0.1 * 255 + 0.9 * 100) - 90.0);
    const struct {
      int x, y;
      double r, g, b;
    } at[] = {{20, 20, g, g, g}, {50, 50, 255, 0, 0}, {53, 47, 255, 0, 0}, {54, 50, g, g, g}};
    for (const auto& p : at) {
      SCOPED_TRACE(::testing::Message() << "at " << p.x << "," << p.y);
      EXPECT_NEAR(shown(p.x, p.y, 0, 0), p.r, 3);
      EXPECT_NEAR(shown(p.x, p.y, 0, 1), p.g, 3);
      EXPECT_NEAR(shown(p.x, p.y, 0, 2), p.b, 3);
    }
  });
}

// CImg reads -1 off the window but keeps the button bits: the brush would sit
// on the top-left corner. The pointer goes through a connection of our own.
TEST(EditorPump, AButtonHeldOffTheWindowDrawsNothing) {
  InRun([] {
    heightmap.fill(100);
    currentTool = kPaintPlainBrush;
    brushHeight = 200;
    // The bottom-right corner of the screen, where no run window is placed.
    Display* dpy = XOpenDisplay(nullptr);
    const int screen = DefaultScreen(dpy);
    XWarpPointer(dpy, 0, DefaultRootWindow(dpy), 0, 0, 0, 0, DisplayWidth(dpy, screen) - 2,
                 DisplayHeight(dpy, screen) - 2);
    XSync(dpy, False);
    XCloseDisplay(dpy);
    ASSERT_TRUE(WaitUntil([] { return editorDisplay->mouse_x() < 0; }));
    editorDisplay->set_button(1);
    Pass();
    Pass();
    EXPECT_THAT(heightmap, ::testing::Each(100)) << "drew off the window";
  });
}

// At zoom 2 the brush's 7 x 7 around display pixel (200, 200) is around sample (100, 100).
TEST(EditorPump, ToolsWorkUnderThePointerAtTheZoom) {
  InRun([] {
    heightmap.fill(10);
    heightmap(100, 100) = 77;
    heightmap(200, 200) = 199;
    currentTool = kPaintPlainBrush;
    brushHeight = 200;
    displayZoom = 2;
    ResizeEditor(498, 498);
    PointAt(200, 200, 0);
    Pass();
    const ControlWindow* w = controlWindow;
    EXPECT_EQ(w->brushMaxOutput->value(), 77);
    EXPECT_EQ(w->brushMinOutput->value(), 10);
    EXPECT_EQ(w->brushMeanOutput->value(), (48 * 10 + 77) / 49);
    const Heightmap before = heightmap;
    for (unsigned button : {2u, 4u}) {
      PointAt(200, 200, button);
      Pass();
    }
    EXPECT_EQ(heightmap, before) << "the right or middle button drew";
    PointAt(200, 200, 1);
    Pass();
    EXPECT_EQ(heightmap(100, 103), 105) << "half-way from 10 to 200";
    EXPECT_EQ(heightmap(100, 104), 10) << "outside the brush";
    EXPECT_NE(previewWindow->damage(), 0) << "no preview redraw after the stroke";
    PointAt(200, 200, 0);
  });
}

TEST(EditorPump, KeepsTheEditorAtItsOwnSize) {
  InRun([] {
    Display* dpy = XOpenDisplay(nullptr);
    const int side = editorDisplay->width();
    XResizeWindow(dpy, editorDisplay->_window, 400, 300);
    XSync(dpy, False);
    XWindowAttributes a;
    EXPECT_TRUE(WaitUntil([&] {
      return XGetWindowAttributes(dpy, editorDisplay->_window, &a) && a.width == side &&
             a.height == side && editorDisplay->window_width() == side;
    })) << "the editor kept the window manager's size";
    XCloseDisplay(dpy);
  });
}

TEST(EditorPump, RedrawsADamagedPreviewWhole) {
  InRun([] {
    previewWindow->clear_damage(FL_DAMAGE_EXPOSE);
    EditorIdle(nullptr);
    EXPECT_EQ(previewWindow->damage() & FL_DAMAGE_ALL, FL_DAMAGE_ALL);
  });
}

// Ctrl+Z (Ctrl+Shift+Z with shift) or Ctrl+Y, as the toolkit hands on keys no widget took.
void ToolkitKey(Fl_Window* window, int key, bool shift = false) {
  Fl::e_keysym = key;
  Fl::e_state = FL_CTRL | (shift ? FL_SHIFT : 0);
  Fl::handle(FL_SHORTCUT, window);
  Fl::e_state = 0;
}

// A quick tap: every press and release before the pump's next pass sees any of them.
void EditorKey(unsigned int key, bool shift = false) {
  std::vector<unsigned int> keys = {cimg::keyCTRLLEFT, key};
  if (shift) keys.insert(keys.begin() + 1, cimg::keySHIFTLEFT);
  for (unsigned int k : keys) editorDisplay->set_key(k);
  for (auto k = keys.rbegin(); k != keys.rend(); ++k) editorDisplay->set_key(*k, false);
}

// The map, and everything that must follow its size, as one expected state.
void ExpectRestored(const Heightmap& expected, const char* what) {
  SCOPED_TRACE(what);
  ASSERT_TRUE(WaitUntil([&] { return heightmap.is_sameXY(expected) && heightmap == expected; }));
  const int w = expected.width();
  EXPECT_EQ(mapSize, w);
  EXPECT_EQ(mapSizeTable[controlWindow->mapDimensionsChoice->value()], w);
  EXPECT_EQ(editorDisplay->width(), w);
}

// Strokes of two pump passes each; the pointer is put back each time (other tests move it).
void Strokes(int n) {
  editorDisplay->move(700, 400);
  for (int i = 0; i < n; ++i) {
    editorDisplay->set_mouse(60, 60).set_button(1);
    EditorIdle(nullptr);
    EditorIdle(nullptr);
    editorDisplay->set_button();
    EditorIdle(nullptr);
  }
}

// Heap in use (resident size is no measure: the GL driver's mappings make it jump by 26 MB).
long HeapKiB() { return long((mallinfo2().uordblks + mallinfo2().hblkhd) / 1024); }

void StrokeGenerateResizeLoadThenUndoAndRedoThem() {
  ControlWindow* w = controlWindow;
  Heightmap s[5] = {heightmap};
  currentTool = kPaintPlainBrush;
  brushHeight = 255;
  Strokes(1);
  s[1] = heightmap;
  w->mapDimensionsChoice->value(2);
  w->generateMapButton->do_callback();
  s[2] = heightmap;
  w->mapDimensionsChoice->value(1);
  w->changeSizeButton->do_callback();
  s[3] = heightmap;
  w->LoadImage(nullptr, nullptr);
  s[4] = heightmap;
  EditorKey(cimg::keyZ);
  ExpectRestored(s[3], "load undone in the editor");
  ToolkitKey(w->window, 'z');
  ExpectRestored(s[2], "resize undone in the control");
  ToolkitKey(previewWindow, 'z');
  ExpectRestored(s[1], "generate undone in the preview");
  editorDisplay->set_key(cimg::keyCTRLLEFT);  // seen by one pass; Z and the releases by the next
  ASSERT_TRUE(WaitUntil([] { return editorDisplay->key(0) == 0; }));
  editorDisplay->set_key(cimg::keyZ).set_key(cimg::keyZ, false).set_key(cimg::keyCTRLLEFT, false);
  ExpectRestored(s[0], "stroke undone in the editor");
  EditorKey(cimg::keyY);
  ExpectRestored(s[1], "stroke redone by Ctrl+Y in the editor");
  ToolkitKey(previewWindow, 'z', true);
  ExpectRestored(s[2], "generate redone by Ctrl+Shift+Z");
  EditorKey(cimg::keyZ, true);
  ExpectRestored(s[3], "resize redone by Ctrl+Shift+Z in the editor");
  ToolkitKey(w->window, 'y');
  ExpectRestored(s[4], "load redone by Ctrl+Y");
}

TEST(TerrainHistory, HistoryKeysWorkInEveryWindow) {
  ScopedFakePlatform platform;
  ScreenTurn turn;
  const std::string image = testing::TempDir() + "history-" + std::to_string(getpid()) + ".pgm";
  Heightmap(20, 10, 1, 1, 90).save_pnm(image.c_str());  // loads as 16 x 16
  platform.fake.openAnswers.push_back(image);
  RunWithSteps({StrokeGenerateResizeLoadThenUndoAndRedoThem, [] { closeRequest = 1; }});
  std::remove(image.c_str());
}

TEST(TerrainHistory, ANewChangeDropsTheRedoStepsButAChangeOfNothingDoesNot) {
  InRun([] {
    controlWindow->RotateRight(nullptr, nullptr);
    Undo();
    BeginChange();
    EndChange();
    EXPECT_EQ(RedoSteps(), 1);
    controlWindow->RotateRight(nullptr, nullptr);
    EXPECT_EQ(RedoSteps(), 0);
  });
}

TEST(TerrainHistory, AThousandStrokesStayWithinTheBound) {
  const std::size_t bound = std::size_t(kHistorySteps) * 249 * 249;
  long before = 0, after = 0;
  InRun([&] {
    heightmap.assign(249, 249, 1, 1, 128);
    before = HeapKiB();
    currentTool = kNoiseZone;  // fresh noise: every pass changes the map
    Strokes(1000);
    after = HeapKiB();
    EXPECT_EQ(UndoSteps() + RedoSteps(), kHistorySteps);
    EXPECT_LE(HistoryBytes(), bound);
  });
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT((after - before) * 1024, long(bound) + 4 * 1024 * 1024)
      << "heap " << before << " KiB before, " << after << " KiB after; bound " << bound << " bytes";
#endif
}

int handOffs = 0;
void CountingHost(PluginCallbackData) {
  MyGlWin* preview = previewWindow;
  PluginExecute();  // from inside the run: returns at once and leaves the run alone
  EXPECT_NE(preview, nullptr);
  EXPECT_EQ(previewWindow, preview);
  ++handOffs;
}

// One run: undo into the last run's map and redo, a stroke, the close question
// (answered No twice), an export cancelled then saved, a hand-off without a host,
// then one that ends the run.
void FullRun(FakePlatform& fake, int run, const Heightmap& last) {
  EXPECT_FALSE(TerrainUnsaved()) << "the start-up terrain counted as a change";
  const Heightmap startup = heightmap;
  ToolkitKey(controlWindow->window, 'z');
  if (run > 1) EXPECT_EQ(heightmap, last) << "undo missed the last run's map";
  ToolkitKey(controlWindow->window, 'y');
  EXPECT_EQ(heightmap, startup);
  currentTool = kCreateMountain;
  Strokes(1);
  EXPECT_NE(heightmap, startup);
  Fl::e_keysym = FL_Escape;
  Fl::handle(FL_SHORTCUT, previewWindow);
  controlWindow->CloseRequest(nullptr, nullptr);
  ASSERT_EQ(fake.questions.size(), 2u);
  EXPECT_EQ(fake.questions[0].title, "Warning");
  EXPECT_EQ(fake.questions[0].text,
            "The landscape has not been exported or passed to Quarn. Close the plug-in anyway?");
  EXPECT_TRUE(previewWindow->shown()) << "closed unsaved";
  EXPECT_EQ(closeRequest, 0);
  exportRequest = 1;
}

void ExportThenHandOff(FakePlatform& fake) {
  EXPECT_TRUE(WaitUntil([&] { return fake.saveDialogs.size() == 1; }));
  exportRequest = 1;
  ASSERT_TRUE(WaitUntil([&] { return fake.messages.size() == 1; }));
  EXPECT_TRUE(CloseConfirmed()) << "an export did not count as saving";
  EXPECT_EQ(fake.questions.size(), 2u) << "asked again";
  PluginSetCallback(nullptr);
  passRequest = 1;
  EditorIdle(nullptr);
  EXPECT_TRUE(previewWindow->shown()) << "a failed hand-off ended the run";
  EXPECT_EQ(closeRequest, 0);
  PluginSetCallback(CountingHost);
  passRequest = 1;
}

TEST(TerrainHistory, TenFullRunsInOneLoadedModule) {
  ScreenTurn turn;
  const std::string qmf = testing::TempDir() + "runs-" + std::to_string(getpid()) + ".qmf";
  long afterRun3 = 0, historyAfterRun3 = 0;
  Heightmap last;
  for (int run = 1; run <= 10 && !HasFailure(); ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    ScopedFakePlatform platform;
    FakePlatform& fake = platform.fake;
    fake.saveAnswers = {std::nullopt, qmf};
    fake.yesNoAnswers = {false, false};
    RunWithSteps({[&] { FullRun(fake, run, last); }, [&] { ExportThenHandOff(fake); }}, 20);
    PluginSetCallback(nullptr);
    last = heightmap;
    EXPECT_EQ(handOffs, run);
    EXPECT_FALSE(TerrainUnsaved()) << "the hand-off did not count as saving the terrain";
    const std::vector<FakePlatform::Message>& m = fake.messages;  // [1]: the failed hand-off
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].title + ": " + m[0].text,
              "QMF exporter: File correctly exported to QMF format.");
    EXPECT_EQ(m[1].title, "Warning");
    EXPECT_EQ(m[2].title + ": " + m[2].text,
              "Information: Land correctly exported to Quarn!\nAdvanced Relievo Plugin 1.0 by\n"
              "Ettar Quell \"Il Morvi\".");
    EXPECT_EQ(m[2].icon, platform::MessageIcon::Information);
    if (run == 3) {
      afterRun3 = HeapKiB();
      historyAfterRun3 = long(HistoryBytes() / 1024);
    }
  }
  const long afterRun10 = HeapKiB(), growth = long(HistoryBytes() / 1024) - historyAfterRun3;
  EXPECT_EQ(std::remove(qmf.c_str()), 0) << "nothing exported";
#if !defined(__SANITIZE_ADDRESS__)
  // Seven more runs may settle caches, not keep a map or a window each (ASan judges at exit).
  EXPECT_LT(afterRun10 - afterRun3 - growth, 160)
      << "heap KiB after run 3: " << afterRun3 << ", 10: " << afterRun10 << ", history +" << growth;
#endif
}

}  // namespace
