#include "plugin/exports.h"

#include <exception>
#include <string>

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
  // Nothing may unwind into the host: it knows no C++. The run's windows are
  // gone by now, the display is open, so the failure can be shown.
  std::string why;
  try {
    RunPlugin();
    return;
  } catch (const std::exception& e) {
    why = e.what();
  } catch (...) {
    why = "an unknown error";
  }
  try {
    if (why.empty() || why.back() != '.') why += '.';
    ReportRunFailure("Advanced Relievo ended on an error: " + why, true);
  } catch (...) {
  }
}
