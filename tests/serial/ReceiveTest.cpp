// SPDX-License-Identifier: GPL-3.0-or-later
// Reception on the near end of a cable (tests/support/FarEnd.h): the receive
// loop, its hand-off, the received-data accessors, manual receive, a vanished
// port and closing while data flows. The fake device shows the modem lines a
// pty does not have.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "serial/OrvelSerialPort.h"
#include "serial/device/FakeCommBackend.h"
#include "tests/serial/EventRecorder.h"
#include "tests/serial/TempDir.h"
#include "tests/support/FarEnd.h"

using namespace std::chrono_literals;

namespace {

const std::thread::id kMainThread = std::this_thread::get_id();

class SerialReceive : public TSerialPortTest {
protected:
    void SetUp() override {
        TSerialPortTest::SetUp();
        Events.AttachReceive(Port);
    }

    // Sends Data from the far end and waits until all of it has been delivered.
    void Deliver(const std::string& Data) {
        const std::size_t expected = Events.ReceivedBytes().size() + Data.size();
        Far.Send(Data);
        ASSERT_TRUE(WaitUntil([&] { return Events.ReceivedBytes().size() >= expected; }))
            << "delivered so far: " << Events.ReceivedBytes().size() << " of " << expected;
    }
};

class SerialReceiveHandOff : public SerialReceive, public ::testing::WithParamInterface<bool> {};

TEST_P(SerialReceiveHandOff, ChunksArriveUnchangedOnTheExpectedThread) {
    Port.SetNeedSynchronization(GetParam());
    Port.Open();
    const std::string first("A\0B\0\0C\xff\x80", 8);
    Deliver(first);
    Deliver("xyz");
    EXPECT_EQ(Events.ReceivedBytes(), first + "xyz");

    for (const TDelivery& d : Events.Received()) {
        EXPECT_EQ(d.Thread == kMainThread, GetParam()) << "hand-off " << (GetParam() ? "on" : "off");
        EXPECT_TRUE(d.IsReceiving);
    }
    EXPECT_EQ(Port.GetReadBuffer(), AnsiToUnicode(Events.Received().back().Bytes));
    EXPECT_TRUE(WaitUntil([&] { return !Port.GetIsReceiving(); }));
}

TEST_P(SerialReceiveHandOff, AThrowingHandlerLosesOnlyItsOwnDeliveryAndLogLine) {
    TTempDir dir;
    const std::string log = dir.File("input.log");
    Port.SetNeedSynchronization(GetParam());
    Port.SetLogInput(true);
    Port.SetLogFile(Utf8ToUnicode(log));
    std::atomic<int> calls{0};
    Port.SetOnReceive([&](TObject*, AnsiString Buffer) {
        ++calls;
        if (Buffer == "bad") throw std::runtime_error("handler failed");
    });
    Port.Open();

    Far.Send("bad");
    ASSERT_TRUE(WaitUntil([&] { return calls == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return !Port.GetIsReceiving(); }));
    EXPECT_EQ(Port.GetReadBuffer(), u"bad") << "the chunk stays stored";

    Far.Send("good");
    ASSERT_TRUE(WaitUntil([&] { return calls == 2; }));
    EXPECT_TRUE(WaitUntil([&] { return FileContents(log) == "good"; })) << "log holds: " << FileContents(log);
    EXPECT_EQ(Port.IsConnected(), spCOM5);
}

INSTANTIATE_TEST_SUITE_P(NeedSynchronization, SerialReceiveHandOff, ::testing::Bool(),
                         [](const auto& Info) { return Info.param ? "On" : "Off"; });

TEST_F(SerialReceive, EntireBufferCollectsEveryChunkUntilTheNextOpen) {
    Port.SetKeepEntireBuffer(true);
    Port.Open();
    Deliver("one");
    Deliver(std::string("two\0", 4));
    EXPECT_EQ(Port.GetEntireBuffer(), AnsiToUnicode(std::string("onetwo\0", 7)));

    Port.Close();
    EXPECT_EQ(Port.GetEntireBuffer(), AnsiToUnicode(std::string("onetwo\0", 7))) << "a close keeps it";
    Port.Open();
    EXPECT_EQ(Port.GetEntireBuffer(), u"") << "an open empties it";
    EXPECT_EQ(Port.GetReadBuffer(), AnsiToUnicode(std::string("two\0", 4))) << "the last chunk survives reopening";
    Deliver("three");
    EXPECT_EQ(Port.GetEntireBuffer(), u"three");
}

// A stream of Size bytes that shows a lost or reordered byte.
std::string NumberedStream(std::size_t Size) {
    std::string stream(Size, '\0');
    for (std::size_t i = 0; i < Size; ++i) stream[i] = static_cast<char>(i * 7 + i / 65521);
    return stream;
}

TEST_F(SerialReceive, AStreamFasterThanThePausesAllowArrivesWholeAndInOrder) {
    // The window's settings: a pass every 100 ms would take 64 KB, 640 KB/s at most.
    Port.SetDelay(100);
    Port.SetInputBuffer(65536);
    const std::string sent = NumberedStream(8u << 20);
    std::string received;  // the handler runs on this thread
    bool offMainThread = false;
    bool readBufferIsTheDelivery = true;
    Port.SetOnReceive([&](TObject*, AnsiString Buffer) {
        offMainThread |= std::this_thread::get_id() != kMainThread;
        readBufferIsTheDelivery &= Port.GetReadBuffer() == AnsiToUnicode(Buffer);
        received += Buffer;
    });
    Port.Open();
    std::thread writer([&] { Far.Send(sent); });
    const bool all = WaitUntil([&] { return received.size() >= sent.size(); }, 60s);
    writer.join();
    ASSERT_TRUE(all) << "delivered " << received.size() << " of " << sent.size();
    EXPECT_TRUE(received == sent) << "bytes lost or reordered";
    EXPECT_FALSE(offMainThread);
    EXPECT_TRUE(readBufferIsTheDelivery) << "the read buffer holds what the handler is given";
}

// Writes Data to the far end on a thread of its own, so the main thread serves nothing meanwhile.
void SendWithoutServing(TFarEnd& Far, const std::string& Data) {
    std::thread writer([&] { Far.Send(Data); });
    writer.join();
}

TEST_F(SerialReceive, DataThatPiledUpReachesTheMainThreadInSlicesOneATurn) {
    Port.SetInputBuffer(65536);
    const std::string sent = NumberedStream(3u << 20);
    Port.Open();
    SendWithoutServing(Far, sent);
    std::size_t mostInOneTurn = 0;
    const bool all = WaitUntil([&] {
        const std::size_t before = Events.ReceivedCount();
        CheckSynchronize(5);
        mostInOneTurn = std::max(mostInOneTurn, Events.ReceivedCount() - before);
        return Events.ReceivedBytes().size() >= sent.size();
    });
    ASSERT_TRUE(all) << "delivered " << Events.ReceivedBytes().size() << " of " << sent.size();
    EXPECT_TRUE(Events.ReceivedBytes() == sent) << "bytes lost or reordered";
    EXPECT_EQ(mostInOneTurn, 1u) << "the main thread took more than one delivery in a turn";
    std::size_t largest = 0;
    for (const TDelivery& d : Events.Received()) largest = std::max(largest, d.Bytes.size());
    EXPECT_LE(largest, 1u << 20) << "a turn took most of what piled up";
    EXPECT_EQ(Port.GetReadBuffer(), AnsiToUnicode(Events.Received().back().Bytes));
}

TEST_F(SerialReceive, DataReceivedBeforeThePortVanishedIsDeliveredBeforeOnDisconnect) {
    // The first slice's handler gives the receive thread time to raise
    // OnDisconnect, which it must hold back until the rest is delivered.
    std::atomic<int> handOffs{0};
    SetWakeMainThread([&] { ++handOffs; });
    bool first = true;
    Port.SetOnReceive([&](TObject* Sender, AnsiString Buffer) {
        const auto until = std::chrono::steady_clock::now() + 1s;  // serving nothing meanwhile
        while (first && handOffs == 0 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(1ms);
        first = false;
        Events.AddReceived(Sender, std::move(Buffer));
    });
    std::size_t deliveredAtDisconnect = 0;
    Port.SetOnDisconnect([&](TObject*, TCommPort) { deliveredAtDisconnect = Events.ReceivedBytes().size(); });
    Port.SetDelay(50);  // the presence check runs in every idle pass
    Port.SetInputBuffer(65536);
    Port.Open();
    SendWithoutServing(Far, NumberedStream(2u << 20));  // several slices wait undelivered
    Far.Cut();
    handOffs = 0;
    const bool closed = WaitUntil([&] { return Port.IsConnected() == spNone; });
    SetWakeMainThread(nullptr);
    ASSERT_TRUE(closed);
    EXPECT_GE(deliveredAtDisconnect, 1u << 20) << "what the near end read before the cut is not lost";
    EXPECT_EQ(deliveredAtDisconnect, Events.ReceivedBytes().size()) << "data delivered after OnDisconnect";
}

TEST_F(SerialReceive, CloseInAHandlerWhileMoreWaitsUndeliveredEndsTheConnection) {
    Port.SetInputBuffer(65536);
    bool closed = false;
    Port.SetOnReceive([&](TObject* Sender, AnsiString Buffer) {
        Events.AddReceived(Sender, std::move(Buffer));
        if (!std::exchange(closed, true)) Port.Close();
    });
    Port.Open();
    SendWithoutServing(Far, NumberedStream(2u << 20));  // several slices wait undelivered
    ASSERT_TRUE(WaitUntil([&] { return closed; }));
    EXPECT_EQ(Port.IsConnected(), spNone);
    EXPECT_TRUE(OpensAgain(spCOM5)) << "Close gave up on a thread that waited for the rest to be delivered";
}

TEST_F(SerialReceive, DataPilingUpEndsThePauseWhileATrickleWaitsForDelay) {
    // A stream that starts after a quiet spell fills a pty in milliseconds and
    // is read long before a Delay of 30 s ends; 100 bytes wait out the Delay.
    struct {
        uint32_t Delay;
        std::size_t Bytes;
    } const cases[] = {{30000, 4000}, {300, 100}};
    Port.SetNeedSynchronization(false);  // the handler runs in the pass, before its pause
    for (const auto& c : cases) {
        TEventRecorder events;
        std::atomic<bool> first{true};
        Port.SetOnReceive([&](TObject* Sender, AnsiString Buffer) {
            // The first delivery sets the pause that follows it.
            if (first.exchange(false)) Port.SetDelay(c.Delay);
            events.AddReceived(Sender, std::move(Buffer));
        });
        Port.SetDelay(10);
        Port.Open();
        Far.Send("q");
        ASSERT_TRUE(WaitUntil([&] { return events.ReceivedBytes() == "q"; }));
        Far.Send(std::string(c.Bytes, 'p'));
        ASSERT_TRUE(WaitUntil([&] { return events.ReceivedBytes().size() == 1 + c.Bytes; }))
            << "Delay " << c.Delay << ": the bytes waited for the pause to end";
        const std::vector<TDelivery> received = events.Received();
        if (c.Bytes < 1024) {
            EXPECT_GE(received.back().At - received.front().At, std::chrono::milliseconds(c.Delay))
                << "a trickle ended the pause";
        }
        Port.Close();
    }
}

TEST_F(SerialReceive, ManualReceiveWhileAutoReceiveIsOff) {
    Port.SetAutoReceive(false);
    Port.Open();
    Far.Send("hello");
    ASSERT_TRUE(WaitUntil([&] { return Port.GetBufferSize() == 5; }));
    EXPECT_EQ(Events.ReceivedCount(), 0u) << "the loop leaves the device alone";

    EXPECT_EQ(Port.ReadBuffer(), "hello");
    ASSERT_EQ(Events.ReceivedCount(), 1u);
    EXPECT_EQ(Events.Received()[0].Bytes, "hello");
    EXPECT_EQ(Events.Received()[0].Thread, kMainThread) << "raised on the caller's thread";
    EXPECT_EQ(Port.GetBufferSize(), 0u);
    EXPECT_EQ(Port.ReadBuffer(), "") << "nothing waiting";
    EXPECT_EQ(Port.IsConnected(), spCOM5) << "a present port stays open";

    Port.SetAutoReceive(true);
    EXPECT_EQ(Port.ReadBuffer(), "") << "manual receive is off while the loop reads";
    Port.Close();
    Port.SetAutoReceive(false);
    EXPECT_EQ(Port.ReadBuffer(), "");
    EXPECT_EQ(Port.GetBufferSize(), 0u);
}

TEST_F(SerialReceive, ManualReceiveClosesAVanishedPort) {
    std::atomic<int> disconnects{0};
    Port.SetOnDisconnect([&](TObject*, TCommPort) { ++disconnects; });
    Port.SetAutoReceive(false);
    Port.Open();
    Far.Cut();
    EXPECT_EQ(Port.ReadBuffer(), "");
    EXPECT_EQ(Port.IsConnected(), spNone);
    EXPECT_EQ(disconnects, 1);
}

TEST_F(SerialReceive, AVanishedPortEndsTheConnectionAndALaterOpenWorks) {
    std::atomic<int> disconnects{0};
    std::thread::id disconnectThread;
    Port.SetOnDisconnect([&](TObject*, TCommPort P) {
        EXPECT_EQ(P, spCOM5);
        disconnectThread = std::this_thread::get_id();
        ++disconnects;
    });
    Port.SetDelay(50);
    Port.Open();
    Far.Cut();
    ASSERT_TRUE(WaitUntil([&] { return Port.IsConnected() == spNone; }));
    EXPECT_EQ(disconnects, 1);
    EXPECT_EQ(disconnectThread, kMainThread);
    EXPECT_THROW(Port.SendString("x"), EOrvelSerialPortException) << "the port counts as closed";

    Far.Reconnect();
    Port.Open();
    EXPECT_EQ(Port.IsConnected(), spCOM5);
    Far.Send("again");
    EXPECT_TRUE(WaitUntil([&] { return Events.ReceivedBytes() == "again"; }));
    Port.Close();
    EXPECT_EQ(disconnects, 2);
}

#ifndef _WIN32
TEST_F(SerialReceive, APortOpenedByPathStaysOpenUntilItsDeviceGoes) {
    Port.SetDelay(50);  // the presence check runs in every idle pass
    Port.SetCommPort(spCustom);
    Port.SetCustomPortName(Far.DevicePath());
    Port.Open();
    Deliver("one");
    Deliver("two");
    EXPECT_EQ(Port.IsConnected(), spCustom);
    Far.Cut();
    EXPECT_TRUE(WaitUntil([&] { return Port.IsConnected() == spNone; }));
}
#endif

// Writes to the far end without blocking until stopped, so closing the port
// never leaves the writer stuck.
class TStreamingWriter {
public:
    explicit TStreamingWriter(TFarEnd& Far) : FFar(Far) { FThread = std::thread([this] { Run(); }); }
    ~TStreamingWriter() {
        FStop = true;
        FThread.join();
    }

private:
    void Run() {
        const std::string block(512, 'S');
        while (!FStop) FFar.SendSome(block);
    }
    TFarEnd& FFar;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

TEST_F(SerialReceive, CloseWhileDataIsStreamingIn) {
    TStreamingWriter writer(Far);
    for (const uint32_t delay : {0u, 1u, 10u}) {
        Port.SetDelay(delay);
        for (const bool handOff : {true, false}) {
            Port.SetNeedSynchronization(handOff);
            const std::size_t before = Events.ReceivedCount();
            Port.Open();
            ASSERT_TRUE(WaitUntil([&] { return Events.ReceivedCount() > before + 2; }));
            Port.Close();
            EXPECT_EQ(Port.IsConnected(), spNone) << "delay " << delay;
            EXPECT_TRUE(OpensAgain(spCOM5)) << "delay " << delay << ": the device is still held";
        }
    }
}

TEST_F(SerialReceive, CloseWhileAHandlerRunsOnTheReceiveThread) {
    Port.SetNeedSynchronization(false);
    std::atomic<bool> entered{false};
    std::atomic<bool> closing{false};
    std::atomic<bool> finished{false};
    Port.SetOnReceive([&](TObject*, AnsiString) {
        entered = true;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!closing && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        std::this_thread::sleep_for(50ms);  // still busy after Close has begun
        finished = true;
    });
    Port.Open();
    Far.Send("x");
    ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));
    closing = true;
    Port.Close();
    EXPECT_TRUE(finished) << "Close returned while the handler still ran";
    EXPECT_EQ(Port.IsConnected(), spNone);
    EXPECT_TRUE(OpensAgain(spCOM5)) << "Close gave up on a thread that still holds the device";
}

// The platform's device calls, with the input queue purged right after the
// first count that finds bytes waiting: the read that follows then waits for
// bytes that were thrown away, as when ClearInputBuffer lands between the two.
class TPurgeAfterCount final : public TCommBackend {
public:
    bool Purged() const { return FPurged; }

