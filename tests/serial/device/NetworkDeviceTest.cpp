// SPDX-License-Identifier: GPL-3.0-or-later
// Network ports against a real device server: ser2net on loopback with a
// pseudo-terminal behind each accepter.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <mutex>

#include "serial/device/NetworkPorts.h"
#include "tests/serial/device/DeviceTestSupport.h"
#include "tests/support/Ser2Net.h"

namespace {

using namespace std::chrono_literals;

// What the ports said, in order.
class TNotices {
public:
    TNotices() {
        SetNetworkNoticeHandler([this](const std::string& Port, const std::string& Text) {
            std::lock_guard lock(FLock);
            FTexts.push_back(Port + ": " + Text);
        });
    }
    ~TNotices() { SetNetworkNoticeHandler(nullptr); }

    std::vector<std::string> Texts() const {
        std::lock_guard lock(FLock);
        return FTexts;
    }
    // How many notices contain Part.
    std::size_t Count(const std::string& Part) const {
        const auto texts = Texts();
        return std::count_if(texts.begin(), texts.end(), [&](const std::string& T) { return T.find(Part) != T.npos; });
    }

private:
    mutable std::mutex FLock;
    std::vector<std::string> FTexts;
};

bool Present(const std::string& Name) {
    const auto names = CommBackend().PresentPortNames();
    return std::find(names.begin(), names.end(), Name) != names.end();
}

// Reads until Count bytes came or the deadline passed.
std::string ReceiveFromPort(HANDLE Handle, std::size_t Count) {
    std::string received;
    WaitUntil([&] {
        received += ReadDevice(Handle, 4096).Data;
        return received.size() >= Count;
    }, 20s);
    return received;
}

speed_t PtySpeed(const TPty& Pty) {
    termios settings{};
    tcgetattr(Pty.Master(), &settings);
    return cfgetospeed(&settings);
}

class NetworkDevice : public testing::TestWithParam<bool> {
protected:
    TPty Pty;
    TSer2Net Server{{{GetParam(), Pty.SlavePath()}}};
    TNotices Notices;

