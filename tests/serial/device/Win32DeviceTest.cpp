// SPDX-License-Identifier: GPL-3.0-or-later
// The kernel32 backend on the near port of a null-modem cable (see
// tests/support/FarEnd.h): opening, line settings, reads under the time-out
// modes, both directions of the cable, purges, the device map, and one handle
// used from two threads as the engine uses it.
//
// Where Wine's serial driver differs from Windows', a comment says so and the
// test checks what both do.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "tests/serial/device/DeviceTestSupport.h"
#include "tests/support/FarEnd.h"
#include "toolkit/core/SysUtils.h"

namespace {

std::string LastErrorText() { return SysErrorMessage(static_cast<int>(CommBackend().GetLastError())); }

// Every byte value, NUL included, in an order that shows reordering.
std::string AllByteValues(std::size_t Size) {
    std::string data(Size, '\0');
    for (std::size_t i = 0; i < Size; ++i) data[i] = static_cast<char>(i * 7 + i / 256);
    return data;
}

bool Apply(HANDLE Handle, const DCB& Settings) { return CommBackend().SetCommState(Handle, &Settings) != 0; }

DCB ReadBack(HANDLE Handle) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    EXPECT_TRUE(CommBackend().GetCommState(Handle, &dcb)) << LastErrorText();
    return dcb;
}

bool Contains(const std::vector<std::string>& Names, const std::string& Name) {
    return std::find(Names.begin(), Names.end(), Name) != Names.end();
}

class Win32Device : public ::testing::Test {
protected:
    TFarEnd Far{"COM5"};
    TDeviceHandle Port{OpenDevice("COM5")};

    void SetUp() override {
        ASSERT_TRUE(Port.Valid()) << "COM5: " << LastErrorText();
        ASSERT_TRUE(Apply(Port.Get(), LineSettingsAt(115200))) << LastErrorText();
        ASSERT_TRUE(SetTimeouts(Port.Get(), ReturnAtOnce));
        ASSERT_TRUE(CommBackend().PurgeComm(Port.Get(), PURGE_RXCLEAR | PURGE_TXCLEAR));
    }
    // Waits until Count bytes wait in the driver, then reads exactly those.
    std::string ReadWaiting(std::size_t Count) {
        EXPECT_TRUE(WaitUntil([&] { return WaitingCount(Port.Get()) >= Count; }))
            << "waiting: " << WaitingCount(Port.Get()) << " of " << Count;
        const TReadResult r = ReadDevice(Port.Get(), static_cast<DWORD>(Count));
        EXPECT_TRUE(r.Ok) << SysErrorMessage(static_cast<int>(r.Error));
        return r.Data;
    }
};

TEST_F(Win32Device, BytesCrossTheCableUnchangedBothWays) {
    const std::string out = AllByteValues(1000);
    bool ok = false;
    EXPECT_EQ(WriteDevice(Port.Get(), out, &ok), out.size());
    EXPECT_TRUE(ok);
    EXPECT_TRUE(Far.Receive(out.size()) == out) << "the far end got other bytes";

    const std::string in = AllByteValues(3000).substr(7);
    Far.Send(in);
    EXPECT_TRUE(ReadWaiting(in.size()) == in) << "the near end got other bytes";
    EXPECT_EQ(WaitingCount(Port.Get()), 0u);
}

TEST_F(Win32Device, AReadOfNothingWaitingReturnsAtOnce) {
    const TReadResult r = ReadDevice(Port.Get(), 100);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Data, "");
}

TEST_F(Win32Device, AReadWithATotalTimeoutReturnsBeforeItRunsOut) {
    ASSERT_TRUE(SetTimeouts(Port.Get(), {MAXDWORD, MAXDWORD, 30000, 0, 0}));
    // Windows returns with the first bytes; Wine knows no such mode and waits
    // for all it was asked for. Both return once the whole count is there.
    auto reader = std::async(std::launch::async, [&] { return ReadDevice(Port.Get(), 4); });
    Far.Send("late");
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(20)), std::future_status::ready)
        << "the read waited for its whole time-out";
    const TReadResult r = reader.get();
    EXPECT_TRUE(r.Ok);
    EXPECT_FALSE(r.Data.empty());
    EXPECT_TRUE(std::string("late").starts_with(r.Data)) << r.Data;
}

TEST_F(Win32Device, PurgeDiscardsWhatWaits) {
    Far.Send("stale");
    ASSERT_TRUE(WaitUntil([&] { return WaitingCount(Port.Get()) == 5; }));
    EXPECT_TRUE(CommBackend().PurgeComm(Port.Get(), PURGE_RXCLEAR));
    EXPECT_EQ(WaitingCount(Port.Get()), 0u);
    Far.Send("fresh");
    EXPECT_EQ(ReadWaiting(5), "fresh");
}

