// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX backend on a real pseudo-terminal: opening, line settings as the
// terminal sees them, reads under each time-out mode, writes, purges, line
// control, failures and descriptor hygiene.
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "serial/device/LineSettings.h"
#include "serial/device/TermiosRate.h"
#include "tests/serial/device/DeviceTestSupport.h"
#include "toolkit/core/SysUtils.h"

namespace {

using namespace std::chrono_literals;

std::string LastErrorText() { return SysErrorMessage(static_cast<int>(CommBackend().GetLastError())); }

class PosixDevice : public ::testing::Test {
protected:
    TPty Pty;

    HANDLE Open() { return OpenDevice(Pty.SlavePath()); }
    termios LineSettings() const {
        termios t{};
        tcgetattr(Pty.Master(), &t);
        return t;
    }
    bool Apply(HANDLE Handle, const DCB& Dcb) { return CommBackend().SetCommState(Handle, &Dcb) != 0; }
};

TEST_F(PosixDevice, OpensAMappedComNameInRawMode) {
    TPortMap map("COM5=" + Pty.SlavePath());
    TDeviceHandle port(OpenDevice("COM5"));
    ASSERT_TRUE(port.Valid()) << LastErrorText();
    const termios t = LineSettings();
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN));
    EXPECT_FALSE(t.c_oflag & OPOST);
    EXPECT_FALSE(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON));
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t{CLOCAL | CREAD});
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

// Expected termios bits for one DCB; a pty itself forces CS8 and no PARENB,
// so those two are not looked at.
struct TSettingsCase {
    const char* Name;
    void (*Change)(DCB&);
    tcflag_t CflagOn, CflagOff, IflagOn, IflagOff;
};

// Test names and failures show the case by its name.
void PrintTo(const TSettingsCase& Case, std::ostream* Out) { *Out << Case.Name; }

class PosixSettings : public PosixDevice, public ::testing::WithParamInterface<TSettingsCase> {};

TEST_P(PosixSettings, ReachTheTerminal) {
    TDeviceHandle port(Open());
    ASSERT_TRUE(port.Valid()) << LastErrorText();
    DCB dcb = LineSettingsAt(9600);
    GetParam().Change(dcb);
    ASSERT_TRUE(Apply(port.Get(), dcb)) << LastErrorText();
    const termios t = LineSettings();
    EXPECT_EQ(t.c_cflag & GetParam().CflagOn, GetParam().CflagOn);
    EXPECT_EQ(t.c_cflag & GetParam().CflagOff, 0u);
    EXPECT_EQ(t.c_iflag & GetParam().IflagOn, GetParam().IflagOn);
    EXPECT_EQ(t.c_iflag & GetParam().IflagOff, 0u);
    EXPECT_FALSE(t.c_iflag & IXANY);
    EXPECT_FALSE(t.c_lflag & ICANON);
}

INSTANTIATE_TEST_SUITE_P(
    Framing, PosixSettings,
    ::testing::Values(
        TSettingsCase{"None", [](DCB&) {}, CLOCAL | CREAD, PARODD | CMSPAR | CSTOPB | CRTSCTS, 0, IXON | IXOFF | INPCK},
        TSettingsCase{"Odd", [](DCB& d) { d.Parity = ODDPARITY; }, PARODD, CMSPAR, 0, 0},
        TSettingsCase{"Even", [](DCB& d) { d.Parity = EVENPARITY; }, 0, PARODD | CMSPAR, 0, 0},
        TSettingsCase{"Mark", [](DCB& d) { d.Parity = MARKPARITY; }, PARODD | CMSPAR, 0, 0, 0},
        TSettingsCase{"Space", [](DCB& d) { d.Parity = SPACEPARITY; }, CMSPAR, PARODD, 0, 0},
        TSettingsCase{"TwoStopBits", [](DCB& d) { d.StopBits = TWOSTOPBITS; }, CSTOPB, 0, 0, 0},
        TSettingsCase{"OneAndAHalfStopBits",
                      [](DCB& d) {
                          d.ByteSize = 5;
                          d.StopBits = ONE5STOPBITS;
                      },
                      CSTOPB, 0, 0, 0}),
    [](const auto& Info) { return std::string(Info.param.Name); });

