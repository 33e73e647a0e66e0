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
#include <string>
#include <string_view>
#include <vector>

#include "image/ExifRational.h"
#include "image/ImagePropertyRecord.h"
#include "image/SystemTime.h"
#include "platform/OwnedText.h"

class CFile;
class CMetadataImage;

// What ImageInfo::GetMetadataSize counts.
enum class MetadataSizeMode : std::int32_t {
  Fixed = 0,   // the fixed allowance alone
  Parsed = 1,  // the allowance and metadataBytes
  Items = 2,   // the allowance and every item but the thumbnail's bytes
};

// The direction of ImageInfo::SerializeProperties.
enum class PropertyTransfer { Save, Load };

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
  // Drops every property item; userComment, which points into them, too.
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

  // ---- Write-back (ImageInfoWrite.cpp) ----
  // The size the optimiser allows for metadata besides the items.
  static constexpr std::uint32_t kMetadataAllowance = 256;
  // A text is written as at most this many UTF-8 bytes, cut at a character.
  static constexpr std::size_t kMaxTextBytes = 2047;
  // The longest item value SerializeProperties loads; a longer one ends
  // the list.
  static constexpr std::uint32_t kMaxSerializedValue = 256000;
  static constexpr std::size_t kMaxTagsText = 255;
  static constexpr std::size_t kMaxTagWord = 32;

  // Writes the record's fields into the image as property items: the
  // texts, exposure values, the tags text and the dates; a field that is
  // not set removes its item, and ApertureValue and ShutterSpeedValue are
  // always removed. ColorSpace, LightSource, FlashEnergy, GPS, Orientation
  // and UserComment are left alone. Always 1; an item the image refused
  // shows in its LastStatus.
  int ApplyToGdiImage(CMetadataImage& image) const;
  // Gives a file newly written from this record's photo (JPEG, PNG or TIFF)
  // the photo's property items without the embedded thumbnail, then the
  // record's fields, then ColorSpace sRGB. 1 when the file was rewritten
  // or its type is none of the three; 0 when it cannot be read or saved.
  [[nodiscard]] int CopyToFile(const std::filesystem::path& path) const;
  // Reads the file into this record and adds one word to its tags text,
  // after a blank, then rewrites the file. With a tags text already there,
  // a word of more than kMaxTagWord characters or with a blank is ignored
  // (1, nothing changed), and a text that would pass kMaxTagsText or that
  // holds the word already, in any case, gives 0. An empty word gives 0.
  [[nodiscard]] int AddTag(const std::filesystem::path& path, std::u16string_view word);
  // Save writes properties to the file at its position, item by item (u32
  // id, u32 kind, u16 type, u32 count, u32 length, then the value); 0 when
  // a write fails. Load replaces properties with the items from the file's
  // position to its end and runs ParseProperties: a zero-length value is a
  // whole item, and the list ends at the end of the data, at an item cut
  // short (which is dropped) or at a length above kMaxSerializedValue; 0
  // only when memory is exhausted.
  [[nodiscard]] int SerializeProperties(CFile& file, PropertyTransfer direction);
  // An estimate of the metadata bytes a saved JPEG carries.
  std::uint64_t GetMetadataSize(MetadataSizeMode mode) const;

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

// Copies every field and text of source into target, but neither the
// property items nor userComment, which points into them: target keeps its
// own.
void CopyImageInfo(ImageInfo& target, const ImageInfo& source);

// Saves a JPEG, PNG or TIFF file again with the record's fields applied
// (ImageInfo::ApplyToGdiImage), keeping every other item and the pixel data
// byte for byte. 1 when the file was saved; 0 for another type, a file that
// cannot be read or followed, or a failed save, which leaves the file as it
// was.
[[nodiscard]] int RewriteImageMetadata(const std::filesystem::path& path, const ImageInfo& record);

// The colour space an image file's information records, for the document
// opener (CBFDoc::SetColourSpaceReader): ImageInfo::colorSpace after
// ReadFromFile, kColorSpaceNone when the file cannot be read.
std::uint16_t ReadImageColourSpace(const std::filesystem::path& path);