    BOOL ClearCommError(HANDLE File, DWORD* Errors, COMSTAT* Stat) override {
        const BOOL ok = Real().ClearCommError(File, Errors, Stat);
        if (ok && Stat && Stat->cbInQue > 0 && !FPurged.exchange(true)) Real().PurgeComm(File, PURGE_RXCLEAR);
        return ok;
    }

    HANDLE CreateFileA(const char* FileName, DWORD DesiredAccess, DWORD ShareMode, SECURITY_ATTRIBUTES* Security,
                       DWORD CreationDisposition, DWORD Flags, HANDLE Template) override {
        return Real().CreateFileA(FileName, DesiredAccess, ShareMode, Security, CreationDisposition, Flags, Template);
    }
    BOOL SetCommState(HANDLE File, const DCB* Dcb) override { return Real().SetCommState(File, Dcb); }
    BOOL GetCommState(HANDLE File, DCB* Dcb) override { return Real().GetCommState(File, Dcb); }
    BOOL SetCommTimeouts(HANDLE File, const COMMTIMEOUTS* T) override { return Real().SetCommTimeouts(File, T); }
    BOOL SetupComm(HANDLE File, DWORD In, DWORD Out) override { return Real().SetupComm(File, In, Out); }
    BOOL PurgeComm(HANDLE File, DWORD Flags) override { return Real().PurgeComm(File, Flags); }
    BOOL ReadFile(HANDLE File, void* Buffer, DWORD Count, DWORD* Done, OVERLAPPED* Ov) override {
        return Real().ReadFile(File, Buffer, Count, Done, Ov);
    }
    BOOL WriteFile(HANDLE File, const void* Buffer, DWORD Count, DWORD* Done, OVERLAPPED* Ov) override {
        return Real().WriteFile(File, Buffer, Count, Done, Ov);
    }
    BOOL GetCommModemStatus(HANDLE File, DWORD* Status) override { return Real().GetCommModemStatus(File, Status); }
    BOOL EscapeCommFunction(HANDLE File, DWORD Func) override { return Real().EscapeCommFunction(File, Func); }
    BOOL CloseHandle(HANDLE Object) override { return Real().CloseHandle(Object); }
    DWORD GetLastError() override { return Real().GetLastError(); }
    void Sleep(DWORD Milliseconds) override { Real().Sleep(Milliseconds); }
    HMODULE GetModuleHandleA(const char* Name) override { return Real().GetModuleHandleA(Name); }
    HMODULE LoadLibraryA(const char* Name) override { return Real().LoadLibraryA(Name); }
    FARPROC GetProcAddress(HMODULE Module, const char* Name) override { return Real().GetProcAddress(Module, Name); }
    std::vector<std::string> PresentPortNames() override { return Real().PresentPortNames(); }

private:
    static TCommBackend& Real() { return PlatformCommBackend(); }
    std::atomic<bool> FPurged{false};
};

TEST_F(SerialReceive, CloseEndsAReadThatWaitsForPurgedBytes) {
    if (RunningUnderWine()) GTEST_SKIP() << "Wine does not abort a read in progress";
    // Static: a thread that Close could not end may still be inside it when the test ends.
    static TPurgeAfterCount device;
    SetCommBackend(&device);
    Port.SetReadIntervalTimeout(0);  // with the totals at 0: a read waits for every byte it asks for
    Port.Open();
    Far.Send("abc");
    ASSERT_TRUE(WaitUntil([&] { return device.Purged(); }));
    Port.Close();
    EXPECT_TRUE(OpensAgain(spCOM5)) << "the receive thread still waits in its read";
    Far.Send(std::string(4096, 'x'));  // ends a read that Close did not end
    SetCommBackend(nullptr);
}

// ---- what a pty cannot show --------------------------------------------------------

class SerialReceiveOnFake : public ::testing::Test {
protected:
    TFakeCommBackend Device;
    TOrvelSerialPort Port{nullptr};
    TEventRecorder Events;

