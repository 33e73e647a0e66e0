#pragma once
// CImageSize: the one resampler of the engine. It changes the pixel size of a
// 16-bit working image by one of its methods, or of a whole layered document
// (every layer, the selection and the saved masks). Besides running as an
// algorithm, it is built on the stack by many callers that want a reduced or
// enlarged work copy and call one resize operation directly.
//
// Coordinates: output pixel (x, y) of a W x H result from an sw x sh source is
// sampled at (x sw / W, y sh / H), so output pixel 0 sits on source pixel 0
// (no half-pixel centring). All four channels are resampled alike.
//
// Every operation returns 1 or 0, never throws, never writes the source, and
// (re)creates the target at the size it produces. Source and target must be
// different records; a side below 1 fails. On failure the target's contents
// are unspecified.
//
// Progress: an operation that has done `done` of `total` units reports
// m_rangeLo + (m_rangeHi - m_rangeLo) done / total through SetProgress, so a
// directly called operation (both 0) reports nothing. Process sets 0 and 100.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/Algorithm.h"
#include "algorithms/geometry/ResizableDocument.h"
#include "image/BgraImage16.h"

enum ImageSizeMethod : std::int32_t {
  kSizeNearest = 1,   // "Nearest Neighbor"
  kSizeBilinear = 2,  // "Biliner"
  kSizeBicubic = 3,   // "BiCubic": ResizeSeparable with the cubic below
  kSizeAdvanced = 4,  // "Advanced"
  kSizeDouble = 5,    // "ISX2": twice the source, width and height not read
};

// The cubic every caller of ResizeSeparable passes.
inline constexpr float kCubicB = 0.33f;
inline constexpr float kCubicC = 0.73f;

// The parameter block: stored in history steps (type 12, "hisIS") and in
// automation schemes, 48 bytes little-endian.
struct ImageSizeParams {
  std::uint16_t size = 48;
  std::uint8_t reserved0[2] = {};
  std::int32_t width = 0;   // target width in pixels
  std::int32_t height = 0;  // target height in pixels
  std::int32_t method = 0;  // an ImageSizeMethod; the dialog starts with 4
  // In memory the document to resize, null to resize m_source into
  // m_target. Its stored bytes mean nothing: a reader sets it to null.
  IResizableDocument* document = nullptr;
  std::int32_t clearEdge = 1;  // 0 or 1; method 4 enlarging
  std::int32_t detail = 100;   // 0 to 100; method 4 reducing
  std::int32_t sharpness = 0;  // 0 to 100; method 4 reducing
  std::uint8_t reserved1[4] = {};
  std::int32_t fitMode = 0;  // read only by the automation runner (ApplyFitMode)
  std::uint8_t reserved2[4] = {};
};
static_assert(sizeof(void*) == 8, "the block keeps the document reference in 8 bytes");
static_assert(sizeof(ImageSizeParams) == 48);
static_assert(offsetof(ImageSizeParams, width) == 4);
static_assert(offsetof(ImageSizeParams, height) == 8);
static_assert(offsetof(ImageSizeParams, method) == 12);
static_assert(offsetof(ImageSizeParams, document) == 16);
static_assert(offsetof(ImageSizeParams, clearEdge) == 24);
static_assert(offsetof(ImageSizeParams, detail) == 28);
static_assert(offsetof(ImageSizeParams, sharpness) == 32);
static_assert(offsetof(ImageSizeParams, reserved1) == 36);
static_assert(offsetof(ImageSizeParams, fitMode) == 40);
static_assert(offsetof(ImageSizeParams, reserved2) == 44);

