// Drives a whole plug-in run in-process: each step is called from the toolkit
// loop after the previous one, so tests act on the live windows.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <vector>

#include "plugin/exports.h"
#include "plugin/plugin_state.h"

// Runs PluginExecute() and calls the steps in order, `interval` seconds apart; then asks the
// run to close unless closeAfterSteps is false (the steps must then end it). A run still going
// after `timeout` seconds has every window hidden, and the test fails.
inline void RunWithSteps(const std::vector<std::function<void()>>& steps, double interval = 0.05,
                         double timeout = 30.0, bool closeAfterSteps = true) {
  using Fn = std::function<void()>;
  const Fl_Timeout_Handler call = [](void* f) { (*static_cast<Fn*>(f))(); };
  std::size_t next = 0;
  bool timedOut = false;
  Fn step = [&] {
    if (next < steps.size()) {
      steps[next++]();
      Fl::repeat_timeout(interval, call, &step);
    } else if (closeAfterSteps) {
      closeRequest = 1;
    }
  };
  Fn stop = [&] {
    timedOut = true;
    closeRequest = 1;
    while (Fl_Window* w = Fl::first_window()) w->hide();
  };
  Fl::add_timeout(interval, call, &step);
  Fl::add_timeout(timeout, call, &stop);
  PluginExecute();
  Fl::remove_timeout(call, &step);
  Fl::remove_timeout(call, &stop);
  EXPECT_FALSE(timedOut) << "the run did not end in time";
  EXPECT_EQ(next, steps.size()) << "the run ended before every step ran";
}

// Processes events until pred() holds or `seconds` (on the clock: Fl::wait returns early on
// every event) have passed; returns pred(). Usable inside a step. Generous for slow machines.
inline bool WaitUntil(const std::function<bool()>& pred, double seconds = 10.0) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= end) return pred();
    Fl::wait(0.01);
  }
  return true;
}

// The screen has one pointer: tests that move it take turns with those that
// ctest runs beside them in other processes, for as long as this lives.
struct PointerTurn {
  int fd = open("/tmp/relievo-tests-pointer.lock", O_CREAT | O_RDWR, 0666);
  PointerTurn() { flock(fd, LOCK_EX); }
  ~PointerTurn() { close(fd); }
};
