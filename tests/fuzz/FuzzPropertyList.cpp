// The property-item list of a project file, read to the end of the data by
// ImageInfo::SerializeProperties. What was read is saved and must read back
// as the same items.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/ImageInfo.h"
#include "platform/File.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CMemFile file(std::vector<std::uint8_t>(data, data + size));
  ImageInfo info;
  FuzzCheck(info.SerializeProperties(file, PropertyTransfer::Load) == 1, "a list loads");
  CMemFile saved;
  FuzzCheck(info.SerializeProperties(saved, PropertyTransfer::Save) == 1, "a loaded list saves");
  FuzzCheck(saved.Seek(0, CFile::SeekOrigin::Begin), "the saved list rewinds");
  ImageInfo back;
  FuzzCheck(back.SerializeProperties(saved, PropertyTransfer::Load) == 1, "a saved list loads");
  FuzzCheck(back.properties.size() == info.properties.size(), "the same number of items comes back");
  for (std::size_t i = 0; i < info.properties.size(); ++i) {
    const ImagePropertyRecord& a = *info.properties[i];
    const ImagePropertyRecord& b = *back.properties[i];
    FuzzCheck(a.id == b.id && a.kind == b.kind && a.type == b.type && a.count == b.count,
              "the same heads come back");
    FuzzCheck(a.Value().size() == b.Value().size() &&
                  std::equal(a.Value().begin(), a.Value().end(), b.Value().begin()),
              "the same values come back");
  }
  return 0;
}
