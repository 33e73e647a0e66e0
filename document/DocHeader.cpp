#include "document/DocHeader.h"

#include "platform/LittleEndian.h"

void DocHeader::Encode(std::span<std::uint8_t, kSize> bytes) const {
  bytes[0] = version;
  bytes[1] = headerSize;
  bytes[2] = layerCount;
  bytes[3] = maskCount;
  bytes[4] = selectionPresent;
  bytes[5] = currentLayer;
  StoreLE16(&bytes[6], width);
  StoreLE16(&bytes[8], height);
  StoreLE16(&bytes[10], 0);
}

int DocHeader::Decode(std::span<const std::uint8_t, kSize> bytes, DocHeader& header) {
  if (bytes[1] != kSize) return 0;
  header.version = bytes[0];
  header.headerSize = bytes[1];
  header.layerCount = bytes[2];
  header.maskCount = bytes[3];
  header.selectionPresent = bytes[4];
  header.currentLayer = bytes[5];
  header.width = LoadLE16(&bytes[6]);
  header.height = LoadLE16(&bytes[8]);
  return 1;
}
