#pragma once
// CContentAwareScale: narrows or shortens a 16-bit working image by seam
// carving, removing one after another the connected paths of pixels that
// carry the least edge energy, so the important content keeps its shape.
//
// The work is split in two. Building the seam maps (slow) carves a
// half-resolution grey copy: every vertical seam down to half the target
// width, then, on the planes as they were before, every horizontal seam
// down to half the target height, and numbers each half-resolution pixel by
// the seam that removed it (1 for the first, 0 for none). Applying a size
// (fast) is one pass over the target: the pixels of the removed seams are
// dropped, half of each run going into the kept pixel on its left (above)
// and half into the one on its right (below). The maps stay in the object,
// so an interactive caller builds them once (mapsOnly with target 0 x 0
// records every seam) and then applies any size at once.
//
// Half resolution: half width = width div 2, half height = height div 2;
// half-resolution pixel (x, y) stands for the source pixels (2x, 2y),
// (2x + 1, 2y), (2x, 2y + 1), (2x + 1, 2y + 1). The seam work is shared by a
// team of threads (SeamCarver.h); the maps do not depend on its size.

#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"
#include "image/PixelBlock.h"
#include "image/Plane8.h"

class CSeamCarver;

// The parameter block, 32 bytes. It lives only in memory: the resize dialog's
// history step does not keep it.
struct ContentAwareScaleParams {
  std::uint16_t size = 32;
  std::uint8_t reserved0[2] = {};
  std::int32_t targetWidth = 0;   // pixels
  std::int32_t targetHeight = 0;  // pixels
  std::int32_t mapsOnly = 0;      // nonzero: only build the seam maps
  // Optional, at least the source's size: 255 keeps a pixel, 0 leaves it
  // free. Read at the top-left source pixel of each half-resolution pixel.
  const CPlane8* protection = nullptr;
  std::uint8_t reserved1[8] = {};
};
static_assert(sizeof(void*) == 8, "the block keeps the protection reference in 8 bytes");
static_assert(sizeof(ContentAwareScaleParams) == 32);
static_assert(offsetof(ContentAwareScaleParams, targetWidth) == 4);
static_assert(offsetof(ContentAwareScaleParams, targetHeight) == 8);
static_assert(offsetof(ContentAwareScaleParams, mapsOnly) == 12);
static_assert(offsetof(ContentAwareScaleParams, protection) == 16);
static_assert(offsetof(ContentAwareScaleParams, reserved1) == 24);

// The one place a block is made safe: the size word becomes 32, the reserved
// bytes 0, mapsOnly 0 or 1, and a negative target side 0.
void ValidateContentAwareScaleParams(ContentAwareScaleParams& block);

class CContentAwareScale : public CAlgorithm {
public:
  CContentAwareScale() = default;
  ~CContentAwareScale() override;

  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is) and validates it, then:
  // - target equal to the source and mapsOnly 0: the target becomes a copy;
  // - mapsOnly: builds the maps (down to half the target sizes);
  // - else scales one side: the width when the target is narrower than the
  //   source (the height stays the source's), otherwise the height. The
  //   target is made at the new size. The maps are built first when none
  //   are kept, when they were built from a source of another size, or when
  //   they hold fewer seams than this size needs.
  // 1, or 0 for a missing block, source or target, a target that is the
  // source, a reduced side below 1 or a target no smaller than the source
  // in either side, a failed or cancelled build, or exhausted memory.
  //
  // Building refuses a source smaller than 2 x 2 and a protection plane
  // smaller than the source. Progress: 10 when the planes are made, up to 55
  // during the vertical seams, up to 100 during the horizontal ones; a
  // cancel of the algorithm thread's job is seen before each of the two and
  // whenever the carved width or height reaches a multiple of 100. A failed
  // or cancelled build releases both maps.
  [[nodiscard]] int Process() override;

  // Frees both seam maps; the next scaling run builds them again. Callers
  // release them whenever the source or the protection changes.
  void ReleaseWorkBuffers();

  // The maps, half width x half height row by row; empty when none is kept.
  std::span<const std::uint16_t> WidthSeamMap() const;
  std::span<const std::uint16_t> HeightSeamMap() const;
  std::uint32_t MapWidth() const { return m_halfWidth; }
  std::uint32_t MapHeight() const { return m_halfHeight; }

  ContentAwareScaleParams m_block;
  // Threads that carve together on large planes. 0 takes the engine's
  // helper count when this algorithm may be run in parallel, and carves
  // alone whenever that proves faster (SeamCarver.h).
  std::uint32_t m_threads = 0;

private:
  [[nodiscard]] int BuildMaps(const CBgraImage16& source);
  // Carves seams with carver until its width is at most stopAt, numbering
  // them into map (transposed: the carver holds the planes column by
  // column and carves horizontal seams).
  [[nodiscard]] int CarveSeams(CSeamCarver& carver, std::int64_t stopAt, bool transposed, std::uint16_t* map);
  // Whether the kept maps serve source scaled to (width, height) on the side
  // that run reduces.
  bool MapsServe(const CBgraImage16& source, bool reduceWidth, std::int64_t targetSide) const;
  [[nodiscard]] int ApplyScale(const CBgraImage16& source, CBgraImage16& target, bool reduceWidth,
                               std::int64_t targetSide) const;

  LargeArray<std::uint16_t> m_widthSeamMap;
  LargeArray<std::uint16_t> m_heightSeamMap;
  std::uint32_t m_halfWidth = 0;
  std::uint32_t m_halfHeight = 0;
  // The source size the maps were built from, and the half width and half
  // height the carving stopped at.
  std::uint32_t m_mapSourceWidth = 0;
  std::uint32_t m_mapSourceHeight = 0;
  std::uint32_t m_currentWidth = 0;
  std::uint32_t m_currentHeight = 0;
};
