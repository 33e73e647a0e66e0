#include "platform/UriList.h"

#include <algorithm>

#include "platform/Utf16.h"

namespace {

std::string_view AsText(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The data without the NULs some programs end it with.
std::string_view WithoutTrailingNuls(std::span<const std::uint8_t> bytes) {
  std::string_view text = AsText(bytes);
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  return text;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsValidUtf8(std::string_view text) { return ToUtf8(FromUtf8(text)) == text; }

// Splits at LF, dropping one CR before each LF; calls take(line) for each
// line, the last one too when the text does not end in a line end.
template <typename Take>
[[nodiscard]] bool ForEachLine(std::string_view text, Take take) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!take(line)) return false;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return true;
}

// The URIs of a list (comments and empty lines skipped), each one parsed.
[[nodiscard]] int ParseUris(std::string_view text, std::vector<std::filesystem::path>& paths) {
  paths.clear();
  const bool ok = ForEachLine(text, [&](std::string_view line) {
    if (line.empty() || line.front() == '#') return true;
    std::filesystem::path path;
    if (paths.size() >= kMaxUriListFiles || !ParseFileUri(line, path)) return false;
    paths.push_back(std::move(path));
    return true;
  });
  if (!ok || paths.empty()) {
    paths.clear();
    return 0;
  }
  return 1;
}

}  // namespace

int ParseFileUri(std::string_view uri, std::filesystem::path& path) {
  constexpr std::string_view kScheme = "file://";
  if (!StartsWithNoCase(uri, kScheme)) return 0;
  uri.remove_prefix(kScheme.size());
  const std::size_t slash = uri.find('/');
  if (slash == std::string_view::npos) return 0;
  const std::string_view host = uri.substr(0, slash);
  if (!host.empty() && !(host.size() == 9 && StartsWithNoCase(host, "localhost"))) return 0;
  uri.remove_prefix(slash);

  std::string decoded;
  decoded.reserve(uri.size());
  for (std::size_t i = 0; i < uri.size(); ++i) {
    const char c = uri[i];
    if (IsControl(static_cast<unsigned char>(c)) || c == '?' || c == '#') return 0;
    if (c != '%') {
      decoded.push_back(c);
      continue;
    }
    if (i + 2 >= uri.size()) return 0;
    const int high = HexValue(uri[i + 1]);
    const int low = HexValue(uri[i + 2]);
    if (high < 0 || low < 0) return 0;
    const auto byte = static_cast<unsigned char>(high * 16 + low);
    if (IsControl(byte)) return 0;
    decoded.push_back(static_cast<char>(byte));
    i += 2;
  }
  if (decoded.size() > kMaxUriPathBytes || !IsValidUtf8(decoded)) return 0;

  // No "." or ".." components: a file name taken from the list must name the
  // file itself.
  std::string_view rest = decoded;
  while (!rest.empty()) {
    const std::size_t end = rest.find('/');
    const std::string_view part = rest.substr(0, end);
    if (part == "." || part == "..") return 0;
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  // A folder's trailing slash goes; the root stays "/".
  while (decoded.size() > 1 && decoded.back() == '/') decoded.pop_back();
  path = std::filesystem::path(std::move(decoded));
  return 1;
}

int ParseUriList(std::span<const std::uint8_t> bytes, std::vector<std::filesystem::path>& paths) {
  return ParseUris(WithoutTrailingNuls(bytes), paths);
}

int ParseGnomeCopiedFiles(std::span<const std::uint8_t> bytes, bool& cut,
                          std::vector<std::filesystem::path>& paths) {
  paths.clear();
  std::string_view text = WithoutTrailingNuls(bytes);
  const std::size_t end = text.find('\n');
  std::string_view action = text.substr(0, end);
  if (!action.empty() && action.back() == '\r') action.remove_suffix(1);
  if (action != "copy" && action != "cut") return 0;
  if (end == std::string_view::npos) return 0;
  text.remove_prefix(end + 1);
  if (!ParseUris(text, paths)) return 0;
  cut = action == "cut";
  return 1;
}

std::string MakeFileUri(const std::filesystem::path& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char c : path.native()) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                       byte == '~' || byte == '/';
    if (plain) {
      uri.push_back(c);
    } else {
      uri.push_back('%');
      uri.push_back(kHex[byte >> 4]);
      uri.push_back(kHex[byte & 15]);
    }
  }
  return uri;
}

std::string MakeUriList(std::span<const std::filesystem::path> paths) {
  std::string list;
  for (const std::filesystem::path& path : paths) list += MakeFileUri(path) + "\r\n";
  return list;
}

std::string MakeGnomeCopiedFiles(bool cut, std::span<const std::filesystem::path> paths) {
  std::string list = cut ? "cut" : "copy";
  for (const std::filesystem::path& path : paths) {
    list += '\n';
    list += MakeFileUri(path);
  }
  return list;
}
