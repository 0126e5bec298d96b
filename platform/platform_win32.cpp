// Native services on Windows: the Win32 calls the module was designed around.
// Built only on Windows.
#include "platform/platform_win32.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string>

namespace platform {

std::string Win32Filter(const std::vector<FileFilter>& filters) {
  std::string out;
  for (const FileFilter& f : filters) {
    out += f.description;
    out += '\0';
    out += f.patterns;
    out += '\0';
  }
  out += '\0';
  return out;
}

OPENFILENAMEA DialogRecord(bool save, const std::string& title, const std::string& filter,
                           char* file) {
  OPENFILENAMEA ofn;
  ZeroMemory(&ofn, sizeof(ofn));
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // without the later fields
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = kDialogFileBuffer;
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.Flags = save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST;
  return ofn;
}

UINT MessageBoxType(MessageIcon icon) {
  return MB_OK | (icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION : MB_ICONINFORMATION);
}

namespace {

bool RunDialog(bool save, const std::string& title, const std::vector<FileFilter>& filters,
               std::string* path) {
  char file[kDialogFileBuffer] = {0};
  std::string filter = Win32Filter(filters);
  OPENFILENAMEA ofn = DialogRecord(save, title, filter, file);
  BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  if (!ok) return false;
  *path = file;
  return true;
}

// The image load converts through the temporary name with "pnm" for its
// extension. GetTempFileNameA makes only the ".tmp" file, and its names are
// easy to guess, so the ".pnm" one is made here too, exclusively: nobody can
// plant it, or a link in its place, before the load writes it. A name whose
// ".pnm" is taken is given up for the next.
bool MakeTempPair(const std::string& prefix, std::string* path, std::string* companion) {
  char dir[1024];
  char name[MAX_PATH];
  // A folder name that does not fit is a failure, not a truncated path.
  DWORD n = GetTempPathA(sizeof(dir), dir);
  if (n == 0 || n >= sizeof(dir)) return false;
  // A failure names the folder that refused, without its closing backslash.
  *path = std::string(dir, n > 3 && dir[n - 1] == '\\' ? n - 1 : n);
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (GetTempFileNameA(dir, prefix.c_str(), 0, name) == 0) return false;
    const std::string made = name;
    const std::string pnm = made.substr(0, made.size() - 3) + "pnm";
    HANDLE file = CreateFileA(pnm.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      *path = made;
      *companion = pnm;
      return true;
    }
    const DWORD error = GetLastError();
    DeleteFileA(made.c_str());
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED)
      return false;
  }
  return false;
}

class Win32Platform : public Platform {
 public:
  // The desktop is always there for a module the host has loaded.
  bool OpenDisplay(std::string*) override { return true; }
  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) override {
    MessageBoxA(nullptr, text.c_str(), title.c_str(), MessageBoxType(icon));
  }
  bool AskYesNo(const std::string& title, const std::string& text,
                DefaultAnswer defaultAnswer) override {
    const UINT button = defaultAnswer == DefaultAnswer::No ? MB_DEFBUTTON2 : MB_DEFBUTTON1;
    return MessageBoxA(nullptr, text.c_str(), title.c_str(),
                       MB_YESNO | MB_ICONEXCLAMATION | button) == IDYES;
  }
  bool OpenFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                      std::string* path) override {
    return RunDialog(false, title, filters, path);
  }
  bool SaveFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                      std::string* path) override {
    return RunDialog(true, title, filters, path);
  }
  bool MakeTempFile(const std::string& prefix, std::string* path) override {
    std::string companion;
    if (!MakeTempPair(prefix, path, &companion)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    companions_[*path] = companion;
    return true;
  }
  // Removing a temporary file removes the ".pnm" made with it, unless its
  // user removed that first (a save never uses it).
  bool RemoveFile(const std::string& path) override {
    std::string companion;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = companions_.find(path);
      if (it != companions_.end()) {
        companion = it->second;
        companions_.erase(it);
      }
    }
    if (!companion.empty()) DeleteFileA(companion.c_str());
    return DeleteFileA(path.c_str()) != 0;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::string> companions_;
};

