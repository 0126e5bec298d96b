// The Win32 platform layer's files: the temporary files in the user's
// temporary folder, and whole-file writes that never leave the old file half
// replaced. Needs nothing but the platform layer, so it also builds 64-bit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform_win32.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;

namespace {

// The image load asks for a ".pnm" beside its temporary: that name is made with the
// temporary, so nobody else may take it, and removed with it.
TEST(TempFiles, AreNewFilesInTheTemporaryFolderWithTheirPnmName) {
  char temp[MAX_PATH];
  ASSERT_GT(GetTempPathA(sizeof(temp), temp), 0u);
  std::string path, other;
  ASSERT_TRUE(platform::MakeTempFile("land", &path));
  ASSERT_TRUE(platform::MakeTempFile("land", &other));
  EXPECT_NE(path, other);
  EXPECT_TRUE(platform::RemoveFile(other));
  const fs::path made(path), pnm = fs::path(path).replace_extension(".pnm");
  EXPECT_THAT(path, ::testing::StartsWith(std::string(temp) + "lan"));
  EXPECT_TRUE(fs::exists(made));
  EXPECT_TRUE(fs::exists(pnm));
  EXPECT_TRUE(platform::RemoveFile(path));
  EXPECT_FALSE(fs::exists(made));
  EXPECT_FALSE(fs::exists(pnm));
}

// A fresh folder of its own for each test, holding map.qmf with "old".
class WholeFileWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir);
    std::ofstream(file, std::ios::binary) << "old";
  }
  void TearDown() override {
    for (const auto& entry : fs::directory_iterator(dir))
      SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(dir);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  bool Write(const std::string& path, const std::string& bytes) {
    return platform::WriteWholeFile(path, bytes, platform::FileMode::Text, &reason);
  }
  const std::string dir =
      (fs::temp_directory_path() / ("rlv-write-" + std::to_string(GetCurrentProcessId()))).string();
  const std::string file = dir + "\\map.qmf";
  std::string reason;
};

TEST_F(WholeFileWrite, ReplacementLeavesOnlyTheFileWithItsAttributes) {
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), kept));
  ASSERT_TRUE(Write(file, "new\nlines\n")) << reason;
  EXPECT_EQ(Read(file), "new\r\nlines\r\n");
  EXPECT_EQ(GetFileAttributesA(file.c_str()) & kept, kept);
  EXPECT_THAT(Names(), ElementsAre("map.qmf"));
}

TEST_F(WholeFileWrite, WriteToAReadOnlyFileIsRefusedLeavingItWhole) {
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(Write(file, "new"));
  EXPECT_NE(reason, "");
  EXPECT_EQ(Read(file), "old");
  EXPECT_THAT(Names(), ElementsAre("map.qmf"));
}

TEST_F(WholeFileWrite, HardLinkedFileGetsTheBytesUnderEveryName) {
  ASSERT_TRUE(CreateHardLinkA((dir + "\\other.qmf").c_str(), file.c_str(), nullptr));
  ASSERT_TRUE(Write(file, "a longer new text")) << reason;
  EXPECT_EQ(Read(dir + "\\other.qmf"), "a longer new text");
  EXPECT_THAT(Names(), ElementsAre("map.qmf", "other.qmf"));
}

// Another program holding the file open without sharing its deletion blocks
// the replacement and the rename after it: the old bytes must survive.
TEST_F(WholeFileWrite, BlockedReplacementLeavesOnlyTheOldFileWhole) {
  HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Write(file, "new"));
  CloseHandle(held);
  EXPECT_NE(reason, "");
  EXPECT_EQ(Read(file), "old");
  EXPECT_THAT(Names(), ElementsAre("map.qmf"));
}

}  // namespace
