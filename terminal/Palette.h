// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The 256 colours that terminal codes name by number: 16 named colours
// chosen to read well on a light background, a 6×6×6 cube and a grey ramp.

#include <cstdint>

inline int32_t PaletteColour(long Index) {
    static constexpr int32_t kNamed[16] = {0x000000, 0xBB0000, 0x008700, 0x967000, 0x0000CC, 0xAA00AA,
                                           0x00878F, 0x8A8A8A, 0x555555, 0xE02828, 0x00AA00, 0xB48C00,
                                           0x3C3CFF, 0xD200D2, 0x00A0B4, 0x6E6E6E};
    if (Index < 16) return kNamed[Index];
    if (Index < 232) {
        static constexpr int32_t kLevels[6] = {0, 95, 135, 175, 215, 255};
        const long cube = Index - 16;
        return kLevels[cube / 36] << 16 | kLevels[cube / 6 % 6] << 8 | kLevels[cube % 6];
    }
    const int32_t grey = 8 + static_cast<int32_t>(Index - 232) * 10;
    return grey << 16 | grey << 8 | grey;
}
