// SPDX-License-Identifier: GPL-3.0-or-later
// Soak: many connections in a row on one component, set up as the console
// window sets it. Each cycle opens a fresh pseudo-terminal, streams data both
// ways, then ends either by the far end vanishing mid-stream or by a close
// from the window's side (purge, then Close), alternating. Afterwards the
// process's descriptors and threads must be back where they began and its
// resident memory may have grown by less than 5 MB; the baseline is the
// process itself before the first cycle.
//
//   bench_soak [cycles]   (2,000 by default)
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "serial/OrvelSerialPort.h"
#include "tests/support/Pty.h"

namespace {

constexpr int kDefaultCycles = 2000;
constexpr double kRssLimitMb = 5.0;
constexpr uint64_t kReceiveEachCycle = 16384;
constexpr std::size_t kSendEachCycle = 1024;
constexpr double kCycleDeadlineSeconds = 10.0;

int CountEntries(const char* Directory) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(Directory)) ++count;
    return count;
}

double ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

struct TSnapshot {
    int Descriptors = CountEntries("/proc/self/fd");
    int Threads = CountEntries("/proc/self/task");
    double ResidentMb = ResidentMegabytes();
};

// COM5 is a link that each cycle points at its own pty, so the port map is
// set once, before any thread that reads it runs.
class TPortLink {
public:
    TPortLink() : FPath(std::filesystem::temp_directory_path() / ("ostra-soak-" + std::to_string(getpid()))) {}
    ~TPortLink() {
        std::error_code ignored;
        std::filesystem::remove(FPath, ignored);
    }
    std::string Path() const { return FPath.string(); }
    void PointAt(const std::string& Device) {
        const std::filesystem::path next = FPath.string() + ".next";
        std::filesystem::remove(next);
        std::filesystem::create_symlink(Device, next);
        std::filesystem::rename(next, FPath);
    }

private:
    std::filesystem::path FPath;
};

// Reads what the near end sent, without blocking.
uint64_t DrainMaster(int Master) {
    uint64_t total = 0;
    char buffer[4096];
    for (;;) {
        pollfd p{Master, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0) return total;
        const ssize_t n = ::read(Master, buffer, sizeof buffer);
        if (n <= 0) return total;
        total += static_cast<uint64_t>(n);
    }
}

bool WaitFor(const std::function<bool()>& Condition) {
    const auto start = TClock::now();
    while (!Condition()) {
        if (SecondsSince(start) > kCycleDeadlineSeconds) return false;
        CheckSynchronize(1);
    }
    return true;
}

struct TTotals {
    uint64_t Received = 0;
    uint64_t Sent = 0;
    int Vanished = 0;
    int Closed = 0;
    int Failures = 0;
};

// One connection: open, stream both ways, then end it. False when a step
// did not happen within its deadline.
bool Cycle(TOrvelSerialPort& Port, TPortLink& Link, bool FarEndVanishes, TTotals& Totals) {
    TPty far;
    Link.PointAt(far.SlavePath());
    uint64_t received = 0;
    Port.SetOnReceive([&](TObject*, AnsiString Buffer) { received += Buffer.size(); });
    Port.Open();
    TFloodWriter writer(far.Master());
    const std::string block(kSendEachCycle, 'n');
    Port.SendString(block);
    uint64_t farReceived = 0;
    const bool streamed = WaitFor([&] {
        farReceived += DrainMaster(far.Master());
        return received >= kReceiveEachCycle && farReceived >= block.size();
    });
    bool ended;
    if (FarEndVanishes) {
        writer.Stop();  // what it wrote and the pty still holds is mid-stream
        far.CloseMaster();
        ended = WaitFor([&] { return Port.IsConnected() == spNone; });
        ++Totals.Vanished;
    } else {
        Port.ClearInputBuffer();
        Port.Close();
        writer.Stop();
        ended = Port.IsConnected() == spNone;
        ++Totals.Closed;
    }
    Port.SetOnReceive(nullptr);
    Totals.Received += received;
    Totals.Sent += farReceived;
    return streamed && ended;
}

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : kDefaultCycles;
    TPortLink link;
    TPortMap map("COM5=" + link.Path());
    TTotals totals;
    const TSnapshot before;
    const auto start = TClock::now();
    {
        TOrvelSerialPort port(nullptr);
        port.SetCommPort(spCOM5);
        port.SetBaudRate(br115200);
        port.SetInputBuffer(65536);
        for (int i = 0; i < cycles; ++i) {
            if (!Cycle(port, link, i % 2 == 0, totals)) ++totals.Failures;
        }
    }
    const double seconds = SecondsSince(start);
    // A thread that freed itself may still be on its way out of the system.
    const auto settle = TClock::now();
    while (CountEntries("/proc/self/task") > before.Threads && SecondsSince(settle) < 2) TThread::Sleep(10);
    const TSnapshot after;

    std::printf("%d cycles in %.1f s (%d far end vanished, %d closed), %d failed; %.1f MB received, %.2f MB sent\n",
                cycles, seconds, totals.Vanished, totals.Closed, totals.Failures, totals.Received / 1e6,
                totals.Sent / 1e6);
    PrintFigure("open descriptors after / before", after.Descriptors, "", after.Descriptors / double(before.Descriptors),
                std::to_string(before.Descriptors) + " before");
    PrintFigure("threads after / before", after.Threads, "", after.Threads / double(before.Threads),
                std::to_string(before.Threads) + " before");
    const double growth = after.ResidentMb - before.ResidentMb;
    PrintFigure("resident memory growth", growth, "MB", growth / kRssLimitMb,
                "of the 5 MB limit; " + std::to_string(before.ResidentMb) + " MB before");
    const bool held = totals.Failures == 0 && after.Descriptors == before.Descriptors &&
                      after.Threads == before.Threads && growth < kRssLimitMb;
    std::printf("%s\n", held ? "held" : "NOT HELD");
    return held ? 0 : 1;
}