INSTANTIATE_TEST_SUITE_P(
    FlowControl, PosixSettings,
    ::testing::Values(
        TSettingsCase{"CtsOutput", [](DCB& d) { d.Flags |= DcbFlags::OutxCtsFlow; }, CRTSCTS, 0, 0, 0},
        TSettingsCase{"RtsHandshake",
                      [](DCB& d) {
                          d.Flags &= ~(3u << DcbFlags::RtsControlShift);
                          d.Flags |= RTS_CONTROL_HANDSHAKE << DcbFlags::RtsControlShift;
                      },
                      CRTSCTS, 0, 0, 0},
        TSettingsCase{"DtrDsrHandshakeIsLeftOut",
                      [](DCB& d) { d.Flags |= DcbFlags::OutxDsrFlow | (DTR_CONTROL_HANDSHAKE << 4); }, 0, CRTSCTS,
                      0, IXON | IXOFF},
        TSettingsCase{"XonXoff", [](DCB& d) { d.Flags |= DcbFlags::OutX | DcbFlags::InX; }, 0, CRTSCTS,
                      IXON | IXOFF, 0},
        TSettingsCase{"XonXoffInputOnly", [](DCB& d) { d.Flags |= DcbFlags::InX; }, 0, 0, IXOFF, IXON}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(PosixDevice, ParityCheckLetsBytesWithErrorsArriveAsTheyCame) {
    // With INPCK and without PARMRK the line discipline turns such a byte into
    // NUL; IGNPAR would drop it and PARMRK would wrap it in an escape sequence.
    TDeviceHandle port(Open());
    DCB dcb = LineSettingsAt(9600);
    dcb.Flags |= DcbFlags::Parity;
    ASSERT_TRUE(Apply(port.Get(), dcb)) << LastErrorText();
    EXPECT_EQ(LineSettings().c_iflag & (INPCK | IGNPAR | PARMRK | ISTRIP), 0u);
    DCB back{};
    ASSERT_TRUE(CommBackend().GetCommState(port.Get(), &back));
    EXPECT_TRUE(back.Flags & DcbFlags::Parity) << "the setting reads back as made";
}

TEST(LineRate, ARateTheDriverRoundedByUpTo2PercentIsTaken) {
    struct {
        DWORD Requested, Reported;
        bool Taken;
    } const cases[] = {
        {115200, 115200, true},  {115200, 117504, true},  {115200, 112896, true}, {115200, 117505, false},
        {115200, 112895, false}, {921600, 923077, true},  {31250, 31250, true},   {31250, 9600, false},
        {9600, 0, false},        {4000000, 4080000, true}, {4000000, 4080001, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RateWithinTolerance(c.Requested, c.Reported), c.Taken) << c.Requested << " read back as " << c.Reported;
}

TEST_F(PosixDevice, XonAndXoffCharactersBecomeStartAndStop) {
    TDeviceHandle port(Open());
    DCB dcb = LineSettingsAt(9600);
    dcb.Flags |= DcbFlags::OutX | DcbFlags::InX;
    dcb.XonChar = 'Q';
    dcb.XoffChar = 'S';
    ASSERT_TRUE(Apply(port.Get(), dcb)) << LastErrorText();
    EXPECT_EQ(LineSettings().c_cc[VSTART], 'Q');
    EXPECT_EQ(LineSettings().c_cc[VSTOP], 'S');
}

TEST_F(PosixDevice, StandardAndCustomRatesReachTheTerminal) {
    TDeviceHandle port(Open());
    for (const DWORD rate : {9600u, 115200u, 31250u, 50u, 4000000u, 250000u}) {
        DCB dcb = LineSettingsAt(9600);
        dcb.BaudRate = rate;
        ASSERT_TRUE(Apply(port.Get(), dcb)) << rate << ": " << LastErrorText();
        EXPECT_EQ(ReadOutputRate(Pty.Master()), rate);
        DCB back{};
        ASSERT_TRUE(CommBackend().GetCommState(port.Get(), &back));
        EXPECT_EQ(back.BaudRate, rate);
    }
    DCB dcb = LineSettingsAt(9600);
    dcb.BaudRate = 115200;
    ASSERT_TRUE(Apply(port.Get(), dcb));
    const termios t = LineSettings();
    EXPECT_EQ(cfgetospeed(&t), speed_t{B115200});
}

TEST_F(PosixDevice, RefusesValuesTheRecordDoesNotDefineAndKeepsTheSettings) {
    TDeviceHandle port(Open());
    DCB good = LineSettingsAt(9600);
    good.Parity = ODDPARITY;
    ASSERT_TRUE(Apply(port.Get(), good));
    const termios before = LineSettings();
    const std::vector<void (*)(DCB&)> refused = {
        [](DCB& d) { d.ByteSize = 4; },
        [](DCB& d) { d.ByteSize = 9; },
        [](DCB& d) { d.Parity = 5; },
        [](DCB& d) { d.StopBits = 3; },
        [](DCB& d) {
            d.ByteSize = 5;
            d.StopBits = TWOSTOPBITS;
        },
        [](DCB& d) { d.StopBits = ONE5STOPBITS; },
        [](DCB& d) { d.BaudRate = 0; },
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        DCB dcb = LineSettingsAt(9600);
        refused[i](dcb);
        EXPECT_FALSE(Apply(port.Get(), dcb)) << "case " << i;
        EXPECT_EQ(LastErrorText(), "Invalid argument") << "case " << i;
        const termios after = LineSettings();
        EXPECT_EQ(after.c_cflag, before.c_cflag) << "case " << i;
        EXPECT_EQ(ReadOutputRate(Pty.Master()), 9600u) << "case " << i;
    }
}

TEST_F(PosixDevice, ClearCommErrorCountsWaitingBytes) {
    TDeviceHandle port(Open());
    Pty.Send("hello");
    EXPECT_TRUE(WaitUntil([&] { return WaitingCount(port.Get()) == 5; }));
    DWORD errors = 99;
    COMSTAT stat{};
    ASSERT_TRUE(CommBackend().ClearCommError(port.Get(), &errors, &stat));
    EXPECT_EQ(errors, 0u);  // a pty keeps no error counters
    EXPECT_EQ(stat.cbOutQue, 0u);
}

TEST_F(PosixDevice, ReadReturnsAtOnceWithWhatIsWaiting) {
    TDeviceHandle port(Open());
    ASSERT_TRUE(SetTimeouts(port.Get(), ReturnAtOnce));
    const TReadResult empty = ReadDevice(port.Get(), 10);
    EXPECT_TRUE(empty.Ok);
    EXPECT_EQ(empty.Data, "");
    Pty.Send(std::string("a\0c", 3));
    ASSERT_TRUE(WaitUntil([&] { return WaitingCount(port.Get()) == 3; }));
    const TReadResult read = ReadDevice(port.Get(), 10);
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(read.Data, std::string("a\0c", 3));
}

TEST_F(PosixDevice, ReadWithZeroTimeoutsWaitsForAllBytes) {
    TDeviceHandle port(Open());
    ASSERT_TRUE(SetTimeouts(port.Get(), {0, 0, 0, 0, 0}));
    Pty.Send("abc");
    ASSERT_TRUE(WaitUntil([&] { return WaitingCount(port.Get()) == 3; }));
    auto reader = std::async(std::launch::async, [&] { return ReadDevice(port.Get(), 6); });
    // Once the reader has taken the first part it must wait for the rest.
    ASSERT_TRUE(WaitUntil([&] { return WaitingCount(port.Get()) == 0; }));
    Pty.Send("def");
    const TReadResult read = reader.get();
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(read.Data, "abcdef");
}

TEST_F(PosixDevice, ReadWithFirstByteTimeoutReturnsOnArrivalOrWhenTheConstantRunsOut) {
    TDeviceHandle port(Open());
    ASSERT_TRUE(SetTimeouts(port.Get(), {MAXDWORD, MAXDWORD, 50, 0, 0}));
    const TReadResult none = ReadDevice(port.Get(), 10);
    EXPECT_TRUE(none.Ok);
    EXPECT_EQ(none.Data, "");

    ASSERT_TRUE(SetTimeouts(port.Get(), {MAXDWORD, MAXDWORD, 60000, 0, 0}));
    const auto start = std::chrono::steady_clock::now();
    auto reader = std::async(std::launch::async, [&] { return ReadDevice(port.Get(), 10); });
    Pty.Send("x");
    const TReadResult read = reader.get();
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(read.Data, "x");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
}

TEST_F(PosixDevice, ReadWithIntervalTimeoutEndsAfterAPauseInTheData) {
    TDeviceHandle port(Open());
    ASSERT_TRUE(SetTimeouts(port.Get(), {50, 0, 60000, 0, 0}));
    Pty.Send("ab");
    const auto start = std::chrono::steady_clock::now();
    const TReadResult read = ReadDevice(port.Get(), 10);
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(read.Data, "ab");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);

    ASSERT_TRUE(SetTimeouts(port.Get(), {50, 10, 20, 0, 0}));  // total limit 10 x 3 + 20 ms
    const TReadResult nothing = ReadDevice(port.Get(), 3);
    EXPECT_TRUE(nothing.Ok);
    EXPECT_EQ(nothing.Data, "");
}

TEST_F(PosixDevice, WriteSendsEveryByte) {
    TDeviceHandle port(Open());
    const std::string data("cmd\0with zero\r", 14);
    bool ok = false;
    EXPECT_EQ(WriteDevice(port.Get(), data, &ok), data.size());
    EXPECT_TRUE(ok);
    EXPECT_EQ(Pty.Receive(data.size()), data);
}

TEST_F(PosixDevice, WriteTimeoutReportsThePartialCountAsSuccess) {
    TDeviceHandle port(Open());
    ASSERT_TRUE(SetTimeouts(port.Get(), {MAXDWORD, 0, 0, 0, 100}));
    const std::string large(1 << 20, 'x');  // more than the pty holds while nobody reads
    bool ok = false;
    const DWORD written = WriteDevice(port.Get(), large, &ok);
    EXPECT_TRUE(ok) << LastErrorText();
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, large.size());
}

TEST_F(PosixDevice, XoffEscapeHoldsOutputUntilXon) {
    TDeviceHandle port(Open());
    ASSERT_TRUE(SetTimeouts(port.Get(), {MAXDWORD, 0, 0, 0, 50}));
    ASSERT_TRUE(CommBackend().EscapeCommFunction(port.Get(), SETXOFF)) << LastErrorText();
    bool ok = false;
    EXPECT_EQ(WriteDevice(port.Get(), "held", &ok), 0u);
    EXPECT_TRUE(ok);
    ASSERT_TRUE(CommBackend().EscapeCommFunction(port.Get(), SETXON));
    EXPECT_EQ(WriteDevice(port.Get(), "sent"), 4u);
    EXPECT_EQ(Pty.Receive(4), "sent");
}

TEST_F(PosixDevice, LineControlOnADeviceWithoutModemLines) {
    TDeviceHandle port(Open());
    DWORD status = 0;
    EXPECT_FALSE(CommBackend().GetCommModemStatus(port.Get(), &status));
    EXPECT_EQ(LastErrorText(), "Inappropriate ioctl for device");
    for (const DWORD func : {SETRTS, CLRRTS, SETDTR, CLRDTR}) {
        EXPECT_FALSE(CommBackend().EscapeCommFunction(port.Get(), func)) << func;
        EXPECT_EQ(LastErrorText(), "Inappropriate ioctl for device");
    }
    EXPECT_TRUE(CommBackend().EscapeCommFunction(port.Get(), SETBREAK));
    EXPECT_TRUE(CommBackend().EscapeCommFunction(port.Get(), CLRBREAK));
    EXPECT_FALSE(CommBackend().EscapeCommFunction(port.Get(), 7));
    EXPECT_EQ(LastErrorText(), "Invalid argument");
    // Settings asking for DTR and RTS still apply.
    EXPECT_TRUE(Apply(port.Get(), LineSettingsAt(9600))) << LastErrorText();
}

TEST_F(PosixDevice, PurgeDiscardsWaitingInput) {
    TDeviceHandle port(Open());
    ASSERT_TRUE(SetTimeouts(port.Get(), ReturnAtOnce));
    Pty.Send("stale");
    ASSERT_TRUE(WaitUntil([&] { return WaitingCount(port.Get()) == 5; }));
    ASSERT_TRUE(CommBackend().PurgeComm(port.Get(), PURGE_RXCLEAR | PURGE_TXCLEAR));
    EXPECT_EQ(WaitingCount(port.Get()), 0u);
    Pty.Send("new");
    ASSERT_TRUE(WaitUntil([&] { return WaitingCount(port.Get()) == 3; }));
    EXPECT_EQ(ReadDevice(port.Get(), 10).Data, "new");
    EXPECT_FALSE(CommBackend().PurgeComm(port.Get(), 0x10));
}

TEST_F(PosixDevice, PortInUseIsBusyUntilClosed) {
    const HANDLE first = Open();
    ASSERT_NE(first, INVALID_HANDLE_VALUE) << LastErrorText();
    EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastErrorText(), "Device or resource busy");
    ASSERT_TRUE(CommBackend().CloseHandle(first));
    TDeviceHandle second(Open());
    EXPECT_TRUE(second.Valid()) << LastErrorText();
}

