// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A plain store of lines for the pipeline's tests: each line is its units
// and the style of each unit, so a test reads both without a view.

#include <algorithm>
#include <string>
#include <vector>

#include "terminal/TextSink.h"

class TMemorySink : public TTextSink {
public:
    struct TLine {
        std::u16string Text;
        std::vector<TTextStyle> Styles;
        bool Note = false;
    };

    int Rows = 24;
    int Columns = 80;
    std::vector<TLine> Lines{TLine{}};
    uint64_t Dropped = 0;

    std::size_t LineCount() const override { return Lines.size(); }
    Position LineStart(std::size_t Line) const override {
        Position start = 0;
        for (std::size_t i = 0; i < Line; ++i) start += Lines[i].Text.size() + 1;
        return start;
    }
    uint64_t LineLength(std::size_t Line) const override { return Lines[Line].Text.size(); }
    std::u16string LineText(std::size_t Line) const override { return Lines[Line].Text; }
    uint64_t LinesEnded() const override { return Dropped + Lines.size() - 1; }
    void Flush() override {}
    int ScreenRows() const override { return Rows; }
    int ScreenColumns() const override { return Columns; }

    void Append(std::u16string_view Text, const TTextStyle& Style) override {
        for (const char16_t unit : Text) {
            const bool pairedLineFeed = FEndsWithCR && unit == u'\n';
            FEndsWithCR = unit == u'\r';
            if (pairedLineFeed) continue;
            if (unit == u'\r' || unit == u'\n') Lines.emplace_back();
            else Add(Lines.back(), unit, Style);
        }
    }

    void AppendNote(std::u16string_view Text) override {
        if (!Lines.back().Text.empty()) Lines.emplace_back();
        Lines.back() = TLine{std::u16string(Text), std::vector<TTextStyle>(Text.size()), true};
        Lines.emplace_back();
    }

    void Put(Position From, Position To, std::u16string_view Text, const TTextStyle& Style) override {
        std::vector<TLine> rest;
        Cut(To, rest);
        std::vector<TLine> dropped;
        Cut(From, dropped);
        FEndsWithCR = false;
        for (const char16_t unit : Text) {
            if (unit == u'\n') Lines.emplace_back();
            else Add(Lines.back(), unit, Style);
        }
        for (std::size_t i = 0; i < rest.size(); ++i) {
            if (i > 0) Lines.emplace_back();
            Lines.back().Text += rest[i].Text;
            Lines.back().Styles.insert(Lines.back().Styles.end(), rest[i].Styles.begin(), rest[i].Styles.end());
        }
    }

    std::u16string Text() const {
        std::u16string text;
        for (std::size_t i = 0; i < Lines.size(); ++i) text += (i ? u"\n" : u"") + Lines[i].Text;
        return text;
    }

private:
    static void Add(TLine& Line, char16_t Unit, const TTextStyle& Style) {
        Line.Text += Unit;
        Line.Styles.push_back(Style);
    }
    // Moves the text from Where on into Rest, one entry a line.
    void Cut(Position Where, std::vector<TLine>& Rest) {
        std::size_t line = 0;
        while (line + 1 < Lines.size() && LineStart(line + 1) <= Where) ++line;
        const std::size_t unit = std::min<std::size_t>(Where - LineStart(line), Lines[line].Text.size());
        Rest.push_back({Lines[line].Text.substr(unit), {Lines[line].Styles.begin() + static_cast<std::ptrdiff_t>(unit), Lines[line].Styles.end()}});
        Lines[line].Text.resize(unit);
        Lines[line].Styles.resize(unit);
        Rest.insert(Rest.end(), Lines.begin() + static_cast<std::ptrdiff_t>(line) + 1, Lines.end());
        Lines.resize(line + 1);
    }

    bool FEndsWithCR = false;
};
