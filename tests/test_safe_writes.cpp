// Whole-file writes that cannot finish, targets that are no files, and what a replace keeps.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "tests/support/files.h"

namespace fs = std::filesystem;

namespace {

const std::string kNew(200'000, 'n');

// 0: refused with `reason` in its message; 1: reported success; 2: refused with another reason.
int Write(const std::string& path, const std::string& reason, const std::string& bytes = kNew) {
  std::string why;
  if (platform::WriteWholeFile(path, bytes, platform::FileMode::Binary, &why)) return 1;
  return why.find(reason) == std::string::npos ? 2 : 0;
}

std::string Attribute(const std::string& path, const char* name) {
  char value[256];
  const ssize_t n = getxattr(path.c_str(), name, value, sizeof(value));
  return n < 0 ? "(none)" : std::string(value, n);
}

// A POSIX ACL as the kernel stores it: owner rw, user 65534 r, group r, mask r, others nothing.
std::string NobodyMayReadAcl() {
  const std::array<std::uint32_t, 3> entries[] = {
      {0x01, 6, ~0u}, {0x02, 4, 65534}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}};
  std::string acl("\x02\0\0\0", 4);  // version 2, then tag and permissions (16 bits), id
  for (const auto& [tag, perm, id] : entries) {
    const std::uint16_t head[2] = {static_cast<std::uint16_t>(tag),
                                   static_cast<std::uint16_t>(perm)};
    acl.append(reinterpret_cast<const char*>(head), 4)
        .append(reinterpret_cast<const char*>(&id), 4);
  }
  return acl;
}

class SafeWrites : public ::testing::TestWithParam<bool> {
 protected:
  // "the old map", with a second name when rewritten in place (a replace would split them).
  std::string Old() {
    std::ofstream(folder / "map.qmf") << "the old map";
    if (GetParam()) fs::create_hard_link(folder / "map.qmf", folder / "other-name.qmf");
    return folder / "map.qmf";
  }
  void ExpectOldKept() {
    for (const auto& file : fs::directory_iterator(folder.path)) {
      const std::string bytes = ReadAll(file.path());
      EXPECT_TRUE(bytes == "the old map") << file.path() << ", " << bytes.size() << " bytes";
    }
  }
  ScratchFolder folder;
};

TEST_P(SafeWrites, WritePastTheFileSizeLimitFailsAndKeepsTheOldFileUnderEveryName) {
  const std::string path = Old();
  EXPECT_EQ(InChild([&] {
              LimitFileSize(1000);
              return Write(path, std::strerror(EFBIG));
            }),
            0)
      << "153 (128 + 25): the process was ended by SIGXFSZ";
  ExpectOldKept();
}

// A full file system, made as a 64 KiB tmpfs (root only).
TEST_P(SafeWrites, WriteToAFullDiskFailsAndKeepsTheOldFileUnderEveryName) {
  if (mount("tmpfs", folder.path.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "a small tmpfs cannot be mounted here: " << std::strerror(errno);
  EXPECT_EQ(Write(Old(), std::strerror(ENOSPC)), 0);
  ExpectOldKept();
  umount2(folder.path.c_str(), MNT_DETACH);
}

INSTANTIATE_TEST_SUITE_P(InPlaceAndReplaced, SafeWrites, ::testing::Bool());

// A FIFO would block the open for ever; a socket (as a device) cannot keep the map.
TEST(WriteWholeFile, TargetsThatAreNoRegularFilesAreRefused) {
  ScratchFolder folder;
  ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0644), 0);
  fs::create_symlink(folder / "pipe", folder / "link");
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", (folder / "socket").c_str());
  const int s = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  for (const char* target : {"pipe", "link", "socket"}) {
    EXPECT_EQ(InChild([&] { return Write(folder / target, "not a regular file"); }, 10), 0)
        << target << ": 1 called saved, 2 another reason, 142 hung";
  }
  close(s);
}

// Who may read the file stays as it was: its ACL and attributes are kept, and the folder's
// default ACL adds nobody to a file that had no ACL.
TEST(WriteWholeFile, ReplaceKeepsExtendedAttributesAndAccessLists) {
  ScratchFolder folder;
  const std::string path = folder / "map.qmf", plain = folder / "plain.qmf",
                    acl = NobodyMayReadAcl();
  std::ofstream(path) << "old";
  std::ofstream(plain) << "old";
  if (setxattr(path.c_str(), "user.relievo", "kept", 4, 0) != 0 ||
      setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0 ||
      setxattr(folder.path.c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0) != 0)
    GTEST_SKIP() << "no extended attributes or ACLs here: " << std::strerror(errno);
  struct stat before {};
  stat(path.c_str(), &before);
  ASSERT_EQ(Write(path, ""), 1);
  ASSERT_EQ(Write(plain, ""), 1);
  EXPECT_EQ(Attribute(path, "user.relievo"), "kept");
  EXPECT_EQ(Attribute(path, "system.posix_acl_access"), acl);
  EXPECT_EQ(Attribute(plain, "system.posix_acl_access"), "(none)");
  struct stat after {};
  stat(path.c_str(), &after);
  EXPECT_EQ(after.st_mode, before.st_mode);
}

}  // namespace
