#include "tests/support/fake_platform.h"

#include <cstdio>

namespace platform {
Platform& Native();
}

bool FakePlatform::OpenDisplay(std::string* reason) {
  if (!displayFailure) return platform::Native().OpenDisplay(reason);
  *reason = *displayFailure;
  return false;
}

void FakePlatform::ShowMessage(const std::string& title, const std::string& text,
                               platform::MessageIcon icon) {
  messages.push_back({title, text, icon});
}

bool FakePlatform::AskYesNo(const std::string& title, const std::string& text) {
  questions.push_back({title, text, platform::MessageIcon::Exclamation});
  if (yesNoAnswers.empty()) return true;
  bool yes = yesNoAnswers.front();
  yesNoAnswers.pop_front();
  return yes;
}

static bool Answer(std::deque<std::optional<std::string>>& answers, std::string* path) {
  if (answers.empty()) return false;
  std::optional<std::string> a = answers.front();
  answers.pop_front();
  if (!a) return false;
  *path = *a;
  return true;
}

bool FakePlatform::OpenFileDialog(const std::string& title,
                                  const std::vector<platform::FileFilter>& filters,
                                  std::string* path) {
  openDialogs.push_back({title, filters});
  return Answer(openAnswers, path);
}

bool FakePlatform::SaveFileDialog(const std::string& title,
                                  const std::vector<platform::FileFilter>& filters,
                                  std::string* path) {
  saveDialogs.push_back({title, filters});
  return Answer(saveAnswers, path);
}

bool FakePlatform::MakeTempFile(const std::string& prefix, std::string* path) {
  if (failTempFiles) return false;
  if (!platform::Native().MakeTempFile(prefix, path)) return false;
  tempFilesMade.push_back(*path);
  return true;
}

bool FakePlatform::RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }
