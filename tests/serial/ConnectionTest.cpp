// Opening and closing on a real pseudo-terminal: events, state, settings on
// the line, failures and descriptor hygiene.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/OrvelSerialPort.h"
#include "serial/device/TermiosRate.h"
#include "tests/support/Pty.h"

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
    TPty Com5;
    TPty Com6;
    TPortMap Map{"COM5=" + Com5.SlavePath() + ";COM6=" + Com6.SlavePath() + ";COM9=/dev/ostra-no-such-port"};
    TOrvelSerialPort Port{nullptr};
    TEventLog Log;

    void SetUp() override {
        Port.SetDelay(10);
        Log.Attach(Port);
    }
    termios LineSettings(const TPty& Pty) {
        termios t{};
        tcgetattr(Pty.Master(), &t);
        return t;
    }
};

TEST_F(SerialConnection, OpenAndCloseRaiseEventsWithTheStateInside) {
    Port.SetCommPort(spCOM5);
    Port.Open();
    EXPECT_EQ(Port.IsConnected(), spCOM5);
    Port.Open();  // already open on that port: nothing happens
    Port.Close();
    EXPECT_EQ(Port.IsConnected(), spNone);
    Port.Close();  // closing a closed port fires nothing
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"connect COM5 while COM5", "disconnect COM5 while COM5"}));
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
        EXPECT_STREQ(e.what(), "Cannot connect to COM9 . No such file or directory");
    }
    EXPECT_EQ(Port.IsConnected(), spNone);
    EXPECT_TRUE(Log.Events.empty());
    EXPECT_EQ(OpenDescriptorCount(), before);
}

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

TEST_F(SerialConnection, APortHeldByAnotherComponentIsBusy) {
    TOrvelSerialPort other(nullptr);
    other.SetCommPort(spCOM5);
    other.Open();
    Port.SetCommPort(spCOM5);
    try {
        Port.Open();
        FAIL() << "a port in use opened twice";
    } catch (const EOrvelSerialPortException& e) {
        EXPECT_STREQ(e.what(), "Cannot connect to COM5 . Device or resource busy");
    }
    EXPECT_EQ(other.IsConnected(), spCOM5);
    other.Close();
}

TEST_F(SerialConnection, ACustomNameIsOpenedAsAPath) {
    Port.SetCommPort(spCustom);
    Port.SetCustomPortName(Com5.SlavePath());
    Port.Open();
    EXPECT_EQ(Port.IsConnected(), spCustom);
    Port.Close();
    EXPECT_EQ(Port.IsConnected(), spNone);
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
