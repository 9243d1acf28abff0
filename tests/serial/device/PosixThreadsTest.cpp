// SPDX-License-Identifier: GPL-3.0-or-later
// One POSIX device handle used from several threads: aborts and closes that
// end a blocked read or write, and a receiver running beside a sender.
#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>

#include "tests/serial/device/DeviceTestSupport.h"
#include "toolkit/core/SysUtils.h"

namespace {

int MasterWaiting(const TPty& Pty) {
    int waiting = 0;
    ioctl(Pty.Master(), FIONREAD, &waiting);
    return waiting;
}

class PosixThreads : public ::testing::Test {
protected:
    TPty Pty;
    TDeviceHandle Port{OpenDevice(Pty.SlavePath())};

    void SetUp() override { ASSERT_TRUE(Port.Valid()); }

    // A read of 10 bytes that has taken one byte and now waits for the rest.
    std::future<TReadResult> BlockedRead() {
        EXPECT_TRUE(SetTimeouts(Port.Get(), {0, 0, 0, 0, 0}));
        Pty.Send("a");
        EXPECT_TRUE(WaitUntil([&] { return WaitingCount(Port.Get()) == 1; }));
        auto reader = std::async(std::launch::async, [this] { return ReadDevice(Port.Get(), 10); });
        EXPECT_TRUE(WaitUntil([&] { return WaitingCount(Port.Get()) == 0; }));
        return reader;
    }
};

TEST_F(PosixThreads, ReceiveAbortEndsTheReadInProgressOnly) {
    auto reader = BlockedRead();
    ASSERT_TRUE(CommBackend().PurgeComm(Port.Get(), PURGE_RXABORT));
    const TReadResult aborted = reader.get();
    EXPECT_FALSE(aborted.Ok);
    EXPECT_EQ(aborted.Data, "a");
    EXPECT_EQ(SysErrorMessage(static_cast<int>(aborted.Error)), "Operation canceled");

    Pty.Send("b");
    const TReadResult next = ReadDevice(Port.Get(), 1);
    EXPECT_TRUE(next.Ok);
    EXPECT_EQ(next.Data, "b");
}

TEST_F(PosixThreads, TransmitAbortEndsTheWriteInProgress) {
    ASSERT_TRUE(SetTimeouts(Port.Get(), {MAXDWORD, 0, 0, 0, 0}));  // writes without a limit
    const std::string large(1 << 20, 'x');
    auto writer = std::async(std::launch::async, [&] {
        bool ok = true;
        const DWORD written = WriteDevice(Port.Get(), large, &ok);
        return std::pair(ok, written);
    });
    ASSERT_TRUE(WaitUntil([&] { return MasterWaiting(Pty) > 0; }));
    ASSERT_TRUE(CommBackend().PurgeComm(Port.Get(), PURGE_TXABORT | PURGE_TXCLEAR));
    const auto [ok, written] = writer.get();
    EXPECT_FALSE(ok);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, large.size());
}

TEST_F(PosixThreads, ClosingTheHandleEndsABlockedReadAndReleasesThePort) {
    auto reader = BlockedRead();
    ASSERT_TRUE(CommBackend().CloseHandle(Port.Get()));
    const TReadResult aborted = reader.get();
    EXPECT_FALSE(aborted.Ok);
    EXPECT_EQ(aborted.Data, "a");
    TDeviceHandle again(OpenDevice(Pty.SlavePath()));
    EXPECT_TRUE(again.Valid()) << SysErrorMessage(static_cast<int>(CommBackend().GetLastError()));
    // The fixture's handle is closed already; its second close fails harmlessly.
}

std::string Pattern(std::size_t Size, char First) {
    std::string data(Size, '\0');
    for (std::size_t i = 0; i < Size; ++i) data[i] = static_cast<char>(First + i % 23);
    return data;
}

TEST_F(PosixThreads, ReceiverAndSenderShareOneHandle) {
    ASSERT_TRUE(SetTimeouts(Port.Get(), {MAXDWORD, 0, 0, 0, 5000}));
    const std::string incoming = Pattern(3000, 'a');
    const std::string outgoing = Pattern(3000, 'A');

    std::atomic<bool> stop{false};
    auto receiver = std::async(std::launch::async, [&] {
        std::string received;
        while (received.size() < incoming.size() && !stop) {
            const DWORD waiting = WaitingCount(Port.Get());
            if (waiting == 0) {
                CommBackend().Sleep(1);
                continue;
            }
            received += ReadDevice(Port.Get(), waiting).Data;
            DWORD lines = 0;
            CommBackend().GetCommModemStatus(Port.Get(), &lines);
        }
        return received;
    });
    auto farEndSends = std::async(std::launch::async, [&] {
        for (std::size_t i = 0; i < incoming.size(); i += 100) Pty.Send(incoming.substr(i, 100));
    });
    auto farEndReceives = std::async(std::launch::async, [&] { return Pty.Receive(outgoing.size()); });

    DCB dcb{};
    ASSERT_TRUE(CommBackend().GetCommState(Port.Get(), &dcb));
    dcb.BaudRate = 115200;
    dcb.ByteSize = 8;
    for (std::size_t i = 0; i < outgoing.size(); i += 30) {
        EXPECT_EQ(WriteDevice(Port.Get(), outgoing.substr(i, 30)), 30u);
        EXPECT_TRUE(CommBackend().SetCommState(Port.Get(), &dcb));
        EXPECT_TRUE(CommBackend().SetupComm(Port.Get(), 4096, 4096));
        EXPECT_TRUE(CommBackend().EscapeCommFunction(Port.Get(), i % 60 ? SETBREAK : CLRBREAK));
        COMSTAT stat{};
        EXPECT_TRUE(CommBackend().ClearCommError(Port.Get(), nullptr, &stat));
    }
    EXPECT_TRUE(CommBackend().EscapeCommFunction(Port.Get(), CLRBREAK));

    farEndSends.get();
    EXPECT_EQ(farEndReceives.get(), outgoing);
    const bool received =
        WaitUntil([&] { return receiver.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    stop = true;
    EXPECT_TRUE(received);
    EXPECT_EQ(receiver.get(), incoming);
}

}  // namespace