TEST_F(Win32Device, RatesAndFramingReadBack) {
    for (const DWORD rate : {9600u, 19200u, 57600u, 115200u}) {
        ASSERT_TRUE(Apply(Port.Get(), LineSettingsAt(rate))) << rate << ": " << LastErrorText();
        EXPECT_EQ(ReadBack(Port.Get()).BaudRate, rate);
    }
    DCB framed = LineSettingsAt(9600);
    framed.StopBits = TWOSTOPBITS;
    framed.Flags |= DcbFlags::OutX | DcbFlags::InX;
    framed.XonChar = 'Q';
    framed.XoffChar = 'S';
    ASSERT_TRUE(Apply(Port.Get(), framed)) << LastErrorText();
    const DCB back = ReadBack(Port.Get());
    EXPECT_EQ(back.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(back.Flags & DcbFlags::OutX);
    EXPECT_TRUE(back.Flags & DcbFlags::InX);
    EXPECT_EQ(back.XonChar, 'Q');
    EXPECT_EQ(back.XoffChar, 'S');
}

TEST_F(Win32Device, ASecondOpenLeavesTheFirstHandleWorking) {
    // Windows refuses a second open of a port with access denied; Wine opens
    // it again.
    const TDeviceHandle second(OpenDevice("COM5"));
    if (!second.Valid()) {
        EXPECT_EQ(CommBackend().GetLastError(), ERROR_ACCESS_DENIED) << LastErrorText();
    }
    Far.Send("still");
    EXPECT_EQ(ReadWaiting(5), "still");
}

TEST_F(Win32Device, AMissingPortIsNotFound) {
    const TDeviceHandle missing(OpenDevice("COM77"));
    EXPECT_FALSE(missing.Valid());
    EXPECT_EQ(CommBackend().GetLastError(), ERROR_FILE_NOT_FOUND) << LastErrorText();
}

TEST_F(Win32Device, ModemStatusReportsOnlyTheFourLines) {
    DWORD status = 0xFFFFFFFF;
    // Wine asks the terminal for its modem lines, which a pseudo-terminal does
    // not have, so the call fails there; a real port or a virtual null-modem
    // driver answers.
    if (CommBackend().GetCommModemStatus(Port.Get(), &status)) {
        EXPECT_EQ(status & ~(MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON), 0u);
    } else {
        EXPECT_NE(CommBackend().GetLastError(), 0u);
    }
}

TEST_F(Win32Device, TheDeviceMapListsTheCableUntilItIsCut) {
    std::vector<std::string> present = CommBackend().PresentPortNames();
    EXPECT_TRUE(Contains(present, "COM5"));
    EXPECT_TRUE(Contains(present, "COM6"));
    Far.Cut();
    present = CommBackend().PresentPortNames();
    EXPECT_FALSE(Contains(present, "COM5"));
    EXPECT_TRUE(Contains(present, "COM6"));
    Far.Reconnect();
    EXPECT_TRUE(Contains(CommBackend().PresentPortNames(), "COM5"));
}

TEST_F(Win32Device, AClosedHandleFails) {
    const HANDLE handle = OpenDevice("COM6");
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << LastErrorText();
    ASSERT_TRUE(CommBackend().CloseHandle(handle));
    COMSTAT stat{};
    EXPECT_FALSE(CommBackend().ClearCommError(handle, nullptr, &stat));
    EXPECT_EQ(CommBackend().GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Win32Device, AClosedHandleNeverReachesAPortOpenedAfterIt) {
    const HANDLE closed = OpenDevice("COM6");
    ASSERT_NE(closed, INVALID_HANDLE_VALUE) << LastErrorText();
    ASSERT_TRUE(CommBackend().CloseHandle(closed));
    // The system is free to hand out the value it just took back.
    const TDeviceHandle reopened(OpenDevice("COM6"));
    ASSERT_TRUE(reopened.Valid()) << LastErrorText();
    EXPECT_NE(reopened.Get(), closed);
    DWORD written = 1;
    EXPECT_FALSE(CommBackend().WriteFile(closed, "late", 4, &written, nullptr));
    EXPECT_EQ(CommBackend().GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(CommBackend().CloseHandle(closed));
    EXPECT_TRUE(CommBackend().PurgeComm(reopened.Get(), PURGE_TXCLEAR)) << "the open handle still works";
}

// The engine's receive thread polls and reads while another thread writes.
TEST_F(Win32Device, OneHandleServesAReaderAndAWriterAtOnce) {
    const std::string out = AllByteValues(70000);
    const std::string in = AllByteValues(20000).substr(3);
    auto reader = std::async(std::launch::async, [&] {
        std::string received;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (received.size() < in.size() && std::chrono::steady_clock::now() < end) {
            const DWORD waiting = WaitingCount(Port.Get());
            if (waiting > 0) received += ReadDevice(Port.Get(), waiting).Data;
            std::this_thread::yield();
        }
        return received;
    });
    auto farReceives = std::async(std::launch::async, [&] { return Far.Receive(out.size()); });
    Far.Send(in);
    EXPECT_EQ(WriteDevice(Port.Get(), out), out.size());
    EXPECT_TRUE(farReceives.get() == out) << "the far end got other bytes";
    const std::string received = reader.get();
    EXPECT_TRUE(received == in) << "received " << received.size() << " of " << in.size() << " bytes";
}

}  // namespace
