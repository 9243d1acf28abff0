// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/ControlNames.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::size_t kNamed = 32;

const char* const kControlNames[kNamed] = {
    "<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACK>", "<BEL>", "<BS>",  "<TAB>", "<LF>",
    "<VT>",  "<FF>",  "<CR>",  "<SO>",  "<SI>",  "<DLE>", "<DC1>", "<DC2>", "<DC3>", "<DC4>", "<NAK>",
    "<SYN>", "<ETB>", "<CAN>", "<EM>",  "<SUB>", "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<US>"};

bool SameLetters(std::string_view A, std::string_view B) {
    return std::equal(A.begin(), A.end(), B.begin(), B.end(), [](char X, char Y) {
        return std::toupper(static_cast<unsigned char>(X)) == std::toupper(static_cast<unsigned char>(Y));
    });
}

}  // namespace

const char* ControlCharName(uint8_t Byte) { return Byte < kNamed ? kControlNames[Byte] : nullptr; }

std::optional<uint8_t> ControlCharByName(std::string_view Name) {
    if (Name.size() >= 2 && Name.front() == '<' && Name.back() == '>') Name = Name.substr(1, Name.size() - 2);
    for (std::size_t byte = 0; byte < kNamed; ++byte) {
        const std::string_view bracketed = kControlNames[byte];
        if (SameLetters(bracketed.substr(1, bracketed.size() - 2), Name)) return static_cast<uint8_t>(byte);
    }
    return std::nullopt;
}
