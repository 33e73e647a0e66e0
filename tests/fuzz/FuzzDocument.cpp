#include "tests/fuzz/FuzzDocument.h"

#include <cstdint>
#include <memory>

#include "document/BFDoc.h"
#include "document/TextLayer.h"
#include "image/BgraImage16.h"
#include "platform/File.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr std::uint64_t kMaxComposedPixels = 1u << 20;

CBgraImage16 Filled(std::uint32_t width, std::uint32_t height, std::uint16_t value) {
  CBgraImage16 image;
  FuzzCheck(image.Create(width, height), "the fixture's image is made");
  for (std::uint32_t i = 0; i < 4 * image.pixelCount; ++i) image.pixels[i] = value;
  return image;
}

}  // namespace

void MakeFuzzDocument(CBFDoc& doc) {
  FuzzCheck(doc.InsertLayer(Filled(12, 8, 30000), u"base", -1) != 0, "the base layer is made");
  FuzzCheck(doc.InsertLayer(Filled(5, 4, 50000), u"floating", -1) != 0, "the floating layer is made");
  auto text = std::make_unique<CTextLayer>();
  text->m_image = Filled(3, 2, 9000);
  text->SetText(u"caption");
  doc.m_layers.push_back(std::move(text));
}

void CheckDocumentUsable(CBFDoc& doc) {
  FuzzCheck(doc.LayerCount() == 0 || (doc.m_currentLayer >= 0 && doc.m_currentLayer < doc.LayerCount()),
            "the current layer is one of the layers");
  if (doc.LayerCount() > 0 && std::uint64_t{doc.m_width} * doc.m_height <= kMaxComposedPixels) {
    CBgraImage16 composite;
    FuzzCheck(doc.CompositeLayers(composite, 0) != 0, "the layers can be composed");
  }
  CBFDoc copy;
  FuzzCheck(copy.CopyFrom(doc) != 0, "the document can be copied");
  CMemFile snapshot;
  FuzzCheck(doc.Serialize(snapshot, 0, 0) != 0, "the document can be snapshotted");
}
