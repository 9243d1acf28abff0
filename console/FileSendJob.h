// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sending a file through an open port on a thread of its own, block by block,
// so that a window can follow it and cancel it between blocks. Qt-free.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "serial/OrvelSerialPort.h"

class TFileSendJob {
public:
    enum TOutcome : uint8_t { soRunning, soDone, soCancelled, soFailed };

    // Opens the file; raises Exception with the path and the reason when it
    // cannot, or at once when it is not a regular file.
    TFileSendJob(TOrvelSerialPort& Port, const std::filesystem::path& Path, std::size_t BlockSize);
    // Cancels and waits for the thread.
    ~TFileSendJob();
    TFileSendJob(const TFileSendJob&) = delete;
    TFileSendJob& operator=(const TFileSendJob&) = delete;

    // About a quarter of a second of the line at BaudRate, so a cancel takes effect soon.
    static std::size_t BlockSizeFor(int32_t BaudRate);

    void Start();
    // Stops after the block being written.
    void Cancel() { FCancelled = true; }
    // Waits for the thread to end.
    void Wait();

    uint64_t Size() const { return FSize; }
    uint64_t Sent() const { return FSent; }
    TOutcome Outcome() const { return FOutcome; }
    // Why it failed, for soFailed.
    std::string Failure() const;

private:
    void Run();
    // Writes all of Size bytes unless the port stops taking them.
    void SendBlock(const char* Data, std::size_t Size);
    void Fail(const std::string& Reason);

    TOrvelSerialPort& FPort;
    std::ifstream FFile;
    const std::size_t FBlockSize;
    // What the file says it holds, until more is read.
    std::atomic<uint64_t> FSize{0};
    std::atomic<uint64_t> FSent{0};
    std::atomic<bool> FCancelled{false};
    std::atomic<TOutcome> FOutcome{soRunning};
    mutable std::mutex FLock;
    std::string FFailure;  // under FLock
    std::thread FThread;
};
