// The question, the file chooser and the option dialogs as a person answers them.
#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Valuator.H>
#include <FL/fl_draw.H>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imagefiles/image_files.h"
#include "platform/platform.h"
#include "plugin/plugin_state.h"
#include "tests/support/fake_platform.h"
#include "tests/support/files.h"
#include "tests/support/screen_turn.h"
#include "tests/support/widgets.h"
#include "ui/option_dialogs.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

void Press(Fl_Window* w, int key, const char* text = "") {
  Fl::e_keysym = key;
  Fl::e_state = 0;
  Fl::e_text = const_cast<char*>(text);
  Fl::e_length = static_cast<int>(std::strlen(text));
  Fl::handle(FL_KEYBOARD, w);
}

Fl_Window* Chooser(const char* title = "Save Image file") {
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w))
    if (w->shown() && Str(w->label()) == title) return w;
  return nullptr;
}

// A stuck dialog fails the test instead of hanging it.
void HideStuckDialog(void*) {
  if (Fl_Window* w = Fl::modal() ? Fl::modal() : Chooser()) w->hide();
}

struct Asked {
  int key;
  std::string title;  // empty until the question was shown
};

void AnswerWhenShown(void* data) {
  Asked* a = static_cast<Asked*>(data);
  Fl_Window* w = Fl::modal();
  if (!w) return Fl::repeat_timeout(0.05, AnswerWhenShown, data);
  a->title = Str(w->label());
  Press(w, a->key);
}

