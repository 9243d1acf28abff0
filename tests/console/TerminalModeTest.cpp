// SPDX-License-Identifier: GPL-3.0-or-later
// Port > Terminal mode on a pseudo-terminal: the device draws on the
// screen, keys reach the device as xterm sends them, and lines that scroll
// off stay in the received area.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>

#include "console/TerminalMode.h"
#include "tests/console/ConsoleTestSupport.h"
#include "tests/support/Pty.h"
#include "toolkit/ui/TerminalView.h"
#include "toolkit/ui/TextView.h"

namespace {

class TerminalMode : public TConsoleTest {
protected:
    void SetUp() override {
        TConsoleTest::SetUp();
        ShowConnectedWindow();
        Item("&Port", "Terminal mode").trigger();
        ASSERT_TRUE(Mode().On());
        ASSERT_TRUE(Pump([&] { return View().hasFocus(); }));
    }

    TTerminalMode& Mode() const { return Part<TTerminalMode>("TerminalMode"); }
    TTerminalView& View() const { return Mode().View(); }

    // What the device receives, once Count bytes came.
    std::string DeviceReads(std::size_t Count) {
        std::string bytes;
        EXPECT_TRUE(Pump([&] {
            bytes += Pty.Receive(Count - bytes.size(), std::chrono::milliseconds(1));
            return bytes.size() >= Count;
        })) << bytes;
        return bytes;
    }

    void Shows(const std::string& Bytes, const std::u16string& Text) {
        Pty.Send(Bytes);
        ASSERT_TRUE(Pump([&] { return View().ShownText().find(Text) != std::u16string::npos; }))
            << UnicodeToUtf8(View().ShownText());
    }

