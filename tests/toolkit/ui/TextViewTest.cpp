// SPDX-License-Identifier: GPL-3.0-or-later
// The received area's text view on the offscreen platform: following the
// end, staying put while the user reads back, copying, no undo, and a
// fixed-pitch font whatever fonts are installed.

#include "toolkit/ui/TextView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "tests/toolkit/ui/QtTestSupport.h"
#include "toolkit/ui/StdCtrls.h"

namespace {

class TextView : public testing::Test {
protected:
    void SetUp() override {
        View = new TTextView(&Window);
        View->setGeometry(0, 0, 300, 200);
        View->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        ASSERT_TRUE(Window.ShowExposed());
    }

    // Adds the lines and waits for the frame that shows them.
    void AppendLines(int Count, const std::u16string& Prefix = u"line ") {
        for (int i = 0; i < Count; ++i) {
            const std::string number = std::to_string(i);
            View->AppendText(Prefix + std::u16string(number.begin(), number.end()) + u"\r\n");
        }
        ASSERT_TRUE(Shown());
    }

    bool Shown() const {
        return WaitFor([&] { return !View->ShowPending(); });
    }

    bool AtTheEnd() const {
        if (!Shown()) return false;
        const QScrollBar& bar = *View->verticalScrollBar();
        return bar.value() == bar.maximum() && View->TopRow() + View->VisibleRows() >= View->Lines().RowCount();
    }

    void Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) { QTest::keyClick(View, Key, Modifiers); }

    TTestWindow Window{400, 300};
    TTextView* View = nullptr;
};

