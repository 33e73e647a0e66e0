// The stored pixel records of project, history and mask files. The first
// input byte picks the record (0 a 16-bit image, 1 a plane, 2 a region of a
// 32 x 32 picture whose rectangle the next four bytes give); the rest is the
// stream. A record that was read is written again and must read back to the
// same size.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/PackedRecords.h"
#include "image/Plane8.h"
#include "platform/File.h"
#include "platform/Rect.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr std::uint32_t kRegionPicture = 32;

CMemFile StreamOf(const FuzzBytes& input) {
  return CMemFile(std::vector<std::uint8_t>(input.Rest().begin(), input.Rest().end()));
}

void Image16(const FuzzBytes& input) {
  CMemFile stream = StreamOf(input);
  CBgraImage16 image;
  if (!ReadPackedImage16(stream, image)) {
    FuzzCheck(image.IsEmpty(), "a refused record leaves the image empty");
    return;
  }
  CMemFile copy;
  FuzzCheck(WritePackedImage16(image, copy) && copy.Seek(0, CFile::SeekOrigin::Begin),
            "an image that was read can be written");
  CBgraImage16 back;
  FuzzCheck(ReadPackedImage16(copy, back) && back.width == image.width && back.height == image.height,
            "a written image reads back at its size");
}

void Plane(const FuzzBytes& input) {
  CMemFile stream = StreamOf(input);
  CPlane8 plane;
  if (!ReadPackedPlane(stream, plane)) {
    FuzzCheck(plane.IsEmpty(), "a refused record leaves the plane empty");
    return;
  }
  CMemFile copy;
  FuzzCheck(WritePackedPlane(plane, copy) && copy.Seek(0, CFile::SeekOrigin::Begin),
            "a plane that was read can be written");
  CPlane8 back;
  FuzzCheck(ReadPackedPlane(copy, back) && back.width == plane.width && back.height == plane.height,
            "a written plane reads back at its size");
}

void Region(FuzzBytes& input) {
  const auto side = [&input] { return static_cast<std::int32_t>(input.U8() % (kRegionPicture + 1)); };
  const Rect rectangle{side(), side(), side(), side()};
  CBgraImage picture;
  FuzzCheck(picture.Create(kRegionPicture, kRegionPicture), "the picture is made");
  CMemFile stream = StreamOf(input);
  // Read or refused, either is right for damaged input.
  static_cast<void>(ReadPackedRegion(stream, picture, rectangle));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzBytes input(data, size);
  switch (input.U8() % 3) {
    case 0:
      Image16(input);
      break;
    case 1:
      Plane(input);
      break;
    default:
      Region(input);
      break;
  }
  return 0;
}