    void SetUp() override {
        SetCommBackend(&Device);
        Device.SetPresentPorts({"COM5"});
        Port.SetCommPort(spCOM5);
        Port.SetDelay(10);
        Events.AttachLineStatus(Port);
    }
    void TearDown() override {
        Device.StallReads(false);  // a read that Close failed to end must not hold the test
        Port.Close();
        SetCommBackend(nullptr);
    }
    // Waits until the loop has made Count more passes; each starts by looking at the modem lines.
    bool WaitForPasses(std::size_t Count) {
        const std::size_t target = Device.CountCalls("GetCommModemStatus") + Count;
        return WaitUntil([&] { return Device.CountCalls("GetCommModemStatus") >= target; });
    }
};

TEST_F(SerialReceiveOnFake, ModemLineChangesReachTheHandler) {
    Device.SetModemStatus(MS_CTS_ON | MS_DSR_ON);
    Port.Open();
    const std::vector<TLineStatusSet> expected{{lsCTS, lsDSR}, {lsRING, lsCD}, {}};
    ASSERT_TRUE(WaitUntil([&] { return Events.LineStatus().size() == 1; }));
    Device.SetModemStatus(MS_RING_ON | MS_RLSD_ON | 0x01);  // bits outside the four lines count for nothing
    ASSERT_TRUE(WaitUntil([&] { return Events.LineStatus().size() == 2; }));
    Device.FailModemStatus(true);
    ASSERT_TRUE(WaitUntil([&] { return Events.LineStatus().size() == 3; }));
    ASSERT_TRUE(WaitForPasses(5));
    EXPECT_EQ(Events.LineStatus(), expected) << "unchanged lines raise nothing";
}

TEST_F(SerialReceiveOnFake, LinesSeenBeforeAReopenRaiseNothingWhenUnchanged) {
    Device.SetModemStatus(MS_CTS_ON);
    Port.Open();
    ASSERT_TRUE(WaitUntil([&] { return Events.LineStatus().size() == 1; }));
    Port.Close();
    Port.Open();
    ASSERT_TRUE(WaitForPasses(5));
    EXPECT_EQ(Events.LineStatus().size(), 1u);
    Device.SetModemStatus(0);
    ASSERT_TRUE(WaitUntil([&] { return Events.LineStatus().size() == 2; }));
    EXPECT_EQ(Events.LineStatus().back(), TLineStatusSet{});
}

TEST_F(SerialReceiveOnFake, APassTakesWhatKeepsArrivingUpToTheInputQueue) {
    // The device shows 4,095 bytes at a time, as the Linux line discipline does.
    struct {
        uint32_t InputBuffer;
        std::vector<std::size_t> Chunks;
    } const cases[] = {{65536, {10000}}, {4096, {4096, 4096, 1808}}, {100, {4095, 4095, 1810}}};
    Device.LimitQueue(4095);
    Port.SetNeedSynchronization(false);  // one delivery a pass, never two merged
    for (const auto& c : cases) {
        TEventRecorder events;
        events.AttachReceive(Port);
        Port.SetInputBuffer(c.InputBuffer);
        std::string sent(10000, '\0');
        for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 13 + i / 251);
        Device.PushReceived(sent);
        Port.Open();
        ASSERT_TRUE(WaitUntil([&] { return events.ReceivedBytes().size() == sent.size(); }));
        EXPECT_TRUE(events.ReceivedBytes() == sent) << "bytes lost or reordered";
        std::vector<std::size_t> chunks;
        for (const TDelivery& d : events.Received()) chunks.push_back(d.Bytes.size());
        EXPECT_EQ(chunks, c.Chunks) << "InputBuffer " << c.InputBuffer;
        Port.Close();
    }
}

