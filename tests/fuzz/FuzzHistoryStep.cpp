// The payloads of undo-history steps, replayed onto the small document of
// MakeFuzzDocument as CDocHistory replays them from its file.
//
// Input: u8 step type (0 whole layer, 1 region, 2 layer list, 3 snapshot),
// u8 layer (the target of types 0 and 1), four i8 rectangle sides (left,
// top, right, bottom, for type 1), then the payload.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "document/BFDoc.h"
#include "document/DocHistory.h"
#include "platform/File.h"
#include "platform/Rect.h"
#include "tests/fuzz/FuzzDocument.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

std::int32_t Side(FuzzBytes& input) { return static_cast<std::int8_t>(input.U8()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzBytes input(data, size);
  const std::uint8_t type = input.U8() % 4;
  const std::size_t layer = input.U8() % 3;
  const Rect rectangle{Side(input), Side(input), Side(input), Side(input)};
  CMemFile payload(std::vector<std::uint8_t>(input.Rest().begin(), input.Rest().end()));

  CBFDoc doc;
  MakeFuzzDocument(doc);
  CDocHistory history;
  const bool opened = history.Open(doc, [](std::filesystem::path& path, std::u16string_view) {
    path = FuzzScratchFile("history.bftmp");
    return true;
  });
  FuzzCheck(opened, "the history file is made");
  const std::int32_t id = doc.m_layers[layer]->m_id;
  // A payload may be taken or refused; either way the document must stay
  // whole, which CheckDocumentUsable tells.
  switch (type) {
    case 0:
      static_cast<void>(history.RestorePixels(payload, id, Rect{}));
      break;
    case 1:
      static_cast<void>(history.RestorePixels(payload, id, rectangle));
      break;
    case 2:
      static_cast<void>(history.ReadLayerList(payload));
      break;
    default:
      static_cast<void>(doc.Serialize(payload, 1, 0));
      break;
  }
  CheckDocumentUsable(doc);
  return 0;
}
