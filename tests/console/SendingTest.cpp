// SPDX-License-Identifier: GPL-3.0-or-later
// How commands go out (line ending, escapes, hex, echo), and files by XMODEM
// and YMODEM through the window, with lrzsz behind a pseudo-terminal.

#include <QPushButton>
#include <QSettings>
#include <QToolButton>
#include <QTemporaryDir>

#include "console/FileTransfer.h"
#include "console/QuickSend.h"
#include "console/SendOptions.h"
#include "tests/console/ConsoleTestSupport.h"
#include "tests/serial/TempDir.h"
#include "tests/support/Pty.h"
#include "tests/transfer/ModemPartner.h"

namespace {

class Sending : public TConsoleTest {
protected:
    void SetUp() override {
        TConsoleTest::SetUp();
        ShowConnectedWindow();
    }

    TSendOptions& Options() const { return Part<TSendOptions>("SendOptions"); }
    QString Echoed() const { return ToQString(Form->Memo1->GetText()); }

    void SendCommand(const char16_t* Text) {
        Form->cmd->SetText(Text);
        Click(*Form->b_Send);
    }

    TPty Device;
    TPortMap Map{"COM5=" + Device.SlavePath()};
};

struct TSendCase {
    TLineEnding Ending;
    TCommandMode Mode;
    bool SendCR;
    const char16_t* Typed;
    std::string Sent;
    const char* Echo;
};

const TSendCase kCases[] = {
    {leCR, cmText, true, u"AT", "AT\r", "AT"},
    {leLF, cmText, true, u"AT", "AT\n", "AT"},
    {leCRLF, cmText, true, u"AT", "AT\r\n", "AT"},
    {leCRLF, cmText, false, u"AT", "AT", "AT"},
    {leLF, cmEscapes, true, u"<STX>A\\x03\\0", std::string("\x02" "A\x03\0\n", 5), "<STX>A\\x03\\0"},
    {leCR, cmHex, true, u"02 41 0d", "\x02" "A\r\r", "02 41 0D"},
    {leCR, cmHex, false, u"0003", std::string("\0\x03", 2), "00 03"},
};

TEST_F(Sending, EachOptionSendsItsBytesAndEchoes) {
    for (const TSendCase& c : kCases) {
        SCOPED_TRACE(c.Echo);
        Form->Memo1->Clear();
        Options().SetLineEnding(c.Ending);
        Options().SetMode(c.Mode);
        Form->ck_sendCR->SetChecked(c.SendCR);
        SendCommand(c.Typed);
        EXPECT_EQ(Device.Receive(c.Sent.size()), c.Sent);
        EXPECT_EQ(Echoed(), c.Echo);
        EXPECT_EQ(Form->History().back(), UnicodeToAnsi(c.Typed));
    }
    EXPECT_TRUE(Errors.empty());
}

TEST_F(Sending, EchoCanBeSwitchedOff) {
    Options().SetEcho(false);
    SendCommand(u"quiet");
    EXPECT_EQ(Device.Receive(6), "quiet\r");
    EXPECT_EQ(Echoed(), "");
}

// Nothing goes, and the command stays to be mended.
TEST_F(Sending, BadInputSaysWhereAndKeepsTheCommand) {
    Options().SetMode(cmHex);
    SendCommand(u"02 4");
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors.front(), "Nothing was sent: at character 4, the hex digit '4' has no partner.");
    EXPECT_EQ(Form->cmd->GetText(), u"02 4");
    EXPECT_TRUE(Form->History().empty());
    EXPECT_EQ(Echoed(), "");
    SendCommand(u"41");
    EXPECT_EQ(Device.Receive(2), "A\r");  // the first bytes on the line are the mended command's
}

TEST_F(Sending, OptionsAreRemembered) {
    QTemporaryDir folder;
    QSettings store(folder.filePath("store.ini"), QSettings::IniFormat);
    Options().SetLineEnding(leCRLF);
    Options().SetMode(cmEscapes);
    Options().SetEcho(false);
    Options().Save(store);
    Options().SetLineEnding(leCR);
    Options().SetMode(cmText);
    Options().SetEcho(true);
    Options().Load(store);
    EXPECT_EQ(Options().LineEnding(), leCRLF);
    EXPECT_EQ(Options().Mode(), cmEscapes);
    EXPECT_FALSE(Options().Echo());
}

TQuickButton Button(const char* Name, const char* Command, int Ending, int RepeatMs = 0, bool Hex = false) {
    return {QString::fromUtf8(Name), QString::fromUtf8(Command), Hex, Ending, RepeatMs};
}

class QuickSend : public Sending {
protected:
    TQuickSend& Quick() const { return Part<TQuickSend>("QuickSend"); }
    void PressKey(Qt::Key Key) { QTest::keyClick(Form->cmd->Widget(), Key); }
};

TEST_F(QuickSend, FunctionKeysPressTheButtonsOfTheRowAndTheClientAreaKeepsItsSize) {
    const QSize client = Form->Widget()->size();
    Quick().SetButtons({Button("status", "<STX>S<ETX>", -1), Button("", "0D 0A", leLF, 0, true),
                        Button("reset", "ATZ", leCRLF)});
    PressKey(Qt::Key_F1);  // the row is not shown: the key is the window's
    Quick().SetShown(true);
    ASSERT_TRUE(Pump([&] { return Quick().Button(0)->isVisible(); }));
    EXPECT_FALSE(Quick().Button(3)->isVisible());
    EXPECT_EQ(Quick().Button(0)->text(), "F1 status");
    ASSERT_TRUE(Pump([&] { return Form->Widget()->size() == client; }));
    PressKey(Qt::Key_F1);
    PressKey(Qt::Key_F2);
    Click(*Form->b_Send);  // an empty command shows where the presses ended
    QTest::mouseClick(Quick().Button(2), Qt::LeftButton);
    const std::string sent = "\x02S\x03\r\n\n\rATZ\r\n";
    EXPECT_EQ(Device.Receive(sent.size()), sent);
    EXPECT_TRUE(Errors.empty());
}

