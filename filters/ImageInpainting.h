#pragma once
// CImageInpainting: fills the masked region of a working image with texture
// copied from the rest of it. The bounding box of the mask is cut into a grid
// of square patches; the patch whose surroundings hold the most known texture
// goes next; the fully known window near it that differs least from those
// surroundings (sum of absolute differences, searched on a 1/2 or 1/3 scale
// copy first for patches of 12 pixels and more) is pasted over it with a
// feathered edge. Everything runs on the calling thread; a cancel of the
// algorithm thread's job is seen after every patch.
//
// A mask closer to the picture's border than a patch and its margin reach is
// filled on a copy padded on every side with the picture mirrored at its
// edges. The padding keeps mirroring the picture as it is filled: padding
// that mirrors a pixel still to be filled is not known, and takes the
// pixel's new value when a patch fills it. Every window the run reads or
// writes lies inside the picture it works on.
//
// MeasureMaskThickness proposes a patch size from how thick a mask is.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"
#include "platform/Rect.h"

// The parameter block, read in place for one run (it holds a pointer and is
// never stored).
struct InpaintingParams {
  // Mask of the source's size: 128 or more marks a pixel to be filled; any
  // non-zero value lets a pasted patch blend into the pixel.
  CPlane8* mask = nullptr;
  std::int32_t patchSize = 32;  // side of a grid patch, 1 to kMaxImageSide
  std::int32_t edgePatchesOnly =
      0;                      // non-zero: no area limit, only patches on the mask's soft edge, misses skipped
  std::int32_t reserved = 1;  // read by nothing
  std::int32_t softenMask = 0;  // non-zero: the mask is blurred in place before filling
};
static_assert(sizeof(void*) == 8, "the block keeps the mask's address in 8 bytes");
static_assert(sizeof(InpaintingParams) == 24);
static_assert(offsetof(InpaintingParams, patchSize) == 8);
static_assert(offsetof(InpaintingParams, edgePatchesOnly) == 12);
static_assert(offsetof(InpaintingParams, reserved) == 16);
static_assert(offsetof(InpaintingParams, softenMask) == 20);

// The one place a block is checked: 1 when it has a mask of the source's size
// and a patch size from 1 to kMaxImageSide.
[[nodiscard]] int ValidateInpaintingParams(const InpaintingParams& block, const CBgraImage16& source);

// A patch size from 8 to 63 for mask: the largest blur radius (searched by
// doubling from 8, then by halving the interval) at which some pixel of the
// binarised mask (128 and up) still keeps 230 or more. The mask is not
// changed; 8 when the copy cannot be made.
[[nodiscard]] std::int32_t MeasureMaskThickness(const CPlane8& mask);

// One square of the patch grid; right and bottom are exclusive.
struct InpaintPatch {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  std::int32_t done = 0;
  std::int32_t skipped = 0;
  std::int32_t bandCount = 0;  // band pixels of the patch and its margin at the last count
};

class CImageInpainting : public CAlgorithm {
public:
  CImageInpainting() = default;
  ~CImageInpainting() override = default;

  // Needs m_source, m_target (another record) and m_params pointing to an
  // InpaintingParams. The target becomes the source with the mask filled. 1
  // on success or cancel (the patches filled so far stay), 0 for an invalid
  // block, a mask over a third of the picture without edgePatchesOnly, a
  // patch without any fully known window near it without edgePatchesOnly,
  // or exhausted memory. Failing before the fill starts leaves the target
  // untouched.
  [[nodiscard]] int Process() override;

  InpaintingParams m_block;
  // Bounding box (inclusive) and count of the non-zero mask pixels; an empty
  // mask leaves left = width, top = height, right = bottom = 0.
  std::int32_t m_maskLeft = 0;
  std::int32_t m_maskTop = 0;
  std::int32_t m_maskRight = 0;
  std::int32_t m_maskBottom = 0;
  std::int64_t m_maskCount = 0;
  std::int32_t m_margin = 0;  // the overlap added around every patch
  CPlane8 m_known;            // 255 where a pixel may serve as a source
  CPlane8 m_hole;             // 255 where the mask is 128 or more
  CPlane8 m_band;             // 255 where a known pixel takes part in comparisons
  CPlane8 m_feather;          // paste weight across a patch window
  std::int32_t m_gridRows = 0;
  std::int32_t m_gridColumns = 0;
  std::vector<InpaintPatch> m_patches;  // grid order, row by row
  // The current patch window; its alpha is 255 where a pixel is compared.
  CBgraImage16 m_template;
  std::int32_t m_coarseScale = 1;
  CBgraImage16 m_coarseTemplate;  // the template reduced by the coarse scale
  CBgraImage16 m_coarseImage;     // the working image box-averaged by the coarse scale

private:
  // A candidate's score when its window is not fully known.
  static constexpr std::int64_t kNoCandidate = -1;

  void MeasureMaskBounds();
  [[nodiscard]] int RunPadded(std::int32_t pad);
  // Where the padding of a padded run comes from: the padded columns (rows)
  // that show each column (row) of the picture, the picture's own included.
  struct PaddingMirror {
    std::int32_t pad = 0;
    std::vector<std::int32_t> columnFirst,
        columns;  // images of column x: columns[columnFirst[x]...columnFirst[x + 1]]
    std::vector<std::int32_t> rowFirst, rows;
  };
  [[nodiscard]] int PadSourceAndMask(std::int32_t pad, CBgraImage16& image, CPlane8& mask,
                                     PaddingMirror& mirror) const;
  // Copies the pixel at padded (x, y), with its known and band values, to
  // every padding pixel that mirrors it, and widens written to cover them.
  void MirrorPixel(std::int32_t x, std::int32_t y, Rect& written);
  [[nodiscard]] int BuildKnownAndBand();
  [[nodiscard]] int PrepareCoarseImage();
  void UpdateCoarseImage(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
  [[nodiscard]] int BuildPatchGrid();
  // The index of the next patch, or -1 when none is left.
  std::int32_t SelectNextPatch(bool recount);
  [[nodiscard]] int MarkInteriorPatches();
  [[nodiscard]] int FillPatch(const InpaintPatch& patch);
  [[nodiscard]] int CapturePatchTemplate(const InpaintPatch& patch);
  // Counts the pixels that are not known over the area candidate windows may
  // cover: columns [x0, x1), rows [y0, y1).
  void CountUnknown(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
  bool WindowKnown(std::int32_t x, std::int32_t y) const;
  std::int64_t PatchDistance(std::int32_t x, std::int32_t y, std::int64_t best) const;
  std::int64_t CoarseDistance(std::int32_t x, std::int32_t y, std::int64_t best) const;
  void PastePatch(const InpaintPatch& patch, std::int32_t bx, std::int32_t by);

  // The padding of a padded run (null otherwise).
  const PaddingMirror* m_mirror = nullptr;
  // The compared pixels of the template and of the coarse template: their
  // offsets into a candidate window of the working (coarse) image and their
  // R, G, B values.
  struct Sample {
    std::ptrdiff_t offset;
    std::int32_t r, g, b;
  };
  std::vector<Sample> m_samples;
  std::vector<Sample> m_coarseSamples;
  // Unknown pixels counted over m_countArea, as a summed-area table of
  // (width + 1) x (height + 1) entries.
  std::vector<std::int32_t> m_unknownSums;
  std::int32_t m_countX0 = 0, m_countY0 = 0, m_countWidth = 0, m_countHeight = 0;
};
