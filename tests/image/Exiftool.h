#pragma once
// Runs exiftool (Debian libimage-exiftool-perl) on files for tests that
// check what it reads; such tests skip where it is not installed.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

inline bool HasExiftool() { return std::system("command -v exiftool >/dev/null 2>&1") == 0; }

inline std::string ShellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// One exiftool run with the tag arguments (such as "-IFD0:Make") over the
// files, values unconverted (-n): one row per file in the order given, one
// field per tag, "-" where exiftool found no such tag.
inline std::vector<std::vector<std::string>> RunExiftool(const std::vector<std::string>& tags,
                                                         const std::vector<std::filesystem::path>& files) {
  std::string command = "exiftool -q -q -m -T -n";
  for (const auto& tag : tags) command += " " + tag;
  for (const auto& file : files) command += " " + ShellQuoted(file.string());
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  std::vector<std::vector<std::string>> rows;
  if (!pipe) return rows;
  std::string output;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) output.append(buffer, n);
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    fields.resize(tags.size(), "-");
    rows.push_back(std::move(fields));
  }
  return rows;
}
