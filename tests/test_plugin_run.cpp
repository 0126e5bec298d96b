// Whole runs in-process: the settings they start from, their windows and places, the editor's
// pump, undo and redo from every window's keys, and the ways a run ends, asks or fails.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Value_Output.H>
#include <FL/x.H>
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
#include "ui/option_dialogs.h"

namespace {

namespace cimg = cimg_library::cimg;

// Runs PluginExecute() and calls the steps 0.05 s apart; the last one ends the run. After
// `timeout` seconds every window is hidden, and the test fails.
void RunWithSteps(const std::vector<std::function<void()>>& steps, double timeout = 30) {
  using Fn = std::function<void()>;
  const Fl_Timeout_Handler call = [](void* f) { (*static_cast<Fn*>(f))(); };
  std::size_t next = 0;
  bool timedOut = false;
  Fn step = [&] {
    if (next < steps.size()) steps[next++](), Fl::repeat_timeout(0.05, call, &step);
  };
  Fn stop = [&] {  // hides every window: the run ends
    for (timedOut = true, closeRequest = 1; Fl::first_window();) Fl::first_window()->hide();
  };
  Fl::add_timeout(0.05, call, &step), Fl::add_timeout(timeout, call, &stop);
  PluginExecute();
  Fl::remove_timeout(call, &step), Fl::remove_timeout(call, &stop);
  EXPECT_TRUE(!timedOut && next == steps.size()) << "the run ended late, or before every step";
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
    EXPECT_TRUE(p.x >= a.x && p.y >= a.y && p.x + p.w <= a.x + a.w && p.y + p.h <= a.y + a.h)
        << when;
    for (const WindowBox* q = &p + 1; q < b + 3; ++q)
      EXPECT_TRUE(p.x + p.w <= q->x || q->x + q->w <= p.x || p.y + p.h <= q->y ||
                  q->y + q->h <= p.y)
          << when << ": windows overlap";
  }
}

// One line on standard error and, with a screen, one warning box say why.
void ExpectRunSaysOnce(FakePlatform& fake, const std::function<void()>& run, const std::string& why,
                       bool box = true) {
  testing::internal::CaptureStderr(), run();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(err.find('\n') == err.size() - 1 && err.find(why) != err.npos) << err;
  EXPECT_EQ(fake.messages.size(), box ? 1u : 0u);
  for (const FakePlatform::Message& m : fake.messages)
    EXPECT_TRUE(m.title == "Warning" && m.text.find(why) != m.text.npos) << m.text;
  fake.messages.clear();
}

// Every setting at its default, the windows apart wherever Enlarge and Change Size take them.
void StartsFromTheDefaultsApart() {
  auto all = [](auto... v) { return std::vector<double>{double(v)...}; };
  EXPECT_EQ(
      all(currentTool, displayZoom, noiseType, plasmaAlpha, plasmaBeta, plasmaNoise, morviAlpha,
          morviBeta, morviNoise, noiseSigma, erodeTimes[0], erodeTimes[1], dilateTimes[0],
          dilateTimes[1], maxWideness, maxHeight, brushSize, brushHeight),
      all(kFixDraw, 1, 0, 1, 1, 100, 3, 6.765, 100, 100, 100, 100, 100, 100, 1024, 255, 3, 10));
  XSizeHints hints{};  // the preview's minimum size, and room to grow
  long supplied = 0;
  XGetWMNormalHints(fl_display, fl_xid(previewWindow), &hints, &supplied);
  EXPECT_TRUE((hints.flags & PMinSize) && hints.min_width == 300 && hints.min_height == 300 &&
              (!(hints.flags & PMaxSize) || hints.max_width > 300))
      << "the preview's size range";
  ExpectApart("at start");
  int ax, ay, aw, ah, side = heightmap.width();
  Fl::screen_work_area(ax, ay, aw, ah, 0);
  for (int i = 0, last = 0; i < 20 && displayZoom != last; ++i)
    last = displayZoom, controlWindow->Enlarge(nullptr, nullptr);
  EXPECT_TRUE(displayZoom >= 2 && editorDisplay->width() == displayZoom * side) << displayZoom;
  ExpectApart("enlarged as far as it goes");
  // Moved by the user near the right or the bottom edge: the bound counts from there.
  for (auto [x, y] : {std::pair{ax + aw - side - 20, ay}, {ax, ay + ah - side - 20}, {ax, ay}}) {
    displayZoom = 1, controlWindow->Reduce(nullptr, nullptr), editorDisplay->move(x, y);
    controlWindow->Enlarge(nullptr, nullptr);
    EXPECT_EQ(displayZoom, x == ax && y == ay ? 2 : 1) << "at " << x << "," << y;
  }
  controlWindow->mapDimensionsChoice->value(3), controlWindow->changeSizeButton->do_callback();
  ExpectApart("after Change Size");
  const int x = previewWindow->x() + 100, y = previewWindow->y() + 300;
  previewWindow->position(x, y), controlWindow->Enlarge(nullptr, nullptr);
  EXPECT_EQ(std::make_pair(previewWindow->x(), previewWindow->y()), std::make_pair(x, y));
}

