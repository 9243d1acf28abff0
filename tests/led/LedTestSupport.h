// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared by the LED tests: fixed system colours and canvases as pictures.

#include <map>
#include <string>
#include <vector>

#include "toolkit/core/Canvas.h"

constexpr TColor RGB(int R, int G, int B) { return R | (G << 8) | (B << 16); }

// Distinct values, so a mixed-up system colour shows.
constexpr TColor kFace = RGB(200, 201, 202);
constexpr TColor kShadow = RGB(100, 101, 102);
constexpr TColor kHighlight = RGB(250, 251, 252);
constexpr TColor kWindowText = RGB(1, 2, 3);

// Installs the values above for the lifetime of the object.
class TFixedSysColors {
public:
    TFixedSysColors() : FPrevious(SetSysColorProvider(Lookup)) {}
    ~TFixedSysColors() { SetSysColorProvider(std::move(FPrevious)); }
    TFixedSysColors(const TFixedSysColors&) = delete;
    TFixedSysColors& operator=(const TFixedSysColors&) = delete;

private:
    static TColor Lookup(int Index) {
        switch (Index) {
            case COLOR_BTNFACE: return kFace;
            case COLOR_BTNSHADOW: return kShadow;
            case COLOR_BTNHIGHLIGHT: return kHighlight;
            case COLOR_WINDOWTEXT: return kWindowText;
            default: return RGB(9, 9, 9);
        }
    }
    TSysColorProvider FPrevious;
};

// The canvas as text, one character per pixel ('?' for a colour not in Legend).
inline std::vector<std::string> Picture(const TCanvas& Canvas, const std::map<TColor, char>& Legend) {
    std::vector<std::string> rows;
    for (int y = 0; y < Canvas.Height(); ++y) {
        std::string row;
        for (int x = 0; x < Canvas.Width(); ++x) {
            const auto it = Legend.find(Canvas.Pixels(x, y));
            row += it == Legend.end() ? '?' : it->second;
        }
        rows.push_back(row);
    }
    return rows;
}

// A canvas filled with one colour.
inline TCanvas Filled(int Width, int Height, TColor Color) {
    TCanvas canvas(Width, Height);
    canvas.Brush().SetColor(Color);
    canvas.FillRect({0, 0, Width, Height});
    return canvas;
}
