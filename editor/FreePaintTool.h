#pragma once
// CFreePaintTool: paints a colour, raising the layer's alpha to at least the
// stroke's coverage. The option panel adds a swatch (item 30010) that opens
// the colour picker; the colour is kept as FreePaintTool "R", "G", "B"
// (working-space values, 65535 each at first), read at activation and
// written when a successful activation ends.

#include <cstdint>
#include <string_view>

#include "editor/PaintTool.h"
#include "image/ColourBgra16.h"

class CFreePaintTool final : public CPaintTool {
public:
  static constexpr std::uint32_t kColourItem = 30010;
  static constexpr std::int32_t kSwatchSide = 24;
  static constexpr std::u16string_view kColourSection = u"FreePaintTool";

  CFreePaintTool() : CPaintTool(kColourSection) {}

  [[nodiscard]] std::int32_t Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) override;
  [[nodiscard]] std::int32_t Activate() override;
  void Deactivate() override;
  void OnMessage(const SpriteMessage& message) override;
  void ApplyStroke() override;
  void CommitStroke() override;
  [[nodiscard]] bool RecordToolStep() override;

  // The swatch of item 30010: the colour in sRGB, framed in light grey.
  void BuildSwatch();

  ColourBgra16 colour = MakeColourBgra16(0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF);
  CBgraImage swatch;
};
