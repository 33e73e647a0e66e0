#include "album/SearchCriteria.h"

#include <algorithm>

#include "album/PhotoInfoRecord.h"
#include "platform/LittleEndian.h"
#include "platform/Utf16.h"

namespace {

// The longest joined text of two merged word slots.
constexpr std::size_t kMergedWordsLength = 62;
// Values of the camera slots of a photo without camera data.
constexpr std::int64_t kNoCameraValue = 65535;
constexpr std::size_t kTitleLength = 255;

// Degrees x 10000 truncated toward zero; a value no photo can have (not
// finite, or far outside +-180) gives 0 rather than an undefined conversion.
std::int64_t ScaledDegrees(double degrees) {
  if (!(degrees > -1e6 && degrees < 1e6)) return 0;
  return static_cast<std::int64_t>(degrees * 10000);
}

}  // namespace

std::u16string_view SearchCriteria::TagWords() const { return {tagWords.data(), BoundedLength(tagWords)}; }

void SearchCriteria::SetTagWords(std::u16string_view words) { CopyTextTruncated(tagWords, words); }

void SearchCriteria::Merge(const SearchCriteria& other) {
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    SearchCondition& mine = slots[i];
    const SearchCondition& theirs = other.slots[i];
    if (mine.kind == 0) {
      mine = theirs;
    } else if (mine.kind == theirs.kind && mine.kind == static_cast<std::uint32_t>(ConditionKind::Words)) {
      const std::u16string_view a = mine.Text();
      const std::u16string_view b = theirs.Text();
      if (a.size() + 1 + b.size() <= kMergedWordsLength) {
        std::u16string joined(a);
        joined += u' ';
        joined += b;
        mine.SetText(joined);
      }
    }
  }
}

void SearchCriteria::Write(ByteWriter& out) const {
  for (const SearchCondition& slot : slots) slot.Write(out);
  for (char16_t c : tagWords) out.U16(c);
  out.I32(tagMatchMode);
}

void SearchCriteria::Read(std::span<const std::uint8_t> bytes) {
  // A shorter record leaves the rest zero: read from a zero-filled copy.
  std::array<std::uint8_t, kBytes> record{};
  std::copy_n(bytes.begin(), std::min(bytes.size(), kBytes), record.begin());
  const std::uint8_t* p = record.data();
  for (SearchCondition& slot : slots) {
    slot.Read({p, SearchCondition::kBytes});
    p += SearchCondition::kBytes;
  }
  for (char16_t& c : tagWords) {
    c = LoadLE16(p);
    p += 2;
  }
  tagMatchMode = static_cast<std::int32_t>(LoadLE32(p));
}

std::u16string_view PhotoTitle(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u'/');
  std::u16string_view name = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of(u'.');
  if (dot != std::u16string_view::npos) name = name.substr(0, dot);
  return name.substr(0, kTitleLength);
}

bool MatchPhotoRecord(const PhotoInfoRecord& record, std::u16string_view title, std::int32_t imageType,
                      const SearchCriteria& criteria) {
  const bool camera = record.HasCameraData();
  const std::u16string maker = FromUtf8(record.Maker());
  const std::u16string model = FromUtf8(record.Model());
  const std::u16string_view makerText = maker;
  const std::u16string_view modelText = model;
  const std::int64_t date =
      camera ? (std::int64_t{record.Year()} * 100 + record.Month()) * 100 + record.Day() : 0;
  const std::int64_t exposure = record.exposureDenominator == 0 ? 0
                                                                : std::int64_t{record.exposureNumerator} *
                                                                      10000 / record.exposureDenominator;
  struct Value {
    std::int64_t value;
    const std::u16string_view* text;
  };
  // Slots 17 to 21 test bit fields of a byte the cache keeps zero.
  const std::array<Value, kSlotCount> values{{
      {0, &title},
      {imageType, nullptr},
      {record.width, nullptr},
      {record.height, nullptr},
      {std::max(record.width, record.height), nullptr},
      {record.width > record.height ? 1 : 0, nullptr},
      {record.fileSize, nullptr},
      {camera ? 1 : 0, nullptr},
      {date, nullptr},
      {0, &makerText},
      {0, &modelText},
      {camera ? std::int64_t{record.ColorSpace()} : kNoCameraValue, nullptr},
      {camera ? std::int64_t{record.MeteringMode()} : kNoCameraValue, nullptr},
      {camera ? std::int64_t{record.Flash()} : kNoCameraValue, nullptr},
      {camera ? std::int64_t{record.isoPer50} : kNoCameraValue, nullptr},
      {record.fNumberX10, nullptr},
      {exposure, nullptr},
      {0, nullptr},
      {0, nullptr},
      {0, nullptr},
      {0, nullptr},
      {0, nullptr},
      {0, nullptr},
      {ScaledDegrees(record.latitude), nullptr},
      {ScaledDegrees(record.longitude), nullptr},
  }};
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    if (i == kSlotUntested) continue;
    if (!criteria.slots[i].Test(values[i].value, values[i].text)) return false;
  }
  return true;
}
