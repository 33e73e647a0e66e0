// The exchange file of external-editor mode as a host may leave it: a read
// either refuses and keeps the file, or gives an image of the announced
// size, deletes the file, and writes it back as 4 channels.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "app/ExchangeFile.h"
#include "image/BgraImage16.h"
#include "platform/LittleEndian.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path path = FuzzScratchFile("exchange.bin");
  WriteFuzzFile(path, std::span(data, size));
  CBgraImage16 image;
  if (!ReadExchangeFile(path, image)) {
    FuzzCheck(std::filesystem::exists(path), "a refused file is kept");
    FuzzCheck(image.IsEmpty(), "a refused file gives no image");
    return 0;
  }
  FuzzCheck(size >= kExchangeHeaderBytes, "a header was read");
  FuzzCheck(!std::filesystem::exists(path), "an imported file is deleted");
  FuzzCheck(image.width == LoadLE32(data) && image.height == LoadLE32(data + 4), "the announced size");
  FuzzCheck(std::uint64_t{image.width} * image.height * data[8] * 2 <= size - kExchangeHeaderBytes,
            "only rows that were there");
  FuzzCheck(WriteExchangeFile(path, image), "the image goes back");
  FuzzCheck(std::filesystem::file_size(path) == kExchangeHeaderBytes + std::uint64_t{image.pixelCount} * 8,
            "written back with 4 channels");
  return 0;
}
