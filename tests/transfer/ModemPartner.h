// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A port of the engine on one pseudo-terminal, lrzsz on another, and a relay
// between the two that can damage one byte in every so many.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/Pty.h"
#include "transfer/TransferLink.h"
#include <optional>

// Copies bytes both ways between two pty masters, each way on a thread of
// its own; with Every > 0 it flips the bits of every Every-th byte in each
// direction, and with a Rate it passes at most that many bytes a second each
// way, as a serial line does.
class TRelay {
public:
    TRelay(int A, int B, std::size_t Every, std::size_t Rate = 0);
    ~TRelay();
    TRelay(const TRelay&) = delete;
    TRelay& operator=(const TRelay&) = delete;

    std::size_t Damaged() const { return FDamaged; }

private:
    void Run(int From, int To);
    bool Pass(int From, int To, std::size_t& Count, std::chrono::steady_clock::time_point& LineFree);
    // Waits until the line's rate lets Count bytes through since Start.
    void Pace(std::chrono::steady_clock::time_point Start, std::size_t Count) const;

    const std::size_t FEvery, FRate;
    std::atomic<std::size_t> FDamaged{0};
    std::atomic<bool> FStop{false};
    std::thread FThreads[2];
};

// COM5 is the near end; lrzsz runs on the far one.
class TModemPartner {
public:
    // Every: see TRelay.
    explicit TModemPartner(std::size_t Every = 0, std::size_t Rate = 0);
    ~TModemPartner();

    // Runs an lrzsz program (with its arguments) in Folder on the far terminal.
    void Start(const std::string& Folder, const std::string& CommandLine);
    // The program's exit status; none when it did not end within the deadline.
    std::optional<int> Wait(std::chrono::seconds Deadline = std::chrono::seconds(120));
    TChildProcess& Program() { return *FProgram; }
    std::size_t Damaged() const { return FRelay.Damaged(); }

private:
    TPty FNear, FFar;
    int FFarSlave;
    TPortMap FMap;
    TRelay FRelay;
    std::unique_ptr<TChildProcess> FProgram;
};

// The engine's port on COM5 and a link over it.
class TEngineEnd {
public:
    TEngineEnd();
    ~TEngineEnd() { FPort.Close(); }
    TTransferLink& Link() { return *FLink; }

private:
    TOrvelSerialPort FPort{nullptr};
    std::unique_ptr<TPortLink> FLink;
};

void WriteFile(const std::string& Path, const std::string& Content);
// Count bytes in which every byte value comes often, in an order that shows a lost or doubled one.
std::string Pattern(std::size_t Count);
