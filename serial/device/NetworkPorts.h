// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the rest of the program may know of the socket backend: where its
// messages go, and whether a server answers before a port is reopened.

#include <atomic>
#include <memory>
#include <string>

#include "serial/device/CommBackend.h"
#include "serial/device/NetworkPort.h"

// Handles of network ports have this bit set; handles of devices never do.
inline constexpr WinComm::HANDLE NetworkHandleBit = WinComm::HANDLE{1} << (sizeof(WinComm::HANDLE) * 8 - 2);
inline bool IsNetworkHandle(WinComm::HANDLE Handle) {
    return Handle != WinComm::INVALID_HANDLE_VALUE && (Handle & NetworkHandleBit) != 0;
}

// Where the messages of network ports go (refusals, silence, lost
// connections). Called on a port's own thread; empty drops them.
void SetNetworkNoticeHandler(TNetworkNotice Handler);

// One attempt to reach the server of a network port, made on a thread of its
// own, for a window that waits for the server to come back.
class TServerProbe {
public:
    explicit TServerProbe(const std::string& PortName);
    ~TServerProbe();
    TServerProbe(const TServerProbe&) = delete;
    TServerProbe& operator=(const TServerProbe&) = delete;

    bool Finished() const { return FState->Finished; }
    bool Answered() const { return FState->Answered; }

private:
    struct TState {
        std::atomic<bool> Finished{false};
        std::atomic<bool> Answered{false};
        std::atomic<bool> Cancelled{false};
    };
    std::shared_ptr<TState> FState;
};