TEST(PluginRun, StartsFromDefaultsWithWindowsApartSaysWhyItCannotOpenOrFailsAndEndsOnAnyWindow) {
  ScreenTurn turn;
  ScopedFakePlatform platform;
  FakePlatform& fake = platform.fake;
  fake.displayFailure = "no X display is set";
  heightmap.assign(63, 63, 1, 1, 9)(5, 7) = 200;
  const Heightmap before = heightmap;
  ExpectRunSaysOnce(
      fake, [] { RunWithSteps({}); }, *fake.displayFailure, false);
  EXPECT_EQ(heightmap, before) << "the start-up terrain changed the map";
  fake.displayFailure.reset();
  // CImg connects to the screen on its first window only, which fails here.
  if (!cimg::X11_attr().display) {
    fl_open_display();
    const std::string display = getenv("DISPLAY");
    unsetenv("DISPLAY");
    ExpectRunSaysOnce(
        fake, [&] { PluginExecute(), setenv("DISPLAY", display.c_str(), 1); },
        "Failed to open X11 display");
    EXPECT_EQ(heightmap, before);
    EXPECT_EQ(cimg::mutex(14, 2), 0) << "CImg's window lock was left held";  // tried, not waited on
    cimg::mutex(14, 0);  // a held lock would hang every later run
  }
  renderMode = 1;  // kept from an earlier run: the new choice must show it
  ExpectRunSaysOnce(
      fake,
      [] {
        RunWithSteps({[] {
                       EXPECT_EQ(controlWindow->renderingModeChoice->value(), 1);
                       throw std::runtime_error("planted failure");
                     }},
                     10);
      },
      "planted failure");
  EXPECT_NE(heightmap, before) << "a working run makes its start-up terrain";
  // Left by an earlier run: every run starts from the built-in settings.
  currentTool = kCreateMountain, displayZoom = 3, noiseType = 1, plasmaAlpha = plasmaBeta = 0.5;
  plasmaNoise = morviAlpha = morviBeta = morviNoise = noiseSigma = brushSize = brushHeight = 7;
  erodeTimes[0] = erodeTimes[1] = dilateTimes[0] = dilateTimes[1] = maxHeight = maxWideness = 9;
  RunWithSteps({StartsFromTheDefaultsApart, [] { previewWindow->hide(); }});
  EXPECT_TRUE(!editorDisplay && !previewWindow && !controlWindow && PluginType() == 1);
  RunWithSteps({[] { controlWindow->window->hide(); }}, 10);
  Fl_Double_Window* dialog = nullptr;
  RunWithSteps({[&] { dialog = showPlasmaOptions(), closeRequest = 1; },
                [&] {
                  EXPECT_TRUE(WaitUntil([] { return !previewWindow->shown(); }));
                  EXPECT_TRUE(dialog->shown() && previewWindow) << "a dialog left open";
                  dialog->hide();
                }},
               15);
  EXPECT_EQ(previewWindow, nullptr);
  FreeImageMessageHandler(13, std::string(5000, 'x').c_str());  // cut to its 1024-byte buffer
  const FakePlatform::Message& m = fake.messages.at(0);
  EXPECT_EQ(std::tie(m.title, m.text, m.icon),
            std::make_tuple("Warning", "13 : " + std::string(1018, 'x'),
                            platform::MessageIcon::Exclamation));
}

