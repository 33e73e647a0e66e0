// The project file reader (u32 count, document body, property items). A file
// that was read must write again and read back to the same document and
// items: the second write equals the third, pixel values aside (a pixel word
// of the 16-bit record does not always encode back to itself once decoded).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "document/BFDoc.h"
#include "document/ProjectFile.h"
#include "image/ImageInfo.h"
#include "platform/File.h"
#include "tests/fuzz/FuzzDocument.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

std::vector<std::uint8_t> Written(CBFDoc& doc, ImageInfo& info) {
  for (const auto& layer : doc.m_layers) {
    for (std::uint16_t& sample : layer->m_image.Samples()) sample = 0;
  }
  CMemFile file;
  FuzzCheck(WriteProjectFile(file, doc, &info) != 0, "a project that was read can be written");
  return file.bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CMemFile stream(std::vector<std::uint8_t>(data, data + size));
  CBFDoc doc;
  ImageInfo info;
  if (!ReadProjectFile(stream, doc, info)) {
    FuzzCheck(doc.LayerCount() == 0 && info.properties.empty(), "a refused file changes nothing");
    return 0;
  }
  CheckDocumentUsable(doc);
  const std::vector<std::uint8_t> first = Written(doc, info);
  CMemFile again(first);
  CBFDoc copy;
  ImageInfo copyInfo;
  FuzzCheck(ReadProjectFile(again, copy, copyInfo) != 0, "a written project reads back");
  FuzzCheck(copyInfo.properties.size() == info.properties.size(), "every item reads back");
  FuzzCheck(Written(copy, copyInfo) == first, "a project read back writes the same bytes");
  return 0;
}
