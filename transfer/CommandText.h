// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a typed command sends: its text as it stands, with escapes and
// control-character names read, or as pairs of hex digits; and the line
// ending that may follow it.

#include <cstdint>

#include "toolkit/core/SysUtils.h"

enum TCommandMode : uint8_t { cmText, cmEscapes, cmHex };
enum TLineEnding : uint8_t { leCR, leLF, leCRLF };

// Bad input; the message names the character (counted from 1) where it is.
class ECommandText : public Exception {
public:
    ECommandText(std::size_t Position, const AnsiString& Problem);
    std::size_t Position() const { return FPosition; }

private:
    std::size_t FPosition;
};

// The bytes Text stands for in Mode; raises ECommandText on bad input.
AnsiString EncodeCommand(const UnicodeString& Text, TCommandMode Mode);
AnsiString LineEndingBytes(TLineEnding Ending);
// "02 41 0D"
AnsiString HexText(const AnsiString& Bytes);