    HANDLE Open() {
        const HANDLE handle = OpenDevice(Server.PortName(0));
        EXPECT_NE(handle, INVALID_HANDLE_VALUE);
        SetTimeouts(handle, ReturnAtOnce);
        return handle;
    }
};

TEST_P(NetworkDevice, EveryByteValueGoesBothWaysExactly) {
    TDeviceHandle port(Open());
    DCB dcb = LineSettingsAt(115200);
    ASSERT_TRUE(CommBackend().SetCommState(port.Get(), &dcb));
    const std::string all = AllByteValues() + AllByteValues();
    EXPECT_EQ(WriteDevice(port.Get(), all), all.size());
    EXPECT_EQ(Pty.Receive(all.size()), all);
    Pty.Send(all);
    EXPECT_EQ(ReceiveFromPort(port.Get(), all.size()), all);
}

TEST_P(NetworkDevice, IsPresentWhileConnectedAndNeverListens) {
    TDeviceHandle port(Open());
    EXPECT_TRUE(Present(Server.PortName(0)));
    EXPECT_EQ(WriteDevice(port.Get(), "x"), 1u);
    EXPECT_EQ(Pty.Receive(1), "x");
    EXPECT_TRUE(PortsThisProcessListensOn().empty());
}

TEST_P(NetworkDevice, ALostServerEndsThePortWithItsAddress) {
    TDeviceHandle port(Open());
    EXPECT_EQ(WriteDevice(port.Get(), "x"), 1u);
    Server.Stop();
    EXPECT_TRUE(WaitUntil([&] { return !Present(Server.PortName(0)); }, 20s));
    EXPECT_TRUE(WaitUntil([&] { return Notices.Count("127.0.0.1:" + std::to_string(Server.Port(0))) == 1; }, 20s))
        << testing::PrintToString(Notices.Texts());
    bool ok = true;
    WriteDevice(port.Get(), "y", &ok);
    EXPECT_FALSE(ok);
}

INSTANTIATE_TEST_SUITE_P(Rfc2217AndRaw, NetworkDevice, testing::Bool(),
                         [](const auto& Info) { return Info.param ? "Rfc2217" : "RawTcp"; });

using Rfc2217Device = NetworkDevice;
INSTANTIATE_TEST_SUITE_P(Ser2Net, Rfc2217Device, testing::Values(true));

TEST_P(Rfc2217Device, SettingsReachThePtyAndTheAnswersAreReadBack) {
    TDeviceHandle port(Open());
    DCB dcb = LineSettingsAt(9600);
    dcb.StopBits = TWOSTOPBITS;
    ASSERT_TRUE(CommBackend().SetCommState(port.Get(), &dcb));
    EXPECT_TRUE(WaitUntil([&] { return PtySpeed(Pty) == B9600; }, 20s));
    DCB inForce{};
    EXPECT_TRUE(WaitUntil([&] {
        return CommBackend().GetCommState(port.Get(), &inForce) && inForce.BaudRate == 9600 &&
               inForce.StopBits == TWOSTOPBITS;
    }, 20s));
    dcb.BaudRate = 57600;
    ASSERT_TRUE(CommBackend().SetCommState(port.Get(), &dcb));
    EXPECT_TRUE(WaitUntil([&] { return PtySpeed(Pty) == B57600; }, 20s));
}

TEST_P(Rfc2217Device, UnansweredModemLinesAreToldOnceAndDataGoesOn) {
    TDeviceHandle port(Open());
    DCB dcb = LineSettingsAt(115200);
    ASSERT_TRUE(CommBackend().SetCommState(port.Get(), &dcb));
    // A pty has no modem lines, so the server never answers these.
    for (int round = 0; round < 3; ++round) {
        EXPECT_TRUE(CommBackend().EscapeCommFunction(port.Get(), CLRDTR));
        EXPECT_TRUE(CommBackend().EscapeCommFunction(port.Get(), SETDTR));
    }
    EXPECT_TRUE(WaitUntil([&] { return Notices.Count("request for DTR") == 1; }, 20s));
    EXPECT_EQ(WriteDevice(port.Get(), "still here"), 10u);
    EXPECT_EQ(Pty.Receive(10), "still here");
    EXPECT_EQ(Notices.Count("request for DTR"), 1u);
    // The server reports the modem lines it has: none of them on.
    DWORD lines = 0xFF;
    EXPECT_TRUE(WaitUntil([&] { return CommBackend().GetCommModemStatus(port.Get(), &lines) != 0; }, 20s));
    EXPECT_EQ(lines, 0u);
}

TEST_P(Rfc2217Device, PurgeDropsWhatWaits) {
    TDeviceHandle port(Open());
    EXPECT_EQ(WriteDevice(port.Get(), "x"), 1u);  // connected
    EXPECT_EQ(Pty.Receive(1), "x");
    Pty.Send("stale");
    EXPECT_TRUE(WaitUntil([&] { return WaitingCount(port.Get()) == 5; }, 20s));
    EXPECT_TRUE(CommBackend().PurgeComm(port.Get(), PURGE_RXCLEAR | PURGE_TXCLEAR));
    EXPECT_EQ(WaitingCount(port.Get()), 0u);
    // The server purges when the request reaches it, which may take what is
    // sent meanwhile too: the device sends until something comes through.
    std::string received;
    EXPECT_TRUE(WaitUntil([&] {
        Pty.Send(".");
        received += ReadDevice(port.Get(), 4096).Data;
        return !received.empty();
    }, 20s));
    EXPECT_EQ(received.find_first_not_of('.'), std::string::npos) << received;
}

TEST(RawTcpDevice, LineSettingsStayHereAndThereAreNoModemLines) {
    TPty pty;
    TSer2Net server({{false, pty.SlavePath()}});
    TDeviceHandle port(OpenDevice(server.PortName(0)));
    DCB dcb = LineSettingsAt(1200);
    ASSERT_TRUE(CommBackend().SetCommState(port.Get(), &dcb));
    DCB back{};
    ASSERT_TRUE(CommBackend().GetCommState(port.Get(), &back));
    EXPECT_EQ(back.BaudRate, 1200u);
    EXPECT_EQ(WriteDevice(port.Get(), "x"), 1u);
    EXPECT_EQ(pty.Receive(1), "x");
    EXPECT_NE(PtySpeed(pty), B1200);
    DWORD lines = 0;
    EXPECT_FALSE(CommBackend().GetCommModemStatus(port.Get(), &lines));
    EXPECT_FALSE(CommBackend().EscapeCommFunction(port.Get(), SETDTR));
}

// A listener whose queue is full: connecting to it hangs until given up.
class TSilentListener {
public:
    TSilentListener() {
        FListener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &size);
        listen(FListener, 0);
        Port = ntohs(address.sin_port);
        // The queue takes one more than its length; these fill it.
        for (int& filler : FFillers) {
            filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~TSilentListener() {
        for (const int filler : FFillers) close(filler);
        close(FListener);
    }
    uint16_t Port = 0;

private:
    int FListener = -1;
    int FFillers[3]{};
};

TEST(NetworkFaults, EachEndsThePortWithAMessageNamingTheServer) {
    TNotices notices;
    TSilentListener silent;
    struct TCase {
        std::string Name;
        std::string Said;
    };
    const TCase cases[] = {
        {"rfc2217://127.0.0.1:" + std::to_string(FreeLoopbackPort()), "Cannot connect to 127.0.0.1:"},
        {"tcp://no-such-host.invalid:23", "Cannot find the host no-such-host.invalid"},
        {"rfc2217://127.0.0.1:" + std::to_string(silent.Port), "No answer from 127.0.0.1:" + std::to_string(silent.Port) + " within 3 s"},
    };
    for (const TCase& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        TDeviceHandle port(OpenDevice(c.Name));
        // Opening never waits for the network.
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << c.Name;
        ASSERT_TRUE(port.Valid()) << c.Name;
        EXPECT_TRUE(WaitUntil([&] { return !Present(c.Name); }, 20s)) << c.Name;
        // The notice may come a moment after the port left the list.
        EXPECT_TRUE(WaitUntil([&] { return notices.Count(c.Name + ": " + c.Said) == 1; }, 20s))
            << testing::PrintToString(notices.Texts());
    }
}

TEST(NetworkFaults, ClosingWhileConnectingDoesNotWait) {
    TSilentListener silent;
    const auto start = std::chrono::steady_clock::now();
    {
        TDeviceHandle port(OpenDevice("rfc2217://127.0.0.1:" + std::to_string(silent.Port)));
        DWORD written = 0;
        // A write with a limit gives up while the connection is still being made.
        SetTimeouts(port.Get(), {MAXDWORD, 0, 0, 0, 100});
        EXPECT_TRUE(CommBackend().WriteFile(port.Get(), "x", 1, &written, nullptr));
        EXPECT_EQ(written, 0u);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(WaitUntil([] { return TNetworkPort::RunningThreads() == 0; }, 20s));
}

TEST(NetworkNames, MalformedNamesAreRefusedAtOnce) {
    EXPECT_EQ(OpenDevice("tcp://host-without-port"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CommBackend().GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