// The pointer over the editor at display pixel (x, y), as the display sees it.
void PointAt(int x, int y, unsigned int button) {
  editorDisplay->move(700, 500).set_mouse(x, y).set_button();  // clear of the run's windows
  if (button) editorDisplay->set_button(button);
  EXPECT_TRUE(
      WaitUntil([&] { return editorDisplay->mouse_x() == x && editorDisplay->mouse_y() == y; }));
}

void Pass() { previewWindow->clear_damage(), EditorIdle(nullptr); }  // one pump pass

// CImg reads -1 off the window but keeps the button bits: the brush would sit on the top-left
// corner. The pointer and the window manager's resize come through a connection of our own.
void PumpScenario() {
  const auto* e = editorDisplay;
  heightmap.fill(100), PointAt(50, 50, 0), Pass();
  cimg_library::CImg<unsigned char> shown;
  editorDisplay->snapshot(shown);
  // Brush size 3 covers 47..53: red at 0.1 over grey 100 gives (0.1 * 255 +
  // 0.9 * 100, 90, 90); the display stretches 90..115 to 0..255.
  const double g = (100 - 90) * 255 / (int(0.1 * 255 + 0.9 * 100) - 90.0);
  const int at[4][2] = {{20, 20}, {50, 50}, {53, 47}, {54, 50}};
  const double want[4][3] = {{g, g, g}, {255, 0, 0}, {255, 0, 0}, {g, g, g}};
  for (int i = 0; i < 12; ++i)
    EXPECT_NEAR(shown(at[i / 3][0], at[i / 3][1], 0, i % 3), want[i / 3][i % 3], 3);

  Display* dpy = XOpenDisplay(nullptr);
  currentTool = kPaintPlainBrush, brushHeight = 200;
  XWarpPointer(dpy, 0, DefaultRootWindow(dpy), 0, 0, 0, 0, 1, 1), XSync(dpy, False);
  ASSERT_TRUE(WaitUntil([] { return editorDisplay->mouse_x() < 0; }));
  editorDisplay->set_button(1);
  const Heightmap flat = heightmap;
  Pass(), Pass();
  EXPECT_EQ(heightmap, flat) << "drew off the window: " << int(heightmap(0, 0));

  heightmap.fill(10)(100, 100) = 77, heightmap(200, 200) = 199;
  displayZoom = 2, ResizeEditor(498, 498);
  PointAt(200, 200, 0), Pass();
  const ControlWindow* w = controlWindow;  // the brush's 7 x 7 at zoom 2 holds one 77
  EXPECT_EQ(std::make_tuple(w->brushMaxOutput->value(), w->brushMinOutput->value(),
                            w->brushMeanOutput->value()),
            std::make_tuple(77.0, 10.0, double((48 * 10 + 77) / 49)));
  const Heightmap before = heightmap;
  for (unsigned button : {2u, 4u}) PointAt(200, 200, button), Pass();
  EXPECT_EQ(heightmap, before) << "the right or middle button drew";
  PointAt(200, 200, 1), Pass();
  EXPECT_EQ(heightmap(100, 103) * 1000 + heightmap(100, 104), 105010);  // half-way from 10 to 200
  EXPECT_NE(previewWindow->damage(), 0) << "no preview redraw after the stroke";
  PointAt(200, 200, 0);

  XResizeWindow(dpy, editorDisplay->_window, 400, 300), XSync(dpy, False);
  XWindowAttributes a;
  EXPECT_TRUE(WaitUntil([&] {
    return XGetWindowAttributes(dpy, editorDisplay->_window, &a) && a.width == 498 &&
           a.height == 498 && e->window_width() == 498 && e->window_height() == 498;
  })) << "the editor kept the window manager's size";
  XCloseDisplay(dpy);
  previewWindow->clear_damage(FL_DAMAGE_EXPOSE), EditorIdle(nullptr);
  EXPECT_EQ(previewWindow->damage() & FL_DAMAGE_ALL, FL_DAMAGE_ALL);
  editorDisplay->close();
  EXPECT_TRUE(WaitUntil([] { return !editorDisplay->is_closed(); })) << "the editor stayed closed";
  previewWindow->hide();
}

TEST(EditorPump, ShowsTheBrushDrawsWithTheLeftButtonOnTheMapAndKeepsTheWindowsUp) {
  ScopedFakePlatform platform;
  ScreenTurn turn;
  RunWithSteps({PumpScenario});
  EXPECT_EQ(closeRequest, 0);  // the run ended on the hidden preview alone
}

