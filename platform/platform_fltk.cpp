// Native services on X11 through FLTK's own dialogs and POSIX files.
#include "platform/platform_fltk.h"

#include <FL/Fl.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>
#include <FL/x.H>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

// "*.bmp;*.jpg" becomes "*.{bmp,jpg}", the pattern syntax of FLTK's chooser.
std::string FltkPattern(const std::string& patterns) {
  std::vector<std::string> exts;
  std::size_t start = 0;
  while (start <= patterns.size()) {
    std::size_t end = patterns.find(';', start);
    if (end == std::string::npos) end = patterns.size();
    std::string p = patterns.substr(start, end - start);
    if (p.rfind("*.", 0) == 0) exts.push_back(p.substr(2));
    start = end + 1;
  }
  if (exts.size() == 1) return "*." + exts[0];
  std::string out = "*.{";
  for (std::size_t i = 0; i < exts.size(); ++i) out += (i ? "," : "") + exts[i];
  return out + "}";
}

// "Bitmap file(*.bmp)" becomes "Bitmap file": the chooser adds the pattern.
std::string WithoutPatternNote(const std::string& description) {
  std::string d = description;
  if (!d.empty() && d.back() == ')') {
    const std::size_t open = d.rfind('(');
    if (open != std::string::npos && d.find('*', open) != std::string::npos) d.erase(open);
  }
  while (!d.empty() && d.back() == ' ') d.pop_back();
  return d.empty() ? description : d;
}

// The chooser's message boxes say "Close" on their one button; ours say "OK".
struct OkButton {
  OkButton() : saved(fl_close) { fl_close = fl_ok; }
  ~OkButton() { fl_close = saved; }
  const char* saved;
};

void Alert(const std::string& title, const std::string& text) {
  OkButton ok;
  fl_message_title(title.c_str());
  fl_alert("%s", text.c_str());
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RunChooser(Fl_Native_File_Chooser::Type type, int options, const std::string& title,
                const std::vector<FileFilter>& filters, std::string* path) {
  // FLTK's own chooser everywhere, so the dialog is the same on every desktop.
  Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
  Fl_Native_File_Chooser chooser;
  chooser.type(type);
  chooser.options(options);
  chooser.title(title.c_str());
  std::string filter = ToolkitFilterText(filters);
  chooser.filter(filter.c_str());
  chooser.filter_value(0);
  if (chooser.show() != 0) return false;  // cancelled (1) or failed (-1)
  const char* chosen = chooser.filename();
  if (!chosen || !*chosen) return false;
  std::string result(chosen);
  if (result.size() > kMaxPath) {
    Alert("Warning", "The path is longer than " + std::to_string(kMaxPath) +
                         " characters and cannot be used.");
    return false;
  }
  *path = result;
  return true;
}

class FltkPlatform : public Platform {
 public:
  // FLTK would end the whole process (the host too) if it found no display
  // itself, so the connection is made here and handed over.
  bool OpenDisplay(std::string* reason) override {
    if (fl_display) return true;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
      const char* name = XDisplayName(nullptr);
      *reason = name && *name ? "cannot open the X display \"" + std::string(name) + "\""
                              : "no X display is set (DISPLAY is empty)";
      return false;
    }
    fl_open_display(display);
    return true;
  }

  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) override {
    if (icon == MessageIcon::Exclamation) return Alert(title, text);
    OkButton ok;
    fl_message_title(title.c_str());
    fl_message("%s", text.c_str());
  }

  // RELIEVO_ASSUME_YES (set by quarn-host --no-close-question) answers Yes
  // without asking, so that scripts can drive the plug-in unattended.
  bool AskYesNo(const std::string& title, const std::string& text) override {
    const char* assume = getenv("RELIEVO_ASSUME_YES");
    if (assume && *assume && std::string(assume) != "0") return true;
    fl_message_title(title.c_str());
    // The right-hand button (No) is the one Escape picks.
    return fl_choice("%s", "No", "Yes", nullptr, text.c_str()) == 1;
  }

  bool OpenFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                      std::string* path) override {
    for (;;) {
      if (!RunChooser(Fl_Native_File_Chooser::BROWSE_FILE, 0, title, filters, path)) return false;
      if (Exists(*path)) return true;
      Alert(title, *path + "\nFile not found.\nCheck the file name and try again.");
    }
  }

  bool SaveFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                      std::string* path) override {
    return RunChooser(Fl_Native_File_Chooser::BROWSE_SAVE_FILE,
                      Fl_Native_File_Chooser::SAVEAS_CONFIRM, title, filters, path);
  }

  bool MakeTempFile(const std::string& prefix, std::string* path) override {
    const char* dir = getenv("TMPDIR");
    std::string base = (dir && *dir) ? dir : "/tmp";
    if (base.back() != '/') base += '/';
    std::string templ = base + prefix + "XXXXXX.tmp";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    int fd = mkstemps(buf.data(), 4);
    if (fd < 0) {
      *path = base.substr(0, base.size() > 1 ? base.size() - 1 : 1);
      return false;
    }
    close(fd);
    *path = buf.data();
    return true;
  }

  bool RemoveFile(const std::string& path) override { return std::remove(path.c_str()) == 0; }
};

}  // namespace

std::string ToolkitFilterText(const std::vector<FileFilter>& filters) {
  std::string out;
  for (const FileFilter& f : filters)
    out += WithoutPatternNote(f.description) + "\t" + FltkPattern(f.patterns) + "\n";
  return out;
}

Platform& Native() {
  static FltkPlatform native;
  return native;
}

}  // namespace platform
