// The image-file gate: a file name picks the reader by its extension, then
// the file's bytes go through LoadImageAsBgra (file streams, the RAW
// preview route and every codec of the name's format).
//
// Input: the name, a zero byte, then the file's bytes. The name is checked
// against the three extension readers on its own; only its extension is kept
// for the scratch file.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "image/BgraImage.h"
#include "image/CameraRaw.h"
#include "image/ImageCodec.h"
#include "image/PixelBlock.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr std::size_t kMaxExtension = 8;

void CheckNameReaders(const std::string& name) {
  const ImageFileType type = GetImageType(name);
  const std::int32_t codec = GetCodecFormat(name);
  FuzzCheck((codec == -1) == (type == ImageFileType::Unknown || type == ImageFileType::Raw),
            "a type has a codec format exactly when it is neither unknown nor RAW");
  if (IsRawFileName(name)) FuzzCheck(type == ImageFileType::Raw, "a name LibRaw opens is typed as RAW");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  UseOneOpenMpThread();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  const auto zero = std::find(input.begin(), input.end(), std::uint8_t{0});
  const std::string name(input.begin(), zero);
  CheckNameReaders(name);
  if (zero == input.end()) return 0;

  const ImageFileType type = GetImageType(name);
  if (type == ImageFileType::Unknown) return 0;
  const std::string extension = name.substr(name.rfind('.'));
  if (extension.size() > kMaxExtension) return 0;
  const auto path = FuzzScratchFile("picture" + extension);
  WriteFuzzFile(path, input.subspan(static_cast<std::size_t>(zero - input.begin()) + 1));
  CBgraImage image;
  if (LoadImageAsBgra(path, image)) {
    FuzzCheck(!image.IsEmpty() && image.width <= kMaxImageSide && image.height <= kMaxImageSide,
              "a loaded picture has pixels within the side limit");
  }
  return 0;
}
