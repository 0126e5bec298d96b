#include "plugin/exports.h"

#include "plugin/plugin_run.h"
#include "plugin/plugin_state.h"

int RELIEVO_CALL PluginType() { return 1; }
const char* RELIEVO_CALL PluginName() { return "Advanced Relievo"; }
const char* RELIEVO_CALL PluginDescription() { return "Advanced version of Relievo Plugin"; }
const char* RELIEVO_CALL PluginQuarnVersion() { return "0.862"; }
const char* RELIEVO_CALL PluginVersion() { return "1.0 Beta"; }
const char* RELIEVO_CALL PluginAuthor() { return "Ettar Quell \"Il Morvi\""; }
const char* RELIEVO_CALL PluginEmail() { return "ilmorvi@relievo.example"; }

void RELIEVO_CALL PluginSetCallback(HostCallback callback) { hostCallback = callback; }

void RELIEVO_CALL PluginExecute() {
  // Nothing may unwind into the host: it knows no C++.
  try {
    RunPlugin();
  } catch (...) {
  }
}
