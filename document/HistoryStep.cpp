#include "document/HistoryStep.h"

#include <algorithm>

#include "platform/LittleEndian.h"
#include "platform/Utf16.h"

std::u16string HistoryStep::Name() const { return std::u16string(name.data(), BoundedLength(name)); }

std::span<const std::uint8_t> HistoryStep::Params() const {
  if (!replayable || paramSize <= 0) return {};
  const auto count = static_cast<std::size_t>(paramSize);
  if (heapParams)
    return std::span<const std::uint8_t>(*heapParams).first(std::min(count, heapParams->size()));
  return std::span<const std::uint8_t>(params).first(std::min(count, params.size()));
}

Rect HistoryStep::Rectangle() const {
  return {static_cast<std::int32_t>(LoadLE32(&params[0])), static_cast<std::int32_t>(LoadLE32(&params[4])),
          static_cast<std::int32_t>(LoadLE32(&params[8])), static_cast<std::int32_t>(LoadLE32(&params[12]))};
}

std::array<std::uint8_t, HistoryStep::kRectangleBytes> HistoryStep::EncodeRectangle(const Rect& rectangle) {
  std::array<std::uint8_t, kRectangleBytes> bytes{};
  StoreLE32(&bytes[0], static_cast<std::uint32_t>(rectangle.left));
  StoreLE32(&bytes[4], static_cast<std::uint32_t>(rectangle.top));
  StoreLE32(&bytes[8], static_cast<std::uint32_t>(rectangle.right));
  StoreLE32(&bytes[12], static_cast<std::uint32_t>(rectangle.bottom));
  return bytes;
}

void HistoryStep::Encode(std::span<std::uint8_t, kRecordSize> bytes) const {
  std::fill(bytes.begin(), bytes.end(), 0);
  for (std::size_t i = 0; i < kNameLength; ++i) StoreLE16(&bytes[2 * i], name[i]);
  StoreLE32(&bytes[64], static_cast<std::uint32_t>(offset));
  StoreLE32(&bytes[68], static_cast<std::uint32_t>(size));
  bytes[72] = type;
  bytes[73] = layerIndex;
  StoreLE16(&bytes[74], static_cast<std::uint16_t>(offset >> 32));
  StoreLE32(&bytes[76], static_cast<std::uint32_t>(layerId));
  bytes[80] = replayable;
  bytes[81] = static_cast<std::uint8_t>(size >> 32);
  StoreLE16(&bytes[82], stepType);
  std::copy(params.begin(), params.end(), bytes.begin() + 84);
  StoreLE32(&bytes[1108], static_cast<std::uint32_t>(paramSize));
  // 1112..1119 stay zero.
}

bool HistoryStep::Decode(std::span<const std::uint8_t, kRecordSize> bytes, HistoryStep& step) {
  HistoryStep read;
  for (std::size_t i = 0; i < kNameLength; ++i) read.name[i] = LoadLE16(&bytes[2 * i]);
  if (BoundedLength(read.name) >= kNameLength) return false;
  read.offset = LoadLE32(&bytes[64]) | (std::uint64_t{LoadLE16(&bytes[74])} << 32);
  read.size = LoadLE32(&bytes[68]) | (std::uint64_t{bytes[81]} << 32);
  read.type = bytes[72];
  read.layerIndex = bytes[73];
  read.layerId = static_cast<std::int32_t>(LoadLE32(&bytes[76]));
  read.replayable = bytes[80] != 0 ? 1 : 0;
  read.stepType = LoadLE16(&bytes[82]);
  std::copy_n(bytes.begin() + 84, kInlineParams, read.params.begin());
  const auto paramSize = static_cast<std::int32_t>(LoadLE32(&bytes[1108]));
  const bool known = read.type == kStepLayer || read.type == kStepRegion || read.type == kStepLayerList ||
                     read.type == kStepDocument;
  if (!known || read.size == 0 || paramSize < 0) return false;
  if (paramSize > static_cast<std::int32_t>(kInlineParams)) {
    read.replayable = 0;
  } else {
    read.paramSize = paramSize;
  }
  if (!read.replayable) read.paramSize = 0;
  step = read;
  return true;
}
