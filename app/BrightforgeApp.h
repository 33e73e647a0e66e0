#pragma once
// The application object: the whole start-up and, through the modal main
// window, the whole run of the program, on the UI thread.

#include <string>
#include <vector>

#include "app/MainWindowHooks.h"
#include "app/StartupHooks.h"

class CBrightforgeApp {
public:
  CBrightforgeApp() = default;
  CBrightforgeApp(const CBrightforgeApp&) = delete;
  CBrightforgeApp& operator=(const CBrightforgeApp&) = delete;

  // The arguments after the program name.
  void SetCommandLine(std::vector<std::u16string> arguments) { m_arguments = std::move(arguments); }
  const std::vector<std::u16string>& CommandLine() const { return m_arguments; }

  void SetStartupHooks(StartupHooks hooks) { m_hooks = std::move(hooks); }
  // The parts the main window is given when the application runs it.
  void SetMainWindowHooks(MainWindowHooks hooks) { m_windowHooks = std::move(hooks); }

  // Application data, service client, then either the unattended stop ("/u":
  // wait 3 seconds, no window) or the main window's modal run followed by
  // writing config.dat (not after a hand-back to the host of external-editor
  // mode) and deleting this run's temporary files. True after a run, false
  // when the start was refused or ended unattended.
  [[nodiscard]] bool InitInstance();

  // The process exit status: 0 after a run or an unattended start, 1 when
  // the start was refused (also by the main window: no window, no space for
  // temporary files, a failed start-up stage).
  int ExitInstance() const { return m_exitStatus; }

private:
  // An argument that is exactly "/u". Paths hold "/u" all the time on Linux
  // (/usr, /home/user), so nothing else counts.
  bool IsUnattended() const;
  // False when the window refused to start.
  [[nodiscard]] bool RunMainWindow();

  std::vector<std::u16string> m_arguments;
  StartupHooks m_hooks;
  MainWindowHooks m_windowHooks;
  int m_exitStatus = 1;
  // The image went back to the host: the run ends without writing config.dat.
  bool m_handedBack = false;
};
