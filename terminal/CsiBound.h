// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// libvterm 0.1.4 stores every argument of a CSI without a bound, so a long
// run of ';' or ':' writes past its array. This follows what the parser is
// given, as far as telling a CSI goes, and holds back the separators past
// kMaxArguments: a CSI then carries its first arguments only.

#include <cstdint>

class TCsiBound {
public:
    static constexpr int kMaxArguments = 16;

    // Whether Unit, the next the parser is to get, may go to it.
    bool Pass(char16_t Unit);
    // The parser has left any sequence (it reported text or a sequence's end).
    void Reset() { FAfterEscape = FInCsi = false; }
    bool AfterEscape() const { return FAfterEscape; }
    bool InCsi() const { return FInCsi; }

private:
    bool FAfterEscape = false;  // past an ESC and what may follow it before a final byte
    bool FInCsi = false;
    int FSeparators = 0;
};

// C0 controls other than ESC, CAN and SUB, and NUL and DEL: carried out
// inside a sequence without leaving it.
inline bool StaysInSequence(char16_t Unit) {
    return (Unit < 0x20 && Unit != 0x1B && Unit != 0x18 && Unit != 0x1A) || Unit == 0x7F;
}

inline bool TCsiBound::Pass(char16_t Unit) {
    if (Unit == 0x1B) {
        FAfterEscape = true;
        FInCsi = false;
        return true;
    }
    if (Unit == 0x18 || Unit == 0x1A) {
        Reset();
        return true;
    }
    if (StaysInSequence(Unit)) return true;
    if (FAfterEscape) {
        // The parser takes '[' as CSI also after intermediate bytes, and stays after ESC on other bytes.
        if (Unit == u'[') {
            FInCsi = true;
            FSeparators = 0;
            FAfterEscape = false;
        } else if (Unit < 0x80 && !(Unit >= 0x20 && Unit <= 0x2F)) {
            FAfterEscape = false;
        }
        return true;
    }
    if (!FInCsi) return true;
    if (Unit == u';' || Unit == u':') return ++FSeparators < kMaxArguments;
    if (Unit < 0x20 || Unit > 0x3F) FInCsi = false;
    return true;
}
