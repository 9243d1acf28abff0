// SPDX-License-Identifier: GPL-3.0-or-later
// What a pseudo-terminal cannot show: the exact line-settings record, the
// order of device calls, refused settings, line control and modem lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "serial/OrvelSerialPort.h"
#include "serial/device/FakeCommBackend.h"
#include "tests/support/Process.h"
#include "toolkit/core/SysUtils.h"
#include "toolkit/core/Thread.h"

namespace {

class SerialOnFakeDevice : public ::testing::Test {
protected:
    TFakeCommBackend Device;
    TOrvelSerialPort Port{nullptr};
    std::vector<std::string> Events;

    void SetUp() override {
        SetCommBackend(&Device);
        Port.SetCommPort(spCOM3);
        Port.SetOnConnect([this](TObject*, TCommPort P) { Events.push_back("connect " + std::to_string(P)); });
        Port.SetOnDisconnect([this](TObject*, TCommPort P) { Events.push_back("disconnect " + std::to_string(P)); });
    }
    void TearDown() override {
        Port.Close();
        SetCommBackend(nullptr);
    }
    DCB LastState() const {
        const auto calls = Device.CallsTo("SetCommState");
        return calls.empty() ? DCB{} : calls.back().Dcb;
    }
    // The device calls made so far, without the receive loop's polling.
    std::vector<std::string> SetupCalls() const {
        std::vector<std::string> names;
        for (const TCommCall& call : Device.Calls())
            if (call.Function == "CreateFileA" || call.Function == "SetCommState" ||
                call.Function == "SetCommTimeouts" || call.Function == "SetupComm" ||
                call.Function == "PurgeComm" || call.Function == "CloseHandle")
                names.push_back(call.Function);
        return names;
    }
};

TEST_F(SerialOnFakeDevice, OpenAppliesSettingsTimeoutsAndQueuesThenCloseReleasesTheDevice) {
    Port.Open();
    ASSERT_EQ(Port.IsConnected(), spCOM3);
    const TCommCall open = Device.CallsTo("CreateFileA").at(0);
    EXPECT_EQ(open.Text, "\\\\.\\COM3");
    EXPECT_EQ(open.Args, (std::vector<DWORD>{GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0}));
    const COMMTIMEOUTS t = Device.CallsTo("SetCommTimeouts").at(0).Timeouts;
    EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);
    EXPECT_EQ(Device.CallsTo("SetupComm").at(0).Args, (std::vector<DWORD>{4096, 4096}));

    Port.Close();
    // Close aborts the calls in progress until the thread has ended; the thread
    // then purges everything and closes.
    std::vector<std::string> calls = SetupCalls();
    const auto purges = Device.CallsTo("PurgeComm");
    ASSERT_GE(purges.size(), 2u);
    for (std::size_t i = 0; i + 1 < purges.size(); ++i)
        EXPECT_EQ(purges[i].Args.at(0), static_cast<DWORD>(PURGE_TXABORT | PURGE_RXABORT));
    EXPECT_EQ(purges.back().Args.at(0), 15u);
    calls.erase(std::unique(calls.begin(), calls.end()), calls.end());
    EXPECT_EQ(calls, (std::vector<std::string>{"CreateFileA", "SetCommState", "SetCommTimeouts", "SetupComm",
                                               "PurgeComm", "CloseHandle"}));
    EXPECT_EQ(Device.OpenHandleCount(), 0u);
    EXPECT_EQ(Events, (std::vector<std::string>{"connect 3", "disconnect 3"}));
}

TEST_F(SerialOnFakeDevice, DefaultLineSettingsRecord) {
    Port.Open();
    const DCB dcb = LastState();
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 4800u);
    EXPECT_EQ(dcb.Flags, 0x1011u);
    EXPECT_EQ(dcb.XonLim, 1024);
    EXPECT_EQ(dcb.XoffLim, 1);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
}

struct FlagCase {
    const char* Setting;
    void (*Apply)(TOrvelSerialPort&);
    DWORD Flags;
};

