#pragma once
// The program's entry into the platform layer.
//
//   int main(int argc, char** argv) {
//     return RunPlatform([&] { return RunApplication(argc, argv); });
//   }
//
// The calling thread (the process's main thread) becomes the platform
// thread; uiMain runs on the new UI thread, which reads UiQueue() and may
// open the window through WindowHost()->CreateMainWindow. SDL is started only
// when a window is asked for, so a run that never opens one needs no display.
// When uiMain returns, the window closes, the UI queue shuts down (later
// posts are refused, pending messages freed) and its result is returned.
// Threads that uiMain started must have ended by then.

#include <functional>
#include <string_view>

[[nodiscard]] int RunPlatform(const std::function<int()>& uiMain);

// A system message box for the few messages shown before the interface
// exists; it waits until the user closes it. Without a display the text goes
// to standard error.
void ShowSystemMessageBox(std::u16string_view title, std::u16string_view text);
