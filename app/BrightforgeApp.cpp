#include "app/BrightforgeApp.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/AppData.h"
#include "app/ConfigFile.h"
#include "app/TempFiles.h"
#include "platform/SystemMessage.h"

bool CBrightforgeApp::IsUnattended() const {
  for (const std::u16string& argument : m_arguments) {
    if (argument == u"/u") return true;
  }
  return false;
}

bool CBrightforgeApp::InitInstance() {
  using namespace std::chrono_literals;
  m_exitStatus = 1;
  if (!InitAppData()) {
    ShowSystemMessage(u"Init application data failed");
    return false;
  }
  if (m_hooks.startServiceClient && !m_hooks.startServiceClient()) return false;
  // Gives the service client time to come up before anything asks it.
  std::this_thread::sleep_for(50ms);

  if (IsUnattended()) {
    std::this_thread::sleep_for(3000ms);
    m_exitStatus = 0;
    return false;
  }

  const bool engineStarted = !m_hooks.startAlgorithmEngine || m_hooks.startAlgorithmEngine();
  if (engineStarted) {
    if (m_hooks.runMainWindow) {
      m_hooks.runMainWindow();
    } else {
      std::puts("Tessera: the main window is not built yet; the program ends here.");
      std::fflush(stdout);
    }
    if (m_hooks.stopAlgorithmEngine) m_hooks.stopAlgorithmEngine();
  }

  // A failed save has told the user; the program ends all the same.
  static_cast<void>(SaveConfigFile());
  DeleteSessionTempFiles();
  m_exitStatus = engineStarted ? 0 : 1;
  return true;
}
