// The pictures of the Paint page's tool and transform buttons. They are made
// once per loaded module and shared by every control window; a button only
// points at its icon and never owns it.
#pragma once

class Fl_Pixmap;

enum class ToolIcon {
  kFixDraw,
  kPaintPlainBrush,
  kCreateMountain,
  kCreateDepression,
  kNoiseZone,
  kBlurZone,
  kRotateRight,
  kRotateLeft,
  kEnlarge,
  kReduce,
  kFlipHorizontal,
  kFlipVertical,
};
constexpr int kToolIconCount = 12;

Fl_Pixmap* ToolIconImage(ToolIcon icon);
