// Fonts differ between systems: where a tab label or a choice entry would be
// cut at its font size, its font shrinks until it fits. Text and geometry stay.
#pragma once

class Fl_Tabs;
class Fl_Choice;
class Fl_Widget;

// Shrinks the page labels until every tab is whole at once.
void FitTabLabels(Fl_Tabs* tabs);
// Shrinks the choice's entries until the longest fits in the closed choice.
void FitChoiceEntries(Fl_Choice* choice);
// The width at which the closed choice shows its longest entry whole at the
// largest size FitChoiceEntries gives.
int ChoiceWidthForEntries(Fl_Choice* choice);
// Shrinks the label drawn left of the widget until it keeps a margin from the
// window's left edge.
void FitLabelLeftOf(Fl_Widget* widget);
