// SPDX-License-Identifier: GPL-3.0-or-later
// The hex view of received bytes on the offscreen platform: the rows as a
// hex dump shows them, the bytes kept under a line limit, and the view
// following the end or staying where the user reads.

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

class ByteHistory : public testing::TestWithParam<std::size_t> {};

// Lines end at CR, LF and CR LF, also split over two appends; a limit of one
// line drops every line end as it arrives, the CR of a pair too.
TEST_P(ByteHistory, KeepsTheBytesOfTheLastLinesAsTheModelDoes) {
    const std::size_t limit = GetParam();
    std::mt19937 random(5);
    const std::string alphabet("ab\r\n\0\xff", 6);
    TByteHistory history;
    history.SetLineLimit(limit);
    std::string all;
    for (int round = 0; round < 200; ++round) {
        std::string piece;
        for (unsigned n = random() % 3000; n > 0; --n) piece += alphabet[random() % alphabet.size()];
        history.Append(piece);
        all += piece;
        // The model: the start after the limit's line end from the back.
        std::size_t start = 0, ends = 0;
        for (std::size_t i = all.size(); i-- > 0;) {
            const bool end = all[i] == '\n' || (all[i] == '\r' && (i + 1 == all.size() || all[i + 1] != '\n'));
            if (end && ++ends == limit) {
                start = i + 1;
                break;
            }
        }
        ASSERT_EQ(history.First(), start) << "round " << round;
        ASSERT_EQ(history.End(), all.size());
        ASSERT_EQ(history.Bytes(0, all.size()), all.substr(start));
    }
    history.Clear();
    EXPECT_EQ(history.First(), all.size());
    EXPECT_EQ(history.Bytes(0, UINT64_MAX), "");
}

INSTANTIATE_TEST_SUITE_P(Limits, ByteHistory, testing::Values(1, 2, 50));

class HexView : public testing::Test {
protected:
    void SetUp() override {
        View = new THexView(&Window);
        View->setGeometry(0, 0, 400, 200);
        View->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        ASSERT_TRUE(Window.ShowExposed());
    }

    void AppendLines(int From, int To) {
        for (int i = From; i < To; ++i) View->AppendBytes("line " + std::to_string(i) + "\r\n");
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

}  // namespace
