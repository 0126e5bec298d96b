// The native temporary files: unique, prefixed, in the user's temporary folder.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <set>
#include <string>

#include "platform/platform.h"

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

TEST(TempFiles, AreUniquePrefixedAndRemovable) {
  char dir[] = "/tmp/relievo-tmpXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  setenv("TMPDIR", dir, 1);
  std::set<std::string> names;
  for (int i = 0; i < 50; ++i) {
    std::string path;
    ASSERT_TRUE(platform::MakeTempFile("land", &path));
    EXPECT_EQ(path.rfind(std::string(dir) + "/land", 0), 0u) << path;
    ASSERT_GE(path.size(), 4u);
    EXPECT_EQ(path[path.size() - 4], '.');
    EXPECT_TRUE(Exists(path));
    names.insert(path);
  }
  EXPECT_EQ(names.size(), 50u);
  for (const std::string& path : names) {
    EXPECT_TRUE(platform::RemoveFile(path));
    EXPECT_FALSE(Exists(path));
  }
  EXPECT_FALSE(platform::RemoveFile(*names.begin()));
  unsetenv("TMPDIR");
  rmdir(dir);
}

TEST(TempFiles, FailInAFolderThatCannotBeWritten) {
  setenv("TMPDIR", "/nonexistent/relievo", 1);
  std::string path;
  EXPECT_FALSE(platform::MakeTempFile("land", &path));
  unsetenv("TMPDIR");
}

}  // namespace
