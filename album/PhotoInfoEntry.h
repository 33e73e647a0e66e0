#pragma once
// PhotoInfoEntry: one photo-info record while it is made, before the cache
// copies it into its block: the head and, apart from it, the path and the
// tags text. The head's path and tags lengths and its size word describe
// exactly these two texts.

#include <string>

#include "album/PhotoInfoRecord.h"

struct PhotoInfoEntry {
  PhotoInfoRecord head;
  std::u16string path;
  std::u16string tags;

  std::uint32_t Length() const {
    return PhotoInfoRecord::kHeadBytes + static_cast<std::uint32_t>((path.size() + tags.size()) * 2);
  }
};
