#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/RenderWindow.h"

// The window of a probe program for the end-to-end tests: a render window
// of its own title and client size, not maximized, that logs its
// activations ("activate N") and ends with code 3 once the time limit set
// by RunProbeWindow has passed.
class CProbeWindow : public CRenderWindow {
public:
  static constexpr std::uint32_t kTimeLimitTimer = 1;

  CProbeWindow(std::u16string title, Size size);

  // Makes the window's sprites once it is created; false when a part could
  // not be made.
  [[nodiscard]] virtual bool Build() = 0;

  void OnUiMessage(UiMessage& message) override;
  void OnTimer(std::uint32_t id) override;
};

struct ProbeRunOptions {
  // Each log line begins with the clock's milliseconds.
  bool stamped = false;
  // "ready W H SCALE" with the client size in physical pixels, else "ready".
  bool readyWithSize = true;
  // The skin's pictures and texts are loaded first (dialogs need them).
  bool loadResources = false;
  std::uint32_t timeLimitMs = 90000;
};

// Runs a probe program's window (on the platform's thread): opens the log,
// makes the window, builds and shows it, writes the ready line and runs it
// until it ends; writes "no window" (or "no resources") when it could not
// be made, and "exit CODE" last. The window's end code, 2 when the log or
// the window could not be made.
[[nodiscard]] int RunProbeWindow(const char* logPath, const ProbeRunOptions& options,
                                 const std::function<std::unique_ptr<CProbeWindow>()>& make);