const FlagCase kFlagCases[] = {
    {"parity check", [](TOrvelSerialPort& p) { p.SetParityCheck(true); }, 0x1013},
    // Handshake governs a line whose enable setting is also on.
    {"RTS/CTS", [](TOrvelSerialPort& p) { p.SetHwFlowControl(hfRTSCTS); }, 0x2015},
    {"DTR/DSR", [](TOrvelSerialPort& p) { p.SetHwFlowControl(hfDTRDSR); }, 0x1029},
    {"lines low", [](TOrvelSerialPort& p) { p.SetEnableDTROnOpen(false); p.SetEnableRTSOnOpen(false); }, 0x0001},
    {"XON/XOFF", [](TOrvelSerialPort& p) { p.SetSwFlowControl(sfXONXOFF); }, 0x1311},
    {"DSR sensitivity", [](TOrvelSerialPort& p) { p.SetDsrSensitivity(true); }, 0x1051},
    {"TX continue on XOFF", [](TOrvelSerialPort& p) { p.SetTXContinueOnXoff(true); }, 0x1091},
    {"replace parity errors", [](TOrvelSerialPort& p) { p.SetReplaceParityErrors(true); }, 0x1411},
    {"discard NULs", [](TOrvelSerialPort& p) { p.SetDiscardNulls(true); }, 0x1811},
};

TEST_F(SerialOnFakeDevice, FlagWordFollowsEachSetting) {
    for (const FlagCase& c : kFlagCases) {
        TOrvelSerialPort port(nullptr);
        port.SetCommPort(spCOM3);
        c.Apply(port);
        port.Open();
        EXPECT_EQ(LastState().Flags, c.Flags) << c.Setting;
        port.Close();
    }
}

TEST_F(SerialOnFakeDevice, RecordMembersFollowTheSettings) {
    Port.SetBaudRate(brCustom);
    Port.SetCustomBaudRate(31250);
    Port.SetDataWidth(dw5Bits);
    Port.SetStopBits(sb1_5Bits);
    Port.SetParity(pbSpace);
    Port.SetXonChar('a');
    Port.SetXoffChar('b');
    Port.SetErrorChar('?');
    Port.SetEofChar('\x1A');
    Port.SetXoffLim(77);
    Port.Open();
    const DCB dcb = LastState();
    EXPECT_EQ(dcb.BaudRate, 31250u);
    EXPECT_EQ(dcb.ByteSize, 5);
    EXPECT_EQ(dcb.StopBits, ONE5STOPBITS);
    EXPECT_EQ(dcb.Parity, SPACEPARITY);
    EXPECT_EQ(dcb.XonChar, 'a');
    EXPECT_EQ(dcb.XoffChar, 'b');
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.EofChar, '\x1A');
    EXPECT_EQ(dcb.XoffLim, 77);
}

TEST_F(SerialOnFakeDevice, XonLimitDefaultsToAQuarterOfTheInputQueue) {
    struct {
        uint16_t XonLim;
        uint32_t InputBuffer;
        WORD Expected;
    } const cases[] = {{0, 4096, 1024}, {0, 1048576, 0}, {10, 4096, 10}, {0, 6, 1}};
    for (const auto& c : cases) {
        Port.SetXonLim(c.XonLim);
        Port.SetInputBuffer(c.InputBuffer);
        Port.Open();
        EXPECT_EQ(LastState().XonLim, c.Expected) << c.XonLim << " / " << c.InputBuffer;
        Port.Close();
    }
}

TEST_F(SerialOnFakeDevice, FineTimerOnlyForShortPollingIntervals) {
    for (uint32_t delay : {20u, 100u}) {
        Device.ClearCalls();
        Port.SetDelay(delay);
        Port.Open();
        EXPECT_EQ(Device.CountCalls("timeBeginPeriod"), delay < 50 ? 1u : 0u) << delay;
        Port.Close();
        EXPECT_EQ(Device.CountCalls("timeEndPeriod"), delay < 50 ? 1u : 0u) << delay;
        for (const TCommCall& call : Device.CallsTo("timeBeginPeriod")) EXPECT_EQ(call.Args.at(0), 1u);
    }
}

