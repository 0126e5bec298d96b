// Export to a .qmf file and hand-off to the host, with the platform's dialogs
// and message boxes scripted.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "export/export_ops.h"
#include "export/map_text.h"
#include "host/map_text_reader.h"
#include "plugin/plugin_state.h"
#include "tests/support/fake_platform.h"

namespace fs = std::filesystem;

namespace {

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/relievo-export-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    heightmap.assign(63, 63, 1, 1, 0);
    cimg_forXY(heightmap, x, y) heightmap(x, y) = (x * 7 + y * 3) % 256;
    mapSize = 63;
    maxWideness = 1024;
    maxHeight = 510;
  }
  void TearDown() override { fs::remove_all(dir); }

  std::vector<std::string> FilesInDir() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    return names;
  }

  ScopedFakePlatform platform;
  FakePlatform& fake = platform.fake;
  std::string dir;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST_F(ExportTest, CancelledDialogWritesNothingAndSaysNothing) {
  fake.saveAnswers = {std::nullopt};
  EXPECT_EQ(ExportToFile(), 0);
  ASSERT_EQ(fake.saveDialogs.size(), 1u);
  EXPECT_EQ(fake.saveDialogs[0].title, "Save to QMF file");
  ASSERT_EQ(fake.saveDialogs[0].filters.size(), 1u);
  EXPECT_EQ(fake.saveDialogs[0].filters[0].description, "QMF files(*.qmf)");
  EXPECT_EQ(fake.saveDialogs[0].filters[0].patterns, "*.qmf");
  EXPECT_TRUE(fake.messages.empty());
  EXPECT_TRUE(FilesInDir().empty());
}

TEST_F(ExportTest, WritesFileFormToThePathAsTypedAndReplacesOldContent) {
  const std::string path = dir + "/landscape";  // no extension is added
  WriteFile(path, std::string(20'000'000, 'x'));
  fake.saveAnswers = {path};
  EXPECT_EQ(ExportToFile(), 1);
  EXPECT_TRUE(fake.messages.empty());
  EXPECT_EQ(ReadFile(path), BuildMapText(MapTextForm::File));
  EXPECT_EQ(FilesInDir(), std::vector<std::string>{"landscape"});

  // Nothing is remembered: a second export writes the changed terrain.
  heightmap.fill(9);
  fake.saveAnswers = {path};
  EXPECT_EQ(ExportToFile(), 1);
  MapSummary summary;
  std::string error;
  ASSERT_TRUE(ReadMapText(ReadFile(path), &summary, &error)) << error;
  EXPECT_EQ(summary.maxY, 0);
}

TEST_F(ExportTest, UnwritablePathIsReportedWithPathAndReason) {
  struct Case {
    std::string path;
    int error;
  } cases[] = {{dir + "/missing/map.qmf", ENOENT}, {dir, EISDIR}};
  for (const Case& c : cases) {
    fake.messages.clear();
    fake.saveAnswers = {c.path};
    EXPECT_EQ(ExportToFile(), 0) << c.path;
    ASSERT_EQ(fake.messages.size(), 1u) << c.path;
    EXPECT_EQ(fake.messages[0].title, "Warning");
    EXPECT_EQ(fake.messages[0].icon, platform::MessageIcon::Exclamation);
    EXPECT_NE(fake.messages[0].text.find(c.path), std::string::npos) << fake.messages[0].text;
    EXPECT_NE(fake.messages[0].text.find(std::strerror(c.error)), std::string::npos)
        << fake.messages[0].text;
  }
  EXPECT_TRUE(FilesInDir().empty());
}

// A write that fails half-way (here: the file size limit) keeps the old file
// whole and leaves no partial file behind.
TEST_F(ExportTest, FailedWriteKeepsTheOldFile) {
  const std::string path = dir + "/map.qmf";
  WriteFile(path, "the old map");
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 100'000;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  fake.saveAnswers = {path};
  const int result = ExportToFile();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(result, 0);
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_NE(fake.messages[0].text.find(std::strerror(EFBIG)), std::string::npos)
      << fake.messages[0].text;
  EXPECT_EQ(ReadFile(path), "the old map");
  EXPECT_EQ(FilesInDir(), std::vector<std::string>{"map.qmf"});
}

struct Received {
  PluginCallbackData record;
  std::string check;
  std::string text;
};
std::vector<Received> received;

void RecordingHost(PluginCallbackData data) {
  received.push_back({data, CheckCallbackRecord(data), std::string(data.text, data.size)});
}

TEST_F(ExportTest, HandOffGivesTheHostTextWithItsNulInOneCall) {
  received.clear();
  hostCallback = RecordingHost;
  EXPECT_EQ(PassToHost(), 1);
  hostCallback = nullptr;
  EXPECT_TRUE(fake.messages.empty());
  ASSERT_EQ(received.size(), 1u);
  const std::string expected = BuildMapText(MapTextForm::Host);
  EXPECT_EQ(received[0].record.kind, 1);
  EXPECT_EQ(received[0].record.size, static_cast<int>(expected.size()) + 1);
  EXPECT_EQ(received[0].check, "");
  EXPECT_EQ(received[0].text, expected + '\0');
  EXPECT_EQ(expected.find('\n'), std::string::npos);
}

TEST_F(ExportTest, HandOffWithoutHostTellsTheUser) {
  hostCallback = nullptr;
  EXPECT_EQ(PassToHost(), 0);
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].title, "Warning");
  EXPECT_EQ(fake.messages[0].icon, platform::MessageIcon::Exclamation);
  EXPECT_NE(fake.messages[0].text.find("No host"), std::string::npos);
}

}  // namespace
