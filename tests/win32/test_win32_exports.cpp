// The DLL as Quarn sees it: nine functions, each under its plain and its
// stdcall-decorated name at one address, each removing its own arguments.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

namespace {

struct Export { const char* name; int argumentBytes; };
const Export kExports[] = {
    {"PluginType", 0},    {"PluginName", 0},   {"PluginDescription", 0},
    {"PluginQuarnVersion", 0}, {"PluginVersion", 0}, {"PluginAuthor", 0},
    {"PluginEmail", 0},   {"PluginSetCallback", 4}, {"PluginExecute", 0}};

HMODULE Module() {
  static HMODULE module = LoadLibraryA(RELIEVO_MODULE_PATH);
  return module;
}

// Calls fn with argumentBytes of arguments pushed and returns how far the
// stack pointer moved: zero when the callee removed exactly its arguments.
std::intptr_t StackDrift(FARPROC fn, int argumentBytes) {
  std::uintptr_t before, after;
  if (argumentBytes == 4) {
    asm volatile("mov %%esp, %0\n\tpushl $0\n\tcall *%2\n\tmov %%esp, %1"
                 : "=&r"(before), "=&r"(after) : "r"(fn) : "eax", "ecx", "edx", "memory");
  } else {
    asm volatile("mov %%esp, %0\n\tcall *%2\n\tmov %%esp, %1"
                 : "=&r"(before), "=&r"(after) : "r"(fn) : "eax", "ecx", "edx", "memory");
  }
  return static_cast<std::intptr_t>(before - after);
}

TEST(Exports, EachNameAndItsDecoratedNameLeadToOneFunction) {
  ASSERT_NE(Module(), nullptr);
  for (const Export& e : kExports) {
    std::string decorated = std::string(e.name) + "@" + std::to_string(e.argumentBytes);
    FARPROC plain = GetProcAddress(Module(), e.name);
    FARPROC stdcall = GetProcAddress(Module(), decorated.c_str());
    ASSERT_NE(plain, nullptr) << e.name;
    EXPECT_EQ(plain, stdcall) << decorated;
  }
  // Nothing else is reachable by the undecorated C++ or C names.
  EXPECT_EQ(GetProcAddress(Module(), "_PluginType@0"), nullptr);
  EXPECT_EQ(GetProcAddress(Module(), "RunPlugin"), nullptr);
}

TEST(Exports, EveryCalleeRemovesItsOwnArguments) {
  ASSERT_NE(Module(), nullptr);
  auto type = reinterpret_cast<int(__stdcall*)()>(GetProcAddress(Module(), "PluginType@0"));
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type(), 1);
  for (const Export& e : kExports) {
    if (std::string(e.name) == "PluginExecute") continue;  // that one opens the windows
    EXPECT_EQ(StackDrift(GetProcAddress(Module(), e.name), e.argumentBytes), 0) << e.name;
  }
}

}  // namespace
