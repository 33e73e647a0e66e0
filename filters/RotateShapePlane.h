#pragma once
// The rotation of an 8-bit shape (a lens aperture, a star) about its centre
// pixel (width / 2, height / 2), shared by the lens blur and the starlight.

#include "image/Plane8.h"

// out becomes a W x H plane whose pixel (j, i) samples shape at
// (dx cos a - dy sin a + W / 2, dx sin a + dy cos a + H / 2), with
// dx = j - W / 2 and dy = i - H / 2 (integer halves). The sample is bilinear
// with 8-bit fractions between a position's truncated index and its next
// index (its previous one for a position of 0 or less), every index clamped
// into the plane. 0 for an empty shape, out being shape, an angle that is not
// finite or exhausted memory.
[[nodiscard]] int RotateShapePlane(const CPlane8& shape, CPlane8& out, double angle);
