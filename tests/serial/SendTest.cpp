// SPDX-License-Identifier: GPL-3.0-or-later
// Sending on the near end of a cable (tests/support/FarEnd.h): what goes on
// the wire, what OnSend sees, the not-open failures, background sends and
// closing during one. The fake device shows a write cut short by the time-outs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "serial/OrvelSerialPort.h"
#include "serial/device/FakeCommBackend.h"
#include "tests/serial/EventRecorder.h"
#include "tests/support/FarEnd.h"

using namespace std::chrono_literals;

namespace {

const std::thread::id kMainThread = std::this_thread::get_id();

class SerialSend : public TSerialPortTest {
protected:
    void SetUp() override {
        TSerialPortTest::SetUp();
        Events.AttachSend(Port);
    }
};

struct TSendCase {
    const char* Name;
    std::function<uint32_t(TOrvelSerialPort&)> Send;
    std::string Wire;  // what reaches the far end, and OnSend
};

// Test names and failures show the case by its name.
void PrintTo(const TSendCase& Case, std::ostream* Out) { *Out << Case.Name; }

class SerialSendWire : public SerialSend, public ::testing::WithParamInterface<TSendCase> {};

TEST_P(SerialSendWire, WritesExactlyTheseBytes) {
    Port.Open();
    const TSendCase& c = GetParam();
    EXPECT_EQ(c.Send(Port), c.Wire.size());
    EXPECT_EQ(Far.Receive(c.Wire.size()), c.Wire);
    ASSERT_EQ(Events.Sent().size(), 1u);
    const TDelivery sent = Events.Sent()[0];
    EXPECT_EQ(sent.Bytes, c.Wire);
    EXPECT_EQ(sent.Thread, kMainThread);
    EXPECT_FALSE(sent.IsSending) << "cleared before OnSend";
}

const std::string kWithZero("ab\0cd", 5);

INSTANTIATE_TEST_SUITE_P(
    Sends, SerialSendWire,
    ::testing::Values(
        TSendCase{"StringStopsAtAZeroByte", [](TOrvelSerialPort& P) { return P.SendString(kWithZero); }, "ab"},
        TSendCase{"CharsSendTheZeroByte", [](TOrvelSerialPort& P) { return P.SendChars(kWithZero); }, kWithZero},
        TSendCase{"WordLowByteFirst", [](TOrvelSerialPort& P) { return P.SendWord(0x1234); }, "\x34\x12"},
        TSendCase{"Byte", [](TOrvelSerialPort& P) { return P.SendByte(0xFF); }, "\xff"},
        TSendCase{"Char", [](TOrvelSerialPort& P) { return P.SendChar('\0'); }, std::string(1, '\0')},
        TSendCase{"Data", [](TOrvelSerialPort& P) { return P.SendData(kWithZero.data(), 3); }, std::string("ab\0", 3)}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(SerialSend, NothingToSendWritesNothingAndRaisesNothing) {
    Port.Open();
    EXPECT_EQ(Port.SendString(""), 0u);
    EXPECT_EQ(Port.SendString(std::string("\0abc", 4)), 0u);
    EXPECT_EQ(Port.SendChars(""), 0u);
    EXPECT_TRUE(Events.Sent().empty());
    EXPECT_EQ(Port.SendChar('!'), 1u);
    EXPECT_EQ(Far.Receive(1), "!") << "nothing else went out before it";
}

TEST_F(SerialSend, ABlockOf70000BytesGoesOutWhole) {
    Port.Open();
    std::string block(70000, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7 + i / 256);
    auto farEnd = std::async(std::launch::async, [&] { return Far.Receive(block.size()); });
    EXPECT_EQ(Port.SendData(block.data(), static_cast<uint32_t>(block.size())), block.size());
    EXPECT_TRUE(farEnd.get() == block) << "the far end got other bytes";
    ASSERT_EQ(Events.Sent().size(), 1u);
    EXPECT_TRUE(Events.Sent()[0].Bytes == block) << "OnSend carries the whole block";
}

struct TNotOpenCase {
    const char* Name;
    const char* Port;  // nullptr: none selected
    bool Open;
    std::function<void(TOrvelSerialPort&)> Send;
    const char* Message;
};

void PrintTo(const TNotOpenCase& Case, std::ostream* Out) { *Out << Case.Name; }

class SerialSendNotOpen : public SerialSend, public ::testing::WithParamInterface<TNotOpenCase> {};

TEST_P(SerialSendNotOpen, RaisesWithThePortName) {
    const TNotOpenCase& c = GetParam();
    Port.SetCommPort(c.Port ? TOrvelSerialPort::StringToCommPort(c.Port) : spNone);
    if (c.Open) Port.Open();
    try {
        c.Send(Port);
        FAIL() << "no exception";
    } catch (const EOrvelSerialPortException& e) {
        EXPECT_STREQ(e.what(), c.Message);
    }
    EXPECT_TRUE(Events.Sent().empty());
    EXPECT_FALSE(Port.GetIsSending());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, SerialSendNotOpen,
    ::testing::Values(
        TNotOpenCase{"NoPortString", nullptr, false, [](TOrvelSerialPort& P) { P.SendString("x"); },
                     " is not open. Serial port is not connected."},
        TNotOpenCase{"ClosedString", "COM5", false, [](TOrvelSerialPort& P) { P.SendString("x"); },
                     "COM5 is not open. Serial port is not connected."},
        TNotOpenCase{"ClosedChars", "COM5", false, [](TOrvelSerialPort& P) { P.SendChars("x"); },
                     "COM5 is not open. Serial port is not connected."},
        TNotOpenCase{"ClosedWord", "COM5", false, [](TOrvelSerialPort& P) { P.SendWord(1); },
                     "COM5 is not open. Serial port is not connected."},
        TNotOpenCase{"EmptyBlockOnAnOpenPort", "COM5", true, [](TOrvelSerialPort& P) { P.SendData("x", 0); },
                     "COM5 is not open. Serial port is not connected."},
        TNotOpenCase{"ThrowingOnSend", "COM5", true,
                     [](TOrvelSerialPort& P) {
                         P.SetOnSend([](TObject*, AnsiString) { throw std::runtime_error("handler"); });
                         P.SendString("x");
                     },
                     "COM5 is not open. Serial port is not connected."}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(SerialSend, EmptyCharsOnAClosedPortReturnZero) { EXPECT_EQ(Port.SendChars(""), 0u); }

TEST_F(SerialSend, BackgroundSendsRunOnTheirOwnThread) {
    Port.Open();
    Port.SendStringOnNewThread(kWithZero);
    EXPECT_EQ(Far.Receive(2), "ab");
    Port.SendCharsOnNewThread(kWithZero);
    EXPECT_EQ(Far.Receive(5), kWithZero);
    ASSERT_TRUE(WaitUntil([&] { return Events.Sent().size() == 2; }));
    for (const TDelivery& d : Events.Sent()) EXPECT_NE(d.Thread, kMainThread);
}

TEST_F(SerialSend, ABackgroundSendOnAClosedPortReportsNothing) {
    TEventRecorder events;
    {
        TOrvelSerialPort port(nullptr);
        events.AttachSend(port);
        port.SetCommPort(spCOM5);
        port.SendStringOnNewThread("lost");
        port.SendCharsOnNewThread("lost");
    }  // the component's destruction waits for both threads
    EXPECT_TRUE(events.Sent().empty());
    Port.Open();
    EXPECT_EQ(Port.SendChar('?'), 1u);
    EXPECT_EQ(Far.Receive(1), "?") << "a background send reached the wire";
}

TEST(SerialSendLifetime, CloseAndDestroyDuringABackgroundSend) {
    // Closing purges with PURGE_TXABORT, which ends the blocked write on
    // Windows and POSIX. Under Wine the write stays blocked for good once the
    // handle is purged and closed, so the component could never be destroyed.
    if (RunningUnderWine()) GTEST_SKIP() << "Wine does not abort a write in progress";
    TFarEnd far{"COM5"};  // nobody reads it, so the write blocks once the cable is full
    auto port = std::make_unique<TOrvelSerialPort>(nullptr);
    port->SetCommPort(spCOM5);
    port->SetDelay(10);
    std::atomic<bool> handlerDone{false};
    port->SetOnSend([&](TObject* Sender, AnsiString) {
        std::this_thread::sleep_for(100ms);  // still running when the component is destroyed
        EXPECT_EQ(static_cast<TOrvelSerialPort*>(Sender)->IsConnected(), spNone);
        handlerDone = true;
    });
    port->Open();
    port->SendCharsOnNewThread(std::string(1 << 20, 'z'));
    ASSERT_TRUE(WaitUntil([&] { return port->GetIsSending(); }));
    port->Close();
    EXPECT_EQ(port->IsConnected(), spNone);
    port.reset();
    EXPECT_TRUE(handlerDone) << "the component went away before its sender thread";
    EXPECT_TRUE(OpensAgain(spCOM5)) << "the device is still held";
}

// ---- what a pty cannot show --------------------------------------------------------

TEST(SerialSendOnFake, AWriteCutShortReportsExactlyThePrefix) {
    TFakeCommBackend device;
    SetCommBackend(&device);
    {
        TOrvelSerialPort port(nullptr);
        TEventRecorder events;
        events.AttachSend(port);
        port.SetCommPort(spCOM5);
        port.Open();
        device.LimitWrites(3);
        EXPECT_EQ(port.SendString("abcdef"), 3u);
        ASSERT_EQ(events.Sent().size(), 1u);
        EXPECT_EQ(events.Sent()[0].Bytes, "abc");
        EXPECT_EQ(device.Written(), "abc");

        device.LimitWrites(0);
        EXPECT_EQ(port.SendChars("xyz"), 0u);
        EXPECT_EQ(events.Sent().size(), 1u) << "nothing written raises nothing";
        port.Close();
    }
    SetCommBackend(nullptr);
}

}  // namespace
