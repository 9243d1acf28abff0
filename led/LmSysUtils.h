// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Geometry and drawing helpers of the LED library: rectangle sizes, colour
// resolution, banded gradients and 3D rings. Stateless; Qt-free.

#include <cstdint>

#include "toolkit/core/Canvas.h"
#include "toolkit/core/Graphics.h"

// Gradient directions of DrawGradientExt.
constexpr int32_t GRADIENT_UPDOWN = 1;          // rows, start colour at the top
constexpr int32_t GRADIENT_LEFTRIGHT = 2;       // columns, start colour at the left
constexpr int32_t GRADIENT_CHORD1 = 3;          // diagonals from the top edge to the left edge
constexpr int32_t GRADIENT_CHORD2 = 4;          // diagonals from the left edge to the bottom edge
constexpr int32_t GRADIENT_UPDOWN_HALF = 5;     // rows, end colour in the middle
constexpr int32_t GRADIENT_LEFTRIGHT_HALF = 6;  // columns, end colour in the middle

int32_t WidthOf(const TRect& R);
int32_t HeightOf(const TRect& R);
bool CompareRect(const TRect& R1, const TRect& R2);

// System colours become their current RGB value; other colours come back unchanged.
int32_t Color2RGB(TColor Color);
// The red, green and blue bytes of a colour; the top byte is ignored.
void GetRGB(TColor Color, uint8_t& R, uint8_t& G, uint8_t& B);

// Paints Rect in bands ColorWidth pixels thick (below 1 counts as 1), going
// from StartColor toward EndColor. The last band may reach past the rectangle;
// the chord directions use the canvas's own coordinates. Any direction other
// than the GRADIENT_ constants paints nothing.
void DrawGradientExt(TCanvas& Canvas, const TRect& Rect, TColor StartColor, TColor EndColor, int32_t Direction,
                     int32_t ColorWidth);

// Paints Width nested one-pixel rings along the inside of Rect, top and left
// in TopColor, bottom and right in BottomColor (which owns the top-right and
// bottom-left corners), and shrinks Rect by Width on every side.
void DrawFrame3D(TCanvas& Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int32_t Width);

// Rect moved inward by By pixels on every side (outward for a negative By),
// held within the 32-bit range.
TRect ShrinkRect(const TRect& Rect, int64_t By);
