// The module's whole exported surface: nine functions the host looks up by name.
// On Windows they are stdcall and exported under their plain and decorated
// names through AdvancedRelievo.def; elsewhere they are plain C symbols.
#pragma once

#include "plugin/host_contract.h"

#if defined(_WIN32)
#define RELIEVO_EXPORT extern "C"
#else
#define RELIEVO_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Identity: constant strings owned by the module, valid while it is loaded.
RELIEVO_EXPORT int RELIEVO_CALL PluginType();
RELIEVO_EXPORT const char* RELIEVO_CALL PluginName();
RELIEVO_EXPORT const char* RELIEVO_CALL PluginDescription();
RELIEVO_EXPORT const char* RELIEVO_CALL PluginQuarnVersion();
RELIEVO_EXPORT const char* RELIEVO_CALL PluginVersion();
RELIEVO_EXPORT const char* RELIEVO_CALL PluginAuthor();
RELIEVO_EXPORT const char* RELIEVO_CALL PluginEmail();
// Stores the host's callback; a later call replaces it. Never calls it.
RELIEVO_EXPORT void RELIEVO_CALL PluginSetCallback(HostCallback callback);
// One whole plug-in run; returns when the user has ended it. A call made while
// a run is in progress (e.g. from inside the callback) returns at once.
RELIEVO_EXPORT void RELIEVO_CALL PluginExecute();
