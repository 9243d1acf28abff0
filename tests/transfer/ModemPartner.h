// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A port of the engine on one pseudo-terminal, lrzsz on another, and a relay
// between the two that can damage one byte in every so many.

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/Pty.h"
#include "transfer/TransferLink.h"
#include <optional>

// Copies bytes both ways between two pty masters; with Every > 0 it flips
// the bits of every Every-th byte in each direction.
class TRelay {
public:
    TRelay(int A, int B, std::size_t Every);
    ~TRelay();
    TRelay(const TRelay&) = delete;
    TRelay& operator=(const TRelay&) = delete;

    std::size_t Damaged() const { return FDamaged; }

private:
    void Run();
    bool Pass(int From, int To, std::size_t& Count);

    int FA, FB;
    std::size_t FEvery;
    std::atomic<std::size_t> FDamaged{0};
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

// COM5 is the near end; lrzsz runs on the far one.
class TModemPartner {
public:
    // Every: see TRelay.
    explicit TModemPartner(std::size_t Every = 0);
    ~TModemPartner();

    // Runs an lrzsz program (with its arguments) in Folder on the far terminal.
    void Start(const std::string& Folder, const std::string& CommandLine);
    // The program's exit status; none when it did not end within the deadline.
    std::optional<int> Wait();
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
