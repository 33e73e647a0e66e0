#pragma once
// The picture of a folder item: the skin's folder picture with up to four
// small photos of the folder fanned over it, taken in name order.

#include <cstdint>
#include <filesystem>

#include "image/BgraImage.h"

inline constexpr std::int32_t kFolderPhotoSide = 64;
inline constexpr std::int32_t kFolderPhotoSlots = 4;
// A photo whose longer side is more than this many times its shorter one
// (a panorama) leaves its slot to the next photo.
inline constexpr std::int32_t kFolderPhotoMaxAspect = 3;

// Draws a small photo into slot (0 first) of the folder picture: a 64 x 64
// box at (130 - 24 slot, 57 + 16 slot), narrowed to the photo's width
// (centred) for an upright photo, else to its height; later slots cover
// earlier ones. True when the slot counts as used: also, without drawing,
// for a picture that is empty or 197 pixels or less on a side and for a
// slot above 4. False for a photo larger than 64 pixels or a panorama.
[[nodiscard]] bool ComposeFolderThumbnail(std::int32_t slot, const CBgraImage& photo, CBgraImage& picture);

// picture = folderPicture with the first photos of folder composed into it
// (sub-folders, unknown types and camera RAW files skipped, each at most
// 64 pixels, LoadThumbnail at normal speed). An empty folder or one that
// cannot be listed gives the plain folder picture. False only when
// folderPicture is empty or cannot be copied.
[[nodiscard]] bool BuildFolderThumbnail(const std::filesystem::path& folder, const CBgraImage& folderPicture,
                                        CBgraImage& picture);
