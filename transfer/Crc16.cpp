// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/Crc16.h"

#include <array>

namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        auto crc = static_cast<uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
        table[byte] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

}  // namespace

uint16_t Crc16(const void* Data, std::size_t Size, uint16_t Crc) {
    const auto* bytes = static_cast<const uint8_t*>(Data);
    for (std::size_t i = 0; i < Size; ++i) Crc = static_cast<uint16_t>(Crc << 8) ^ kTable[(Crc >> 8) ^ bytes[i]];
    return Crc;
}
