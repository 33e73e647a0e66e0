#include "editor/SEmptyPanel.h"

#include <string>

#include "ui/NotBuilt.h"

void CSEmptyPanel::Refresh() {
  if (m_logged) return;
  m_logged = true;
  WriteNotBuilt(std::string(m_logName) + " panel");
}
