#include "ui/DialogTemplateSet.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/File.h"
#include "platform/Utf16.h"

namespace {

// One line cut into words and quoted texts.
class CLineReader {
public:
  explicit CLineReader(std::string_view line) : m_line(line) {}

  bool AtEnd() {
    SkipBlanks();
    return m_pos >= m_line.size();
  }

  std::optional<std::string_view> Word() {
    SkipBlanks();
    const std::size_t start = m_pos;
    while (m_pos < m_line.size() && !IsBlank(m_line[m_pos]) && m_line[m_pos] != '"') ++m_pos;
    if (m_pos == start) return std::nullopt;
    return m_line.substr(start, m_pos - start);
  }

  std::optional<std::int32_t> Number(std::int32_t minimum, std::int32_t maximum) {
    const std::optional<std::string_view> word = Word();
    if (!word) return std::nullopt;
    return NumberOf(*word, minimum, maximum);
  }

  static std::optional<std::int32_t> NumberOf(std::string_view word, std::int32_t minimum,
                                              std::int32_t maximum) {
    if (word.empty()) return std::nullopt;
    std::int64_t value = 0;
    const char* end = word.data() + word.size();
    const auto [last, error] = std::from_chars(word.data(), end, value);
    if (error != std::errc() || last != end || value < minimum || value > maximum) return std::nullopt;
    return static_cast<std::int32_t>(value);
  }

  // A template key: an id from 0 to 65535, optionally followed by "/" and a
  // group from 1 to 255 (DialogTemplateKey).
  std::optional<std::int32_t> TemplateKey() {
    const std::optional<std::string_view> word = Word();
    if (!word) return std::nullopt;
    const std::size_t slash = word->find('/');
    const std::optional<std::int32_t> id = NumberOf(word->substr(0, slash), 0, CDialogTemplateSet::kMaxId);
    if (!id || slash == std::string_view::npos) return id;
    const std::optional<std::int32_t> group =
        NumberOf(word->substr(slash + 1), 1, CDialogTemplateSet::kMaxGroup);
    if (!group) return std::nullopt;
    return DialogTemplateKey(*id, *group);
  }

  // A quoted text; \" and \\ stand for one character, other backslashes stay.
  std::optional<std::string> Quoted() {
    SkipBlanks();
    if (m_pos >= m_line.size() || m_line[m_pos] != '"') return std::nullopt;
    ++m_pos;
    std::string text;
    while (m_pos < m_line.size()) {
      const char c = m_line[m_pos++];
      if (c == '"') return text;
      if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
      if (c == '\\' && m_pos < m_line.size() && (m_line[m_pos] == '"' || m_line[m_pos] == '\\')) {
        text.push_back(m_line[m_pos++]);
        continue;
      }
      text.push_back(c);
    }
    return std::nullopt;  // no closing quote
  }

private:
  static bool IsBlank(char c) { return c == ' ' || c == '\t'; }
  void SkipBlanks() {
    while (m_pos < m_line.size() && IsBlank(m_line[m_pos])) ++m_pos;
  }

  std::string_view m_line;
  std::size_t m_pos = 0;
};

bool IsClassName(std::string_view name) {
  return !name.empty() && name.size() <= CDialogTemplateSet::kMaxClassName &&
         std::all_of(name.begin(), name.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
         });
}

}  // namespace

std::string DialogTemplateKeyText(std::int32_t key) {
  const std::int32_t group = key / (CDialogTemplateSet::kMaxId + 1);
  const std::int32_t id = key % (CDialogTemplateSet::kMaxId + 1);
  return group == 0 ? std::to_string(id) : std::to_string(id) + "/" + std::to_string(group);
}

