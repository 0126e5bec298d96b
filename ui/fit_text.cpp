#include "ui/fit_text.h"

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Tabs.H>
#include <FL/fl_draw.H>

#include <algorithm>

#include "platform/text_measure.h"

namespace {

constexpr int kLargest = 14;
constexpr int kSmallest = 8;

// The toolkit's own room around a tab label and beside a choice's text: the
// tab's slope and border, and the choice's arrow button, frame and margins.
constexpr int kTabExtra = 12;
constexpr int kChoiceArrow = 20;
constexpr int kChoiceMargins = 10;
// The toolkit leaves this much between a left label and its widget; the
// margin keeps the label off the window's edge.
constexpr int kLabelGap = 3;
constexpr int kEdgeMargin = 6;

int TextWidth(Fl_Font font, int size, const char* text) {
  if (!text) return 0;
  fl_font(font, size);
  return static_cast<int>(fl_width(text) + 0.999);
}

// The width of the menu's longest entry at this type size.
int WidestEntry(const Fl_Menu_Item* menu, int size) {
  int widest = 0;
  for (const Fl_Menu_Item* m = menu; m && m->label(); m = m->next())
    widest = std::max(widest, TextWidth(m->labelfont(), size, m->label()));
  return widest;
}

}  // namespace

void FitTabLabels(Fl_Tabs* tabs) {
  platform::ReadyTextMeasuring();
  for (int size = kLargest; size >= kSmallest; --size) {
    int total = 0;
    for (int i = 0; i < tabs->children(); ++i) {
      Fl_Widget* page = tabs->child(i);
      total += TextWidth(page->labelfont(), size, page->label()) + kTabExtra;
    }
    if (total <= tabs->w() || size == kSmallest) {
      for (int i = 0; i < tabs->children(); ++i) tabs->child(i)->labelsize(size);
      return;
    }
  }
}

void FitChoiceEntries(Fl_Choice* choice) {
  platform::ReadyTextMeasuring();
  const Fl_Menu_Item* menu = choice->menu();
  if (!menu) return;
  const int room = choice->w() - kChoiceArrow - kChoiceMargins;
  for (int size = kLargest; size >= kSmallest; --size) {
    if (WidestEntry(menu, size) <= room || size == kSmallest) {
      // The menu arrays are static and each belongs to one choice.
      for (Fl_Menu_Item* m = const_cast<Fl_Menu_Item*>(menu); m->label(); m = m->next())
        m->labelsize(size);
      return;
    }
  }
}

int ChoiceWidthForEntries(Fl_Choice* choice) {
  platform::ReadyTextMeasuring();
  return WidestEntry(choice->menu(), kLargest) + kChoiceArrow + kChoiceMargins;
}

void FitLabelLeftOf(Fl_Widget* widget) {
  platform::ReadyTextMeasuring();
  const int room = widget->x() - kLabelGap - kEdgeMargin;
  for (int size = widget->labelsize(); size >= kSmallest; --size) {
    if (TextWidth(widget->labelfont(), size, widget->label()) <= room || size == kSmallest) {
      widget->labelsize(size);
      return;
    }
  }
}
