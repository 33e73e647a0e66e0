#pragma once
// PhotoInfoRecord: the head of one record of the photo-info cache, the short
// facts about one photo that the search page's catalogs and the album's
// lists read: size, type, camera, shooting date and values, GPS position,
// tags and how often the photo was opened. In the cache the head is followed
// by the path and the tags text (UTF-16 without terminators); the record's
// length is in bits 0-14 of the size word, and bit 15 marks the one record
// of a path that counts.
//
// The cache lives in memory only; nothing here reaches a file. The units
// stored catalogs compare with are kept (ISO speed / 50, F-number x 10, the
// packed date, west longitudes positive), but those two values have 16 bits
// where the original byte fields wrapped (ISO 16000 read as 3200).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

struct PhotoInfoRecord {
  static constexpr std::uint32_t kMarker = 0xFFFFFFFF;
  static constexpr std::uint32_t kHeadBytes = 152;
  static constexpr std::uint16_t kValidBit = 0x8000;
  static constexpr std::uint16_t kLengthMask = 0x7FFF;
  // The longest record the size word holds.
  static constexpr std::uint32_t kMaxLength = kLengthMask;
  static constexpr std::uint8_t kNoImageType = 255;
  static constexpr std::uint32_t kCameraDataBit = 0x1;
  static constexpr std::uint32_t kMaxOpenCount = 0x7FFFFFFF;

  std::uint32_t marker = kMarker;
  std::uint16_t sizeWord = 0;  // bits 0-14 length in bytes, bit 15 valid
  std::uint16_t reserved6 = 0;
  std::uint32_t pathHash = 0;  // HashPhotoPath of the path
  std::uint8_t imageType = kNoImageType;
  std::uint8_t reserved13 = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint16_t reserved18 = 0;
  std::uint32_t fileSize = 0;  // bytes, at most 0xFFFFFFFF
  std::uint32_t reserved24 = 0;
  // Bit 0 camera data present; bits 1-4 month, 5-9 day, 10-23 year.
  std::uint32_t flagsAndDate = 0;
  std::array<char, 16> maker{};  // 7-bit characters, zero-terminated
  std::array<char, 32> model{};
  // Bits 0-1 colour space, 2-5 metering mode, 6-7 flash.
  std::uint8_t shootingBits = 0;
  std::uint8_t reserved81 = 0;
  std::uint16_t reserved82 = 0;
  // The exposure time in two 16-bit parts of the same value.
  std::uint16_t exposureNumerator = 0;
  std::uint16_t exposureDenominator = 0;
  std::uint16_t isoPer50 = 0;    // ISO speed / 50
  std::uint16_t fNumberX10 = 0;  // F-number x 10, truncated
  std::array<std::uint8_t, 30> reserved92{};
  std::uint16_t pathBytes = 0;
  std::uint16_t tagsBytes = 0;
  std::uint16_t reserved126 = 0;
  double latitude = 0;   // degrees, negative south
  double longitude = 0;  // degrees, negative east
  std::uint32_t openCount = 0;
  std::uint32_t reserved148 = 0;

  std::uint32_t Length() const { return sizeWord & kLengthMask; }
  bool IsValid() const { return (sizeWord & kValidBit) != 0; }
  bool HasCameraData() const { return (flagsAndDate & kCameraDataBit) != 0; }
  std::uint32_t Month() const { return (flagsAndDate >> 1) & 0xF; }
  std::uint32_t Day() const { return (flagsAndDate >> 5) & 0x1F; }
  std::uint32_t Year() const { return (flagsAndDate >> 10) & 0x3FFF; }
  std::uint32_t ColorSpace() const { return shootingBits & 0x3; }
  std::uint32_t MeteringMode() const { return (shootingBits >> 2) & 0xF; }
  std::uint32_t Flash() const { return (shootingBits >> 6) & 0x3; }
  std::string_view Maker() const { return {maker.data(), TextLength(maker)}; }
  std::string_view Model() const { return {model.data(), TextLength(model)}; }

  // The path and the tags text behind the head; only for a head that sits in
  // the cache's block (or another buffer that holds them).
  std::u16string_view Path() const {
    return {reinterpret_cast<const char16_t*>(reinterpret_cast<const std::uint8_t*>(this) + kHeadBytes),
            pathBytes / 2u};
  }
  std::u16string_view Tags() const {
    return {reinterpret_cast<const char16_t*>(reinterpret_cast<const std::uint8_t*>(this) + kHeadBytes +
                                              pathBytes),
            tagsBytes / 2u};
  }

  template <std::size_t N>
  static std::size_t TextLength(const std::array<char, N>& text) {
    std::size_t n = 0;
    while (n < N && text[n] != 0) ++n;
    return n;
  }
};

static_assert(sizeof(PhotoInfoRecord) == PhotoInfoRecord::kHeadBytes);
static_assert(offsetof(PhotoInfoRecord, pathHash) == 8);
static_assert(offsetof(PhotoInfoRecord, fileSize) == 20);
static_assert(offsetof(PhotoInfoRecord, flagsAndDate) == 28);
static_assert(offsetof(PhotoInfoRecord, maker) == 32);
static_assert(offsetof(PhotoInfoRecord, model) == 48);
static_assert(offsetof(PhotoInfoRecord, shootingBits) == 80);
static_assert(offsetof(PhotoInfoRecord, exposureNumerator) == 84);
static_assert(offsetof(PhotoInfoRecord, pathBytes) == 122);
static_assert(offsetof(PhotoInfoRecord, latitude) == 128);
static_assert(offsetof(PhotoInfoRecord, openCount) == 144);

// The hash the cache looks paths up by: over the first 1024 characters, as
// they are (on Linux two spellings name two files), sum of (c << 22) +
// (c x w << 8) and the XOR of the low bytes of c x w, with w the prime at
// position i mod 13 of 2, 3, 5, 7, 11, 13, 17, 23, 29, 31, 37, 41, 43. An
// empty path hashes to 0.
std::uint32_t HashPhotoPath(std::u16string_view path);
