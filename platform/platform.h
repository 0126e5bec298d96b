// The few operating-system services the plug-in needs: owner-less message
// boxes, file dialogs and temporary files. Product code calls these free
// functions; the implementation behind them is swappable (tests install a
// scripted one), so no test-only branches live in product code.
#pragma once

#include <string>
#include <vector>

namespace platform {

enum class MessageIcon { Information, Exclamation };

// The answer of a yes/no question that Enter gives. A question before work is
// thrown away defaults to No; one that offers work back defaults to Yes.
enum class DefaultAnswer { No, Yes };

// One line of a file dialog's type list: "Bitmap only(*.bmp)" / "*.bmp".
// Patterns are separated by ';' as in the Win32 filter strings.
struct FileFilter {
  std::string description;
  std::string patterns;
};

class Platform {
 public:
  virtual ~Platform() = default;
  // Connects to the screen the windows and message boxes need, once per
  // process; false (with the reason) when there is none to connect to.
  virtual bool OpenDisplay(std::string* reason) = 0;
  // Blocks until the user closes the box (a nested event loop runs meanwhile).
  virtual void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) = 0;
  // A question with Yes and No buttons; true for Yes. Blocks like ShowMessage.
  virtual bool AskYesNo(const std::string& title, const std::string& text,
                        DefaultAnswer defaultAnswer) = 0;
  // Returns false when the user cancels or the dialog fails; the first filter
  // is selected. The open dialog only accepts existing files.
  virtual bool OpenFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                              std::string* path) = 0;
  // Asks before overwriting an existing file. No extension is added.
  virtual bool SaveFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                              std::string* path) = 0;
  // Creates a new, unique, empty file in the user's temporary directory whose
  // name starts with prefix and ends in a three-letter extension. When that
  // fails, *path names the folder that refused it, where it is known.
  virtual bool MakeTempFile(const std::string& prefix, std::string* path) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
};

// The implementation in use: the native one unless a test installed another.
Platform& Current();
// Installs p (not owned) for the calls that follow; nullptr restores the native one.
void Install(Platform* p);

// Longest path the dialogs hand back, as the Win32 1024-byte buffers allow.
constexpr std::size_t kMaxPath = 1023;

inline bool OpenDisplay(std::string* reason) { return Current().OpenDisplay(reason); }
inline void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) {
  Current().ShowMessage(title, text, icon);
}
inline bool AskYesNo(const std::string& title, const std::string& text,
                     DefaultAnswer defaultAnswer = DefaultAnswer::No) {
  return Current().AskYesNo(title, text, defaultAnswer);
}
inline bool OpenFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                           std::string* path) {
  return Current().OpenFileDialog(title, filters, path);
}
inline bool SaveFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                           std::string* path) {
  return Current().SaveFileDialog(title, filters, path);
}
inline bool MakeTempFile(const std::string& prefix, std::string* path) {
  return Current().MakeTempFile(prefix, path);
}
inline bool RemoveFile(const std::string& path) { return Current().RemoveFile(path); }

// How WriteWholeFile stores the bytes: Text turns each "\n" into the
// platform's line end (CR LF on Windows), Binary writes them unchanged.
enum class FileMode { Text, Binary };

// Makes the file at path hold exactly bytes, the careful way. A symbolic link
// is followed to the file it names, and that file keeps its permissions. Where
// it is safe (a regular file with a single link and our own, in a folder we
// may write, with room in its name for a temporary beside it, whose extended
// attributes and ACLs the temporary can take) the bytes go to a temporary file
// that replaces the old one only once complete; otherwise the file is
// rewritten in place, but only once room for all the bytes is reserved. Either
// way a failure leaves the old file as it was. Anything but a regular file (a
// FIFO, device or socket) is refused before it is opened in a way that could
// block. A write past the file-size limit fails here instead of raising
// SIGXFSZ. Returns false with *reason (the system's words for the cause) when
// anything failed. No temporary file remains either way. Not swappable: tests
// use real folders.
bool WriteWholeFile(const std::string& path, const std::string& bytes, FileMode mode,
                    std::string* reason);

}  // namespace platform
