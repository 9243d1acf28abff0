// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Colours and rectangles shared by the drawing code and the form file.

#include <cstdint>
#include <optional>
#include <string>

// Non-negative: red + green*256 + blue*65536. Negative: a system colour whose
// low byte is the system's colour index, resolved when drawing.
using TColor = int32_t;

constexpr TColor SystemColor(int Index) { return static_cast<TColor>(0x80000000u | static_cast<uint32_t>(Index)); }

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;

// System colour indexes, as the platform numbers them.
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_BTNHIGHLIGHT = 20;

constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);

// The name of a colour that has one ("clGreen"), and back.
std::optional<std::string> ColorToIdent(TColor Color);
std::optional<TColor> IdentToColor(const std::string& Ident);

struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;   // exclusive
    int32_t Bottom = 0;  // exclusive
    friend bool operator==(const TRect&, const TRect&) = default;
};

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

inline TRect Rect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) { return {Left, Top, Right, Bottom}; }
