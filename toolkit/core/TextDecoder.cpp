// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/core/TextDecoder.h"

namespace {

// How many bytes at the end of Bytes start a UTF-8 character that is not complete yet.
std::size_t IncompleteUtf8Tail(const AnsiString& Bytes) {
    for (std::size_t back = 1; back <= 3 && back <= Bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(Bytes[Bytes.size() - back]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const std::size_t length = byte >= 0xF0 && byte <= 0xF4 ? 4 : byte >= 0xE0 && byte <= 0xEF ? 3
                                   : byte >= 0xC2 && byte <= 0xDF                                  ? 2
                                                                                                   : 1;
        return length > back ? back : 0;
    }
    return 0;
}

}  // namespace

UnicodeString TTextDecoder::Decode(const AnsiString& Bytes) {
    AnsiString bytes = FPartialCharacter.empty() ? Bytes : FPartialCharacter + Bytes;
    const std::size_t partial = AnsiCodePageIsUtf8() ? IncompleteUtf8Tail(bytes) : 0;
    FPartialCharacter = bytes.substr(bytes.size() - partial);
    bytes.resize(bytes.size() - partial);
    return AnsiToUnicode(bytes);
}
