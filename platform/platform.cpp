#include "platform/platform.h"

namespace platform {

Platform& Native();  // platform_fltk.cpp or platform_win32.cpp

namespace {
Platform* installed = nullptr;
}

Platform& Current() { return installed ? *installed : Native(); }

void Install(Platform* p) { installed = p; }

}  // namespace platform
