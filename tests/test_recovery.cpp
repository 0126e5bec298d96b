// The recovery copy: its format, when a run keeps it, and what a run does with a dead run's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/session_lock.h"
#include "plugin/recovery.h"
#include "tests/support/files.h"
#include "tests/support/heightmaps.h"
#include "tests/support/run_steps.h"

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::SizeIs;

namespace {

std::string Samples(const Heightmap& map) {
  return std::string(map.data(), map.data() + map.size());
}

TEST(RecoveryFormat, DamagedCopiesAreRefusedWithTheirReason) {
  struct Case {
    const char* damage;
    std::function<void(std::string&)> spoil;
    const char* why;
  };
  const std::vector<Case> cases = {
      {"empty file", [](std::string& s) { s.clear(); }, "empty"},
      {"last sample cut", [](std::string& s) { s.pop_back(); }, "cut short"},
      {"byte past the map", [](std::string& s) { s.push_back('x'); }, "past its map"},
      {"sample changed", [](std::string& s) { s[100] ^= 1; }, "checksum"},
      {"newer version", [](std::string& s) { s[8] = 2; }, "another version"},
      {"side 100", [](std::string& s) { s[12] = 100; }, "side of 100"},
      {"not a copy", [](std::string& s) { s[0] = 'X'; }, "not a recovery copy"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.damage);
    std::string bytes = EncodeRecoveryCopy(Varied(63), 1);
    c.spoil(bytes);
    RecoveryCopy copy;
    std::string why;
    EXPECT_FALSE(DecodeRecoveryCopy(bytes, &copy, &why));
    EXPECT_THAT(why, HasSubstr(c.why));
    EXPECT_TRUE(copy.map.is_empty()) << "a refused copy gives no map";
  }
}

// The map in this run's copy on disk, or why there is none.
std::string CopyOnDisk() {
  RecoveryCopy copy;
  std::string why;
  if (!DecodeRecoveryCopy(ReadAll(RecoveryCopyPath()), &copy, &why)) return "none: " + why;
  return Samples(copy.map);
}

std::string Folder() { return platform::StateFolder(); }

// A copy as a run that died leaves it: no process holds its lock.
std::string LeaveDeadRunsCopy(const std::string& bytes, const std::string& pid = "999999991") {
  const std::string path = Folder() + "/recovery-" + pid + ".map";
  std::ofstream(path, std::ios::binary) << bytes;
  std::ofstream(Folder() + "/recovery-" + pid + ".lock");
  return path;
}

class RecoveryRun : public RunTest {
 protected:
  void SetUp() override { SetRecoveryPeriod(0); }  // updates only when a test asks
};

TEST_F(RecoveryRun, CopyHoldsTheFinishedUnsavedWork) {
  InRun([] {
    Change(Varied(249));
    UpdateRecoveryCopy();
    StrokePass();
    heightmap(5, 5) = 99;
    UpdateRecoveryCopy();
    EXPECT_EQ(CopyOnDisk(), Samples(Varied(249))) << "written in the middle of a stroke";
    FinishStroke();
    UpdateRecoveryCopy();
    EXPECT_EQ(CopyOnDisk(), Samples(heightmap)) << "the finished stroke is not in it";
    MarkSaved();
    UpdateRecoveryCopy();
    EXPECT_FALSE(fs::exists(RecoveryCopyPath())) << "kept after the work was saved";
  });
}

// Offered or not, a normal end removes it.
TEST_F(RecoveryRun, AnsweringNoKeepsTheCopyUntilTheRunEndsNormally) {
  const std::string left = LeaveDeadRunsCopy(EncodeRecoveryCopy(Varied(125), 3));
  fake.yesNoAnswers = {false};
  InRun([&] {
    EXPECT_THAT(fake.questions, SizeIs(1));
    EXPECT_EQ(heightmap.width(), 249) << "restored though the answer was No";
    EXPECT_TRUE(fs::exists(left));
  });
  EXPECT_FALSE(fs::exists(left));
}

TEST_F(RecoveryRun, CopyOfARunThatIsStillAliveIsLeftAlone) {
  const std::string alive = LeaveDeadRunsCopy(EncodeRecoveryCopy(Varied(125), 3), "999999992");
  platform::SessionLock held;
  ASSERT_TRUE(held.Acquire(Folder() + "/recovery-999999992.lock"));
  RunWithSteps({EndRun});
  EXPECT_THAT(fake.questions, IsEmpty()) << "a live run's copy was offered";
  EXPECT_TRUE(fs::exists(alive));
}

// One Ctrl+Z takes back the restore alone: the run's start-up terrain comes back, not the map
// from before the run.
TEST_F(RecoveryRun, DeadRunsMapIsRestoredAsAStepOfItsOwn) {
  LeaveDeadRunsCopy(EncodeRecoveryCopy(Varied(125), 3));
  heightmap.assign(249, 249, 1, 1, 9);
  const Heightmap beforeRun = heightmap;
  InRun([&] {
    ASSERT_THAT(fake.questionDefaults, ElementsAre(platform::DefaultAnswer::Yes));
    EXPECT_EQ(Samples(heightmap), Samples(Varied(125))) << "not restored";
    Undo();
    EXPECT_NE(heightmap, beforeRun) << "Ctrl+Z went past the start-up terrain";
  });
}

}  // namespace
