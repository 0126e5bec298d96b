// The questions and feedback that keep work safe: the close question's
// default, Enlarge and Reduce at their limits, and the host's --save report.
#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagefiles/image_files.h"
#include "platform/platform.h"
#include "plugin/plugin_state.h"
#include "tests/support/screen_turn.h"
#include "ui/control_window.h"
#include "ui/option_dialogs.h"

namespace platform {
Platform& Native();
}

namespace {

using ::testing::HasSubstr;

std::string Str(const char* s) { return s ? s : ""; }

void Press(Fl_Window* w, int key, const char* text = "") {
  Fl::e_keysym = key;
  Fl::e_state = 0;
  Fl::e_text = const_cast<char*>(text);
  Fl::e_length = static_cast<int>(std::strlen(text));
  Fl::handle(FL_KEYBOARD, w);
}

// How the person answers once the question is shown: a key, or one of these.
constexpr int kCloseButton = 0, kYesButton = 1;

struct QuestionCase {
  std::string name;
  int answer;
  bool yes;
  platform::DefaultAnswer defaultAnswer = platform::DefaultAnswer::No;
};
void PrintTo(const QuestionCase& c, std::ostream* os) { *os << c.name; }

struct Asked {
  int answer;
  std::string title;  // empty until the question was shown
};

void AnswerWhenShown(void* data) {
  Asked* a = static_cast<Asked*>(data);
  Fl_Window* w = Fl::modal();
  if (!w) return Fl::repeat_timeout(0.05, AnswerWhenShown, data);
  a->title = Str(w->label());
  if (a->answer == kCloseButton) return w->do_callback();
  if (a->answer != kYesButton) return Press(w, a->answer);
  for (int i = 0; i < w->children(); ++i)
    if (Str(w->child(i)->label()) == "Yes") w->child(i)->do_callback();
}

class CloseQuestionTest : public ::testing::TestWithParam<QuestionCase> {};

TEST_P(CloseQuestionTest, EnterGivesTheDefaultAndEscapeOrCloseMeansNo) {
  ScreenTurn turn;
  unsetenv("RELIEVO_ASSUME_YES");
  std::string reason;
  ASSERT_TRUE(platform::Native().OpenDisplay(&reason)) << reason;
  Asked asked{GetParam().answer, ""};
  Fl::add_timeout(0.05, AnswerWhenShown, &asked);
  // A stuck question fails the test instead of hanging it.
  Fl::add_timeout(20, [](void*) {
    if (Fl::modal()) Fl::modal()->hide();
  });
  const bool yes =
      platform::Native().AskYesNo("Warning", "Close the plug-in anyway?", GetParam().defaultAnswer);
  EXPECT_EQ(asked.title, "Warning") << "the question was not shown, or under another title";
  EXPECT_EQ(yes, GetParam().yes);
}

INSTANTIATE_TEST_SUITE_P(Answers, CloseQuestionTest,
                         ::testing::Values(QuestionCase{"Enter", FL_Enter, false},
                                           QuestionCase{"Escape", FL_Escape, false},
                                           QuestionCase{"CloseButton", kCloseButton, false},
                                           QuestionCase{"YesButton", kYesButton, true},
                                           QuestionCase{"EnterWhereYesIsDefault", FL_Enter, true,
                                                        platform::DefaultAnswer::Yes},
                                           QuestionCase{"EscapeWhereYesIsDefault", FL_Escape, false,
                                                        platform::DefaultAnswer::Yes}),
                         [](const testing::TestParamInfo<QuestionCase>& i) {
                           return i.param.name;
                         });

Fl_Window* ShownWindowTitled(const std::string& title) {
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w))
    if (w->shown() && Str(w->label()) == title) return w;
  return nullptr;
}

template <class W>
W* FirstOf(Fl_Group* g) {
  for (int i = 0; i < g->children(); ++i) {
    if (auto* found = dynamic_cast<W*>(g->child(i))) return found;
    if (Fl_Group* inner = g->child(i)->as_group())
      if (W* found = FirstOf<W>(inner)) return found;
  }
  return nullptr;
}