TEST_F(SerialReceiveOnFake, APassWaitsForTheDriversRefillAfterALargeReadOnly) {
    // The rest shows a moment after a read made room: a large read waits for
    // it, a small one (a trickle) ends the pass.
    struct {
        DWORD Queue;
        std::size_t Sent;
        std::vector<std::size_t> Chunks;
    } const cases[] = {{4095, 10000, {10000}}, {50, 100, {50, 50}}};
    Device.RefillLate(true);
    Port.SetInputBuffer(65536);
    Port.SetNeedSynchronization(false);  // one delivery a pass, never two merged
    for (const auto& c : cases) {
        TEventRecorder events;
        events.AttachReceive(Port);
        Device.LimitQueue(c.Queue);
        Device.PushReceived(std::string(c.Sent, 'r'));
        Port.Open();
        ASSERT_TRUE(WaitUntil([&] { return events.ReceivedBytes().size() == c.Sent; }));
        std::vector<std::size_t> chunks;
        for (const TDelivery& d : events.Received()) chunks.push_back(d.Bytes.size());
        EXPECT_EQ(chunks, c.Chunks) << "queue " << c.Queue;
        Port.Close();
    }
}

TEST_F(SerialReceiveOnFake, AFullPassStartsTheNextAtOnceAndOthersPauseForDelay) {
    Port.SetInputBuffer(4096);
    Port.SetDelay(8);  // one sleep: a longer pause looks at the queue now and then
    Device.LimitQueue(4095);
    const std::string sent(3 * 4096 + 100, 'f');
    Device.PushReceived(sent);
    Events.AttachReceive(Port);
    Port.Open();
    ASSERT_TRUE(WaitUntil([&] { return Events.ReceivedBytes().size() == sent.size(); }));
    ASSERT_TRUE(WaitForPasses(2));
    Port.Close();

    // Each pass starts by looking at the modem lines.
    struct TPass {
        bool Read = false;
        std::vector<DWORD> Pauses;
        bool operator==(const TPass&) const = default;
    };
    std::vector<TPass> passes;
    for (const TCommCall& call : Device.Calls()) {
        if (call.Function == "GetCommModemStatus") passes.emplace_back();
        if (passes.empty()) continue;
        if (call.Function == "ReadFile") passes.back().Read = true;
        if (call.Function == "Sleep") passes.back().Pauses.push_back(call.Args.at(0));
    }
    ASSERT_GE(passes.size(), 6u);
    const std::vector<TPass> expected{{true, {}}, {true, {}}, {true, {}}, {true, {8}}, {false, {8}}};
    EXPECT_EQ(std::vector<TPass>(passes.begin(), passes.begin() + 5), expected)
        << "three full passes, then the rest, then an idle pass";
}

