#pragma once
// CSMaskList: the mask panel's list, one 50-pixel row per saved mask of the
// document in stored order: a 40-pixel preview in a frame and the mask's
// name. Each row's node keeps its own copy of the preview, so the render
// thread never reads a mask record the UI thread may free.

#include <cstdint>
#include <memory>
#include <string_view>

#include "image/BgraImage.h"
#include "ui/widgets/FlatSimpleList.h"

class CSMaskList final : public CFlatSimpleList {
public:
  static constexpr std::int32_t kRowHeight = 50;
  static constexpr std::int32_t kSelectionStrength = 64;

  struct MaskNode final : CTreeNode {
    CBgraImage thumbnail;
  };

  // Appends a row showing name and a copy of thumbnail; false when memory is
  // short.
  [[nodiscard]] bool AddMask(std::u16string_view name, const CBgraImage& thumbnail);
  // Render thread, lock held.
  bool DrawRow(std::int32_t row) override;
};
