// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/core/Graphics.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<TColor, const char*>, 22> kColorNames{{
    {clBlack, "clBlack"},         {clMaroon, "clMaroon"},       {clGreen, "clGreen"},
    {clOlive, "clOlive"},         {clNavy, "clNavy"},           {clPurple, "clPurple"},
    {clTeal, "clTeal"},           {clGray, "clGray"},           {clSilver, "clSilver"},
    {clRed, "clRed"},             {clLime, "clLime"},           {clYellow, "clYellow"},
    {clBlue, "clBlue"},           {clFuchsia, "clFuchsia"},     {clAqua, "clAqua"},
    {clWhite, "clWhite"},         {clWindow, "clWindow"},       {clWindowText, "clWindowText"},
    {clBtnFace, "clBtnFace"},     {clBtnShadow, "clBtnShadow"}, {clBtnText, "clBtnText"},
    {clBtnHighlight, "clBtnHighlight"},
}};

}  // namespace

std::optional<std::string> ColorToIdent(TColor Color) {
    for (const auto& [color, name] : kColorNames)
        if (color == Color) return name;
    return std::nullopt;
}

std::optional<TColor> IdentToColor(const std::string& Ident) {
    for (const auto& [color, name] : kColorNames)
        if (Ident == name) return color;
    return std::nullopt;
}