TEST_F(SerialOnFakeDevice, LiveChangesReapplyAndPurgeUnreadInputFirst) {
    Port.Open();
    Device.ClearCalls();
    Port.SetXonChar(17);  // unchanged: nothing
    EXPECT_EQ(Device.CountCalls("SetCommState"), 0u);
    Port.SetXonChar('x');
    EXPECT_EQ(SetupCalls(), (std::vector<std::string>{"PurgeComm", "SetCommState"}));
    EXPECT_EQ(Device.CallsTo("PurgeComm").at(0).Args.at(0), static_cast<DWORD>(PURGE_RXCLEAR));

    // These re-apply even when the value does not change.
    Device.ClearCalls();
    Port.SetParity(Port.GetParity());
    Port.SetBaudRate(Port.GetBaudRate());
    Port.SetDataWidth(Port.GetDataWidth());
    Port.SetStopBits(Port.GetStopBits());
    EXPECT_EQ(Device.CountCalls("SetCommState"), 4u);

    Device.ClearCalls();
    Port.SetCommPort(spCOM4);
    EXPECT_EQ(Device.CountCalls("SetCommState"), 0u);
    EXPECT_EQ(Port.IsConnected(), spCOM3);
}

TEST_F(SerialOnFakeDevice, ARefusedLiveChangeClosesThePort) {
    Port.Open();
    Device.RefuseCommState(true);
    Port.SetParity(pbEven);
    EXPECT_EQ(Port.IsConnected(), spNone);
    EXPECT_EQ(Port.GetParity(), pbEven);
    EXPECT_EQ(Events, (std::vector<std::string>{"connect 3", "disconnect 3"}));
    EXPECT_EQ(Device.OpenHandleCount(), 0u);
}

TEST_F(SerialOnFakeDevice, RefusedSettingsAtOpenStillOpen) {
    Device.RefuseCommState(true);
    Port.Open();
    EXPECT_EQ(Port.IsConnected(), spCOM3);
    EXPECT_EQ(Events, (std::vector<std::string>{"connect 3"}));
}

TEST_F(SerialOnFakeDevice, AFailedSetUpNamesItsReasonAndReleasesTheDevice) {
    Device.ThrowIn("SetCommTimeouts", ERROR_ACCESS_DENIED);
    try {
        Port.Open();
        FAIL() << "a failed set-up opened";
    } catch (const EOrvelSerialPortException& e) {
        // The system's text for the reason, without the full stop it may end with.
        const std::string message = e.what();
        const std::string head = "Cannot connect to COM3 . ";
        ASSERT_TRUE(message.starts_with(head)) << message;
        const std::string reason = message.substr(head.size());
        EXPECT_FALSE(reason.empty());
        EXPECT_TRUE(SysErrorMessage(static_cast<int>(ERROR_ACCESS_DENIED)).starts_with(reason)) << message;
    }
    EXPECT_EQ(Port.IsConnected(), spNone);
    EXPECT_EQ(Device.OpenHandleCount(), 0u);
    EXPECT_TRUE(Events.empty());
}

TEST_F(SerialOnFakeDevice, ALateDisconnectOfAReplacedConnectionIsNotRaised) {
    Port.SetDelay(10);  // no presence check: the fake lists no ports
    // With hand-offs left unserved, the thread's OnDisconnect stays queued and
    // Close gives up on it.
    SetProcessMessagesHook([] {});
    Port.Open();
    Port.Close();
    SetProcessMessagesHook(nullptr);
    ASSERT_EQ(Device.OpenHandleCount(), 1u) << "the abandoned thread still holds its device";
    Port.SetCommPort(spCOM4);
    Port.Open();
    ASSERT_TRUE(WaitUntil([&] { return Device.OpenHandleCount() == 1 && Port.IsConnected() == spCOM4; }));
    EXPECT_TRUE(WaitUntil([&] { return Device.CountCalls("CloseHandle") == 1; }));
    EXPECT_EQ(Events, (std::vector<std::string>{"connect 3", "connect 4"}))
        << "the old connection reported on the new one";
    Port.Close();
    EXPECT_EQ(Events.back(), "disconnect 4");
}