// What the person does in the chooser once it is shown: types the text key by
// key ('\r' is Enter), or pastes it whole, then presses Enter.
struct Entry {
  std::string name, text;
  bool paste;
  std::string expected;  // under the folder the chooser opens in, unless absolute
};
void PrintTo(const Entry& e, std::ostream* os) { *os << e.name; }

struct Typing {
  const Entry* entry;
  bool focused = false;
};

void TypeWhenShown(void* data) {
  Typing* t = static_cast<Typing*>(data);
  Fl_Window* w = ShownWindowTitled("Save Image file");
  Fl_File_Input* name = w ? FirstOf<Fl_File_Input>(w) : nullptr;
  if (!name) return Fl::repeat_timeout(0.05, TypeWhenShown, data);
  t->focused = Fl::focus() == name;
  name->take_focus();
  std::string text = t->entry->text;
  if (t->entry->paste) {
    Fl::e_text = &text[0];
    Fl::e_length = static_cast<int>(text.size());
    name->handle(FL_PASTE);
  }
  for (std::size_t i = 0; !t->entry->paste && i < text.size(); ++i) {
    const char key[2] = {text[i], 0};
    Press(w, text[i] == '\r' ? FL_Enter : static_cast<unsigned char>(text[i]), key);
  }
  Press(w, FL_Enter);
}

class ChooserTest : public ::testing::TestWithParam<Entry> {
 protected:
  std::string folder, previous;
  void SetUp() override {
    char where[] = "/tmp/relievo-chooser-XXXXXX";
    ASSERT_NE(mkdtemp(where), nullptr);
    folder = where;
    char cwd[4096];
    previous = getcwd(cwd, sizeof(cwd)) ? cwd : "/";
    ASSERT_EQ(chdir(folder.c_str()), 0);  // the chooser opens in the working folder
    mkdir((folder + "/a").c_str(), 0700);
    mkdir((folder + "/a/b").c_str(), 0700);
  }
  void TearDown() override {
    EXPECT_EQ(chdir(previous.c_str()), 0);
    std::system(("rm -rf " + folder).c_str());
  }
};

TEST_P(ChooserTest, GivesExactlyTheFileTypedOrPasted) {
  ScreenTurn turn;
  std::string reason;
  ASSERT_TRUE(platform::Native().OpenDisplay(&reason)) << reason;
  Entry entry = GetParam();
  for (std::string* s : {&entry.text, &entry.expected})
    if (s->rfind("<folder>", 0) == 0) s->replace(0, 8, folder);
  Typing typing{&entry};
  Fl::add_timeout(0.05, TypeWhenShown, &typing);
  Fl::add_timeout(20, [](void*) {
    if (Fl_Window* w = ShownWindowTitled("Save Image file")) w->hide();
  });
  std::string path;
  const bool chosen = platform::Native().SaveFileDialog("Save Image file", {}, &path);
  EXPECT_TRUE(typing.focused) << "the name field has no keyboard focus";
  EXPECT_TRUE(chosen);
  const std::string expected =
      entry.expected[0] == '/' ? entry.expected : folder + "/" + entry.expected;
  EXPECT_EQ(path, expected);
}

INSTANTIATE_TEST_SUITE_P(
    TypedAndPasted, ChooserTest,
    ::testing::Values(
        Entry{"WholePathTyped", "<folder>/a/b/name.qmf", false, "<folder>/a/b/name.qmf"},
        Entry{"WholePathPasted", "<folder>/a/b/name.qmf", true, "<folder>/a/b/name.qmf"},
        Entry{"NameTyped", "name.bmp", false, "name.bmp"},
        Entry{"FolderAndNameTyped", "a/b/name.bmp", false, "a/b/name.bmp"},
        Entry{"FolderAndNamePasted", "a/name.bmp", true, "a/name.bmp"},
        Entry{"FolderOpenedThenNameTyped", "a\rname.bmp", false, "a/name.bmp"}),
    [](const testing::TestParamInfo<Entry>& i) { return i.param.name; });