TEST_F(TextView, FollowsTheEndOfLinesWrappedLinesAndALineThatNeverEnds) {
    AppendLines(200);
    EXPECT_GT(View->verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(AtTheEnd());
    // Wider than the view: each line takes several rows.
    AppendLines(50, std::u16string(150, u'w'));
    EXPECT_TRUE(AtTheEnd());
    const std::u16string block(4096, u'.');
    for (int i = 0; i < 40; ++i) {
        View->AppendText(block);
        ASSERT_TRUE(AtTheEnd()) << "block " << i;
    }
    EXPECT_GT(View->Lines().RowsOf(View->Lines().LineCount() - 1), 1000u);
}

TEST_F(TextView, TextAddedFasterThanFramesIsPaintedOnceAFrameAndAllShownAtTheEnd) {
    const TPaintCounter counter(*View->viewport());
    View->setFocus();
    QElapsedTimer elapsed;
    elapsed.start();
    constexpr int kBlocks = 3000;
    for (int i = 0; i < kBlocks; ++i) {
        View->AppendText(u"a block of received text\r\n");
        View->SetSelection(View->Length(), View->Length());  // the caret follows, as the window moves it
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(AtTheEnd());
    // A coarse timer may fire up to 5 % early: 15 ms, not 16.
    EXPECT_LE(counter.Paints, elapsed.elapsed() / 15 + 2) << "in " << elapsed.elapsed() << " ms";
    EXPECT_GT(counter.Paints, 0);
    EXPECT_EQ(View->Lines().LineCount(), kBlocks + 1u);
    EXPECT_EQ(View->CaretPosition(), View->Length());
}

TEST_F(TextView, StaysPutWhileTheUserReadsBackAndFollowsAgainAtTheEnd) {
    AppendLines(300);
    QScrollBar& bar = *View->verticalScrollBar();
    bar.triggerAction(QAbstractSlider::SliderPageStepSub);
    const int reading = bar.value();
    AppendLines(100);
    EXPECT_EQ(bar.value(), reading);
    EXPECT_FALSE(View->FollowsEnd());

    bar.setValue(bar.maximum());  // dragged back to the end
    AppendLines(100);
    EXPECT_TRUE(AtTheEnd());

    bar.triggerAction(QAbstractSlider::SliderPageStepSub);
    View->setFocus();
    Press(Qt::Key_End, Qt::ControlModifier);
    AppendLines(10);
    EXPECT_TRUE(AtTheEnd());

    bar.triggerAction(QAbstractSlider::SliderPageStepSub);
    View->Clear();
    AppendLines(300);
    EXPECT_TRUE(AtTheEnd());
}

// Wrapped lines, so the rows dropped are more than the lines.
TEST_F(TextView, ALineLimitDropsTheOldestLinesWithoutMovingWhatTheUserReads) {
    AppendLines(300, std::u16string(60, u'x'));
    View->SetLineLimit(200);
    EXPECT_EQ(View->Lines().LineCount(), 200u);
    EXPECT_TRUE(AtTheEnd());
    View->SetSelection(View->Lines().LineStart(150), View->Lines().LineStart(150) + 4);

    View->verticalScrollBar()->setValue(View->verticalScrollBar()->maximum() / 2);
    const std::u16string reading = View->Lines().LineText(View->Lines().LineOfRow(View->TopRow()));
    const std::u16string selected = View->SelectedText();
    AppendLines(20, u"new ");
    EXPECT_EQ(View->Lines().LineCount(), 200u);
    EXPECT_EQ(View->Lines().LineText(View->Lines().LineOfRow(View->TopRow())), reading);
    EXPECT_EQ(View->SelectedText(), selected);
    EXPECT_FALSE(View->FollowsEnd());

    View->SetLineLimit(0);
    AppendLines(50);
    EXPECT_EQ(View->Lines().LineCount(), 250u);
}

// The ways the scrollback file stops taking text: it cannot be made at all,
// or the disk fills (a limit on the size of files this process writes) after
// it took some.
struct TFileTroubleCase {
    const char* Name;
    bool FileStopsGrowing;
};

class ScrollbackTrouble : public TextView, public testing::WithParamInterface<TFileTroubleCase> {};

TEST_P(ScrollbackTrouble, SaysSoOnceThenDropsTheOldestTextAndGoesOn) {
    constexpr uint64_t kChunk = 65536;
    if (GetParam().FileStopsGrowing && !TFailingFolder::CanStopFilesGrowing()) GTEST_SKIP() << "no limit on the size of files here";
    const TFailingFolder folder(GetParam().FileStopsGrowing, 3 * kChunk);
    View->SetScrollback(2 * kChunk, folder.Path().toStdU16String());
    int next = 0;
    const auto receive = [&](int Lines) {
        std::u16string block;
        for (const int end = next + Lines; next < end; ++next) {
            const std::string number = std::to_string(next);
            block += u"received line " + std::u16string(number.begin(), number.end()) + u"\r\n";
        }
        View->AppendText(block);
    };
    const TTextLines& lines = View->Lines();
    // What the window told, in order; it soon goes with the oldest text.
    std::vector<std::u16string> told;
    const auto readNotes = [&] {
        for (std::size_t line = 0; line < lines.LineCount(); ++line)
            if (lines.IsNote(line) && std::find(told.begin(), told.end(), lines.LineText(line)) == told.end())
                told.push_back(lines.LineText(line));
    };
    for (int i = 0; i < 100; ++i) {
        receive(500);
        readNotes();
    }

    int first = -1;
    bool inOrder = true;
    for (std::size_t line = 0; line + 1 < lines.LineCount(); ++line) {
        if (lines.IsNote(line)) continue;
        const std::u16string text = lines.LineText(line);
        const int number = std::stoi(std::string(text.begin() + 14, text.end()));
        inOrder = inOrder && (first < 0 || number == first + 1);
        first = number;
    }
    ASSERT_EQ(told.size(), 2u);
    EXPECT_NE(told[0].find(u"scrollback file cannot be written"), std::u16string::npos);
    EXPECT_NE(told[1].find(u"oldest text is being dropped"), std::u16string::npos);
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(first, next - 1);
    EXPECT_LT(lines.Length(), 5 * kChunk);

    receive(10);
    EXPECT_EQ(lines.LineText(lines.LineCount() - 2), u"received line " + std::u16string(u"50009"));
}

INSTANTIATE_TEST_SUITE_P(Cases, ScrollbackTrouble,
                         testing::Values(TFileTroubleCase{"FolderCannotBeMade", false},
                                         TFileTroubleCase{"FileStopsGrowing", true}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(TextView, FindSelectsTheNextMatchRoundTheEndAndShowsIt) {
    AppendLines(200);
    View->SetSelection(0, 0);
    ASSERT_TRUE(View->Find(u"line 150", true));
    EXPECT_EQ(View->SelectedText(), u"line 150");
    EXPECT_EQ(View->Lines().LineAt(View->AnchorPosition()), 150u);
    const uint64_t row = View->Lines().FirstRowOf(150);
    EXPECT_LE(View->TopRow(), row);
    EXPECT_GT(View->TopRow() + View->VisibleRows(), row);

    ASSERT_TRUE(View->Find(u"line 15", true));  // line 150 itself is behind the caret
    EXPECT_EQ(View->Lines().LineAt(View->AnchorPosition()), 151u);
    ASSERT_TRUE(View->Find(u"line 15", false));
    EXPECT_EQ(View->Lines().LineAt(View->AnchorPosition()), 150u);
    View->SetSelection(View->Length(), View->Length());
    ASSERT_TRUE(View->Find(u"line 15", true));  // round the end
    EXPECT_EQ(View->Lines().LineAt(View->AnchorPosition()), 15u);
    EXPECT_FALSE(View->Find(u"nowhere", true));
    EXPECT_EQ(View->Lines().LineAt(View->AnchorPosition()), 15u);
}

TEST_F(TextView, AResizeKeepsTheLineTheUserIsReading) {
    AppendLines(300, std::u16string(60, u'x'));
    View->verticalScrollBar()->setValue(100);
    const std::size_t line = View->Lines().LineOfRow(View->TopRow());
    View->resize(500, 200);
    ASSERT_TRUE(WaitFor([&] { return View->width() == 500; }));
    ASSERT_TRUE(Shown());
    EXPECT_EQ(View->Lines().LineOfRow(View->TopRow()), line);
    EXPECT_FALSE(View->FollowsEnd());
}

TEST_F(TextView, CopyPutsTheExactTextOnTheClipboard) {
    const std::u16string received = u"tab\there \u00e9\U0001F600\r\nnext\rlast";
    View->AppendText(received);
    View->setFocus();
    Press(Qt::Key_A, Qt::ControlModifier);
    Press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdU16String(u"tab\there \u00e9\U0001F600\nnext\nlast"));

    // Shift+Left twice from the end takes "st"; once more over the pair takes the emoji whole.
    Press(Qt::Key_End, Qt::ControlModifier);
    Press(Qt::Key_Left, Qt::ShiftModifier);
    Press(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(View->SelectedText(), u"st");
    View->SetSelection(10, 10);
    Press(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(View->SelectedText(), u"\U0001F600");
}

TEST_F(TextView, UndoNeverTakesBackText) {
    View->AppendText(u"received");
    View->setFocus();
    Press(Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(View, "ab");
    Press(Qt::Key_Z, Qt::ControlModifier);
    Press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(View->Text(), u"receivedab");
}

TEST_F(TextView, TypesAndDeletesAtTheCaret) {
    View->AppendText(u"one\ntwo");
    View->setFocus();
    View->SetSelection(3, 3);
    QTest::keyClicks(View, "!!");
    Press(Qt::Key_Backspace);
    Press(Qt::Key_Delete);  // the line end
    EXPECT_EQ(View->Text(), u"one!two");
    View->SetSelection(0, 4);
    QTest::keyClicks(View, "1");
    EXPECT_EQ(View->Text(), u"1two");
}

TEST_F(TextView, PaintsTheRowsInViewAtTheirCells) {
    View->AppendText(u"WWWW\r\n\r\nWW");
    const QImage image = View->viewport()->grab().toImage();
    const QColor base = View->palette().color(QPalette::Base);
    const auto inked = [&](int X0, int X1, int Row) {
        for (int y = 4 + Row * View->RowHeight(); y < 4 + (Row + 1) * View->RowHeight(); ++y)
            for (int x = X0; x < X1; ++x)
                if (image.pixelColor(x, y) != base) return true;
        return false;
    };
    const auto cell = [&](double Cells) { return 4 + static_cast<int>(Cells * View->CellWidth()); };
    EXPECT_TRUE(inked(cell(0), cell(4), 0));
    EXPECT_FALSE(inked(cell(4) + 1, image.width(), 0));
    EXPECT_FALSE(inked(0, image.width(), 1));
    EXPECT_TRUE(inked(cell(0), cell(2), 2));
    EXPECT_FALSE(inked(cell(2) + 1, image.width(), 2));
}

// ---- the memo's font -------------------------------------------------------------

class FixedPitchMemo : public testing::TestWithParam<const char*> {};

// A fixed-pitch font that is missing gives way to one that is installed and
// fixed-pitch too, never to the desktop's proportional default.
TEST_P(FixedPitchMemo, GivesNarrowAndWideLettersTheSameAdvance) {
    TMemo memo(nullptr);
    TFont& font = *memo.GetFont();
    font.SetName(GetParam());
    font.SetHeight(-13);
    font.SetPitch(fpFixed);
    const QFont shown = memo.Widget()->font();
    const QFontMetrics metrics(shown);
    EXPECT_EQ(metrics.horizontalAdvance(u'i'), metrics.horizontalAdvance(u'W')) << shown.family().toStdString();
    EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("iiii")), metrics.horizontalAdvance(QStringLiteral("WWWW")));
}

INSTANTIATE_TEST_SUITE_P(Families, FixedPitchMemo,
                         testing::Values("Courier New", "Ostra Missing Mono"));

// The form's family is missing on most desktops but Windows; what stands in
// must still draw an edit box's text.
TEST(StandInFont, ShowsTheTextOfAnEditableBox) {
    TComboBox box(nullptr);
    box.GetFont()->SetName("Ostra Missing Sans");
    box.GetFont()->SetHeight(-11);
    box.Box().resize(105, 21);
    box.SetText(u"115200");
    // The text stands at the left, away from the frame and the arrow.
    const QImage image = box.Box().grab().toImage();
    const QRgb ground = image.pixel(64, image.height() / 2);
    int inked = 0;
    for (int y = 4; y < image.height() - 4; ++y)
        for (int x = 3; x < 56; ++x) inked += qGray(image.pixel(x, y)) + 64 < qGray(ground);
    EXPECT_GT(inked, 20) << box.Box().font().family().toStdString();
}

}  // namespace

namespace {

int PixelsLike(const QImage& Image, QRgb Colour) {
    int count = 0;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x) count += (Image.pixel(x, y) & 0xFFFFFF) == (Colour & 0xFFFFFF);
    return count;
}

}  // namespace

TEST_F(TextView, PaintsTheColoursOfStyledText) {
    View->Append(u"plain ", TTextStyle{});
    View->Append(u"RED", TTextStyle{0xBB0000, TTextStyle::kDefaultColour, 0});
    View->Append(u" ", TTextStyle{});
    View->Append(u"BACK", TTextStyle{TTextStyle::kDefaultColour, 0x0000CC, TTextStyle::atBold});
    View->Flush();
    const QImage image = View->viewport()->grab().toImage();
    EXPECT_GT(PixelsLike(image, 0xBB0000), 5);
    // A background fills its cells whole: at least a cell's height of them.
    EXPECT_GT(PixelsLike(image, 0x0000CC), 4 * View->RowHeight());
    // Plain text is drawn as before, in the palette's text colour, and copies without styles.
    EXPECT_GT(PixelsLike(image, View->palette().color(QPalette::Text).rgb()), 5);
    View->SelectAll();
    EXPECT_EQ(View->SelectedText(), u"plain RED BACK");
}
