// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A drawing surface over a plain 32-bit pixel buffer, with the platform's
// rules: rectangles fill Left..Right-1 by Top..Bottom-1, lines and polylines
// never paint their final point, everything is clipped at the buffer's edge.
// Being Qt-free, every pixel a control paints can be checked without a display.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "toolkit/core/Graphics.h"

// The platform's current RGB value for a system colour index (COLOR_BTNFACE…).
TColor GetSysColor(int Index);

// Where GetSysColor gets its values: the real call on Windows, a fixed table
// elsewhere until the windowing layer installs the palette of the running
// program. Tests install fixed values. Returns the provider it replaces.
using TSysColorProvider = std::function<TColor(int Index)>;
TSysColorProvider SetSysColorProvider(TSysColorProvider Provider);

// The colours of the fixed table (white face, grey shadow, black text).
TColor DefaultSysColor(int Index);

// A colour as RGB: system colours resolved now, the top byte of others dropped.
TColor ColorToRGB(TColor Color);

class TPen {
public:
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value) { FColor = Value; }
    // Lines are Width pixels thick; below 1 counts as 1.
    int32_t GetWidth() const { return FWidth; }
    void SetWidth(int32_t Value) { FWidth = Value; }

private:
    TColor FColor = clBlack;
    int32_t FWidth = 1;
};

// Always solid.
class TBrush {
public:
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value) { FColor = Value; }

private:
    TColor FColor = clWhite;
};

class TCanvas {
public:
    TCanvas() = default;
    TCanvas(int32_t AWidth, int32_t AHeight) { SetSize(AWidth, AHeight); }

    // Negative sizes count as 0. A new size starts all white.
    void SetSize(int32_t AWidth, int32_t AHeight);
    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }

    TPen& Pen() { return FPen; }
    const TPen& Pen() const { return FPen; }
    TBrush& Brush() { return FBrush; }
    const TBrush& Brush() const { return FBrush; }

    // Fills Left..Right-1 by Top..Bottom-1 with the brush; nothing when inverted.
    void FillRect(const TRect& Rect);
    // The pen position for LineTo.
    void MoveTo(int32_t X, int32_t Y);
    TPoint PenPos() const { return FPenPos; }
    // A line from the pen position to (X, Y) without its final point; the pen
    // moves to (X, Y).
    void LineTo(int32_t X, int32_t Y);
    // Lines through the points, the last point not painted; the pen position
    // is left alone.
    void Polyline(std::span<const TPoint> Points);

    // The RGB colour of a pixel, or -1 outside the buffer.
    TColor Pixels(int32_t X, int32_t Y) const;
    // Row-major, one 0xFFRRGGBB word per pixel, Width() words per row.
    const uint32_t* Bits() const { return FPixels.data(); }

private:
    void Line(TPoint From, TPoint To);
    void Plot(int64_t X, int64_t Y, uint32_t Pixel);
    void FillClipped(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom, uint32_t Pixel);

    int32_t FWidth = 0;
    int32_t FHeight = 0;
    std::vector<uint32_t> FPixels;
    TPen FPen;
    TBrush FBrush;
    TPoint FPenPos;
};
