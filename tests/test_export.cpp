// Export to a .qmf file and hand-off to the host, with the platform's dialogs
// and message boxes scripted.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "export/export_ops.h"
#include "export/map_text.h"
#include "host/map_text_reader.h"
#include "plugin/plugin_state.h"
#include "tests/support/fake_platform.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/relievo-export-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    heightmap.assign(63, 63, 1, 1, 0);
    cimg_forXY(heightmap, x, y) heightmap(x, y) = (x * 7 + y * 3) % 256;
    mapSize = 63;
  }
  void TearDown() override { fs::remove_all(dir); }

  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    return names;
  }
  // The one message shown must be a warning naming the path and the reason.
  void ExpectWarning(const std::string& path, const std::string& reason) {
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].title, "Warning");
    EXPECT_EQ(fake.messages[0].icon, platform::MessageIcon::Exclamation);
    EXPECT_NE(fake.messages[0].text.find(path), std::string::npos) << fake.messages[0].text;
    EXPECT_NE(fake.messages[0].text.find(reason), std::string::npos) << fake.messages[0].text;
  }

  ScopedFakePlatform platform;
  FakePlatform& fake = platform.fake;
  std::string dir;
};

TEST_F(ExportTest, CancelledDialogWritesNothingAndSaysNothing) {
  EXPECT_EQ(ExportToFile(), 0);
  ASSERT_EQ(fake.saveDialogs.size(), 1u);
  EXPECT_EQ(fake.saveDialogs[0].title, "Save to QMF file");
  ASSERT_EQ(fake.saveDialogs[0].filters.size(), 1u);
  EXPECT_EQ(fake.saveDialogs[0].filters[0].description, "QMF files(*.qmf)");
  EXPECT_EQ(fake.saveDialogs[0].filters[0].patterns, "*.qmf");
  EXPECT_TRUE(fake.messages.empty());
}

TEST_F(ExportTest, WritesFileFormToThePathAsTypedReplacingOldContent) {
  const std::string path = dir + "/landscape";
  std::ofstream(path) << std::string(20'000'000, 'x');
  fake.saveAnswers = {path};
  EXPECT_EQ(ExportToFile(), 1);
  EXPECT_TRUE(fake.messages.empty());
  EXPECT_EQ(ReadFile(path), BuildMapText(MapTextForm::File));
  EXPECT_EQ(Files(), std::vector<std::string>{"landscape"});
}

TEST_F(ExportTest, UnwritablePathIsReportedWithPathAndReason) {
  for (auto [path, error] : {std::pair{dir + "/missing/map.qmf", ENOENT}, {dir, EISDIR}}) {
    fake.messages.clear();
    fake.saveAnswers = {path};
    EXPECT_EQ(ExportToFile(), 0) << path;
    ExpectWarning(path, std::strerror(error));
  }
  EXPECT_TRUE(Files().empty());
}

// A write that fails half-way (here at the file size limit) keeps the old
// file whole and leaves nothing else behind.
TEST_F(ExportTest, FailedWriteKeepsTheOldFile) {
  const std::string path = dir + "/map.qmf";
  std::ofstream(path) << "the old map";
  rlimit old, small;
  getrlimit(RLIMIT_FSIZE, &old);
  small = old;
  small.rlim_cur = 100'000;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  fake.saveAnswers = {path};
  const int result = ExportToFile();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(result, 0);
  ExpectWarning(path, std::strerror(EFBIG));
  EXPECT_EQ(ReadFile(path), "the old map");
  EXPECT_EQ(Files(), std::vector<std::string>{"map.qmf"});
}

struct stat Stat(const std::string& path, bool follow = true) {
  struct stat st{};
  (follow ? stat : lstat)(path.c_str(), &st);
  return st;
}

