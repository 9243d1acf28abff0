// SPDX-License-Identifier: GPL-3.0-or-later
// Ports on the network in the window, against ser2net on loopback with a
// pseudo-terminal behind it.

#include <termios.h>

#include <QComboBox>
#include <QMessageBox>

#include "console/NetworkPortBox.h"
#include "console/Reconnect.h"
#include "tests/console/ConsoleTestSupport.h"
#include "tests/support/Pty.h"
#include "tests/support/Ser2Net.h"

namespace {

class NetworkPortWindow : public TConsoleTest {
protected:
    void SetUp() override {
        TConsoleTest::SetUp();
        ShowWindow();
    }
    void TearDown() override {
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Ostra", "Ostra Console").clear();
        TConsoleTest::TearDown();
    }

    TNetworkPortBox& Box() const { return Part<TNetworkPortBox>("NetworkPortBox"); }
    QString NoteText() const { return Box().Note() ? Box().Note()->text() : QString(); }
    QStringList ListedPorts() const {
        QStringList names;
        auto* box = static_cast<QComboBox*>(Form->cb_portlist->Widget());
        for (int i = 0; i < box->count(); ++i) names << box->itemText(i);
        return names;
    }
    QString Received() const { return QString::fromStdU16String(Form->Memo1->GetText()); }
    speed_t PtySpeed(const TPty& Pty) const {
        termios settings{};
        tcgetattr(Pty.Master(), &settings);
        return cfgetospeed(&settings);
    }
    void ConnectTo(const std::string& Name) {
        Connect(QString::fromStdString(Name).toStdU16String().c_str());
        ASSERT_TRUE(Form->Connected()) << (Errors.empty() ? "" : Errors.front());
    }
};

TEST_F(NetworkPortWindow, ATypedNameConnectsIsRememberedAndReconnectsWhenTheServerReturns) {
    TPty pty;
    TSer2Net server({{true, pty.SlavePath()}});
    const std::string name = server.PortName(0);
    Form->cb_Baud->SetText(u"9600");
    Form->cb_BaudChange(Form->cb_Baud);
    ConnectTo(name);
    EXPECT_TRUE(Pump([&] { return PtySpeed(pty) == B9600; }));
    pty.Send("hello\xff\r\n");
    EXPECT_TRUE(Pump([&] { return Received().contains(QStringLiteral("hello\uFFFD")); })) << Received().toStdString();

    // Remembered, and listed after the local ports.
    EXPECT_EQ(Box().Remembered(), QStringList{QString::fromStdString(name)});
    Click(*Form->b_GetPorts);
    EXPECT_EQ(ListedPorts().last(), QString::fromStdString(name));

    server.Stop();
    ASSERT_TRUE(Pump([&] { return !Form->Connected() && Part<TReconnect>("Reconnect").Waiting(); }));
    EXPECT_TRUE(Pump([&] { return NoteText().contains(QStringLiteral("127.0.0.1:%1").arg(server.Port(0))); }));

    // ser2net opens the pty at its own rate; the window's comes back with the port.
    server.Start();
    ASSERT_TRUE(Pump([&] { return Form->Connected(); }));
    EXPECT_TRUE(Pump([&] { return PtySpeed(pty) == B9600; }));
    pty.Send("again");
    EXPECT_TRUE(Pump([&] { return Received().contains(QStringLiteral("again")); }));
}

TEST_F(NetworkPortWindow, RawTcpShowsTheLineSettingsOutOfReach) {
    TPty pty;
    TSer2Net server({{false, pty.SlavePath()}});
    ConnectTo(server.PortName(0));
    QWidget* baud = Form->cb_Baud->Widget();
    EXPECT_FALSE(baud->isEnabled());
    EXPECT_TRUE(baud->toolTip().contains(QStringLiteral("Raw TCP")));
    Click(*Form->b_Connect);
    EXPECT_TRUE(baud->isEnabled());
    EXPECT_TRUE(baud->toolTip().isEmpty());
}

TEST_F(NetworkPortWindow, AddedPortsAreCheckedRememberedAndChosen) {
    EXPECT_EQ(Box().AddPort(QStringLiteral("TCP://[::1]:2323")), QString());
    EXPECT_EQ(Box().AddPort(QStringLiteral("rfc2217://rack-3:4001")), QString());
    EXPECT_EQ(Box().AddPort(QStringLiteral("tcp://[::1]:2323")), QString());
    EXPECT_EQ(Box().Remembered(), (QStringList{"tcp://[::1]:2323", "rfc2217://rack-3:4001"}));
    EXPECT_EQ(QString::fromStdU16String(Form->cb_portlist->GetText()), QStringLiteral("tcp://[::1]:2323"));
    EXPECT_EQ(ListedPorts().mid(ListedPorts().size() - 2), Box().Remembered());
    EXPECT_EQ(Box().AddPort(QStringLiteral("rack-3:4001")),
              QStringLiteral("\"rack-3:4001\" is not a network port. Type rfc2217://HOST:PORT or tcp://HOST:PORT."));
    EXPECT_EQ(Box().Remembered().size(), 2);
}

TEST_F(NetworkPortWindow, AServerThatRefusesSaysSoAndTheWindowGoesOn) {
    ConnectTo("rfc2217://127.0.0.1:" + std::to_string(FreeLoopbackPort()));
    EXPECT_TRUE(Pump([&] { return !Form->Connected(); }));
    EXPECT_TRUE(Pump([&] { return NoteText().contains(QStringLiteral("Cannot connect to 127.0.0.1:")); }));
    EXPECT_FALSE(Box().Note()->isModal());
    EXPECT_TRUE(Errors.empty());
}

}  // namespace
