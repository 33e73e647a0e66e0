#pragma once
// The sprite messages the album's worker threads send, and the UI-thread
// messages whose payloads carry their results (they deliver themselves).

#include <cstdint>

#include "album/SAlbumPageBase.h"
#include "platform/WindowMessages.h"

// A thumbnail was stored: wparam = the job's reply value (the item key),
// lparam = the loader's number (1 first pictures, 2 refinements).
inline constexpr std::int32_t kSpriteMsgThumbnailLoaded = 2369;
// The photo scan: wparam kPhotoScanStarted or kPhotoScanFinished.
inline constexpr std::int32_t kSpriteMsgPhotoScan = 10011;
inline constexpr std::uint64_t kPhotoScanStarted = 1;
inline constexpr std::uint64_t kPhotoScanFinished = 2;
// The watched folder changed: kSpriteMsgFolderChanged (album/SAlbumPageBase.h).

// Payload messages: a batch of scanned records for the photo-info cache, and
// the information a loader read for an item.
inline constexpr std::uint32_t kPhotoInfoBatchMessage = WM_USER + 260;
inline constexpr std::uint32_t kLoadedInfoMessage = WM_USER + 261;
