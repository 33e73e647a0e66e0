#pragma once
// The mounted filesystems as /proc/self/mountinfo lists them.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

struct MountEntry {
  std::filesystem::path mountPoint;  // octal escapes (\040) decoded
  std::string fsType;
  std::string source;
};

// The entries of a mountinfo text in its order; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);
// Reads and parses a mountinfo file (empty when it cannot be read).
std::vector<MountEntry> ReadMountInfo(const std::filesystem::path& file);
