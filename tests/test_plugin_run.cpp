// A whole run in-process: set-up, the toolkit loop, the ways a run ends, and
// what one run leaves for the next.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/x.H>
#include <X11/Xutil.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "plugin/exports.h"
#include "plugin/plugin_run.h"
#include "plugin/plugin_state.h"
#include "plugin/views.h"
#include "preview/my_gl_win.h"
#include "tests/support/fake_platform.h"
#include "tests/support/run_driver.h"
#include "ui/control_window.h"
#include "ui/option_dialogs.h"

namespace {

void RecordingCallback(PluginCallbackData) {}
void OtherCallback(PluginCallbackData) {}

TEST(PluginRun, OpensTheThreeWindowsAndTearsThemDown) {
  ScopedFakePlatform platform;
  bool sawWindows = false;
  RunWithSteps({[&] {
    ASSERT_NE(editorDisplay, nullptr);
    ASSERT_NE(previewWindow, nullptr);
    ASSERT_NE(controlWindow, nullptr);
    EXPECT_STREQ(editorDisplay->title(), "Heightmap");
    EXPECT_EQ(editorDisplay->width(), heightmap.width());
    EXPECT_EQ(editorDisplay->height(), heightmap.height());
    EXPECT_STREQ(previewWindow->label(), "Landscape 3D View");
    EXPECT_EQ(previewWindow->w(), 300);
    EXPECT_TRUE(previewWindow->shown());
    XSizeHints hints{};
    long supplied = 0;
    XGetWMNormalHints(fl_display, fl_xid(previewWindow), &hints, &supplied);
    EXPECT_TRUE(hints.flags & PMinSize);
    EXPECT_EQ(std::vector<int>({hints.min_width, hints.min_height}), std::vector<int>({300, 300}));
    EXPECT_STREQ(controlWindow->window->label(), "Relievo Plugin Menu");
    EXPECT_TRUE(controlWindow->window->shown());
    EXPECT_EQ(PluginType(), 1);
    EXPECT_TRUE(PluginRunning());
    sawWindows = true;
  }});
  EXPECT_TRUE(sawWindows);
  EXPECT_FALSE(PluginRunning());
  EXPECT_EQ(editorDisplay, nullptr);
  EXPECT_EQ(previewWindow, nullptr);
  EXPECT_EQ(controlWindow, nullptr);
  EXPECT_EQ(PluginType(), 1);
}

std::vector<WindowBox> RunWindowBoxes() {
  Fl_Double_Window* c = controlWindow->window;
  return {{editorDisplay->window_x(), editorDisplay->window_y(), editorDisplay->width(),
           editorDisplay->height()},
          {previewWindow->x(), previewWindow->y(), previewWindow->w(), previewWindow->h()},
          {c->x(), c->y(), c->w(), c->h()}};
}

void ExpectApartOnTheWorkArea(const char* when) {
  SCOPED_TRACE(when);
  int ax, ay, aw, ah;
  Fl::screen_work_area(ax, ay, aw, ah, 0);
  const std::vector<WindowBox> b = RunWindowBoxes();
  for (const WindowBox& w : b) {
    EXPECT_TRUE(w.x >= ax && w.y >= ay && w.x + w.w <= ax + aw && w.y + w.h <= ay + ah)
        << w.x << "," << w.y << " " << w.w << "x" << w.h;
  }
  for (int i = 0; i < 3; ++i)
    for (int j = i + 1; j < 3; ++j)
      EXPECT_FALSE(b[i].x < b[j].x + b[j].w && b[j].x < b[i].x + b[i].w &&
                   b[i].y < b[j].y + b[j].h && b[j].y < b[i].y + b[i].h)
          << "windows " << i << " and " << j << " overlap";
}

TEST(PluginRun, WindowsSitApartAndOneTheUserMovedStaysPut) {
  ScopedFakePlatform platform;
  RunWithSteps({[] {
    ExpectApartOnTheWorkArea("at start");
    for (int i = 0; i < 3; ++i) controlWindow->Enlarge(nullptr, nullptr);
    EXPECT_GT(displayZoom, 1);
    ExpectApartOnTheWorkArea("after Enlarge x3");
    controlWindow->mapDimensionsChoice->value(3);
    controlWindow->changeSizeButton->do_callback();
    ExpectApartOnTheWorkArea("after Change Size");
    const int x = previewWindow->x() + 100, y = previewWindow->y() + 300;
    previewWindow->position(x, y);
    controlWindow->Enlarge(nullptr, nullptr);
    controlWindow->Reduce(nullptr, nullptr);
    EXPECT_EQ(previewWindow->x(), x);
    EXPECT_EQ(previewWindow->y(), y);
  }});
  heightmap.assign(249, 249, 1, 1, 0);
}

TEST(PluginRun, EnlargeStopsWhereTheEditorWouldLeaveTheWorkArea) {
  ScopedFakePlatform platform;
  RunWithSteps({[] {
    int ax, ay, aw, ah;
    Fl::screen_work_area(ax, ay, aw, ah, 0);
    const int side = heightmap.width();
    auto enlargeAll = [] {
      for (int i = 0, last = 0; i < 20 && displayZoom != last; ++i) {
        last = displayZoom;
        controlWindow->Enlarge(nullptr, nullptr);
      }
    };
    // Placed by the plug-in: it stops while the editor still fits.
    enlargeAll();
    EXPECT_GE(displayZoom, 2);
    EXPECT_LE(editorDisplay->window_x() + displayZoom * side, ax + aw);
    EXPECT_LE(editorDisplay->window_y() + displayZoom * side, ay + ah);
    EXPECT_EQ(editorDisplay->width(), displayZoom * side);
    // Moved by the user close to the right or the bottom edge: the bound
    // counts from there.
    for (auto [x, y] : {std::pair{ax + aw - side - 20, ay}, std::pair{ax, ay + ah - side - 20}}) {
      displayZoom = 1;
      controlWindow->Reduce(nullptr, nullptr);
      editorDisplay->move(x, y);
      controlWindow->Enlarge(nullptr, nullptr);
      EXPECT_EQ(displayZoom, 1) << "at " << x << "," << y;
      EXPECT_EQ(editorDisplay->window_x(), x);
    }
    editorDisplay->move(ax, ay);
    controlWindow->Enlarge(nullptr, nullptr);
    EXPECT_EQ(displayZoom, 2);
  }});
}

TEST(PluginRun, EndsWhenThePreviewOrTheControlWindowIsHidden) {
  ScopedFakePlatform platform;
  RunWithSteps({[] { previewWindow->hide(); }}, 0.05, 10.0, false);
  RunWithSteps({[] { controlWindow->window->hide(); }}, 0.05, 10.0, false);
  RunWithSteps({[] { closeRequest = 1; }}, 0.05, 10.0, false);
}

bool runningInsideCallback = false;
void ReenteringCallback(PluginCallbackData) {
  runningInsideCallback = PluginRunning();
  MyGlWin* preview = previewWindow;
  PluginExecute();  // must return at once and leave the run alone
  EXPECT_EQ(previewWindow, preview);
}

TEST(PluginRun, ExecuteFromTheHostCallbackReturnsAtOnce) {
  ScopedFakePlatform platform;
  HostCallback saved = hostCallback;
  PluginSetCallback(ReenteringCallback);
  RunWithSteps({[] { passRequest = 1; }}, 0.05, 15.0, false);
  hostCallback = saved;
  EXPECT_TRUE(runningInsideCallback);
  EXPECT_FALSE(PluginRunning());
}

TEST(PluginRun, AnOptionDialogLeftOpenKeepsTheRunUntilItCloses) {
  ScopedFakePlatform platform;
  Fl_Double_Window* dialog = nullptr;
  RunWithSteps({[&] {
                  dialog = showPlasmaOptions();
                  closeRequest = 1;
                },
                [&] {
                  EXPECT_TRUE(WaitUntil([] { return !previewWindow->shown(); }));
                  EXPECT_TRUE(dialog->shown());
                  EXPECT_TRUE(PluginRunning());
                  dialog->hide();
                }},
               0.05, 15.0, false);
  EXPECT_FALSE(PluginRunning());
}

TEST(PluginRun, SetCallbackKeepsOnlyTheLatestPointer) {
  HostCallback before = hostCallback;
  PluginSetCallback(RecordingCallback);
  PluginSetCallback(OtherCallback);
  EXPECT_EQ(hostCallback, &OtherCallback);
  PluginSetCallback(before);
}

TEST(FreeImageMessages, AreFormattedAndCutToTheBuffer) {
  EXPECT_EQ(FormatFreeImageMessage(13, "Invalid magic number"), "13 : Invalid magic number");
  EXPECT_EQ(FormatFreeImageMessage(-1, ""), "-1 : ");
  std::string huge(5000, 'x');
  std::string text = FormatFreeImageMessage(2, huge.c_str());
  EXPECT_EQ(text.size(), 1023u);
  EXPECT_EQ(text.substr(0, 6), "2 : xx");

  ScopedFakePlatform platform;
  FreeImageMessageHandler(2, "Not a JPEG file");
  ASSERT_EQ(platform.fake.messages.size(), 1u);
  EXPECT_EQ(platform.fake.messages[0].title, "Warning");
  EXPECT_EQ(platform.fake.messages[0].text, "2 : Not a JPEG file");
  EXPECT_EQ(platform.fake.messages[0].icon, platform::MessageIcon::Exclamation);
}

}  // namespace