// Ctrl+Z (Ctrl+Shift+Z with shift) or Ctrl+Y, as the toolkit hands on keys no widget took.
void ToolkitKey(Fl_Window* window, int key, bool shift = false) {
  Fl::e_keysym = key, Fl::e_state = FL_CTRL | (shift ? FL_SHIFT : 0);
  Fl::handle(FL_SHORTCUT, window), Fl::e_state = 0;
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
  ASSERT_TRUE(WaitUntil([&] { return heightmap.is_sameXY(expected) && heightmap == expected; }))
      << what;
  const int w = expected.width();
  EXPECT_TRUE(mapSize == w && mapSizeTable[controlWindow->mapDimensionsChoice->value()] == w &&
              editorDisplay->width() == w)
      << what << ": something kept the other size";
}

// Strokes of two pump passes each; the pointer is put back each time (other tests move it).
void Strokes(int n) {
  for (editorDisplay->move(700, 400); n-- > 0; editorDisplay->set_button(), EditorIdle(nullptr))
    editorDisplay->set_mouse(60, 60).set_button(1), EditorIdle(nullptr), EditorIdle(nullptr);
}

// Heap in use (resident size is no measure: the GL driver's mappings make it jump by 26 MB).
long HeapKiB() { return long((mallinfo2().uordblks + mallinfo2().hblkhd) / 1024); }

void StrokeGenerateResizeLoadThenUndoAndRedoThem() {
  ControlWindow* w = controlWindow;
  Heightmap s[5] = {heightmap};
  currentTool = kPaintPlainBrush, brushHeight = 255;
  Strokes(1), s[1] = heightmap;
  w->mapDimensionsChoice->value(2), w->generateMapButton->do_callback(), s[2] = heightmap;
  w->mapDimensionsChoice->value(1), w->changeSizeButton->do_callback(), s[3] = heightmap;
  w->LoadImage(nullptr, nullptr), s[4] = heightmap;
  EditorKey(cimg::keyZ), ExpectRestored(s[3], "load undone in the editor");
  ToolkitKey(w->window, 'z'), ExpectRestored(s[2], "resize undone in the control");
  ToolkitKey(previewWindow, 'z'), ExpectRestored(s[1], "generate undone in the preview");
  editorDisplay->set_key(cimg::keyCTRLLEFT);  // seen by one pass; Z and the releases by the next
  ASSERT_TRUE(WaitUntil([] { return editorDisplay->key(0) == 0; }));
  editorDisplay->set_key(cimg::keyZ).set_key(cimg::keyZ, false).set_key(cimg::keyCTRLLEFT, false);
  ExpectRestored(s[0], "stroke undone in the editor");
  EditorKey(cimg::keyY), ExpectRestored(s[1], "stroke redone by Ctrl+Y in the editor");
  ToolkitKey(previewWindow, 'z', true), ExpectRestored(s[2], "generate redone by Ctrl+Shift+Z");
  EditorKey(cimg::keyZ, true), ExpectRestored(s[3], "resize redone by Ctrl+Shift+Z in the editor");
  ToolkitKey(w->window, 'y'), ExpectRestored(s[4], "load redone by Ctrl+Y");
  Undo(), BeginChange(), EndChange();  // then a command that changed nothing
  EXPECT_EQ(RedoSteps(), 1);
  w->RotateRight(nullptr, nullptr);
  EXPECT_EQ(RedoSteps(), 0) << "a new change kept the redo step";
}

TEST(TerrainHistory, UndoAndRedoByteForByteFromEveryWindowAndAThousandStrokesWithinTheBound) {
  ScopedFakePlatform platform;
  ScreenTurn turn;
  const std::string image = testing::TempDir() + "history-20x10.pgm";
  Heightmap(20, 10, 1, 1, 90).save_pnm(image.c_str());  // loads as 16 x 16
  platform.fake.openAnswers.push_back(image);
  const std::size_t bound = std::size_t(kHistorySteps) * 249 * 249;
  long before = 0, after = 0;
  RunWithSteps(
      {StrokeGenerateResizeLoadThenUndoAndRedoThem,
       [&] {
         heightmap.assign(249, 249, 1, 1, 128), before = HeapKiB();
         currentTool = kNoiseZone;  // fresh noise: every pass changes the map
         Strokes(1000), after = HeapKiB(), closeRequest = 1;
         EXPECT_TRUE(UndoSteps() + RedoSteps() == kHistorySteps && HistoryBytes() <= bound);
       }},
      100);
  std::remove(image.c_str());
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT((after - before) * 1024, long(bound) + 4 * 1024 * 1024)
      << "heap " << before << " KiB before, " << after << " KiB after; bound " << bound << " bytes";
#endif
}

