// The information record's fields from its property items: texts, dates,
// exposure values, GPS and the ISO speed hidden in maker notes.

#include "image/ImageInfo.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "image/ExifTags.h"
#include "platform/Utf16.h"

namespace {

using namespace ExifTag;

constexpr double kApexScale = 10000.0;
constexpr std::size_t kMaxDateToken = 50;

// The bytes of a value up to its first NUL.
std::string_view TerminatedText(std::span<const std::uint8_t> value) {
  const auto* text = reinterpret_cast<const char*>(value.data());
  return {text, static_cast<std::size_t>(std::find(value.begin(), value.end(), 0) - value.begin())};
}

// A value from a file made into a stored numerator: NaN and out-of-range
// values are clamped, never converted as they are.
std::uint32_t ClampedNumerator(double value) {
  if (!(value > 0)) return 0;
  if (value >= std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::uint32_t>(value);
}

// The leading number of a token as the C runtime's atoi reads it (blanks, a
// sign, digits), saturated rather than overflowing.
std::int64_t LeadingNumber(std::string_view token) {
  std::size_t i = 0;
  while (i < token.size() && (token[i] == ' ' || (token[i] >= '\t' && token[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
  std::int64_t value = 0;
  for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
    value = std::min<std::int64_t>(value * 10 + (token[i] - '0'), 1'000'000'000);
  }
  return negative ? -value : value;
}

bool IsDateSeparator(char c) { return c == ':' || c == ' '; }

bool HasPrefix(std::span<const std::uint8_t> note, std::string_view prefix) {
  return note.size() >= prefix.size() && std::memcmp(note.data(), prefix.data(), prefix.size()) == 0;
}

std::uint32_t LoadBE16(const std::uint8_t* p) { return (std::uint32_t{p[0]} << 8) | p[1]; }
std::uint32_t LoadBE32(const std::uint8_t* p) { return (LoadBE16(p) << 16) | LoadBE16(p + 2); }

}  // namespace

void ImageInfo::FreeTexts() {
  for (OwnedText* text : {&tagsText, &copyright, &artist, &software, &model, &make, &description}) {
    ReplaceOwnedString(*text, nullptr);
  }
}

void ImageInfo::ClearProperties() {
  properties.clear();
  userComment = nullptr;
}

void ImageInfo::ToWideText(const ImagePropertyRecord& record, OwnedText& field) {
  const std::string_view bytes = TerminatedText(record.Value());
  std::u16string text = FromUtf8(bytes);
  // Bytes that are no UTF-8 are taken as ISO 8859-1, one character each.
  if (ToUtf8(text) != bytes) {
    text.assign(bytes.size(), u'\0');
    std::transform(bytes.begin(), bytes.end(), text.begin(),
                   [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  }
  ReplaceOwnedString(field, text.c_str());
}

SystemTime ImageInfo::ParseExifDate(std::string_view text) {
  // year, month, day, hour, minute; the second is the rest of the text.
  std::int64_t fields[6] = {};
  std::size_t pos = 0;
  for (int field = 0; field < 6; ++field) {
    while (pos < text.size() && IsDateSeparator(text[pos])) ++pos;
    if (pos >= text.size()) break;
    std::size_t end = text.size();
    if (field < 5) {
      end = pos;
      while (end < text.size() && !IsDateSeparator(text[end])) ++end;
    }
    if (end - pos > kMaxDateToken) break;
    fields[field] = LeadingNumber(text.substr(pos, end - pos));
    pos = end;
  }
  const auto within = [](std::int64_t v, std::int64_t low, std::int64_t high) {
    return v >= low && v <= high;
  };
  if (!within(fields[0], 1980, 2100) || !within(fields[1], 1, 12) || !within(fields[2], 0, 31) ||
      !within(fields[3], 0, 24) || !within(fields[4], 0, 60) || !within(fields[5], 0, 60)) {
    return {};
  }
  SystemTime t;
  t.year = static_cast<std::uint16_t>(fields[0]);
  t.month = static_cast<std::uint16_t>(fields[1]);
  t.day = static_cast<std::uint16_t>(fields[2]);
  t.hour = static_cast<std::uint16_t>(fields[3]);
  t.minute = static_cast<std::uint16_t>(fields[4]);
  t.second = static_cast<std::uint16_t>(fields[5]);
  return t;
}

void ImageInfo::ParseMakerNote(std::span<const std::uint8_t> note) {
  if (isoSpeed != kNoIso || note.size() < 12) return;
  for (std::string_view ignored : {"KDK", "VER", "IIII", "MMMM", "KC", "MLY"}) {
    if (HasPrefix(note, ignored)) return;
  }
  using namespace std::string_view_literals;
  std::uint64_t start = 0;
  bool nikon = false;
  if (HasPrefix(note, "Nikon\0"sv)) {
    // A big-endian TIFF header at byte 10; the list's offset is relative to it.
    if (note.size() < 18 || LoadBE16(&note[12]) != 42) return;
    start = 10 + std::uint64_t{LoadBE32(&note[14])};
    nikon = true;
  } else if (HasPrefix(note, "OLYMPUS\0"sv) || HasPrefix(note, "FUJIFILM"sv) || HasPrefix(note, "SONY"sv) ||
             HasPrefix(note, "Panasonic\0"sv)) {
    start = 12;
  } else if (HasPrefix(note, "OLYMP\0"sv) || HasPrefix(note, "LEICA\0"sv) || HasPrefix(note, "Ricoh\0"sv) ||
             HasPrefix(note, "EPSON\0"sv)) {
    start = 8;
  } else if (HasPrefix(note, "AOC\0"sv) || HasPrefix(note, "QVC\0"sv)) {
    start = 6;
  }
  // Every read below stays inside the note: the start comes from the note.
  if (start > note.size() || note.size() - start < 2) return;
  const std::uint32_t count = LoadBE16(&note[start]);
  if (count < 1 || count > 100) return;
  // Entries are read big-endian whatever the note's byte order, and the next
  // one starts 8 + count bytes after this one.
  std::uint64_t pos = start + 2;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (pos > note.size() || note.size() - pos < 12) return;
    const std::uint8_t* entry = &note[pos];
    const std::uint32_t tag = LoadBE16(entry);
    const std::uint32_t entryCount = LoadBE32(entry + 4);
    const std::uint32_t value = LoadBE32(entry + 8);
    if (nikon && tag == 2) {
      isoSpeed = static_cast<std::uint16_t>(value & 0xFFFF);
      return;
    }
    if (tag == 4 && entryCount >= 27 && entryCount <= 34) {
      if (value != 0x7FFF) {
        // 2^(value / 32 - 4) overflows for large values: clamp to the field.
        const double iso = 50.0 * std::exp2(value / 32.0 - 4.0);
        isoSpeed = static_cast<std::uint16_t>(std::clamp(iso, 0.0, 65535.0));
      }
      return;
    }
    pos += 8 + std::uint64_t{entryCount};
  }
}

void ImageInfo::ParseProperties() {
  metadataBytes = 0;
  for (const auto& owned : properties) {
    const ImagePropertyRecord& item = *owned;
    const std::span<const std::uint8_t> value = item.Value();
    // Fixed-size reads only from a value that long.
    const auto rational = [&value](ExifRational& field) {
      if (value.size() >= 8) field = ExifRational::Load(value.data());
    };
    const auto word = [&value](auto& field) {
      if (value.size() >= 2)
        field = static_cast<std::remove_reference_t<decltype(field)>>(LoadLE16(value.data()));
    };
    const auto firstByte = [&value](std::uint8_t& field) {
      if (!value.empty()) field = value[0];
    };
    const auto triple = [&item, &value](std::array<ExifRational, 3>& field) {
      if (item.count != 3 || value.size() < 24) return;
      for (int i = 0; i < 3; ++i) field[i] = ExifRational::Load(&value[8 * i]);
    };
    bool counted = true;
    switch (item.id) {
      case kImageDescription:
        ToWideText(item, description);
        break;
      case kMake:
        ToWideText(item, make);
        break;
      case kModel:
        ToWideText(item, model);
        break;
      case kSoftware:
        ToWideText(item, software);
        break;
      case kArtist:
        ToWideText(item, artist);
        break;
      case kCopyright:
        ToWideText(item, copyright);
        break;
      case kTags:
        ToWideText(item, tagsText);
        break;
      case kGpsLatitudeRef:
        firstByte(gpsLatitudeRef);
        break;
      case kGpsLongitudeRef:
        firstByte(gpsLongitudeRef);
        break;
      case kGpsAltitudeRef:
        firstByte(gpsAltitudeRef);
        break;
      case kGpsLatitude:
        triple(gpsLatitude);
        counted = item.count == 3;
        break;
      case kGpsLongitude:
        triple(gpsLongitude);
        counted = item.count == 3;
        break;
      case kGpsAltitude:
        rational(gpsAltitude);
        break;
      case kExposureTime:
        rational(exposureTime);
        break;
      case kFNumber:
        rational(fNumber);
        break;
      case kExposureBias:
        rational(exposureBias);
        break;
      case kSubjectDistance:
        rational(subjectDistance);
        break;
      case kFocalLength:
        rational(focalLength);
        break;
      case kFlashEnergy:
        rational(flashEnergy);
        counted = false;
        break;
      case kOrientation:
        word(orientation);
        counted = false;
        break;
      case kExposureProgram:
        word(exposureProgram);
        break;
      case kIsoSpeed:
        word(isoSpeed);
        break;
      case kMeteringMode:
        word(meteringMode);
        break;
      case kLightSource:
        word(lightSource);
        break;
      case kFlash:
        word(flash);
        break;
      case kColorSpace:
        word(colorSpace);
        if (value.size() >= 2 && colorSpace == kColorSpaceNone) colorSpace = kColorSpaceUncalibrated;
        break;
      case kDateTime:
        dateTime = ParseExifDate(TerminatedText(value));
        counted = false;
        break;
      case kDateTimeOriginal:
        dateTimeOriginal = ParseExifDate(TerminatedText(value));
        break;
      case kDateTimeDigitized:
        dateTimeDigitized = ParseExifDate(TerminatedText(value));
        break;
      case kShutterSpeedValue:
        if (!exposureTime.IsSet() && value.size() >= 8) {
          const ExifRational tv = ExifRational::Load(value.data());
          exposureTime = {};
          if (tv.IsSet()) {
            const double apex = double(tv.SignedNumerator()) / tv.denominator;
            exposureTime = {ClampedNumerator(kApexScale / std::exp2(apex) + 0.5), 10000};
          }
        }
        break;
      case kApertureValue:
        if (!fNumber.IsSet() && value.size() >= 8) {
          const ExifRational av = ExifRational::Load(value.data());
          fNumber = {};
          if (av.IsSet()) {
            const double apex = double(av.numerator) / av.denominator;
            fNumber = {ClampedNumerator(std::exp2(apex / 2) * kApexScale + 0.5), 10000};
          }
        }
        break;
      case kMakerNote:
        ParseMakerNote(value);
        counted = false;
        break;
      case kUserComment:
        userComment = &item;
        break;
      default:
        counted = false;
        break;
    }
    if (counted) metadataBytes += item.length + 12;
  }
}

void CopyImageInfo(ImageInfo& target, const ImageInfo& source) {
  if (&target == &source) return;
  target.width = source.width;
  target.height = source.height;
  target.fileSize = source.fileSize;
  target.fileTime = source.fileTime;
  target.fileName = source.fileName;
  target.dateTime = source.dateTime;
  target.description = source.description;
  target.make = source.make;
  target.model = source.model;
  target.software = source.software;
  target.artist = source.artist;
  target.copyright = source.copyright;
  target.tagsText = source.tagsText;
  target.colorSpace = source.colorSpace;
  target.dateTimeOriginal = source.dateTimeOriginal;
  target.dateTimeDigitized = source.dateTimeDigitized;
  target.fNumber = source.fNumber;
  target.exposureTime = source.exposureTime;
  target.exposureProgram = source.exposureProgram;
  target.isoSpeed = source.isoSpeed;
  target.exposureBias = source.exposureBias;
  target.subjectDistance = source.subjectDistance;
  target.meteringMode = source.meteringMode;
  target.lightSource = source.lightSource;
  target.flash = source.flash;
  target.focalLength = source.focalLength;
  target.flashEnergy = source.flashEnergy;
  target.gpsLatitudeRef = source.gpsLatitudeRef;
  target.gpsLatitude = source.gpsLatitude;
  target.gpsLongitudeRef = source.gpsLongitudeRef;
  target.gpsLongitude = source.gpsLongitude;
  target.gpsAltitudeRef = source.gpsAltitudeRef;
  target.gpsAltitude = source.gpsAltitude;
  target.metadataBytes = source.metadataBytes;
  target.orientation = source.orientation;
}
