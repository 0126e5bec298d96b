// The Win32 platform layer's files: the temporary files in the user's
// temporary folder, and whole-file writes that never leave the old file half
// replaced. Needs nothing but the platform layer, so it also builds 64-bit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "platform/platform_win32.h"

namespace {

TEST(TempFiles, AreUniqueLandFilesInTheTemporaryFolderAndRemovable) {
  char dir[MAX_PATH];
  ASSERT_GT(GetTempPathA(sizeof(dir), dir), 0u);
  std::set<std::string> names;
  for (int i = 0; i < 20; ++i) {
    std::string path;
    ASSERT_TRUE(platform::MakeTempFile("land", &path));
    EXPECT_TRUE(path.rfind(std::string(dir) + "lan", 0) == 0 && path[path.size() - 4] == '.')
        << path;
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    names.insert(path);
  }
  EXPECT_EQ(names.size(), 20u);
  for (const std::string& path : names)
    EXPECT_TRUE(platform::RemoveFile(path) &&
                GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(platform::RemoveFile(*names.begin()));
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(TempFiles, TheImageLoadsPnmNameIsMadeWithItAndRemovedWithIt) {
  std::string path;
  ASSERT_TRUE(platform::MakeTempFile("land", &path));
  const std::string pnm = path.substr(0, path.size() - 3) + "pnm";
  EXPECT_TRUE(Exists(pnm)) << "nobody else may create " << pnm << " first";
  EXPECT_TRUE(platform::RemoveFile(path));
  EXPECT_FALSE(Exists(pnm));
  EXPECT_FALSE(Exists(path));
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

void Put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A fresh folder of its own for each test; what is left in it is checked.
class WholeFileWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof(temp), temp), 0u);
    dir_ = std::string(temp) + "rlv-write-" + std::to_string(GetCurrentProcessId()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr)) << dir_;
    file_ = dir_ + "\\map.qmf";
    Put(file_, "old");
  }
  void TearDown() override {
    for (const std::string& name : Names()) {
      SetFileAttributesA((dir_ + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA((dir_ + "\\" + name).c_str());
    }
    RemoveDirectoryA(dir_.c_str());
  }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir_ + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      if (found.cFileName[0] != '.') names.insert(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
  }
  bool Write(const std::string& path, const std::string& bytes) {
    reason_.clear();
    return platform::WriteWholeFile(path, bytes, platform::FileMode::Text, &reason_);
  }
  std::string dir_, file_, reason_;
};

TEST_F(WholeFileWrite, ReplacingKeepsHiddenAndSystemAndLeavesNoTemporary) {
  ASSERT_TRUE(SetFileAttributesA(file_.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(Write(file_, "new\nlines\n")) << reason_;
  EXPECT_EQ(Slurp(file_), "new\r\nlines\r\n");
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  EXPECT_EQ(GetFileAttributesA(file_.c_str()) & kept, kept);
  EXPECT_THAT(Names(), ::testing::ElementsAre("map.qmf"));
}

TEST_F(WholeFileWrite, ReadOnlyFileIsRefusedAndStaysWholeAndReadOnly) {
  ASSERT_TRUE(SetFileAttributesA(file_.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(Write(file_, "new"));
  EXPECT_THAT(reason_, ::testing::Not(::testing::IsEmpty()));
  EXPECT_EQ(Slurp(file_), "old");
  EXPECT_TRUE(GetFileAttributesA(file_.c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_THAT(Names(), ::testing::ElementsAre("map.qmf"));
}

TEST_F(WholeFileWrite, HardLinkedFileGetsTheBytesUnderEveryName) {
  const std::string other = dir_ + "\\other.qmf";
  ASSERT_TRUE(CreateHardLinkA(other.c_str(), file_.c_str(), nullptr));
  ASSERT_TRUE(Write(file_, "a longer new text")) << reason_;
  EXPECT_EQ(Slurp(other), "a longer new text");
  ASSERT_TRUE(Write(other, "short")) << reason_;
  EXPECT_EQ(Slurp(file_), "short");
  EXPECT_THAT(Names(), ::testing::ElementsAre("map.qmf", "other.qmf"));
}

// Another program holding the file open without sharing its deletion blocks
// the replacement and the rename after it: the old bytes must survive.
TEST_F(WholeFileWrite, BlockedReplacementLeavesTheOldFileWholeAndNoTemporary) {
  HANDLE held = CreateFileA(file_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Write(file_, "new"));
  CloseHandle(held);
  EXPECT_THAT(reason_, ::testing::Not(::testing::IsEmpty()));
  EXPECT_EQ(Slurp(file_), "old");
  EXPECT_THAT(Names(), ::testing::ElementsAre("map.qmf"));
}

TEST_F(WholeFileWrite, NewFileIsCreatedAndAMissingFolderFails) {
  ASSERT_TRUE(Write(dir_ + "\\new.qmf", "x\n")) << reason_;
  EXPECT_EQ(Slurp(dir_ + "\\new.qmf"), "x\r\n");
  EXPECT_FALSE(Write(dir_ + "\\gone\\new.qmf", "x"));
  EXPECT_THAT(reason_, ::testing::Not(::testing::IsEmpty()));
  EXPECT_THAT(Names(), ::testing::ElementsAre("map.qmf", "new.qmf"));
}

}  // namespace
