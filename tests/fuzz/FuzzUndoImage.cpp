// The undo file of the parameter dialogs (raw 16-bit pixels with their
// size), as Cancel reads it back. A record that is read must hold exactly
// the pixels its size announces and write back to the same bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dialogs/FilterDialog.h"
#include "image/BgraImage16.h"
#include "platform/File.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CMemFile file(std::vector<std::uint8_t>(data, data + size));
  CBgraImage16 image;
  if (!ReadUndoImage(file, image)) {
    FuzzCheck(image.pixels == nullptr, "a refused record leaves the image alone");
    return 0;
  }
  FuzzCheck(std::uint64_t{image.width} * image.height * 8 + 8 == size, "the size matches the pixels");
  return 0;
}
