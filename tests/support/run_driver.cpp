#include "tests/support/run_driver.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <chrono>

#include "plugin/exports.h"
#include "plugin/plugin_state.h"

namespace {

struct Script {
  const std::vector<std::function<void()>>* steps;
  std::size_t next = 0;
  double interval;
  bool closeAfterSteps;
  bool timedOut = false;
};

void StepCallback(void* data) {
  Script* s = static_cast<Script*>(data);
  if (s->next < s->steps->size()) {
    (*s->steps)[s->next++]();
    Fl::repeat_timeout(s->interval, StepCallback, data);
  } else if (s->closeAfterSteps) {
    closeRequest = 1;
  }
}

void TimeoutCallback(void* data) {
  static_cast<Script*>(data)->timedOut = true;
  closeRequest = 1;
  while (Fl_Window* w = Fl::first_window()) w->hide();
}

}  // namespace

void RunWithSteps(const std::vector<std::function<void()>>& steps, double interval,
                  double timeout, bool closeAfterSteps) {
  Script script{&steps, 0, interval, closeAfterSteps};
  Fl::add_timeout(interval, StepCallback, &script);
  Fl::add_timeout(timeout, TimeoutCallback, &script);
  PluginExecute();
  Fl::remove_timeout(StepCallback, &script);
  Fl::remove_timeout(TimeoutCallback, &script);
  EXPECT_FALSE(script.timedOut) << "the run did not end in time";
  EXPECT_EQ(script.next, steps.size()) << "the run ended before every step ran";
}

bool WaitUntil(const std::function<bool()>& pred, double seconds) {
  // Measured on the clock: Fl::wait returns early whenever an event arrives.
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= end) return pred();
    Fl::wait(0.01);
  }
  return true;
}
