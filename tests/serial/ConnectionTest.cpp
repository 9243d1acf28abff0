// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and closing on the near end of a cable (a real pseudo-terminal on
// POSIX, see tests/support/FarEnd.h): events, state, settings on the line,
// failures and descriptor hygiene.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "serial/OrvelSerialPort.h"
#include "tests/serial/EventRecorder.h"
#include "tests/support/FarEnd.h"
#ifndef _WIN32
#include "serial/device/TermiosRate.h"
#include "tests/support/Pty.h"
#endif

namespace {

// Records the component's connect and disconnect events with the state seen inside them.
struct TEventLog {
    std::vector<std::string> Events;

    void Attach(TOrvelSerialPort& Port) {
        Port.SetOnConnect([this](TObject* Sender, TCommPort P) { Record("connect", Sender, P); });
        Port.SetOnDisconnect([this](TObject* Sender, TCommPort P) { Record("disconnect", Sender, P); });
    }
    void Record(const char* What, TObject* Sender, TCommPort P) {
        auto* port = static_cast<TOrvelSerialPort*>(Sender);
        Events.push_back(std::string(What) + " " + port->CommPortToString(P) + " while " +
                         port->CommPortToString(port->IsConnected()));
    }
};

class SerialConnection : public ::testing::Test {
protected:
#ifndef _WIN32
    TPortMap Missing{"COM9=/dev/ostra-no-such-port"};
#endif
    TFarEnd Com5{"COM5"};
    TFarEnd Com6{"COM6"};
    TOrvelSerialPort Port{nullptr};
    TEventLog Log;

    void SetUp() override {
        Port.SetDelay(10);
        Log.Attach(Port);
    }
#ifndef _WIN32
    termios LineSettings(const TFarEnd& Far) {
        termios t{};
        tcgetattr(Far.Master(), &t);
        return t;
    }
#endif
};

#ifdef _WIN32
// A failed open names the port and the system's text for the reason (worded
// differently by Windows and Wine) without the full stop it ends with.
void ExpectCannotConnect(const std::string& Message, const std::string& PortName, DWORD Error) {
    const std::string head = "Cannot connect to " + PortName + " . ";
    ASSERT_TRUE(Message.starts_with(head)) << Message;
    const std::string reason = Message.substr(head.size());
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(SysErrorMessage(static_cast<int>(Error)).starts_with(reason)) << reason;
    EXPECT_FALSE(reason.ends_with('.') || reason.ends_with('\n')) << reason;
}
#endif

TEST_F(SerialConnection, OpenAndCloseRaiseEventsWithTheStateInside) {
    Port.SetCommPort(spCOM5);
    Port.Open();
    EXPECT_EQ(Port.IsConnected(), spCOM5);
    Port.Open();  // already open on that port: nothing happens
    Port.Close();
    EXPECT_EQ(Port.IsConnected(), spNone);
    EXPECT_TRUE(OpensAgain(spCOM5)) << "Close gave up on a thread that still holds the device";
    Port.Close();  // closing a closed port fires nothing
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"connect COM5 while COM5", "disconnect COM5 while COM5"}));
}

TEST_F(SerialConnection, AThrowingOnConnectReachesTheCallerAndEndsTheConnection) {
    Port.SetCommPort(spCOM5);
    Port.SetOnConnect([this](TObject* Sender, TCommPort P) {
        Log.Record("connect", Sender, P);
        throw std::runtime_error("handler failed");
    });
    EXPECT_THROW(Port.Open(), std::runtime_error);
    EXPECT_EQ(Port.IsConnected(), spNone);
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"connect COM5 while COM5", "disconnect COM5 while COM5"}));
    EXPECT_TRUE(OpensAgain(spCOM5)) << "the device is still held";

    Log.Attach(Port);
    Port.Open();
    EXPECT_EQ(Port.IsConnected(), spCOM5);
    Port.Close();

    auto other = std::make_unique<TOrvelSerialPort>(nullptr);
    other->SetCommPort(spCOM5);
    other->SetOnConnect([](TObject*, TCommPort) { throw std::runtime_error("handler failed"); });
    EXPECT_THROW(other->Open(), std::runtime_error);
    other.reset();  // returns at once: no thread is left to wait for
    EXPECT_TRUE(OpensAgain(spCOM5));
}

TEST_F(SerialConnection, OpenOnAnotherPortSwitchesDevices) {
    Port.SetCommPort(spCOM5);
    Port.Open();
    Port.SetCommPort(spCOM6);
    EXPECT_EQ(Port.IsConnected(), spCOM5) << "changing Port alone must not touch the device";
    Port.Open();
    EXPECT_EQ(Port.IsConnected(), spCOM6);
    Port.Close();
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"connect COM5 while COM5", "disconnect COM5 while COM5",
                                                    "connect COM6 while COM6", "disconnect COM6 while COM6"}));
}

TEST_F(SerialConnection, OpenWithoutAPortDoesNothing) {
    Port.Open();
    EXPECT_EQ(Port.IsConnected(), spNone);
    EXPECT_TRUE(Log.Events.empty());
}

