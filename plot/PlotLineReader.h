// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading numbers from the lines a device prints, for the plot. Values are
// separated by spaces, tabs, commas or semicolons; "name:value" and
// "name=value" name their series, a line of names alone names the columns of
// a line of bare numbers right after it, and lines without numbers are skipped.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// At most this many series; values of further ones are dropped.
constexpr std::size_t PlotMaxSeries = 32;

// A value a row does not have: a not-a-number of its own, so that a "nan"
// the device sent stays one.
constexpr double PlotMissing = std::bit_cast<double>(uint64_t{0x7ff8'0000'6d69'7373});
inline bool IsPlotMissing(double Value) {
    return std::bit_cast<uint64_t>(Value) == std::bit_cast<uint64_t>(PlotMissing);
}

// A number as a device prints it: integer, decimal, exponent, nan or inf,
// with an optional sign; false for anything else or a token too long.
bool ParsePlotNumber(std::string_view Token, double& Value);

class TPlotLineReader {
public:
    // Longer tokens are no numbers.
    static constexpr std::size_t MaxToken = 64;

    // Reads one line (without its line end). Values gets one entry per known
    // series, PlotMissing where the line has none; false when the line has no
    // numbers, and then Values is untouched.
    bool Read(std::string_view Line, std::vector<double>& Values);

    const std::vector<std::string>& SeriesNames() const { return FNames; }
    void Clear();

private:
    struct TSeries {
        std::string Name;
        int Column;  // the place of a bare number it stands for, or -1 when named
    };

    int SeriesOfColumn(std::size_t Column);
    int SeriesNamed(std::string_view Name);
    int AddSeries(std::string Name, int Column);
    void NameColumns();

    std::vector<TSeries> FSeries;
    std::vector<std::string> FNames;
    // The last line read when it held names alone; it names the columns when
    // the next line has as many bare numbers.
    std::vector<std::string> FHeader;
};

// Cuts received text into lines (CR, LF or CR LF end one), leaving out
// terminal control sequences; a line longer than MaxLine is dropped whole.
class TLineSplitter {
public:
    static constexpr std::size_t MaxLine = 4096;

    template <class F>
    void Feed(std::string_view Text, F&& OnLine) {
        for (const char c : Text)
            if (Take(c)) {
                OnLine(std::string_view(FLine));
                FLine.clear();
            }
    }
    void Clear();

private:
    // True when c ended a line that is to be read.
    bool Take(char c);

    enum TState : uint8_t { Text, Escape, Csi, Osc, OscEscape };
    std::string FLine;
    TState FState = Text;
    bool FTooLong = false;
};
