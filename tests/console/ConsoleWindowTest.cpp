// SPDX-License-Identifier: GPL-3.0-or-later
// The console window on the offscreen platform, with the far end of a cable
// (a pseudo-terminal on Linux, the other port of a null-modem pair on Windows)
// as the device behind COM5.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "console/comexample.h"
#include "tests/console/ConsoleTestSupport.h"
#include "tests/support/FarEnd.h"
#include "tests/support/Process.h"
#ifndef _WIN32
#include "tests/support/Pty.h"
#endif
#include "toolkit/core/Thread.h"
#include "toolkit/ui/Clipbrd.h"
#include "toolkit/ui/ExceptionHandler.h"
#include "toolkit/ui/TextView.h"

namespace {

QString Text(const UnicodeString& S) { return ToQString(S); }

bool IsAscii(const std::string& Bytes) {
    return std::ranges::all_of(Bytes, [](char C) { return static_cast<unsigned char>(C) < 0x80; });
}

class ConsoleWindow : public TConsoleTest {
protected:
    void SetUp() override {
        TConsoleTest::SetUp();
        ShowWindow();
    }

    void Click(TControl* Control) { TConsoleTest::Click(*Control); }
    void Connect(const char16_t* Port = u"COM5") { TConsoleTest::Connect(Port); }

    void Type(TWinControl* Control, const QString& Keys) { QTest::keyClicks(Control->Widget(), Keys); }
    void Press(TWinControl* Control, Qt::Key Key) { QTest::keyClick(Control->Widget(), Key); }

    QString MemoText() const { return Text(Form->Memo1->GetText()); }
    QString Command() const { return Text(Form->cmd->GetText()); }

