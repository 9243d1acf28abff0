// SPDX-License-Identifier: GPL-3.0-or-later
// Commands with escapes, control-character names and hex.

#include <gtest/gtest.h>

#include "serial/OrvelSerialPort.h"
#include "transfer/CommandText.h"

namespace {

struct TGood {
    const char16_t* Typed;
    TCommandMode Mode;
    AnsiString Bytes;
};

const TGood kGood[] = {
    {u"AT\\r\\n", cmText, "AT\\r\\n"},
    {u"<STX>", cmText, "<STX>"},
    {u"a\\r\\n\\t\\\\\\0b", cmEscapes, AnsiString("a\r\n\t\\\0b", 7)},
    {u"\\x02\\xfF\\x41", cmEscapes, "\x02\xff\x41"},
    {u"<STX>data<ETX><cr><esc>", cmEscapes, "\x02" "data\x03\r\x1b"},
    {u"a < b <> c <x", cmEscapes, "a < b <> c <x"},
    {u"02 41 0D", cmHex, "\x02\x41\r"},
    {u"02410d ff", cmHex, "\x02\x41\r\xff"},
    {u"  00  ", cmHex, AnsiString(1, '\0')},
    {u"", cmHex, ""},
};

TEST(CommandText, EncodesEachModeAsTyped) {
    for (const TGood& good : kGood)
        EXPECT_EQ(EncodeCommand(good.Typed, good.Mode), good.Bytes) << UnicodeToAnsi(good.Typed);
    // Text between escapes goes out in the code page.
    EXPECT_EQ(EncodeCommand(u"grüße\\n", cmEscapes), UnicodeToAnsi(u"grüße") + "\n");
}

// Every name that received data shows is read back as its byte.
TEST(CommandText, NamesShownForReceivedBytesAreTheNamesCommandsTake) {
    for (int byte = 0; byte < 32; ++byte) {
        const AnsiString raw(1, static_cast<char>(byte));
        const AnsiString shown = TOrvelSerialPort::ReplaceControlChars(raw);
        EXPECT_EQ(EncodeCommand(AnsiToUnicode(shown), cmEscapes), raw) << shown;
    }
}

struct TBad {
    const char16_t* Typed;
    TCommandMode Mode;
    std::size_t Position;
    const char* Says;
};

const TBad kBad[] = {
    {u"02 4", cmHex, 4, "the hex digit '4' has no partner"},
    {u"02 4 1", cmHex, 4, "the hex digit '4' has no partner"},
    {u"0G", cmHex, 1, "the hex digit '0' has no partner"},
    {u"zz", cmHex, 1, "'z' is not a hex digit"},
    {u"ab\\x", cmEscapes, 3, "\\x needs two hex digits"},
    {u"\\x4g", cmEscapes, 1, "\\x needs two hex digits"},
    {u"ok<STY>", cmEscapes, 3, "<STY> is not the name of a control character"},
    {u"\\q", cmEscapes, 1, "\\q is not an escape"},
    {u"end\\", cmEscapes, 4, "a \\ ends the command"},
};

TEST(CommandText, BadInputNamesThePlace) {
    for (const TBad& bad : kBad) {
        try {
            EncodeCommand(bad.Typed, bad.Mode);
            ADD_FAILURE() << UnicodeToAnsi(bad.Typed) << " was taken";
        } catch (const ECommandText& e) {
            EXPECT_EQ(e.Position(), bad.Position) << e.what();
            EXPECT_NE(e.Message().find(bad.Says), AnsiString::npos) << e.what();
            EXPECT_NE(e.Message().find("at character " + IntToStr(static_cast<int64_t>(bad.Position))), AnsiString::npos)
                << e.what();
        }
    }
}

TEST(CommandText, LineEndingsAndHexEcho) {
    EXPECT_EQ(LineEndingBytes(leCR), "\r");
    EXPECT_EQ(LineEndingBytes(leLF), "\n");
    EXPECT_EQ(LineEndingBytes(leCRLF), "\r\n");
    EXPECT_EQ(HexText(AnsiString("\x02\x41\r\xff\0", 5)), "02 41 0D FF 00");
    EXPECT_EQ(HexText(""), "");
}

}  // namespace
