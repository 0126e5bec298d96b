// A whole run in-process: set-up, the toolkit loop, the ways a run ends, and
// what one run leaves for the next.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include "plugin/exports.h"
#include "plugin/plugin_run.h"
#include "plugin/plugin_state.h"
#include "preview/my_gl_win.h"
#include "tests/support/fake_platform.h"
#include "tests/support/run_driver.h"
#include "ui/control_window.h"

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

TEST(PluginRun, EndsWhenThePreviewOrTheControlWindowIsHidden) {
  ScopedFakePlatform platform;
  RunWithSteps({[] { previewWindow->hide(); }}, 0.05, 10.0, false);
  RunWithSteps({[] { controlWindow->window->hide(); }}, 0.05, 10.0, false);
  RunWithSteps({[] { closeRequest = 1; }}, 0.05, 10.0, false);
}

TEST(PluginRun, ClosingTheEditorWindowDoesNotEndTheRun) {
  ScopedFakePlatform platform;
  RunWithSteps({[] { editorDisplay->close(); },
                [] {
                  EXPECT_TRUE(WaitUntil([] { return !editorDisplay->is_closed(); }));
                  EXPECT_TRUE(previewWindow->shown());
                  EXPECT_TRUE(controlWindow->window->shown());
                }});
}

TEST(PluginRun, ASecondRunStartsFromWhatTheFirstLeft) {
  ScopedFakePlatform platform;
  // The first run shrinks the map and changes settings of both kinds.
  RunWithSteps({[] {
    heightmap.assign(63, 63, 1, 1, 7);
    mapSize = 63;
    brushSize = 12;
    maxWideness = 4096;
    camZ = -5.0f;
    yaw = 30.0f;
    renderMode = 1;
    minColor = {10, 20, 30};
  }});
  Heightmap left = heightmap;
  RunWithSteps({[&] {
    // Same size; the start-up terrain works on it in place.
    EXPECT_EQ(heightmap.width(), 63);
    EXPECT_EQ(heightmap.height(), 63);
    // mapSize follows the map, so nothing reads past it.
    EXPECT_EQ(mapSize, 63);
    EXPECT_EQ(brushSize, 3.0);
    EXPECT_EQ(maxWideness, 1024);
    EXPECT_EQ(camZ, -5.0f);
    EXPECT_EQ(yaw, 30.0f);
    EXPECT_EQ(renderMode, 1);
    EXPECT_EQ(minColor.g, 20);
    EXPECT_EQ(editorDisplay->width(), 63);
  }});
  // Put the module-wide state back for the other tests.
  heightmap.assign(249, 249, 1, 1, 0);
  camZ = -2.7f;
  yaw = 0;
  renderMode = 0;
  minColor = {0, 0, 0};
}

TEST(PluginRun, ANestedExecuteLeavesTheRunningRunAlone) {
  ScopedFakePlatform platform;
  RunWithSteps({[] {
    MyGlWin* preview = previewWindow;
    ControlWindow* control = controlWindow;
    PluginExecute();
    EXPECT_EQ(previewWindow, preview);
    EXPECT_EQ(controlWindow, control);
    EXPECT_TRUE(previewWindow->shown());
    EXPECT_TRUE(PluginRunning());
  }});
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
