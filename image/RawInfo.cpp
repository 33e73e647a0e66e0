#include "image/RawInfo.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <memory>
#include <string>

#include "image/CameraRaw.h"
#include "image/ImageInfo.h"
#include "platform/LocalTime.h"

namespace {

constexpr std::size_t kMaxTextLength = 1023;

// A LibRaw text, each byte one character; not set when empty.
void StoreText(const char* text, std::size_t capacity, OwnedText& field) {
  std::u16string wide;
  for (std::size_t i = 0; i < capacity && i < kMaxTextLength && text[i] != 0; ++i) {
    wide += static_cast<char16_t>(static_cast<unsigned char>(text[i]));
  }
  if (!wide.empty()) ReplaceOwnedString(field, wide.c_str());
}

// truncate(value x 10000 + 0.5) / 10000, clamped to the 32-bit numerator.
ExifRational TenThousandths(double value) {
  double scaled = std::trunc(value * 10000.0 + 0.5);
  if (std::isnan(scaled)) scaled = 0;
  scaled = std::clamp(scaled, double{std::numeric_limits<std::int32_t>::min()},
                      double{std::numeric_limits<std::int32_t>::max()});
  return {static_cast<std::uint32_t>(static_cast<std::int32_t>(scaled)), 10000};
}

SystemTime LocalDate(std::time_t timestamp) {
  std::tm local{};
  if (!ToLocalTime(timestamp, local)) return {};
  SystemTime t;
  t.year = static_cast<std::uint16_t>(local.tm_year + 1900);
  t.month = static_cast<std::uint16_t>(local.tm_mon + 1);
  t.day = static_cast<std::uint16_t>(local.tm_mday);
  t.hour = static_cast<std::uint16_t>(local.tm_hour);
  t.minute = static_cast<std::uint16_t>(local.tm_min);
  t.second = static_cast<std::uint16_t>(local.tm_sec);
  return t;
}

}  // namespace

int ReadRawInfo(const std::filesystem::path& path, ImageInfo& info) {
  try {
    if (!IsRawFileName(path)) return 0;
    // The object is large and its constructor may throw: it lives on the heap.
    auto raw = std::make_unique<LibRaw>(0);
    if (raw->open_file(path.c_str(), kRawBufferLimit) != LIBRAW_SUCCESS) return 0;
    const libraw_data_t& data = raw->imgdata;
    StoreText(data.idata.make, sizeof data.idata.make, info.make);
    StoreText(data.idata.model, sizeof data.idata.model, info.model);
    info.flash = data.color.flash_used != 0 ? 1 : 0;
    info.exposureBias = TenThousandths(data.color.canon_ev);
    const libraw_imgother_t& other = data.other;
    if (other.iso_speed > 0) info.isoSpeed = static_cast<std::uint16_t>(std::min(other.iso_speed, 65535.0f));
    if (other.shutter > 0) info.exposureTime = TenThousandths(other.shutter);
    if (other.aperture > 0) info.fNumber = TenThousandths(other.aperture);
    if (other.focal_len > 0) info.focalLength = TenThousandths(other.focal_len);
    if (data.sizes.width != 0) info.width = data.sizes.width;
    if (data.sizes.height != 0) info.height = data.sizes.height;
    if (other.gpsdata[1] != 0) {
      const auto* g = other.gpsdata;
      info.gpsLatitudeRef = static_cast<std::uint8_t>(g[29]);
      info.gpsLongitudeRef = static_cast<std::uint8_t>(g[30]);
      info.gpsAltitudeRef = static_cast<std::uint8_t>(g[31]);
      for (int i = 0; i < 3; ++i) {
        info.gpsLatitude[i] = {g[2 * i], g[2 * i + 1]};
        info.gpsLongitude[i] = {g[6 + 2 * i], g[7 + 2 * i]};
      }
      info.gpsAltitude = {g[18], g[19]};
    }
    // A file without a shooting time reports 0, which is no date.
    if (other.timestamp > 0) info.dateTimeOriginal = info.dateTimeDigitized = LocalDate(other.timestamp);
    raw->recycle();
    return 1;
  } catch (...) {
    return 0;
  }
}
