// A whole run in-process: the settings it starts from, its windows and their
// places, the editor's pump, and the ways a run ends or fails.
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Value_Output.H>
#include <FL/x.H>
#include <X11/Xutil.h>
#include <stdlib.h>

#include <stdexcept>
#include <tuple>

#include "editor/editor_idle.h"
#include "plugin/plugin_run.h"
#include "plugin/views.h"
#include "preview/my_gl_win.h"
#include "tests/support/fake_platform.h"
#include "tests/support/run_driver.h"
#include "ui/control_window.h"
#include "ui/option_dialogs.h"

namespace {

// Editor, preview and control window inside the work area, none over another.
void ExpectApart(const char* when) {
  const Fl_Window* c = controlWindow->window;
  WindowBox a, b[3] = {{editorDisplay->window_x(), editorDisplay->window_y(),
                        editorDisplay->width(), editorDisplay->height()},
                       {previewWindow->x(), previewWindow->y(), previewWindow->w(), previewWindow->h()},
                       {c->x(), c->y(), c->w(), c->h()}};
  Fl::screen_work_area(a.x, a.y, a.w, a.h, 0);
  for (const WindowBox& p : b) {
    EXPECT_TRUE(p.x >= a.x && p.y >= a.y && p.x + p.w <= a.x + a.w && p.y + p.h <= a.y + a.h)
        << when << ": a window off the work area";
    for (const WindowBox* q = &p + 1; q < b + 3; ++q)
      EXPECT_TRUE(p.x + p.w <= q->x || q->x + q->w <= p.x || p.y + p.h <= q->y || q->y + q->h <= p.y)
          << when << ": windows overlap";
  }
}

TEST(PluginRun, StartsFromTheDefaultsWithThreeWindowsApartThatStayInTheWorkArea) {
  ScopedFakePlatform platform;
  // Left by an earlier run: every run starts from the built-in settings.
  currentTool = kCreateMountain, displayZoom = 3, noiseType = 1, plasmaAlpha = plasmaBeta = 0.5;
  plasmaNoise = morviAlpha = morviBeta = morviNoise = noiseSigma = brushSize = brushHeight = 7;
  erodeTimes[0] = erodeTimes[1] = dilateTimes[0] = dilateTimes[1] = 9, maxHeight = 512;
  maxWideness = 2048;
  RunWithSteps({[] {
    auto all = [](auto... v) { return std::vector<double>{double(v)...}; };
    EXPECT_EQ(all(currentTool, displayZoom, noiseType, plasmaAlpha, plasmaBeta, plasmaNoise,
                  morviAlpha, morviBeta, morviNoise, noiseSigma, erodeTimes[0], erodeTimes[1],
                  dilateTimes[0], dilateTimes[1], maxWideness, maxHeight, brushSize, brushHeight),
              all(kFixDraw, 1, 0, 1, 1, 100, 3, 6.765, 100, 100, 100, 100, 100, 100, 1024, 255, 3,
                  10));
    EXPECT_STREQ(editorDisplay->title(), "Heightmap");
    EXPECT_STREQ(previewWindow->label(), "Landscape 3D View");
    XSizeHints hints{};
    long supplied = 0;
    XGetWMNormalHints(fl_display, fl_xid(previewWindow), &hints, &supplied);
    EXPECT_TRUE((hints.flags & PMinSize) && hints.min_width == 300 && hints.min_height == 300);
    EXPECT_TRUE(!(hints.flags & PMaxSize) || hints.max_width > 300) << "the preview cannot grow";
    ExpectApart("at start");
    int ax, ay, aw, ah;
    Fl::screen_work_area(ax, ay, aw, ah, 0);
    const int side = heightmap.width();
    for (int i = 0, last = 0; i < 20 && displayZoom != last; ++i)
      last = displayZoom, controlWindow->Enlarge(nullptr, nullptr);
    EXPECT_GE(displayZoom, 2);
    EXPECT_EQ(editorDisplay->width(), displayZoom * side);
    ExpectApart("enlarged as far as it goes");
    // Moved by the user near the right or the bottom edge: the bound counts from there.
    for (auto [x, y] : {std::pair{ax + aw - side - 20, ay}, std::pair{ax, ay + ah - side - 20}}) {
      displayZoom = 1;
      controlWindow->Reduce(nullptr, nullptr);
      editorDisplay->move(x, y);
      controlWindow->Enlarge(nullptr, nullptr);
      EXPECT_EQ(displayZoom, 1) << "at " << x << "," << y;
    }
    editorDisplay->move(ax, ay);
    controlWindow->Enlarge(nullptr, nullptr);
    EXPECT_EQ(displayZoom, 2);
    controlWindow->mapDimensionsChoice->value(3);
    controlWindow->changeSizeButton->do_callback();
    ExpectApart("after Change Size");
    const int x = previewWindow->x() + 100, y = previewWindow->y() + 300;
    previewWindow->position(x, y);
    controlWindow->Enlarge(nullptr, nullptr);
    EXPECT_EQ(std::make_pair(previewWindow->x(), previewWindow->y()), std::make_pair(x, y));
  }});
  EXPECT_TRUE(!editorDisplay && !previewWindow && !controlWindow);
  EXPECT_EQ(PluginType(), 1);
}

// One line on standard error and, with a screen, one warning box say why.
void ExpectRunSaysOnce(FakePlatform& fake, const std::function<void()>& run,
                       const std::string& why, bool box = true) {
  testing::internal::CaptureStderr();
  run();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(err.find('\n') == err.size() - 1 && err.find(why) != err.npos) << err;
  EXPECT_EQ(fake.messages.size(), box ? 1u : 0u);
  for (const FakePlatform::Message& m : fake.messages)
    EXPECT_TRUE(m.title == "Warning" && m.text.find(why) != m.text.npos) << m.text;
  fake.messages.clear();
}

void FailingStep() {
  EXPECT_EQ(controlWindow->renderingModeChoice->value(), 1);
  throw std::runtime_error("planted failure");
}

TEST(PluginRun, SaysWhyItCannotOpenOrFailsAndEndsOnAHiddenWindowOnceTheDialogsClose) {
  ScopedFakePlatform platform;
  FakePlatform& fake = platform.fake;
  fake.displayFailure = "no X display is set";
  heightmap.assign(63, 63, 1, 1, 9)(5, 7) = 200;
  const Heightmap before = heightmap;
  // The run is closed at once should it open after all.
  ExpectRunSaysOnce(fake, [] { RunWithSteps({}); }, *fake.displayFailure, false);
  EXPECT_EQ(heightmap, before) << "the start-up terrain changed the map";
  fake.displayFailure.reset();
  // CImg connects to the screen on its first window only, which fails here.
  if (!cimg_library::cimg::X11_attr().display) {
    fl_open_display();
    const std::string display = getenv("DISPLAY");
    unsetenv("DISPLAY");
    ExpectRunSaysOnce(fake, [&] { PluginExecute(), setenv("DISPLAY", display.c_str(), 1); },
                      "Failed to open X11 display");
    EXPECT_EQ(heightmap, before);
    // Checked without waiting, then released: a held lock would hang every later run.
    EXPECT_EQ(cimg_library::cimg::mutex(14, 2), 0) << "CImg's window lock was left held";
    cimg_library::cimg::mutex(14, 0);
  }
  renderMode = 1;  // kept from an earlier run: the new choice must show it
  ExpectRunSaysOnce(fake, [] { RunWithSteps({FailingStep}, 0.05, 10.0, false); },
                    "planted failure");
  EXPECT_NE(heightmap, before) << "a working run makes its start-up terrain";
  RunWithSteps({[] { previewWindow->hide(); }}, 0.05, 10.0, false);
  RunWithSteps({[] { controlWindow->window->hide(); }}, 0.05, 10.0, false);
  Fl_Double_Window* dialog = nullptr;
  RunWithSteps({[&] { dialog = showPlasmaOptions(), closeRequest = 1; },
                [&] {
                  EXPECT_TRUE(WaitUntil([] { return !previewWindow->shown(); }));
                  EXPECT_TRUE(dialog->shown() && previewWindow) << "a dialog left open";
                  dialog->hide();
                }},
               0.05, 15.0, false);
  EXPECT_EQ(previewWindow, nullptr);
  const std::string cut = "13 : " + std::string(1018, 'x');  // as the 1024-byte buffer holds it
  FreeImageMessageHandler(13, std::string(5000, 'x').c_str());
  ASSERT_EQ(fake.messages.size(), 1u);
  const FakePlatform::Message& m = fake.messages[0];
  EXPECT_EQ(std::tie(m.title, m.text, m.icon),
            std::make_tuple("Warning", cut, platform::MessageIcon::Exclamation));
}

// The pointer over the editor at display pixel (x, y), as the display sees it.
void PointAt(int x, int y, unsigned int button) {
  editorDisplay->move(700, 500);  // clear of where the run places its windows
  editorDisplay->set_mouse(x, y);
  editorDisplay->set_button();
  if (button) editorDisplay->set_button(button);
  EXPECT_TRUE(WaitUntil([&] { return editorDisplay->mouse_x() == x && editorDisplay->mouse_y() == y; }));
}

// One pass of the pump, the preview starting undamaged.
void Pass() {
  previewWindow->clear_damage();
  EditorIdle(nullptr);
}

// CImg reads -1 off the window but keeps the button bits: the brush would sit on the top-left
// corner. The pointer and the window manager's resize come through a connection of our own.
void PumpScenario() {
  heightmap.fill(100);
  PointAt(50, 50, 0);
  Pass();
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
  currentTool = kPaintPlainBrush;
  brushHeight = 200;
  XWarpPointer(dpy, 0, DefaultRootWindow(dpy), 0, 0, 0, 0, 1, 1);
  XSync(dpy, False);
  ASSERT_TRUE(WaitUntil([] { return editorDisplay->mouse_x() < 0; }));
  editorDisplay->set_button(1);
  const Heightmap flat = heightmap;
  Pass(), Pass();
  EXPECT_EQ(heightmap, flat) << "drew off the window: " << int(heightmap(0, 0));

  heightmap.fill(10);
  heightmap(100, 100) = 77, heightmap(200, 200) = 199;
  displayZoom = 2;
  ResizeEditor(498, 498);
  PointAt(200, 200, 0);
  Pass();
  EXPECT_EQ(controlWindow->brushMaxOutput->value(), 77);
  EXPECT_EQ(controlWindow->brushMinOutput->value(), 10);
  EXPECT_EQ(controlWindow->brushMeanOutput->value(), (48 * 10 + 77) / 49);
  const Heightmap before = heightmap;
  for (unsigned button : {2u, 4u}) PointAt(200, 200, button), Pass();
  EXPECT_EQ(heightmap, before) << "the right or middle button drew";
  PointAt(200, 200, 1);
  Pass();
  EXPECT_EQ(heightmap(100, 103), 105);  // half-way from 10 to 200
  EXPECT_EQ(heightmap(100, 104), 10);
  EXPECT_NE(previewWindow->damage(), 0) << "no preview redraw after the stroke";
  PointAt(200, 200, 0);

  XResizeWindow(dpy, editorDisplay->_window, 400, 300);
  XSync(dpy, False);
  EXPECT_TRUE(WaitUntil([&] {
    XWindowAttributes a;
    XGetWindowAttributes(dpy, editorDisplay->_window, &a);
    return a.width == 498 && a.height == 498 &&
           editorDisplay->window_width() == 498 && editorDisplay->window_height() == 498;
  })) << "the editor kept the window manager's size";
  XCloseDisplay(dpy);
  previewWindow->clear_damage(FL_DAMAGE_EXPOSE);
  EditorIdle(nullptr);
  EXPECT_EQ(previewWindow->damage() & FL_DAMAGE_ALL, FL_DAMAGE_ALL);
  editorDisplay->close();
}

TEST(EditorPump, ShowsTheBrushDrawsWithTheLeftButtonOnTheMapAndKeepsTheWindowsUp) {
  ScopedFakePlatform platform;
  PointerTurn pointer;
  RunWithSteps({PumpScenario,
                [] {
                  EXPECT_TRUE(WaitUntil([] { return !editorDisplay->is_closed(); }));
                  previewWindow->hide();
                }},
               0.05, 30.0, false);
  EXPECT_EQ(closeRequest, 0);  // the run ended on the hidden preview alone
}

}  // namespace
