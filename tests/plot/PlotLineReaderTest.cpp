// SPDX-License-Identifier: GPL-3.0-or-later
// Reading numbers from received lines: a table of lines and what is read
// from them, names of series and columns, and lines cut from received text.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "plot/PlotLineReader.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// What a reader made of its lines: "name=value" for each value, in series
// order, lines separated by " | "; "-" for a line that was skipped.
std::string ReadAll(const std::vector<std::string>& Lines) {
    TPlotLineReader reader;
    std::string result;
    for (const std::string& line : Lines) {
        std::vector<double> values;
        if (!result.empty()) result += " | ";
        if (!reader.Read(line, values)) {
            result += "-";
            continue;
        }
        std::string row;
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (IsPlotMissing(values[i])) continue;
            char text[64];
            std::snprintf(text, sizeof text, "%s=%g", reader.SeriesNames()[i].c_str(), values[i]);
            if (!row.empty()) row += ' ';
            row += text;
        }
        result += row;
    }
    return result;
}

struct TCase {
    std::vector<std::string> Lines;
    std::string Read;
};

TEST(PlotLineReader, ReadsTheValuesOfEachLine) {
    const std::string tooLong = "1" + std::string(TPlotLineReader::MaxToken, '0');
    const std::vector<TCase> cases{
        // Separators, alone and mixed.
        {{"1 2\t3"}, "1=1 2=2 3=3"},
        {{"1,2;3 ,4"}, "1=1 2=2 3=3 4=4"},
        {{"  7  "}, "1=7"},
        // Kinds of numbers.
        {{"-5 +6 0.25 -.5 3. 1e3 -2.5E-2"}, "1=-5 2=6 3=0.25 4=-0.5 5=3 6=1000 7=-0.025"},
        {{"nan NaN -inf Inf infinity"}, "1=nan 2=nan 3=-inf 4=inf 5=inf"},
        // A malformed or overlong value is skipped, its column kept.
        {{"1,2x,3"}, "1=1 3=3"},
        {{"1 1.2.3 -- 3"}, "1=1 3=3"},
        {{"1e 0x10 5"}, "3=5"},
        {{tooLong + " 4"}, "2=4"},
        {{"++1 +-1 nan(1) 8"}, "1=8"},
        // Named values, in both spellings, with or without a space after the mark.
        {{"sin:0.5,cos:-1"}, "sin=0.5 cos=-1"},
        {{"a=1 b=2"}, "a=1 b=2"},
        {{"Temp: 23.5, Hum: 40"}, "Temp=23.5 Hum=40"},
        {{"a:1", "b:2", "a:3 b:4"}, "a=1 | b=2 | a=3 b=4"},
        {{"t:oops u:2"}, "u=2"},
        {{"a:1 5"}, "a=1 1=5"},
        // Words between numbers are left out.
        {{"data 1 of 100"}, "1=1 2=100"},
        // Lines without numbers are skipped.
        {{"", "Booting...", "ready: ok", "x:", "1"}, "- | - | - | - | 1=1"},
        // The line just before a line of bare numbers names its columns
        // when it holds as many names alone.
        {{"time,temp,hum", "1,2,3", "4,5,6"}, "- | time=1 temp=2 hum=3 | time=4 temp=5 hum=6"},
        {{"1 2", "left right", "3 4"}, "1=1 2=2 | - | left=3 right=4"},
        {{"a b c", "1 2"}, "- | 1=1 2=2"},
        {{"a b", "Booting", "1 2"}, "- | - | 1=1 2=2"},
        {{"temp", "Ready: ok", "5"}, "- | - | 1=5"},
    };
    for (const TCase& c : cases) {
        std::string lines;
        for (const std::string& line : c.Lines) lines += "[" + line + "]";
        EXPECT_EQ(ReadAll(c.Lines), c.Read) << lines;
    }
}

TEST(PlotLineReader, KeepsAtMost32Series) {
    TPlotLineReader reader;
    std::string line;
    for (int i = 0; i < 40; ++i) line += std::to_string(i) + " ";
    std::vector<double> values;
    ASSERT_TRUE(reader.Read(line, values));
    ASSERT_EQ(values.size(), PlotMaxSeries);
    EXPECT_EQ(values.back(), 31);
    ASSERT_TRUE(reader.Read("late:1 0", values));
    EXPECT_EQ(reader.SeriesNames().size(), PlotMaxSeries);
    EXPECT_EQ(values[0], 0);
}

TEST(PlotLineReader, ParsesNumbersExactly) {
    struct TNumber {
        const char* Text;
        double Value;
    };
    for (const TNumber& n : std::vector<TNumber>{{"0.1", 0.1},
                                                 {"-0", -0.0},
                                                 {"1.7976931348623157e308", 1.7976931348623157e308},
                                                 {"4.9e-324", 4.9e-324},
                                                 {"123456789012345678", 123456789012345678.0},
                                                 {"-INF", -kInf}}) {
        double value = 0;
        ASSERT_TRUE(ParsePlotNumber(n.Text, value)) << n.Text;
        EXPECT_EQ(value, n.Value) << n.Text;
        EXPECT_EQ(std::signbit(value), std::signbit(n.Value)) << n.Text;
    }
    double value = 0;
    EXPECT_TRUE(ParsePlotNumber("nan", value) && std::isnan(value) && !IsPlotMissing(value));
    for (const char* bad : {"", "-", "+", ".", "e5", "1e999x", "1..2", "1,5", "0x1p3", "inf1", "1e5000"})
        EXPECT_FALSE(ParsePlotNumber(bad, value)) << bad;
}

TEST(LineSplitter, CutsLinesAndLeavesOutTerminalCodes) {
    TLineSplitter splitter;
    std::vector<std::string> lines;
    const auto feed = [&](std::string_view Text) {
        splitter.Feed(Text, [&](std::string_view Line) { lines.emplace_back(Line); });
    };
    // Line ends of every kind, a line split over two pieces, colours, a
    // cursor move, a title, and an empty line.
    feed("a 1\r\nb 2\nc ");
    feed("3\r\x1b[1;31mred\x1b[0m 4\r\n\r\n\x1b]0;title\x07t 5\n\x1b[2K\x1b]2;x\x1b\\u 6\n");
    EXPECT_EQ(lines, (std::vector<std::string>{"a 1", "b 2", "c 3", "red 4", "t 5", "u 6"}));

    // A line longer than the limit is dropped whole; the next one is read.
    lines.clear();
    feed(std::string(TLineSplitter::MaxLine + 1, '7') + "\n8\n");
    EXPECT_EQ(lines, std::vector<std::string>{"8"});
}

}  // namespace
