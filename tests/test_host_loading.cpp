// The stand-in host loads the module by its entry points' names.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct Result {
  int status;
  std::string output;
};

Result RunHost(const std::string& args) {
  std::string command = std::string(RELIEVO_HOST_PATH) + " " + args + " 2>&1";
  Result r{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  std::array<char, 512> buf;
  while (fgets(buf.data(), buf.size(), pipe)) r.output += buf.data();
  int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(QuarnHost, PrintsTheModulesIdentity) {
  Result r = RunHost(std::string("--identify --module ") + RELIEVO_MODULE_PATH);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("type: 1\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("name: Advanced Relievo\n"), std::string::npos);
  EXPECT_NE(r.output.find("quarn version: 0.862\n"), std::string::npos);
  EXPECT_NE(r.output.find("author: Ettar Quell \"Il Morvi\"\n"), std::string::npos);
}

TEST(QuarnHost, NamesAMissingEntryPointAndFails) {
  Result r = RunHost(std::string("--identify --module ") + INCOMPLETE_MODULE_PATH);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("PluginExecute"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("PluginName"), std::string::npos) << r.output;
}

TEST(QuarnHost, RefusesUnknownOptionsAndAMissingModule) {
  EXPECT_EQ(RunHost("--bogus").status, 2);
  Result r = RunHost("--identify --module /nonexistent/AdvancedRelievo.so");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("cannot load"), std::string::npos);
}

}  // namespace
