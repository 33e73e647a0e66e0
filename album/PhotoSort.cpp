#include "album/PhotoSort.h"

#include "album/PhotoItem.h"

namespace {

char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

std::int32_t CompareCaptions(const CPhotoItem& a, const CPhotoItem& b) {
  const std::size_t n = std::min(a.caption.size(), b.caption.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = Fold(a.caption[i]), y = Fold(b.caption[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.caption.size() == b.caption.size()) return 0;
  return a.caption.size() < b.caption.size() ? -1 : 1;
}

// Folders before files; two folders by caption. 2 when both are files.
std::int32_t CompareFolders(const CPhotoItem& a, const CPhotoItem& b) {
  if (a.IsFolder() && b.IsFolder()) return CompareCaptions(a, b);
  if (a.IsFolder()) return -1;
  if (b.IsFolder()) return 1;
  return 2;
}

std::uint32_t DatedKey(const SystemTime& time) { return time.year != 0 ? PhotoDateKey(time) : 0; }

// The EXIF digitizing date, else the capture date, else half the file
// time's key, so that undated photos sort before every dated one.
std::uint32_t SortDateKey(const CPhotoItem& item) {
  if (const std::uint32_t key = DatedKey(item.info.dateTimeDigitized); key != 0) return key;
  if (const std::uint32_t key = DatedKey(item.info.dateTimeOriginal); key != 0) return key;
  return DatedKey(item.info.fileTime) >> 1;
}

std::int32_t CompareKeys(std::uint32_t a, std::uint32_t b) { return a < b ? -1 : a > b ? 1 : 0; }

}  // namespace

std::uint32_t PhotoDateKey(const SystemTime& time) {
  const std::uint32_t days = std::uint32_t{time.year} * 365u + std::uint32_t{time.month} * 31u + time.day;
  return ((days * 24u) + time.hour) * 60u + time.minute;
}

std::int32_t ComparePhotosByName(const CPhotoItem& a, const CPhotoItem& b) {
  if (const std::int32_t folders = CompareFolders(a, b); folders != 2) return folders;
  return CompareCaptions(a, b);
}

std::int32_t ComparePhotosByDate(const CPhotoItem& a, const CPhotoItem& b) {
  if (const std::int32_t folders = CompareFolders(a, b); folders != 2) return folders;
  if (const std::int32_t order = CompareKeys(SortDateKey(a), SortDateKey(b)); order != 0) return order;
  return CompareCaptions(a, b);
}

std::int32_t ComparePhotosByModified(const CPhotoItem& a, const CPhotoItem& b) {
  if (const std::int32_t folders = CompareFolders(a, b); folders != 2) return folders;
  const std::int32_t order = CompareKeys(DatedKey(b.info.fileTime), DatedKey(a.info.fileTime));
  return order != 0 ? order : CompareCaptions(a, b);
}
