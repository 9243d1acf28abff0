// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The names of bytes 0–31 as received data shows them ("<STX>"), and the way
// back from a name to its byte for commands that use them.

#include <cstdint>
#include <optional>
#include <string_view>

// "<STX>" for 2; null above 31.
const char* ControlCharName(uint8_t Byte);
// The byte a name stands for, with or without its angle brackets, in any case.
std::optional<uint8_t> ControlCharByName(std::string_view Name);
