#pragma once
// CPlaceholderTool: stands in for an editing tool that is not built yet. It
// has its button, icon and name on the tool page like any tool, answers its
// tool's kind, and refuses to become current: Activate writes "<part> not
// built" to the debug log and returns 0, so the page shows no tool.

#include <cstdint>
#include <string_view>

#include "editor/Tool.h"

class CPlaceholderTool final : public CTool {
public:
  // part: the tool's name in the log; toolKind: what GetKind answers.
  constexpr CPlaceholderTool(std::string_view part, std::int32_t toolKind) : m_part(part), m_kind(toolKind) {}

  std::int32_t GetKind() override { return m_kind; }
  [[nodiscard]] std::int32_t Activate() override;
  // The name it writes to the log.
  std::string_view Part() const { return m_part; }

private:
  std::string_view m_part;
  std::int32_t m_kind;
};
