// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/CodeInterpreter.h"

#include <gtest/gtest.h>

#include "tests/terminal/MemorySink.h"
#include "toolkit/core/SysUtils.h"

namespace {

std::u16string U(const std::string& Utf8) { return Utf8ToUnicode(Utf8); }

class Interpreted {
public:
    explicit Interpreted(int Rows = 24) { Sink.Rows = Rows; }
    TMemorySink Sink;
    TCodeInterpreter Interpreter{Sink};
    std::string Replies;

    Interpreted& Write(const std::string& Utf8) {
        Interpreter.Write(U(Utf8));
        return *this;
    }
    std::string Text() const { return UnicodeToUtf8(Sink.Text()); }
    const TTextStyle& LastStyle() const { return Sink.Lines.back().Styles.back(); }
};

// ---- what the received area shows ------------------------------------------------

struct TShownCase {
    const char* Name;
    std::string Input;
    std::string Shown;
};

void ExpectShownWhateverTheReads(const std::string& Input, const std::string& Shown, int Rows = 24) {
    Interpreted whole(Rows);
    whole.Write(Input);
    EXPECT_EQ(whole.Text(), Shown);
    // Split at every unit, and a unit at a time: the same text in the same styles.
    const std::u16string input = U(Input);
    for (std::size_t split = 1; split <= input.size(); ++split) {
        Interpreted parts(Rows);
        if (split == input.size()) {
            for (const char16_t unit : input) parts.Interpreter.Write(std::u16string(1, unit));
        } else {
            parts.Interpreter.Write(input.substr(0, split));
            parts.Interpreter.Write(input.substr(split));
        }
        ASSERT_EQ(parts.Text(), Shown) << "split at " << split;
        for (std::size_t line = 0; line < whole.Sink.Lines.size(); ++line)
            ASSERT_EQ(parts.Sink.Lines[line].Styles, whole.Sink.Lines[line].Styles) << "split at " << split;
    }
}

class Shown : public ::testing::TestWithParam<TShownCase> {};

TEST_P(Shown, AsTheDeviceMeantItWhateverTheReadsItCameIn) {
    ExpectShownWhateverTheReads(GetParam().Input, GetParam().Shown);
}

// Cases after the first LF treat a lone CR as a return to the line's start.
INSTANTIATE_TEST_SUITE_P(
    Cases, Shown,
    ::testing::Values(
        TShownCase{"ColouredLogLine", "\x1b[0;32mI (312) wifi: connected\x1b[0m\r\n", "I (312) wifi: connected\n"},
        TShownCase{"ProgressCountsUpInPlace", "go\nProgress: 10%\rProgress: 50%\rProgress: 100%\r\n",
                   "go\nProgress: 100%\n"},
        TShownCase{"BackspacesEditTheLine", "uart:~$ abc\b\b\bxyz", "uart:~$ xyz"},
        TShownCase{"EraseLineThenCR", "x\nabc\x1b[2K\r", "x\n"},
        TShownCase{"CROnlyDeviceEndsLinesWithCR", "one\rtwo\r", "one\ntwo\n"},
        TShownCase{"CRLFEndsOneLine", "one\r\ntwo\r\n", "one\ntwo\n"},
        TShownCase{"LFAloneEndsALine", "one\ntwo\n", "one\ntwo\n"},
        TShownCase{"BellIsIgnoredOtherControlsShow", "a\x07" "b\x01" "c", "ab\x01" "c"},
        TShownCase{"EraseToEnd", "abcdef\x1b[3D\x1b[K", "abc"},
        TShownCase{"EraseToStart", "abcdef\x1b[3D\x1b[1K", "    ef"},
        TShownCase{"InsertCharacters", "abcdef\x1b[4D\x1b[2@", "ab  cdef"},
        TShownCase{"DeleteCharacters", "abcdef\x1b[4D\x1b[2P", "abef"},
        TShownCase{"EraseCharacters", "abcdef\x1b[4D\x1b[2X", "ab  ef"},
        TShownCase{"CursorUpWritesOnTheLineAbove", "line1\nline2\x1b[Aup", "line1up\nline2"},
        TShownCase{"ColumnPastTheEndFillsWithSpaces", "ab\x1b[5Gx", "ab  x"},
        TShownCase{"SaveAndRestoreTheCursor", "ab\x1b" "7cd\x1b" "8X", "abXd"},
        TShownCase{"CsiSaveAndRestore", "ab\x1b[scd\x1b[uX", "abXd"},
        TShownCase{"EraseBelow", "a\nb\nc\x1b[2A\x1b[J", "a"},
        TShownCase{"CANAbortsASequence", "a\x1b[31\x18" "b", "ab"},
        TShownCase{"SUBAbortsASequence", "a\x1b]0;title\x1a" "b", "ab"},
        TShownCase{"UnknownSequencesAreDropped", "a\x1b[?1049h\x1b]0;title\x07\x1b(Bb\x1bPq#0\x1b\\c", "abc"},
        TShownCase{"MalformedCsiDropsOnlyItself", "a\x1b[1$2b", "ab"},
        TShownCase{"ASequenceEndsAtACharacterOutsideAscii", "\x1b\xc3\xa9" "a\x1b[1\xe2\x82\xac" "b", "\xc3\xa9" "a\xe2\x82\xac" "b"},
        TShownCase{"UnicodeAroundCodes", "caf\xc3\xa9 \x1b[1m\xe2\x82\xac\xf0\x9f\x98\x80\x1b[m!", "caf\xc3\xa9 \xe2\x82\xac\xf0\x9f\x98\x80!"},
        TShownCase{"NextLineAndIndex", "ab\x1b" "Ecd\x1b" "Dx", "ab\ncd\n  x"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// ---- scrolling regions ----------------------------------------------------------------

// The screen is the last Rows lines of what is shown; what is above it is
// the scrollback. The screens agree with pyte's for the same bytes, but for
// the cases marked xterm, where pyte 0.8 differs from it.
struct TRegionCase {
    const char* Name;
    int Rows;
    std::string Input;
    std::string Shown;
};

class Regions : public ::testing::TestWithParam<TRegionCase> {};

TEST_P(Regions, ScrollAsOnAScreenOfTheAreasLastRows) {
    ExpectShownWhateverTheReads(GetParam().Input, GetParam().Shown, GetParam().Rows);
}

const std::string kFiveRows = "1\r\n2\r\n3\r\n4\r\n5";

INSTANTIATE_TEST_SUITE_P(
    Cases, Regions,
    ::testing::Values(
        TRegionCase{"LineFeedAtTheRegionBottomScrollsOnlyTheRegion", 5, kFiveRows + "\x1b[2;4r\x1b[4;1H\nX", "1\n3\n4\nX\n5"},
        TRegionCase{"WhatScrollsOffARegionAtTheTopGoesIntoTheScrollback", 3,
                    "a\r\nb\r\nc\x1b[1;2r\x1b[2;1H\nX\r\nY", "a\nb\nX\nY\nc"},
        TRegionCase{"LogLinesAboveAStatusLine", 3, "\x1b[1;2r\x1b[3;1Hstatus\x1b[1;1Hl1\r\nl2\r\nl3\r\nl4",
                    "l1\nl2\nl3\nl4\nstatus"},
        TRegionCase{"WhatScrollsOffAMiddleRegionIsGone", 4, "a\r\nb\r\nc\r\nd\x1b[2;3r\x1b[3;1H\nX", "a\nc\nX\nd"},
        TRegionCase{"IndexScrollsTheRegionAndKeepsTheColumn", 4, "a\r\nb\r\nc\r\nd\x1b[2;3r\x1b[3;2H\x1b" "DX",
                    "a\nc\n X\nd"},
        TRegionCase{"ReverseIndexAtTheRegionTopScrollsItDown", 4, "a\r\nb\r\nc\r\nd\x1b[2;3r\x1b[2;1H\x1bMX",
                    "a\nX\nb\nd"},
        TRegionCase{"ReverseIndexAtTheScreenTopScrollsTheScreenDown", 3, "s\r\na\r\nb\r\nc\x1b[H\x1bMX", "s\nX\na\nb"},
        TRegionCase{"InsertLinesPushesTheRegionDown", 5, kFiveRows + "\x1b[2;4r\x1b[3;3H\x1b[LX", "1\n2\nX\n3\n5"},
        TRegionCase{"DeleteLinesPullsTheRegionUp", 5, kFiveRows + "\x1b[2;4r\x1b[3;3H\x1b[2MX", "1\n2\nX\n\n5"},
        TRegionCase{"InsertLinesOnTheWholeScreen", 3, "a\r\nb\r\nc\x1b[2;2H\x1b[9LX", "a\nX\n"},
        // xterm: a line feed on the last row, below the region, moves nowhere.
        TRegionCase{"RowsBelowTheRegionNeitherScrollNorInsert", 5, kFiveRows + "\x1b[2;4r\x1b[5;1H\x1b[LX\nY",
                    "1\n2\n3\n4\nY"},
        TRegionCase{"CursorMovementStopsAtTheRegionsEdges", 5,
                    kFiveRows + "\x1b[2;4r\x1b[3;1H\x1b[9AX\x1b[9BY\x1b[1;1H\x1b[9BZ", "1\nX\n3\nZY\n5"},
        TRegionCase{"SettingARegionHomesTheCursor", 3, "a\r\nb\x1b[1;2rX", "X\nb\n"},
        TRegionCase{"ARegionOfOneRowIsIgnored", 3, "a\r\nb\x1b[2;2rX\r\nc", "a\nbX\nc"},
        // xterm: no arguments are the whole screen.
        TRegionCase{"NoArgumentsMakeTheWholeScreenTheRegionAgain", 3, "a\r\nb\r\nc\x1b[1;2r\x1b[r\x1b[3;1H\nX",
                    "a\nb\nc\nX"},
        TRegionCase{"EraseBelowKeepsTheRegionsRows", 4, "a\r\nb\r\nc\r\nd\x1b[2;3r\x1b[2;1H\x1b[J\x1b[3;1H\nX",
                    "a\n\nX\n"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(CodeInterpreter, CursorPositionsReferToTheLastRowsOfTheArea) {
    Interpreted three(3);
    three.Write("a\nb\nc\nd\x1b[1;1HZ");
    EXPECT_EQ(three.Text(), "a\nZ\nc\nd");
    // A cleared screen leaves its text above and starts with empty rows.
    Interpreted cleared(3);
    cleared.Write("a\nb\x1b[2J\x1b[Hx");
    EXPECT_EQ(cleared.Text(), "a\nb\nx\n\n");
}

TEST(CodeInterpreter, NoSequenceGrowsWithoutBoundNorAsksForMore) {
    Interpreted t;
    t.Write("a\x1b[" + std::string(100000, ';') + "31mb");
    t.Write("\x1b]0;" + std::string(100000, 'x') + "\x07" "c");
    t.Write("\x1b[" + std::string(40, '9') + "@\x1b[" + std::string(40, '9') + "Cd");
    // A CSI also starts after controls and intermediate bytes inside an ESC sequence.
    t.Write(std::string("\x1b\x10\0[", 4) + std::string(1000, ':') + "m\x1b([" + std::string(1000, ';') + "m");
    EXPECT_EQ(t.Text().substr(0, 3), "abc");
    EXPECT_LE(t.Text().size(), 3 + 80u + 1);
    EXPECT_EQ(t.Sink.Lines.back().Styles[1].Foreground, 0xBB0000);
}

// ---- every form of SGR --------------------------------------------------------------

struct TStyleCase {
    const char* Name;
    std::string Codes;
    TTextStyle Style;
};

class Sgr : public ::testing::TestWithParam<TStyleCase> {};

TEST_P(Sgr, GivesTheTextThatFollowsItsStyle) {
    Interpreted t;
    t.Write(GetParam().Codes + "X");
    EXPECT_EQ(t.LastStyle(), GetParam().Style);
}

constexpr int32_t kDefault = TTextStyle::kDefaultColour;

INSTANTIATE_TEST_SUITE_P(
    Forms, Sgr,
    ::testing::Values(
        TStyleCase{"Red", "\x1b[31m", {0xBB0000, kDefault, 0}},
        TStyleCase{"BrightRed", "\x1b[91m", {0xE02828, kDefault, 0}},
        TStyleCase{"GreenBackground", "\x1b[42m", {kDefault, 0x008700, 0}},
        TStyleCase{"BrightBlueBackground", "\x1b[104m", {kDefault, 0x3C3CFF, 0}},
        TStyleCase{"Palette256", "\x1b[38;5;196m", {0xFF0000, kDefault, 0}},
        TStyleCase{"Palette256Colons", "\x1b[38:5:42m", {0x00D787, kDefault, 0}},
        TStyleCase{"GreyRamp", "\x1b[48;5;232m", {kDefault, 0x080808, 0}},
        TStyleCase{"Rgb", "\x1b[38;2;10;20;30m", {0x0A141E, kDefault, 0}},
        TStyleCase{"RgbColonsWithColourSpace", "\x1b[48:2::10:20:30m", {kDefault, 0x0A141E, 0}},
        TStyleCase{"RgbColons", "\x1b[38:2:10:20:30m", {0x0A141E, kDefault, 0}},
        TStyleCase{"Bold", "\x1b[1m", {kDefault, kDefault, TTextStyle::atBold}},
        TStyleCase{"Faint", "\x1b[2m", {kDefault, kDefault, TTextStyle::atFaint}},
        TStyleCase{"Italic", "\x1b[3m", {kDefault, kDefault, TTextStyle::atItalic}},
        TStyleCase{"Underline", "\x1b[4m", {kDefault, kDefault, TTextStyle::atUnderline}},
        TStyleCase{"UnderlineOffByColon", "\x1b[4m\x1b[4:0m", {}},
        TStyleCase{"Reverse", "\x1b[7m", {kDefault, kDefault, TTextStyle::atReverse}},
        TStyleCase{"Reset", "\x1b[1;31;42m\x1b[0m", {}},
        TStyleCase{"ResetWithoutArguments", "\x1b[1;31m\x1b[m", {}},
        TStyleCase{"NormalIntensity", "\x1b[1;2;3m\x1b[22m", {kDefault, kDefault, TTextStyle::atItalic}},
        TStyleCase{"AttributesOff", "\x1b[3;4;7m\x1b[23;24;27m", {}},
        TStyleCase{"DefaultColours", "\x1b[31;42m\x1b[39;49m", {}},
        TStyleCase{"Combined", "\x1b[1;38;5;42;4m",
                   {0x00D787, kDefault, TTextStyle::atBold | TTextStyle::atUnderline}}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// ---- answers --------------------------------------------------------------------------

TEST(CodeInterpreter, AnswersStatusPositionAndAttributeRequests) {
    Interpreted t;
    t.Interpreter.SetReply([&](const std::string& Bytes) { t.Replies += Bytes; });
    t.Write("\x1b[5n");
    EXPECT_EQ(t.Replies, "\x1b[0n");
    t.Replies.clear();
    t.Write("one\nuart:~$ \x1b[6n");
    EXPECT_EQ(t.Replies, "\x1b[2;9R");
    t.Replies.clear();
    // The width of the screen, as embedded shells measure it.
    t.Write("\x1b[999C\x1b[6n");
    EXPECT_EQ(t.Replies, "\x1b[2;80R");
    t.Replies.clear();
    t.Write("\x1b[c\x1b[>c");
    EXPECT_EQ(t.Replies, "\x1b[?1;2c\x1b[>0;10;1c");
}

TEST(CodeInterpreter, ABellRingsOnlyWhereOneIsSet) {
    Interpreted t;
    int rings = 0;
    t.Write("\x07");
    t.Interpreter.SetBell([&] { ++rings; });
    t.Write("\x07\x07");
    EXPECT_EQ(rings, 2);
    EXPECT_EQ(t.Text(), "");
}

TEST(CodeInterpreter, ANewSessionStartsPlainAndWithoutHalfASequence) {
    Interpreted t;
    t.Write("\nred\x1b[31mx\x1b[3");
    t.Interpreter.Reset();
    // No LF since the new session: CR ends the line again.
    t.Write("2mplain\r");
    EXPECT_EQ(t.Text(), "\nredx2mplain\n");
    EXPECT_EQ(t.Sink.Lines[1].Styles.back(), TTextStyle{});
}

}  // namespace
