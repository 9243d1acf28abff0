// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/CommandText.h"

#include <optional>

#include "serial/ControlNames.h"

namespace {

// The longest name between the brackets ("<NUL>"), with room to spare.
constexpr std::size_t kLongestName = 8;

std::optional<uint8_t> HexDigit(char16_t Unit) {
    if (Unit >= u'0' && Unit <= u'9') return static_cast<uint8_t>(Unit - u'0');
    if (Unit >= u'a' && Unit <= u'f') return static_cast<uint8_t>(Unit - u'a' + 10);
    if (Unit >= u'A' && Unit <= u'F') return static_cast<uint8_t>(Unit - u'A' + 10);
    return std::nullopt;
}

bool IsNameUnit(char16_t Unit) {
    return (Unit >= u'A' && Unit <= u'Z') || (Unit >= u'a' && Unit <= u'z') || (Unit >= u'0' && Unit <= u'9');
}

AnsiString Shown(char16_t Unit) { return UnicodeToAnsi(UnicodeString(1, Unit)); }

// Reads escapes and names from left to right; plain text between them goes
// out in the code page.
class TEscapeReader {
public:
    explicit TEscapeReader(const UnicodeString& Text) : FText(Text) {}

    AnsiString Read() {
        while (FAt < FText.size()) {
            const char16_t unit = FText[FAt];
            if (unit == u'\\')
                ReadEscape();
            else if (unit == u'<' && NameLength() > 0)
                ReadName();
            else
                FLiteral += FText[FAt++];
        }
        Flush();
        return FBytes;
    }

private:
    void Flush() {
        FBytes += UnicodeToAnsi(FLiteral);
        FLiteral.clear();
    }
    void Put(uint8_t Byte) {
        Flush();
        FBytes += static_cast<char>(Byte);
    }

    void ReadEscape() {
        const std::size_t start = FAt;
        const char16_t kind = FAt + 1 < FText.size() ? FText[FAt + 1] : u'\0';
        FAt += 2;
        switch (kind) {
            case u'r': return Put('\r');
            case u'n': return Put('\n');
            case u't': return Put('\t');
            case u'\\': return Put('\\');
            case u'0': return Put(0);
            case u'x': return ReadHexEscape(start);
            case u'\0': throw ECommandText(start + 1, "a \\ ends the command; write \\\\ for the character itself");
            default: throw ECommandText(start + 1, "\\" + Shown(kind) + " is not an escape");
        }
    }

    void ReadHexEscape(std::size_t Start) {
        const auto high = FAt < FText.size() ? HexDigit(FText[FAt]) : std::nullopt;
        const auto low = FAt + 1 < FText.size() ? HexDigit(FText[FAt + 1]) : std::nullopt;
        if (!high || !low) throw ECommandText(Start + 1, "\\x needs two hex digits");
        FAt += 2;
        Put(static_cast<uint8_t>(*high << 4 | *low));
    }

    // Letters and digits between '<' here and a '>'; 0 when it is no name.
    std::size_t NameLength() const {
        std::size_t length = 0;
        while (FAt + 1 + length < FText.size() && length <= kLongestName && IsNameUnit(FText[FAt + 1 + length]))
            ++length;
        const std::size_t close = FAt + 1 + length;
        return length > 0 && close < FText.size() && FText[close] == u'>' ? length : 0;
    }

    void ReadName() {
        const std::size_t length = NameLength();
        const AnsiString name = UnicodeToAnsi(FText.substr(FAt + 1, length));
        const auto byte = ControlCharByName(name);
        if (!byte) throw ECommandText(FAt + 1, "<" + name + "> is not the name of a control character");
        FAt += length + 2;
        Put(*byte);
    }

    const UnicodeString& FText;
    std::size_t FAt = 0;
    UnicodeString FLiteral;
    AnsiString FBytes;
};

AnsiString ReadHex(const UnicodeString& Text) {
    AnsiString bytes;
    for (std::size_t at = 0; at < Text.size();) {
        if (Text[at] == u' ') {
            ++at;
            continue;
        }
        const auto high = HexDigit(Text[at]);
        if (!high) throw ECommandText(at + 1, "'" + Shown(Text[at]) + "' is not a hex digit");
        const auto low = at + 1 < Text.size() ? HexDigit(Text[at + 1]) : std::nullopt;
        if (!low) throw ECommandText(at + 1, "the hex digit '" + Shown(Text[at]) + "' has no partner");
        bytes += static_cast<char>(*high << 4 | *low);
        at += 2;
    }
    return bytes;
}

}  // namespace

ECommandText::ECommandText(std::size_t Position, const AnsiString& Problem)
    : Exception("Nothing was sent: at character " + IntToStr(static_cast<int64_t>(Position)) + ", " + Problem + "."),
      FPosition(Position) {}

AnsiString EncodeCommand(const UnicodeString& Text, TCommandMode Mode) {
    switch (Mode) {
        case cmEscapes: return TEscapeReader(Text).Read();
        case cmHex: return ReadHex(Text);
        default: return UnicodeToAnsi(Text);
    }
}

AnsiString LineEndingBytes(TLineEnding Ending) {
    switch (Ending) {
        case leLF: return "\n";
        case leCRLF: return "\r\n";
        default: return "\r";
    }
}

AnsiString HexText(const AnsiString& Bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    AnsiString text;
    text.reserve(Bytes.size() * 3);
    for (const char c : Bytes) {
        if (!text.empty()) text += ' ';
        const auto byte = static_cast<uint8_t>(c);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}
