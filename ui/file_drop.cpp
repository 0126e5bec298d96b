#include "ui/file_drop.h"

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>

#include <cctype>
#include <cstddef>
#include <sstream>
#include <vector>

#include "platform/platform.h"
#include "plugin/plugin_state.h"
#include "ui/control_window.h"

namespace {

// A paste is a drop only when it follows a release of the drag over us; a
// paste of the clipboard is not ours to read as file names.
bool dropReleased = false;
std::string droppedText;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  return std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

// "%20" and the like stand for the bytes of the name; a '%' not followed by
// two hex digits is taken as it stands.
std::string PercentDecoded(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool StartsWithFileScheme(const std::string& s) {
  static const char kScheme[] = "file:";
  if (s.size() < 5) return false;
  for (std::size_t i = 0; i < 5; ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != kScheme[i]) return false;
  return true;
}

// Runs once the drop is over, so that the source of the drag is not kept
// waiting while a warning is open.
void LoadDropped(void*) {
  std::string path, why;
  if (!DroppedFilePath(droppedText, &path, &why))
    return platform::ShowMessage("Warning", why, platform::MessageIcon::Exclamation);
  if (controlWindow) controlWindow->LoadImageFrom(path);
}

}  // namespace

bool DroppedFilePath(const std::string& text, std::string* path, std::string* why) {
  std::vector<std::string> items;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != '#') items.push_back(line);  // '#': a comment in a URI list
  }
  // A map is one picture: with several, which one was meant is anybody's guess.
  if (items.size() != 1) {
    *why = items.empty() ? "The drop named no file."
                         : "Drop one image file at a time (" + std::to_string(items.size()) +
                               " were dropped); the map is unchanged.";
    return false;
  }
  std::string item = items[0];
  if (!StartsWithFileScheme(item)) {
    if (item.find("://") == std::string::npos) {
      *path = item;
      return true;
    }
    *why = item + " is not a file on this computer; the map is unchanged.";
    return false;
  }
  std::string rest = item.substr(5);
  if (rest.compare(0, 2, "//") == 0) {  // file://host/path
    const std::size_t slash = rest.find('/', 2);
    const std::string host = rest.substr(2, slash == std::string::npos ? slash : slash - 2);
    if (!host.empty() && host != "localhost") {
      *why = item + " is on another computer; the map is unchanged.";
      return false;
    }
    rest = slash == std::string::npos ? "" : rest.substr(slash);
  }
  const std::string name = PercentDecoded(rest);
  // A decoded NUL would end the name early and open another file.
  if (name.empty() || name.find('\0') != std::string::npos) {
    *why = item + " is not a usable file name; the map is unchanged.";
    return false;
  }
  *path = name;
  return true;
}

int HandleFileDrop(Fl_Widget* target, int event) {
  switch (event) {
    case FL_DND_ENTER:
    case FL_DND_DRAG:
      // Not while a dialog waits for an answer, nor outside a run.
      if (Fl::modal() || !controlWindow) return 0;
      Fl::belowmouse(target);  // the release comes to the widget below the mouse
      return 1;
    case FL_DND_LEAVE:
      return 1;
    case FL_DND_RELEASE:
      dropReleased = true;
      return 1;
    case FL_PASTE:
      if (!dropReleased) return 0;
      dropReleased = false;
      droppedText = Fl::event_text() ? std::string(Fl::event_text(), Fl::event_length()) : "";
      Fl::add_timeout(0.0, LoadDropped);
      return 1;
    default:
      return 0;
  }
}
