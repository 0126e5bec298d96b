// Bad inputs from the user, the disk and the host: each gives a clear message
// (or is refused quietly where the user asked for nothing) and leaves the
// heightmap and the settings as they were, with no temporary file behind.
#include <FL/Fl_Choice.H>
#include <FreeImage.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include "export/export_ops.h"
#include "plugin/exports.h"
#include "plugin/plugin_run.h"
#include "preview/my_gl_win.h"
#include "tests/support/run_driver.h"
#include "ui/option_dialogs.h"
#include "plugin/plugin_state.h"
#include "tests/support/fake_platform.h"
#include "ui/control_window.h"

namespace {

std::string MakeScratchDir() {
  char templ[] = "/tmp/relievo-badXXXXXX";
  return mkdtemp(templ) ? templ : "";
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

int CountLandFiles(const std::string& dir) {
  int n = 0;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) n += std::string(e->d_name).rfind("land", 0) == 0;
    closedir(d);
  }
  return n;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A real image of w x h written by FreeImage, as bytes.
std::string EncodedImage(FREE_IMAGE_FORMAT fif, const std::string& scratch, int w, int h) {
  FIBITMAP* b = FreeImage_Allocate(w, h, 24);
  std::string path = scratch + "/encoded.img";
  FreeImage_Save(fif, b, path.c_str(), 0);
  FreeImage_Unload(b);
  std::string bytes = ReadBytes(path);
  std::remove(path.c_str());
  return bytes;
}

// A JPEG whose frame header claims 60000 x 60000 pixels.
std::string HugeJpeg(const std::string& scratch) {
  std::string jpeg = EncodedImage(FIF_JPEG, scratch, 8, 8);
  std::size_t sof = jpeg.find("\xFF\xC0");
  if (sof == std::string::npos) return "";
  // Marker, length (2), precision (1), then height and width, big-endian.
  jpeg[sof + 5] = jpeg[sof + 7] = char(0xEA);
  jpeg[sof + 6] = jpeg[sof + 8] = char(0x60);
  return jpeg;
}

class BadInputs : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch = MakeScratchDir();
    ASSERT_FALSE(scratch.empty());
    setenv("TMPDIR", scratch.c_str(), 1);
    heightmap.assign(63, 63, 1, 1);
    cimg_forXY(heightmap, x, y) heightmap(x, y) = static_cast<unsigned char>(x * 3 + y);
    before = heightmap;
    ResetDefaults();
    mapSize = 63;
    maxWideness = 2048;
    window = new ControlWindow();
    if (window->mapDimensionsChoice) window->mapDimensionsChoice->value(2);
  }
  void TearDown() override {
    delete window;
    unsetenv("TMPDIR");
    std::string cmd = "rm -rf '" + scratch + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    heightmap.assign(249, 249, 1, 1, 0);
    ResetDefaults();
  }

  // Nothing the user had is changed, and nothing temporary is left.
  void ExpectUnchanged() {
    EXPECT_TRUE(heightmap == before);
    EXPECT_EQ(mapSize, 63);
    EXPECT_EQ(maxWideness, 2048);
    if (window->mapDimensionsChoice) {
      EXPECT_EQ(window->mapDimensionsChoice->value(), 2);
    }
    EXPECT_EQ(CountLandFiles(scratch), 0);
  }

  void ExpectOneWarningNaming(const FakePlatform& fake, const std::string& what) {
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].title, "Warning");
    EXPECT_EQ(fake.messages[0].icon, platform::MessageIcon::Exclamation);
    EXPECT_NE(fake.messages[0].text.find(what), std::string::npos) << fake.messages[0].text;
  }

  std::string scratch;
  Heightmap before;
  ControlWindow* window = nullptr;
};

TEST_F(BadInputs, ImageFilesThatCannotBeLoadedChangeNothing) {
  struct Row {
    const char* name;
    std::function<std::string(const std::string& scratch)> makePath;
  };
  const std::string png = EncodedImage(FIF_PNG, scratch, 40, 40);
  const std::vector<Row> rows = {
      {"empty file",
       [](const std::string& d) {
         WriteBytes(d + "/empty.png", "");
         return d + "/empty.png";
       }},
      {"truncated PNG",
       [&](const std::string& d) {
         WriteBytes(d + "/cut.png", png.substr(0, png.size() / 2));
         return d + "/cut.png";
       }},
      {"JPEG with a huge declared size",
       [](const std::string& d) {
         WriteBytes(d + "/huge.jpg", HugeJpeg(d));
         return d + "/huge.jpg";
       }},
      {"text file named .png",
       [](const std::string& d) {
         WriteBytes(d + "/notes.png", "these are my notes, not a picture\n");
         return d + "/notes.png";
       }},
      {"directory chosen as a file",
       [](const std::string& d) {
         mkdir((d + "/folder.png").c_str(), 0700);
         return d + "/folder.png";
       }},
      {"PGM 55 million pixels long (found by fuzzing: the rescale ran out of memory)",
       [](const std::string& d) {
         WriteBytes(d + "/long.pgm",
                    std::string("P5\x0e\xd3\xca\x06" "55111111\x0e" "1\x9c" "11\0\0a\0", 22));
         return d + "/long.pgm";
       }},
      {"path longer than 1024 characters",
       [](const std::string& d) { return d + "/" + std::string(1100, 'p') + ".png"; }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScopedFakePlatform platform;
    std::string path = row.makePath(scratch);
    platform.fake.openAnswers.push_back(path);
    window->LoadImage(nullptr, nullptr);
    ExpectOneWarningNaming(platform.fake, path.size() > 200 ? path.substr(0, 40) : path);
    ExpectUnchanged();
  }
}

TEST_F(BadInputs, AnExportThatCannotBeWrittenSaysWhyAndLeavesNoFile) {
  WriteBytes(scratch + "/plain-file", "x");
  const std::vector<std::string> paths = {
      scratch + "/no-such-folder/map.qmf",  // folder missing
      scratch + "/plain-file/map.qmf",      // a file where a folder should be
      scratch,                              // a folder chosen as the file
  };
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    ScopedFakePlatform platform;
    platform.fake.saveAnswers.push_back(path);
    EXPECT_EQ(ExportToFile(), 0);
    ExpectOneWarningNaming(platform.fake, path);
    ExpectUnchanged();
  }
  EXPECT_FALSE(Exists(scratch + "/no-such-folder"));
}

