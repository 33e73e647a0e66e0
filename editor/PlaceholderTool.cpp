#include "editor/PlaceholderTool.h"

#include "ui/NotBuilt.h"

std::int32_t CPlaceholderTool::Activate() {
  WriteNotBuilt(m_part);
  return 0;
}