// Replacing the file must keep what the user's file system relies on: its
// permissions, the link that leads to it, the other names it has, and a name
// that leaves no room for a longer temporary one.
TEST_F(ExportTest, ReplacingAFileKeepsItsModeLinksAndName) {
  const std::string text = BuildMapText(MapTextForm::File);
  const std::string secret = dir + "/secret.qmf", target = dir + "/target.qmf",
                    link = dir + "/link.qmf", a = dir + "/a.qmf", b = dir + "/b.qmf",
                    longName = dir + "/" + std::string(247, 'n') + ".qmf",
                    fresh = dir + "/fresh.qmf";
  for (const std::string& p : {secret, target, a, longName}) std::ofstream(p) << "old";
  chmod(secret.c_str(), 0640);
  ASSERT_EQ(symlink("target.qmf", link.c_str()), 0);
  ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);
  for (const std::string& p : {secret, link, a, longName, fresh}) {
    fake.saveAnswers = {p};
    EXPECT_EQ(ExportToFile(), 1) << p;
  }
  EXPECT_TRUE(fake.messages.empty()) << fake.messages[0].text;
  const mode_t mask = umask(022);
  umask(mask);
  EXPECT_EQ(Stat(secret).st_mode & 07777, 0640u);
  EXPECT_EQ(Stat(fresh).st_mode & 07777, 0666u & ~mask);
  EXPECT_TRUE(S_ISLNK(Stat(link, false).st_mode));
  EXPECT_EQ(Stat(b).st_nlink, 2u);
  for (const std::string& p : {secret, target, b, longName, fresh})
    EXPECT_EQ(ReadFile(p), text) << p;
  EXPECT_EQ(Files().size(), 7u);  // no temporary file left beside them
}

// Root may write anything, so the permission cases run as an ordinary user in
// a child process, which answers with one bit per case that went wrong.
TEST_F(ExportTest, PermissionsDecideAsForAPlainWrite) {
  const std::string text = BuildMapText(MapTextForm::File);
  const std::string open = dir + "/open", closed = dir + "/closed";
  const std::string writeOnly = open + "/w.qmf", readOnly = open + "/r.qmf",
                    inClosed = closed + "/c.qmf";
  mkdir(open.c_str(), 0755);
  mkdir(closed.c_str(), 0755);
  for (const std::string& p : {writeOnly, readOnly, inClosed}) std::ofstream(p) << "old";
  const bool root = geteuid() == 0;
  for (const std::string& p : {dir, open, closed, writeOnly, readOnly, inClosed})
    ASSERT_TRUE(!root || chown(p.c_str(), 65534, 65534) == 0);
  chmod(writeOnly.c_str(), 0200);
  chmod(readOnly.c_str(), 0444);
  chmod(closed.c_str(), 0555);
  const pid_t child = fork();
  if (child == 0) {
    if (root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(64);
    int wrong = 0;
    const std::pair<std::string, int> cases[] = {{writeOnly, 1}, {inClosed, 1}, {readOnly, 0}};
    for (int i = 0; i < 3; ++i) {
      fake.saveAnswers = {cases[i].first};
      if (ExportToFile() != cases[i].second) wrong |= 1 << i;
    }
    if (fake.messages.size() != 1 ||
        fake.messages[0].text.find(std::strerror(EACCES)) == std::string::npos)
      wrong |= 8;
    _exit(wrong);
  }
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  chmod(closed.c_str(), 0755);
  EXPECT_EQ(ReadFile(writeOnly), text);
  EXPECT_EQ(ReadFile(inClosed), text);
  EXPECT_EQ(ReadFile(readOnly), "old");
  EXPECT_EQ(Stat(writeOnly).st_mode & 07777, 0200u);
  EXPECT_EQ(Files().size(), 2u);
}

std::vector<std::pair<PluginCallbackData, std::string>> received;  // record, text copied

void RecordingHost(PluginCallbackData data) {
  received.push_back({data, std::string(data.text, data.size)});
}

TEST_F(ExportTest, HandOffGivesTheHostTextWithItsNulInOneCall) {
  received.clear();
  hostCallback = RecordingHost;
  EXPECT_EQ(PassToHost(), 1);
  hostCallback = nullptr;
  EXPECT_TRUE(fake.messages.empty());
  ASSERT_EQ(received.size(), 1u);
  const std::string expected = BuildMapText(MapTextForm::Host);
  EXPECT_EQ(received[0].first.kind, 1);
  EXPECT_EQ(received[0].first.size, static_cast<int>(expected.size()) + 1);
  EXPECT_EQ(received[0].second, expected + '\0');

  EXPECT_EQ(PassToHost(), 0);  // no host connected: never called, the user is told
  EXPECT_EQ(received.size(), 1u);
  ExpectWarning("", "No host");
}

}  // namespace
