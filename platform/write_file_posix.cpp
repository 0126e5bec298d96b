// The checked whole-file write on POSIX systems.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/file_size_signal.h"
#include "platform/platform.h"

namespace platform {
namespace {

// Our own error code beside errno's: the target is a FIFO, device or socket,
// which an open for writing could block on for ever.
constexpr int kNotRegularFile = -1;

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

// Rewrites the file itself, for when a replace cannot keep what the file is
// (its links, owner or attributes). The room for the new bytes is reserved
// first, so a full disk or the file-size limit refuses the write before any
// old byte is overwritten; the old length comes back if the reservation fails.
bool WriteInPlace(const std::string& real, const std::string& bytes, bool existed, int* error) {
  // Non-blocking, so that a FIFO put here since the check cannot hang us.
  const int fd = open(real.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  struct stat st;
  bool ok = fstat(fd, &st) == 0;
  if (!ok) *error = errno;
  if (ok && !S_ISREG(st.st_mode)) ok = false, *error = kNotRegularFile;
  if (ok) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const off_t size = static_cast<off_t>(bytes.size());
  const int reserved = ok && size > 0 ? posix_fallocate(fd, 0, size) : 0;
  if (reserved != 0) {
    ok = false;
    *error = reserved;
    if (ftruncate(fd, st.st_size) != 0) *error = errno;
  }
  ok = ok && WriteAll(fd, bytes, error);
  if (ok && ftruncate(fd, size) != 0) ok = false, *error = errno;
  ok = FinishFile(fd, ok, false, error);
  if (!ok && !existed) unlink(real.c_str());
  return ok;
}

// A file by name or, with fd >= 0, an open one.
struct Node {
  const char* path;
  int fd;
};

// Reads a list or a value into *out, again if it grew meanwhile.
template <typename Read>
bool ReadAttributeBytes(Read read, std::string* out) {
  for (;;) {
    const ssize_t size = read(nullptr, 0);
    if (size < 0) return false;
    out->assign(static_cast<std::size_t>(size), '\0');
    const ssize_t n = size > 0 ? read(&(*out)[0], out->size()) : 0;
    if (n >= 0) return out->resize(static_cast<std::size_t>(n)), true;
    if (errno != ERANGE) return false;
  }
}

// A file system without extended attributes has none to keep.
bool AttributeNames(Node n, std::vector<std::string>* names) {
  std::string list;
  const bool read = ReadAttributeBytes(
      [n](char* buf, std::size_t size) {
        return n.fd >= 0 ? flistxattr(n.fd, buf, size) : listxattr(n.path, buf, size);
      },
      &list);
  if (!read) return errno == ENOTSUP;
  for (std::size_t at = 0; at < list.size(); at += std::strlen(list.c_str() + at) + 1)
    names->push_back(list.c_str() + at);
  return true;
}

bool AttributeValue(Node n, const std::string& name, std::string* value) {
  return ReadAttributeBytes(
      [n, &name](char* buf, std::size_t size) {
        return n.fd >= 0 ? fgetxattr(n.fd, name.c_str(), buf, size)
                         : getxattr(n.path, name.c_str(), buf, size);
      },
      value);
}

// Gives the open temporary exactly the extended attributes of the old file,
// its access ACL among them, so the replace widens nobody's access (one the
// folder's default ACL put on the temporary goes). False where one cannot be
// set or removed.
bool CopyAttributes(const std::string& old, int fd) {
  std::vector<std::string> want, have;
  if (!AttributeNames({old.c_str(), -1}, &want) || !AttributeNames({nullptr, fd}, &have))
    return false;
  for (const std::string& name : have)
    if (std::find(want.begin(), want.end(), name) == want.end() &&
        fremovexattr(fd, name.c_str()) != 0)
      return false;
  for (const std::string& name : want) {
    std::string value, current;
    if (!AttributeValue({old.c_str(), -1}, name, &value)) return false;
    if (AttributeValue({nullptr, fd}, name, &current) && current == value) continue;
    if (fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) return false;
  }
  return true;
}

enum class Outcome { Done, Failed, NotHere };

// A temporary beside the file, given the old file's group, extended
// attributes and mode, renamed over it once written and synced. NotHere when
// the group or an attribute cannot be kept, so the caller writes in place.
Outcome ReplaceAtomically(const std::string& real, const std::string& bytes, mode_t mode,
                          const struct stat* old, int* error) {
  std::string temp = real + ".XXXXXX";
  const int fd = mkostemp(&temp[0], O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return Outcome::Failed;
  }
  struct stat made;
  const bool groupLost = old && fstat(fd, &made) == 0 && made.st_gid != old->st_gid &&
                         fchown(fd, static_cast<uid_t>(-1), old->st_gid) != 0;
  if (groupLost || (old && !CopyAttributes(real, fd))) {
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
  if (exists && !S_ISREG(st.st_mode)) {
    *error = kNotRegularFile;
    return false;
  }
  // Renaming over a file we may not write would bypass its protection.
  if (exists && access(real.c_str(), W_OK) != 0) {
    *error = errno;
    return false;
  }
  // A rename would split a hard link, and could not keep another owner.
  const bool plainFile = st.st_nlink == 1 && st.st_uid == geteuid();
  const bool atomic = access(DirName(real).c_str(), W_OK | X_OK) == 0 &&
                      NameLeavesRoomForTemporary(real) && (!exists || plainFile);
  Outcome outcome = Outcome::NotHere;
  if (atomic)
    outcome = ReplaceAtomically(real, bytes, exists ? st.st_mode & 07777 : NewFileMode(),
                                exists ? &st : nullptr, error);
  if (outcome == Outcome::NotHere) return WriteInPlace(real, bytes, exists, error);
  return outcome == Outcome::Done;
}

}  // namespace

bool WriteWholeFile(const std::string& path, const std::string& bytes, FileMode,
                    std::string* reason) {
  const FileSizeSignalHeld held;
  int error = ENOENT;
  std::string real;
  const bool ok =
      !path.empty() && FollowLinks(path, &real, &error) && WriteResolved(real, bytes, &error);
  if (!ok)
    *reason = error == kNotRegularFile
                  ? "it is not a regular file (a pipe, device or socket cannot hold the file)"
                  : std::strerror(error);
  return ok;
}

}  // namespace platform