TEST_F(SerialOnFakeDevice, LineControlSendsTheEscapeCodes) {
    Port.Open();
    struct {
        bool (TOrvelSerialPort::*Op)(bool);
        bool OnOff;
        DWORD Code;
    } const cases[] = {
        {&TOrvelSerialPort::SetBreak, true, SETBREAK},   {&TOrvelSerialPort::SetBreak, false, CLRBREAK},
        {&TOrvelSerialPort::SetDTR, true, SETDTR},       {&TOrvelSerialPort::SetDTR, false, CLRDTR},
        {&TOrvelSerialPort::SetRTS, true, SETRTS},       {&TOrvelSerialPort::SetRTS, false, CLRRTS},
        {&TOrvelSerialPort::SetXonXoff, true, SETXON},   {&TOrvelSerialPort::SetXonXoff, false, SETXOFF},
    };
    for (const auto& c : cases) {
        Device.ClearCalls();
        EXPECT_TRUE((Port.*c.Op)(c.OnOff));
        ASSERT_EQ(Device.CountCalls("EscapeCommFunction"), 1u);
        EXPECT_EQ(Device.CallsTo("EscapeCommFunction").at(0).Args.at(0), c.Code);
    }
    Device.ClearCalls();
    EXPECT_TRUE(Port.ClearInputBuffer());
    EXPECT_TRUE(Port.ClearOutputBuffer());
    const auto purges = Device.CallsTo("PurgeComm");
    ASSERT_EQ(purges.size(), 2u);
    EXPECT_EQ(purges[0].Args.at(0), static_cast<DWORD>(PURGE_RXCLEAR));
    EXPECT_EQ(purges[1].Args.at(0), static_cast<DWORD>(PURGE_TXCLEAR));
}

TEST_F(SerialOnFakeDevice, LineOperationsOnAClosedPortFailQuietly) {
    EXPECT_FALSE(Port.SetBreak(true));
    EXPECT_FALSE(Port.SetDTR(true));
    EXPECT_FALSE(Port.SetRTS(false));
    EXPECT_FALSE(Port.SetXonXoff(true));
    EXPECT_FALSE(Port.ClearInputBuffer());
    EXPECT_FALSE(Port.ClearOutputBuffer());
    EXPECT_FALSE(Port.GetCTS() || Port.GetDSR() || Port.GetRING() || Port.GetCD());
    Port.SetInputBuffer(8192);
    Port.SetOutputBuffer(1024);
    EXPECT_TRUE(Device.Calls().empty());
    EXPECT_EQ(Port.GetInputBuffer(), 8192u);
}

TEST_F(SerialOnFakeDevice, ModemLinesAreReadAtTheMomentOfTheCall) {
    Port.Open();
    Device.SetModemStatus(MS_CTS_ON | MS_DSR_ON);
    EXPECT_TRUE(Port.GetCTS());
    EXPECT_TRUE(Port.GetDSR());
    EXPECT_FALSE(Port.GetRING());
    EXPECT_FALSE(Port.GetCD());
    Device.SetModemStatus(MS_RING_ON | MS_RLSD_ON | 0x0F);
    EXPECT_FALSE(Port.GetCTS());
    EXPECT_TRUE(Port.GetRING());
    EXPECT_TRUE(Port.GetCD());
    Device.FailModemStatus(true);
    EXPECT_FALSE(Port.GetRING() || Port.GetCD());
    Device.FailModemStatus(false);
    Device.SetVanished(true);
    EXPECT_FALSE(Port.SetDTR(true));
}

TEST_F(SerialOnFakeDevice, QueueSizesReachAnOpenDeviceOnlyWhenChanged) {
    Port.Open();
    Device.ClearCalls();
    Port.SetInputBuffer(4096);
    EXPECT_EQ(Device.CountCalls("SetupComm"), 0u);
    Port.SetInputBuffer(16384);
    Port.SetOutputBuffer(2048);
    const auto calls = Device.CallsTo("SetupComm");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].Args, (std::vector<DWORD>{16384, 4096}));
    EXPECT_EQ(calls[1].Args, (std::vector<DWORD>{16384, 2048}));
}

TEST_F(SerialOnFakeDevice, PresentPortsAsSetAndNames) {
    Device.SetPresentPorts({"COM1", "COM10", "  COM3 ", "myport", "other", "COM10", "", "   "});
    const TCommPortSet ports = Port.GetExistingCommPorts();
    EXPECT_EQ(ports, (TCommPortSet{spCOM1, spCOM3, spCOM10, spCustom}));
    TStringList names;
    names.Add("stale");
    Port.GetExistingCommPortNames(&names);
    std::vector<std::string> list;
    for (int i = 0; i < names.Count(); ++i) list.push_back(names[i]);
    EXPECT_EQ(list, (std::vector<std::string>{"COM1", "COM10", "COM3", "myport", "other", "COM10"}));

    Device.SetPresentPorts({});
    EXPECT_TRUE(Port.GetExistingCommPorts().Empty());
    Port.GetExistingCommPortNames(&names);
    EXPECT_EQ(names.Count(), 0);
}

}  // namespace
