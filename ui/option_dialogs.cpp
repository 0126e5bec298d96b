#include "ui/option_dialogs.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Value_Slider.H>

#include "plugin/plugin_state.h"
#include "ui/fit_text.h"

namespace {

constexpr Fl_Menu_Item Item(const char* label) {
  return {label, 0, nullptr, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 14, FL_FOREGROUND_COLOR};
}
Fl_Menu_Item noiseTypeMenu[] = {Item("Gaussian"),
                                Item("Uniform"),
                                Item("Salt+Pepper"),
                                {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0}};

// A dialog window that knows how to store its own widgets' values. Every
// instance is the single open dialog of its kind; `current` is that kind's
// reference, cleared when the instance goes away.
class OptionsDialog : public Fl_Double_Window {
 public:
  OptionsDialog(int w, int h, const char* title, OptionsDialog*& current)
      : Fl_Double_Window(w, h, title), current_(current) {
    if (current_) current_->Close();
    current_ = this;
    callback(CloseCallback);
  }

  // Hides now and frees once the toolkit is done with the widget, so this is
  // safe from inside the dialog's own callbacks.
  void Close() {
    if (current_ == this) current_ = nullptr;
    hide();
    Fl::delete_widget(this);
  }

  void Open() {
    end();
    resizable(this);
    Load();
    show();
  }

 protected:
  virtual void Load() = 0;
  virtual void Store() = 0;

  void AddApplyButton(int x, int y) {
    Fl_Button* apply = new Fl_Button(x, y, 80, 25, "Apply");
    apply->tooltip("Apply these Settings");
    apply->callback(ApplyCallback);
  }

 private:
  // The pressed button's own window is the instance to store from, whatever
  // other dialogs were opened since.
  static void ApplyCallback(Fl_Widget* w, void*) {
    OptionsDialog* dialog = static_cast<OptionsDialog*>(w->window());
    dialog->Store();
    dialog->Close();
  }
  static void CloseCallback(Fl_Widget* w, void*) { static_cast<OptionsDialog*>(w)->Close(); }

  OptionsDialog*& current_;
};

Fl_Value_Slider* MakeSlider(int x, int y, const char* label, const char* tip, double min,
                            double max, double step, double value) {
  Fl_Value_Slider* s = new Fl_Value_Slider(x, y, 175, 25, label);
  s->type(FL_HOR_SLIDER);
  s->align(FL_ALIGN_TOP);
  s->tooltip(tip);
  s->range(min, max);
  s->step(step);
  s->value(value);
  return s;
}

OptionsDialog* plasmaDialog = nullptr;
OptionsDialog* noiseDialog = nullptr;
OptionsDialog* erodeDialog = nullptr;
OptionsDialog* dilateDialog = nullptr;
OptionsDialog* morviDialog = nullptr;

class PlasmaDialog : public OptionsDialog {
 public:
  PlasmaDialog() : OptionsDialog(199, 237, "Plasma Options", plasmaDialog) {
    alpha_ = MakeSlider(10, 30, "Alpha", "Set the Alpha Parameter", 0, 4, 0, 1);
    beta_ = MakeSlider(10, 90, "Beta", "Set the Beta Parameter", 0, 4, 0, 1);
    AddApplyButton(60, 195);
    noise_ = MakeSlider(10, 150, "Noise", "Set the Noise Parameter", 1, 1000, 1, 100);
  }

 protected:
  void Load() override {
    alpha_->value(plasmaAlpha);
    beta_->value(plasmaBeta);
    noise_->value(plasmaNoise);
  }
  void Store() override {
    plasmaAlpha = alpha_->value();
    plasmaBeta = beta_->value();
    plasmaNoise = noise_->value();
  }

 private:
  Fl_Value_Slider *alpha_, *beta_, *noise_;
};

class NoiseDialog : public OptionsDialog {
 public:
  NoiseDialog() : OptionsDialog(199, 183, "Noise Options", noiseDialog) {
    sigma_ = MakeSlider(10, 30, "Sigma", "Sigma Parameter for Noise", 1, 2000, 1, 100);
    AddApplyButton(60, 130);
    type_ = new Fl_Choice(85, 80, 110, 25, "Noise Type:");
    type_->tooltip("Select Noise Type");
    type_->down_box(FL_BORDER_BOX);
    type_->menu(noiseTypeMenu);
    FitChoiceEntries(type_);
    FitLabelLeftOf(type_);
  }

 protected:
  void Load() override {
    if (noiseType >= 0 && noiseType < 3) type_->value(noiseType);
    sigma_->value(noiseSigma);
  }
  void Store() override {
    noiseType = type_->value();
    noiseSigma = sigma_->value();
  }

 private:
  Fl_Value_Slider* sigma_;
  Fl_Choice* type_;
};

// Erode and Dilate: one repetition count per filter slot. The dialog keeps the
// slot it was opened for, so its Apply lands in that slot even when the other
// of the two dialogs was opened for the other slot meanwhile.
class TimesDialog : public OptionsDialog {
 public:
  TimesDialog(const char* title, const char* tip, int (&times)[2], int slot,
              OptionsDialog*& current)
      : OptionsDialog(199, 131, title, current), times_(times), slot_(slot ? 1 : 0) {
    slider_ = MakeSlider(10, 30, "Times", tip, 1, 1000, 1, 100);
    AddApplyButton(60, 80);
  }

 protected:
  void Load() override { slider_->value(static_cast<double>(times_[slot_])); }
  void Store() override { times_[slot_] = static_cast<int>(slider_->value()); }

 private:
  Fl_Value_Slider* slider_;
  int (&times_)[2];
  int slot_;
};

class MorviGenDialog : public OptionsDialog {
 public:
  MorviGenDialog() : OptionsDialog(211, 230, "Morvi Gen Options", morviDialog) {
    noise_ = MakeSlider(20, 25, "Noise", "Set the Noise Parameter", 1, 1000, 1, 100);
    beta_ = MakeSlider(20, 135, "Beta", "Set the Beta Parameter", 1, 10, 0.005, 6.765);
    alpha_ = MakeSlider(20, 80, "Alpha", "Set the Alpha Parameter", 1, 10, 1, 3);
    AddApplyButton(65, 190);
  }

 protected:
  void Load() override {
    noise_->value(morviNoise);
    alpha_->value(morviAlpha);
    beta_->value(morviBeta);
  }
  void Store() override {
    morviNoise = noise_->value();
    morviAlpha = alpha_->value();
    morviBeta = beta_->value();
  }

 private:
  Fl_Value_Slider *noise_, *beta_, *alpha_;
};

Fl_Double_Window* Open(OptionsDialog* dialog) {
  dialog->Open();
  return dialog;
}

}  // namespace

Fl_Double_Window* showPlasmaOptions() { return Open(new PlasmaDialog()); }

Fl_Double_Window* showNoiseOptions() { return Open(new NoiseDialog()); }

Fl_Double_Window* showErodeOptions(int slot) {
  return Open(new TimesDialog("Erode Options", "Times you Want to Apply Erode Filter", erodeTimes,
                              slot, erodeDialog));
}

Fl_Double_Window* showDilateOptions(int slot) {
  return Open(new TimesDialog("Dilate Options", "Times you Want to Apply Dilate Filter",
                              dilateTimes, slot, dilateDialog));
}

Fl_Double_Window* showMorviGenOptions() { return Open(new MorviGenDialog()); }
