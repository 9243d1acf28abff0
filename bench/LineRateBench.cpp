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
#include <functional>
#include <mutex>
#include <vector>

#include "bench/BenchSupport.h"
#include "serial/OrvelSerialPort.h"
#include "tests/support/Pty.h"

namespace {

constexpr double kBaselineSeconds = 5.0;
constexpr double kRunSeconds = 20.0;

// Writes the test stream at Rate bytes per second with
// blocking writes, remembering when each write began.
class TPacedWriter {
public:
    TPacedWriter(int Fd, double Rate, double Seconds) : FFd(Fd), FRate(Rate), FSeconds(Seconds) {}
    ~TPacedWriter() { Join(); }
    void Start() {
        FThread = std::thread([this] { Run(); });
    }
    void Join() {
        if (FThread.joinable()) FThread.join();
    }

    // When the write that carried the byte at Offset began.
    TClock::time_point WrittenAt(uint64_t Offset) const {
        std::lock_guard guard(FLock);
        const auto it = std::upper_bound(FEnds.begin(), FEnds.end(), Offset);
        return it == FEnds.end() ? TClock::now() : FStarts[static_cast<std::size_t>(it - FEnds.begin())];
    }
    uint64_t Written() const { return FWritten; }
    bool Done() const { return FDone; }
    double Elapsed() const { return FElapsed; }
    double LongestBlockedMs() const { return FLongestBlockedMs; }

private:
    void Run() {
        const auto start = TClock::now();
        std::vector<char> slice;
        // A writer held back does not catch up in one huge write: that write
        // would outlast the run by far.
        const auto largestSlice = static_cast<uint64_t>(FRate / 100);
        while (SecondsSince(start) < FSeconds) {
            const auto target = static_cast<uint64_t>(FRate * SecondsSince(start));
            if (target > FWritten) Write(std::min(target - FWritten, largestSlice), slice);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        FElapsed = SecondsSince(start);
        FDone = true;
    }
    void Write(uint64_t Count, std::vector<char>& Slice) {
        Slice.resize(Count);
        for (uint64_t i = 0; i < Count; ++i) Slice[i] = StreamByte(FWritten + i);
        const auto began = TClock::now();
        {
            std::lock_guard guard(FLock);
            FStarts.push_back(began);
            FEnds.push_back(FWritten + Count);
        }
        for (std::size_t done = 0; done < Count;) {
            const ssize_t n = ::write(FFd, Slice.data() + done, Count - done);
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
        FLongestBlockedMs = std::max(FLongestBlockedMs, SecondsSince(began) * 1000);
        FWritten += Count;
    }

    int FFd;
    double FRate;
    double FSeconds;
    mutable std::mutex FLock;
    std::vector<TClock::time_point> FStarts;
    std::vector<uint64_t> FEnds;
    std::atomic<uint64_t> FWritten{0};
    std::atomic<bool> FDone{false};
    double FElapsed = 0;
    double FLongestBlockedMs = 0;
    std::thread FThread;
};

// Checks each arriving chunk against the stream and keeps the largest delay.
class TStreamCheck {
public:
    explicit TStreamCheck(const TPacedWriter& Writer) : FWriter(Writer) {}
    void Arrived(const char* Data, std::size_t Size) {
        const double delay =
            std::chrono::duration<double, std::milli>(TClock::now() - FWriter.WrittenAt(FReceived)).count();
        FLargestDelayMs = std::max(FLargestDelayMs, delay);
        FMismatches += StreamMismatches(FReceived, Data, Size);
        FReceived += Size;
    }
    uint64_t Received() const { return FReceived; }
    uint64_t Mismatches() const { return FMismatches; }
    double LargestDelayMs() const { return FLargestDelayMs; }

private:
    const TPacedWriter& FWriter;
    uint64_t FReceived = 0;
    uint64_t FMismatches = 0;
    double FLargestDelayMs = 0;
};

double PlainLoopLargestDelayMs(const TPty& Far, double Rate) {
    DrainTerminal(Far.SlavePath());
    const int fd = OpenRawTerminal(Far.SlavePath());
    if (fd < 0) return 0;
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
    return check.LargestDelayMs();
}

// The console window's settings: its polling pause and its input queue.
constexpr uint32_t kConsoleDelay = 100;
constexpr uint32_t kConsoleInputBuffer = 65536;

void ComponentRun(const TPty& Far, const char* Line, double Rate) {
    const double baselineMs = PlainLoopLargestDelayMs(Far, Rate);
    DrainTerminal(Far.SlavePath());
    TPacedWriter writer(Far.Master(), Rate, kRunSeconds);
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

    const std::string name = std::string(Line) + " baud";
    PrintFigure(name + ": delivered", check.Received() / seconds, "B/s", check.Received() / seconds / Rate,
                "of the line rate");
    PrintFigure(name + ": writer achieved", writer.Written() / writer.Elapsed(), "B/s",
                writer.Written() / writer.Elapsed() / Rate,
                "longest write blocked " + std::to_string(static_cast<int>(writer.LongestBlockedMs())) + " ms");
    const uint64_t missing = writer.Written() - std::min(writer.Written(), check.Received());
    PrintFigure(name + ": lost or reordered bytes", static_cast<double>(check.Mismatches() + missing), "B",
                check.Received() / static_cast<double>(std::max<uint64_t>(writer.Written(), 1)),
                "received/written");
    PrintFigure(name + ": largest write-to-OnReceive delay", check.LargestDelayMs(), "ms",
                check.LargestDelayMs() / std::max(baselineMs, 0.001),
                "plain loop " + std::to_string(baselineMs) + " ms");
}

}  // namespace

int main() {
    TPty far;
    TPortMap map("COM5=" + far.SlavePath());
    std::printf("Delay %u, InputBuffer %u\n", kConsoleDelay, kConsoleInputBuffer);
    ComponentRun(far, "115200", 11520);
    ComponentRun(far, "460800", 46080);
    ComponentRun(far, "921600", 92160);
    return 0;
}