int handOffs = 0;
void CountingHost(PluginCallbackData) {
  MyGlWin* preview = previewWindow;
  PluginExecute();  // from inside the run: returns at once and leaves the run alone
  EXPECT_TRUE(preview && previewWindow == preview && ++handOffs);
}

// Each run undoes into the last run's map, paints, is asked before closing unsaved, exports
// (cancelled, then saved), fails a hand-off without a host and ends on a hand-off.
TEST(TerrainHistory, TenFullRunsUndoIntoTheLastOneAskBeforeClosingAndDoNotGrowMemory) {
  ScreenTurn turn;
  const std::string qmf = testing::TempDir() + "runs.qmf";
  long afterRun3 = 0, historyAfterRun3 = 0;
  Heightmap last;
  for (int run = 1; run <= 10 && !HasFailure(); ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    ScopedFakePlatform platform;
    FakePlatform& fake = platform.fake;
    fake.saveAnswers = {std::nullopt, qmf}, fake.yesNoAnswers = {false, false};
    RunWithSteps({[&] {
                    EXPECT_FALSE(TerrainUnsaved()) << "the start-up terrain counted as a change";
                    const Heightmap startup = heightmap;
                    ToolkitKey(controlWindow->window, 'z');
                    EXPECT_TRUE(run == 1 || heightmap == last) << "undo missed the last run's map";
                    ToolkitKey(controlWindow->window, 'y');
                    EXPECT_EQ(heightmap, startup);
                    currentTool = kCreateMountain, Strokes(1);
                    EXPECT_NE(heightmap, startup);
                    Fl::e_keysym = FL_Escape, Fl::handle(FL_SHORTCUT, previewWindow);
                    controlWindow->CloseRequest(nullptr, nullptr);
                    ASSERT_EQ(fake.questions.size(), 2u);
                    EXPECT_EQ(fake.questions[0].title + ": " + fake.questions[0].text,
                              "Warning: The landscape has not been exported or passed to Quarn. "
                              "Close the plug-in anyway?");
                    EXPECT_TRUE(previewWindow->shown() && !closeRequest) << "closed unsaved";
                    exportRequest = 1;
                  },
                  [&] {
                    EXPECT_TRUE(WaitUntil([&] { return fake.saveDialogs.size() == 1; }));
                    exportRequest = 1;
                    ASSERT_TRUE(WaitUntil([&] { return fake.messages.size() == 1; }));
                    EXPECT_TRUE(CloseConfirmed() && fake.questions.size() == 2) << "asked again";
                    PluginSetCallback(nullptr), passRequest = 1, EditorIdle(nullptr);
                    EXPECT_TRUE(previewWindow->shown() && !closeRequest)
                        << "a failed hand-off ended it";
                    PluginSetCallback(CountingHost), passRequest = 1;
                  }},
                 20);
    PluginSetCallback(nullptr), last = heightmap;
    EXPECT_EQ(handOffs, run);
    EXPECT_FALSE(TerrainUnsaved()) << "the hand-off did not count as saving the terrain";
    const std::vector<FakePlatform::Message>& m = fake.messages;  // [1]: the failed hand-off
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(
        m[0].title + ": " + m[0].text + "|" + m[1].title + "|" + m[2].title + ": " + m[2].text,
        "QMF exporter: File correctly exported to QMF format.|Warning|Information: Land correctly "
        "exported to Quarn!\nAdvanced Relievo Plugin 1.0 by\nEttar Quell \"Il Morvi\".");
    EXPECT_EQ(m[2].icon, platform::MessageIcon::Information);
    if (run == 3) afterRun3 = HeapKiB(), historyAfterRun3 = long(HistoryBytes() / 1024);
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
