#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include "host/module_loader.h"

bool PluginModule::Open(const std::string& path, std::string* error) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) *error = dlerror();
  return handle_ != nullptr;
}

void* PluginModule::Find(const char* name, int, std::string* error) const {
  void* fn = dlsym(handle_, name);
  if (!fn) *error = std::string("the module has no export ") + name;
  return fn;
}

std::string DefaultModulePath() {
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (n <= 0) return "./AdvancedRelievo.so";
  self[n] = '\0';
  std::string path(self);
  return path.substr(0, path.rfind('/') + 1) + "AdvancedRelievo.so";
}