TEST_F(PosixDevice, FailedOpensSayWhy) {
    const std::filesystem::path regular = std::filesystem::temp_directory_path() / ("ostra-not-a-tty-" + std::to_string(getpid()));
    std::ofstream(regular) << "text";
    const struct {
        std::string Name;
        const char* Message;
    } cases[] = {
        {"/dev/ostra-no-such-port", "No such file or directory"},
        {"COM250", "No such file or directory"},
        {"", "No such file or directory"},
        {"/dev/null", "Inappropriate ioctl for device"},
        {regular.string(), "Inappropriate ioctl for device"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OpenDevice(c.Name), INVALID_HANDLE_VALUE) << c.Name;
        EXPECT_EQ(LastErrorText(), c.Message) << c.Name;
    }
    std::filesystem::remove(regular);
}

TEST_F(PosixDevice, LastErrorBelongsToTheCallingThread) {
    EXPECT_EQ(OpenDevice("/dev/ostra-no-such-port"), INVALID_HANDLE_VALUE);
    std::async(std::launch::async, [] { OpenDevice("/dev/null"); }).get();
    EXPECT_EQ(LastErrorText(), "No such file or directory");
}

TEST_F(PosixDevice, CloseRestoresTheOriginalSettings) {
    const termios before = LineSettings();
    const auto rateBefore = ReadOutputRate(Pty.Master());
    {
        TDeviceHandle port(Open());
        DCB dcb = LineSettingsAt(9600);
        dcb.BaudRate = 31250;
        dcb.Parity = MARKPARITY;
        dcb.StopBits = TWOSTOPBITS;
        dcb.Flags |= DcbFlags::OutxCtsFlow | DcbFlags::OutX | DcbFlags::InX;
        ASSERT_TRUE(Apply(port.Get(), dcb));
    }
    const termios after = LineSettings();
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(std::memcmp(after.c_cc, before.c_cc, sizeof before.c_cc), 0);
    EXPECT_EQ(ReadOutputRate(Pty.Master()), rateBefore);
}