TEST_F(SerialReceiveOnFake, CloseAndDestructionEndAReadThatWaitsForBytesThatNeverCome) {
    Device.PushReceived("x");  // the loop's count finds a byte...
    Device.StallReads(true);   // ...and its read waits in vain, as after a purge between the two
    Port.Open();
    ASSERT_TRUE(WaitUntil([&] { return Device.StalledReads() == 1; }));
    Port.Close();
    ASSERT_EQ(Device.OpenHandleCount(), 0u) << "Close gave up on a thread stuck in its read";

    {
        TOrvelSerialPort other(nullptr);
        other.SetCommPort(spCOM5);
        other.SetDelay(10);
        Device.PushReceived("y");  // the close purged the first
        other.Open();
        ASSERT_TRUE(WaitUntil([&] { return Device.StalledReads() == 1; }));
    }  // destroyed without a Close first
    EXPECT_EQ(Device.OpenHandleCount(), 0u);
}

TEST_F(SerialReceiveOnFake, ThePresenceCheckWaitsForADelayOf50) {
    Port.SetDelay(49);
    Port.Open();
    Device.SetPresentPorts({"COM6"});
    ASSERT_TRUE(WaitForPasses(5));
    EXPECT_EQ(Port.IsConnected(), spCOM5) << "fast polling never scans the present ports";
    Port.SetDelay(50);
    EXPECT_TRUE(WaitUntil([&] { return Port.IsConnected() == spNone; }));
}

}  // namespace
