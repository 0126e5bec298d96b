// Whole-file writes: what a rewrite keeps, writes that cannot finish, odd or protected targets.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "tests/support/files.h"

namespace fs = std::filesystem;

namespace {

const std::string kNew(200'000, 'n');

// 0: refused with `reason` in its message; 1: reported success; 2: refused with another reason.
int Write(const std::string& path, const std::string& reason = "") {
  std::string why;
  if (platform::WriteWholeFile(path, kNew, platform::FileMode::Binary, &why)) return 1;
  return why.find(reason) == std::string::npos ? 2 : 0;
}

class SafeWrites : public ::testing::TestWithParam<bool> {
 protected:
  // "the old map", with a second name when rewritten in place (a replace would split them).
  std::string Old() {
    std::ofstream(folder / "map.qmf") << "the old map";
    if (GetParam()) fs::create_hard_link(folder / "map.qmf", folder / "other-name.qmf");
    return folder / "map.qmf";
  }
  // Every file in the folder, so also a temporary left behind.
  void ExpectEveryFileHolds(const std::string& bytes) {
    for (const auto& file : fs::directory_iterator(folder.path)) {
      EXPECT_TRUE(ReadAll(file.path()) == bytes)
          << file.path() << ": " << ReadAll(file.path()).size() << " bytes";
    }
  }
  ScratchFolder folder;
};

TEST_P(SafeWrites, WriteReachesTheFileUnderEveryName) {
  EXPECT_EQ(Write(Old()), 1);
  ExpectEveryFileHolds(kNew);
}

TEST_P(SafeWrites, WritePastTheFileSizeLimitKeepsTheOldFileUnderEveryName) {
  const std::string path = Old();
  EXPECT_EQ(InChild([&] {
              LimitFileSize(1000);
              return Write(path, std::strerror(EFBIG));
            }),
            0)
      << "1: called written; 2: another reason; 153 (128 + 25): ended by SIGXFSZ";
  ExpectEveryFileHolds("the old map");
}

INSTANTIATE_TEST_SUITE_P(InPlaceAndReplaced, SafeWrites, ::testing::Bool());

TEST(WriteWholeFile, ReplaceLeavesTheOldFileWholeForItsReaders) {
  ScratchFolder folder;
  std::ofstream(folder / "map.qmf") << "the old map";
  std::ifstream reader(folder / "map.qmf");
  ASSERT_EQ(Write(folder / "map.qmf"), 1);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), "the old map")
      << "the file was rewritten in place, not replaced";
}

// Its mode, and its extended attributes (where access lists are kept).
TEST(WriteWholeFile, ReplaceKeepsWhoMayReadTheFile) {
  ScratchFolder folder;
  const std::string path = folder / "map.qmf";
  std::ofstream(path) << "old";
  fs::permissions(path, fs::perms(0640));
  if (setxattr(path.c_str(), "user.relievo", "kept", 4, 0) != 0)
    GTEST_SKIP() << "no extended attributes here: " << std::strerror(errno);
  ASSERT_EQ(Write(path), 1);
  EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
  char value[8] = {};
  EXPECT_EQ(getxattr(path.c_str(), "user.relievo", value, sizeof(value)), 4);
  EXPECT_STREQ(value, "kept");
}

TEST(WriteWholeFile, SymbolicLinkStaysALinkToTheWrittenFile) {
  ScratchFolder folder;
  std::ofstream(folder / "target.qmf") << "old";
  fs::create_symlink("target.qmf", folder / "link.qmf");
  ASSERT_EQ(Write(folder / "link.qmf"), 1);
  EXPECT_TRUE(fs::is_symlink(folder / "link.qmf"));
  EXPECT_EQ(ReadAll(folder / "target.qmf"), kNew);
}

// The temporary beside it would need a name 7 characters longer than the longest.
TEST(WriteWholeFile, NameWithNoRoomForATemporaryIsWrittenInPlace) {
  ScratchFolder folder;
  const std::string path = folder / (std::string(250, 'n') + ".qmf");
  std::ofstream(path) << "old";
  ASSERT_EQ(Write(path), 1);
  EXPECT_EQ(ReadAll(path), kNew);
}

// Opening a FIFO to write would block for ever.
TEST(WriteWholeFile, TargetsThatAreNoRegularFilesAreRefused) {
  ScratchFolder folder;
  ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0644), 0);
  fs::create_symlink(folder / "pipe", folder / "link");
  for (const char* target : {"pipe", "link"}) {
    EXPECT_EQ(InChild([&] { return Write(folder / target, "not a regular file"); }, 10), 0)
        << target << ": 1 called written, 2 another reason, 142 hung";
  }
}

// Renaming a new file over it would bypass its protection (tried as nobody when we are root).
TEST(WriteWholeFile, WriteProtectedFileIsRefused) {
  ScratchFolder folder;
  const std::string path = folder / "map.qmf";
  std::ofstream(path) << "old";
  fs::permissions(path, fs::perms(0444));
  const bool root = geteuid() == 0;
  for (const std::string& p : {folder.path.string(), path})
    ASSERT_EQ(root ? chown(p.c_str(), 65534, 65534) : 0, 0) << p;
  EXPECT_EQ(InChild([&] {
              const bool nobody = !root || (setgid(65534) == 0 && setuid(65534) == 0);
              return nobody ? Write(path, strerror(EACCES)) : 64;
            }),
            0)
      << "1: called written; 2: another reason; 64: could not become nobody";
  EXPECT_EQ(ReadAll(path), "old");
}

}  // namespace
