// A scripted stand-in for the platform layer: records every message box,
// question and dialog, and answers them from queues the test fills.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {
Platform& Native();
}

class FakePlatform : public platform::Platform {
 public:
  using Filters = std::vector<platform::FileFilter>;
  using Answers = std::deque<std::optional<std::string>>;
  struct Message {
    std::string title, text;
    platform::MessageIcon icon;
  };
  struct Dialog {
    std::string title;
    Filters filters;
  };

  std::vector<Message> messages, questions;
  std::vector<platform::DefaultAnswer> questionDefaults;  // one per question
  std::vector<Dialog> openDialogs, saveDialogs;
  Answers openAnswers, saveAnswers;           // in order; std::nullopt or none left: cancelled
  std::deque<bool> yesNoAnswers;              // in order; Yes once they run out
  std::optional<std::string> displayFailure;  // set: there is no screen, for this reason

  bool OpenDisplay(std::string* reason) override {
    if (displayFailure) *reason = *displayFailure;
    return !displayFailure && platform::Native().OpenDisplay(reason);
  }
  void ShowMessage(const std::string& title, const std::string& text,
                   platform::MessageIcon icon) override {
    messages.push_back({title, text, icon});
  }
  bool AskYesNo(const std::string& title, const std::string& text,
                platform::DefaultAnswer defaultAnswer) override {
    questions.push_back({title, text, platform::MessageIcon::Exclamation});
    questionDefaults.push_back(defaultAnswer);
    if (yesNoAnswers.empty()) return true;
    const bool yes = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return yes;
  }
  bool OpenFileDialog(const std::string& title, const Filters& f, std::string* path) override {
    return Answer(openDialogs, {title, f}, openAnswers, path);
  }
  bool SaveFileDialog(const std::string& title, const Filters& f, std::string* path) override {
    return Answer(saveDialogs, {title, f}, saveAnswers, path);
  }
  bool MakeTempFile(const std::string& prefix, std::string* path) override {
    return platform::Native().MakeTempFile(prefix, path);
  }
  bool RemoveFile(const std::string& path) override { return platform::Native().RemoveFile(path); }

 private:
  static bool Answer(std::vector<Dialog>& seen, Dialog d, Answers& answers, std::string* path) {
    seen.push_back(d);
    if (answers.empty() || !answers.front()) {
      if (!answers.empty()) answers.pop_front();
      return false;
    }
    *path = *answers.front();
    answers.pop_front();
    return true;
  }
};

// Installs a FakePlatform for the lifetime of the object.
struct ScopedFakePlatform {
  ScopedFakePlatform() { platform::Install(&fake); }
  ~ScopedFakePlatform() { platform::Install(nullptr); }
  FakePlatform fake;
};
