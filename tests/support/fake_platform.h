// A scripted stand-in for the platform layer: records every message box and
// answers the file dialogs from queues the test fills.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

class FakePlatform : public platform::Platform {
 public:
  struct Message {
    std::string title;
    std::string text;
    platform::MessageIcon icon;
  };
  struct Dialog {
    std::string title;
    std::vector<platform::FileFilter> filters;
  };

  std::vector<Message> messages;
  std::vector<Dialog> openDialogs, saveDialogs;
  // Answers in order; std::nullopt (or an empty queue) means "cancelled".
  std::deque<std::optional<std::string>> openAnswers, saveAnswers;
  // Yes/no questions asked, and their answers in order (Yes once they run out).
  std::vector<Message> questions;
  std::deque<bool> yesNoAnswers;
  // Set: there is no screen, for this reason.
  std::optional<std::string> displayFailure;
  bool failTempFiles = false;
  std::vector<std::string> tempFilesMade;

  bool OpenDisplay(std::string* reason) override;
  void ShowMessage(const std::string& title, const std::string& text,
                   platform::MessageIcon icon) override;
  bool AskYesNo(const std::string& title, const std::string& text) override;
  bool OpenFileDialog(const std::string& title, const std::vector<platform::FileFilter>& filters,
                      std::string* path) override;
  bool SaveFileDialog(const std::string& title, const std::vector<platform::FileFilter>& filters,
                      std::string* path) override;
  bool MakeTempFile(const std::string& prefix, std::string* path) override;
  bool RemoveFile(const std::string& path) override;
};

// Installs a FakePlatform for the lifetime of the object.
class ScopedFakePlatform {
 public:
  ScopedFakePlatform() { platform::Install(&fake); }
  ~ScopedFakePlatform() { platform::Install(nullptr); }
  FakePlatform fake;
};
