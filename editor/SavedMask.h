#pragma once
// Saved masks seen by the editor: the 40-pixel preview the mask panel shows
// and the selection plane filled back from a mask.

#include <cstdint>

struct CBgraImage;
struct CPlane8;
struct MaskRecord;

inline constexpr std::uint32_t kMaskThumbnailSide = 40;

// The mask in the frame of a documentWidth x documentHeight document, white
// where selected, the longer side 40 pixels (the shorter at least 1); each
// pixel averages up to four samples of the plane, opaque black where none
// falls on it. False for a document without pixels or when memory is
// short (thumbnail untouched).
[[nodiscard]] bool BuildMaskThumbnail(const MaskRecord& mask, std::uint32_t documentWidth,
                                      std::uint32_t documentHeight, CBgraImage& thumbnail);

// Clears plane to 0 and copies the mask's plane in at its position, rows and
// columns outside the plane cut away.
void LoadSavedMask(CPlane8& plane, const CPlane8& maskPlane, std::int32_t x, std::int32_t y);
