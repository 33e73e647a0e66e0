#pragma once
// The numbers of the property items that the information record reads and
// writes: EXIF and TIFF tags as they are, GPS tags 0..31, the thumbnail's
// bytes as 0x501B, and the private tag that holds the photo's tag words.

#include <cstdint>

namespace ExifTag {
enum : std::uint32_t {
  kGpsLatitudeRef = 1,
  kGpsLatitude = 2,
  kGpsLongitudeRef = 3,
  kGpsLongitude = 4,
  kGpsAltitudeRef = 5,
  kGpsAltitude = 6,
  kImageDescription = 270,
  kMake = 271,
  kModel = 272,
  kOrientation = 274,
  kSoftware = 305,
  kDateTime = 306,
  kArtist = 315,
  kThumbnailOffset = 513,
  kThumbnailLength = 514,
  kThumbnailData = 0x501B,
  kCopyright = 33432,
  kExposureTime = 33434,
  kFNumber = 33437,
  kExposureProgram = 34850,
  kIsoSpeed = 34855,
  kDateTimeOriginal = 36867,
  kDateTimeDigitized = 36868,
  kShutterSpeedValue = 37377,
  kApertureValue = 37378,
  kExposureBias = 37380,
  kSubjectDistance = 37382,
  kMeteringMode = 37383,
  kLightSource = 37384,
  kFlash = 37385,
  kFocalLength = 37386,
  kMakerNote = 37500,
  kUserComment = 37510,
  kColorSpace = 40961,
  kFlashEnergy = 41483,
  kTags = 53089,
};
}  // namespace ExifTag
