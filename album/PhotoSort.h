#pragma once
// The orders of a photo list: by name, by date (undated photos first, then
// the oldest), by modification (the newest first). Folders always come
// first, among themselves by caption with the ASCII letters folded; equal
// keys fall back to the caption.

#include <cstdint>

#include "image/SystemTime.h"

class CPhotoItem;

inline constexpr std::int32_t kSortByName = 0;
inline constexpr std::int32_t kSortByDate = 1;
inline constexpr std::int32_t kSortByModified = 2;

// Minutes: ((year x 365 + month x 31 + day) x 24 + hour) x 60 + minute, in
// unsigned 32-bit arithmetic.
std::uint32_t PhotoDateKey(const SystemTime& time);

// Negative, 0 or positive.
std::int32_t ComparePhotosByName(const CPhotoItem& a, const CPhotoItem& b);
std::int32_t ComparePhotosByDate(const CPhotoItem& a, const CPhotoItem& b);
std::int32_t ComparePhotosByModified(const CPhotoItem& a, const CPhotoItem& b);
