// SPDX-License-Identifier: GPL-3.0-or-later
// The fake device that engine tests install in place of the real one.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "serial/device/FakeCommBackend.h"

namespace {

class FakeDevice : public ::testing::Test {
protected:
    TFakeCommBackend Fake;
    HANDLE Handle = INVALID_HANDLE_VALUE;

    void SetUp() override {
        SetCommBackend(&Fake);
        Handle = CommBackend().CreateFileA(R"(\\.\COM3)", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, 0);
        ASSERT_NE(Handle, INVALID_HANDLE_VALUE);
    }
    void TearDown() override { SetCommBackend(nullptr); }

    std::string Read(DWORD Count) {
        std::string buffer(Count, '\0');
        DWORD read = 0;
        EXPECT_TRUE(CommBackend().ReadFile(Handle, buffer.data(), Count, &read, nullptr));
        buffer.resize(read);
        return buffer;
    }
};

TEST(CommBackendSwap, NullRestoresThePlatformBackend) {
    TFakeCommBackend fake;
    SetCommBackend(&fake);
    EXPECT_EQ(&CommBackend(), &fake);
    SetCommBackend(nullptr);
    EXPECT_EQ(&CommBackend(), &PlatformCommBackend());
}

TEST_F(FakeDevice, RecordsCallsWithTheirArguments) {
    DCB dcb{};
    dcb.BaudRate = 31250;
    CommBackend().SetCommState(Handle, &dcb);
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 100, 1000};
    CommBackend().SetCommTimeouts(Handle, &timeouts);
    CommBackend().SetupComm(Handle, 4096, 2048);
    CommBackend().PurgeComm(Handle, 15);

    const std::vector<TCommCall> calls = Fake.Calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].Function, "CreateFileA");
    EXPECT_EQ(calls[0].Text, R"(\\.\COM3)");
    EXPECT_EQ(calls[0].Args, (std::vector<DWORD>{GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0}));
    EXPECT_EQ(calls[1].Dcb.BaudRate, 31250u);
    EXPECT_EQ(calls[1].Handle, Handle);
    EXPECT_EQ(calls[2].Timeouts.WriteTotalTimeoutConstant, 1000u);
    EXPECT_EQ(calls[3].Args, (std::vector<DWORD>{4096, 2048}));
    EXPECT_EQ(Fake.CallsTo("PurgeComm").at(0).Args, std::vector<DWORD>{15});
}

TEST_F(FakeDevice, PushedBytesAreCountedReadAndPurged) {
    Fake.PushReceived(std::string("ab\0cd", 5));
    COMSTAT stat{};
    ASSERT_TRUE(CommBackend().ClearCommError(Handle, nullptr, &stat));
    EXPECT_EQ(stat.cbInQue, 5u);
    EXPECT_EQ(Read(3), std::string("ab\0", 3));
    Fake.PushReceived("ef");
    CommBackend().PurgeComm(Handle, PURGE_RXCLEAR);
    EXPECT_EQ(Read(10), "");
}

TEST_F(FakeDevice, PlaysScriptedFailures) {
    Fake.RefuseCommState(true);
    DCB dcb{};
    EXPECT_FALSE(CommBackend().SetCommState(Handle, &dcb));
    EXPECT_EQ(CommBackend().GetLastError(), ERROR_INVALID_PARAMETER);

    Fake.SetModemStatus(MS_CTS_ON | MS_RLSD_ON);
    DWORD status = 0;
    ASSERT_TRUE(CommBackend().GetCommModemStatus(Handle, &status));
    EXPECT_EQ(status, MS_CTS_ON | MS_RLSD_ON);
    Fake.FailModemStatus(true);
    EXPECT_FALSE(CommBackend().GetCommModemStatus(Handle, &status));

    Fake.LimitWrites(3);
    DWORD written = 0;
    EXPECT_TRUE(CommBackend().WriteFile(Handle, "hello", 5, &written, nullptr));
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(Fake.Written(), "hel");
    EXPECT_EQ(Fake.CallsTo("WriteFile").at(0).Text, "hello");

    Fake.FailCreateFile(ERROR_ACCESS_DENIED);
    EXPECT_EQ(CommBackend().CreateFileA(R"(\\.\COM4)", 0, 0, nullptr, OPEN_EXISTING, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CommBackend().GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(FakeDevice, VanishedDeviceFailsEveryCallButClose) {
    Fake.SetVanished(true);
    COMSTAT stat{};
    EXPECT_FALSE(CommBackend().ClearCommError(Handle, nullptr, &stat));
    EXPECT_EQ(CommBackend().GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_FALSE(CommBackend().EscapeCommFunction(Handle, SETDTR));
    EXPECT_EQ(CommBackend().CreateFileA(R"(\\.\COM3)", 0, 0, nullptr, OPEN_EXISTING, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CommBackend().CloseHandle(Handle));
    EXPECT_EQ(Fake.OpenHandleCount(), 0u);
    EXPECT_FALSE(CommBackend().CloseHandle(Handle));
    EXPECT_EQ(CommBackend().GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FakeDevice, WinmmTimePeriodCallsAreCounted) {
    EXPECT_EQ(CommBackend().GetModuleHandleA("winmm.dll"), nullptr);  // not loaded yet
    const HMODULE winmm = CommBackend().LoadLibraryA("winmm.dll");
    ASSERT_NE(winmm, nullptr);
    EXPECT_EQ(CommBackend().GetModuleHandleA("WINMM.DLL"), winmm);
    const auto begin = reinterpret_cast<TTimePeriodProc>(CommBackend().GetProcAddress(winmm, "timeBeginPeriod"));
    const auto end = reinterpret_cast<TTimePeriodProc>(CommBackend().GetProcAddress(winmm, "timeEndPeriod"));
    ASSERT_TRUE(begin && end);
    EXPECT_EQ(CommBackend().GetProcAddress(winmm, "timeGetTime"), nullptr);
    begin(1);
    end(1);
    EXPECT_EQ(Fake.CallsTo("timeBeginPeriod").at(0).Args, std::vector<DWORD>{1});
    EXPECT_EQ(Fake.CountCalls("timeEndPeriod"), 1u);

    Fake.SetWinmmAvailable(false);
    EXPECT_EQ(CommBackend().GetModuleHandleA("winmm.dll"), nullptr);
    EXPECT_EQ(CommBackend().GetProcAddress(winmm, "timeBeginPeriod"), nullptr);
}

TEST_F(FakeDevice, ServesAReceiverAndASenderAtOnce) {
    std::thread farEnd([&] {
        for (int i = 0; i < 1000; ++i) Fake.PushReceived("x");
    });
    std::string received;
    std::thread receiver([&] {
        while (received.size() < 1000) {
            COMSTAT stat{};
            if (CommBackend().ClearCommError(Handle, nullptr, &stat) && stat.cbInQue) received += Read(stat.cbInQue);
        }
    });
    for (int i = 0; i < 1000; ++i) {
        DWORD written = 0;
        CommBackend().WriteFile(Handle, "y", 1, &written, nullptr);
    }
    farEnd.join();
    receiver.join();
    EXPECT_EQ(received, std::string(1000, 'x'));
    EXPECT_EQ(Fake.Written(), std::string(1000, 'y'));
}

}  // namespace
