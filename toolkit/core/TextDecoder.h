// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Received bytes as text in the system's code page. A block may end inside a
// character of UTF-8; its first bytes wait for the rest.

#include "toolkit/core/SysUtils.h"

class TTextDecoder {
public:
    UnicodeString Decode(const AnsiString& Bytes);
    // Forgets a character that was waiting for its rest.
    void Reset() { FPartialCharacter.clear(); }

private:
    AnsiString FPartialCharacter;
};
