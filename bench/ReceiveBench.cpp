// SPDX-License-Identifier: GPL-3.0-or-later
// Receive throughput: a writer floods a pseudo-terminal while the component
// receives with several delays, hand-offs off and on; the baseline is a plain
// read() loop on the same pty in the same run.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchSupport.h"
#include "serial/OrvelSerialPort.h"
#include "tests/support/Pty.h"

namespace {

constexpr double kWindowSeconds = 3.0;

struct TThroughput {
    double MegabytesPerSecond = 0;
    std::size_t LargestChunk = 0;
    uint64_t MeanChunk = 0;
    uint64_t Mismatches = 0;
};

TThroughput PlainReadLoop(const TPty& Far) {
    DrainTerminal(Far.SlavePath());
    const int fd = OpenRawTerminal(Far.SlavePath());
    if (fd < 0) return {};
    TFloodWriter writer(Far.Master());
    std::vector<char> buffer(4096);
    uint64_t bytes = 0;
    uint64_t reads = 0;
    uint64_t mismatches = 0;
    std::size_t largest = 0;
    const auto start = TClock::now();
    while (SecondsSince(start) < kWindowSeconds) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n <= 0) continue;
        mismatches += StreamMismatches(bytes, buffer.data(), static_cast<std::size_t>(n));
        bytes += static_cast<uint64_t>(n);
        ++reads;
        largest = std::max(largest, static_cast<std::size_t>(n));
    }
    const double seconds = SecondsSince(start);
    writer.Stop();
    ::close(fd);
    return {MegabytesPerSecond(bytes, seconds), largest, bytes / std::max<uint64_t>(reads, 1), mismatches};
}

TThroughput ComponentReceive(const TPty& Far, uint32_t Delay, bool HandOff) {
    DrainTerminal(Far.SlavePath());
    std::atomic<uint64_t> delivered{0};
    std::atomic<uint64_t> chunks{0};
    std::atomic<uint64_t> mismatches{0};
    std::atomic<std::size_t> largest{0};
    TOrvelSerialPort port(nullptr);
    port.SetCommPort(spCOM5);
    port.SetDelay(Delay);
    port.SetNeedSynchronization(HandOff);
    port.SetOnReceive([&](TObject*, AnsiString Buffer) {
        mismatches += StreamMismatches(delivered, Buffer.data(), Buffer.size());
        delivered += Buffer.size();
        ++chunks;
        if (Buffer.size() > largest) largest = Buffer.size();
    });
    port.Open();
    TFloodWriter writer(Far.Master());
    const auto start = TClock::now();
    while (SecondsSince(start) < kWindowSeconds) CheckSynchronize(10);
    const uint64_t bytes = delivered;
    const uint64_t count = std::max<uint64_t>(chunks, 1);
    const double seconds = SecondsSince(start);
    writer.Stop();
    port.Close();
    return {MegabytesPerSecond(bytes, seconds), largest, bytes / count, mismatches};
}

std::string ChunkNote(const TThroughput& R) {
    return "largest chunk " + std::to_string(R.LargestChunk) + " B, mean " + std::to_string(R.MeanChunk) + " B" +
           (R.Mismatches ? ", " + std::to_string(R.Mismatches) + " BYTES WRONG" : "");
}

}  // namespace

int main() {
    TPty far;
    TPortMap map("COM5=" + far.SlavePath());

    const TThroughput baseline = PlainReadLoop(far);
    PrintFigure("receive plain read() loop (baseline)", baseline.MegabytesPerSecond, "MB/s", 1.0,
                ChunkNote(baseline));
    if (baseline.MegabytesPerSecond <= 0) return 1;

    double fastest = 0;
    for (const uint32_t delay : {0u, 1u, 10u, 100u}) {
        for (const bool handOff : {false, true}) {
            const TThroughput r = ComponentReceive(far, delay, handOff);
            const double ratio = r.MegabytesPerSecond / baseline.MegabytesPerSecond;
            if (delay == 0 && !handOff) fastest = ratio;
            PrintFigure("receive Delay " + std::to_string(delay) + ", hand-off " + (handOff ? "on" : "off"),
                        r.MegabytesPerSecond, "MB/s", ratio, ChunkNote(r));
        }
    }
    std::printf("target: Delay 0, hand-off off at least 0.5 of the baseline: %s\n", fastest >= 0.5 ? "met" : "MISSED");
    return 0;
}
