#pragma once
// The marching ants of the edit canvas: the selection's edge sampled at
// display resolution, drawn as diagonal bands of four pixels, white and
// black, that move by one pixel at every drawing.

#include <cstdint>

#include "platform/Rect.h"

struct CBgraImage;
struct CPlane8;

// Samples the selection over the source rectangle at width x height (display
// pixel (j, i) reads document pixel (truncate(j / zoom + 0.5) + source.left,
// truncate(i / zoom + 0.5) + source.top), held inside the plane) and marks
// the edge: 1 where the sample is at least e / 2 and the pixel lies on the
// border or beside a sample below e / 2, e being the plane's largest value.
// Returns e; with e at most 1 (no selection worth ants) the outline is
// emptied. The outline is also empty when memory is short.
std::uint32_t BuildSelectionOutline(const CPlane8& selection, const Rect& source, double zoom,
                                    std::uint32_t width, std::uint32_t height, CPlane8& outline);

// Draws the outline onto the surface with its top-left corner at the image
// rectangle's, each marked pixel blended by alpha toward white where
// ((i + j + n mod 8) / 4) is even and toward black elsewhere, n counting the
// calls of the whole process. Nothing is drawn unless the outline has the
// image rectangle's size.
void DrawSelectionOutline(CBgraImage& surface, const CPlane8& outline, std::uint32_t alpha,
                          const Rect& image);

// The number of DrawSelectionOutline calls so far.
std::uint32_t SelectionOutlineCalls();
