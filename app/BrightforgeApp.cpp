#include "app/BrightforgeApp.h"

#include <chrono>
#include <thread>

#include "album/ConfigFile.h"
#include "app/AppData.h"
#include "app/BrightforgeDlg.h"
#include "app/ServiceClient.h"
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
  m_handedBack = false;
  if (!InitAppData()) {
    ShowSystemMessage(u"Init application data failed");
    return false;
  }
  // Fixed before the client thread runs: the main window changes the edition
  // flag while that thread may be starting.
  const bool serviceEnabled = ServiceClientEnabled(g_PublisherEdition.load());
  if (m_hooks.startServiceClient && !m_hooks.startServiceClient(serviceEnabled)) return false;
  // Gives the service client time to come up before anything asks it.
  std::this_thread::sleep_for(50ms);

  if (IsUnattended()) {
    std::this_thread::sleep_for(3000ms);
    m_exitStatus = 0;
    return false;
  }

  bool ran = true;
  if (m_hooks.runMainWindow) {
    m_hooks.runMainWindow();
  } else {
    ran = RunMainWindow();
  }
  if (m_hooks.stopAlgorithmEngine) m_hooks.stopAlgorithmEngine();

  // A failed save has told the user; the program ends all the same.
  if (!m_handedBack) static_cast<void>(SaveConfigFile());
  DeleteSessionTempFiles();
  m_exitStatus = ran ? 0 : 1;
  return true;
}

bool CBrightforgeApp::RunMainWindow() {
  CBrightforgeDlg window(m_windowHooks, m_arguments);
  const int result = window.RunModal();
  m_handedBack = result == CBrightforgeDlg::kHandedBack;
  // Without a display nothing else could have told the user.
  if (!window.IsCreated()) ShowSystemMessage(u"Can not open the program window (is there a display?)");
  return result != CBrightforgeDlg::kRefusedStart;
}
