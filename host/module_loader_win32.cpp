#include <windows.h>

#include "host/module_loader.h"

bool PluginModule::Open(const std::string& path, std::string* error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) *error = "LoadLibraryA failed with error " + std::to_string(GetLastError());
  handle_ = reinterpret_cast<void*>(module);
  return module != nullptr;
}

void* PluginModule::Find(const char* name, int argumentBytes, std::string* error) const {
  HMODULE module = reinterpret_cast<HMODULE>(handle_);
  std::string decorated = std::string(name) + "@" + std::to_string(argumentBytes);
  void* plain = reinterpret_cast<void*>(GetProcAddress(module, name));
  void* stdcall = reinterpret_cast<void*>(GetProcAddress(module, decorated.c_str()));
  // Quarn may look up either name, so both must lead to the same function.
  if (!plain) {
    *error = std::string("the module has no export ") + name;
    return nullptr;
  }
  if (!stdcall) {
    *error = "the module has no export " + decorated;
    return nullptr;
  }
  if (plain != stdcall) {
    *error = std::string("the exports ") + name + " and " + decorated + " are different functions";
    return nullptr;
  }
  return plain;
}

std::string DefaultModulePath() {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof(self));
  if (n == 0 || n >= sizeof(self)) return "AdvancedRelievo.dll";
  std::string path(self, n);
  return path.substr(0, path.find_last_of("\\/") + 1) + "AdvancedRelievo.dll";
}
