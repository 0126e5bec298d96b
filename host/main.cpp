// quarn-host: plays Quarn's side of the plug-in contract. Loads the module,
// asks who it is, installs the callback, runs it and receives the map text.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "host/map_text_reader.h"
#include "host/module_loader.h"
#include "plugin/host_contract.h"

namespace {

struct Options {
  std::string module;
  int runs = 1;
  bool setCallback = true;
  bool identifyOnly = false;
  bool closeQuestion = true;
  std::string saveTo;
  std::string summarize;
};

struct Exports {
  int(RELIEVO_CALL* type)() = nullptr;
  const char*(RELIEVO_CALL* name)() = nullptr;
  const char*(RELIEVO_CALL* description)() = nullptr;
  const char*(RELIEVO_CALL* quarnVersion)() = nullptr;
  const char*(RELIEVO_CALL* version)() = nullptr;
  const char*(RELIEVO_CALL* author)() = nullptr;
  const char*(RELIEVO_CALL* email)() = nullptr;
  void(RELIEVO_CALL* setCallback)(HostCallback) = nullptr;
  void(RELIEVO_CALL* execute)() = nullptr;
};

Options options;
int received = 0;
int badRecords = 0;

void Usage(FILE* out) {
  std::fprintf(
      out,
      "usage: quarn-host [options]\n"
      "  --module PATH     plug-in module to load (default: AdvancedRelievo.so/.dll beside\n"
      "                    this program)\n"
      "  --runs N          run the plug-in N times in the same load (default 1)\n"
      "  --identify        print the module's identity and exit without a run\n"
      "  --no-callback     do not install the host callback\n"
      "  --no-close-question\n"
      "                    close without asking about unsaved terrain (for scripts;\n"
      "                    sets RELIEVO_ASSUME_YES=1 for the module)\n"
      "  --save FILE       save the received map text to FILE\n"
      "  --summarize FILE  print the summary of a map text file and exit\n"
      "  --help            show this help\n");
}

void ReceiveLandscape(PluginCallbackData data) {
  ++received;
  std::string problem = CheckCallbackRecord(data);
  if (!problem.empty()) {
    ++badRecords;
    std::printf("received: bad record: %s\n", problem.c_str());
    std::fflush(stdout);
    return;
  }
  std::string text(data.text, data.size - 1);
  MapSummary summary;
  std::string error;
  if (ReadMapText(text, &summary, &error))
    std::printf("received: %d bytes, %s\n", data.size, FormatSummary(summary).c_str());
  else
    std::printf("received: %d bytes, not a map text: %s\n", data.size, error.c_str());
  if (!options.saveTo.empty()) {
    std::ofstream out(options.saveTo, std::ios::binary);
    out << text;
    if (!out) std::printf("received: could not save to %s\n", options.saveTo.c_str());
  }
  std::fflush(stdout);
}

template <typename F>
bool Resolve(const PluginModule& module, const char* name, int argumentBytes, F* fn) {
  std::string error;
  *fn = reinterpret_cast<F>(module.Find(name, argumentBytes, &error));
  if (!*fn) std::fprintf(stderr, "quarn-host: %s\n", error.c_str());
  return *fn != nullptr;
}

int Summarize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "quarn-host: cannot read %s\n", path.c_str());
    return 1;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  MapSummary summary;
  std::string error;
  if (!ReadMapText(text, &summary, &error)) {
    std::fprintf(stderr, "quarn-host: %s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  std::printf("%s\n", FormatSummary(summary).c_str());
  return 0;
}

bool ParseArgs(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      Usage(stdout);
      std::exit(0);
    } else if (a == "--module") {
      if (!value(&options.module)) return false;
    } else if (a == "--runs") {
      if (!value(&v)) return false;
      options.runs = std::atoi(v.c_str());
      if (options.runs < 1) return false;
    } else if (a == "--identify") {
      options.identifyOnly = true;
    } else if (a == "--no-callback") {
      options.setCallback = false;
    } else if (a == "--no-close-question") {
      options.closeQuestion = false;
    } else if (a == "--save") {
      if (!value(&options.saveTo)) return false;
    } else if (a == "--summarize") {
      if (!value(&options.summarize)) return false;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!ParseArgs(argc, argv)) {
    Usage(stderr);
    return 2;
  }
  if (!options.summarize.empty()) return Summarize(options.summarize);
  if (options.module.empty()) options.module = DefaultModulePath();
    // The module and the host share the process, and with it the environment:
    // the module's Linux platform layer answers its yes/no questions with Yes
    // when this is set. No export beyond the nine is needed.
#ifndef _WIN32
  if (!options.closeQuestion) setenv("RELIEVO_ASSUME_YES", "1", 1);
#endif

  PluginModule module;
  std::string error;
  if (!module.Open(options.module, &error)) {
    std::fprintf(stderr, "quarn-host: cannot load %s: %s\n", options.module.c_str(), error.c_str());
    return 1;
  }
  Exports e;
  bool ok = Resolve(module, "PluginType", 0, &e.type);
  ok = Resolve(module, "PluginName", 0, &e.name) && ok;
  ok = Resolve(module, "PluginDescription", 0, &e.description) && ok;
  ok = Resolve(module, "PluginQuarnVersion", 0, &e.quarnVersion) && ok;
  ok = Resolve(module, "PluginVersion", 0, &e.version) && ok;
  ok = Resolve(module, "PluginAuthor", 0, &e.author) && ok;
  ok = Resolve(module, "PluginEmail", 0, &e.email) && ok;
  ok = Resolve(module, "PluginSetCallback", 4, &e.setCallback) && ok;
  ok = Resolve(module, "PluginExecute", 0, &e.execute) && ok;
  if (!ok) return 1;

  std::printf(
      "type: %d\nname: %s\ndescription: %s\nquarn version: %s\nversion: %s\n"
      "author: %s\nemail: %s\n",
      e.type(), e.name(), e.description(), e.quarnVersion(), e.version(), e.author(), e.email());
  std::fflush(stdout);
  if (options.identifyOnly) return 0;
  if (options.setCallback) e.setCallback(ReceiveLandscape);
  for (int run = 1; run <= options.runs; ++run) {
    std::printf("run %d: start\n", run);
    std::fflush(stdout);
    e.execute();
    std::printf("run %d: end\n", run);
    std::fflush(stdout);
  }
  std::printf("landscapes received: %d\n", received);
  // Without this, a script asking for --save finds no file and no reason.
  if (!options.saveTo.empty() && received == 0)
    std::printf("the run ended without a hand-off: nothing was written to %s\n",
                options.saveTo.c_str());
  // The module stays loaded until exit, as in Quarn (FLTK keeps handlers registered).
  return badRecords == 0 ? 0 : 3;
}