bool CDialogTemplateSet::Parse(std::string_view text, std::string_view sourceName, std::string& error) {
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<DialogTemplate> parsed;
  std::size_t lineNumber = 0;
  auto fail = [&](std::string_view why) {
    error = std::string(sourceName) + " line " + std::to_string(lineNumber) + ": " + std::string(why);
    return false;
  };
  auto taken = [&](std::int32_t id) {
    return m_templates.count(id) > 0 ||
           std::any_of(parsed.begin(), parsed.end(), [id](const DialogTemplate& t) { return t.id == id; });
  };

  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kMaxLineBytes) return fail("the line is too long");

    CLineReader reader(line);
    if (reader.AtEnd()) continue;
    const std::optional<std::string_view> keyword = reader.Word();
    if (!keyword) return fail("a line starts with a text");
    if (keyword->front() == '#') continue;

    if (*keyword == "dialog") {
      DialogTemplate dialog;
      const std::optional<std::int32_t> id = reader.TemplateKey();
      if (!id) return fail("the dialog id is not a number from 0 to 65535");
      const std::optional<std::string> caption = reader.Quoted();
      if (!caption) return fail("the caption is not a quoted text");
      const std::optional<std::int32_t> width = reader.Number(0, kMaxUnits);
      const std::optional<std::int32_t> height = reader.Number(0, kMaxUnits);
      if (!width || !height) return fail("the dialog size is not two numbers from 0 to 32767");
      if (!reader.AtEnd()) return fail("more than a dialog line holds");
      if (taken(*id)) return fail("the dialog id " + DialogTemplateKeyText(*id) + " is taken");
      if (m_templates.size() + parsed.size() >= kMaxTemplates) return fail("too many dialogs");
      dialog.id = *id;
      dialog.caption = FromUtf8(*caption);
      if (dialog.caption.size() > kMaxTextUnits) return fail("the caption is longer than 255 characters");
      dialog.width = *width;
      dialog.height = *height;
      parsed.push_back(std::move(dialog));
      continue;
    }

    if (*keyword == "control") {
      if (parsed.empty()) return fail("a control before any dialog");
      DialogTemplate& dialog = parsed.back();
      if (dialog.items.size() >= kMaxItems) return fail("too many controls in one dialog");
      DialogTemplateItem item;
      const std::optional<std::string_view> className = reader.Word();
      if (!className || !IsClassName(*className)) return fail("the control class is not a name");
      const std::optional<std::int32_t> id = reader.Number(0, kMaxId);
      if (!id) return fail("the control id is not a number from 0 to 65535");
      const std::optional<std::string> itemText = reader.Quoted();
      if (!itemText) return fail("the control text is not a quoted text");
      const std::optional<std::int32_t> x = reader.Number(-kMaxUnits - 1, kMaxUnits);
      const std::optional<std::int32_t> y = reader.Number(-kMaxUnits - 1, kMaxUnits);
      const std::optional<std::int32_t> cx = reader.Number(0, kMaxUnits);
      const std::optional<std::int32_t> cy = reader.Number(0, kMaxUnits);
      if (!x || !y || !cx || !cy) return fail("the control's place is not x, y, cx and cy in range");
      if (!reader.AtEnd()) return fail("more than a control line holds");
      item.className = std::string(*className);
      item.id = *id;
      item.text = FromUtf8(*itemText);
      if (item.text.size() > kMaxTextUnits) return fail("the control text is longer than 255 characters");
      item.x = *x;
      item.y = *y;
      item.cx = *cx;
      item.cy = *cy;
      dialog.items.push_back(std::move(item));
      continue;
    }
    return fail("a line is neither a dialog nor a control");
  }

  for (DialogTemplate& dialog : parsed) {
    const std::int32_t id = dialog.id;
    m_templates.emplace(id, std::move(dialog));
  }
  return true;
}

bool CDialogTemplateSet::LoadFolder(const std::filesystem::path& folder, std::string& error) {
  std::error_code code;
  if (!std::filesystem::is_directory(folder, code)) return true;
  std::vector<std::filesystem::path> files;
  for (std::filesystem::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
    if (it->path().extension() == ".dlg" && it->is_regular_file(code)) files.push_back(it->path());
  }
  if (code) {
    error = folder.string() + ": the folder cannot be read";
    return false;
  }
  std::sort(files.begin(), files.end());
  for (const std::filesystem::path& file : files) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(file, bytes, kMaxFileBytes)) {
      error = file.string() + ": the file cannot be read, is empty or is larger than 1 MiB";
      return false;
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!Parse(text, file.filename().string(), error)) return false;
  }
  return true;
}

const DialogTemplate* CDialogTemplateSet::Find(std::int32_t id) const {
  const auto it = m_templates.find(id);
  return it == m_templates.end() ? nullptr : &it->second;
}
