// The one place CImg is configured and included: every file must see the same
// CImg (same display back-end, same options), or the library's inline statics
// would differ between translation units.
#pragma once

// CImg sizes its buffer limit by UINTPTR_MAX; unseen, a 32-bit build takes
// the 64-bit limit, which wraps to 0. These stay above the first #define, so
// include sorting cannot move them after CImg.h: a file that happened to
// include them earlier would otherwise see another CImg than one that did not.
#include <climits>
#include <cstdint>

#ifndef cimg_display
#if defined(_WIN32)
#define cimg_display 2  // GDI windows
#else
#define cimg_display 1  // X11 windows
#endif
#endif

// Errors come back as exceptions that our callers turn into messages; CImg
// itself should neither print nor pop up dialogs.
#define cimg_verbosity 0

#include <CImg.h>

// <windows.h>, which CImg's GDI back-end includes, renames LoadImage.
#ifdef LoadImage
#undef LoadImage
#endif

// CImg's X11 back-end drags in Xlib macros that collide with ordinary names.
#ifdef None
#undef None
#endif
#ifdef Bool
#undef Bool
#endif