// The one place a block is made safe: clearEdge becomes 0 or 1, detail and
// sharpness are held to 0..100. Width, height and method are checked by the
// operations that read them (a side below 1 or an unknown method fails).
void ValidateImageSizeParams(ImageSizeParams& block);
// The stored record, field by field; reserved bytes and the document
// reference are written as 0.
std::array<std::uint8_t, sizeof(ImageSizeParams)> ImageSizeParamsToBytes(const ImageSizeParams& block);
// Reads a stored record as the automation runner does: a fresh block (size
// 48, clearEdge 1, detail 100) overlaid with as many stored bytes as the
// record's size word says (at most 48), the document reference cleared, then
// validated. 0 (block untouched) when fewer bytes are given than that.
[[nodiscard]] int ImageSizeParamsFromBytes(std::span<const std::uint8_t> bytes, ImageSizeParams& block);

// The automation runner's fit of the stored width W and height H to an image
// of sw x sh (quotients truncated): 1 width W and the height in proportion;
// 2 height H and the width in proportion; 3 the longer side of the image
// becomes max(W, H); 4 width W H W / (sw sh) and height W H H / (sw sh);
// any other mode keeps W and H. Mode 0 fails (the step does not resize), as
// does an empty image, a size the mode reads below 1 or a result outside
// 1..INT32_MAX; the block is then unchanged.
[[nodiscard]] int ApplyFitMode(ImageSizeParams& block, std::uint32_t sw, std::uint32_t sh);

// The weighted sum of 25 bilinear samples around output pixel (x, y) of a
// W x H result from src: kernel[5j + i] weighs the sample at
// ((x + (i - 2) step) sw / W, (y + (j - 2) step) sh / H). Sums are double per
// channel, each rounded (trunc(sum + 0.5)) and clamped to 0..65535.
void SampleKernel5x5(const CBgraImage16& src, std::uint32_t x, std::uint32_t y, std::uint32_t w,
                     std::uint32_t h, std::span<const double, 25> kernel, double step,
                     std::span<std::uint16_t, 4> out);

// The 5 x 5 weights of the advanced reduction at a sharpness s (0..100):
// with b = s / 60 x 0.03125 and e = (s / 60 + 1) / 9, rows 0 and 4 are
// -b -2b -3b -2b -b, rows 1 and 3 -2b e e e -2b, row 2 -3b e e e -3b. They
// sum to 1; s = 0 is the plain mean of the inner 3 x 3.
void BuildSharpenKernel5x5(std::int32_t sharpness, std::span<double, 25> kernel);

