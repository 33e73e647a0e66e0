// The place-name file: any bytes read as "gpsname.set" give whole records
// whose names end inside their field, and a node's name is looked up.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "album/PlaceNameList.h"
#include "album/SearchNode.h"
#include "platform/File.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CMemFile file(std::vector<std::uint8_t>(data, data + size));
  std::vector<std::uint8_t> bytes;
  if (!ReadPresetRecords(file, PlaceNameRecord::kBytes, bytes)) return 0;
  PlaceNameList names({});
  names.SetRecords(bytes);
  FuzzCheck(names.records.size() * PlaceNameRecord::kBytes == bytes.size(), "whole records only");
  CSearchNode node;
  for (const PlaceNameRecord& record : names.records) {
    FuzzCheck(record.Name().size() < PlaceNameRecord::kNameLength, "names end inside their field");
    node.criteria.slots[kSlotLatitude] = record.latitude;
    node.criteria.slots[kSlotLongitude] = record.longitude;
    FuzzCheck(names.Find(node) <= static_cast<std::int32_t>(names.records.size()), "a name's index or -1");
  }
  return 0;
}
