// Native services on Windows: the Win32 calls the module was designed around.
// Built only on Windows.
#include "platform/platform_win32.h"

#include <algorithm>
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

class Win32Platform : public Platform {
 public:
  // The desktop is always there for a module the host has loaded.
  bool OpenDisplay(std::string*) override { return true; }
  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) override {
    MessageBoxA(nullptr, text.c_str(), title.c_str(), MessageBoxType(icon));
  }
  bool AskYesNo(const std::string& title, const std::string& text) override {
    return MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_YESNO | MB_ICONEXCLAMATION) ==
           IDYES;
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
    char dir[1024];
    char name[MAX_PATH];
    // A folder name that does not fit is a failure, not a truncated path.
    DWORD n = GetTempPathA(sizeof(dir), dir);
    if (n == 0 || n >= sizeof(dir)) return false;
    if (GetTempFileNameA(dir, prefix.c_str(), 0, name) == 0) return false;
    *path = name;
    return true;
  }
  bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }
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

// Writes bytes to a file opened with disposition, flushed and closed; every
// step checked.
bool WriteNewContent(const std::string& path, DWORD disposition, const std::string& bytes,
                     DWORD* error) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = LastErrorOr(ERROR_OPEN_FAILED);
    return false;
  }
  bool ok = true;
  for (std::size_t done = 0; ok && done < bytes.size();) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) && written > 0;
    done += written;
  }
  ok = ok && FlushFileBuffers(file);
  if (!ok) *error = LastErrorOr(ERROR_WRITE_FAULT);
  if (!CloseHandle(file) && ok) ok = false, *error = LastErrorOr(ERROR_WRITE_FAULT);
  return ok;
}

// A plain file with a single link: one that a new file may replace.
bool Replaceable(const std::string& path, DWORD attributes) {
  const DWORD plain =
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if (attributes & plain) return false;
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE file = CreateFileA(path.c_str(), 0, share, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool single = GetFileInformationByHandle(file, &info) && info.nNumberOfLinks == 1;
  CloseHandle(file);
  return single;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes, DWORD* error) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  // Links, read-only files and folders go the plain way, which follows a link
  // and fails where the file may not be written.
  std::string dir = path.substr(0, path.find_last_of("\\/") + 1);
  char temp[MAX_PATH];
  if ((exists && !Replaceable(path, attributes)) ||
      !GetTempFileNameA(dir.empty() ? "." : dir.c_str(), "rlv", 0, temp))
    return WriteNewContent(path, exists ? TRUNCATE_EXISTING : CREATE_NEW, bytes, error);
  // The old file is never removed before the new one is in place: ReplaceFileA
  // swaps them in one step and keeps the old file's attributes and security.
  bool ok = WriteNewContent(temp, CREATE_ALWAYS, bytes, error);
  if (ok &&
      !(exists && ReplaceFileA(path.c_str(), temp, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                               nullptr, nullptr)) &&
      !MoveFileExA(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    *error = LastErrorOr(ERROR_WRITE_FAULT);
  }
  if (!ok) DeleteFileA(temp);
  return ok;
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
