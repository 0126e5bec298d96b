// What the host and the module agree on for the hand-off of the map text.
// Shared by the module and the stand-in host; depends on nothing else.
#pragma once

// The single argument of the host's callback, passed by value.
struct PluginCallbackData {
  int kind;    // always 1: a landscape as map text
  char* text;  // NUL-terminated; owned by the module, valid only during the call
  int size;    // bytes of text including the terminating NUL
};

// Called once per hand-off, synchronously; the host copies what it keeps.
// Plain C calling convention on every platform (the caller pops the record).
typedef void (*HostCallback)(PluginCallbackData data);

#if defined(_WIN32)
#define RELIEVO_CALL __stdcall
#else
#define RELIEVO_CALL
#endif
