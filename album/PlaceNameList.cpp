#include "album/PlaceNameList.h"

#include <algorithm>

#include "album/SearchNode.h"
#include "platform/LittleEndian.h"
#include "platform/Utf16.h"

std::u16string_view PlaceNameRecord::Name() const { return {name.data(), BoundedLength(name)}; }

void PlaceNameRecord::SetName(std::u16string_view text) {
  name.fill(0);
  const std::size_t n = std::min(text.size(), kNameLength - 1);
  std::copy_n(text.begin(), n, name.begin());
}

void PlaceNameRecord::Write(ByteWriter& out) const {
  latitude.Write(out);
  longitude.Write(out);
  for (char16_t c : name) out.U16(c);
}

void PlaceNameRecord::Read(std::span<const std::uint8_t> bytes) {
  latitude.Read(bytes.first(SearchCondition::kBytes));
  longitude.Read(bytes.subspan(SearchCondition::kBytes, SearchCondition::kBytes));
  for (std::size_t i = 0; i < kNameLength; ++i)
    name[i] = LoadLE16(bytes.data() + 2 * SearchCondition::kBytes + 2 * i);
  name[kNameLength - 1] = 0;
}

PlaceNameList::PlaceNameList(std::filesystem::path shippedFolder)
    : m_file(kFileName, static_cast<std::uint16_t>(PlaceNameRecord::kBytes), std::move(shippedFolder)) {}

bool PlaceNameList::MakeFilePath() { return m_file.GetFilePath(); }

void PlaceNameList::SetRecords(std::span<const std::uint8_t> bytes) {
  records.clear();
  for (std::size_t at = 0; bytes.size() - at >= PlaceNameRecord::kBytes; at += PlaceNameRecord::kBytes) {
    records.emplace_back().Read(bytes.subspan(at, PlaceNameRecord::kBytes));
  }
}

bool PlaceNameList::Load() {
  std::vector<std::uint8_t> bytes;
  switch (m_file.Load(bytes)) {
    case PresetFileRead::Refused:
      return false;
    case PresetFileRead::Missing:
      records.clear();
      return true;
    case PresetFileRead::Read:
      SetRecords(bytes);
      return true;
  }
  return false;
}

bool PlaceNameList::Save() const {
  ByteWriter out;
  for (const PlaceNameRecord& record : records) record.Write(out);
  return m_file.Save(out.bytes());
}

bool PlaceConditionMatches(const SearchCondition& stored, const SearchCondition& node) {
  const std::int64_t distance = std::int64_t{stored.low} - node.low;
  return (distance < 0 ? -distance : distance) < stored.high && stored.high == node.high;
}

std::int32_t PlaceNameList::Find(const CSearchNode& node) const {
  const SearchCondition& latitude = node.criteria.slots[kSlotLatitude];
  const SearchCondition& longitude = node.criteria.slots[kSlotLongitude];
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (PlaceConditionMatches(records[i].latitude, latitude) &&
        PlaceConditionMatches(records[i].longitude, longitude)) {
      return static_cast<std::int32_t>(i);
    }
  }
  return -1;
}

void PlaceNameList::SetName(const CSearchNode& node, std::u16string_view name) {
  const std::int32_t found = Find(node);
  if (found >= 0) {
    records[static_cast<std::size_t>(found)].SetName(name);
    return;
  }
  PlaceNameRecord& record = records.emplace_back();
  record.latitude = node.criteria.slots[kSlotLatitude];
  record.longitude = node.criteria.slots[kSlotLongitude];
  record.SetName(name);
}
