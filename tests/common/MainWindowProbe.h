#pragma once

#include <functional>

#include "app/MainWindowHooks.h"

// Runs Tessera's start-up as the program does, with the algorithm engine
// and the tools, but with a probe's own main window: run makes the window
// from the hooks, runs it and returns its end code. Opens the probe log
// first and writes "init N", "run N", "engine joined N" and "exit N" to
// it. The platform's exit code, 2 when the log cannot be written.
[[nodiscard]] int RunMainWindowProbe(const char* logPath, const std::function<int(MainWindowHooks)>& run);
