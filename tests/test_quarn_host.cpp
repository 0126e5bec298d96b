// The stand-in host's side: the check of the callback record, the record by
// record check of a map text, and the summary quarn-host prints.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <tuple>

#include "export/export_ops.h"
#include "export/map_text.h"
#include "host/map_text_reader.h"
#include "plugin/plugin_state.h"
#include "tests/support/fake_platform.h"

namespace {

void UseFlatMapWithPeak(int side) {
  heightmap.assign(side, side, 1, 1, 40);
  heightmap(3, 5) = 100;
  mapSize = side;
  maxWideness = 1024;
  maxHeight = 510;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  std::size_t at = text.find(from);
  return at == std::string::npos ? "pattern not found: " + from : text.replace(at, from.size(), to);
}

std::string Check(const std::string& text) {
  MapSummary summary;
  std::string error;
  return ReadMapText(text, &summary, &error) ? FormatSummary(summary) : error;
}

TEST(MapTextReader, SummarisesBothFormsAndWindowsLineEnds) {
  UseFlatMapWithPeak(63);
  const std::string file = BuildMapText(MapTextForm::File);
  std::string crlf;
  for (char c : file) crlf += c == '\n' ? "\r\n" : std::string(1, c);
  for (const std::string& text : {BuildMapText(MapTextForm::Host), file, crlf})
    EXPECT_EQ(Check(text), "objects=4 vertices=4096 polygons=3844 x=-496..496 y=0..120 z=-496..496");
}

TEST(MapTextReader, FindsEveryKindOfBrokenRecord) {
  UseFlatMapWithPeak(63);
  const std::string host = BuildMapText(MapTextForm::Host);
  const std::string file = BuildMapText(MapTextForm::File);
  std::pair<std::string, const char*> cases[] = {
      {Replace(host, "Version 0.86", "Version 0.85"), "expected \"Version 0.86\" at byte 15"},
      {Replace(host, "goodies.qtp;4;", "goodies.qtp;5;"), "expected \"terrain\""},
      {Replace(host, "terrain1;", "terrain2;"), "is named terrain2"},
      {Replace(host, "4;5;1;33;32;0;", "4;5;1;1024;32;0;"), "not one of the object's 1024"},
      {Replace(host, ";       0.0000;", ";0.0000;"), "%13.4f"},
      {Replace(host, "       0.0000;", "      0.00000;"), "%13.4f"},
      {Replace(host, "-496;0;-496;", "-496;0-496;"), "expected \";\""},
      {Replace(file, ";terrain1;", ";\nterrain1;"), "(line 1033)"},
      {Replace(host, ";terrain1;", ";\nterrain1;"), "expected a line break"},
      {host.substr(0, host.size() - 2), "closing count"},
      {file.substr(0, file.size() - 2) + "3\n", "closing count is 3"},
      {file + "0\n", "continues after"},
  };
  for (const auto& [text, error] : cases)
    EXPECT_NE(Check(text).find(error), std::string::npos) << error << " / " << Check(text);
}

TEST(CallbackRecord, RefusesRecordsTheHostCannotTrust) {
  char text[] = "ab\0cd";
  std::pair<PluginCallbackData, const char*> cases[] = {
      {{1, text, 3}, ""},
      {{2, text, 3}, "kind is 2"},
      {{1, nullptr, 1}, "null"},
      {{1, text, 0}, "too small"},
      {{1, text, 2}, "not NUL"},
      {{1, text, 6}, "the text has 2 characters"},
  };
  for (const auto& [data, error] : cases) {
    const std::string problem = CheckCallbackRecord(data);
    EXPECT_TRUE(*error ? problem.find(error) != std::string::npos : problem.empty()) << problem;
  }
}

std::pair<int, std::string> RunHost(const std::string& arguments, const std::string& prefix = "") {
  FILE* pipe = popen((prefix + RELIEVO_HOST_PATH + " " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return {-1, ""};
  std::string out;
  char chunk[4096];
  while (std::size_t n = std::fread(chunk, 1, sizeof(chunk), pipe)) out.append(chunk, n);
  int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(QuarnHost, SummarisesAnExportedFileAndRefusesABrokenOne) {
  const std::string path = testing::TempDir() + "relievo-exported.qmf";
  UseFlatMapWithPeak(249);
  {
    ScopedFakePlatform platform;
    platform.fake.saveAnswers = {path};
    ASSERT_EQ(ExportToFile(), 1);
  }
  EXPECT_EQ(RunHost("--summarize " + path),
            std::make_pair(0, std::string("objects=64 vertices=65536 polygons=61504 "
                                          "x=-496..496 y=0..120 z=-496..496\n")));
  std::ofstream(path, std::ios::app) << "garbage";
  auto [status, out] = RunHost("--summarize " + path);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find(path + ": text continues after the closing count"), std::string::npos) << out;
  std::remove(path.c_str());
}

TEST(QuarnHost, LoadsTheModuleByItsEntryPointsAndNamesAMissingOne) {
  auto [status, out] = RunHost(std::string("--identify --module ") + RELIEVO_MODULE_PATH);
  EXPECT_EQ(status, 0) << out;
  for (const char* line : {"type: 1\n", "name: Advanced Relievo\n", "quarn version: 0.862\n",
                           "author: Ettar Quell \"Il Morvi\"\n"})
    EXPECT_NE(out.find(line), std::string::npos) << out;
  std::tie(status, out) = RunHost(std::string("--identify --module ") + INCOMPLETE_MODULE_PATH);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("PluginExecute"), std::string::npos) << out;
  EXPECT_EQ(out.find("PluginName"), std::string::npos) << out;
  EXPECT_EQ(RunHost("--bogus").first, 2);
  std::tie(status, out) = RunHost("--identify --module /nonexistent/AdvancedRelievo.so");
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("cannot load"), std::string::npos);
}

// Without a screen every run says why on standard error and returns; none
// may hang on what an earlier failed run left behind.
TEST(QuarnHost, RunsWithoutADisplaySayWhyAndReturn) {
  auto [status, out] = RunHost("--runs 3", "env -u DISPLAY timeout 60 ");
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("run 3: end"), std::string::npos) << out;
  std::size_t reasons = 0;
  for (std::size_t at = 0; (at = out.find("cannot open its windows", at)) != std::string::npos; ++at)
    ++reasons;
  EXPECT_EQ(reasons, 3u) << out;
}

}  // namespace
