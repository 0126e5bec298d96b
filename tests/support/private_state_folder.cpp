// Every test process keeps its recovery copies in a state folder of its own,
// so a test killed half-way leaves nothing that another test is offered.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct PrivateStateFolder {
  std::string path;
  PrivateStateFolder() {
    // A child process of a test shares its parent's folder.
    if (std::getenv("RELIEVO_SHARED_STATE_FOLDER")) return;
    char name[] = "/tmp/relievo-state-XXXXXX";
    if (!mkdtemp(name)) return;
    path = name;
    setenv("XDG_STATE_HOME", name, 1);
  }
  ~PrivateStateFolder() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
} privateStateFolder;

}  // namespace