DWORD LastErrorOr(DWORD fallback) {
  const DWORD code = GetLastError();
  return code ? code : fallback;
}

std::string ErrorText(DWORD code) {
  char* text = nullptr;
  FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string out = text ? text : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!out.empty() && (out.back() == '\r' || out.back() == '\n' || out.back() == '.'))
    out.pop_back();
  return out;
}

bool WriteAll(HANDLE file, const std::string& bytes, DWORD* error) {
  for (std::size_t done = 0; done < bytes.size();) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      *error = LastErrorOr(ERROR_WRITE_FAULT);
      return false;
    }
    done += written;
  }
  return true;
}

// Every step is checked, the close included.
bool FinishFile(HANDLE file, bool ok, DWORD* error) {
  if (ok && !FlushFileBuffers(file)) ok = false, *error = LastErrorOr(ERROR_WRITE_FAULT);
  if (!CloseHandle(file) && ok) ok = false, *error = LastErrorOr(ERROR_WRITE_FAULT);
  return ok;
}

// Writes bytes to a file opened with disposition, flushed and closed.
bool WriteNewContent(const std::string& path, DWORD disposition, DWORD attributes,
                     const std::string& bytes, DWORD* error) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = LastErrorOr(ERROR_OPEN_FAILED);
    return false;
  }
  return FinishFile(file, WriteAll(file, bytes, error), error);
}

bool SetLength(HANDLE file, std::size_t size) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

// For a file that must keep its identity (a hard link): the room is taken
// first, so a full disk fails before any old byte changes, and should a write
// fail later the old bytes are written back.
bool RewriteInPlace(const std::string& path, const std::string& bytes, DWORD* error) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = LastErrorOr(ERROR_OPEN_FAILED);
    return false;
  }
  LARGE_INTEGER size;
  std::string old;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (1LL << 31);
  if (ok) old.resize(static_cast<std::size_t>(size.QuadPart));
  for (std::size_t done = 0; ok && done < old.size();) {
    DWORD got = 0;
    ok =
        ReadFile(file, &old[done], static_cast<DWORD>(old.size() - done), &got, nullptr) && got > 0;
    done += got;
  }
  if (ok && bytes.size() > old.size() && !SetLength(file, bytes.size())) {
    ok = false;
    *error = LastErrorOr(ERROR_DISK_FULL);
    SetLength(file, old.size());
  } else if (!ok) {
    *error = LastErrorOr(ERROR_READ_FAULT);
  }
  if (!ok) {
    CloseHandle(file);
    return false;
  }
  ok = SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 && WriteAll(file, bytes, error) &&
       SetEndOfFile(file) && FlushFileBuffers(file);
  if (!ok) {
    DWORD ignored = 0;
    *error = LastErrorOr(ERROR_WRITE_FAULT);
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 && WriteAll(file, old, &ignored))
      SetLength(file, old.size());
  }
  if (!CloseHandle(file) && ok) ok = false, *error = LastErrorOr(ERROR_WRITE_FAULT);
  return ok;
}

// The attributes a new file can take over from the one it replaces.
DWORD KeptAttributes(DWORD old) {
  const DWORD settable = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  return (old & settable) ? old & settable : FILE_ATTRIBUTE_NORMAL;
}

