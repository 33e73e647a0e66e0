#pragma once
// Free space on the file system that holds a path.

#include <cstdint>
#include <filesystem>

// The bytes an unprivileged user may still write there (statvfs f_bavail).
// False when the file system cannot be asked; freeBytes is then 0.
[[nodiscard]] bool GetFreeDiskSpace(const std::filesystem::path& path, std::uint64_t& freeBytes);
