// SPDX-License-Identifier: GPL-3.0-or-later
// The text store of the received area, checked against a plain model: the
// text as one string, laid out cell by cell.

#include "toolkit/ui/TextLines.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QCoreApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/stat.h>
#endif

namespace {

// What the store should hold: lines split at CR, LF and CR LF, joined with "\n".
std::u16string Normalised(const std::u16string& Raw) {
    std::u16string text;
    for (std::size_t i = 0; i < Raw.size(); ++i) {
        if (Raw[i] == u'\r' && i + 1 < Raw.size() && Raw[i + 1] == u'\n') continue;
        text += Raw[i] == u'\r' ? u'\n' : Raw[i];
    }
    return text;
}

std::vector<std::u16string> SplitLines(const std::u16string& Text) {
    std::vector<std::u16string> lines(1);
    for (const char16_t unit : Text) {
        if (unit == u'\n') lines.emplace_back();
        else lines.back() += unit;
    }
    return lines;
}

// The cell before each unit of Line and after its last: tabs every Tab cells,
// a high surrogate takes no cell of its own.
std::vector<uint64_t> ModelCells(const std::u16string& Line, uint64_t Tab) {
    std::vector<uint64_t> cells{0};
    for (const char16_t unit : Line) {
        const uint64_t cell = cells.back();
        cells.push_back(unit == u'\t' ? (cell / Tab + 1) * Tab : unit >= 0xD800 && unit <= 0xDBFF ? cell : cell + 1);
    }
    return cells;
}

// Random text made of what a device sends: letters, line ends in every form,
// tabs, and characters outside the basic plane.
std::u16string RandomText(std::mt19937& Random, std::size_t Length, bool LineEnds) {
    const std::u16string alphabet = u"abcXYZ 019-";
    std::u16string text;
    while (text.size() < Length) {
        const unsigned pick = Random() % 40;
        if (LineEnds && pick == 0) text += u'\r';
        else if (LineEnds && pick == 1) text += u'\n';
        else if (LineEnds && pick == 2) text += u"\r\n";
        else if (pick == 3) text += u'\t';
        else if (pick == 4) text += u"\U0001F600";
        else text += alphabet[Random() % alphabet.size()];
    }
    return text;
}

void ExpectLayout(const TTextLines& Lines, const std::u16string& Text, uint64_t Columns, uint64_t Tab) {
    ASSERT_EQ(Lines.Text(), Text);
    const std::vector<std::u16string> model = SplitLines(Text);
    ASSERT_EQ(Lines.LineCount(), model.size());
    uint64_t row = 0;
    TTextLines::Position start = 0;
    for (std::size_t line = 0; line < model.size(); ++line) {
        SCOPED_TRACE(line);
        ASSERT_EQ(Lines.LineStart(line), start);
        ASSERT_EQ(Lines.LineAt(start), line);
        const std::vector<uint64_t> cells = ModelCells(model[line], Tab);
        ASSERT_EQ(Lines.LineCells(line), cells.back());
        const uint64_t rows = Columns == 0 ? 1 : std::max<uint64_t>(1, (cells.back() + Columns - 1) / Columns);
        ASSERT_EQ(Lines.FirstRowOf(line), row);
        ASSERT_EQ(Lines.RowsOf(line), rows);
        for (uint64_t r = 0; r < rows; ++r) {
            const TTextLines::TRow shown = Lines.Row(row + r);
            ASSERT_EQ(shown.Line, line);
            // The row holds the units that start in its cells.
            std::u16string expected;
            for (std::size_t unit = 0; unit < model[line].size(); ++unit)
                if (Columns == 0 || cells[unit] / Columns == r) expected += model[line][unit];
            ASSERT_EQ(shown.Units, expected) << "row " << r;
            for (std::size_t i = 0; i < shown.Units.size(); ++i) ASSERT_EQ(shown.Cells[i], cells[shown.FirstUnit + i]);
            ASSERT_EQ(shown.EndCell, cells[shown.FirstUnit + shown.Units.size()]);
        }
        for (std::size_t unit = 0; unit <= model[line].size(); unit += 97) ASSERT_EQ(Lines.CellOf(line, unit), cells[unit]);
        row += rows;
        start += model[line].size() + 1;
    }
    ASSERT_EQ(Lines.RowCount(), row);
    // Rows read on from one another give what rows looked up one by one give.
    const std::vector<TTextLines::TRow> run = Lines.Rows(0, row + 5);
    ASSERT_EQ(run.size(), row);
    for (uint64_t r = 0; r < row; ++r) {
        const TTextLines::TRow single = Lines.Row(r);
        ASSERT_EQ(run[r].Line, single.Line);
        ASSERT_EQ(run[r].FirstUnit, single.FirstUnit);
        ASSERT_EQ(run[r].Units, single.Units) << "row " << r;
        ASSERT_EQ(run[r].EndCell, single.EndCell);
    }
}

}  // namespace

