#pragma once
// CAutoLevel: automatic levels. Black and white points come from 65536-bin
// histograms of the source, per channel (B, G, R) or of the grey value
// (6 G + 3 R + B) / 10; the destination is a copy of the source whose B, G
// and R go through the resulting tables. Alpha is copied unchanged.
//
// Black is the first level, counting up from 0, at which the running count
// exceeds the clip count, but no higher than 30000; white the first level
// counting down from 65535, but no lower than 40000. So a picture never gets
// a stretch steeper than 30000..40000 to 0..65535.
//
// The operations carry nothing in the object; callers build one to call
// them. Each returns 1, or 0 for an empty source, a NaN clip or exhausted
// memory. Source and destination may be the same picture.

#include <cstdint>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"

class CAutoLevel : public CAlgorithm {
public:
  static constexpr std::int32_t kBlackStop = 30000;
  static constexpr std::int32_t kWhiteStop = 40000;

  // Per channel, stretched in sRGB-encoded values. The clip count is
  // pixel count x clip / 1000 (clip in per mille, taken within 0..1000).
  [[nodiscard]] int LevelChannels(const CBgraImage16& source, CBgraImage16& destination, double clip);
  // The same with a linear stretch.
  [[nodiscard]] int LevelChannelsLinear(const CBgraImage16& source, CBgraImage16& destination, double clip);
  // One pair of points from the grey histogram with a clip count of pixel
  // count / 500, applied to B, G and R, stretched in sRGB-encoded values.
  [[nodiscard]] int LevelLuma(const CBgraImage16& source, CBgraImage16& destination);
  // The same with a linear stretch.
  [[nodiscard]] int LevelLumaLinear(const CBgraImage16& source, CBgraImage16& destination);

private:
  [[nodiscard]] int LevelPerChannel(const CBgraImage16& source, CBgraImage16& destination, double clip,
                                    bool srgb);
  [[nodiscard]] int LevelByLuma(const CBgraImage16& source, CBgraImage16& destination, bool srgb);
};
