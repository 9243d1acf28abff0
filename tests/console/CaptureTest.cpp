// SPDX-License-Identifier: GPL-3.0-or-later
// File > Log to file… and Save received text…, and the View menu's ways of
// showing received text, on a pseudo-terminal with real files.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTime>

#include "console/CaptureLog.h"
#include "console/ReceivedViews.h"
#include "tests/console/ConsoleTestSupport.h"
#include "tests/support/Pty.h"
#include "toolkit/ui/HexView.h"
#include "toolkit/ui/TextView.h"

namespace {

QByteArray FileBytes(const QString& Path) {
    QFile file(Path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Capture : public TConsoleTest {
protected:
    void SetUp() override {
        TConsoleTest::SetUp();
        ShowConnectedWindow();
    }

    TCaptureLog& Log() const { return Part<TCaptureLog>("CaptureLog"); }
    TReceivedViews& Views() const { return Part<TReceivedViews>("ReceivedViews"); }
    TTextView& View() const { return Form->Memo1->View(); }
    QString Shown() const { return ToQString(View().Text()); }
    QString Caption() const { return ToQString(Form->GetCaption()); }

    // Sends Bytes and waits until the received area ends with Shown.
    void Receive(const std::string& Bytes, const QString& Shown) {
        Pty.Send(Bytes);
        ASSERT_TRUE(Pump([&] { return this->Shown().endsWith(Shown); })) << this->Shown().toStdString();
    }

    TPty Pty;
    TPortMap Map{"COM5=" + Pty.SlavePath()};
    QTemporaryDir Folder;
};

// ---- the log --------------------------------------------------------------------

TEST_F(Capture, TheLogHoldsEveryByteAsItCameAndStopsWhenAsked) {
    const QString path = Folder.filePath("capture.log");
    Log().Start(path);
    EXPECT_TRUE(Item("&File", "&Log to file…").isChecked());
    EXPECT_EQ(Caption(), "Ostra Console — logging to capture.log");

    // A NUL, byte 26, bytes that are no UTF-8, and a CR LF split over two reads.
    const std::string first("nul\0sub\x1a bad\xff\xc3(\r", 16);
    const std::string second("\nend", 4);
    Receive(first, "\n");
    Receive(second, "end");
    ASSERT_TRUE(Pump([&] { return FileBytes(path).toStdString() == first + second; }));
    EXPECT_EQ(FileBytes(path).toStdString(), first + second);

    Item("&File", "&Log to file…").trigger();
    EXPECT_FALSE(Log().Logging());
    EXPECT_FALSE(Item("&File", "&Log to file…").isChecked());
    EXPECT_EQ(Caption(), "Ostra Console");
    Receive("after", "after");
    EXPECT_EQ(FileBytes(path).toStdString(), first + second);
    EXPECT_EQ(Errors, std::vector<std::string>{});
}

TEST_F(Capture, LogWithDateAndTimeDatesEachChunk) {
    const QString path = Folder.filePath("dated.log");
    Log().Start(path);
    Item("&File", "Log with &date and time").trigger();
    EXPECT_TRUE(Form->OrvelSerialPort1->GetLogDateTime());
    Receive("ping", "ping");
    ASSERT_TRUE(Pump([&] { return FileBytes(path).endsWith(" ping\r\n"); })) << FileBytes(path).toStdString();
}

TEST_F(Capture, AFileThatCannotBeOpenedIsRefusedAtOnceWithTheMessageAndPath) {
    const QString path = Folder.filePath("no-such-dir/capture.log");
    try {
        Log().Start(path);
        ADD_FAILURE() << "accepted";
    } catch (const EOrvelSerialPortException& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), QString(MsgInvalidLogFile) + "\n" + path);
    }
    EXPECT_FALSE(Log().Logging());
    EXPECT_FALSE(Form->OrvelSerialPort1->GetLogInput());
    EXPECT_FALSE(Item("&File", "&Log to file…").isChecked());
    EXPECT_EQ(Caption(), "Ostra Console");
}

TEST_F(Capture, AWriteThatFailsLaterStopsTheLogAndSaysSo) {
    QDir(Folder.path()).mkdir("logs");
    const QString path = Folder.filePath("logs/capture.log");
    Log().Start(path);
    Receive("kept", "kept");
    ASSERT_TRUE(Pump([&] { return FileBytes(path) == "kept"; }));
    ASSERT_TRUE(QDir(Folder.filePath("logs")).removeRecursively());

    Receive("lost", "lost");
    ASSERT_TRUE(Pump([&] { return !Log().Logging(); }));
    EXPECT_EQ(Log().LastFailure(), QString("Logging stopped. ") + MsgInvalidLogFile + "\n" + path);
    EXPECT_EQ(Caption(), "Ostra Console");
    EXPECT_FALSE(Item("&File", "&Log to file…").isChecked());
    EXPECT_TRUE(Form->Connected());
}

// ---- saving ---------------------------------------------------------------------

TEST_F(Capture, SaveWritesTheShownTextAsUtf8) {
    Views().SetShowControls(true);
    Receive("caf\xc3\xa9\r\n\x1b[0m\xff!", "!");
    const QString path = Folder.filePath("received.txt");
    Log().SaveReceived(path);
    EXPECT_EQ(QString::fromUtf8(FileBytes(path)), QString("café\n<ESC>[0m") + QChar(0xFFFD) + "!");
    EXPECT_THROW(Log().SaveReceived(Folder.filePath("no-such-dir/received.txt")), Exception);
}

// ---- views ----------------------------------------------------------------------

TEST_F(Capture, EveryOptionButTerminalCodesIsOffByDefault) {
    for (const char* item : {"&Bell", "&Timestamps", "Show &control characters", "CR and &LF too", "&Hex view",
                             "&Keep the last N lines…"})
        EXPECT_FALSE(Item("&View", item).isChecked()) << item;
    EXPECT_FALSE(Item("&View", "CR and &LF too").isEnabled());
    EXPECT_TRUE(Item("&View", "Terminal codes").isChecked());
    Receive("a\x1b[1m\tb\r\n", "\n");
    EXPECT_EQ(Shown(), "a\tb\n");
    Item("&View", "Terminal codes").trigger();
    Receive("c\x1b[1m\td\r\n", "d\n");
    EXPECT_EQ(Shown(), QString("a\tb\nc") + QChar(27) + "[1m\td\n");
}

TEST_F(Capture, ShowsWhatTheDevicesTerminalCodesMeanAndAnswersTheirRequests) {
    Receive("\x1b[0;32mI (312) wifi: connected\x1b[0m\r\n", "connected\n");
    Receive("Progress: 10%\rProgress: 50%\rProgress: 100%\r\n", "100%\n");
    Receive("\x1b[2K\ruart:~$ abc\b\b\bxyz", "xyz");
    EXPECT_EQ(Shown(), "I (312) wifi: connected\nProgress: 100%\nuart:~$ xyz");
    const TTextLines& lines = View().Lines();
    EXPECT_NE(lines.StyleAt(0, 0), 0u);
    EXPECT_EQ(lines.StyleAt(1, 0), 0u);
    // An embedded shell asks where the cursor is and waits for the answer.
    Pty.Send("\x1b[6n");
    std::string reply;
    EXPECT_TRUE(Pump([&] {
        reply += Pty.Receive(1, std::chrono::milliseconds(1));
        return reply.size() >= 7;
    }));
    EXPECT_EQ(reply, "\x1b[3;12R");
}

TEST_F(Capture, ShowsControlCharactersByNameAndCrLfWhenAsked) {
    Item("&View", "Show &control characters").trigger();
    Receive(std::string("\x1b[?2004h$ \0\t\r", 12), "\t");
    Receive("\nx", "x");
    EXPECT_EQ(Shown(), "<ESC>[?2004h$ <NUL>\t\nx");
    Item("&View", "CR and &LF too").trigger();
    Receive("\r", "<CR>");
    Receive("\ny\n", "\n");
    EXPECT_EQ(Shown(), "<ESC>[?2004h$ <NUL>\t\nx<CR><LF>\ny<LF>\n");
}

TEST_F(Capture, StampsEachLineAndEndsAnOpenLineAtAPause) {
    Item("&View", "&Timestamps").trigger();
    const QTime before = QTime::currentTime();
    Receive("one\r", "\n");
    Receive("\ntwo", "two");
    QTest::qWait(700);  // a pause longer than the one that ends an open line
    Receive("three", "three");
    const QStringList lines = Shown().split('\n');
    ASSERT_EQ(lines.size(), 3) << Shown().toStdString();
    const QStringList texts{"one", "two", "three"};
    for (int i = 0; i < 3; ++i) {
        const QTime stamp = QTime::fromString(lines[i].left(12), "HH:mm:ss.zzz");
        EXPECT_TRUE(stamp.isValid()) << lines[i].toStdString();
        EXPECT_GE(stamp.msecsSinceStartOfDay() + 1, before.msecsSinceStartOfDay()) << lines[i].toStdString();
        EXPECT_EQ(lines[i].mid(12), " " + texts[i]);
    }
}

TEST_F(Capture, TheHexViewShowsTheSessionsBytesWhileTypingGoesOn) {
    const std::string bytes("AT\r\nOK\r\n\0\x1b\xff", 11);
    Receive(bytes, QString(QChar(0xFFFD)));
    Item("&View", "&Hex view").trigger();
    const THexView& hex = Views().Hex();
    EXPECT_TRUE(hex.isVisible());
    EXPECT_EQ(hex.geometry(), Form->Memo1->Widget()->geometry());
    EXPECT_EQ(hex.History().Bytes(0, UINT64_MAX), bytes);
    EXPECT_EQ(THexView::RowText(0, 0, bytes).toStdString(),
              "00000000  41 54 0d 0a 4f 4b 0d 0a  00 1b ff                 |AT..OK.....     |");

    // A click on the dump keeps the keys going to the received area's handler.
    QTest::mouseClick(hex.viewport(), Qt::LeftButton);
    ASSERT_TRUE(Pump([&] { return Form->Memo1->Widget()->hasFocus(); }));
    QTest::keyClicks(Form->Memo1->Widget(), "ATI");
    EXPECT_EQ(ToQString(Form->cmd->GetText()), "ATI");

    Form->SetClientWidth(700);
    EXPECT_EQ(hex.geometry(), Form->Memo1->Widget()->geometry());
    Views().SetScrollback(2);
    EXPECT_EQ(hex.History().Bytes(0, UINT64_MAX), std::string("OK\r\n\0\x1b\xff", 7));
    Click(*Form->b_clear);
    EXPECT_EQ(hex.History().Bytes(0, UINT64_MAX), "");
    Item("&View", "&Hex view").trigger();
    EXPECT_FALSE(hex.isVisible());
}

// The hidden hex view keeps the bytes too; a limit of one line drops each
// line end as it comes, and the LF of a CR LF pair arrives in the next read.
TEST_F(Capture, ALimitOfOneLineKeepsTheLastLineOfACrLfSplitOverReads) {
    Views().SetScrollback(1);
    Pty.Send("first\r");
    ASSERT_TRUE(Pump([&] { return Views().Hex().History().End() == 6; }));
    Receive("\nlast", "last");
    EXPECT_EQ(Shown(), "last");
    EXPECT_EQ(Views().Hex().History().Bytes(0, UINT64_MAX), "last");
}

TEST_F(Capture, FindSelectsTheMatchAndScrollsItIntoView) {
    std::string lines;
    for (int i = 0; i < 500; ++i) lines += "line " + std::to_string(i) + (i == 7 || i == 300 ? " needle" : "") + "\r\n";
    Receive(lines, "line 499\n");
    ASSERT_TRUE(View().FollowsEnd());
    View().SetSelection(0, 0);
    ASSERT_TRUE(Views().Find("needle", true));
    const auto selected = [&] { return ToQString(View().SelectedText()); };
    EXPECT_EQ(selected(), "needle");
    const uint64_t top = View().TopRow();
    EXPECT_LE(top, 7u);
    EXPECT_GT(top + View().VisibleRows(), 7u);

    QTest::keyClick(Form->cmd->Widget(), Qt::Key_F3);
    EXPECT_EQ(View().Lines().LineAt(View().AnchorPosition()), 300u);
    QTest::keyClick(Form->cmd->Widget(), Qt::Key_F3);
    EXPECT_EQ(View().Lines().LineAt(View().AnchorPosition()), 7u);  // round to the first again
    QTest::keyClick(Form->cmd->Widget(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(View().Lines().LineAt(View().AnchorPosition()), 300u);
    EXPECT_EQ(selected(), "needle");
    EXPECT_FALSE(Views().Find("haystack", true));
}

TEST_F(Capture, AScrollbackLimitKeepsTheLastLinesAndTheRowsInView) {
    Views().SetScrollback(100);
    EXPECT_TRUE(Item("&View", "&Keep the last 100 lines…").isChecked());
    std::string lines;
    for (int i = 0; i < 150; ++i) lines += "line " + std::to_string(i) + "\r\n";
    Receive(lines, "line 149\n");
    EXPECT_EQ(View().Lines().LineCount(), 100u);
    EXPECT_TRUE(Shown().startsWith("line 51\n"));

    // The user scrolls back to read; what arrives then does not move it.
    View().ScrollRows(-20);
    ASSERT_FALSE(View().FollowsEnd());
    const QString reading = ToQString(View().Lines().LineText(View().Lines().LineOfRow(View().TopRow())));
    lines.clear();
    for (int i = 150; i < 160; ++i) lines += "line " + std::to_string(i) + "\r\n";
    Receive(lines, "line 159\n");
    EXPECT_EQ(View().Lines().LineCount(), 100u);
    EXPECT_EQ(ToQString(View().Lines().LineText(View().Lines().LineOfRow(View().TopRow()))), reading);
}

// ---- the line ends of the views, without a window --------------------------------

struct TNamesCase {
    const char* Name;
    bool LineEnds;
    std::vector<std::u16string> Chunks;
    std::u16string Shown;
};

class ControlNames : public testing::TestWithParam<TNamesCase> {};

TEST_P(ControlNames, NameWhatTheyShouldAndKeepLinesEnding) {
    TControlNames names;
    names.LineEnds = GetParam().LineEnds;
    std::u16string shown;
    for (const std::u16string& chunk : GetParam().Chunks) shown += names.Shown(chunk);
    shown += names.Flush();
    EXPECT_EQ(shown, GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ControlNames,
    testing::Values(TNamesCase{"Plain", false, {u"abc"}, u"abc"},
                    TNamesCase{"TabCrLfKept", false, {u"a\tb\r\nc\rd\n"}, u"a\tb\r\nc\rd\n"},
                    TNamesCase{"EveryOtherBelow32", false, {std::u16string(u"\0\x01\x1b\x1f\x7f", 5)},
                               u"<NUL><SOH><ESC><US>\x7f"},
                    TNamesCase{"CrLfNamedOneLineEnd", true, {u"a\r\nb"}, u"a<CR><LF>\r\nb"},
                    TNamesCase{"CrLfSplitOverChunks", true, {u"a\r", u"\nb"}, u"a<CR><LF>\r\nb"},
                    TNamesCase{"LoneCrAndLf", true, {u"a\rb\nc\r"}, u"a<CR>\rb<LF>\nc<CR>\r"},
                    TNamesCase{"TabStaysATab", true, {u"\t"}, u"\t"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

struct TStampCase {
    const char* Name;
    bool LineOpen;
    bool Paused;
    std::u16string Text;
    std::u16string Shown;  // S stands for the stamp
};

class LineStamps : public testing::TestWithParam<TStampCase> {};

TEST_P(LineStamps, StartEveryLine) {
    const auto now = TLineStamper::TClock::now();
    const std::u16string stamp = TLineStamper::StampOf(now);
    ASSERT_EQ(stamp.size(), 13u);
    std::u16string expected;
    for (const char16_t unit : std::u16string(GetParam().Shown)) {
        if (unit == u'S') expected += stamp;
        else expected += unit;
    }
    TLineStamper stamper;
    EXPECT_EQ(stamper.Stamped(GetParam().Text, now, GetParam().LineOpen, GetParam().Paused), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineStamps,
    testing::Values(TStampCase{"NewLines", false, false, u"a\r\nb\nc", u"Sa\r\nSb\nSc"},
                    TStampCase{"OpenLineGoesOn", true, false, u"a\nb", u"a\nSb"},
                    TStampCase{"OpenLineEndsAtAPause", true, true, u"a\nb", u"\nSa\nSb"},
                    TStampCase{"APauseBeforeALineEndAddsNone", true, true, u"\r\nb", u"\r\nSb"},
                    TStampCase{"EmptyLinesHaveNone", false, false, u"\r\n\r\n", u"\r\n\r\n"},
                    TStampCase{"ClosedLineAtAPause", false, true, u"a", u"Sa"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(LineStampsOverChunks, ACrLfSplitOverChunksStaysOneLineEnd) {
    TLineStamper stamper;
    const auto now = TLineStamper::TClock::now();
    const std::u16string stamp = TLineStamper::StampOf(now);
    EXPECT_EQ(stamper.Stamped(u"a\r", now, false, false), stamp + u"a\r");
    EXPECT_EQ(stamper.Stamped(u"\nb", now, false, false), u"\n" + stamp + u"b");
}

}  // namespace