TEST_F(BadInputs, AFullDiskFailsTheExportWithoutAHalfWrittenFile) {
  // A file-size limit makes every write past 64 KiB fail, as a full disk would.
  heightmap.assign(249, 249, 1, 1, 5);
  mapSize = 249;
  before = heightmap;
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 64 * 1024;
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ScopedFakePlatform platform;
  std::string path = scratch + "/full.qmf";
  platform.fake.saveAnswers.push_back(path);
  int result = ExportToFile();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(result, 0);
  ExpectOneWarningNaming(platform.fake, path);
  EXPECT_FALSE(Exists(path));
  EXPECT_TRUE(heightmap == before);
  // Only the scratch folder's own entries: no temporary export file remains.
  int entries = 0;
  if (DIR* d = opendir(scratch.c_str())) {
    while (dirent* e = readdir(d)) entries += e->d_name[0] != '.';
    closedir(d);
  }
  EXPECT_EQ(entries, 0);
}

TEST_F(BadInputs, AHandOffWithoutAHostIsRefusedWithAMessage) {
  HostCallback saved = hostCallback;
  hostCallback = nullptr;
  ScopedFakePlatform platform;
  EXPECT_EQ(PassToHost(), 0);
  ASSERT_EQ(platform.fake.messages.size(), 1u);
  EXPECT_EQ(platform.fake.messages[0].title, "Warning");
  hostCallback = saved;
  ExpectUnchanged();
}

int nestedRunsSeen = 0;
bool runningInsideCallback = false;

void ReenteringCallback(PluginCallbackData) {
  runningInsideCallback = PluginRunning();
  MyGlWin* preview = previewWindow;
  PluginExecute();  // must return at once and leave the run alone
  nestedRunsSeen += previewWindow == preview ? 0 : 1;
}

TEST(BadCalls, ExecuteReenteredFromTheHostCallbackReturnsAtOnce) {
  ScopedFakePlatform platform;
  HostCallback saved = hostCallback;
  PluginSetCallback(ReenteringCallback);
  RunWithSteps({[] { passRequest = 1; }}, 0.05, 15.0, false);
  EXPECT_TRUE(runningInsideCallback);
  EXPECT_EQ(nestedRunsSeen, 0);
  EXPECT_FALSE(PluginRunning());
  ASSERT_EQ(platform.fake.messages.size(), 1u);
  EXPECT_EQ(platform.fake.messages[0].title, "Information");
  hostCallback = saved;
}

TEST(BadCalls, AnOptionDialogLeftOpenKeepsTheRunUntilItCloses) {
  ScopedFakePlatform platform;
  Fl_Double_Window* dialog = nullptr;
  RunWithSteps({[&] {
                  dialog = showPlasmaOptions();
                  closeRequest = 1;
                },
                [&] {
                  EXPECT_TRUE(WaitUntil([] { return !previewWindow->shown(); }));
                  EXPECT_FALSE(controlWindow->window->shown());
                  EXPECT_TRUE(dialog->shown());
                  EXPECT_TRUE(PluginRunning());
                  dialog->hide();
                }},
               0.05, 15.0, false);
  EXPECT_FALSE(PluginRunning());
}

TEST(BadCalls, EnlargeStopsAtTheScreensBound) {
  ScopedFakePlatform platform;
  RunWithSteps({[] {
    int last = displayZoom;
    for (int i = 0; i < 20; ++i) {
      controlWindow->Enlarge(nullptr, nullptr);
      if (displayZoom == last) break;
      last = displayZoom;
    }
    // At the bound another Enlarge changes nothing and the window fits the screen.
    controlWindow->Enlarge(nullptr, nullptr);
    EXPECT_EQ(displayZoom, last);
    EXPECT_LE(displayZoom * heightmap.width(), Fl::w());
    EXPECT_LE(displayZoom * heightmap.height(), Fl::h());
    EXPECT_EQ(editorDisplay->width(), displayZoom * heightmap.width());
  }});
}

}  // namespace