    TPty Pty;
    TPortMap Map{"COM5=" + Pty.SlavePath()};
};

TEST_F(TerminalMode, TheDeviceDrawsOnAScreenTheSizeOfTheArea) {
    Shows("\x1b[2J\x1b[3;5H\x1b[31mred\x1b[m", u"\n\n    red\n");
    const TTerminalScreen& screen = View().Screen();
    EXPECT_EQ(screen.Line(2).Styles[4].Foreground, 0xBB0000);
    EXPECT_EQ(View().SizeText(),
              QStringLiteral("stty rows %1 cols %2").arg(screen.Rows()).arg(screen.Columns()));
    EXPECT_GT(screen.Rows(), 5);
    EXPECT_GT(screen.Columns(), 20);
    // The text path is the screen's: nothing goes to the received area directly.
    EXPECT_EQ(Form->Memo1->View().Text(), u"");
}

TEST_F(TerminalMode, KeysReachTheDeviceAsXtermSendsThem) {
    struct TCase {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        std::string Bytes;
    };
    const TCase cases[] = {
        {Qt::Key_A, Qt::NoModifier, "a"},          {Qt::Key_Return, Qt::NoModifier, "\r"},
        {Qt::Key_Backspace, Qt::NoModifier, "\x7f"}, {Qt::Key_Up, Qt::NoModifier, "\x1b[A"},
        {Qt::Key_Home, Qt::NoModifier, "\x1b[H"},  {Qt::Key_PageDown, Qt::NoModifier, "\x1b[6~"},
        {Qt::Key_Delete, Qt::NoModifier, "\x1b[3~"}, {Qt::Key_F1, Qt::NoModifier, "\x1bOP"},
        {Qt::Key_F12, Qt::NoModifier, "\x1b[24~"}, {Qt::Key_C, Qt::ControlModifier, "\x03"},
        {Qt::Key_Q, Qt::ControlModifier, "\x11"},  {Qt::Key_X, Qt::AltModifier, "\x1bx"},
        {Qt::Key_Tab, Qt::NoModifier, "\t"},
    };
    for (const TCase& c : cases) {
        QTest::keyClick(&View(), c.Key, c.Modifiers);
        EXPECT_EQ(DeviceReads(c.Bytes.size()), c.Bytes) << c.Key;
    }
    Item("&Port", "Backspace sends BS").trigger();
    QTest::keyClick(&View(), Qt::Key_Backspace);
    EXPECT_EQ(DeviceReads(1), "\x08");
}

TEST_F(TerminalMode, PastesBracketedWhenTheProgramAskedAndCopiesTheScreen) {
    QApplication::clipboard()->setText("ls -l");
    QTest::keyClick(&View(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(DeviceReads(5), "ls -l");
    Shows("\x1b[?2004h$ ", u"$");
    QTest::keyClick(&View(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(DeviceReads(17), "\x1b[200~ls -l\x1b[201~");
    QTest::keyClick(&View(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("$"));
}

TEST_F(TerminalMode, LinesThatScrollOffStayInTheReceivedArea) {
    std::string lines;
    for (int i = 0; i < 100; ++i) lines += "\x1b[32mline " + std::to_string(i) + "\x1b[m\r\n";
    Shows(lines, u"line 99");
    Item("&Port", "Terminal mode").trigger();
    EXPECT_FALSE(View().isVisible());
    const TTextView& area = Form->Memo1->View();
    EXPECT_EQ(area.Lines().LineText(0), u"line 0");
    EXPECT_NE(area.Lines().StyleAt(0, 0), 0u);
    // Off again, text goes to the received area as before.
    Pty.Send("after\r\n");
    ASSERT_TRUE(Pump([&] { return area.Text().find(u"after\n") != std::u16string::npos; }));
}

// The first row shown, as the view paints it.
std::u16string FirstRow(const TTerminalView& View) { return View.ShownText().substr(0, View.ShownText().find(u'\n')); }

TEST_F(TerminalMode, ScrollsBackThroughWhatScrolledOffUntilAKeyGoesToTheDevice) {
    std::string lines;
    for (int i = 0; i < 100; ++i) lines += "\x1b[32mline " + std::to_string(i) + "\x1b[m\r\n";
    Shows(lines, u"line 99");
    const int rows = View().Screen().Rows();
    // The screen's top row is line 101 - rows; above it, in the history, the lines before it.
    const auto line = [](int I) { return u"line " + Utf8ToUnicode(std::to_string(I)); };
    ASSERT_EQ(FirstRow(View()), line(101 - rows));
    QWheelEvent up(QPointF(5, 5), View().mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&View(), &up);
    EXPECT_EQ(FirstRow(View()), line(101 - rows - 3));
    QTest::keyClick(&View(), Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(FirstRow(View()), line(101 - rows - 3 - rows / 2));
    // The history keeps the colours: its rows look as the screen's did.
    EXPECT_EQ(View().ShownLine(0).Styles[0], View().ShownLine(rows - 2).Styles[0]);
    EXPECT_NE(View().ShownLine(0).Styles[0], TTextStyle{});
    for (int i = 0; i < 50; ++i) QTest::keyClick(&View(), Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(FirstRow(View()), line(0));
    // What scrolls off meanwhile leaves the rows shown where they are.
    Pty.Send("more\r\n");
    ASSERT_TRUE(Pump([&] { return View().Screen().Line(rows - 2).Text.starts_with(u"more"); }));
    EXPECT_EQ(FirstRow(View()), line(0));
    QTest::keyClick(&View(), Qt::Key_PageDown, Qt::ShiftModifier);
    EXPECT_EQ(FirstRow(View()), line(rows / 2));
    // Nothing was sent for the scrolling keys; the next key goes to the device and back to the screen.
    QTest::keyClick(&View(), Qt::Key_A);
    EXPECT_EQ(DeviceReads(1), "a");
    EXPECT_EQ(View().ScrolledBack(), 0u);
    EXPECT_EQ(FirstRow(View()), line(102 - rows));
}

TEST_F(TerminalMode, TheMouseSelectsAndCtrlShiftCCopiesTheSelection) {
    Shows("\x1b[2J\x1b[Hhello world\r\nsecond line", u"second line");
    const auto at = [&](int Row, int Column) { return View().CellRect(Row, Column).topLeft().toPoint() + QPoint(1, 1); };
    QTest::mousePress(&View(), Qt::LeftButton, Qt::NoModifier, at(0, 6));
    QMouseEvent drag(QEvent::MouseMove, QPointF(at(1, 6)), View().mapToGlobal(QPointF(at(1, 6))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&View(), &drag);
    QTest::mouseRelease(&View(), Qt::LeftButton, Qt::NoModifier, at(1, 6));
    QTest::keyClick(&View(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("world\nsecond"));
    // A key for the device ends the selection: a copy takes the screen again.
    QTest::keyClick(&View(), Qt::Key_B);
    EXPECT_EQ(DeviceReads(1), "b");
    QTest::keyClick(&View(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("hello world\nsecond line"));
}

// A flood is drawn a slice per turn of the event loop; the lines keep their
// order, none is lost, and what still waits when the mode goes off is drawn first.
TEST_F(TerminalMode, AFloodIsDrawnInSlicesInOrderAndWholly) {
    const auto rows = [](int From, int To) {
        std::string text;
        for (int i = From; i < To; ++i) text += "row " + std::to_string(i) + "\r\n";
        return text;
    };
    const std::string flood = rows(0, 40000);
    View().Write(flood);
    EXPECT_GT(View().Waiting(), 0u);
    EXPECT_LT(View().Waiting(), flood.size() / 2);
    ASSERT_TRUE(Pump([&] { return View().Waiting() == 0; }));
    EXPECT_NE(View().ShownText().find(u"row 39999\n"), std::u16string::npos);
    const TTextLines& kept = Form->Memo1->View().Lines();
    for (std::size_t line = 0; line + 1 < kept.LineCount(); ++line)
        ASSERT_EQ(kept.LineText(line), u"row " + Utf8ToUnicode(std::to_string(line))) << line;
    View().Write(rows(40000, 41000));
    Item("&Port", "Terminal mode").trigger();
    EXPECT_EQ(View().Waiting(), 0u);
    EXPECT_NE(View().ShownText().find(u"row 40999\n"), std::u16string::npos);
}

// What lies beyond the bound on waiting bytes is drawn at once; megabytes of
// it must not reach the library in one call, whose stack use grows with it.
TEST_F(TerminalMode, MegabytesArrivingAtOnceAreDrawn) {
    std::string flood;
    for (int i = 0; flood.size() < (3u << 20); ++i) flood += std::to_string(i) + "\r\n";
    View().Write(flood);
    ASSERT_TRUE(Pump([&] { return View().Waiting() == 0; }));
    const std::string last = flood.substr(flood.rfind('\n', flood.size() - 2) + 1);
    EXPECT_NE(View().ShownText().find(Utf8ToUnicode(last.substr(0, last.size() - 2)) + u"\n"), std::u16string::npos);
}

}  // namespace
