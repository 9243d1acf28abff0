// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/PlotLineReader.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Lower(std::string_view Text) {
    std::string lower(Text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// A token that starts as a number does: it is a value, well formed or not.
bool LooksNumeric(std::string_view Token) {
    std::size_t i = Token.size() > 1 && (Token[0] == '+' || Token[0] == '-') ? 1 : 0;
    if (i < Token.size() && Token[i] == '.') ++i;
    if (i < Token.size() && IsDigit(Token[i])) return true;
    const std::string rest = Lower(Token.substr(Token.size() > 1 && (Token[0] == '+' || Token[0] == '-') ? 1 : 0));
    return rest == "nan" || rest == "inf" || rest == "infinity";
}

std::vector<std::string_view> Tokens(std::string_view Line) {
    std::vector<std::string_view> tokens;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= Line.size(); ++i) {
        if (i < Line.size() && !IsSeparator(Line[i])) continue;
        if (i > start) tokens.push_back(Line.substr(start, i - start));
        start = i + 1;
    }
    return tokens;
}

}  // namespace

bool ParsePlotNumber(std::string_view Token, double& Value) {
    if (Token.empty() || Token.size() > TPlotLineReader::MaxToken) return false;
    const bool negative = Token[0] == '-';
    if (Token[0] == '+' || negative) Token.remove_prefix(1);
    if (Token.empty() || Token[0] == '+' || Token[0] == '-') return false;
    const std::string word = Lower(Token);
    double value = 0;
    if (word == "nan") {
        value = std::numeric_limits<double>::quiet_NaN();
    } else if (word == "inf" || word == "infinity") {
        value = std::numeric_limits<double>::infinity();
    } else {
        // Only decimal notation: no hexadecimal, no "nan(…)".
        if (!IsDigit(Token[0]) && Token[0] != '.') return false;
        const auto [end, error] = std::from_chars(Token.data(), Token.data() + Token.size(), value);
        if (error != std::errc() || end != Token.data() + Token.size()) return false;
    }
    Value = negative ? -value : value;
    return true;
}

void TPlotLineReader::Clear() {
    FSeries.clear();
    FNames.clear();
    FHeader.clear();
}

bool TPlotLineReader::Read(std::string_view Line, std::vector<double>& Values) {
    struct TRead {
        int Series;
        double Value;
    };
    std::vector<TRead> read;
    std::vector<std::string> words;
    std::vector<std::pair<std::size_t, double>> bare;  // column, value
    std::size_t columns = 0;
    bool named = false;
    std::string_view pendingName;
    for (const std::string_view token : Tokens(Line)) {
        double value = 0;
        const std::size_t mark = token.find_first_of(":=");
        if (mark != std::string_view::npos && mark > 0 && !LooksNumeric(token)) {
            named = true;
            pendingName = token.substr(0, mark);
            const std::string_view text = token.substr(mark + 1);
            if (text.empty()) continue;  // "name: value"
            if (ParsePlotNumber(text, value)) read.push_back({SeriesNamed(pendingName), value});
            pendingName = {};
        } else if (!pendingName.empty()) {
            if (ParsePlotNumber(token, value)) read.push_back({SeriesNamed(pendingName), value});
            pendingName = {};
        } else if (LooksNumeric(token)) {
            if (ParsePlotNumber(token, value)) bare.emplace_back(columns, value);
            ++columns;
        } else {
            words.emplace_back(token);
        }
    }
    if (bare.empty() && read.empty()) {
        if (!named && columns == 0 && !words.empty()) {
            FHeader = std::move(words);
        } else {
            FHeader.clear();
        }
        return false;
    }
    if (columns > 0) {
        if (FHeader.size() == columns) NameColumns();
        FHeader.clear();
    }
    for (const auto& [column, value] : bare) read.push_back({SeriesOfColumn(column), value});
    Values.assign(FSeries.size(), PlotMissing);
    for (const TRead& r : read)
        if (r.Series >= 0) Values[static_cast<std::size_t>(r.Series)] = r.Value;
    return true;
}

void TPlotLineReader::NameColumns() {
    for (std::size_t column = 0; column < FHeader.size(); ++column) {
        const int series = SeriesOfColumn(column);
        if (series < 0) return;
        FSeries[static_cast<std::size_t>(series)].Name = FHeader[column];
        FNames[static_cast<std::size_t>(series)] = FHeader[column];
    }
}

int TPlotLineReader::SeriesOfColumn(std::size_t Column) {
    for (std::size_t i = 0; i < FSeries.size(); ++i)
        if (FSeries[i].Column == static_cast<int>(Column)) return static_cast<int>(i);
    return AddSeries(std::to_string(Column + 1), static_cast<int>(Column));
}

int TPlotLineReader::SeriesNamed(std::string_view Name) {
    for (std::size_t i = 0; i < FSeries.size(); ++i)
        if (FSeries[i].Column < 0 && FSeries[i].Name == Name) return static_cast<int>(i);
    return AddSeries(std::string(Name), -1);
}

int TPlotLineReader::AddSeries(std::string Name, int Column) {
    if (FSeries.size() == PlotMaxSeries) return -1;
    FNames.push_back(Name);
    FSeries.push_back({std::move(Name), Column});
    return static_cast<int>(FSeries.size() - 1);
}

// ---- lines -----------------------------------------------------------------------

void TLineSplitter::Clear() {
    FLine.clear();
    FState = Text;
    FTooLong = false;
}

bool TLineSplitter::Take(char c) {
    constexpr char kEsc = '\x1b';
    constexpr char kBel = '\x07';
    switch (FState) {
    case Escape:
        FState = c == '[' ? Csi : c == ']' ? Osc : Text;
        return false;
    case Csi:
        if (c >= 0x40 && c <= 0x7e) FState = Text;
        return false;
    case Osc:
        if (c == kBel) FState = Text;
        if (c == kEsc) FState = OscEscape;
        return false;
    case OscEscape:
        FState = c == '\\' ? Text : Osc;
        return false;
    case Text:
        break;
    }
    if (c == kEsc) {
        FState = Escape;
        return false;
    }
    if (c == '\r' || c == '\n') {
        const bool whole = !FTooLong && !FLine.empty();
        if (!whole) FLine.clear();
        FTooLong = false;
        return whole;
    }
    if (FLine.size() == MaxLine) {
        FTooLong = true;
        FLine.clear();
    }
    if (!FTooLong) FLine += c;
    return false;
}
