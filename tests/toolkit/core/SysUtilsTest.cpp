// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "toolkit/core/Set.h"
#include "toolkit/core/SysUtils.h"

namespace {

// ---- Format -------------------------------------------------------------------

TEST(CoreFormatTest, FillsStringAndIntegerDirectivesAndPercent) {
    EXPECT_EQ(Format("%s has %d bytes, 100%%", {"COM3", 42}), "COM3 has 42 bytes, 100%");
    EXPECT_EQ(Format("%d", {std::numeric_limits<int64_t>::min()}), "-9223372036854775808");
    EXPECT_EQ(Format("[%s]", {UnicodeString(u"\u00e9")}), "[\xC3\xA9]");
    EXPECT_EQ(Format("%s", {std::string("a\0b", 3)}), std::string("a\0b", 3));
    EXPECT_EQ(Format("plain", {}), "plain");
}

TEST(CoreFormatTest, BadDirectivesAndArgumentsRaiseConvertError) {
    const std::vector<std::pair<const char*, std::function<AnsiString()>>> cases = {
        {"%x", [] { return Format("%x", {1}); }},
        {"%5d", [] { return Format("%5d", {1}); }},
        {"%d", [] { return Format("%d", {"one"}); }},
        {"%s", [] { return Format("%s", {1}); }},
        {"%s and %s", [] { return Format("%s and %s", {"a"}); }},
        {"50%", [] { return Format("50%", {}); }},
    };
    for (const auto& [fmt, call] : cases) {
        try {
            call();
            ADD_FAILURE() << fmt << ": no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("Format '") + fmt + "' invalid or incompatible with argument");
        }
    }
}

// ---- StrToInt -----------------------------------------------------------------

TEST(CoreStrToIntTest, ReadsDecimalAndHexadecimalWithLeadingBlanksAndSign) {
    const std::vector<std::pair<const char*, int32_t>> cases = {
        {"0", 0},
        {"42", 42},
        {"007", 7},
        {"-42", -42},
        {"+7", 7},
        {"  12", 12},
        {"\t\r\n-3", -3},
        {"$1F", 31},
        {"0x1f", 31},
        {"0X1F", 31},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"2147483647", std::numeric_limits<int32_t>::max()},
        {"-2147483648", std::numeric_limits<int32_t>::min()},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(StrToInt(text), value) << text;
}

TEST(CoreStrToIntTest, RefusesJunkAndOverflowNamingTheText) {
    for (const char* text : {"", " ", "-", "$", "0x", "x", "12a", "1 2", "12 ", "1.5", "$G", "2147483648",
                             "-2147483649", "$100000000", "99999999999999999999"}) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "'" << text << "' accepted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("'") + text + "' is not a valid integer value");
        }
    }
}

TEST(CoreIntToStrTest, WritesTheFull64BitRange) {
    EXPECT_EQ(IntToStr(-1), "-1");
    EXPECT_EQ(IntToStr(std::numeric_limits<int64_t>::max()), "9223372036854775807");
}

// ---- Trim ---------------------------------------------------------------------

TEST(CoreTrimTest, RemovesCodesUpTo32AtBothEndsOnly) {
    EXPECT_EQ(Trim(AnsiString("  a b \t\r\n")), "a b");
    EXPECT_EQ(Trim(AnsiString("\x01x\x1f")), "x");
    EXPECT_EQ(Trim(AnsiString(std::string("\0x\0", 3))), "x");
    EXPECT_EQ(Trim(AnsiString("   ")), "");
    EXPECT_EQ(Trim(AnsiString("\xA0x\xFF")), "\xA0x\xFF");  // high bytes are not blanks
    EXPECT_EQ(Trim(UnicodeString(u"\u0001 \u00fc \u0020")), u"\u00fc");
    EXPECT_EQ(Trim(UnicodeString(u"\u00a0x\u3000")), u"\u00a0x\u3000");
    EXPECT_EQ(Trim(UnicodeString()), u"");
}

// ---- UTF-8 and UTF-16 ---------------------------------------------------------

TEST(CoreUtf8Test, RoundTripsEveryPlane) {
    const std::string utf8 = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
    const UnicodeString utf16 = u"a\u00e9\u4e2d\U0001F600";
    EXPECT_EQ(Utf8ToUnicode(utf8), utf16);
    EXPECT_EQ(UnicodeToUtf8(utf16), utf8);
    EXPECT_EQ(AnsiToUnicode(utf8), utf16);  // the ANSI code page is UTF-8 here
    EXPECT_EQ(UnicodeToAnsi(utf16), utf8);
}

TEST(CoreUtf8Test, InvalidBytesBecomeReplacementCharacters) {
    const std::vector<std::pair<std::string, UnicodeString>> cases = {
        {"\xFF", u"\uFFFD"},
        {"\x80", u"\uFFFD"},
        {"a\xC3", u"a\uFFFD"},                              // cut short at the end
        {"\xC3(", u"\uFFFD("},                              // continuation missing
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
        {std::string("\0", 1), UnicodeString(1, u'\0')},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(Utf8ToUnicode(bytes), text);
}

TEST(CoreUtf8Test, ALoneSurrogateBecomesAReplacementCharacter) {
    EXPECT_EQ(UnicodeToUtf8(UnicodeString(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(UnicodeToUtf8(UnicodeString(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

TEST(CoreSysErrorMessageTest, GivesThePlatformText) { EXPECT_EQ(SysErrorMessage(ENOENT), std::strerror(ENOENT)); }

// ---- Set ----------------------------------------------------------------------

enum TColour : uint8_t { cRed, cGreen, cBlue, cOutside };
using TColours = Set<TColour, 3>;

TEST(CoreSetTest, IncludesExcludesAndCombines) {
    TColours s{cRed, cBlue};
    EXPECT_TRUE(s.Contains(cRed));
    EXPECT_FALSE(s.Contains(cGreen));
    EXPECT_EQ(s.Count(), 2u);
    s.Include(cGreen).Exclude(cRed);
    EXPECT_EQ(s, (TColours{cGreen, cBlue}));
    EXPECT_EQ(TColours{cRed} + TColours{cBlue}, (TColours{cRed, cBlue}));
    EXPECT_EQ((TColours{cRed, cBlue} - TColours{cBlue}), TColours{cRed});
    EXPECT_EQ((TColours{cRed, cBlue} * TColours{cBlue, cGreen}), TColours{cBlue});
    s.Clear();
    EXPECT_TRUE(s.Empty());
}

TEST(CoreSetTest, IgnoresMembersBeyondItsSize) {
    TColours s{cOutside};
    EXPECT_TRUE(s.Empty());
    EXPECT_FALSE(s.Contains(cOutside));
}

TEST(CoreSetTest, MaskHoldsTheLow64Members) {
    EXPECT_EQ((TColours{cRed, cBlue}.ToMask()), 0b101u);
    EXPECT_EQ(TColours::FromMask(0b110 | (uint64_t{1} << 63)), (TColours{cGreen, cBlue}));

    using TBig = Set<uint8_t, 256>;
    TBig big{1, 63, 64, 255};
    EXPECT_EQ(big.Count(), 4u);
    EXPECT_TRUE(big.Contains(255));
    EXPECT_EQ(big.ToMask(), (uint64_t{1} << 1) | (uint64_t{1} << 63));
}

}  // namespace
