// A photo-info record from outside: the first byte picks the file name's
// extension, the rest is the file, made into a record (its information read
// through ImageInfo), stored in a cache, found again and its tags split into
// words. The same bytes, read as UTF-16, are split as a tags text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "album/PhotoInfoCache.h"
#include "album/PhotoScanThread.h"
#include "album/TagWords.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

void CheckWords(std::u16string_view text) {
  TagWordSlots slots;
  const int count = SplitTagWords(text, slots);
  FuzzCheck(count >= 0 && count <= static_cast<int>(kMaxTagWords), "at most 16 words");
  for (int i = 0; i < count; ++i) {
    const std::u16string_view word = TagWordText(slots[static_cast<std::size_t>(i)]);
    FuzzCheck(!word.empty() && word.size() <= kTagWordLength, "a word of 1 to 33 characters");
    FuzzCheck(word.find(u' ') == std::u16string_view::npos, "no blank in a word");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr std::array<std::string_view, 3> kNames = {"photo.jpg", "photo.png", "photo.tif"};
  static CPhotoScanThread scanner;
  FuzzBytes input(data, size);
  const std::filesystem::path path = FuzzScratchFile(kNames[input.U8() % kNames.size()]);
  WriteFuzzFile(path, input.Rest());

  PhotoInfoEntry record;
  if (scanner.BuildPhotoInfo(path, record)) {
    FuzzCheck(record.head.IsValid() && record.head.Length() == record.Length(),
              "the size word fits the record");
    FuzzCheck(record.tags.size() <= CPhotoScanThread::kMaxTagsLength, "tags are cut to 255 characters");
    FuzzCheck(record.head.width != 0 && record.head.height != 0, "a record has a size");
    PhotoInfoCache cache;
    FuzzCheck(cache.Append(record) && cache.Append(record), "the record is stored twice");
    const PhotoInfoRecord* found = cache.Find(record.path);
    FuzzCheck(found && found->Tags() == record.tags && cache.ValidCount() == 1, "the record is found once");
    FuzzCheck(cache.Compact() && cache.ValidCount() == 1, "compaction keeps the valid record");
    CheckWords(record.tags);
  }
  const std::span<const std::uint8_t> rest = input.Rest();
  std::u16string text(rest.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(rest[2 * i] | (rest[2 * i + 1] << 8));
  CheckWords(text);
  return 0;
}
