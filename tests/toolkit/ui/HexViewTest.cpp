// SPDX-License-Identifier: GPL-3.0-or-later
// The hex view of received bytes on the offscreen platform: the rows as a
// hex dump shows them, the bytes kept under a line limit and through the
// scrollback file, the view following the end or staying where the user
// reads, and painting once a frame.

#include "toolkit/ui/HexView.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QScrollBar>
#include <random>
#include <string>

#include "tests/toolkit/ui/QtTestSupport.h"

namespace {

struct TRowCase {
    const char* Name;
    uint64_t Offset;
    std::size_t Skip;
    std::string Bytes;
    const char* Text;
};

class HexRows : public testing::TestWithParam<TRowCase> {};

TEST_P(HexRows, ShowOffsetHexAndPrintableAscii) {
    EXPECT_EQ(THexView::RowText(GetParam().Offset, GetParam().Skip, GetParam().Bytes).toStdString(), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HexRows,
    testing::Values(
        TRowCase{"Full", 0, 0, "Hello, world!\r\n\x7f",
                 "00000000  48 65 6c 6c 6f 2c 20 77  6f 72 6c 64 21 0d 0a 7f  |Hello, world!...|"},
        TRowCase{"NulAndHighBytes", 0x1230, 0, std::string("\0\x1b\xff\x80", 4),
                 "00001230  00 1b ff 80                                       |....            |"},
        TRowCase{"StartsInsideTheRow", 0x10, 14, "ab",
                 "00000010                                             61 62  |              ab|"},
        TRowCase{"PastFourGigabytes", 0x123456780, 0, "A",
                 "123456780  41                                                |A               |"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

constexpr uint64_t kChunk = 65536;

// The start of the last Limit lines of All, as the user counts them (0: all of it).
std::size_t StartOfLastLines(const std::string& All, std::size_t Limit) {
    std::size_t ends = 0;
    for (std::size_t i = All.size(); i-- > 0 && Limit > 0;) {
        const bool end = All[i] == '\n' || (All[i] == '\r' && (i + 1 == All.size() || All[i + 1] != '\n'));
        if (end && ++ends == Limit) return i + 1;
    }
    return 0;
}

struct THistoryCase {
    std::size_t Limit;
    bool Spill;          // a budget of one chunk in memory, the rest in the file
    int LimitFromRound;  // set later, the lines are found in the bytes kept
};

class ByteHistory : public testing::TestWithParam<THistoryCase> {};

// Lines end at CR, LF and CR LF, also split over two appends; a limit of one
// line drops every line end as it arrives, the CR of a pair too. What went
// to the scrollback file reads back as it went in, across chunk edges.
TEST_P(ByteHistory, KeepsTheBytesOfTheLastLinesAsTheModelDoes) {
    const THistoryCase& param = GetParam();
    std::mt19937 random(5);
    const std::string alphabet("ab\r\n\0\xff", 6);
    TScratchFolder folder;
    TByteHistory history;
    history.SetScrollback(param.Spill ? kChunk : 0, folder.Path());
    std::string all;
    for (int round = 0; round < 200; ++round) {
        if (round == param.LimitFromRound) history.SetLineLimit(param.Limit);
        std::string piece;
        for (unsigned n = random() % 3000; n > 0; --n) piece += alphabet[random() % alphabet.size()];
        history.Append(piece);
        all += piece;
        const std::size_t start = round >= param.LimitFromRound ? StartOfLastLines(all, param.Limit) : 0;
        ASSERT_EQ(history.First(), start) << "round " << round;
        ASSERT_EQ(history.End(), all.size());
        ASSERT_EQ(history.Bytes(0, all.size()), all.substr(start));
        ASSERT_LE(history.BytesInMemory(), param.Spill ? kChunk : all.size() + kChunk);
    }
    EXPECT_TRUE(history.ScrollbackError().isEmpty());
    history.Clear();
    EXPECT_EQ(history.First(), all.size());
    EXPECT_EQ(history.Bytes(0, UINT64_MAX), "");
    // An LF after the clear is a line end of its own.
    const std::string after = "\nafter\r";
    history.Append(after);
    EXPECT_EQ(history.Bytes(0, UINT64_MAX), after.substr(StartOfLastLines(after, param.Limit)));
}

INSTANTIATE_TEST_SUITE_P(Limits, ByteHistory,
                         testing::Values(THistoryCase{1, false, 0}, THistoryCase{2, false, 0},
                                         THistoryCase{50, false, 0}, THistoryCase{2000, false, 0},
                                         THistoryCase{1, true, 0}, THistoryCase{2000, true, 0},
                                         THistoryCase{0, true, 0}, THistoryCase{50, true, 100},
                                         THistoryCase{2000, false, 100}),
                         [](const auto& Info) {
                             return std::to_string(Info.param.Limit) + (Info.param.Spill ? "Spilled" : "InMemory") +
                                    (Info.param.LimitFromRound > 0 ? "SetLater" : "");
                         });

class HexView : public testing::Test {
protected:
    void SetUp() override {
        View = new THexView(&Window);
        View->setGeometry(0, 0, 400, 200);
        View->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        ASSERT_TRUE(Window.ShowExposed());
    }

    // Lines appended one by one, then shown at the next frame.
    void AppendLines(int From, int To) {
        for (int i = From; i < To; ++i) View->AppendBytes("line " + std::to_string(i) + "\r\n");
        ASSERT_TRUE(WaitFor([&] { return !View->ShowPending(); }));
    }
    uint64_t TopOffset() const { return (View->History().First() / 16 + View->TopRow()) * 16; }

    TTestWindow Window{500, 300};
    THexView* View = nullptr;
};

TEST_F(HexView, FollowsTheEndAndStaysWhereTheUserReadsWhileOldLinesGo) {
    AppendLines(0, 100);
    const QScrollBar& bar = *View->verticalScrollBar();
    EXPECT_TRUE(View->FollowsEnd());
    EXPECT_EQ(bar.value(), bar.maximum());
    EXPECT_GT(bar.maximum(), 0);

    View->SetLineLimit(80);
    View->verticalScrollBar()->setValue(bar.maximum() - 3);
    ASSERT_FALSE(View->FollowsEnd());
    const uint64_t reading = TopOffset();
    AppendLines(100, 120);
    EXPECT_FALSE(View->FollowsEnd());
    EXPECT_EQ(TopOffset(), reading);

    View->verticalScrollBar()->setValue(bar.maximum());
    AppendLines(120, 130);
    EXPECT_TRUE(View->FollowsEnd());
    EXPECT_EQ(bar.value(), bar.maximum());
}

TEST_F(HexView, ManyAppendsInOneTurnArePaintedOnceAtTheNextFrame) {
    AppendLines(0, 10);
    ASSERT_TRUE(WaitFor([&] { return !View->ShowPending(); }));
    QCoreApplication::processEvents();
    const TPaintCounter counter(*View->viewport());
    const int scrollRange = View->verticalScrollBar()->maximum();
    for (int i = 10; i < 2000; ++i) View->AppendBytes("line " + std::to_string(i) + "\r\n");
    QCoreApplication::processEvents();
    EXPECT_EQ(View->verticalScrollBar()->maximum(), scrollRange);
    ASSERT_TRUE(WaitFor([&] { return counter.Paints > 0 && !View->ShowPending(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.Paints, 1);
    // The frame shows the end: the last row in view holds the last line.
    const QScrollBar& bar = *View->verticalScrollBar();
    EXPECT_EQ(bar.value(), bar.maximum());
    EXPECT_EQ(static_cast<uint64_t>(bar.maximum() + bar.pageStep()), View->RowCount());
}

// Two views of the same bytes, one with a budget of one chunk, show the same
// rows at the top, which the first keeps only in the file.
TEST_F(HexView, ShowsRowsFromTheScrollbackFileAsFromMemory) {
    TScratchFolder folder;
    auto* inMemory = new THexView(&Window);
    inMemory->setGeometry(View->geometry());
    inMemory->setFont(View->font());
    inMemory->SetScrollback(0);
    View->SetScrollback(kChunk, folder.Path());
    std::string block;
    for (int i = 0; i < 5000; ++i) block += "line " + std::to_string(i) + "\r\n";
    for (int i = 0; i < 10; ++i) {
        View->AppendBytes(block);
        inMemory->AppendBytes(block);
    }
    ASSERT_TRUE(WaitFor([&] { return !View->ShowPending() && !inMemory->ShowPending(); }));
    ASSERT_LE(View->History().BytesInMemory(), kChunk);
    ASSERT_GT(View->History().End(), 4 * kChunk);
    const auto topRows = [](THexView& Hex) {
        Hex.verticalScrollBar()->setValue(0);
        return Hex.viewport()->grab().toImage();
    };
    inMemory->show();
    inMemory->raise();
    const QImage expected = topRows(*inMemory);
    inMemory->hide();
    EXPECT_EQ(topRows(*View), expected);
    EXPECT_EQ(View->History().Bytes(0, 16), "line 0\r\nline 1\r\n");
}

// The ways the scrollback file stops taking bytes: it cannot be made at all,
// or the disk fills (a limit on the size of files this process writes) after
// it took some.
struct TFileTroubleCase {
    const char* Name;
    bool FileStopsGrowing;
};

class HexScrollbackTrouble : public HexView, public testing::WithParamInterface<TFileTroubleCase> {};

TEST_P(HexScrollbackTrouble, SaysSoOnceThenDropsTheOldestLinesAndGoesOn) {
    if (GetParam().FileStopsGrowing && !TFailingFolder::CanStopFilesGrowing()) GTEST_SKIP() << "no limit on the size of files here";
    TFailingFolder folder(GetParam().FileStopsGrowing, 3 * kChunk);
    View->SetScrollback(2 * kChunk, folder.Path());
    std::string all;
    QStringList told;
    for (int i = 0; i < 4000; ++i) {
        const std::string line = "received line " + std::to_string(i) + "\r\n";
        View->AppendBytes(std::string(line.size() * 20, 'x') + line);
        all += std::string(line.size() * 20, 'x') + line;
        if (i % 100 == 0) {
            ASSERT_TRUE(WaitFor([&] { return !View->ShowPending(); }));
        }
        for (const QString& note : View->Notes())
            if (!told.contains(note)) told << note;
    }
    ASSERT_TRUE(WaitFor([&] { return !View->ShowPending(); }));
    ASSERT_EQ(told.size(), 2);
    EXPECT_TRUE(told[0].contains(QStringLiteral("scrollback file cannot be written"))) << told[0].toStdString();
    EXPECT_TRUE(told[1].contains(QStringLiteral("oldest bytes are being dropped")));
    EXPECT_EQ(View->Notes(), told);
    EXPECT_EQ(View->toolTip(), told.join(u'\n'));  // read whole where the view is narrow

    const TByteHistory& history = View->History();
    EXPECT_GT(history.First(), 0u);
    EXPECT_EQ(all[history.First() - 1], '\n');  // whole lines went
    EXPECT_EQ(history.Bytes(0, UINT64_MAX), all.substr(history.First()));
    EXPECT_LE(history.BytesInMemory(), 3 * kChunk);

    View->AppendBytes("and on\r\n");
    EXPECT_TRUE(history.Bytes(0, UINT64_MAX).ends_with("received line 3999\r\nand on\r\n"));
    View->Clear();
    EXPECT_TRUE(View->Notes().isEmpty());
    EXPECT_TRUE(View->toolTip().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Cases, HexScrollbackTrouble,
                         testing::Values(TFileTroubleCase{"FolderCannotBeMade", false},
                                         TFileTroubleCase{"FileStopsGrowing", true}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
