#pragma once
// Saving a picture that takes more than one writer (the pixels, then the
// photo's information) without ever leaving a half-made file at the target:
// every writer works on a temporary file beside the target that has the
// target's extension (the writers choose the format by it), and only a
// complete file is renamed over the target.

#include <filesystem>
#include <functional>

// Runs write on the temporary path and renames it over target when write
// succeeded; otherwise removes it, and target stays as it was. False when
// the temporary file cannot be made, write fails or the rename fails.
[[nodiscard]] bool WriteThroughTemporary(const std::filesystem::path& target,
                                         const std::function<bool(const std::filesystem::path&)>& write);
