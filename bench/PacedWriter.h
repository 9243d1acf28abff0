// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A writer that feeds the test stream at a serial line's byte rate, and the
// check of what arrives against it.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"

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

