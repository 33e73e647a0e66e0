#pragma once
// CDialogTemplateSet: the dialog templates of the data folder's "dialogs"
// folder, read once at start-up. Every "*.dlg" file there is UTF-8 text of
// lines:
//
//   # a comment (also blank lines)
//   dialog <id>[/<group>] "<caption>" <width> <height>
//   control <class> <id> "<text>" <x> <y> <cx> <cy>
//
// A control line belongs to the dialog line above it; sizes and positions are
// dialog units. Two dialogs may share an id in different groups (1 to 255;
// no group is group 0): each is found by its key, DialogTemplateKey(id,
// group). A quoted text may hold \" and \\; any other backslash stays
// as it is (the text renderer reads "\n" as a line break). Ids are 0 to 65535,
// x and y -32768 to 32767, sizes 0 to 32767, texts at most 255 UTF-16 units,
// class names letters, digits and '_'. A file with any bad line adds nothing.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "ui/DialogTemplate.h"

// The key of a template: its id alone in group 0.
constexpr std::int32_t DialogTemplateKey(std::int32_t id, std::int32_t group) { return group * 65536 + id; }
// "id" or "id/group".
std::string DialogTemplateKeyText(std::int32_t key);

class CDialogTemplateSet {
public:
  static constexpr std::int32_t kMaxGroup = 255;
  static constexpr std::uint64_t kMaxFileBytes = 1 << 20;
  static constexpr std::size_t kMaxLineBytes = 4096;
  static constexpr std::size_t kMaxTextUnits = 255;
  static constexpr std::size_t kMaxClassName = 64;
  static constexpr std::size_t kMaxItems = 256;
  static constexpr std::size_t kMaxTemplates = 4096;
  static constexpr std::int32_t kMaxId = 65535;
  static constexpr std::int32_t kMaxUnits = 32767;

  // Adds the templates of one file's text; sourceName names it in errors.
  // False, nothing added and error set ("<source> line <n>: <why>") when a
  // line is bad or a template id is taken already.
  [[nodiscard]] bool Parse(std::string_view text, std::string_view sourceName, std::string& error);
  // Every "*.dlg" file of the folder, in name order. A missing folder adds
  // nothing and succeeds; an unreadable, oversized or bad file fails, and
  // the files before it stay.
  [[nodiscard]] bool LoadFolder(const std::filesystem::path& folder, std::string& error);

  // The template with that key (DialogTemplateKey), or null. The pointer stays valid until the
  // set changes.
  const DialogTemplate* Find(std::int32_t id) const;
  std::size_t Count() const { return m_templates.size(); }
  const std::map<std::int32_t, DialogTemplate>& All() const { return m_templates; }
  void Clear() { m_templates.clear(); }

private:
  std::map<std::int32_t, DialogTemplate> m_templates;
};
