#include "platform/MountTable.h"

#include <fstream>
#include <sstream>

namespace {

std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size()) {
      const auto octal = [](char c) { return c >= '0' && c <= '7'; };
      if (octal(text[i + 1]) && octal(text[i + 2]) && octal(text[i + 3])) {
        out +=
            static_cast<char>(((text[i + 1] - '0') << 6) | ((text[i + 2] - '0') << 3) | (text[i + 3] - '0'));
        i += 3;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start < line.size()) {
    const std::size_t end = line.find(' ', start);
    const std::size_t stop = end == std::string_view::npos ? line.size() : end;
    if (stop > start) fields.push_back(line.substr(start, stop - start));
    start = stop + 1;
  }
  return fields;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> entries;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    // id parent major:minor root mount-point options [optional...] - type source super-options
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() < 7) continue;
    std::size_t dash = 6;
    while (dash < fields.size() && fields[dash] != "-") ++dash;
    if (dash + 2 >= fields.size()) continue;
    entries.push_back({Unescape(fields[4]), std::string(fields[dash + 1]), Unescape(fields[dash + 2])});
  }
  return entries;
}

std::vector<MountEntry> ReadMountInfo(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return ParseMountInfo(text.str());
}
