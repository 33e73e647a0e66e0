// A file's metadata rewritten in memory: the first byte picks an item number
// to remove, the rest is loaded by CMetadataImage as a JPEG, PNG or TIFF
// file. When it loads, Make is set, the item removed and the file saved; a
// saved file must load again with the new Make, and without the item.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "image/ExifReader.h"
#include "image/MetadataImage.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Numbers from each directory: IFD0, EXIF, GPS, the thumbnail.
  static constexpr std::uint32_t kRemoved[] = {272, 274, 33434, 37510, 2, 0x501B, 513, 53089};
  FuzzBytes input(data, size);
  const std::uint32_t removed = kRemoved[input.U8() % std::size(kRemoved)];
  const std::span<const std::uint8_t> file = input.Rest();
  CMetadataImage image;
  if (!image.Load(std::vector<std::uint8_t>(file.begin(), file.end()))) return 0;
  const std::size_t listed = image.Items().size();
  constexpr std::string_view kMake("fuzz");
  image.SetPropertyItem({271, 2, 5, {'f', 'u', 'z', 'z', 0}});
  image.RemovePropertyItem(removed);
  std::vector<std::uint8_t> saved;
  if (!image.Save(saved)) return 0;

  CMetadataImage again;
  // A list near the reader's caps may pass them once the writer's pointers
  // are added; below that a saved file always loads.
  const bool loaded = again.Load(saved);
  FuzzCheck(loaded || listed + 8 >= CExifReader::kMaxItems || listed >= 512, "a saved file loads again");
  if (!loaded) return 0;
  const ExifItem* make = again.FindItem(271);
  FuzzCheck(make && make->value.size() == 5 &&
                std::string_view(reinterpret_cast<const char*>(make->value.data()), 4) == kMake,
            "the new Make is there");
  if (removed != 513 && removed != 0x501B) FuzzCheck(!again.FindItem(removed), "the removed item is gone");
  return 0;
}
