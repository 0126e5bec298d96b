// Stand-ins for the plug-ins built without their codecs. Each still takes its
// slot in the plug-in table, so the format numbers of the others stay those of
// FreeImage.h; with no load, save or extension a format here is never picked
// for a file and never read or written. The extension list must still be a
// string: the lookup by file name reads every plug-in's list.
#include "FreeImage.h"
#include "Plugin.h"

#define RELIEVO_MISSING_PLUGIN(init, name)                          \
  static const char* DLL_CALLCONV init##Format() { return name; }   \
  static const char* DLL_CALLCONV init##Extensions() { return ""; } \
  void DLL_CALLCONV init(Plugin* plugin, int) {                     \
    plugin->format_proc = init##Format;                             \
    plugin->extension_proc = init##Extensions;                      \
  }

RELIEVO_MISSING_PLUGIN(InitEXR, "EXR")
RELIEVO_MISSING_PLUGIN(InitJ2K, "J2K")
RELIEVO_MISSING_PLUGIN(InitJP2, "JP2")
RELIEVO_MISSING_PLUGIN(InitRAW, "RAW")
RELIEVO_MISSING_PLUGIN(InitWEBP, "WEBP")
RELIEVO_MISSING_PLUGIN(InitJXR, "JXR")

// FreeImage's own shared library registers its plug-ins when it is loaded and
// drops them when unloaded. Linked statically into a module, this object does
// the same at the module's load and unload.
namespace {
struct LibraryLifetime {
  LibraryLifetime() { FreeImage_Initialise(FALSE); }
  ~LibraryLifetime() { FreeImage_DeInitialise(); }
} lifetime;
}  // namespace