// Each line of the filter choice, as the closed choice draws it: the text must
// fit left of the 20-pixel arrow button, inside the choice's frame.
void MeasureFilterLines(void* data) {
  auto* cut = static_cast<std::vector<std::string>*>(data);
  Fl_Window* w = ShownWindowTitled("Load Image file");
  if (!w) return Fl::repeat_timeout(0.05, MeasureFilterLines, data);
  cut->clear();
  Fl_Choice* filters = FirstOf<Fl_Choice>(w);
  const int room = filters->w() - 20 - 2 * Fl::box_dx(filters->box());
  for (const Fl_Menu_Item* m = filters->menu(); m && m->label(); m = m->next()) {
    fl_font(m->labelfont(), m->labelsize() ? m->labelsize() : filters->textsize());
    if (fl_width(m->label()) > room) cut->push_back(Str(m->label()));
  }
  w->hide();
}

TEST(LoadImageDialog, ShowsEveryFilterLineWhole) {
  ScreenTurn turn;
  std::string reason, path;
  ASSERT_TRUE(platform::Native().OpenDisplay(&reason)) << reason;
  std::vector<std::string> cut = {"(the dialog was never shown)"};
  Fl::add_timeout(0.05, MeasureFilterLines, &cut);
  platform::Native().OpenFileDialog("Load Image file", LoadImageFilters(), &path);
  EXPECT_THAT(cut, ::testing::IsEmpty());
}

class ZoomLimitTest : public ::testing::Test {
 protected:
  ControlWindow window;
  std::string StatusText() { return Str(window.statusBox->label()); }
  void SetUp() override { heightmap.assign(249, 249, 1, 1, 0); }
};

TEST_F(ZoomLimitTest, EnlargeBeyondTheScreenSaysSoAndKeepsTheZoom) {
  displayZoom = 4;  // 8 x 249 is wider than any test screen
  window.Enlarge(nullptr, nullptr);
  EXPECT_EQ(displayZoom, 4);
  EXPECT_THAT(StatusText(), HasSubstr("largest size that fits the screen"));
  window.Reduce(nullptr, nullptr);
  EXPECT_EQ(displayZoom, 2);
  EXPECT_EQ(StatusText(), "") << "the note outlived the limit";
}

TEST_F(ZoomLimitTest, ReduceAtZoomOneSaysSoAndAWorkingEnlargeClearsIt) {
  displayZoom = 1;
  window.Reduce(nullptr, nullptr);
  EXPECT_EQ(displayZoom, 1);
  EXPECT_THAT(StatusText(), HasSubstr("smallest size"));
  window.Enlarge(nullptr, nullptr);
  EXPECT_EQ(displayZoom, 2);
  EXPECT_EQ(StatusText(), "");
}

TEST(OptionDialogs, NoiseTypeLabelStaysOffTheDialogsEdge) {
  ScreenTurn turn;
  Fl_Double_Window* dialog = showNoiseOptions();
  Fl_Choice* type = nullptr;
  for (int i = 0; i < dialog->children(); ++i)
    if (Str(dialog->child(i)->label()) == "Noise Type:")
      type = dynamic_cast<Fl_Choice*>(dialog->child(i));
  ASSERT_NE(type, nullptr);
  fl_font(type->labelfont(), type->labelsize());
  // Drawn right-aligned 3 pixels left of the choice: its left end must leave a margin.
  EXPECT_GE(type->x() - 3 - fl_width(type->label()), 4) << "at size " << type->labelsize();
  dialog->hide();
}

TEST(HostSave, ARunWithoutAHandOffSaysNoFileWasWritten) {
  const std::string file = testing::TempDir() + "never-written.qmf";
  std::remove(file.c_str());
  // Without a display the run ends at once, before anything could be passed.
  const std::string command = "env -u DISPLAY " RELIEVO_HOST_PATH " --module " RELIEVO_MODULE_PATH
                              " --save " +
                              file + " 2>&1";
  FILE* out = popen(command.c_str(), "r");
  ASSERT_NE(out, nullptr);
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof(buffer), out)) text += buffer;
  pclose(out);
  EXPECT_THAT(text, HasSubstr("without a hand-off: nothing was written to " + file));
  EXPECT_NE(access(file.c_str(), F_OK), 0) << "a file was written";
}

}  // namespace
