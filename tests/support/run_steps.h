// Whole runs in-process: PluginExecute() driven by steps on the toolkit's timer.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include "plugin/exports.h"
#include "plugin/plugin_state.h"
#include "plugin/terrain_history.h"
#include "tests/support/fake_platform.h"
#include "tests/support/screen_turn.h"

// Processes events until pred() holds or `seconds` have passed on the clock; returns pred().
inline bool WaitUntil(const std::function<bool()>& pred, double seconds = 10.0) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!pred() && std::chrono::steady_clock::now() < end) Fl::wait(0.01);
  return pred();
}

// A change of the terrain as a command makes it.
inline void Change(const Heightmap& to) {
  BeginChange();
  heightmap = to;
  EndChange();
}

// A last step that ends the run as the close button does.
inline void EndRun() { closeRequest = 1; }

// Runs PluginExecute() and calls the steps 0.05 s apart; the last one must end the run.
// After `timeout` seconds every window is hidden, and the test fails.
inline void RunWithSteps(const std::vector<std::function<void()>>& steps, double timeout = 30) {
  using Fn = std::function<void()>;
  const Fl_Timeout_Handler call = [](void* f) { (*static_cast<Fn*>(f))(); };
  std::size_t next = 0;
  bool timedOut = false;
  Fn step = [&] {
    if (next == steps.size()) return;
    steps[next++]();
    Fl::repeat_timeout(0.05, call, &step);
  };
  Fn stop = [&] {
    timedOut = true;
    closeRequest = 1;
    while (Fl::first_window()) Fl::first_window()->hide();
  };
  Fl::add_timeout(0.05, call, &step);
  Fl::add_timeout(timeout, call, &stop);
  PluginExecute();
  Fl::remove_timeout(call, &step);
  Fl::remove_timeout(call, &stop);
  EXPECT_FALSE(timedOut) << "the run did not end in time";
  EXPECT_EQ(next, steps.size()) << "the run ended before every step";
}

// Runs `scenario` as the one step of a run, which then ends.
inline void InRun(const std::function<void()>& scenario) { RunWithSteps({scenario, EndRun}); }

// A test that runs the plug-in: the screen to itself and a scripted platform.
class RunTest : public ::testing::Test {
 protected:
  ScreenTurn turn;
  ScopedFakePlatform platform;
  FakePlatform& fake = platform.fake;
};
