#pragma once
// The information record of one image file: picture size, file time, size
// and name, the EXIF texts, dates and exposure values, the GPS position, the
// photo's tag words (private tag 53089), and a copy of the file's property
// items. The album fills one per photo, the EXIF view shows it, the save
// code carries its items into the files it writes.
//
// ReadFromFile reads the size from the file's header and the items with our
// own EXIF reader (image/ExifReader.h), never decoding pixels and never
// loading the whole file. Camera RAW files are read by ReadRawInfo
// (image/RawInfo.h) under RawDecodeLock. A record belongs to its owner and
// has no lock.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "image/ExifRational.h"
#include "image/ImagePropertyRecord.h"
#include "image/SystemTime.h"
#include "platform/OwnedText.h"

struct ImageInfo {
  // The colour space values.
  static constexpr std::uint16_t kColorSpaceNone = 0xFFFF;
  static constexpr std::uint16_t kColorSpaceUncalibrated = 0xFFFE;
  static constexpr std::uint16_t kColorSpaceSrgb = 1;
  static constexpr std::uint16_t kColorSpaceAdobeRgb = 2;
  static constexpr std::uint16_t kNoIso = 0xFFFF;

  // The size the platform's item header added to an item's value; an item
  // whose header and value reach kMaxItemBytes is not kept.
  static constexpr std::uint32_t kItemHeaderBytes = 24;
  static constexpr std::uint32_t kMaxItemBytes = 65536;

  ImageInfo() = default;
  ~ImageInfo() = default;
  ImageInfo(const ImageInfo&) = delete;
  ImageInfo& operator=(const ImageInfo&) = delete;

  // Sets the seven texts to not set.
  void FreeTexts();
  // Drops every property item. userComment must not be used afterwards.
  void ClearProperties();

  // 1 on success, 0 when the file cannot be opened (for a TGA file: when its
  // header is not a TGA header; for a RAW file: as ReadRawInfo decides). A
  // file of an unknown or damaged kind still gives 1, with what could be
  // read of it. Fields the file does not set keep their values: read into a
  // fresh record.
  [[nodiscard]] int ReadFromFile(const std::filesystem::path& path);

  // Sets the fields from the items of properties, in list order, and
  // recomputes metadataBytes.
  void ParseProperties();
  // The date of a text "YYYY:MM:DD HH:MM:SS"; no date (all zero) when a
  // field is out of range.
  static SystemTime ParseExifDate(std::string_view text);
  // Looks for the ISO speed in a camera maker note; sets only isoSpeed, and
  // only while it is kNoIso. Reads nothing outside the note.
  void ParseMakerNote(std::span<const std::uint8_t> note);
  // Replaces field with the record's value (terminated bytes) as a UTF-16
  // text: UTF-8 when the bytes are valid UTF-8, else one character per byte
  // (ISO 8859-1).
  static void ToWideText(const ImagePropertyRecord& record, OwnedText& field);

  std::uint16_t width = 0;  // cut to 16 bits
  std::uint16_t height = 0;
  std::uint32_t fileSize = 0;  // low 32 bits
  SystemTime fileTime;         // last write, UTC
  // Without folder; a name of more than 254 characters is cut to its first
  // 253 and "..".
  std::array<char16_t, 256> fileName{};
  SystemTime dateTime;    // tag 306
  OwnedText description;  // 270
  OwnedText make;         // 271
  OwnedText model;        // 272
  OwnedText software;     // 305
  OwnedText artist;       // 315
  OwnedText copyright;    // 33432
  OwnedText tagsText;     // 53089: tag words separated by blanks
  std::uint16_t colorSpace = kColorSpaceNone;
  // The UserComment item inside properties (borrowed).
  const ImagePropertyRecord* userComment = nullptr;
  SystemTime dateTimeOriginal;   // 36867
  SystemTime dateTimeDigitized;  // 36868
  ExifRational fNumber;          // 33437, or from ApertureValue
  ExifRational exposureTime;     // 33434, or from ShutterSpeedValue
  std::int16_t exposureProgram = -1;
  std::uint16_t isoSpeed = kNoIso;  // 34855, or from the maker note
  ExifRational exposureBias;        // signed numerator
  ExifRational subjectDistance;
  std::int16_t meteringMode = -1;
  std::int16_t lightSource = -1;
  std::int16_t flash = -1;
  ExifRational focalLength;
  ExifRational flashEnergy;
  std::uint8_t gpsLatitudeRef = 0;  // 'N' or 'S'
  std::array<ExifRational, 3> gpsLatitude{};
  std::uint8_t gpsLongitudeRef = 0;  // 'E' or 'W'
  std::array<ExifRational, 3> gpsLongitude{};
  std::uint8_t gpsAltitudeRef = 0;
  ExifRational gpsAltitude;
  std::vector<std::unique_ptr<ImagePropertyRecord>> properties;
  // The sum of length + 12 over the items ParseProperties reads.
  std::uint32_t metadataBytes = 0;
  std::uint16_t orientation = 0;  // 274
};

// The colour space an image file's information records, for the document
// opener (CBFDoc::SetColourSpaceReader): ImageInfo::colorSpace after
// ReadFromFile, kColorSpaceNone when the file cannot be read.
std::uint16_t ReadImageColourSpace(const std::filesystem::path& path);
