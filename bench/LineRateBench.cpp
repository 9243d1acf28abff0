// SPDX-License-Identifier: GPL-3.0-or-later
// Paced line rate: a writer feeds a pseudo-terminal at a serial line's byte
// rate while the component, set up as the console window sets it, receives
// with hand-offs on. Reports what arrived,
// whether anything was lost or reordered, the largest delay from write to
// OnReceive, and whether the writer was held back. The baseline for the delay
// is a plain read() loop at the same pace on the same pty.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <functional>
#include <mutex>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/PacedWriter.h"
#include "serial/OrvelSerialPort.h"
#include "tests/support/Pty.h"

namespace {

constexpr double kBaselineSeconds = 5.0;
constexpr double kRunSeconds = 20.0;

// What a plain read() loop achieves on this machine now: the baselines.
struct TPlainLoop {
    double LargestDelayMs = 0;
    double LongestBlockedMs = 0;
};

TPlainLoop PlainLoop(const TPty& Far, double Rate) {
    DrainTerminal(Far.SlavePath());
    const int fd = OpenRawTerminal(Far.SlavePath());
    if (fd < 0) return {};
    TPacedWriter writer(Far.Master(), Rate, kBaselineSeconds);
    TStreamCheck check(writer);
    writer.Start();
    char buffer[65536];
    const auto start = TClock::now();
    while (SecondsSince(start) < kBaselineSeconds + 1) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0) continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) check.Arrived(buffer, static_cast<std::size_t>(n));
    }
    writer.Join();
    ::close(fd);
    return {check.LargestDelayMs(), writer.LongestBlockedMs()};
}

// The console window's settings: its polling pause and its input queue.
constexpr uint32_t kConsoleDelay = 100;
constexpr uint32_t kConsoleInputBuffer = 65536;

void ComponentRun(const TPty& Far, const char* Line, double Rate, double Seconds) {
    const TPlainLoop plain = PlainLoop(Far, Rate);
    const double baselineMs = plain.LargestDelayMs;
    DrainTerminal(Far.SlavePath());
    TPacedWriter writer(Far.Master(), Rate, Seconds);
    TStreamCheck check(writer);
    TOrvelSerialPort port(nullptr);
    port.SetCommPort(spCOM5);
    port.SetDelay(kConsoleDelay);
    port.SetInputBuffer(kConsoleInputBuffer);
    port.SetOnReceive([&](TObject*, AnsiString Buffer) { check.Arrived(Buffer.data(), Buffer.size()); });
    port.Open();
    writer.Start();
    const auto start = TClock::now();
    // Hand-offs are served here until the writer has finished and its tail
    // has arrived; the writer may need them to get rid of its last write.
    while (!writer.Done()) CheckSynchronize(10);
    const auto writerDone = TClock::now();
    while (check.Received() < writer.Written() && SecondsSince(writerDone) < 10) CheckSynchronize(10);
    writer.Join();
    const double seconds = SecondsSince(start);
    port.Close();

    const std::string name = Line;
    PrintFigure(name + ": delivered", check.Received() / seconds, "B/s", check.Received() / seconds / Rate,
                "of the line rate");
    PrintFigure(name + ": writer achieved", writer.Written() / writer.Elapsed(), "B/s",
                writer.Written() / writer.Elapsed() / Rate,
                "longest write blocked " + std::to_string(static_cast<int>(writer.LongestBlockedMs())) +
                    " ms (plain loop " + std::to_string(static_cast<int>(plain.LongestBlockedMs)) + " ms)");
    const uint64_t missing = writer.Written() - std::min(writer.Written(), check.Received());
    PrintFigure(name + ": lost or reordered bytes", static_cast<double>(check.Mismatches() + missing), "B",
                check.Received() / static_cast<double>(std::max<uint64_t>(writer.Written(), 1)),
                "received/written");
    PrintFigure(name + ": largest write-to-OnReceive delay", check.LargestDelayMs(), "ms",
                check.LargestDelayMs() / std::max(baselineMs, 0.001),
                "plain loop " + std::to_string(baselineMs) + " ms");
}

}  // namespace

// With arguments, one run at a rate of the caller's: bench_line_rate
// BYTES_PER_SECOND [SECONDS], e.g. 20000000 20 for a high-speed USB device.
int main(int argc, char** argv) {
    TPty far;
    TPortMap map("COM5=" + far.SlavePath());
    std::printf("Delay %u, InputBuffer %u\n", kConsoleDelay, kConsoleInputBuffer);
    if (argc > 1) {
        const double rate = std::strtod(argv[1], nullptr);
        const double seconds = argc > 2 ? std::strtod(argv[2], nullptr) : kRunSeconds;
        ComponentRun(far, (std::to_string(static_cast<long long>(rate)) + " B/s").c_str(), rate, seconds);
        return 0;
    }
    ComponentRun(far, "115200 baud", 11520, kRunSeconds);
    ComponentRun(far, "460800 baud", 46080, kRunSeconds);
    ComponentRun(far, "921600 baud", 92160, kRunSeconds);
    return 0;
}
