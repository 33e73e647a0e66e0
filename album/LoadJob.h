#pragma once
// LoadJob: one thumbnail request of the album, copied into and out of a
// loader's queue. The pictures and information it points to belong to the
// item whose registry key it carries; they are touched only under the
// loader locks and only while that key is alive.

#include <cstdint>
#include <filesystem>

struct CBgraImage;
struct ImageInfo;

enum class LoadJobKind : std::uint8_t {
  First = 1,   // loader 1: the first picture, quick where the file has one
  Refine = 2,  // loader 2: the full decode that replaces a quick picture
};

struct LoadJob {
  std::int32_t key = 0;  // the item's registry key
  LoadJobKind kind = LoadJobKind::First;
  CBgraImage* target = nullptr;  // the item's picture
  std::int32_t notifyKey = 0;    // the list that gets 2369; 0 for none
  ImageInfo* info = nullptr;     // the item's information to fill, or null
  std::int32_t replyValue = 0;   // wparam of the reply
  std::filesystem::path path;    // whole, never cut
};
