#pragma once
// What other parts of the program plug into start-up and shutdown. An empty
// hook is skipped.

#include <functional>

struct StartupHooks {
  // Starts the companion-service client thread. False ends the start without
  // a message.
  std::function<bool()> startServiceClient;

  // Starts the global algorithm thread with its helper threads. It runs just
  // before the main window is constructed. False ends the start.
  std::function<bool()> startAlgorithmEngine;
  // Stops the algorithm engine once the main window is gone.
  std::function<void()> stopAlgorithmEngine;

  // Constructs the main window, makes it the application's main window and
  // runs it modally; returns when the window has closed.
  std::function<void()> runMainWindow;
};
