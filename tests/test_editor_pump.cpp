// The editor's pump inside a live run: what the editor shows, where the brush
// reads and draws, the preview redraws and the deferred requests.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Value_Output.H>
#include <X11/Xlib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "editor/editor_idle.h"
#include "plugin/plugin_state.h"
#include "plugin/views.h"
#include "preview/my_gl_win.h"
#include "tests/support/fake_platform.h"
#include "tests/support/run_driver.h"
#include "ui/control_window.h"

namespace {

int handOffs = 0;
void CountingHost(PluginCallbackData) { ++handOffs; }

// Puts the pointer over the editor at display pixel (x, y) and waits until
// the display has seen it.
void PointAt(int x, int y, unsigned int button) {
  editorDisplay->move(700, 300);
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

TEST(EditorPump, ShowsTheMapStretchedWithARedBrushSquare) {
  ScopedFakePlatform platform;
  RunWithSteps({[] {
    heightmap.fill(100);
    PointAt(50, 50, 0);
    Pass();
    cimg_library::CImg<unsigned char> shown;
    editorDisplay->snapshot(shown);
    // Grey 100 outside; inside, red at 0.1 over it: (0.1 * 255 + 0.9 * 100, 90, 90).
    // The display stretches 90..115 to 0..255.
    const double lo = 90, hi = int(0.1 * 255 + 0.9 * 100);
    auto stretched = [&](double v) { return (v - lo) * 255 / (hi - lo); };
    const int outside[3] = {shown(20, 20, 0, 0), shown(20, 20, 0, 1), shown(20, 20, 0, 2)};
    const int inside[3] = {shown(50, 50, 0, 0), shown(50, 50, 0, 1), shown(50, 50, 0, 2)};
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(outside[c], stretched(100), 3) << c;
    EXPECT_NEAR(inside[0], 255, 3);
    EXPECT_NEAR(inside[1], 0, 3);
    EXPECT_NEAR(inside[2], 0, 3);
    EXPECT_NEAR(shown(53, 47, 0, 0), 255, 3);  // brush size 3: 47..53
    EXPECT_NEAR(shown(54, 50, 0, 0), stretched(100), 3);
  }});
}

TEST(EditorPump, BrushFollowsThePointerAtTheZoomAndOnlyTheLeftButtonDraws) {
  ScopedFakePlatform platform;
  RunWithSteps({[] {
    heightmap.fill(10);
    heightmap(100, 100) = 77, heightmap(200, 200) = 199;
    displayZoom = 2;
    ResizeEditor(498, 498);
    PointAt(200, 200, 0);
    Pass();
    EXPECT_EQ(controlWindow->brushMaxOutput->value(), 77);
    EXPECT_EQ(controlWindow->brushMinOutput->value(), 10);
    EXPECT_EQ(controlWindow->brushMeanOutput->value(), (48 * 10 + 77) / 49);

    currentTool = kPaintPlainBrush;
    brushHeight = 200;
    const Heightmap before = heightmap;
    for (unsigned button : {2u, 4u}) {
      PointAt(200, 200, button);
      Pass();
    }
    EXPECT_EQ(heightmap, before) << "the right or middle button drew";
    PointAt(200, 200, 1);
    Pass();
    EXPECT_EQ(heightmap(100, 103), 105);  // half-way from 10 to 200
    EXPECT_EQ(heightmap(100, 104), 10);
    EXPECT_NE(previewWindow->damage(), 0) << "the preview was not redrawn after the stroke";
    PointAt(200, 200, 0);
  }});
}

// What the user and the window manager do to the editor window, through a
// connection of the test's own.
struct OutsideX {
  OutsideX() : dpy(XOpenDisplay(nullptr)) {}
  ~OutsideX() { XCloseDisplay(dpy); }
  void PointerToScreenCorner() {
    XWarpPointer(dpy, 0, DefaultRootWindow(dpy), 0, 0, 0, 0, 1, 1);
    XSync(dpy, False);
  }
  void Resize(int w, int h) {
    XResizeWindow(dpy, editorDisplay->_window, w, h);
    XSync(dpy, False);
  }
  bool SizeIs(int w, int h) {
    XWindowAttributes a;
    XGetWindowAttributes(dpy, editorDisplay->_window, &a);
    return a.width == w && a.height == h && editorDisplay->window_width() == w &&
           editorDisplay->window_height() == h;
  }
  Display* dpy;
};

// CImg reads -1 off the window (and beyond the map) but keeps the button
// bits when the pointer leaves: the brush would sit on the top-left corner.
TEST(EditorPump, NoToolOffTheWindowAndTheWindowKeepsTheMapSizeTimesTheZoom) {
  ScopedFakePlatform platform;
  RunWithSteps({[] {
    OutsideX x;
    heightmap.fill(100);
    currentTool = kPaintPlainBrush;
    brushHeight = 255;
    PointAt(100, 100, 0);
    x.PointerToScreenCorner();
    ASSERT_TRUE(WaitUntil([] { return editorDisplay->mouse_x() < 0; }));
    editorDisplay->set_button(1);
    const Heightmap before = heightmap;
    Pass();
    Pass();
    editorDisplay->set_button();
    EXPECT_EQ(heightmap, before) << "corner: " << int(heightmap(0, 0));

    displayZoom = 2;
    ResizeEditor(498, 498);
    x.Resize(400, 300);
    EXPECT_TRUE(WaitUntil([&] { return x.SizeIs(498, 498); })) << editorDisplay->window_width();
  }});
}

TEST(EditorPump, RedrawsADamagedPreviewAndBringsTheEditorBack) {
  ScopedFakePlatform platform;
  RunWithSteps({[] {
                  previewWindow->clear_damage(FL_DAMAGE_EXPOSE);
                  EditorIdle(nullptr);
                  EXPECT_EQ(previewWindow->damage() & FL_DAMAGE_ALL, FL_DAMAGE_ALL);
                  editorDisplay->close();
                },
                [] {
                  EXPECT_TRUE(WaitUntil([] { return !editorDisplay->is_closed(); }));
                  previewWindow->hide();
                }},
               0.05, 10.0, false);
  EXPECT_EQ(closeRequest, 0);  // the run ended on the hidden preview alone
}

// A cancelled export says nothing; a saved one is confirmed and the run goes
// on; a failed hand-off keeps the run (the terrain would be lost), a
// successful one is confirmed and ends it.
TEST(EditorPump, ConfirmsExportAndHandOffAndTheHandOffEndsTheRun) {
  ScopedFakePlatform platform;
  FakePlatform& fake = platform.fake;
  HostCallback before = hostCallback;
  hostCallback = CountingHost;
  handOffs = 0;
  const std::string path = testing::TempDir() + "pump_export.qmf";
  std::remove(path.c_str());
  fake.saveAnswers = {std::nullopt, path};
  RunWithSteps({[] { exportRequest = 1; },
                [&] {
                  EXPECT_TRUE(WaitUntil([&] { return fake.saveDialogs.size() == 1; }));
                  EXPECT_TRUE(fake.messages.empty()) << "a cancelled export was confirmed";
                  exportRequest = 1;
                  EXPECT_TRUE(WaitUntil([&] { return fake.messages.size() == 1; }));
                  EXPECT_TRUE(previewWindow->shown());
                  hostCallback = nullptr;
                  passRequest = 1;
                  Pass();
                  EXPECT_EQ(closeRequest, 0) << "a failed hand-off ended the run";
                  hostCallback = CountingHost;
                  passRequest = 1;
                }},
               0.05, 10.0, false);
  hostCallback = before;
  EXPECT_EQ(handOffs, 1);
  EXPECT_TRUE(std::ifstream(path).good());
  ASSERT_EQ(fake.messages.size(), 3u);
  EXPECT_EQ(fake.messages[0].title, "QMF exporter");
  EXPECT_EQ(fake.messages[0].text, "File correctly exported to QMF format.");
  EXPECT_EQ(fake.messages[1].title, "Warning");  // no host
  EXPECT_EQ(fake.messages[2].title, "Information");
  EXPECT_EQ(fake.messages[2].text,
            "Land correctly exported to Quarn!\nAdvanced Relievo Plugin 1.0 by\n"
            "Ettar Quell \"Il Morvi\".");
  EXPECT_EQ(fake.messages[2].icon, platform::MessageIcon::Information);
  std::remove(path.c_str());
}

}  // namespace
