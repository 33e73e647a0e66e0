#pragma once
// SearchCriteria: a search as catalogs store it (4016 bytes in a file): 25
// condition slots, one per photo property (kSlot...), and the tag words with
// their match mode (0: any word, else all of them).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "album/SearchCondition.h"

class ByteWriter;
struct PhotoInfoRecord;

enum SearchSlot : std::size_t {
  kSlotTitle = 0,
  kSlotImageType = 1,
  kSlotWidth = 2,
  kSlotHeight = 3,
  kSlotLongerSide = 4,
  kSlotLandscape = 5,
  kSlotFileSize = 6,
  kSlotCameraData = 7,
  kSlotDate = 8,
  kSlotMaker = 9,
  kSlotModel = 10,
  kSlotColorSpace = 11,
  kSlotMetering = 12,
  kSlotFlash = 13,
  kSlotIso = 14,
  kSlotFNumber = 15,
  kSlotExposure = 16,
  kSlotUntested = 22,
  kSlotLatitude = 23,
  kSlotLongitude = 24,
  kSlotCount = 25,
};

struct SearchCriteria {
  static constexpr std::size_t kTagWordsLength = 256;
  static constexpr std::size_t kBytes = 4016;

  std::array<SearchCondition, kSlotCount> slots{};
  std::array<char16_t, kTagWordsLength> tagWords{};
  std::int32_t tagMatchMode = 0;

  std::u16string_view TagWords() const;
  void SetTagWords(std::u16string_view words);

  // Joins an ancestor's conditions: an empty slot takes the other's slot; two
  // word slots join their texts ("mine theirs") while the result keeps 62
  // characters or fewer. Tag words and mode stay.
  void Merge(const SearchCriteria& other);

  void Write(ByteWriter& out) const;
  // Reads the first bytes.size() bytes of the record (at most kBytes); the
  // fields beyond them are zero.
  void Read(std::span<const std::uint8_t> bytes);
};

static_assert(SearchCondition::kBytes == 12 + 2 * SearchCondition::kTextLength);
static_assert(SearchCriteria::kBytes ==
              kSlotCount * SearchCondition::kBytes + 2 * SearchCriteria::kTagWordsLength + 4);

// The file title the title slot tests: the path's last name without its
// extension, at most 255 characters.
std::u16string_view PhotoTitle(std::u16string_view path);

// Whether every slot (but the untested one) passes against the record.
bool MatchPhotoRecord(const PhotoInfoRecord& record, std::u16string_view title, std::int32_t imageType,
                      const SearchCriteria& criteria);
