#include "platform/SettingsStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/File.h"
#include "platform/UserFolders.h"
#include "platform/Utf16.h"

namespace {

// A settings file larger than this is not ours to parse (nor to overwrite).
constexpr std::int64_t kMaxFileBytes = 16 << 20;

struct StoredValue {
  bool isDword = false;
  std::uint32_t dword = 0;
  std::string text;  // UTF-8
};

struct NamedValue {
  std::string name;  // UTF-8
  StoredValue value;
};

struct Section {
  std::string name;
  std::vector<NamedValue> values;
};

using Document = std::vector<Section>;  // the root section is always first

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

void AppendHex(std::string& out, unsigned char c) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += "\\x";
  out += kDigits[c >> 4];
  out += kDigits[c & 15];
}

std::string Escape(std::string_view text, bool isName) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    bool escape = c < 0x20 || c == 0x7F || c == '\\';
    if (isName) {
      escape = escape || c == '=' || c == '[' || c == ']' || c == ';' || c == '#' ||
               (c == ' ' && (i == 0 || i + 1 == text.size()));
    }
    if (escape) {
      AppendHex(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

[[nodiscard]] int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = LowerAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A backslash not followed by xHH stays as it is: hand-written files may hold
// paths with backslashes.
std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      const int high = HexValue(text[i + 2]);
      const int low = HexValue(text[i + 3]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 3;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

std::optional<std::uint32_t> ParseHex32(std::string_view text) {
  text = Trim(text);
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    const int digit = HexValue(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

std::size_t FindOrAddSection(Document& document, std::string_view name) {
  for (std::size_t i = 0; i < document.size(); ++i) {
    if (EqualsNoCase(document[i].name, name)) return i;
  }
  document.push_back(Section{std::string(name), {}});
  return document.size() - 1;
}

Document Parse(std::string_view text) {
  Document document(1);
  std::size_t current = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') continue;
    if (trimmed.front() == '[') {
      if (trimmed.back() != ']') continue;
      const std::string name = Unescape(Trim(trimmed.substr(1, trimmed.size() - 2)));
      current = FindOrAddSection(document, name);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    NamedValue value;
    value.name = Unescape(Trim(line.substr(0, equals)));
    std::string_view rest = line.substr(equals + 1);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    if (rest.starts_with("dword:")) {
      const auto number = ParseHex32(rest.substr(6));
      if (!number) continue;
      value.value.isDword = true;
      value.value.dword = *number;
    } else if (rest.starts_with("sz:")) {
      value.value.text = Unescape(rest.substr(3));
    } else {
      continue;
    }
    std::vector<NamedValue>& values = document[current].values;
    bool known = false;
    for (const NamedValue& existing : values) known = known || EqualsNoCase(existing.name, value.name);
    // The first of two equal names wins, as it would when looked up.
    if (!known) values.push_back(std::move(value));
  }
  return document;
}

std::string Serialise(const Document& document) {
  std::string out;
  for (const Section& section : document) {
    if (section.values.empty()) continue;
    if (&section != &document.front()) {
      if (!out.empty()) out += '\n';
      out += '[' + Escape(section.name, true) + "]\n";
    }
    for (const NamedValue& value : section.values) {
      out += Escape(value.name, true);
      if (value.value.isDword) {
        static constexpr char kDigits[] = "0123456789abcdef";
        out += "=dword:";
        for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(value.value.dword >> shift) & 15];
      } else {
        out += "=sz:" + Escape(value.value.text, false);
      }
      out += '\n';
    }
  }
  return out;
}

// Reads a settings file. A missing file is an empty document; false only
// when a file is there but cannot be read whole.
bool Load(const std::filesystem::path& path, Document& document) {
  document = Document(1);
  if (path.empty()) return false;
  CFile file;
  errno = 0;
  if (!file.Open(path, CFile::OpenMode::Read)) return errno == ENOENT || errno == ENOTDIR;
  const std::int64_t length = file.GetLength();
  if (length < 0 || length > kMaxFileBytes) return false;
  std::string text(static_cast<std::size_t>(length), '\0');
  if (!file.ReadExact(text.data(), text.size())) return false;
  document = Parse(text);
  return true;
}

// Serialises read-modify-write cycles: threads of this process through the
// mutex, other processes through flock on the file's folder.
class CFolderLock {
public:
  explicit CFolderLock(const std::filesystem::path& folder) : m_guard(Mutex()) {
    m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) return;
    int result;
    do {
      result = ::flock(m_fd, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
      ::close(m_fd);
      m_fd = -1;
    }
  }
  ~CFolderLock() {
    if (m_fd >= 0) ::close(m_fd);
  }
  CFolderLock(const CFolderLock&) = delete;
  CFolderLock& operator=(const CFolderLock&) = delete;
  bool locked() const { return m_fd >= 0; }

private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  std::lock_guard<std::mutex> m_guard;
  int m_fd = -1;
};

bool FindValue(const std::filesystem::path& file, std::u16string_view section, std::u16string_view name,
               StoredValue& value) {
  Document document;
  if (!Load(file, document)) return false;
  const std::string sectionName = ToUtf8(section);
  const std::string valueName = ToUtf8(name);
  for (const Section& candidate : document) {
    if (!EqualsNoCase(candidate.name, sectionName)) continue;
    for (const NamedValue& stored : candidate.values) {
      if (!EqualsNoCase(stored.name, valueName)) continue;
      value = stored.value;
      return true;
    }
    return false;
  }
  return false;
}

bool SetValue(const std::filesystem::path& file, std::u16string_view section, std::u16string_view name,
              const StoredValue& value) {
  if (file.empty() || !CreateFolders(file.parent_path())) return false;
  CFolderLock lock(file.parent_path());
  if (!lock.locked()) return false;

  // Re-read under the lock: another copy of the program may have written.
  Document document;
  if (!Load(file, document)) return false;
  const std::string valueName = ToUtf8(name);
  Section& target = document[FindOrAddSection(document, ToUtf8(section))];
  NamedValue* slot = nullptr;
  for (NamedValue& existing : target.values) {
    if (EqualsNoCase(existing.name, valueName)) slot = &existing;
  }
  if (!slot) slot = &target.values.emplace_back(NamedValue{valueName, {}});
  slot->value = value;

  const std::string text = Serialise(document);
  CAtomicFile out;
  if (!out.Open(file)) return false;
  if (!out.Write(text.data(), text.size())) return false;
  return out.Commit();
}

const std::filesystem::path& FileOf(const CSettingsStore& store, CSettingsStore::Scope scope) {
  return scope == CSettingsStore::Scope::CurrentUser ? store.UserFile() : store.MachineFile();
}

}  // namespace

CSettingsStore::CSettingsStore() : CSettingsStore(DefaultUserFile(), DefaultMachineFile()) {}

CSettingsStore::CSettingsStore(std::filesystem::path userFile, std::filesystem::path machineFile)
    : m_userFile(std::move(userFile)), m_machineFile(std::move(machineFile)) {}

std::filesystem::path CSettingsStore::DefaultUserFile() {
  const std::filesystem::path config = GetConfigHome();
  return config.empty() ? config : config / "Tessera" / "settings.ini";
}

std::filesystem::path CSettingsStore::DefaultMachineFile() {
  const std::vector<std::filesystem::path> dirs = GetConfigDirs();
  for (const auto& dir : dirs) {
    std::error_code error;
    const std::filesystem::path file = dir / "Tessera" / "settings.ini";
    if (std::filesystem::is_regular_file(file, error)) return file;
  }
  return dirs.front() / "Tessera" / "settings.ini";
}

bool CSettingsStore::GetDword(Scope scope, std::u16string_view section, std::u16string_view name,
                              std::uint32_t& value) const {
  StoredValue stored;
  if (!FindValue(FileOf(*this, scope), section, name, stored) || !stored.isDword) return false;
  value = stored.dword;
  return true;
}

bool CSettingsStore::GetString(Scope scope, std::u16string_view section, std::u16string_view name,
                               std::u16string& text) const {
  StoredValue stored;
  if (!FindValue(FileOf(*this, scope), section, name, stored) || stored.isDword) return false;
  text = FromUtf8(stored.text);
  return true;
}

bool CSettingsStore::SetDword(std::u16string_view section, std::u16string_view name, std::uint32_t value) {
  StoredValue stored;
  stored.isDword = true;
  stored.dword = value;
  return SetValue(m_userFile, section, name, stored);
}

bool CSettingsStore::SetString(std::u16string_view section, std::u16string_view name,
                               std::u16string_view text) {
  StoredValue stored;
  stored.text = ToUtf8(text.substr(0, text.find(u'\0')));
  return SetValue(m_userFile, section, name, stored);
}
