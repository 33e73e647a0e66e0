#include "editor/CommandRegistry.h"

#include <string>

#include "ui/NotBuilt.h"

void CCommandRegistry::Register(std::int32_t id, Handler handler) {
  if (handler) {
    m_handlers[id] = std::move(handler);
  } else {
    m_handlers.erase(id);
  }
}

bool CCommandRegistry::Has(std::int32_t id) const { return m_handlers.count(id) != 0; }

std::int32_t CCommandRegistry::Run(std::int32_t id, CSEditPage& page, const SpriteMessage& message) const {
  const auto it = m_handlers.find(id);
  if (it == m_handlers.end()) {
    WriteNotBuilt("Command " + std::to_string(id));
    return 0;
  }
  return it->second(page, message);
}

CCommandRegistry& EditCommands() {
  static CCommandRegistry registry;
  return registry;
}
