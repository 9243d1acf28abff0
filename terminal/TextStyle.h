// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a run of received text is drawn: its colours and attributes.

#include <cstdint>

struct TTextStyle {
    // A colour is 0xRRGGBB, or kDefaultColour for the area's own.
    static constexpr int32_t kDefaultColour = -1;
    enum TAttribute : uint8_t {
        atBold = 1,
        atFaint = 2,
        atItalic = 4,
        atUnderline = 8,
        atReverse = 16,
    };

    int32_t Foreground = kDefaultColour;
    int32_t Background = kDefaultColour;
    uint8_t Attributes = 0;

    bool Has(TAttribute Attribute) const { return (Attributes & Attribute) != 0; }
    bool IsDefault() const { return *this == TTextStyle{}; }
    friend bool operator==(const TTextStyle&, const TTextStyle&) = default;
};
