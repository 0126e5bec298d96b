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
#include "plugin/plugin_state.h"
#include "tests/support/fake_platform.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

struct stat Stat(const std::string& path, int (*how)(const char*, struct stat*) = stat) {
  struct stat st{};
  how(path.c_str(), &st);
  return st;
}

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir);
    heightmap.assign(63, 63, 1, 1, 0);
    cimg_forXY(heightmap, x, y) heightmap(x, y) = (x * 7 + y * 3) % 256;
    mapSize = 63;
    text = BuildMapText(MapTextForm::File);
  }
  void TearDown() override { fs::remove_all(dir); }

  size_t Files() const { return std::distance(fs::directory_iterator(dir), {}); }
  int Export(const std::string& path) { return fake.saveAnswers = {path}, ExportToFile(); }
  // The messages shown so far: each a warning that names its path and reason.
  void ExpectWarnings(const std::vector<std::pair<std::string, std::string>>& pathAndReason) {
    ASSERT_EQ(fake.messages.size(), pathAndReason.size());
    for (std::size_t i = 0; i < pathAndReason.size(); ++i) {
      const FakePlatform::Message& m = fake.messages[i];
      EXPECT_TRUE(m.title == "Warning" && m.icon == platform::MessageIcon::Exclamation &&
                  m.text.find(pathAndReason[i].first) != std::string::npos &&
                  m.text.find(pathAndReason[i].second) != std::string::npos) << m.text;
    }
  }

  ScopedFakePlatform platform;
  FakePlatform& fake = platform.fake;
  const std::string dir = "/tmp/relievo-export-" + std::to_string(getpid());
  std::string text;
};

// A write that fails half-way (here at the file size limit) keeps the old
// file whole and leaves nothing else behind.
TEST_F(ExportTest, WritesTheFileFormAsTypedOrSaysWhyAndKeepsTheOldFile) {
  EXPECT_EQ(ExportToFile(), 0);  // cancelled: nothing written, nothing said
  const auto& dialog = fake.saveDialogs.at(0);
  EXPECT_EQ(dialog.title + dialog.filters.at(0).description + dialog.filters[0].patterns,
            "Save to QMF fileQMF files(*.qmf)*.qmf");
  const std::string path = dir + "/landscape";
  std::ofstream(path) << "the old map";
  rlimit old, small;
  getrlimit(RLIMIT_FSIZE, &old);
  small = old;
  small.rlim_cur = 100'000;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_EQ(Export(path), 0);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(ReadFile(path) == "the old map" && Files() == 1);
  EXPECT_EQ(Export(dir + "/missing/map.qmf") + Export(dir), 0);
  ExpectWarnings({{path, std::strerror(EFBIG)}, {dir + "/missing/map.qmf", std::strerror(ENOENT)},
                  {dir, std::strerror(EISDIR)}});
  std::ofstream(path) << std::string(20'000'000, 'x');
  EXPECT_EQ(Export(path), 1);
  EXPECT_TRUE(fake.messages.size() == 3 && ReadFile(path) == text && Files() == 1);
}

// Replacing the file must keep what the user's file system relies on: its
// permissions, the link that leads to it, the other names it has, and a name
// that leaves no room for a longer temporary one. Root may write anything, so
// the permission cases run as an ordinary user in a child process, which
// answers with one bit per case that went wrong.
TEST_F(ExportTest, ReplacingAFileKeepsItsModeLinksNameAndProtection) {
  const std::string secret = dir + "/secret.qmf", target = dir + "/target.qmf",
                    link = dir + "/link.qmf", a = dir + "/a.qmf", b = dir + "/b.qmf",
                    longName = dir + "/" + std::string(247, 'n') + ".qmf", fresh = dir + "/fresh.qmf";
  const std::string open = dir + "/open", closed = dir + "/closed", writeOnly = open + "/w.qmf",
                    readOnly = open + "/r.qmf", inClosed = closed + "/c.qmf";
  mkdir(open.c_str(), 0755), mkdir(closed.c_str(), 0755);
  for (const std::string& p : {secret, target, a, longName, writeOnly, readOnly, inClosed})
    std::ofstream(p) << "old";
  chmod(secret.c_str(), 0640);
  ASSERT_EQ(symlink("target.qmf", link.c_str()) + ::link(a.c_str(), b.c_str()), 0);
  for (const std::string& p : {secret, link, a, longName, fresh}) EXPECT_EQ(Export(p), 1) << p;
  EXPECT_TRUE(fake.messages.empty()) << fake.messages[0].text;
  for (const std::string& p : {secret, target, b, longName, fresh}) EXPECT_EQ(ReadFile(p), text) << p;
  const mode_t mask = umask(022);
  umask(mask);
  EXPECT_EQ(Stat(secret).st_mode & 07777, 0640u);
  EXPECT_EQ(Stat(fresh).st_mode & 07777, 0666u & ~mask);
  EXPECT_TRUE(S_ISLNK(Stat(link, lstat).st_mode) && Stat(b).st_nlink == 2);
  EXPECT_EQ(Files(), 9u);  // no temporary file left beside them

  for (const std::string& p : {dir, open, closed, writeOnly, readOnly, inClosed})
    ASSERT_EQ(chown(p.c_str(), 65534, 65534), 0);
  chmod(writeOnly.c_str(), 0200), chmod(readOnly.c_str(), 0444), chmod(closed.c_str(), 0555);
  fake.messages.clear();
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(64);
    const int wrong = (Export(writeOnly) != 1) | (Export(inClosed) != 1) << 1 | Export(readOnly) << 2;
    _exit(wrong | (fake.messages.size() != 1 || fake.messages[0].text.find(std::strerror(EACCES)) ==
                                                    std::string::npos) << 3);
  }
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  chmod(closed.c_str(), 0755);
  EXPECT_TRUE(ReadFile(writeOnly) == text && ReadFile(inClosed) == text && ReadFile(readOnly) == "old");
  EXPECT_EQ(Stat(writeOnly).st_mode & 07777, 0200u);
  EXPECT_EQ(std::distance(fs::directory_iterator(open), {}), 2);
}

std::vector<std::string> received;

TEST_F(ExportTest, HandOffGivesTheHostTextWithItsNulInOneCall) {
  hostCallback = [](PluginCallbackData d) {
    received.push_back(std::to_string(d.kind) + std::string(d.text, d.size));
  };
  EXPECT_EQ(PassToHost(), 1);
  hostCallback = nullptr;
  EXPECT_EQ(PassToHost(), 0);  // no host connected: never called, the user is told
  EXPECT_EQ(received, std::vector<std::string>{"1" + BuildMapText(MapTextForm::Host) + '\0'});
  ExpectWarnings({{"No host", ""}});
}

}  // namespace
