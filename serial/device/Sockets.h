// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The few socket calls the network ports make, on BSD sockets or Winsock.
// Sockets are non-blocking; waits are poll()s the caller bounds.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#ifdef _WIN32
using TSocketId = uintptr_t;
inline constexpr TSocketId NoSocket = ~TSocketId{0};
#else
using TSocketId = int;
inline constexpr TSocketId NoSocket = -1;
#endif

// An owned socket.
class TSocket {
public:
    TSocket() = default;
    explicit TSocket(TSocketId Id) : FId(Id) {}
    TSocket(TSocket&& Other) noexcept : FId(Other.FId) { Other.FId = NoSocket; }
    TSocket& operator=(TSocket&& Other) noexcept;
    ~TSocket() { Close(); }

    TSocketId Get() const { return FId; }
    explicit operator bool() const { return FId != NoSocket; }
    void Close();

private:
    TSocketId FId = NoSocket;
};

struct TConnectResult {
    TSocket Socket;   // connected, or empty
    int Error = 0;    // the platform's error code when it failed
    std::string Why;  // for a person, naming the host
};

// Resolves Host and connects to Port on the first address that answers
// within Limit in all. Gives up early when Cancelled turns true.
TConnectResult ConnectWithin(const std::string& Host, uint16_t Port, std::chrono::milliseconds Limit,
                             const std::atomic<bool>& Cancelled);

// What a wait found: ready for what was asked, a failure, or nothing in time.
enum class TSocketReady : uint8_t { Nothing, Read, Write, Failed };
TSocketReady WaitSocket(TSocketId Socket, bool ForWrite, int TimeoutMs);

// The bytes moved, 0 when the call would block, or -1 with Error set (a peer
// that ended the connection in order reads as ConnectionClosedError()).
long SendSome(TSocketId Socket, const char* Data, std::size_t Count, int& Error);
long ReceiveSome(TSocketId Socket, char* Buffer, std::size_t Count, int& Error);
int SocketError();
// The error code of a connection the peer ended in order.
int ConnectionClosedError();
// The system's text for a socket error code.
std::string SocketErrorText(int Error);