    void ExpectDisconnected() const {
        EXPECT_FALSE(Form->Connected());
        EXPECT_EQ(Text(Form->b_Connect->GetCaption()), "Connect");
        EXPECT_FALSE(Form->ConnectedLed->GetActive());
        EXPECT_FALSE(Form->b_Send->GetEnabled());
        EXPECT_FALSE(Form->cmd->GetEnabled());
        EXPECT_EQ(Form->OrvelSerialPort1->IsConnected(), spNone);
    }

#ifndef _WIN32
    TPty SecondPty;
    TPortMap Map{"COM9=/nonexistent/ostra-port;ttyOSTRA=" + SecondPty.SlavePath()};
#endif
    TFarEnd Device{"COM5"};
};

// ---- the window as loaded -----------------------------------------------------

struct TPlace {
    const char* Name;
    QRect Geometry;  // width 0: sized by its caption
};

TEST_F(ConsoleWindow, LoadsEveryControlAtItsPlace) {
    const TPlace places[] = {
        {"Label1", {107, 38, 0, 0}},        {"Label2", {107, 65, 0, 0}},         {"ConnectedLed", {107, 7, 33, 25}},
        {"Label3", {359, 8, 0, 0}},         {"Label4", {16, 109, 0, 0}},         {"b_Send", {8, 38, 75, 25}},
        {"cmd", {160, 35, 452, 21}},        {"Memo1", {164, 62, 452, 271}},      {"b_Connect", {8, 8, 75, 25}},
        {"b_clear", {8, 69, 75, 25}},       {"cb_portlist", {160, 8, 81, 21}},   {"b_GetPorts", {255, 4, 75, 25}},
        {"cb_Baud", {16, 128, 105, 21}},    {"ck_sendCR", {18, 167, 0, 17}},
    };
    for (const TPlace& place : places) {
        SCOPED_TRACE(place.Name);
        auto* control = dynamic_cast<TControl*>(Form->FindComponent(place.Name));
        ASSERT_NE(control, nullptr);
        const QRect geometry = control->Widget()->geometry();
        EXPECT_EQ(geometry.topLeft(), place.Geometry.topLeft());
        if (place.Geometry.width() > 0) {
            EXPECT_EQ(geometry.width(), place.Geometry.width());
        }
        if (place.Geometry.height() > 0) {
            EXPECT_EQ(geometry.height(), place.Geometry.height());
        }
        EXPECT_TRUE(control->Widget()->isVisible());
    }
    EXPECT_EQ(Form->GetClientWidth(), 622);
    EXPECT_EQ(Form->GetClientHeight(), 341);
}

TEST_F(ConsoleWindow, ShowsItsCaptionsAndStartsDisconnected) {
    EXPECT_EQ(Text(Form->GetCaption()), "Ostra Console");
    EXPECT_EQ(Text(Form->Label1->GetCaption()), "Command");
    EXPECT_EQ(Text(Form->Label2->GetCaption()), "Received");
    EXPECT_EQ(Text(Form->Label3->GetCaption()), "Up/down arrow retrieves previous commands");
    EXPECT_EQ(Text(Form->Label4->GetCaption()), "Baud Rate");
    EXPECT_EQ(Text(Form->b_Send->GetCaption()), "Send");
    EXPECT_EQ(Text(Form->b_clear->GetCaption()), "Clear");
    EXPECT_EQ(Text(Form->b_GetPorts->GetCaption()), "Search Ports");
    EXPECT_EQ(Text(Form->ck_sendCR->GetCaption()), "Send Carriage Return");
    EXPECT_TRUE(Form->ck_sendCR->GetChecked());
    EXPECT_EQ(MemoText(), "");
    ExpectDisconnected();

    EXPECT_EQ(Text(Form->cb_Baud->GetText()), "115200");
    ASSERT_EQ(Form->cb_Baud->GetItems()->Count(), 22);
    EXPECT_EQ(Form->cb_Baud->GetItems()->Get(0), "75");
    EXPECT_EQ(Form->cb_Baud->GetItems()->Get(21), "921600");
    EXPECT_EQ(Form->cb_Baud->GetItemIndex(), -1);

    TOrvelSerialPort& port = *Form->OrvelSerialPort1;
    EXPECT_EQ(port.GetCommPort(), spCOM3);
    EXPECT_EQ(port.GetBaudRate(), br115200);
    EXPECT_EQ(port.GetCustomPortName(), "vcom1");
    EXPECT_EQ(port.GetInputBuffer(), 65536u) << "room for 0.7 s at its fastest rate";
    EXPECT_TRUE(port.GetAutoReceive());
}

TEST_F(ConsoleWindow, ListsThePortsInNumberOrderWithTheFirstChosen) {
    TStringList names;
    for (int i = 0; i < Form->cb_portlist->GetItems()->Count(); ++i) names.Add(Form->cb_portlist->GetItems()->Get(i));
    const auto position = [&](const AnsiString& Name) {
        for (int i = 0; i < names.Count(); ++i)
            if (names[i] == Name) return i;
        return -1;
    };
    ASSERT_GE(position("COM5"), 0);
    EXPECT_EQ(position("COM9"), -1);  // its device does not exist
#ifdef _WIN32
    EXPECT_LT(position("COM5"), position("COM6"));  // the cable's other end
#else
    EXPECT_LT(position("COM5"), position("ttyOSTRA"));
#endif
    EXPECT_EQ(Form->cb_portlist->GetItemIndex(), 0);
    EXPECT_EQ(UnicodeToAnsi(Form->cb_portlist->GetText()), names[0]);
}

TEST_F(ConsoleWindow, TheReceivedAreaHasAFixedPitchFontAndTabStopsEveryFiveCells) {
    TTextView& view = Form->Memo1->View();
    const QFontMetrics metrics(view.font());
    EXPECT_EQ(metrics.horizontalAdvance(u'i'), metrics.horizontalAdvance(u'W'));
    EXPECT_FALSE(view.TabChangesFocus());
    EXPECT_EQ(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(view.Wrapping());

    // 10 points make 13 pixels a cell; a stop every 65 pixels, as dialog units rounded down.
    const int baseUnit = GetDialogBaseUnits() & 0xFFFF;
    const QList<int> tabs = view.TabStops();
    ASSERT_EQ(tabs.size(), 20);
    for (int i = 1; i <= 20; ++i) EXPECT_EQ(tabs[i - 1], (65 * i * 4 / baseUnit) * baseUnit / 4) << i;
}

TEST_F(ConsoleWindow, FollowsTheWindowSize) {
    const QRect sendButton = Form->b_Send->Widget()->geometry();
    Form->Widget()->resize(822, 441);
    ASSERT_TRUE(Pump([&] { return Form->Memo1->Widget()->width() == 652; }));
    EXPECT_EQ(Form->Memo1->Widget()->geometry(), QRect(164, 62, 652, 371));
    EXPECT_EQ(Form->cmd->Widget()->geometry(), QRect(160, 35, 652, 21));
    EXPECT_EQ(Form->b_Send->Widget()->geometry(), sendButton);

    Form->Widget()->resize(622, 341);
    ASSERT_TRUE(Pump([&] { return Form->Memo1->Widget()->width() == 452; }));
    EXPECT_EQ(Form->Memo1->Widget()->height(), 271);
}

// ---- connecting ---------------------------------------------------------------

TEST_F(ConsoleWindow, ConnectAndDisconnectToggleCaptionLedAndCommandControls) {
    Connect();
    EXPECT_TRUE(Form->Connected());
    EXPECT_EQ(Text(Form->b_Connect->GetCaption()), "Disconnect");
    EXPECT_TRUE(Form->ConnectedLed->GetActive());
    EXPECT_TRUE(Form->b_Send->GetEnabled());
    EXPECT_TRUE(Form->cmd->GetEnabled());
    EXPECT_EQ(Form->OrvelSerialPort1->IsConnected(), spCOM5);
    EXPECT_TRUE(Errors.empty());

    Click(Form->b_Connect);
    ExpectDisconnected();
}

#ifndef _WIN32  // Windows names every port itself
TEST_F(ConsoleWindow, ConnectsToAPortWithANameOfItsOwn) {
    Connect(u"ttyOSTRA");
    ASSERT_TRUE(Form->Connected()) << (Errors.empty() ? "" : Errors.front());
    Form->OrvelSerialPort1->SendString("x");
    EXPECT_EQ(SecondPty.Receive(1), "x");
}
#endif

struct TFailedConnect {
    const char16_t* Port;
    const char* Message;
};

class FailedConnect : public ConsoleWindow, public testing::WithParamInterface<TFailedConnect> {};

TEST_P(FailedConnect, ShowsWhyAndStaysDisconnected) {
    Connect(GetParam().Port);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_NE(Errors.front().find(GetParam().Message), std::string::npos) << Errors.front();
    ExpectDisconnected();

    Errors.clear();
    Connect();  // the window is still usable
    EXPECT_TRUE(Form->Connected());
    EXPECT_TRUE(Errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Ports, FailedConnect,
                         testing::Values(TFailedConnect{u"COM9", "Cannot connect to COM9"},
                                         TFailedConnect{u"  ", MsgNoPortChosen}));

TEST_F(ConsoleWindow, ClosingTheWindowClosesThePort) {
    Connect();
    ASSERT_TRUE(Form->Connected());
    Form->Close();
    ASSERT_TRUE(Pump([&] { return !Form->Widget()->isVisible(); }));
    EXPECT_EQ(Form->OrvelSerialPort1->IsConnected(), spNone);

    TOrvelSerialPort other(nullptr);
    other.SetCommPort(spCOM5);
    EXPECT_NO_THROW(other.Open());  // no longer held
    other.Close();
}

TEST_F(ConsoleWindow, ShowsTheDisconnectedStateWhenTheDeviceGoesAway) {
    Connect();
    ASSERT_TRUE(Form->Connected());
    Device.Cut();
    EXPECT_TRUE(Pump([&] { return !Form->Connected() && Form->OrvelSerialPort1->IsConnected() == spNone; }));
    ExpectDisconnected();
}

// ---- sending ------------------------------------------------------------------

struct TSendCase {
    bool SendCR;
    const char* Expected;
};

class SendCommand : public ConsoleWindow, public testing::WithParamInterface<TSendCase> {};

TEST_P(SendCommand, EnterSendsTheCommandAndEchoesIt) {
    Connect();
    Form->ck_sendCR->SetChecked(GetParam().SendCR);
    Type(Form->cmd, "AT+GMR");
    Press(Form->cmd, Qt::Key_Return);
    // A second command shows where the first one ended.
    Type(Form->cmd, "Z");
    Press(Form->cmd, Qt::Key_Enter);
    const std::string expected = GetParam().Expected;
    EXPECT_EQ(Device.Receive(expected.size()), expected);
    EXPECT_EQ(MemoText(), "AT+GMRZ");
    EXPECT_EQ(Command(), "");
    EXPECT_TRUE(Errors.empty());
}

INSTANTIATE_TEST_SUITE_P(CarriageReturn, SendCommand,
                         testing::Values(TSendCase{true, "AT+GMR\rZ\r"}, TSendCase{false, "AT+GMRZ"}));

TEST_F(ConsoleWindow, TheSendButtonSendsTheCommandBox) {
    Connect();
    Type(Form->cmd, "ver");
    Click(Form->b_Send);
    EXPECT_EQ(Device.Receive(4), "ver\r");
    EXPECT_EQ(Command(), "");
}

TEST_F(ConsoleWindow, TypingInTheReceivedAreaBuildsAndSendsTheCommand) {
    Connect();
    Form->ck_sendCR->SetChecked(false);  // Enter here always ends with a carriage return
    Form->Memo1->SetFocus();
    Type(Form->Memo1, "AX");
    Press(Form->Memo1, Qt::Key_Backspace);
    EXPECT_EQ(Command(), "A");
    SetClipboardAsText(u"T+");
    QTest::keyClick(Form->Memo1->Widget(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Command(), "AT+");
    Press(Form->Memo1, Qt::Key_Return);
    EXPECT_EQ(Device.Receive(4), "AT+\r");
    EXPECT_EQ(Command(), "");
    EXPECT_EQ(MemoText(), "AT+");  // what was typed, without a line break
}

TEST_F(ConsoleWindow, SendingFromTheReceivedAreaWhileDisconnectedShowsTheMessage) {
    Type(Form->Memo1, "x");
    Press(Form->Memo1, Qt::Key_Return);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_NE(Errors.front().find("is not open"), std::string::npos);
    EXPECT_EQ(MemoText(), "x");  // the failed Enter is still consumed: no line break
}

TEST_F(ConsoleWindow, KeysThatTypeNothingAddNothingToTheCommand) {
    Form->Memo1->SetFocus();
    // Delete as the window system of Windows reports it.
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
    QApplication::sendEvent(Form->Memo1->Widget(), &del);
    EXPECT_EQ(Command(), "");
}

TEST_F(ConsoleWindow, ClearEmptiesTheReceivedAreaOnly) {
    Connect();
    Type(Form->cmd, "keep");
    Form->Memo1->AppendText(u"old text");
    Click(Form->b_clear);
    EXPECT_EQ(MemoText(), "");
    EXPECT_EQ(Command(), "keep");
}

// ---- baud rate ----------------------------------------------------------------

TEST_F(ConsoleWindow, TypingABaudRateAppliesIt) {
    Connect();
    QLineEdit& edit = *Form->cb_Baud->Box().lineEdit();
    edit.clear();
    QTest::keyClicks(&edit, "9600");
    EXPECT_EQ(Form->OrvelSerialPort1->GetBaudRate(), br009600);

    edit.clear();
    QTest::keyClicks(&edit, "31250");
    EXPECT_EQ(Form->OrvelSerialPort1->GetBaudRate(), brCustom);
    EXPECT_EQ(Form->OrvelSerialPort1->BaudRateToInt(brCustom), 31250);
    EXPECT_TRUE(Errors.empty());

    QTest::keyClicks(&edit, "x");
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors.front(), "'31250x' is not a valid integer value");
    EXPECT_EQ(Form->OrvelSerialPort1->BaudRateToInt(Form->OrvelSerialPort1->GetBaudRate()), 31250);
}

// ---- receiving ----------------------------------------------------------------

TEST_F(ConsoleWindow, ShowsReceivedBytesAsTheyCame) {
    if (const std::string deviation = WineCodePageDeviation(); !deviation.empty()) GTEST_SKIP() << deviation;
    Connect();
    const char raw[] = "one\0two \xc3\xa9 \xe2\x82\xac\tend";
    const std::string bytes(raw, sizeof raw - 1);
    Device.Send(bytes);
    const QString expected = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    ASSERT_TRUE(Pump([&] { return MemoText() == expected; })) << MemoText().toStdString();
}

struct TSplitCase {
    const char* Name;
    std::string First;
    std::string Second;
    QString Shown;
};

class SplitBlocks : public ConsoleWindow, public testing::WithParamInterface<TSplitCase> {};

// The first part arrives and is shown before the second is sent.
TEST_P(SplitBlocks, JoinWhatBelongsTogether) {
    if (const std::string deviation = WineCodePageDeviation(); !deviation.empty() && !IsAscii(GetParam().First))
        GTEST_SKIP() << deviation;
    Connect();
    Device.Send(GetParam().First);
    ASSERT_TRUE(Pump([&] { return MemoText().startsWith(u'x'); }));
    Device.Send(GetParam().Second);
    ASSERT_TRUE(Pump([&] { return MemoText().endsWith(u'y'); }));
    EXPECT_EQ(MemoText(), GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(Receive, SplitBlocks,
                         testing::Values(TSplitCase{"Utf8Character", "x\xe2\x82", "\xac y", QString::fromUtf8("x\xe2\x82\xac y")},
                                         TSplitCase{"LineBreak", "x\r", "\ny", "x\ny"},
                                         TSplitCase{"TwoLineBreaks", "x\n", "\ny", "x\n\ny"}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(ConsoleWindow, UndoInTheReceivedAreaNeverRemovesReceivedText) {
    Connect();
    Device.Send("received");
    ASSERT_TRUE(Pump([&] { return MemoText() == "received"; }));
    Form->Memo1->SetFocus();
    QTest::keyClick(Form->Memo1->Widget(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(MemoText(), "received");
}

TEST_F(ConsoleWindow, FollowsALineThatNeverEndsWithTheFocusInTheCommandBox) {
    Connect();
    Form->cmd->SetFocus();
    // In pieces the pty holds, each shown before the next is sent.
    for (int shown = 2000; shown <= 20000; shown += 2000) {
        Device.Send(std::string(2000, '.'));
        ASSERT_TRUE(Pump([&] { return MemoText().size() == shown; }));
    }
    const QScrollBar& bar = *Form->Memo1->View().verticalScrollBar();
    EXPECT_GT(bar.maximum(), 0);
    EXPECT_EQ(bar.value(), bar.maximum());
}

TEST_F(ConsoleWindow, ScrollsTheEndIntoViewAndMovesTheCaretThereWhenFocused) {
    Connect();
    Form->Memo1->SetFocus();
    ASSERT_TRUE(Pump([&] { return Form->Memo1->Focused(); }));
    std::string lines;
    for (int i = 0; i < 100; ++i) lines += "line " + std::to_string(i) + "\r\n";
    Device.Send(lines + "last");
    TTextView& view = Form->Memo1->View();
    // The text is shown at the view's next frame.
    ASSERT_TRUE(Pump([&] { return MemoText().endsWith("last") && !view.ShowPending(); }));
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    EXPECT_GT(view.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(view.CaretPosition(), view.Length());
}

// ---- history ------------------------------------------------------------------

class CommandHistory : public ConsoleWindow {
protected:
    void SetUp() override {
        ConsoleWindow::SetUp();
        Form->cmd->SetEnabled(true);
    }

    QString Recall(Qt::Key Key) {
        Press(Form->cmd, Key);
        return Command();
    }

    // The entries, oldest first, as Up walks through them from the newest.
    std::vector<QString> Entries() {
        Press(Form->cmd, Qt::Key_Shift);  // ends any recall in progress
        std::vector<QString> seen;
        for (int i = 0; i < 300; ++i) seen.push_back(Recall(Qt::Key_Up));
        while (seen.size() > 1 && seen[seen.size() - 1] == seen[seen.size() - 2]) seen.pop_back();
        return {seen.rbegin(), seen.rend()};
    }

    void Record(const std::vector<std::string>& Commands) {
        for (const std::string& c : Commands) Form->Addtolist(c);
    }
};

struct TRecordCase {
    std::vector<std::string> Before;
    std::string Sent;
    std::vector<QString> After;
};

class HistoryRecording : public CommandHistory, public testing::WithParamInterface<TRecordCase> {};

TEST_P(HistoryRecording, MovesARepeatedCommandToTheNewestPlace) {
    Record(GetParam().Before);
    Form->Addtolist(GetParam().Sent);
    EXPECT_EQ(Entries(), GetParam().After);
}

INSTANTIATE_TEST_SUITE_P(Cases, HistoryRecording,
                         testing::Values(TRecordCase{{"a"}, "a", {"a"}},
                                         TRecordCase{{"a", "b"}, "b", {"a", "b", "b"}},
                                         TRecordCase{{"a", "b", "c"}, "a", {"b", "c", "a"}},
                                         TRecordCase{{"a", "b", "b"}, "b", {"a", "b", "b"}},
                                         TRecordCase{{"a", "b"}, "", {"a", "b"}}));

struct TRingCase {
    int Commands;  // c0, c1, … sent in turn
    std::string ResentAfterwards;
    QString Oldest;
    QString Newest;
    QString SecondNewest;
};

class HistoryRing : public CommandHistory, public testing::WithParamInterface<TRingCase> {};

TEST_P(HistoryRing, HoldsTheLast256Commands) {
    for (int i = 0; i < GetParam().Commands; ++i) Form->Addtolist("c" + std::to_string(i));
    Form->Addtolist(GetParam().ResentAfterwards);
    const std::vector<QString> entries = Entries();
    ASSERT_EQ(entries.size(), std::min<std::size_t>(256, static_cast<std::size_t>(GetParam().Commands)));
    EXPECT_EQ(entries.front(), GetParam().Oldest);
    EXPECT_EQ(entries.back(), GetParam().Newest);
    EXPECT_EQ(entries[entries.size() - 2], GetParam().SecondNewest);
}

INSTANTIATE_TEST_SUITE_P(Cases, HistoryRing,
                         testing::Values(TRingCase{255, "", "c0", "c254", "c253"},
                                         TRingCase{256, "", "c0", "c255", "c254"},
                                         TRingCase{257, "", "c1", "c256", "c255"},
                                         TRingCase{600, "", "c344", "c599", "c598"},
                                         TRingCase{600, "c400", "c344", "c400", "c599"},
                                         TRingCase{600, "c344", "c345", "c344", "c599"}));

TEST_F(CommandHistory, UpAndDownStopAtTheEnds) {
    EXPECT_EQ(Recall(Qt::Key_Up), "");  // nothing sent yet
    Record({"one", "two", "three"});
    Press(Form->cmd, Qt::Key_A);
    EXPECT_EQ(Recall(Qt::Key_Down), "three");
    EXPECT_EQ(Recall(Qt::Key_Down), "three");
    EXPECT_EQ(Recall(Qt::Key_Up), "two");
    EXPECT_EQ(Recall(Qt::Key_Up), "one");
    EXPECT_EQ(Recall(Qt::Key_Up), "one");
    EXPECT_EQ(Recall(Qt::Key_Down), "two");
    // Shift goes down first and, like any other key, ends the recall.
    QTest::keyClick(Form->cmd->Widget(), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Command(), "three");
    QTest::keyClick(Form->cmd->Widget(), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Command(), "three");
    EXPECT_EQ(Recall(Qt::Key_Up), "two");
}

TEST_F(CommandHistory, ARecallContinuesAfterTheSendButton) {
    Connect();
    Record({"one", "two", "three"});
    EXPECT_EQ(Recall(Qt::Key_Up), "three");
    EXPECT_EQ(Recall(Qt::Key_Up), "two");
    Click(Form->b_Send);
    EXPECT_EQ(Device.Receive(4), "two\r");
    EXPECT_EQ(Recall(Qt::Key_Up), "one");
}

}  // namespace