TEST_F(PosixDevice, OpeningAndFailingLeaveNoDescriptorBehind) {
    {  // the first open may set up lasting state of the runtime
        TDeviceHandle warmUp(Open());
    }
    const int before = OpenDescriptorCount();
    for (int i = 0; i < 1000; ++i) {
        const HANDLE handle = Open();
        ASSERT_NE(handle, INVALID_HANDLE_VALUE) << LastErrorText();
        const DCB dcb = LineSettingsAt(9600);
        CommBackend().SetCommState(handle, &dcb);
        ASSERT_EQ(Open(), INVALID_HANDLE_VALUE);  // busy
        ASSERT_TRUE(CommBackend().CloseHandle(handle));
    }
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(OpenDevice(i % 2 ? "/dev/null" : "/dev/ostra-no-such-port"), INVALID_HANDLE_VALUE);
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST_F(PosixDevice, CallsOnHandlesNotOpenFailCleanly) {
    const HANDLE closed = Open();
    ASSERT_TRUE(CommBackend().CloseHandle(closed));
    TDeviceHandle reopened(Open());  // must not bring the old handle back to life
    ASSERT_NE(reopened.Get(), closed);
    for (const HANDLE handle : {closed, HANDLE{12345}, INVALID_HANDLE_VALUE, HANDLE{0}}) {
        DCB dcb = LineSettingsAt(9600);
        COMMTIMEOUTS timeouts{};
        COMSTAT stat{};
        DWORD value = 0;
        char buffer[4];
        TCommBackend& b = CommBackend();
        const std::vector<std::pair<const char*, std::function<BOOL()>>> calls = {
            {"SetCommState", [&] { return b.SetCommState(handle, &dcb); }},
            {"GetCommState", [&] { return b.GetCommState(handle, &dcb); }},
            {"SetCommTimeouts", [&] { return b.SetCommTimeouts(handle, &timeouts); }},
            {"SetupComm", [&] { return b.SetupComm(handle, 4096, 4096); }},
            {"PurgeComm", [&] { return b.PurgeComm(handle, PURGE_RXCLEAR); }},
            {"ClearCommError", [&] { return b.ClearCommError(handle, &value, &stat); }},
            {"ReadFile", [&] { return b.ReadFile(handle, buffer, 4, &value, nullptr); }},
            {"WriteFile", [&] { return b.WriteFile(handle, "abcd", 4, &value, nullptr); }},
            {"GetCommModemStatus", [&] { return b.GetCommModemStatus(handle, &value); }},
            {"EscapeCommFunction", [&] { return b.EscapeCommFunction(handle, SETBREAK); }},
            {"CloseHandle", [&] { return b.CloseHandle(handle); }},
        };
        for (const auto& [name, call] : calls) {
            EXPECT_FALSE(call()) << name << " on " << handle;
            EXPECT_EQ(LastErrorText(), "Bad file descriptor") << name << " on " << handle;
        }
    }
    // The port behind the reopened handle is untouched.
    EXPECT_EQ(WriteDevice(reopened.Get(), "ok"), 2u);
    EXPECT_EQ(Pty.Receive(2), "ok");
}

TEST_F(PosixDevice, NoWindowsLibrariesToLink) {
    EXPECT_EQ(CommBackend().GetModuleHandleA("winmm.dll"), nullptr);
    EXPECT_EQ(CommBackend().LoadLibraryA("winmm.dll"), nullptr);
    EXPECT_EQ(CommBackend().GetProcAddress(nullptr, "timeBeginPeriod"), nullptr);
}

bool Lists(const std::vector<std::string>& Names, const std::string& Name) {
    return std::find(Names.begin(), Names.end(), Name) != Names.end();
}

// A port opened under a name of its own is present while its device exists,
// so an open custom port is not taken for vanished.
TEST_F(PosixDevice, AnOpenCustomPortIsPresentUntilItsDeviceGoes) {
    EXPECT_FALSE(Lists(CommBackend().PresentPortNames(), Pty.SlavePath()));
    const HANDLE handle = Open();
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Lists(CommBackend().PresentPortNames(), Pty.SlavePath()));
    Pty.CloseMaster();
    EXPECT_FALSE(Lists(CommBackend().PresentPortNames(), Pty.SlavePath()));
    CommBackend().CloseHandle(handle);
}

}  // namespace
