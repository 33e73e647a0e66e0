#pragma once
// CTextLayer: a layer whose pixels are drawn from a text in one style. This
// is the stored record (text and style kept with the layer, copied and
// serialised with it); laying out and drawing the text live with the text
// tool. A text layer is always floating.
//
// Stored after the layer's own record and image: the text as 1025 UTF-16
// units (2050 bytes, zero-terminated), then the 224-byte TextStyle.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "document/BFLayer.h"
#include "document/TextStyle.h"

class CTextLayer : public CBFLayer {
public:
  static constexpr std::size_t kTextLength = 1025;  // at most 1024 characters and the terminator
  static constexpr std::size_t kTextBytes = kTextLength * 2;

  CTextLayer() { m_kind = kLayerText; }

  // The layer, then the text and the style. A read that ends early fails and
  // leaves the layer as it was.
  [[nodiscard]] int Serialize(CFile& stream, int load) override;
  // The layer; text and style too when the source is a text layer.
  [[nodiscard]] int CopyFrom(const CBFLayer& source) override;

  std::u16string Text() const;
  // Keeps at most 1024 characters, up to the first zero.
  void SetText(std::u16string_view text);

  std::array<char16_t, kTextLength> m_text{};  // terminated, zero after the text
  TextStyle m_style;
};