struct TLineEndCase {
    const char* Name;
    std::vector<std::u16string> Appends;
    std::u16string Text;
};

class TextLinesLineEnds : public testing::TestWithParam<TLineEndCase> {};

TEST_P(TextLinesLineEnds, EndLinesAsTheyCame) {
    TTextLines lines;
    for (const std::u16string& part : GetParam().Appends) lines.Append(part);
    EXPECT_EQ(lines.Text(), GetParam().Text);
    EXPECT_EQ(lines.Length(), GetParam().Text.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextLinesLineEnds,
    testing::Values(TLineEndCase{"EachKind", {u"a\rb\nc\r\nd"}, u"a\nb\nc\nd"},
                    TLineEndCase{"PairSplitOverTwoCalls", {u"a\r", u"\nb"}, u"a\nb"},
                    TLineEndCase{"CrThenTwoLineFeedsInThreeCalls", {u"x\r", u"\n", u"\ny"}, u"x\n\ny"},
                    TLineEndCase{"TwoCarriageReturns", {u"x\r", u"\r", u"\ny"}, u"x\n\ny"},
                    TLineEndCase{"LineFeedThenCarriageReturn", {u"x\n\ry"}, u"x\n\ny"},
                    TLineEndCase{"EmptyAppends", {u"", u"x", u""}, u"x"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(TextLines, LaysOutLinesAndAnEndlessLineAsTheModelDoes) {
    std::mt19937 random(7);
    for (const bool lineEnds : {true, false}) {
        for (const uint64_t columns : {0u, 1u, 7u, 80u}) {
            SCOPED_TRACE(testing::Message() << "line ends " << lineEnds << ", columns " << columns);
            TTextLines lines;
            lines.SetColumns(columns);
            std::u16string raw;
            // Appended in pieces of every size, across the checkpoints of a long line.
            while (raw.size() < 3 * TTextLines::kCheckpointSpacing + 500) {
                const std::u16string piece = RandomText(random, random() % 700, lineEnds);
                raw += piece;
                lines.Append(piece);
            }
            ExpectLayout(lines, Normalised(raw), columns, 8);
        }
    }
}

TEST(TextLines, TabStopsAndColumnsCanChangeWithTextInPlace) {
    std::mt19937 random(11);
    const std::u16string text = Normalised(RandomText(random, 6000, true));
    TTextLines lines;
    lines.Append(text);
    lines.SetColumns(13);
    lines.SetTabStops({5, 10, 15});
    ExpectLayout(lines, text, 13, 5);
    lines.SetColumns(40);
    ExpectLayout(lines, text, 40, 5);
}

TEST(TextLines, FindsTheUnitAtACellInsideAnEndlessLine) {
    TTextLines lines;
    std::u16string line;
    for (int i = 0; i < 20000; ++i) line += i % 9 == 0 ? u'\t' : u'a' + i % 26;
    lines.Append(line);
    const std::vector<uint64_t> cells = ModelCells(line, 8);
    for (std::size_t unit = 0; unit < line.size(); unit += 331) {
        // A cell inside a tab's span belongs to the unit after the tab.
        EXPECT_EQ(lines.UnitAt(0, cells[unit]), unit);
        if (cells[unit + 1] > cells[unit] + 1) {
            EXPECT_EQ(lines.UnitAt(0, cells[unit] + 1), unit + 1);
        }
    }
    EXPECT_EQ(lines.UnitAt(0, cells.back() + 5), line.size());
}

// Edits anywhere, also several in a row at one place, between appends, a
// change of columns and the oldest lines going.
TEST(TextLines, ReplacesAnyRangeAsAnEditorDoes) {
    std::mt19937 random(3);
    TTextLines lines;
    uint64_t columns = 9;
    lines.SetColumns(columns);
    std::u16string model;
    uint64_t from = 0;
    for (int round = 0; round < 600; ++round) {
        SCOPED_TRACE(round);
        const std::u16string piece = Normalised(RandomText(random, random() % (round % 3 ? 3 : 30), true));
        if (round % 4 == 0) from = model.empty() ? 0 : random() % (model.size() + 1);
        from = std::min<uint64_t>(from, model.size());
        const uint64_t to = std::min<uint64_t>(model.size(), from + random() % 12);
        lines.Replace(from, to, piece);
        model.replace(from, to - from, piece);
        from += piece.size();
        if (round % 2 == 0) {
            const std::u16string more = Normalised(RandomText(random, random() % 40, true));
            lines.Append(more);
            model += more;
        }
        if (round % 13 == 0 && model.find(u'\n') != std::u16string::npos) {
            lines.DropFrontLines(1);
            const std::size_t dropped = model.find(u'\n') + 1;
            model.erase(0, dropped);
            from = from > dropped ? from - dropped : 0;
        }
        if (round % 97 == 0) lines.SetColumns(columns = columns == 9 ? 5 : 9);
        ASSERT_EQ(lines.Text(), model);
        if (round % 50 == 0) ExpectLayout(lines, model, columns, 8);
    }
    ExpectLayout(lines, model, columns, 8);
}

struct TPendingCase {
    const char* Name;
    uint64_t From, To;
    std::u16string Text;
    std::u16string Shown;  // after a further LF arrives
};

class PendingCarriageReturn : public testing::TestWithParam<TPendingCase> {};

// The text ends in a CR whose LF may still come. A line end typed elsewhere
// is one of its own; the LF that comes pairs with the CR as before.
TEST_P(PendingCarriageReturn, StaysForTheLineFeedAfterAnEdit) {
    TTextLines lines;
    lines.Append(u"ab\r");
    lines.Replace(GetParam().From, GetParam().To, GetParam().Text);
    lines.Append(u"\nc");
    EXPECT_EQ(lines.Text(), GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, PendingCarriageReturn,
    testing::Values(TPendingCase{"Letter", 0, 1, u"X", u"Xb\nc"},
                    TPendingCase{"LineFeed", 1, 1, u"\n", u"a\nb\nc"},
                    TPendingCase{"CarriageReturn", 1, 1, u"\r", u"a\nb\nc"},
                    TPendingCase{"CrLfReplacingALetter", 0, 1, u"\r\n", u"\nb\nc"},
                    TPendingCase{"LineFeedAtTheEnd", 3, 3, u"\n", u"ab\n\n\nc"},
                    TPendingCase{"TextAtTheEnd", 3, 3, u"typed", u"ab\ntyped\nc"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// The console's own lines: each on a line of its own, known as such through
// new tab stops and dropped lines, and no longer once the user edits one.
TEST(TextLines, NotesStandOnLinesOfTheirOwn) {
    TTextLines lines;
    lines.Append(u"open line\r");
    lines.AppendNote(u"\u2014 COM5 lost \u2014");
    lines.Append(u"\n\r\n");  // the LF pairs with the CR before the note
    lines.Append(u"partial");
    lines.AppendNote(u"\u2014 COM5 back \u2014");
    lines.Append(u"next");
    EXPECT_EQ(lines.Text(), u"open line\n\u2014 COM5 lost \u2014\n\npartial\n\u2014 COM5 back \u2014\nnext");
    const auto notes = [&] {
        std::vector<std::size_t> found;
        for (std::size_t line = 0; line < lines.LineCount(); ++line)
            if (lines.IsNote(line)) found.push_back(line);
        return found;
    };
    EXPECT_EQ(notes(), (std::vector<std::size_t>{1, 4}));
    EXPECT_EQ(lines.TextMarkingNotes(u"# "),
              u"open line\n# \u2014 COM5 lost \u2014\n\npartial\n# \u2014 COM5 back \u2014\nnext");
    lines.SetTabStops({4});
    EXPECT_EQ(notes(), (std::vector<std::size_t>{1, 4}));
    lines.DropFrontLines(2);
    EXPECT_EQ(notes(), (std::vector<std::size_t>{2}));
    lines.Replace(lines.LineStart(2), lines.LineStart(2) + 1, u"typed");
    EXPECT_EQ(notes(), (std::vector<std::size_t>{}));
}

TEST(TextLines, ClearStartsOver) {
    TTextLines lines;
    lines.SetColumns(4);
    lines.Append(u"one\rtwo and more\r");
    lines.Clear();
    EXPECT_EQ(lines.Length(), 0u);
    EXPECT_EQ(lines.LineCount(), 1u);
    EXPECT_EQ(lines.RowCount(), 1u);
    lines.Append(u"\nx");  // no pending carriage return survives Clear
    EXPECT_EQ(lines.Text(), u"\nx");
}

// Enough text for several chunks, dropped from the front in steps while more
// arrives; what is left lays out as the model of the lines that are left.
TEST(TextLines, DropsItsOldestLinesAndLaysOutTheRestAsBefore) {
    std::mt19937 random(23);
    TTextLines lines;
    lines.SetColumns(80);
    std::u16string model;
    for (int step = 0; step < 4; ++step) {
        SCOPED_TRACE(step);
        // Ends in a long line, so its checkpoints are used after the drop.
        const std::u16string piece = RandomText(random, 70000, true) + RandomText(random, 1500, false);
        lines.Append(piece);
        model = Normalised(model + piece);
        const std::size_t drop = lines.LineCount() / 2;
        lines.DropFrontLines(drop);
        for (std::size_t i = 0; i < drop; ++i) model.erase(0, model.find(u'\n') + 1);
        ExpectLayout(lines, model, 80, 8);
    }
    lines.DropFrontLines(lines.LineCount());  // the last line always stays
    EXPECT_EQ(lines.LineCount(), 1u);
    EXPECT_EQ(lines.Text(), SplitLines(model).back());
}

// Found as the text joined with "\n" finds it: a needle never spans a line end.
TEST(TextLines, FindsForwardAndBackwardAsTheJoinedTextDoes) {
    std::mt19937 random(31);
    for (const bool lineEnds : {true, false}) {
        SCOPED_TRACE(testing::Message() << "line ends " << lineEnds);
        std::u16string raw = RandomText(random, 3 * 65536, lineEnds);
        // A needle across the boundary of two search windows, and at the very end.
        raw.replace(65536 - 3, 6, u"needle");
        raw += u"needle";
        TTextLines lines;
        lines.Append(raw);
        const std::u16string text = Normalised(raw);
        for (const std::u16string needle : {u"needle", u"ab", u"a", u"\U0001F600X", u"missing"}) {
            for (int i = 0; i < 40; ++i) {
                const std::size_t from = i == 0 ? 0 : i == 1 ? text.size() : random() % text.size();
                SCOPED_TRACE(testing::Message() << "from " << from);
                const std::size_t forward = text.find(needle, from);
                const std::size_t backward = from >= needle.size() ? text.rfind(needle, from - needle.size()) : std::u16string::npos;
                const auto found = lines.Find(needle, from, true);
                EXPECT_EQ(found ? *found : std::u16string::npos, forward);
                const auto foundBack = lines.Find(needle, from, false);
                EXPECT_EQ(foundBack ? *foundBack : std::u16string::npos, backward);
            }
        }
        EXPECT_FALSE(lines.Find(u"", 0, true));
    }
}

TEST(TextLines, KeepsEveryUnitWhenAChunkOfNarrowUnitsMeetsAWideOne) {
    // One byte a unit up to the euro sign, two from there on; the first chunk stays narrow.
    std::u16string text(70000, u'a');
    text += u"\u00e9\u00ff\u20ac\U0001F600b";
    TTextLines lines;
    lines.Append(text.substr(0, 70001));
    lines.Append(text.substr(70001));
    EXPECT_EQ(lines.Text(), text);
    EXPECT_EQ(lines.At(0, 70002), u'\u20ac');
    lines.Replace(69999, 70003, u"\u00e9");
    EXPECT_EQ(lines.Text(), std::u16string(69999, u'a') + u"\u00e9\U0001F600b");
}

namespace {

// The style of every unit of the text, line by line, as the rows give them.
std::vector<std::vector<uint32_t>> StylesOf(const TTextLines& Lines) {
    std::vector<std::vector<uint32_t>> styles(Lines.LineCount());
    for (const TTextLines::TRow& row : Lines.Rows(0, Lines.RowCount())) {
        for (std::size_t i = 0; i < row.Units.size(); ++i)
            styles[row.Line].push_back(row.Styles.empty() ? 0 : row.Styles[i]);
    }
    return styles;
}

}  // namespace

TEST(TextLines, KeepsStylesThroughPutsDropsAndNewTabStops) {
    TTextLines lines;
    lines.Append(u"plain ");
    EXPECT_TRUE(lines.Row(0).Styles.empty());  // one style: nothing kept per unit
    lines.SetStyle(1);
    lines.Append(u"red\n");
    lines.SetStyle(2);
    lines.Append(u"bold");
    lines.SetStyle(0);
    lines.Append(u" end");
    using S = std::vector<std::vector<uint32_t>>;
    EXPECT_EQ(StylesOf(lines), (S{{0, 0, 0, 0, 0, 0, 1, 1, 1}, {2, 2, 2, 2, 0, 0, 0, 0}}));

    // Over "ain r": the rest keeps its own styles, the end goes on as it was.
    lines.Put(2, 7, u"AIN\nR", 3);
    EXPECT_EQ(lines.Text(), u"plAIN\nRed\nbold end");
    EXPECT_EQ(StylesOf(lines), (S{{0, 0, 3, 3, 3}, {3, 1, 1}, {2, 2, 2, 2, 0, 0, 0, 0}}));
    lines.Append(u"!");
    EXPECT_EQ(lines.StyleAt(2, 8), 0u);

    lines.SetTabStops({4});
    EXPECT_EQ(StylesOf(lines), (S{{0, 0, 3, 3, 3}, {3, 1, 1}, {2, 2, 2, 2, 0, 0, 0, 0, 0}}));
    lines.DropFrontLines(1);
    EXPECT_EQ(StylesOf(lines), (S{{3, 1, 1}, {2, 2, 2, 2, 0, 0, 0, 0, 0}}));
    lines.SetTabStops({8});
    EXPECT_EQ(StylesOf(lines), (S{{3, 1, 1}, {2, 2, 2, 2, 0, 0, 0, 0, 0}}));
}

// ---- the scrollback file -----------------------------------------------------

namespace {

constexpr uint64_t kChunk = 65536;
// Lines in a block of the line index: small, so that its blocks are packed and go to the file too.
constexpr std::size_t kIndexBlock = 16;

// Text of several kinds (wide and narrow units, styles, notes) appended to
// Lines and to a model of the joined text and of each unit's style.
struct TSessionModel {
    std::u16string Text;
    std::vector<uint32_t> Styles;  // of each unit but the line ends
    std::vector<std::size_t> Notes;
    std::size_t Line = 0;  // the last line of Text

    void Add(TTextLines& Lines, std::mt19937& Random, std::size_t Units) {
        while (Text.size() < Units) {
            const auto style = static_cast<uint32_t>(Random() % 3);
            std::u16string piece = RandomText(Random, 1 + Random() % 300, false);
            if (Random() % 4 == 0) piece += u'\n';
            Lines.SetStyle(style);
            Lines.Append(piece);
            Text += piece;
            for (const char16_t unit : piece) {
                if (unit != u'\n') Styles.push_back(style);
                else ++Line;
            }
            if (Random() % 50 == 0) AddNote(Lines);
        }
    }
    void AddNote(TTextLines& Lines) {
        const std::u16string note = u"\u2014 note " + std::u16string(1, char16_t(u'0' + Notes.size() % 10));
        Lines.SetStyle(0);
        Lines.AppendNote(note);
        if (!Text.empty() && Text.back() != u'\n') {
            Text += u'\n';
            ++Line;
        }
        Notes.push_back(Line++);
        Text += note + u'\n';
        Styles.insert(Styles.end(), note.size(), 0);
    }
};

std::vector<uint32_t> FlatStyles(const TTextLines& Lines) {
    std::vector<uint32_t> flat;
    for (const auto& line : StylesOf(Lines)) flat.insert(flat.end(), line.begin(), line.end());
    return flat;
}

// Where two long texts first differ (npos: nowhere), which says more than both texts would.
std::size_t FirstDifference(const std::u16string& A, const std::u16string& B) {
    if (A == B) return std::u16string::npos;
    return static_cast<std::size_t>(std::mismatch(A.begin(), A.end(), B.begin(), B.end()).first - A.begin());
}

// A folder of the test's own in the system's temporary one, gone at the end.
class TScratchFolder {
public:
    TScratchFolder() : FPath(QDir::temp().filePath(QStringLiteral("ostra-text-lines-%1-%2").arg(QCoreApplication::applicationPid()).arg(FCount++))) {
        QDir().mkpath(FPath);
    }
    ~TScratchFolder() { QDir(FPath).removeRecursively(); }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    bool isValid() const { return QDir(FPath).exists(); }
    QString path() const { return FPath; }

private:
    static inline int FCount = 0;
    QString FPath;
};

std::size_t FilesIn(const TScratchFolder& Folder) { return QDir(Folder.path()).entryList(QDir::Files).size(); }

}  // namespace

// Ten times the budget goes through a file in a folder of the test's own: the
// text, its styles, its notes and its layout read back as they went in, found
// and copied across the boundary of what is in memory.
TEST(TextLines, KeepsEverythingInOrderThroughTheScrollbackFile) {
    TScratchFolder folder;
    ASSERT_TRUE(folder.isValid());
    // One left by a run that crashed where open files keep their names.
    QFile stale(QDir(folder.path()).filePath(QStringLiteral("scrollback-999999-0.tmp")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    std::mt19937 random(41);
    TSessionModel model;
    {
        TTextLines lines(kIndexBlock);
        lines.SetScrollback(2 * kChunk, folder.path().toStdU16String());
        lines.SetColumns(80);
        model.Text = u"needle at the start\n";
        model.Styles.assign(model.Text.size() - 1, 0);
        model.Line = 1;
        lines.Append(model.Text);
        model.Add(lines, random, 20 * kChunk);
        EXPECT_TRUE(lines.ScrollbackError().empty());
        EXPECT_FALSE(QFile::exists(stale.fileName()));

        EXPECT_EQ(FirstDifference(lines.Text(), model.Text), std::u16string::npos);
        EXPECT_EQ(FlatStyles(lines), model.Styles);
        std::vector<std::size_t> notes;
        for (std::size_t line = 0; line < lines.LineCount(); ++line)
            if (lines.IsNote(line)) notes.push_back(line);
        EXPECT_EQ(notes, model.Notes);
        // What File > Save writes: every line, the notes marked.
        std::u16string saved;
        const std::vector<std::u16string> all = SplitLines(model.Text);
        for (std::size_t line = 0, note = 0; line < all.size(); ++line) {
            if (note < model.Notes.size() && model.Notes[note] == line && ++note) saved += u"# ";
            saved += all[line] + (line + 1 < all.size() ? u"\n" : u"");
        }
        EXPECT_EQ(FirstDifference(lines.TextMarkingNotes(u"# "), saved), std::u16string::npos);
        ExpectLayout(lines, model.Text, 80, 8);
        EXPECT_EQ(lines.Find(u"needle", lines.Length(), false), 0u);
        for (const uint64_t from : {uint64_t{10}, kChunk - 7, 5 * kChunk + 3}) {
            const uint64_t to = lines.Length() - from / 2;
            EXPECT_EQ(lines.Text(from, to), model.Text.substr(from, to - from));
        }

        // Putting text over a place that went to the file brings it back.
        const uint64_t at = 3 * kChunk + 11;
        lines.Put(at, at + 4, u"PUT", 2);
        model.Text.replace(at, 4, u"PUT");
        EXPECT_EQ(FirstDifference(lines.Text(), model.Text), std::u16string::npos);
        model.Add(lines, random, 24 * kChunk);
        EXPECT_EQ(FirstDifference(lines.Text(), model.Text), std::u16string::npos);

        lines.Clear();
        EXPECT_EQ(FilesIn(folder), 0u);
        lines.Append(model.Text);
        EXPECT_EQ(FirstDifference(lines.Text(), model.Text), std::u16string::npos);
    }
    EXPECT_EQ(FilesIn(folder), 0u);
}

// The line limit, set as well, drops the oldest text from the file too.
#ifdef __linux__
// The file's name goes at once, so its mode is read through the process's
// open descriptors; a permissive umask shows a file made with the default mode.
TEST(TextLines, TheScrollbackFileIsTheUsersAlone) {
    TScratchFolder folder;
    ASSERT_TRUE(folder.isValid());
    const mode_t umaskBefore = umask(0);
    TTextLines lines(kIndexBlock);
    lines.SetScrollback(kChunk, folder.path().toStdU16String());
    lines.Append(std::u16string(4 * kChunk, u'x'));
    umask(umaskBefore);
    ASSERT_TRUE(lines.ScrollbackError().empty());
    int files = 0;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::Files)) {
        if (!fd.symLinkTarget().startsWith(folder.path())) continue;
        struct stat status {};
        ASSERT_EQ(stat(fd.filePath().toLocal8Bit().constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600u) << fd.symLinkTarget().toStdString();
        ++files;
    }
    EXPECT_GT(files, 0);
}
#endif

TEST(TextLines, DropsTheOldestLinesFromTheScrollbackFile) {
    TScratchFolder folder;
    std::mt19937 random(43);
    TTextLines lines(kIndexBlock);
    lines.SetScrollback(kChunk, folder.path().toStdU16String());
    TSessionModel model;
    model.Add(lines, random, 8 * kChunk);
    const std::size_t drop = lines.LineCount() - 100;
    lines.DropFrontLines(drop);
    const std::vector<std::u16string> all = SplitLines(model.Text);
    std::u16string rest;
    for (std::size_t line = drop; line < all.size(); ++line) rest += all[line] + (line + 1 < all.size() ? u"\n" : u"");
    EXPECT_EQ(FirstDifference(lines.Text(), rest), std::u16string::npos);
    model.Add(lines, random, 12 * kChunk);
    EXPECT_EQ(lines.LineText(lines.LineCount() - 1), SplitLines(model.Text).back());
}
