#pragma once
// The information record of a camera RAW file, through LibRaw: the caller
// holds RawDecodeLock (image/CameraRaw.h) around the call.

#include <filesystem>

struct ImageInfo;

// Opens the file with LibRaw (no unpacking) and fills the make, model,
// flash, exposure values, ISO speed, size, GPS and shooting date of info;
// each only when LibRaw has a value for it. 1 on success, 0 when the name is
// no RAW name or LibRaw cannot open the file.
[[nodiscard]] int ReadRawInfo(const std::filesystem::path& path, ImageInfo& info);
