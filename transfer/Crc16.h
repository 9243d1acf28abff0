// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CRC-16 of XMODEM and YMODEM blocks: polynomial 0x1021, starting at 0.

#include <cstddef>
#include <cstdint>

uint16_t Crc16(const void* Data, std::size_t Size, uint16_t Crc = 0);
