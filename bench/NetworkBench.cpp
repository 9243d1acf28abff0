// SPDX-License-Identifier: GPL-3.0-or-later
// Ports on the network through ser2net on loopback, a pseudo-terminal behind
// it. Paced: the test stream at 921,600 baud's byte rate for 20 s with the
// console window's settings, through RFC 2217 against the same pty opened
// directly. Flood: raw TCP against the pty opened directly, as fast as the
// component takes it at Delay 0 and at the window's Delay 100; a plain
// receive loop on the server's socket shows what the server carries at most.
#include <termios.h>

#include <cstdio>

#include "bench/BenchSupport.h"
#include "bench/PacedWriter.h"
#include "serial/OrvelSerialPort.h"
#include "serial/device/Sockets.h"
#include "tests/support/Pty.h"
#include "tests/support/Ser2Net.h"

namespace {

constexpr double kPacedSeconds = 20.0;
constexpr double kFloodSeconds = 3.0;
constexpr double kLineRate = 92160;  // 921,600 baud
constexpr double kWriterTargetMs = 50;

struct TPacedResult {
    double Delivered = 0;  // received / written
    uint64_t Lost = 0;
    double LongestBlockedMs = 0;
};

// ser2net sets the pty's slave to its own settings when it opens it.
void WaitForServerToOpen(const TPty& Far) {
    const auto start = TClock::now();
    termios settings{};
    while (SecondsSince(start) < 10 && (tcgetattr(Far.Master(), &settings), cfgetospeed(&settings)) != B115200)
        CheckSynchronize(5);
}

// Name empty: the pty's slave itself.
void OpenPort(TOrvelSerialPort& Port, const std::string& Name, const TPty& Far, bool Network) {
    Port.SetCommPort(spCustom);
    Port.SetCustomPortName(Name.empty() ? Far.SlavePath() : Name);
    Port.Open();
    if (Network) WaitForServerToOpen(Far);
}

TPacedResult PacedRun(const TPty& Far, const std::string& Name, bool Network) {
    DrainTerminal(Far.SlavePath());
    TPacedWriter writer(Far.Master(), kLineRate, kPacedSeconds);
    TStreamCheck check(writer);
    TOrvelSerialPort port(nullptr);
    port.SetDelay(100);
    port.SetInputBuffer(65536);
    port.SetOnReceive([&](TObject*, AnsiString Buffer) { check.Arrived(Buffer.data(), Buffer.size()); });
    OpenPort(port, Name, Far, Network);
    writer.Start();
    while (!writer.Done()) CheckSynchronize(10);
    const auto writerDone = TClock::now();
    while (check.Received() < writer.Written() && SecondsSince(writerDone) < 10) CheckSynchronize(10);
    writer.Join();
    port.Close();
    const uint64_t missing = writer.Written() - std::min(writer.Written(), check.Received());
    return {check.Received() / static_cast<double>(std::max<uint64_t>(writer.Written(), 1)),
            check.Mismatches() + missing, writer.LongestBlockedMs()};
}

// What the server carries at most: a plain receive loop on its socket.
double PlainSocketLoop(const TPty& Far, uint16_t Port) {
    DrainTerminal(Far.SlavePath());
    const std::atomic<bool> never{false};
    TConnectResult connected = ConnectWithin("127.0.0.1", Port, std::chrono::seconds(3), never);
    if (!connected.Socket) return 0;
    WaitForServerToOpen(Far);
    TFloodWriter writer(Far.Master());
    std::vector<char> buffer(1 << 16);
    uint64_t bytes = 0;
    const auto start = TClock::now();
    while (SecondsSince(start) < kFloodSeconds) {
        if (WaitSocket(connected.Socket.Get(), false, 10) != TSocketReady::Read) continue;
        int error = 0;
        const long n = ReceiveSome(connected.Socket.Get(), buffer.data(), buffer.size(), error);
        if (n > 0) bytes += static_cast<uint64_t>(n);
    }
    const double rate = MegabytesPerSecond(bytes, SecondsSince(start));
    writer.Stop();
    return rate;
}

double FloodRun(const TPty& Far, const std::string& Name, bool Network, uint32_t Delay) {
    DrainTerminal(Far.SlavePath());
    std::atomic<uint64_t> delivered{0};
    std::atomic<uint64_t> mismatches{0};
    TOrvelSerialPort port(nullptr);
    port.SetDelay(Delay);
    port.SetNeedSynchronization(false);
    port.SetInputBuffer(65536);
    port.SetOnReceive([&](TObject*, AnsiString Buffer) {
        mismatches += StreamMismatches(delivered, Buffer.data(), Buffer.size());
        delivered += Buffer.size();
    });
    OpenPort(port, Name, Far, Network);
    TFloodWriter writer(Far.Master());
    const auto start = TClock::now();
    while (SecondsSince(start) < kFloodSeconds) CheckSynchronize(10);
    const double rate = MegabytesPerSecond(delivered, SecondsSince(start));
    writer.Stop();
    port.Close();
    if (mismatches) std::printf("  %s: %llu bytes garbled\n", Name.c_str(), static_cast<unsigned long long>(mismatches));
    return rate;
}

}  // namespace

// Each run has a pty and a server of its own: a server still closing the
// device of the run before would read from it too.
struct TRig {
    explicit TRig(bool Rfc2217) : Server({{Rfc2217, Far.SlavePath()}}) {}
    TPty Far;
    TSer2Net Server;
};

int main() {
    const TPacedResult local = PacedRun(TPty(), {}, false);
    TRig paced(true);
    const TPacedResult network = PacedRun(paced.Far, paced.Server.PortName(0), true);
    PrintFigure("paced 921600 baud, RFC 2217: delivered", network.Delivered, "", network.Delivered / local.Delivered,
                "of the direct pty's share");
    PrintFigure("paced 921600 baud, RFC 2217: lost bytes", static_cast<double>(network.Lost), "B",
                static_cast<double>(network.Lost + 1) / static_cast<double>(local.Lost + 1),
                "direct pty lost " + std::to_string(local.Lost));
    PrintFigure("paced 921600 baud, RFC 2217: writer held back", network.LongestBlockedMs, "ms",
                network.LongestBlockedMs / kWriterTargetMs,
                "of the 50 ms target; direct pty " + std::to_string(static_cast<int>(local.LongestBlockedMs)) + " ms");
    TRig plain(false);
    const double ceiling = PlainSocketLoop(plain.Far, plain.Server.Port(0));
    for (const uint32_t delay : {0u, 100u}) {
        const double direct = FloodRun(TPty(), {}, false, delay);
        TRig flood(false);
        const double raw = FloodRun(flood.Far, flood.Server.PortName(0), true, delay);
        PrintFigure("flood, raw TCP, Delay " + std::to_string(delay), raw, "MB/s", raw / direct,
                    "direct pty " + std::to_string(direct) + " MB/s; plain socket loop " + std::to_string(ceiling) +
                        " MB/s");
    }
    return 0;
}