// A repeat at 10 ms goes on until pressed again, and stops when the port closes.
TEST_F(QuickSend, RepeatsUntilPressedAgainOrDisconnected) {
    Quick().SetButtons({Button("poll", "?", -1, 10)});
    Quick().Press(0);
    EXPECT_TRUE(Quick().Repeating(0));
    EXPECT_EQ(Device.Receive(20), std::string(20, '?'));
    Quick().Press(0);
    EXPECT_FALSE(Quick().Repeating(0));
    EXPECT_FALSE(Quick().Button(0)->isChecked());
    Quick().Press(0);
    ASSERT_TRUE(Pump([&] { return Quick().Button(0)->isChecked(); }));
    Click(*Form->b_Connect);
    ASSERT_FALSE(Form->Connected());
    EXPECT_FALSE(Quick().Repeating(0));
    ASSERT_TRUE(Pump([&] { return !Quick().Button(0)->isChecked(); }));
}

TEST_F(QuickSend, ButtonsAreRemembered) {
    QTemporaryDir folder;
    QSettings store(folder.filePath("store.ini"), QSettings::IniFormat);
    Quick().SetButtons({Button("a", "x", leCR, 250, false), Button("b", "01 02", -1, 0, true)});
    Quick().SetShown(true);
    Quick().Save(store);
    Quick().SetButtons({});
    Quick().SetShown(false);
    Quick().Load(store);
    EXPECT_TRUE(Quick().Shown());
    EXPECT_EQ(Quick().Buttons()[0].RepeatMs, 250);
    EXPECT_EQ(Quick().Buttons()[1].Command, "01 02");
    EXPECT_TRUE(Quick().Buttons()[1].Hex);
    EXPECT_EQ(Quick().Buttons()[1].Ending, -1);
}

class Transfers : public TConsoleTest {
protected:
    void SetUp() override {
        TConsoleTest::SetUp();
        ShowConnectedWindow();
    }
    TFileTransfer& Transfer() const { return Part<TFileTransfer>("FileTransfer"); }
    bool Ends() { return Pump([&] { return !Transfer().Running(); }); }
    void ClickCancel() { QTest::mouseClick(Transfer().Progress()->findChild<QPushButton*>(), Qt::LeftButton); }

    TModemPartner Partner;
    TTempDir Ours, Theirs;
};

// While a transfer runs, received bytes go to it and not to the received area.
TEST_F(Transfers, YmodemBothWaysThroughTheWindow) {
    const std::string content = Pattern(20 * 1024);
    WriteFile(Ours.File("out.bin"), content);
    Partner.Start(Theirs.File(""), "rb -q");
    Transfer().Send(tpYmodem, {QString::fromStdString(Ours.File("out.bin"))});
    ASSERT_TRUE(Transfer().Running());
    ASSERT_TRUE(Ends());
    EXPECT_EQ(Partner.Wait(), 0);
    EXPECT_EQ(Transfer().LastOutcome().toStdString(), "Sent out.bin.");
    EXPECT_EQ(FileContents(Theirs.File("out.bin")), content);

    WriteFile(Theirs.File("in.bin"), content);
    Partner.Start(Theirs.File(""), "sb -q in.bin");
    Transfer().Receive(tpYmodem, QString::fromStdString(Ours.File("")));
    ASSERT_TRUE(Ends());
    EXPECT_EQ(FileContents(Ours.File("in.bin")), content);
    EXPECT_EQ(ToQString(Form->Memo1->GetText()), "");
    EXPECT_TRUE(Errors.empty());
}

TEST_F(Transfers, CancelEndsTheTransferAndSaysSo) {
    WriteFile(Ours.File("big.bin"), Pattern(1 << 20));
    Partner.Start(Theirs.File(""), "rx -q -c got.bin");
    Transfer().Send(tpXmodem1K, {QString::fromStdString(Ours.File("big.bin"))});
    ASSERT_TRUE(Pump([&] { return Transfer().Job() && Transfer().Job()->State().Bytes > 10 * 1024; }));
    ClickCancel();
    ASSERT_TRUE(Ends());
    EXPECT_EQ(Transfer().LastOutcome().toStdString(), "Stopped: cancelled.");
    EXPECT_TRUE(Partner.Wait().has_value());
}

// An XMODEM file that does not arrive leaves the file that was there.
TEST_F(Transfers, AFailedReceiveKeepsWhatWasThere) {
    WriteFile(Ours.File("keep.bin"), "old");
    Partner.Start(Theirs.File(""), "sx -q -k missing.bin");
    Transfer().Receive(tpXmodem, QString::fromStdString(Ours.File("keep.bin")));
    ASSERT_TRUE(Transfer().Running());
    ClickCancel();
    ASSERT_TRUE(Ends());
    EXPECT_EQ(FileContents(Ours.File("keep.bin")), "old");
    EXPECT_FALSE(std::filesystem::exists(Ours.File("keep.bin.part")));
}

}  // namespace
