// The checked whole-file write on POSIX systems.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace platform {
namespace {

std::string DirName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links ends at; it need not exist yet, and a
// dangling link creates its target, as a plain write through it would.
bool FollowLinks(std::string path, std::string* real, int* error) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *real = path;
      return true;
    }
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof(target));
    if (n < 0 || n == static_cast<ssize_t>(sizeof(target))) {
      *error = n < 0 ? errno : ENAMETOOLONG;
      return false;
    }
    const std::string next(target, n);
    path = next[0] == '/' ? next : DirName(path) + "/" + next;
  }
  *error = ELOOP;
  return false;
}

bool WriteAll(int fd, const std::string& bytes, int* error) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? errno : EIO;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// Every step is checked, the close included: some file systems report a
// failed write only there.
bool FinishFile(int fd, bool ok, bool sync, int* error) {
  if (ok && sync && fsync(fd) != 0) ok = false, *error = errno;
  if (close(fd) != 0 && ok) ok = false, *error = errno;
  return ok;
}

bool WriteInPlace(const std::string& real, const std::string& bytes, int* error) {
  const int fd = open(real.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  return FinishFile(fd, WriteAll(fd, bytes, error), false, error);
}

enum class Outcome { Done, Failed, NotHere };

// A temporary beside the file, given the old file's mode (and group), renamed
// over it once written and synced. NotHere when the old file's group cannot
// be kept, so the caller writes in place instead.
Outcome ReplaceAtomically(const std::string& real, const std::string& bytes, mode_t mode,
                          const struct stat* old, int* error) {
  std::string temp = real + ".XXXXXX";
  const int fd = mkostemp(&temp[0], O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return Outcome::Failed;
  }
  struct stat made;
  if (old && fstat(fd, &made) == 0 && made.st_gid != old->st_gid &&
      fchown(fd, static_cast<uid_t>(-1), old->st_gid) != 0) {
    close(fd);
    unlink(temp.c_str());
    return Outcome::NotHere;
  }
  bool ok = fchmod(fd, mode) == 0;
  if (!ok) *error = errno;
  ok = FinishFile(fd, ok && WriteAll(fd, bytes, error), true, error);
  if (ok && rename(temp.c_str(), real.c_str()) != 0) ok = false, *error = errno;
  if (!ok) unlink(temp.c_str());
  return ok ? Outcome::Done : Outcome::Failed;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool NameLeavesRoomForTemporary(const std::string& real) {
  const std::size_t suffix = 7;  // ".XXXXXX"
  long nameMax = pathconf(DirName(real).c_str(), _PC_NAME_MAX);
  if (nameMax <= 0) nameMax = NAME_MAX;
  return BaseName(real).size() + suffix <= static_cast<std::size_t>(nameMax) &&
         real.size() + suffix < PATH_MAX;
}

mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

bool WriteResolved(const std::string& real, const std::string& bytes, int* error) {
  struct stat st;
  const bool exists = stat(real.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    *error = EISDIR;
    return false;
  }
  // Renaming over a file we may not write would bypass its protection.
  if (exists && access(real.c_str(), W_OK) != 0) {
    *error = errno;
    return false;
  }
  // A rename would split a hard link, and could not keep another owner.
  const bool plainFile = S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == geteuid();
  const bool atomic = access(DirName(real).c_str(), W_OK | X_OK) == 0 &&
                      NameLeavesRoomForTemporary(real) && (!exists || plainFile);
  Outcome outcome = Outcome::NotHere;
  if (atomic)
    outcome = ReplaceAtomically(real, bytes, exists ? st.st_mode & 07777 : NewFileMode(),
                                exists ? &st : nullptr, error);
  if (outcome == Outcome::NotHere) return WriteInPlace(real, bytes, error);
  return outcome == Outcome::Done;
}

}  // namespace

bool WriteWholeFile(const std::string& path, const std::string& bytes, FileMode,
                    std::string* reason) {
  int error = ENOENT;
  std::string real;
  const bool ok =
      !path.empty() && FollowLinks(path, &real, &error) && WriteResolved(real, bytes, &error);
  if (!ok) *reason = std::strerror(error);
  return ok;
}

}  // namespace platform
