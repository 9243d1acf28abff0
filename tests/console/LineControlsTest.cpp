// SPDX-License-Identifier: GPL-3.0-or-later
// The modem-line controls of the window, on the fake device: a pseudo-terminal
// has no modem lines.

#include <QElapsedTimer>
#include <QImage>
#include <array>

#include "console/LineControls.h"
#include "serial/device/FakeCommBackend.h"
#include "tests/console/ConsoleTestSupport.h"

namespace {

class LineControls : public TConsoleTest {
protected:
    void SetUp() override {
        TConsoleTest::SetUp();
        SetCommBackend(&Device);
        Device.SetPresentPorts({"COM7"});
        ShowWindow();
    }
    void TearDown() override {
        TConsoleTest::TearDown();
        SetCommBackend(nullptr);
    }

    void ConnectFake() {
        Connect(u"COM7");
        ASSERT_TRUE(Form->Connected()) << (Errors.empty() ? "" : Errors.front());
    }

    std::array<bool, 4> Leds() const {
        return {Part<TLmUserLed>("CtsLed").GetActive(), Part<TLmUserLed>("DsrLed").GetActive(),
                Part<TLmUserLed>("RiLed").GetActive(), Part<TLmUserLed>("CdLed").GetActive()};
    }

    std::vector<DWORD> Escapes() const {
        std::vector<DWORD> codes;
        for (const TCommCall& call : Device.CallsTo("EscapeCommFunction")) codes.push_back(call.Args.at(0));
        return codes;
    }

    TFakeCommBackend Device;
};

struct TLinesCase {
    DWORD Status;
    std::array<bool, 4> Lit;  // CTS, DSR, RI, CD
};

TEST_F(LineControls, TheLedsFollowTheModemLinesAndGoDarkWhenDisconnected) {
    const TLinesCase cases[] = {
        {MS_CTS_ON | MS_RLSD_ON, {true, false, false, true}},
        {MS_DSR_ON, {false, true, false, false}},
        {MS_RING_ON | MS_CTS_ON, {true, false, true, false}},
        {MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON, {true, true, true, true}},
        {0, {false, false, false, false}},
    };
    Device.SetModemStatus(cases[0].Status);
    ConnectFake();
    for (const TLinesCase& c : cases) {
        Device.SetModemStatus(c.Status);
        EXPECT_TRUE(Pump([&] { return Leds() == c.Lit; })) << "status " << c.Status;
    }
    Device.SetModemStatus(MS_DSR_ON);
    ASSERT_TRUE(Pump([&] { return Leds()[1]; }));
    Click(*Form->b_Connect);
    EXPECT_EQ(Leds(), (std::array<bool, 4>{}));

    // Lines that did not change while closed still show at the next connection.
    ConnectFake();
    EXPECT_EQ(Leds(), (std::array<bool, 4>{false, true, false, false}));
}

TEST_F(LineControls, ALitLedShowsItsLitColourOnScreen) {
    TLmUserLed& cts = Part<TLmUserLed>("CtsLed");
    const QPoint centre = cts.Widget()->geometry().center();
    const auto shown = [&] {
        const QImage shot = Form->Widget()->grab().toImage();
        const qreal ratio = shot.devicePixelRatio();
        return shot.pixelColor(QPoint(static_cast<int>(centre.x() * ratio), static_cast<int>(centre.y() * ratio)));
    };
    EXPECT_NE(shown(), QColor(Qt::green));
    Device.SetModemStatus(MS_CTS_ON);
    ConnectFake();
    ASSERT_TRUE(Pump([&] { return cts.GetActive(); }));
    const int x = cts.GetWidth() / 2;
    const int y = cts.GetHeight() / 2;
    EXPECT_EQ(cts.Canvas().Pixels(x, y), clLime);
    EXPECT_TRUE(Pump([&] { return shown() == QColor(0, 255, 0); }));
    EXPECT_NE(Part<TLmUserLed>("DsrLed").Canvas().Pixels(x, y), clLime);
}

TEST_F(LineControls, TheCheckBoxesDriveDtrAndRtsWithoutDroppingInput) {
    TCheckBox& dtr = Part<TCheckBox>("ck_DTR");
    TCheckBox& rts = Part<TCheckBox>("ck_RTS");
    EXPECT_TRUE(dtr.GetChecked());
    EXPECT_TRUE(rts.GetChecked());
    ConnectFake();
    Device.ClearCalls();
    Click(dtr);
    Click(rts);
    Click(rts);
    EXPECT_EQ(Escapes(), (std::vector<DWORD>{CLRDTR, CLRRTS, SETRTS}));
    EXPECT_EQ(Device.CountCalls("PurgeComm"), 0u);
    EXPECT_EQ(Device.CountCalls("SetCommState"), 0u);

    // A new rate reapplies the settings; the lines stay as the user set them.
    Device.ClearCalls();
    Form->cb_Baud->SetText(u"9600");
    Form->cb_Baud->GetOnChange()(Form->cb_Baud);
    ASSERT_EQ(Device.CountCalls("SetCommState"), 1u);
    EXPECT_EQ(Escapes(), (std::vector<DWORD>{CLRDTR, SETRTS}));

    // Closed, the check boxes choose what the port opens with.
    Click(*Form->b_Connect);
    Click(rts);
    Device.ClearCalls();
    ConnectFake();
    const DWORD flags = Device.CallsTo("SetCommState").at(0).Dcb.Flags;
    constexpr DWORD dtrEnable = 0x0010;
    constexpr DWORD rtsEnable = 0x1000;
    EXPECT_EQ(flags & (dtrEnable | rtsEnable), 0u);
    EXPECT_TRUE(Errors.empty());
}

struct THandshakeCase {
    THwFlowControl Handshake;
    bool DtrEnabled;
    bool RtsEnabled;
};

class LineHandshake : public LineControls, public testing::WithParamInterface<THandshakeCase> {};

TEST_P(LineHandshake, DisablesTheLineThatAHandshakeDrives) {
    Form->OrvelSerialPort1->SetHwFlowControl(GetParam().Handshake);
    ConnectFake();
    EXPECT_EQ(Part<TCheckBox>("ck_DTR").GetEnabled(), GetParam().DtrEnabled);
    EXPECT_EQ(Part<TCheckBox>("ck_RTS").GetEnabled(), GetParam().RtsEnabled);
}

INSTANTIATE_TEST_SUITE_P(Modes, LineHandshake,
                         testing::Values(THandshakeCase{hfNONE, true, true}, THandshakeCase{hfDTRDSR, false, true},
                                         THandshakeCase{hfRTSCTS, true, false}));

TEST_F(LineControls, BreakHoldsTheLineFor250Milliseconds) {
    TButton& breakButton = Part<TButton>("b_Break");
    EXPECT_FALSE(breakButton.GetEnabled());  // nothing to send it to
    ConnectFake();
    ASSERT_TRUE(breakButton.GetEnabled());
    Device.ClearCalls();
    QElapsedTimer held;
    held.start();
    Click(breakButton);
    EXPECT_EQ(Escapes(), (std::vector<DWORD>{SETBREAK}));
    EXPECT_FALSE(breakButton.GetEnabled());
    ASSERT_TRUE(Pump([&] { return Escapes().size() == 2; }));
    EXPECT_GE(held.elapsed(), TLineControls::BreakMs);
    EXPECT_EQ(Escapes().back(), static_cast<DWORD>(CLRBREAK));
    EXPECT_TRUE(breakButton.GetEnabled());
}

}  // namespace
