// The operating system's side of loading a plug-in module: the one part of the
// host that differs between Linux (dlopen) and Windows (LoadLibraryA).
#pragma once

#include <string>

class PluginModule {
 public:
  // Loads the module; on failure returns false with the system's reason.
  bool Open(const std::string& path, std::string* error);
  // The address of an export, or null. On Windows the function must be found
  // under its plain name and under its stdcall-decorated name
  // ("PluginSetCallback@4") at the same address; error says which is wrong.
  void* Find(const char* name, int argumentBytes, std::string* error) const;

 private:
  void* handle_ = nullptr;
};

// The module's usual path: AdvancedRelievo.so or .dll beside the host program.
std::string DefaultModulePath();
