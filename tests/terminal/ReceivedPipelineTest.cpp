// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/ReceivedPipeline.h"

#include <gtest/gtest.h>

#include "tests/terminal/MemorySink.h"
#include "toolkit/core/SysUtils.h"

namespace {

class ReceivedPipelineTest : public ::testing::Test {
protected:
    TMemorySink Sink;
    TReceivedPipeline Pipeline{Sink};
    std::vector<std::string> Calls;
};

TEST_F(ReceivedPipelineTest, BytesComeFirstThenTextStagesByRankThenTheStore) {
    // The text is decoded in the system's code page; these bytes are UTF-8.
    if (!AnsiCodePageIsUtf8()) GTEST_SKIP() << "the system's code page is not UTF-8";
    // Added out of order: the ranks decide.
    Pipeline.AddTextStage(TReceivedPipeline::kRankTimestamps, [this](std::u16string& Text) {
        Calls.push_back("stamps " + UnicodeToUtf8(Text));
        Text = u"[" + Text + u"]";
    });
    Pipeline.AddTextStage(TReceivedPipeline::kRankTextListeners, [this](std::u16string& Text) {
        Calls.push_back("reader " + UnicodeToUtf8(Text));
    });
    Pipeline.AddTextStage(TReceivedPipeline::kRankControlNames, [this](std::u16string& Text) {
        Calls.push_back("names " + UnicodeToUtf8(Text));
        Text += u"!";
    });
    Pipeline.AddBytesListener(TReceivedPipeline::kRankHexView, [this](std::string_view Bytes) {
        Calls.push_back("bytes " + std::string(Bytes));
    });

    // A character of UTF-8 split over two blocks: the bytes as they came, the text once whole.
    Pipeline.Receive("caf\xc3");
    Pipeline.Receive("\xa9");
    EXPECT_EQ(Calls, (std::vector<std::string>{"bytes caf\xc3", "names caf", "stamps caf!", "reader [caf!]",
                                               "bytes \xa9", "names \xc3\xa9", "stamps \xc3\xa9!",
                                               "reader [\xc3\xa9!]"}));
    EXPECT_EQ(Sink.Text(), u"[caf!][\u00e9!]");
}

TEST_F(ReceivedPipelineTest, LineListenersSeeEachEndedLineOnceButNotTheConsolesOwn) {
    std::vector<std::u16string> lines;
    Pipeline.AddLineListener(0, [&](std::u16string_view Line) { lines.emplace_back(Line); });
    Pipeline.Receive("one\r\ntw");
    Pipeline.Receive("o\r");
    Pipeline.Receive("\nthree");
    EXPECT_EQ(lines, (std::vector<std::u16string>{u"one", u"two"}));

    Pipeline.AddOwnLine(u"-- mark --");
    Pipeline.Receive("four\n");
    EXPECT_EQ(lines, (std::vector<std::u16string>{u"one", u"two", u"four"}));
    EXPECT_EQ(Sink.Text(), u"one\ntwo\nthree\n-- mark --\nfour\n");
    EXPECT_TRUE(Sink.Lines[3].Note);
}

TEST_F(ReceivedPipelineTest, AHandlerMayRemoveItselfAndOthersWhileCalled) {
    TListenerId second = 0;
    int firstCalls = 0, secondCalls = 0;
    TListenerId first = 0;
    first = Pipeline.AddBytesListener(1, [&](std::string_view) {
        ++firstCalls;
        Pipeline.Remove(first);
        Pipeline.Remove(second);
    });
    second = Pipeline.AddBytesListener(2, [&](std::string_view) { ++secondCalls; });
    Pipeline.Receive("a");
    Pipeline.Receive("b");
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 0);
}

TEST_F(ReceivedPipelineTest, ANewSessionForgetsAHalfCharacter) {
    // The text is decoded in the system's code page; these bytes are UTF-8.
    if (!AnsiCodePageIsUtf8()) GTEST_SKIP() << "the system's code page is not UTF-8";
    Pipeline.Receive("x\xe2\x82");
    Pipeline.Reset();
    Pipeline.Receive("y");
    EXPECT_EQ(Sink.Text(), u"xy");
}

}  // namespace