// Enter gives the default answer; Escape means No.
TEST(CloseQuestion, KeysGiveTheAnswerAPersonMeans) {
  ScreenTurn turn;
  unsetenv("RELIEVO_ASSUME_YES");
  std::string reason;
  ASSERT_TRUE(platform::Native().OpenDisplay(&reason)) << reason;
  using platform::DefaultAnswer;
  const struct {
    const char* keys;
    int key;
    DefaultAnswer defaultAnswer;
    bool yes;
  } cases[] = {{"Enter", FL_Enter, DefaultAnswer::No, false},
               {"Escape", FL_Escape, DefaultAnswer::No, false},
               {"Enter where Yes is the default", FL_Enter, DefaultAnswer::Yes, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    Asked asked{c.key, ""};
    Fl::add_timeout(0.05, AnswerWhenShown, &asked);
    Fl::add_timeout(20, HideStuckDialog);
    const bool yes =
        platform::Native().AskYesNo("Warning", "Close the plug-in anyway?", c.defaultAnswer);
    Fl::remove_timeout(HideStuckDialog);
    EXPECT_EQ(asked.title, "Warning") << "the question was not shown, or under another title";
    EXPECT_EQ(yes, c.yes);
  }
}

// What the person types in the chooser once it is shown, key by key ('\r' is Enter), then Enter.
struct Entry {
  std::string name, text;
  std::string expected;  // under the folder the chooser opens in
};
void PrintTo(const Entry& e, std::ostream* os) { *os << e.name; }

void TypeWhenShown(void* data) {
  const std::string* text = static_cast<const std::string*>(data);
  Fl_Window* w = Chooser();
  Fl_File_Input* name = nullptr;
  for (Fl_Widget* c : w ? Leaves(w) : std::vector<Fl_Widget*>())
    if (!name) name = dynamic_cast<Fl_File_Input*>(c);
  if (!name) return Fl::repeat_timeout(0.05, TypeWhenShown, data);
  name->take_focus();
  for (char c : *text + '\r') {
    const char key[2] = {c, 0};
    Press(w, c == '\r' ? FL_Enter : static_cast<unsigned char>(c), key);
  }
}

class ChooserTest : public ::testing::TestWithParam<Entry> {};

TEST_P(ChooserTest, GivesExactlyTheFileTyped) {
  ScreenTurn turn;
  std::string reason;
  ASSERT_TRUE(platform::Native().OpenDisplay(&reason)) << reason;
  ScratchFolder scratch;
  std::filesystem::create_directories(scratch.path / "a" / "b");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(scratch.path);  // the chooser opens in the working folder
  const std::string folder = scratch.path.string();
  Entry entry = GetParam();
  if (entry.text.rfind("<folder>", 0) == 0) entry.text.replace(0, 8, folder);
  Fl::add_timeout(0.05, TypeWhenShown, &entry.text);
  Fl::add_timeout(20, HideStuckDialog);
  std::string path;
  EXPECT_TRUE(platform::Native().SaveFileDialog("Save Image file", {}, &path));
  std::filesystem::current_path(previous);
  EXPECT_EQ(path, folder + "/" + entry.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Typed, ChooserTest,
    ::testing::Values(Entry{"WholePath", "<folder>/a/b/name.qmf", "a/b/name.qmf"},
                      Entry{"FolderAndName", "a/b/name.bmp", "a/b/name.bmp"},
                      Entry{"FolderOpenedThenName", "a\rname.bmp", "a/name.bmp"}),
    [](const testing::TestParamInfo<Entry>& i) { return i.param.name; });

// Each line of the filter choice must fit left of the closed choice's 20-pixel arrow button.
void MeasureFilterLines(void* data) {
  auto* cut = static_cast<std::vector<std::string>*>(data);
  Fl_Window* w = Chooser("Load Image file");
  if (!w) return Fl::repeat_timeout(0.05, MeasureFilterLines, data);
  cut->clear();
  Fl_Choice* filters = nullptr;
  for (Fl_Widget* c : Leaves(w))
    if (!filters) filters = dynamic_cast<Fl_Choice*>(c);
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

using Values = std::vector<double>;

// Every value the option dialogs edit: the real ones, then the counts.
double* const kReals[] = {&plasmaAlpha, &plasmaBeta, &plasmaNoise, &noiseSigma,
                          &morviNoise,  &morviAlpha, &morviBeta};
int* const kCounts[] = {&noiseType, &erodeTimes[0], &erodeTimes[1], &dilateTimes[0],
                        &dilateTimes[1]};

Values Options() {
  Values v;
  for (double* p : kReals) v.push_back(*p);
  for (int* p : kCounts) v.push_back(*p);
  return v;
}

void SetOptions(const Values& v) {
  for (int i = 0; i < 7; ++i) *kReals[i] = v[i];
  for (int i = 0; i < 5; ++i) *kCounts[i] = int(v[7 + i]);
}

// How many pairs of a dialog's widgets overlap on screen.
int Overlaps(Fl_Group* g) {
  int pairs = 0;
  for (Fl_Widget* a : Leaves(g))
    for (Fl_Widget* b : Leaves(g))
      pairs += a < b && a->x() < b->x() + b->w() && b->x() < a->x() + a->w() &&
               a->y() < b->y() + b->h() && b->y() < a->y() + a->h();
  return pairs;
}

struct Slider {
  std::string name;
  Fl_Double_Window* (*open)();
  const char *label, *tip;
  int option;  // index in Options()
  double min, max, inUse, applied;
};
void PrintTo(const Slider& s, std::ostream* os) { *os << s.name; }

class OptionSliderTest : public ::testing::TestWithParam<Slider> {
  ScreenTurn turn_;
};

// The dialog shows the value in use, not its built-in one; Apply stores the slider there only.
TEST_P(OptionSliderTest, EditsTheValueInUseAlone) {
  const Slider& s = GetParam();
  Values options = {3.5, 0.5, 640, 77, 65, 4, 2.5, 2, 61, 62, 63, 64};
  options[s.option] = s.inUse;
  SetOptions(options);
  Fl_Double_Window* d = s.open();
  auto* v = static_cast<Fl_Valuator*>(Named(d, s.label));
  EXPECT_EQ(Str(v->tooltip()), s.tip);
  EXPECT_THAT(Values({v->value(), v->minimum(), v->maximum()}), ElementsAre(s.inUse, s.min, s.max));
  EXPECT_EQ(Overlaps(d), 0) << "widgets overlap";
  v->value(s.applied);
  Named(d, "Apply")->do_callback();
  options[s.option] = s.applied;
  EXPECT_EQ(Options(), options);
}

INSTANTIATE_TEST_SUITE_P(
    EachDialog, OptionSliderTest,
    ::testing::Values(Slider{"PlasmaAlpha", showPlasmaOptions, "Alpha", "Set the Alpha Parameter",
                             0, 0, 4, 2.5, 0.75},
                      Slider{"NoiseSigma", showNoiseOptions, "Sigma", "Sigma Parameter for Noise",
                             3, 1, 2000, 1500, 33},
                      Slider{"SecondErode", [] { return showErodeOptions(1); }, "Times",
                             "Times you Want to Apply Erode Filter", 9, 1, 1000, 23, 600},
                      Slider{"MorviAlpha", showMorviGenOptions, "Alpha", "Set the Alpha Parameter",
                             5, 1, 10, 7, 2}),
    [](const testing::TestParamInfo<Slider>& i) { return i.param.name; });

TEST(OptionDialogs, NoiseTypeLabelStaysOffTheDialogsEdge) {
  ScreenTurn turn;
  Fl_Double_Window* dialog = showNoiseOptions();
  auto* type = static_cast<Fl_Choice*>(Named(dialog, "Noise Type:"));
  fl_font(type->labelfont(), type->labelsize());
  // Drawn right-aligned 3 pixels left of the choice.
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
