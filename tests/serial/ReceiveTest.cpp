// Reception on the near end of a cable (tests/support/FarEnd.h): the receive
// loop, its hand-off, the received-data accessors, manual receive, a vanished
// port and closing while data flows. The fake device shows the modem lines a
// pty does not have.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
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
        Port.Close();
        SetCommBackend(nullptr);
    }
    // Waits until the loop has made Count more passes.
    bool WaitForPasses(std::size_t Count) {
        const std::size_t target = Device.CountCalls("ClearCommError") + Count;
        return WaitUntil([&] { return Device.CountCalls("ClearCommError") >= target; });
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
