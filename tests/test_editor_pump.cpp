// The editor's pump inside a live run: painting with the held button, the
// readout, the deferred requests and the ways the pump ends the run.
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Value_Output.H>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "editor/editor_idle.h"
#include "plugin/plugin_state.h"
#include "preview/my_gl_win.h"
#include "tests/support/fake_platform.h"
#include "tests/support/run_driver.h"
#include "ui/control_window.h"

namespace {

const char kPassText[] =
    "Land correctly exported to Quarn!\nAdvanced Relievo Plugin 1.0 by\nEttar Quell \"Il Morvi\".";
const char kExportText[] = "File correctly exported to QMF format.";

int handOffs = 0;
void CountingHost(PluginCallbackData) { ++handOffs; }

// Keeps the editor clear of the other windows, so the warped pointer is over it.
void PointAt(int x, int y, unsigned int button) {
  editorDisplay->move(700, 400);
  editorDisplay->set_mouse(x, y);
  editorDisplay->set_button();
  if (button) editorDisplay->set_button(button);
}

// Installs a host for the test and puts the previous one back after it.
struct ScopedHost {
  explicit ScopedHost(HostCallback h) : before(hostCallback) {
    hostCallback = h;
    handOffs = 0;
  }
  ~ScopedHost() { hostCallback = before; }
  HostCallback before;
};

TEST(EditorPump, HeldLeftButtonPaintsUnderTheBrushAndTheReadoutFollows) {
  ScopedFakePlatform platform;
  // Two raised points show, through the readout, that a pass ran with the
  // middle and then the right button held there.
  Heightmap flat(249, 249, 1, 1, 40);
  flat(30, 30) = 90;
  flat(60, 60) = 120;
  auto readout = [] { return controlWindow->brushMaxOutput->value(); };
  RunWithSteps({[&] {
                  heightmap = flat;
                  PointAt(100, 100, 1);  // Fix Draw is the tool at start
                },
                [&] {
                  ASSERT_NE(controlWindow->brushMaxOutput, nullptr);
                  EXPECT_TRUE(WaitUntil([&] { return readout() == 40; }));
                  EXPECT_EQ(controlWindow->brushMinOutput->value(), 40);
                  EXPECT_EQ(controlWindow->brushMeanOutput->value(), 40);
                  EXPECT_EQ(heightmap, flat) << "Fix Draw changed the map";
                  currentTool = kPaintPlainBrush;
                  brushHeight = 200;
                  PointAt(30, 30, 2);
                },
                [&] {
                  EXPECT_TRUE(WaitUntil([&] { return readout() == 90; }));
                  PointAt(60, 60, 3);
                },
                [&] {
                  EXPECT_TRUE(WaitUntil([&] { return readout() == 120; }));
                  EXPECT_EQ(heightmap, flat) << "the right or middle button drew";
                  PointAt(100, 100, 1);
                  EXPECT_TRUE(WaitUntil([&] { return heightmap(100, 100) > 150; }));
                  EXPECT_EQ(heightmap(100, 104), 40);  // brush size 3
                  EXPECT_TRUE(WaitUntil([&] { return readout() > 150; }));
                  PointAt(100, 100, 0);
                }},
               0.2);
}

TEST(EditorPump, CloseRequestEndsTheRunOnTheNextPassWithAButtonHeld) {
  ScopedFakePlatform platform;
  Heightmap before, atClose;
  RunWithSteps({[&] {
                  heightmap.fill(0);
                  currentTool = kCreateMountain;
                  PointAt(120, 120, 1);
                },
                [&] {
                  before = heightmap;
                  EXPECT_TRUE(WaitUntil([&] { return heightmap != before; }))
                      << "the held tool should be working";
                  controlWindow->CloseRequest(nullptr, nullptr);
                  atClose = heightmap;
                }},
               0.05, 10.0, false);
  EXPECT_EQ(heightmap, atClose) << "a pass after Close Plugin still drew";
}

TEST(EditorPump, PassRequestEndsTheRunAlsoWhenTheHandOffFails) {
  ScopedFakePlatform platform;
  ScopedHost host(nullptr);
  RunWithSteps({[] { controlWindow->PassRequest(nullptr, nullptr); }}, 0.05, 10.0, false);
  for (const FakePlatform::Message& m : platform.fake.messages)
    EXPECT_NE(m.title, "Information") << "a failed hand-off was confirmed";
  EXPECT_EQ(passRequest, 0);
}

TEST(EditorPump, BothRequestsInOnePassHandOffFirstThenExport) {
  ScopedFakePlatform platform;
  ScopedHost host(CountingHost);
  const std::string path = testing::TempDir() + "pump_both.qmf";
  std::remove(path.c_str());
  platform.fake.saveAnswers.push_back(path);
  RunWithSteps({[] {
                  passRequest = 1;
                  exportRequest = 1;
                }},
               0.05, 10.0, false);
  EXPECT_EQ(handOffs, 1);
  EXPECT_TRUE(std::ifstream(path).good()) << "the export was skipped";
  ASSERT_EQ(platform.fake.messages.size(), 2u);
  EXPECT_EQ(platform.fake.messages[0].title, "Information");
  EXPECT_EQ(platform.fake.messages[0].text, kPassText);
  EXPECT_EQ(platform.fake.messages[0].icon, platform::MessageIcon::Information);
  EXPECT_EQ(platform.fake.messages[1].title, "QMF exporter");
  EXPECT_EQ(platform.fake.messages[1].text, kExportText);
  std::remove(path.c_str());
}

TEST(EditorPump, ExportConfirmsOnlyASavedFileAndTheRunGoesOn) {
  ScopedFakePlatform platform;
  FakePlatform& fake = platform.fake;
  const std::string path = testing::TempDir() + "pump_export.qmf";
  fake.saveAnswers = {std::nullopt, path};
  RunWithSteps({[] { controlWindow->ExportRequest(nullptr, nullptr); },
                [&] {
                  EXPECT_TRUE(WaitUntil([&] { return fake.saveDialogs.size() == 1 && !exportRequest; }));
                  EXPECT_TRUE(fake.messages.empty()) << "a cancelled export was confirmed";
                  EXPECT_TRUE(previewWindow->shown());
                  controlWindow->ExportRequest(nullptr, nullptr);
                },
                [&] {
                  EXPECT_TRUE(WaitUntil([&] { return !fake.messages.empty(); }));
                  ASSERT_EQ(fake.messages.size(), 1u);
                  EXPECT_EQ(fake.messages[0].title, "QMF exporter");
                  EXPECT_EQ(fake.messages[0].text, kExportText);
                  EXPECT_TRUE(previewWindow->shown());
                  EXPECT_TRUE(controlWindow->window->shown());
                }});
  std::remove(path.c_str());
}

TEST(EditorPump, ClosedEditorComesBackAndAClosedPreviewEndsTheRun) {
  ScopedFakePlatform platform;
  RunWithSteps({[] { editorDisplay->close(); },
                [] {
                  EXPECT_TRUE(WaitUntil([] { return !editorDisplay->is_closed(); }));
                  previewWindow->hide();
                }},
               0.05, 10.0, false);
  EXPECT_EQ(closeRequest, 0);  // the run ended on the hidden preview alone
}

TEST(EditorPump, APassWithoutRunWindowsTouchesNothing) {
  ASSERT_EQ(editorDisplay, nullptr);
  ASSERT_EQ(previewWindow, nullptr);
  passRequest = exportRequest = 1;
  ScopedFakePlatform platform;
  EditorIdle(nullptr);
  EXPECT_TRUE(platform.fake.messages.empty());
  EXPECT_EQ(passRequest, 1);
  passRequest = exportRequest = 0;
}

}  // namespace
