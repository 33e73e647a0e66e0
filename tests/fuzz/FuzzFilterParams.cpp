// The stored parameter records of the defog, the dynamic-range enhance, the
// diffuse glow, the descreen and the purple-fringe removal, as history and
// automation-scheme steps hand them back.
//
// Input: u8 kind (0 defog, 1 dynamic range, 2 diffuse glow, 3 descreen, 4
// purple fringe), then the record.
// A record that is read must give a block that writes back to bytes reading
// as the same block, and the filter must run with it on a small picture.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "filters/Defog.h"
#include "filters/Descreen.h"
#include "filters/DiffuseFilter.h"
#include "filters/EnhanceDynamic.h"
#include "filters/PurpleFringe.h"
#include "image/BgraImage16.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const CBgraImage16& SmallPicture() {
  static const CBgraImage16 picture = [] {
    CBgraImage16 image;
    FuzzCheck(image.Create(13, 9) != 0, "the picture is made");
    std::uint32_t state = 7;
    for (std::uint16_t& sample : image.Samples()) {
      state = state * 1664525u + 1013904223u;
      sample = static_cast<std::uint16_t>(state >> 16);
    }
    return image;
  }();
  return picture;
}

template <typename Filter, typename Block>
void Run(const Block& block) {
  Filter filter;
  CBgraImage16 target;
  filter.m_source = const_cast<CBgraImage16*>(&SmallPicture());
  filter.m_target = &target;
  filter.m_params = &block;
  FuzzCheck(filter.Process() == 1, "the filter runs with a block that was read");
  FuzzCheck(target.width == SmallPicture().width && target.height == SmallPicture().height,
            "the result has the picture's size");
}

// Reads the record; a block read must survive a write and a read unchanged.
template <typename Block, typename ToBytes, typename FromBytes>
bool ReadStable(std::span<const std::uint8_t> record, Block& block, ToBytes toBytes, FromBytes fromBytes) {
  if (!fromBytes(record, block)) return false;
  const auto bytes = toBytes(block);
  Block again;
  FuzzCheck(fromBytes(bytes, again) == 1, "a written block reads back");
  const auto twice = toBytes(again);
  FuzzCheck(std::equal(bytes.begin(), bytes.end(), twice.begin()), "a written block reads back unchanged");
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzBytes input(data, size);
  const std::uint8_t kind = input.U8() % 5;
  const std::span<const std::uint8_t> record = input.Rest();
  switch (kind) {
    case 0: {
      DefogParams block;
      if (ReadStable(record, block, DefogParamsToBytes, DefogParamsFromBytes)) Run<CDefog>(block);
      break;
    }
    case 1: {
      EnhanceDynamicParams block;
      if (ReadStable(record, block, EnhanceDynamicParamsToBytes, EnhanceDynamicParamsFromBytes))
        Run<CEnhanceDynamic>(block);
      break;
    }
    case 2: {
      DiffuseParams block;
      if (ReadStable(record, block, DiffuseParamsToBytes, DiffuseParamsFromBytes)) Run<CDiffuseFilter>(block);
      break;
    }
    case 3: {
      DescreenParams block;
      if (ReadStable(record, block, DescreenParamsToBytes, DescreenParamsFromBytes)) Run<CDescreen>(block);
      break;
    }
    default: {
      PurpleFringeParams block;
      if (ReadStable(record, block, PurpleFringeParamsToBytes, PurpleFringeParamsFromBytes))
        Run<CPurpleFringe>(block);
      break;
    }
  }
  return 0;
}
