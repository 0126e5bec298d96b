// Finding and pressing the toolkit's widgets as a user would.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Group.H>
#include <gtest/gtest.h>

#include <string>
#include <vector>

inline std::string Str(const char* s) { return s ? s : ""; }

// Every widget under g that is not itself a group.
inline std::vector<Fl_Widget*> Leaves(Fl_Group* g) {
  std::vector<Fl_Widget*> out;
  for (int i = 0; i < g->children(); ++i) {
    Fl_Group* inner = g->child(i)->as_group();
    if (!inner) {
      out.push_back(g->child(i));
      continue;
    }
    const std::vector<Fl_Widget*> more = Leaves(inner);
    out.insert(out.end(), more.begin(), more.end());
  }
  return out;
}

// The widget under g with this label or tooltip; g itself, and a failure, if none.
inline Fl_Widget* Named(Fl_Group* g, const std::string& name) {
  for (Fl_Widget* w : Leaves(g))
    if (Str(w->label()) == name || Str(w->tooltip()) == name) return w;
  ADD_FAILURE() << "no " << name << " in " << Str(g->label());
  return g;
}

// A left click in the widget's middle, delivered as the toolkit does, so that
// radio buttons group as they do on screen.
inline void Click(Fl_Widget* w) {
  Fl::e_x = w->x() + w->w() / 2;
  Fl::e_y = w->y() + w->h() / 2;
  Fl::e_keysym = FL_Button + 1;
  w->handle(FL_PUSH);
  w->handle(FL_RELEASE);
}
