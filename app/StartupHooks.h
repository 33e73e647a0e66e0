#pragma once
// What other parts of the program plug into start-up and shutdown. An empty
// hook is skipped.

#include <functional>

struct StartupHooks {
  // Starts the companion-service client thread; enabled (whether it carries
  // out commands) is fixed here, before the thread runs. False ends the
  // start without a message.
  std::function<bool(bool enabled)> startServiceClient;

  // Stops the algorithm engine, which the main window's start-up stages
  // started, once the main window is gone.
  std::function<void()> stopAlgorithmEngine;

  // Replaces the main window's modal run (tests); returns when the window
  // has closed. Empty: the application runs CBrightforgeDlg.
  std::function<void()> runMainWindow;
};
