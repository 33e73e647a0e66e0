// The document body of project files and history snapshots. The first input
// byte chooses a whole body (odd) or a layers-only one (even); the rest is
// the stream. A body that was read must write again, and what it writes must
// read back and write the same bytes once more, but for the layers' pixel
// values: a pixel word of the 16-bit record does not always encode back to
// itself once decoded, so those are cleared before the comparison.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "document/BFDoc.h"
#include "platform/File.h"
#include "tests/fuzz/FuzzDocument.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

void ClearPixels(CBFDoc& doc) {
  for (const auto& layer : doc.m_layers) {
    for (std::uint16_t& sample : layer->m_image.Samples()) sample = 0;
  }
}

std::vector<std::uint8_t> Written(CBFDoc& doc, int full) {
  CMemFile file;
  FuzzCheck(doc.Serialize(file, 0, full) != 0, "a document that was read can be written");
  return file.bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzBytes input(data, size);
  const int full = input.U8() & 1;
  CMemFile stream(std::vector<std::uint8_t>(input.Rest().begin(), input.Rest().end()));
  CBFDoc doc;
  if (!doc.Serialize(stream, 1, full)) {
    FuzzCheck(doc.LayerCount() == 0 && doc.m_width == 0 && doc.m_modified == 0,
              "a refused body leaves the document as it was");
    return 0;
  }
  CheckDocumentUsable(doc);

  const std::vector<std::uint8_t> first = Written(doc, full);
  CMemFile again(first);
  CBFDoc copy;
  FuzzCheck(copy.Serialize(again, 1, full) != 0, "a written body reads back");
  ClearPixels(doc);
  ClearPixels(copy);
  FuzzCheck(Written(copy, full) == Written(doc, full), "a body read back writes the same bytes");
  return 0;
}
