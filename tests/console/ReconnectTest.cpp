// SPDX-License-Identifier: GPL-3.0-or-later
// Reconnecting when the device returns, with pseudo-terminals that vanish and
// come back under a port name, and a /dev/serial/by-id fixture for a USB
// device that returns under another name.

#include <termios.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QRegularExpression>
#include <QLineEdit>
#include <QTemporaryDir>
#include <filesystem>
#include <memory>
#include <optional>

#include "console/CaptureLog.h"
#include "console/ReceivedViews.h"
#include "console/Reconnect.h"
#include "tests/console/ConsoleTestSupport.h"
#include "tests/support/Pty.h"
#include "toolkit/ui/HexView.h"
#include "toolkit/ui/TextView.h"

namespace {

class Reconnect : public TConsoleTest {
protected:
    void SetUp() override {
        setenv("OSTRA_SERIAL_BY_ID", ById.path().toStdString().c_str(), 1);
        TConsoleTest::SetUp();
        ShowWindow();
    }
    void TearDown() override {
        TConsoleTest::TearDown();
        unsetenv("OSTRA_SERIAL_BY_ID");
    }

    TReconnect& Reconnector() const { return Part<TReconnect>("Reconnect"); }
    QString Caption() const { return ToQString(Form->GetCaption()); }

    // The device goes away; the window waits for it. Its names lead nowhere
    // first: another process may get the number of a closed pty at once.
    void Unplug(const QString& Port, const QString& CaptionBefore = QStringLiteral("Ostra Console")) {
        ASSERT_TRUE(Form->Connected()) << (Errors.empty() ? "" : Errors.front());
        PortMap.reset();
        PortMap.emplace("COM5=/nonexistent/ostra-gone;COM33=/nonexistent/ostra-gone");
        First->CloseMaster();
        ASSERT_TRUE(Pump([&] { return !Form->Connected() && Reconnector().Waiting(); }));
        EXPECT_EQ(Caption(), CaptionBefore + QString::fromUtf8(" \u2014 waiting for ") + Port);
    }
    // A new device appears, reached under Map.
    void Plug(const std::string& Map) {
        Second = std::make_unique<TPty>();
        PortMap.reset();
        PortMap.emplace(Map + Second->SlavePath());
    }

    void Link(const std::string& Target) const {
        std::filesystem::create_symlink(Target, ById.filePath(kUsbName).toStdString());
    }
    void Unlink() const { std::filesystem::remove(ById.filePath(kUsbName).toStdString()); }

    static constexpr const char* kUsbName = "usb-Ostra_Adapter_A1B2-if00-port0";
    QTemporaryDir ById;
    std::unique_ptr<TPty> First = std::make_unique<TPty>();
    std::unique_ptr<TPty> Second;
    std::optional<TPortMap> PortMap{"COM5=" + First->SlavePath() + ";COM33=" + First->SlavePath()};
};

TEST_F(Reconnect, OpensTheSamePortAgainWithTheSameSettingsWhenItReturns) {
    EXPECT_TRUE(Reconnector().Enabled()->isChecked());
    Form->cb_Baud->SetText(u"9600");
    Form->cb_Baud->GetOnChange()(Form->cb_Baud);
    Connect(u"COM5");
    Unplug("COM5");
    EXPECT_EQ(ToQString(Form->b_Connect->GetCaption()), "Connect");

    Plug("COM5=");
    ASSERT_TRUE(Pump([&] { return Form->Connected(); }));
    EXPECT_FALSE(Reconnector().Waiting());
    EXPECT_EQ(Caption(), "Ostra Console");
    EXPECT_EQ(Form->OrvelSerialPort1->IsConnected(), spCOM5);
    termios settings{};
    ASSERT_EQ(tcgetattr(Second->Master(), &settings), 0);
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B9600));
    Form->OrvelSerialPort1->SendString("x");
    EXPECT_EQ(Second->Receive(1), "x");
    EXPECT_TRUE(Errors.empty());
}

