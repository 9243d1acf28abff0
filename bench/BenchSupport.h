// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared pieces of the serial benchmarks: timing, the printed figures, and
// the far end of a pseudo-terminal driven without blocking.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using TClock = std::chrono::steady_clock;

inline double SecondsSince(TClock::time_point Start) {
    return std::chrono::duration<double>(TClock::now() - Start).count();
}

inline double MegabytesPerSecond(uint64_t Bytes, double Seconds) { return Bytes / Seconds / 1e6; }

// One figure per line: what was measured, its value and its ratio to the baseline.
inline void PrintFigure(const std::string& Name, double Value, const char* Unit, double Ratio,
                        const std::string& Note = {}) {
    std::printf("%-46s %12.3f %-5s ratio %6.3f%s%s\n", Name.c_str(), Value, Unit, Ratio, Note.empty() ? "" : "  ",
                Note.c_str());
    std::fflush(stdout);
}

// The test stream: a scrambled pattern repeated every kStreamPeriod bytes, so
// that losing, doubling or reordering bytes shows up as a mismatch.
inline constexpr std::size_t kStreamPeriod = 65536;
const char* StreamPattern();
inline char StreamByte(uint64_t Offset) { return StreamPattern()[Offset % kStreamPeriod]; }
// How many of Size bytes at Data differ from the stream at Offset.
std::size_t StreamMismatches(uint64_t Offset, const char* Data, std::size_t Size);

// Writes the test stream to a descriptor as fast as it accepts, without ever
// blocking, until stopped; counts what it wrote.
class TFloodWriter {
public:
    explicit TFloodWriter(int Fd);
    ~TFloodWriter() { Stop(); }
    void Stop();
    uint64_t Written() const { return FWritten; }

private:
    void Run();

    int FFd;
    std::atomic<bool> FStop{false};
    std::atomic<uint64_t> FWritten{0};
    std::thread FThread;
};

// CPU time the process used so far, user and system.
double ProcessCpuSeconds();
// CPU time the calling thread used so far.
double ThreadCpuSeconds();
// The process's resident memory.
double ResidentBytes();

// Reads a far end on a thread of its own until Expected bytes came (30 s at most).
class TDrain {
public:
    TDrain(int Fd, uint64_t Expected);
    // The number of bytes read.
    uint64_t Join();

private:
    uint64_t FReceived = 0;
    std::thread FThread;
};

class TPty;
// Times one Send of Bytes bytes into Far while its far end drains them, and
// adds the seconds to Seconds; false when not every byte arrived.
bool TimedSend(const TPty& Far, uint64_t Bytes, const std::function<void()>& Send, std::vector<double>& Seconds);
double Median(std::vector<double> Values);

// Writes all of Bytes to Fd with plain write() calls; false when one fails.
bool WriteAll(int Fd, const std::string& Bytes);

// Opens Path as a raw terminal for a plain read loop; -1 on failure.
int OpenRawTerminal(const std::string& Path);
// Discards whatever waits on the terminal at Path, so one measurement does not
// inherit the bytes of the one before.
void DrainTerminal(const std::string& Path);
