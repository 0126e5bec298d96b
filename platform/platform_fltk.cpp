// Native services on X11 through FLTK's own dialogs and POSIX files.
#include "platform/platform_fltk.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "ui/fit_text.h"

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

void AnswerYes(Fl_Widget* w, void* yes) {
  *static_cast<bool*>(yes) = true;
  w->window()->hide();
}

void AnswerNo(Fl_Widget* w, void*) { (w->window() ? w->window() : w->as_window())->hide(); }

// Enter presses the default button; Escape and the close button always mean
// No, the answer that changes nothing. fl_choice cannot do this (Escape and
// Enter pick different buttons).
bool Ask(const std::string& title, const std::string& text, DefaultAnswer defaultAnswer) {
  constexpr int kMargin = 10, kIcon = 50, kButtonW = 90, kButtonH = 25;
  fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
  int textW = 0, textH = 0;
  fl_measure(text.c_str(), textW, textH);
  const int w = std::max(kIcon + 2 * kMargin + textW + kMargin, 2 * kButtonW + 3 * kMargin);
  const int bodyH = std::max(textH, kIcon);
  const int h = kMargin + bodyH + kMargin + kButtonH + kMargin;
  bool yes = false;
  Fl_Window window(w, h, title.c_str());
  Fl_Box icon(kMargin, kMargin, kIcon, kIcon, "?");
  icon.box(FL_THIN_UP_BOX);
  icon.labelfont(FL_TIMES_BOLD);
  icon.labelsize(34);
  icon.color(FL_WHITE);
  icon.labelcolor(FL_BLUE);
  Fl_Box message(kIcon + 2 * kMargin, kMargin, textW, bodyH);
  message.copy_label(text.c_str());
  message.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
  const int buttonY = h - kMargin - kButtonH;
  const bool yesFirst = defaultAnswer == DefaultAnswer::Yes;
  // The default is created first, so that it also holds the keyboard focus.
  std::unique_ptr<Fl_Button> yesButton, no;
  const int yesX = w - 2 * (kMargin + kButtonW), noX = w - kMargin - kButtonW;
  if (yesFirst) yesButton = std::make_unique<Fl_Return_Button>(yesX, buttonY, kButtonW, kButtonH);
  no = yesFirst ? std::make_unique<Fl_Button>(noX, buttonY, kButtonW, kButtonH)
                : std::make_unique<Fl_Return_Button>(noX, buttonY, kButtonW, kButtonH);
  if (!yesFirst) yesButton = std::make_unique<Fl_Button>(yesX, buttonY, kButtonW, kButtonH);
  no->label("No");
  no->callback(AnswerNo);
  yesButton->label("Yes");
  yesButton->callback(AnswerYes, &yes);
  window.end();
  window.callback(AnswerNo);  // Escape and the window's close button
  window.set_modal();
  window.hotspot(yesFirst ? yesButton.get() : no.get());
  window.show();
  while (window.shown()) Fl::wait();
  return yes;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A typed or pasted name is read as a path once the user presses Enter or OK:
// an absolute one as it stands, any other under the folder the chooser shows.
std::string ResolveTyped(const std::string& typed, const char* folder) {
  if (typed[0] == '/') return typed;
  std::string base = folder && *folder ? folder : ".";
  if (base.back() != '/') base += '/';
  return base + typed;
}

// FLTK's chooser rewrites its name field at every keystroke: each '/' moves it
// to that folder and puts the rest back after it, which garbles a path typed
// or pasted whole. Here the field stays plain text until Enter or OK.
struct ChooserRun {
  Fl_File_Chooser* chooser = nullptr;
  Fl_File_Input* name = nullptr;
  std::string chosen;
  bool accepted = false;
};

void AcceptName(Fl_Widget*, void* data) {
  ChooserRun* run = static_cast<ChooserRun*>(data);
  const std::string typed = run->name->value();
  if (typed.empty()) return fl_beep();
  const std::string path = ResolveTyped(typed, run->chooser->directory());
  if (IsFolder(path)) {  // opens, as in the list, ready for a name
    run->chooser->directory(path.c_str());
    run->name->position(run->name->size(), 0);
    return;
  }
  run->chosen = path;
  run->accepted = true;
  run->chooser->hide();
}

template <class W>
W* FirstOf(Fl_Group* g) {
  for (int i = 0; i < g->children(); ++i) {
    if (W* w = dynamic_cast<W*>(g->child(i))) return w;
    if (Fl_Group* inner = g->child(i)->as_group())
      if (W* w = FirstOf<W>(inner)) return w;
  }
  return nullptr;
}

// The filter line spells out its patterns, 23 of them for "All supported
// image files": the chooser widens, within the screen's work area, until its
// filter choice shows the longest line whole; where the screen is too narrow
// for that, the lines' type shrinks as the tabs' does.
void ShowWholeFilterLines(Fl_Window* window) {
  constexpr int kFrameRoom = 20;
  Fl_Choice* filters = FirstOf<Fl_Choice>(window);
  if (!filters) return;
  int areaX, areaY, areaW, areaH;
  Fl::screen_work_area(areaX, areaY, areaW, areaH);
  const int grow =
      std::min(ChoiceWidthForEntries(filters) - filters->w(), areaW - kFrameRoom - window->w());
  // The choice is the resizable widget of the chooser's top row.
  if (grow > 0) window->size(window->w() + grow, window->h());
  FitChoiceEntries(filters);
}

// One pass of the chooser; false when the user cancelled.
bool ChooseOnce(int type, const std::string& title, const std::string& filter, std::string* path) {
  Fl_File_Chooser chooser(".", filter.c_str(), type, title.c_str());
  chooser.preview(0);
  chooser.filter_value(0);
  ChooserRun run;
  run.chooser = &chooser;
  Fl_Window* window = chooser.newButton->window();
  ShowWholeFilterLines(window);
  run.name = FirstOf<Fl_File_Input>(window);
  Fl_Return_Button* ok = FirstOf<Fl_Return_Button>(window);
  if (!run.name || !ok) return false;
  run.name->callback(AcceptName, &run);
  run.name->when(FL_WHEN_ENTER_KEY_ALWAYS);
  ok->callback(AcceptName, &run);
  chooser.show();
  std::string shownFolder;
  while (chooser.shown()) {
    // The field shows the folder, whole and selected: what the user types or
    // pastes replaces it, and a click into it edits it instead.
    if (shownFolder != chooser.directory()) {
      shownFolder = chooser.directory();
      ok->activate();
      run.name->position(run.name->size(), 0);
    }
    Fl::wait();
  }
  // A double click on a file closes the chooser with the name in the field.
  if (!run.accepted && *run.name->value()) AcceptName(ok, &run);
  if (!run.accepted) return false;
  *path = run.chosen;
  return true;
}

bool RunChooser(bool save, const std::string& title, const std::vector<FileFilter>& filters,
                std::string* path) {
  const std::string filter = ChooserFilterText(filters);
  for (;;) {
    if (!ChooseOnce(save ? Fl_File_Chooser::CREATE : Fl_File_Chooser::SINGLE, title, filter, path))
      return false;
    if (path->size() > kMaxPath) {
      Alert("Warning", "The path is longer than " + std::to_string(kMaxPath) +
                           " characters and cannot be used.");
      return false;
    }
    if (!save || !Exists(*path) ||
        Ask(title, *path + " already exists.\nDo you want to replace it?", DefaultAnswer::No))
      return true;
  }
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
  bool AskYesNo(const std::string& title, const std::string& text,
                DefaultAnswer defaultAnswer) override {
    const char* assume = getenv("RELIEVO_ASSUME_YES");
    if (assume && *assume && std::string(assume) != "0") return true;
    return Ask(title, text, defaultAnswer);
  }

  bool OpenFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                      std::string* path) override {
    for (;;) {
      if (!RunChooser(false, title, filters, path)) return false;
      if (Exists(*path)) return true;
      Alert(title, *path + "\nFile not found.\nCheck the file name and try again.");
    }
  }

  bool SaveFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                      std::string* path) override {
    return RunChooser(true, title, filters, path);
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

std::string ChooserFilterText(const std::vector<FileFilter>& filters) {
  const std::string lines = ToolkitFilterText(filters);
  std::string out;
  for (std::size_t start = 0, end; (end = lines.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string line = lines.substr(start, end - start);
    const std::size_t tab = line.find('\t');
    out += (out.empty() ? "" : "\t") + line.substr(0, tab) + " (" + line.substr(tab + 1) + ")";
  }
  return out;
}

Platform& Native() {
  static FltkPlatform native;
  return native;
}

}  // namespace platform
