// Native services on Windows: the Win32 calls the module was designed around.
// Built only on Windows.
#include <windows.h>
#include <commdlg.h>

#include "platform/platform.h"

namespace platform {
namespace {

// Win32 filter strings are NUL-separated pairs ending in a double NUL.
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

bool RunDialog(bool save, const std::string& title, const std::vector<FileFilter>& filters,
               std::string* path) {
  char file[1024] = {0};
  std::string filter = Win32Filter(filters);
  OPENFILENAMEA ofn;
  ZeroMemory(&ofn, sizeof(ofn));
  ofn.lStructSize = 76;  // the record without the fields of later Windows versions
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof(file);
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.Flags = save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST;
  BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  if (!ok) return false;
  *path = file;
  return true;
}

class Win32Platform : public Platform {
 public:
  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) override {
    UINT type = MB_OK | (icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION : MB_ICONINFORMATION);
    MessageBoxA(nullptr, text.c_str(), title.c_str(), type);
  }
  bool AskYesNo(const std::string& title, const std::string& text) override {
    return MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
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
    if (GetTempPathA(sizeof(dir), dir) == 0) return false;
    if (GetTempFileNameA(dir, prefix.c_str(), 0, name) == 0) return false;
    *path = name;
    return true;
  }
  bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }
};

}  // namespace

Platform& Native() {
  static Win32Platform native;
  return native;
}

}  // namespace platform