// The new bytes go to a temporary beside the file, given the old file's
// attributes, which then takes its place in one step: ReplaceFileA (which
// also keeps the old file's security), or a rename where that fails. The old
// file is never removed before the new one is complete.
bool ReplaceWhole(const std::string& path, bool exists, DWORD attributes, const char* temp,
                  const std::string& bytes, DWORD* error) {
  // A file that another program holds open without sharing its deletion
  // cannot be replaced; found out first, as ReplaceFileA may leave a stray
  // file of its own behind when it fails on it (Wine's does).
  if (exists) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE probe = CreateFileA(path.c_str(), DELETE, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
      *error = LastErrorOr(ERROR_SHARING_VIOLATION);
      DeleteFileA(temp);
      return false;
    }
    CloseHandle(probe);
  }
  bool ok = WriteNewContent(temp, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, bytes, error);
  if (ok && !SetFileAttributesA(temp, exists ? KeptAttributes(attributes) : FILE_ATTRIBUTE_NORMAL))
    ok = false, *error = LastErrorOr(ERROR_WRITE_FAULT);
  if (!ok) {
    SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(temp);
    return false;
  }
  if (exists &&
      ReplaceFileA(path.c_str(), temp, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
    return true;
  const DWORD move = exists ? MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH
                            : MOVEFILE_WRITE_THROUGH;  // a file made meanwhile is not overwritten
  if (MoveFileExA(temp, path.c_str(), move)) return true;
  *error = LastErrorOr(ERROR_WRITE_FAULT);
  // ReplaceFileA can fail after removing the old file; the new one is then
  // the only copy, and stays under the temporary name.
  if (!exists || GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(temp);
  }
  return false;
}

// The file a path ends at once links and junctions are followed.
std::string FinalPath(const std::string& path) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE file = CreateFileA(path.c_str(), 0, share, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return path;
  char final[MAX_PATH + 8];
  const DWORD n = GetFinalPathNameByHandleA(file, final, sizeof(final), FILE_NAME_NORMALIZED);
  CloseHandle(file);
  if (n == 0 || n >= sizeof(final)) return path;
  std::string out(final, n);
  if (out.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + out.substr(8);
  if (out.rfind("\\\\?\\", 0) == 0) return out.substr(4);
  return out;
}

DWORD LinkCount(const std::string& path) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE file = CreateFileA(path.c_str(), 0, share, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info;
  const DWORD links = GetFileInformationByHandle(file, &info) ? info.nNumberOfLinks : 0;
  CloseHandle(file);
  return links;
}

bool WriteFileBytes(const std::string& given, const std::string& bytes, DWORD* error) {
  DWORD attributes = GetFileAttributesA(given.c_str());
  // A link is followed: the file it names gets the bytes and keeps its place.
  const std::string path =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
          ? FinalPath(given)
          : given;
  if (path != given) attributes = GetFileAttributesA(path.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  // Replacing a read-only file or a folder would bypass its protection.
  if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    *error = ERROR_ACCESS_DENIED;
    return false;
  }
  // A replacement would split a hard link from its other names.
  if (exists && LinkCount(path) != 1) return RewriteInPlace(path, bytes, error);
  std::string dir = path.substr(0, path.find_last_of("\\/") + 1);
  char temp[MAX_PATH];
  if (GetTempFileNameA(dir.empty() ? "." : dir.c_str(), "rlv", 0, temp))
    return ReplaceWhole(path, exists, attributes, temp, bytes, error);
  // No temporary fits beside it (a folder we may not add to, a long name).
  if (exists) return RewriteInPlace(path, bytes, error);
  if (WriteNewContent(path, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, bytes, error)) return true;
  if (*error != ERROR_FILE_EXISTS) DeleteFileA(path.c_str());
  return false;
}

}  // namespace

bool WriteWholeFile(const std::string& path, const std::string& bytes, FileMode mode,
                    std::string* reason) {
  std::string content;
  if (mode == FileMode::Text) {
    content.reserve(bytes.size() + bytes.size() / 16);
    for (char c : bytes) {
      if (c == '\n') content += '\r';
      content += c;
    }
  }
  DWORD error = ERROR_PATH_NOT_FOUND;
  const bool ok =
      !path.empty() && WriteFileBytes(path, mode == FileMode::Text ? content : bytes, &error);
  if (!ok) *reason = ErrorText(error);
  return ok;
}

Platform& Native() {
  static Win32Platform native;
  return native;
}

}  // namespace platform
