// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One port on the network. A thread of its own resolves the host, connects
// (giving up after ConnectLimit), then reads the socket into a queue and
// answers the server, so no caller ever waits for the network except a read
// or write that asks to. Calls return 0 or the platform's error code.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "serial/device/CommBackend.h"
#include "serial/device/NetworkAddress.h"
#include "serial/device/ReadPlan.h"
#include "serial/device/Rfc2217.h"
#include "serial/device/Sockets.h"

// Receives what a person should know about a port: Text names the server.
using TNetworkNotice = std::function<void(const std::string& PortName, const std::string& Text)>;

class TNetworkPort : public std::enable_shared_from_this<TNetworkPort> {
public:
    static constexpr std::chrono::milliseconds ConnectLimit{3000};
    // Received data beyond this waits in the socket, so a stalled reader
    // slows the server instead of filling memory.
    static constexpr std::size_t MaxQueued = 1 << 20;

    // Starts connecting to Address; Name is the name it was opened under.
    static std::shared_ptr<TNetworkPort> Start(std::string Name, TNetworkAddress Address, TNetworkNotice Notice);
    TNetworkPort(const TNetworkPort&) = delete;
    TNetworkPort& operator=(const TNetworkPort&) = delete;

    // Ends the connection; calls in progress end and later ones fail.
    void Shutdown();
    // Connecting or connected: what the port list shows as present.
    bool Alive() const;

    int SetState(const DCB& Dcb);
    int GetState(DCB& Dcb) const;
    void SetTimeouts(const COMMTIMEOUTS& Timeouts);
    int Purge(DWORD Flags);
    int QueryStatus(DWORD& Errors, COMSTAT& Stat);
    int Read(char* Buffer, DWORD Count, DWORD& Done);
    int Write(const char* Buffer, DWORD Count, DWORD& Done);
    int ModemStatus(DWORD& Status) const;
    int Escape(DWORD Func);

    // Threads of ports still running, for tests that wait for them to end.
    static int RunningThreads();

private:
    enum class TLink : uint8_t { Connecting, Up, Down };

    TNetworkPort(std::string Name, TNetworkAddress Address, TNetworkNotice Notice);
    bool Rfc2217() const { return FAddress.Protocol == TNetworkProtocol::Rfc2217; }

    void Run();
    void Pump();
    bool ReceiveFromSocket();
    void Fail(const std::string& Why, int Error);
    void Tell(const std::vector<std::string>& Notices) const;
    void RequestLocked(uint8_t Command, std::string_view Value);
    void RequestChanges(const DCB& Dcb);
    // Sends the server's answers and requests: all of them (Block), or what
    // goes without waiting. The caller holds FSendLock.
    int FlushControl(bool Block);
    int SendAll(const char* Data, std::size_t Count, TDeadline Deadline, uint64_t Generation, std::size_t& Sent);
    bool WaitUntilUp(TDeadline Deadline, uint64_t Generation, std::unique_lock<std::mutex>& Lock);
    void AbortWaits(std::atomic<uint64_t>& Generation);

    const std::string FName;
    const TNetworkAddress FAddress;
    const TNetworkNotice FNotice;
    std::atomic<bool> FClosed{false};
    std::atomic<uint64_t> FRxGeneration{0};
    std::atomic<uint64_t> FTxGeneration{0};

    // Guards everything below up to FSendLock.
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    TLink FLink = TLink::Connecting;
    int FError = 0;
    TSocketId FSocket = NoSocket;  // owned by the thread; valid while Up
    std::optional<TRfc2217Client> FClient;
    std::string FReceived;
    std::size_t FReadFrom = 0;
    std::optional<DCB> FWanted;  // the settings last set
    std::optional<DCB> FSent;    // the settings last asked of the server
    COMMTIMEOUTS FTimeouts{};

    // One writer on the socket at a time; whoever holds it also sends FControl.
    std::mutex FSendLock;
    std::string FControl;
    std::mutex FReadLock;
};