TEST_F(SerialConnection, FailedOpenNamesThePortAndTheReasonAndStaysClosed) {
    const int before = OpenDescriptorCount();
    Port.SetCommPort(spCOM9);
    try {
        Port.Open();
        FAIL() << "opening a missing device succeeded";
    } catch (const EOrvelSerialPortException& e) {
#ifdef _WIN32
        ExpectCannotConnect(e.what(), "COM9", ERROR_FILE_NOT_FOUND);
#else
        EXPECT_STREQ(e.what(), "Cannot connect to COM9 . No such file or directory");
#endif
    }
    EXPECT_EQ(Port.IsConnected(), spNone);
    EXPECT_TRUE(Log.Events.empty());
    EXPECT_EQ(OpenDescriptorCount(), before);
}

#ifndef _WIN32
TEST_F(SerialConnection, FailedOpensOfFilesThatAreNoTerminals) {
    char path[] = "/tmp/ostra-not-a-port-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    for (const std::string& name : {std::string(path), std::string("/dev/null")}) {
        Port.SetCommPort(spCustom);
        Port.SetCustomPortName(name);
        try {
            Port.Open();
            ADD_FAILURE() << name << " opened as a port";
        } catch (const EOrvelSerialPortException& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot connect to " + name + " . Inappropriate ioctl for device");
        }
        EXPECT_EQ(Port.IsConnected(), spNone);
    }
    unlink(path);
}
#endif

TEST_F(SerialConnection, APortHeldByAnotherComponentIsBusy) {
    TOrvelSerialPort other(nullptr);
    other.SetCommPort(spCOM5);
    other.Open();
    Port.SetCommPort(spCOM5);
#ifdef _WIN32
    // Windows refuses a second open of a port; Wine allows it. Where the
    // refusal comes, it names the port and the reason.
    try {
        Port.Open();
        Port.Close();
    } catch (const EOrvelSerialPortException& e) {
        ExpectCannotConnect(e.what(), "COM5", ERROR_ACCESS_DENIED);
    }
#else
    try {
        Port.Open();
        FAIL() << "a port in use opened twice";
    } catch (const EOrvelSerialPortException& e) {
        EXPECT_STREQ(e.what(), "Cannot connect to COM5 . Device or resource busy");
    }
#endif
    EXPECT_EQ(other.IsConnected(), spCOM5);
    other.Close();
}

#ifndef _WIN32
TEST_F(SerialConnection, ACustomNameIsOpenedAsAPath) {
    Port.SetCommPort(spCustom);
    Port.SetCustomPortName(Com5.DevicePath());
    Port.Open();
    EXPECT_EQ(Port.IsConnected(), spCustom);
    Port.Close();
    EXPECT_EQ(Port.IsConnected(), spNone);
    EXPECT_TRUE(OpensAgain(spCOM5)) << "Close gave up on a thread that still holds the device";
}

TEST_F(SerialConnection, SettingsReachTheLine) {
    Port.SetCommPort(spCOM5);
    Port.SetBaudRate(br057600);
    Port.SetStopBits(sb2Bits);
    Port.SetParity(pbOdd);
    Port.SetHwFlowControl(hfRTSCTS);
    Port.SetSwFlowControl(sfXONXOFF);
    Port.SetXonChar('Q');
    Port.SetXoffChar('S');
    Port.Open();
    const termios t = LineSettings(Com5);
    EXPECT_EQ(cfgetospeed(&t), B57600);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & PARODD);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_iflag & IXON);
    EXPECT_TRUE(t.c_iflag & IXOFF);
    EXPECT_EQ(t.c_cc[VSTART], 'Q');
    EXPECT_EQ(t.c_cc[VSTOP], 'S');
    Port.Close();
}

TEST_F(SerialConnection, CustomRateAndMarkOrSpaceParityReachTheLine) {
    Port.SetCommPort(spCOM5);
    Port.SetBaudRate(brCustom);
    Port.SetCustomBaudRate(31250);
    Port.SetParity(pbMark);
    Port.Open();
    EXPECT_EQ(ReadOutputRate(Com5.Master()), 31250u);
    termios t = LineSettings(Com5);
    EXPECT_TRUE(t.c_cflag & CMSPAR);
    EXPECT_TRUE(t.c_cflag & PARODD);  // mark: the parity bit is always 1

    Port.SetParity(pbSpace);  // a live change
    t = LineSettings(Com5);
    EXPECT_TRUE(t.c_cflag & CMSPAR);
    EXPECT_FALSE(t.c_cflag & PARODD);
    Port.SetBaudRate(br009600);
    EXPECT_EQ(ReadOutputRate(Com5.Master()), 9600u);
    Port.Close();
}
#endif

TEST_F(SerialConnection, RepeatedOpenAndCloseLeakNoDescriptors) {
    Port.SetDelay(0);
    Port.SetCommPort(spCOM5);
    Port.Open();
    Port.Close();
    const int before = OpenDescriptorCount();
    for (int i = 0; i < 100; ++i) {
        Port.Open();
        ASSERT_EQ(Port.IsConnected(), spCOM5);
        Port.Close();
    }
    Port.SetCommPort(spCOM9);
    for (int i = 0; i < 1000; ++i) EXPECT_THROW(Port.Open(), EOrvelSerialPortException);
    EXPECT_EQ(OpenDescriptorCount(), before);
}

}  // namespace