class CImageSize : public CAlgorithm {
public:
  CImageSize() = default;
  ~CImageSize() override = default;

  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is), sets the progress range to 0..100, then resizes
  // m_source into m_target by the block's method, or the block's document
  // (m_source and m_target unused).
  //
  // The whole-document resize scales the base layer to exactly width x
  // height and every other layer and saved mask by the same factors (sides
  // rounded, at least 1; positions scaled and truncated toward zero, so -3
  // at 0.6 becomes -1), and the selection to the new size. All parts are
  // built aside and taken by the document together at the end: a failure, a
  // cancel of the algorithm thread's job (seen after each layer) or an
  // unknown method leaves the document exactly as it was and gives 0. A
  // document already of that size is left alone and gives 1.
  [[nodiscard]] int Process() override;

  // The operation of m_block.method; method 5 ignores w and h.
  [[nodiscard]] int ResizeByMethod(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w,
                                   std::int32_t h);

  // Method 1: dst(x, y) = src(x sw / W, y sh / H). Progress every 40 rows.
  [[nodiscard]] int ResizeNearest(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w, std::int32_t h);
  // Method 2: bilinear interpolation with 8-bit fractions when both sides
  // grow, otherwise ResizeSupersample.
  [[nodiscard]] int ResizeBilinear(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w,
                                   std::int32_t h);
  // Rows [rowStart, rowEnd) of ResizeBilinear's enlargement of src to
  // width x height (both sides larger than src's), made into rows (row 0
  // being rowStart): the same pixels, for callers that need a few rows at a
  // time. 0 for sides that do not grow, an empty or reversed range, rows
  // being src, or exhausted memory.
  [[nodiscard]] static int EnlargeBilinearRows(const CBgraImage16& src, std::uint32_t width,
                                               std::uint32_t height, std::uint32_t rowStart,
                                               std::uint32_t rowEnd, CBgraImage16& rows);
  // The mean of the nine bilinear samples half an output pixel around each
  // output pixel (so an unchanged size still softens). Progress every 40
  // rows, at rows 10, 50, ...; there, unless m_rangeLo is -1 (no progress,
  // no cancel test), a cancel of the algorithm thread's job stops the loop:
  // the rows not computed are left zero and the result is still 1.
  [[nodiscard]] int ResizeSupersample(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w,
                                      std::int32_t h);
  // Method 3 with b = kCubicB and c = kCubicC: the separable cubic resize
  // (CSeparableResize in SeparableResize.h), a pass down the columns and one
  // along the rows, made band by band on the helper threads. Progress by
  // finished stripes through the range, then its end; no cancel test (the
  // result is always whole).
  [[nodiscard]] int ResizeSeparable(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w,
                                    std::int32_t h, float b, float c);

  // Method 4, by the scale, with rx = w / sw, ry = h / sh, d = max(rx, ry):
  // - the same size: a copy;
  // - d > 1: the edge-directed triple-size enlargement (CX3Enlarge, only its
  //   smoothing stage, when clearEdge is 0) in bands of 100 source rows,
  //   each band read with 3 rows of context above and below (edge rows
  //   repeated) and 3 opaque white columns each side, enlarged, cut to the
  //   band proper and brought to the target width and its share of the
  //   target rows by ResizeBilinear; with clearEdge each band's edges are
  //   then steepened at strength 0.66 d + 0.33 (the filter library's,
  //   EnlargeFilters.h; without it installed this fails). A band that maps
  //   to no target row (h much below sh) fails the whole resize;
  // - d < 1 and rx > 0.5: SampleKernel5x5 with BuildSharpenKernel5x5
  //   (sharpness) at step 0.666666 - 0.00333333 detail;
  // - d < 1 and rx <= 0.5 (the width alone decides): ShrinkSmart;
  // - d = 1, one side reduced: ResizeSupersample.
  // Large pictures are made band by band on the helper threads, with the
  // result of one thread; progress then counts finished bands. When the
  // algorithm thread's job is cancelled, the enlargement's bands not yet
  // begun are left zero (the result is still 1); the reductions do not
  // test for cancel.
  [[nodiscard]] int ResizeSmart(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w, std::int32_t h);
  // The area reduction: with c = (100 - detail) / 400, output column x
  // averages source columns [(x - 0.5 - c) sw / w, (x + 0.5 + c) sw / w]
  // clamped to [0, sw - 1], each weighted by its coverage (sums in double,
  // the quotient truncated); then the rows alike. Where the box covers
  // nothing (a source of one column or row, the last output column or row
  // of an enlargement by 1.5 or more) the output takes the source pixel at
  // x sw / w. With sharpness s, every pixel off the border gains s % of its
  // difference above the [4 6 4; 6 8 6; 4 6 4] / 48 blur, or loses half of
  // s % of its difference below (B, G, R). Meant for halving or less, but
  // any size works. No cancel test.
  [[nodiscard]] int ShrinkSmart(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w, std::int32_t h);
  // Method 5: dst becomes the double-size enlargement of src (C2XEnlarge,
  // 2XEnlarge.h), nested in this object's range.
  [[nodiscard]] int ResizeDouble(const CBgraImage16& src, CBgraImage16& dst);

  std::int32_t m_rangeLo = 0;
  std::int32_t m_rangeHi = 0;
  ImageSizeParams m_block;  // the working copy of the parameter block

private:
  [[nodiscard]] int ResizeDocument(IResizableDocument& document);
  [[nodiscard]] int EnlargeInBands(const CBgraImage16& src, CBgraImage16& dst, std::uint32_t w,
                                   std::uint32_t h, double scale);
  [[nodiscard]] int ReduceByKernel(const CBgraImage16& src, CBgraImage16& dst, std::uint32_t w,
                                   std::uint32_t h);
  // done of total units of the sub-range.
  void ReportRange(std::int64_t done, std::int64_t total);
};
