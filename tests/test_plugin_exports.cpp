#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

TEST(PluginExports, ResolveByNameAndReturnTheIdentity) {
  void* module = dlopen(RELIEVO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto str = [&](const char* name) {
    auto fn = reinterpret_cast<const char* (*)()>(dlsym(module, name));
    EXPECT_NE(fn, nullptr) << name;
    return fn ? std::string(fn()) : std::string();
  };
  auto type = reinterpret_cast<int (*)()>(dlsym(module, "PluginType"));
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type(), 1);
  EXPECT_EQ(str("PluginName"), "Advanced Relievo");
  EXPECT_EQ(str("PluginDescription"), "Advanced version of Relievo Plugin");
  EXPECT_EQ(str("PluginQuarnVersion"), "0.862");
  EXPECT_EQ(str("PluginVersion"), "1.0 Beta");
  EXPECT_EQ(str("PluginAuthor"), "Ettar Quell \"Il Morvi\"");
  EXPECT_NE(str("PluginEmail").find('@'), std::string::npos);
  EXPECT_NE(dlsym(module, "PluginSetCallback"), nullptr);
  EXPECT_NE(dlsym(module, "PluginExecute"), nullptr);
  // Nothing else of ours leaks out of the module.
  EXPECT_EQ(dlsym(module, "RunPlugin"), nullptr);
  EXPECT_EQ(dlsym(module, "heightmap"), nullptr);
  EXPECT_EQ(dlsym(module, "_Z9RunPluginv"), nullptr);
}
