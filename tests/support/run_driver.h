// Drives a whole plug-in run in-process: each step is called from the toolkit
// loop after the previous one, so tests act on the live windows.
#pragma once

#include <functional>
#include <vector>

// Runs PluginExecute() and calls the steps in order, `interval` seconds apart.
// After the last step the run is asked to close, unless closeAfterSteps is
// false (the steps themselves must then end the run). If the run has not ended
// `timeout` seconds after it started, every window is hidden and the test fails.
void RunWithSteps(const std::vector<std::function<void()>>& steps, double interval = 0.05,
                  double timeout = 30.0, bool closeAfterSteps = true);

// Processes events until pred() holds or `seconds` have passed; returns pred().
// Usable inside a step: other windows, idle and timer work go on meanwhile.
// The limit is generous because shared test machines can be slow; a passing
// test returns as soon as pred() holds.
bool WaitUntil(const std::function<bool()>& pred, double seconds = 10.0);
