#pragma once
// The document side of the after-matting choices: what happens to the edit
// page's document once the user picked how to use a cut-out (the result of
// a mask page: the layer's image with the matte as its 16-bit alpha). The
// main window asks, records the history steps and selects the pages;
// these only change documents and images. Every operation leaves its
// document as it was when it fails or the sizes do not fit.

#include <cstdint>
#include <string_view>

class CBFDoc;
struct CBgraImage16;
struct CPlane8;

// The ids the after-matting dialog answers with.
enum AfterMattingId : std::int32_t {
  kMatDelete = 10,       // the current layer becomes the cut-out
  kMatSeparate = 11,     // the current layer keeps the background, the cut-out goes on top
  kMatDuplicate = 12,    // the cut-out goes on top, the current layer stays
  kMatChangeBack = 101,  // the cut-out goes on a new background photo
  kMatBlurBack = 102,    // as 12, the source filled in under the matte, then the lens blur
};

// An 8-bit plane of the result's size holding the high byte of every alpha.
[[nodiscard]] int MakeMattePlane(const CBgraImage16& result, CPlane8& matte);

// Choice 10: the current layer's image becomes a copy of the result, cut to
// its content. 0 without a current layer, for a result of another width or
// height, or when memory runs out.
[[nodiscard]] int CutOutCurrentLayer(CBFDoc& document, const CBgraImage16& result);

// Choices 11 and 12: the result becomes a new layer named name on top, at the
// current (source) layer's position and cut to its content; with separate,
// the source layer's alpha becomes the inverse of the result's. The source
// layer stays current in the document's list (its index is returned through
// sourceIndex); the new layer is current afterwards. 0 as for
// CutOutCurrentLayer, or when the layer cannot be added.
[[nodiscard]] int AddMatteLayer(CBFDoc& document, const CBgraImage16& result, bool separate,
                                std::u16string_view name, int& sourceIndex);

// Choice 101: background holds the new background photo; the result is added
// as a layer named name (centred on it), and with maskAsSelection the
// document gets a selection of its size holding, inside the new layer's
// rectangle, the high byte of the layer's alpha (0 elsewhere).
[[nodiscard]] int PutOnBackground(CBFDoc& background, const CBgraImage16& result, std::u16string_view name,
                                  bool maskAsSelection);

// Choice 102: fills the layer image in under the matte (widened by 2
// pixels) from the rest of it. 0, image unchanged, when the sizes differ or
// the fill fails.
[[nodiscard]] int InpaintUnderMatte(CBgraImage16& layerImage, const CPlane8& matte);
