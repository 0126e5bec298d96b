// Many runs in one load: each generates, paints, exports and closes. Memory
// must settle after the first runs (a leak of ours grows it every run); the
// sanitized build's LeakSanitizer checks the rest at exit.
#include <FL/Fl_Button.H>
#include <gtest/gtest.h>
#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "plugin/plugin_state.h"
#include "plugin/terrain_history.h"
#include "tests/support/fake_platform.h"
#include "tests/support/run_driver.h"
#include "ui/control_window.h"

namespace {

// Bytes the allocator has handed out and not taken back. Resident size is no
// measure here: the GL driver's mappings make it jump by some 26 MB between
// otherwise equal runs.
long HeapKiB() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

TEST(ManyRuns, TenFullRunsInOneLoadDoNotGrowMemory) {
  char dir[] = "/tmp/relievo-runsXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string exported = std::string(dir) + "/map.qmf";
  long afterRun3 = 0, historyAfterRun3 = 0;
  for (int run = 1; run <= 10; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    ScopedFakePlatform platform;
    platform.fake.saveAnswers.push_back(exported);
    RunWithSteps({[] { controlWindow->generateMapButton->do_callback(); },
                  [] {
                    currentTool = kCreateMountain;
                    editorDisplay->set_mouse(120, 120);
                    editorDisplay->set_button(1);
                  },
                  [&] {
                    Heightmap before = heightmap;
                    EXPECT_TRUE(WaitUntil([&] { return !(heightmap == before); }));
                    editorDisplay->set_button();
                    exportRequest = 1;
                    EXPECT_TRUE(WaitUntil([&] { return !platform.fake.messages.empty(); }));
                  }},
                 0.05, 60.0);
    ASSERT_EQ(platform.fake.messages.size(), 1u);
    EXPECT_EQ(platform.fake.messages[0].title, "QMF exporter");
    if (run == 3) {
      afterRun3 = HeapKiB();
      historyAfterRun3 = static_cast<long>(HistoryBytes() / 1024);
    }
    if (HasFailure()) return;  // one broken run says enough
  }
  long afterRun10 = HeapKiB();
  const long historyGrowth = static_cast<long>(HistoryBytes() / 1024) - historyAfterRun3;
  std::printf("heap in use after run 3: %ld KiB, after run 10: %ld KiB, history grew %ld KiB\n",
              afterRun3, afterRun10, historyGrowth);
#if !defined(__SANITIZE_ADDRESS__)
  // Seven more runs may settle caches a little, not keep a map or a window
  // each; the undo history, which keeps three maps a run by design, is
  // counted apart.
  // (AddressSanitizer keeps its own heap, so the allocator's figures say
  // nothing there; its leak checker judges those builds at exit instead.)
  EXPECT_LT(afterRun10 - afterRun3 - historyGrowth, 160);
#endif
  std::remove(exported.c_str());
  rmdir(dir);
}

}  // namespace