// The caption has one owner; the log's part of it stays through the wait.
TEST_F(Reconnect, TheCaptionShowsTheLogAndTheWaitTogether) {
    QTemporaryDir folder;
    Part<TCaptureLog>("CaptureLog").Start(folder.filePath("capture.log"));
    Connect(u"COM5");
    const QString logging = QString::fromUtf8("Ostra Console \u2014 logging to capture.log");
    Unplug("COM5", logging);
    Plug("COM5=");
    ASSERT_TRUE(Pump([&] { return Form->Connected(); }));
    EXPECT_EQ(Caption(), logging);
    Part<TCaptureLog>("CaptureLog").Stop();
    EXPECT_EQ(Caption(), "Ostra Console");
}

// The received text shows where the device went and came back; these lines
// are the console's own: the log and the hex view never see them, and saved
// text marks them.
TEST_F(Reconnect, MarksTheGapInTheReceivedTextOnly) {
    QTemporaryDir folder;
    TCaptureLog& log = Part<TCaptureLog>("CaptureLog");
    log.Start(folder.filePath("capture.log"));
    Connect(u"COM5");
    First->Send("before\r\n");
    const auto shown = [&] { return ToQString(Form->Memo1->View().Text()); };
    ASSERT_TRUE(Pump([&] { return shown() == "before\n"; }));
    Unplug("COM5", QString::fromUtf8("Ostra Console \u2014 logging to capture.log"));
    Plug("COM5=");
    ASSERT_TRUE(Pump([&] { return Form->Connected(); }));
    Second->Send("after");
    ASSERT_TRUE(Pump([&] { return shown().endsWith("after"); }));

    const QRegularExpression marks(QString::fromUtf8(
        "^before\n\u2014 COM5 lost (\\d\\d:\\d\\d:\\d\\d) \u2014\n\u2014 COM5 back (\\d\\d:\\d\\d:\\d\\d) \u2014\nafter$"));
    EXPECT_TRUE(marks.match(shown()).hasMatch()) << shown().toStdString();
    const TTextLines& lines = Form->Memo1->View().Lines();
    EXPECT_TRUE(lines.IsNote(1) && lines.IsNote(2) && !lines.IsNote(0) && !lines.IsNote(3));
    EXPECT_EQ(Part<TReceivedViews>("ReceivedViews").Hex().History().Bytes(0, UINT64_MAX), "before\r\nafter");
    QFile logged(folder.filePath("capture.log"));
    ASSERT_TRUE(Pump([&] { return logged.size() == 13; }));
    ASSERT_TRUE(logged.open(QIODevice::ReadOnly));
    EXPECT_EQ(logged.readAll(), "before\r\nafter");

    log.SaveReceived(folder.filePath("saved.txt"));
    QFile saved(folder.filePath("saved.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QStringList savedLines = QString::fromUtf8(saved.readAll()).split(u'\n');
    ASSERT_EQ(savedLines.size(), 4);
    EXPECT_TRUE(savedLines[1].startsWith(QString::fromUtf8("[Ostra Console] \u2014 COM5 lost "))) << savedLines[1].toStdString();
    EXPECT_TRUE(savedLines[2].startsWith(QString::fromUtf8("[Ostra Console] \u2014 COM5 back "))) << savedLines[2].toStdString();
    EXPECT_EQ(savedLines[3], "after");
}

TEST_F(Reconnect, FindsTheSameUsbDeviceUnderAnotherName) {
    Link(First->SlavePath());
    Connect(u"COM33");
    Unlink();
    Unplug("COM33");

    Plug("COM34=");
    Link(Second->SlavePath());
    ASSERT_TRUE(Pump([&] { return Form->Connected(); }));
    EXPECT_EQ(Form->OrvelSerialPort1->IsConnected(), spCOM34);
    EXPECT_EQ(ToQString(Form->cb_portlist->GetText()), "COM34");
    EXPECT_EQ(Caption(), "Ostra Console");
    Form->OrvelSerialPort1->SendString("y");
    EXPECT_EQ(Second->Receive(1), "y");
}

TEST_F(Reconnect, ByIdNamesFollowTheLinks) {
    Link(First->SlavePath());
    EXPECT_EQ(ByIdNameOfPort(ById.path().toStdString(), "COM5"), kUsbName);
    EXPECT_EQ(ByIdNameOfPort(ById.path().toStdString(), "COM6"), "");
    EXPECT_EQ(PortOfByIdName(ById.path().toStdString(), kUsbName), "COM5");  // the map's first name for it
    Unlink();
    EXPECT_EQ(PortOfByIdName(ById.path().toStdString(), kUsbName), "");
    Link("../../ttyUSB1");
    EXPECT_EQ(PortOfByIdName(ById.path().toStdString(), kUsbName), "COM34");
    Unlink();
    Link("../../ttyXRUSB2");
    EXPECT_EQ(PortOfByIdName(ById.path().toStdString(), kUsbName), "ttyXRUSB2");
}

// Another adapter may get the kernel name a lost one had; one known by its
// by-id name returns only under that name.
TEST_F(Reconnect, ADeviceKnownByItsByIdNameReturnsOnlyUnderIt) {
    const std::string dir = ById.path().toStdString();
    TStringList present;
    present.Add("COM33");
    const std::string impostor = "usb-Other_Adapter_9Z-if00-port0";
    std::filesystem::create_symlink("../../ttyUSB0", ById.filePath(QString::fromStdString(impostor)).toStdString());
    EXPECT_EQ(ReturnedPortName(dir, kUsbName, "COM33", present), "");
    EXPECT_EQ(ReturnedPortName(dir, "", "COM33", present), "COM33");  // no by-id name: the port name
    EXPECT_EQ(ReturnedPortName(dir, "", "COM34", present), "");
    Link("../../ttyUSB1");
    EXPECT_EQ(ReturnedPortName(dir, kUsbName, "COM33", present), "COM34");
}

struct TEndCase {
    const char* Name;
    std::function<void(TForm3&, TReconnect&)> Act;
};

class EndingTheWait : public Reconnect, public testing::WithParamInterface<TEndCase> {};

TEST_P(EndingTheWait, StopsWaitingAndRestoresTheCaption) {
    Connect(u"COM5");
    Unplug("COM5");
    GetParam().Act(*Form, Reconnector());
    // No attempt of the window's own follows; what the user's action opens is theirs.
    EXPECT_FALSE(Reconnector().Waiting());
    EXPECT_EQ(Caption(), "Ostra Console");
}

INSTANTIATE_TEST_SUITE_P(
    By, EndingTheWait,
    testing::Values(TEndCase{"Connect", [](TForm3& F, TReconnect&) { QTest::mouseClick(F.b_Connect->Widget(), Qt::LeftButton); }},
                    TEndCase{"AnotherPort",
                             [](TForm3& F, TReconnect&) {
                                 QLineEdit& edit = *F.cb_portlist->Box().lineEdit();
                                 edit.clear();
                                 QTest::keyClicks(&edit, "COM6");
                             }},
                    TEndCase{"SwitchingItOff", [](TForm3&, TReconnect& R) { R.Enabled()->trigger(); }}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(Reconnect, NoWaitAfterTheUserDisconnectsOrWithReconnectingOff) {
    Connect(u"COM5");
    Click(*Form->b_Connect);
    EXPECT_FALSE(Form->Connected());
    EXPECT_FALSE(Reconnector().Waiting());

    Reconnector().Enabled()->trigger();
    Connect(u"COM5");
    ASSERT_TRUE(Form->Connected());
    First->CloseMaster();
    ASSERT_TRUE(Pump([&] { return !Form->Connected(); }));
    EXPECT_FALSE(Reconnector().Waiting());
    EXPECT_EQ(Caption(), "Ostra Console");
}

}  // namespace
