// A file's information record from outside: the first byte picks the file
// name's extension (the probe reads TGA and PCX only when named so), the
// rest is the file, read through ImageInfo::ReadFromFile (header probe,
// metadata reader, the record's fields). The same bytes are then read as a
// camera maker note.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "image/ImageInfo.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr std::array<std::string_view, 7> kNames = {"info.jpg", "info.png", "info.tif", "info.bmp",
                                                             "info.gif", "info.tga", "info.pcx"};
  FuzzBytes input(data, size);
  const std::filesystem::path path = FuzzScratchFile(kNames[input.U8() % kNames.size()]);
  WriteFuzzFile(path, input.Rest());

  ImageInfo info;
  if (info.ReadFromFile(path)) {
    std::uint32_t counted = 0;
    for (const auto& item : info.properties) counted += item ? 1 : 0;
    FuzzCheck(counted == info.properties.size(), "every kept item is present");
  }
  ImageInfo note;
  note.ParseMakerNote(input.Rest());
  return 0;
}
