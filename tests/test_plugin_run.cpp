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
#include <stdlib.h>

#include <algorithm>
#include <stdexcept>
#include <string>
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
    EXPECT_TRUE(!(hints.flags & PMaxSize) || hints.max_width > 300) << "the preview cannot grow";
    EXPECT_STREQ(controlWindow->window->label(), "Relievo Plugin Menu");
    EXPECT_TRUE(controlWindow->window->shown());
    EXPECT_EQ(PluginType(), 1);
    EXPECT_NE(previewWindow, nullptr);
    sawWindows = true;
  }});
  EXPECT_TRUE(sawWindows);
  EXPECT_EQ(previewWindow, nullptr);
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
  runningInsideCallback = previewWindow != nullptr;
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
  EXPECT_EQ(previewWindow, nullptr);
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
                  EXPECT_NE(previewWindow, nullptr);
                  dialog->hide();
                }},
               0.05, 15.0, false);
  EXPECT_EQ(previewWindow, nullptr);
}

// CImg connects to the screen on its first window only.
TEST(PluginRun, AnEditorWindowThatCannotOpenIsReportedAndDoesNotBlockTheNextRun) {
  if (cimg_library::cimg::X11_attr().display) GTEST_SKIP() << "CImg is already connected";
  ScopedFakePlatform platform;
  fl_open_display();
  const std::string display = getenv("DISPLAY");
  unsetenv("DISPLAY");
  const Heightmap before = heightmap;
  testing::internal::CaptureStderr();
  PluginExecute();
  const std::string err = testing::internal::GetCapturedStderr();
  setenv("DISPLAY", display.c_str(), 1);
  EXPECT_EQ(heightmap, before);
  EXPECT_NE(err.find("Failed to open X11 display"), std::string::npos) << err;
  ASSERT_EQ(platform.fake.messages.size(), 1u);
  EXPECT_EQ(platform.fake.messages[0].title, "Warning");
  // Checked without waiting, and released either way, so that a lock left
  // held fails here instead of hanging every later run.
  EXPECT_EQ(cimg_library::cimg::mutex(14, 2), 0) << "CImg's window lock was left held";
  cimg_library::cimg::mutex(14, 0);
  RunWithSteps({[] { EXPECT_TRUE(previewWindow->shown()); }});
}

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST(PluginRun, ARunWithoutAScreenSaysWhyLeavesTheMapAndTheNextRunWorks) {
  ScopedFakePlatform platform;
  platform.fake.displayFailure = "no X display is set";
  heightmap.assign(63, 63, 1, 1, 9)(5, 7) = 200;
  const Heightmap before = heightmap;
  testing::internal::CaptureStderr();
  RunWithSteps({});  // closes the run at once should it open after all
  RunWithSteps({});
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(heightmap, before) << "the start-up terrain changed the map";
  EXPECT_EQ(Lines(err), 2) << err;
  EXPECT_NE(err.find("no X display is set"), std::string::npos) << err;
  EXPECT_TRUE(platform.fake.messages.empty()) << "a box without a screen";

  platform.fake.displayFailure.reset();
  renderMode = 1;  // kept from an earlier run: the new choice must show it
  RunWithSteps({[] { EXPECT_EQ(controlWindow->renderingModeChoice->value(), 1); }});
  renderMode = 0;
  EXPECT_NE(heightmap, before) << "a working run makes its start-up terrain";
  heightmap.assign(249, 249, 1, 1, 0);
}

TEST(PluginRun, AnErrorInsideARunIsReportedAndTheNextRunWorks) {
  ScopedFakePlatform platform;
  testing::internal::CaptureStderr();
  RunWithSteps({[] { throw std::runtime_error("planted failure"); }}, 0.05, 10.0, false);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Lines(err), 1) << err;
  EXPECT_NE(err.find("planted failure"), std::string::npos) << err;
  ASSERT_EQ(platform.fake.messages.size(), 1u);
  EXPECT_EQ(platform.fake.messages[0].title, "Warning");
  EXPECT_NE(platform.fake.messages[0].text.find("planted failure"), std::string::npos);
  EXPECT_EQ(previewWindow, nullptr);
  RunWithSteps({[] { EXPECT_TRUE(controlWindow->window->shown()); }});
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
