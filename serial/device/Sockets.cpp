// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/Sockets.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <algorithm>
#include <memory>
#include <system_error>

namespace {

using TClock = std::chrono::steady_clock;
// Cancelling is noticed within this long.
constexpr int CancelCheckMs = 50;

#ifdef _WIN32
using TPollFd = WSAPOLLFD;
int PollSockets(TPollFd* Fds, unsigned long Count, int TimeoutMs) { return WSAPoll(Fds, Count, TimeoutMs); }
int CloseSocketId(TSocketId Id) { return closesocket(Id); }
bool InProgress(int Error) { return Error == WSAEWOULDBLOCK || Error == WSAEINPROGRESS; }
bool WouldBlock(int Error) { return Error == WSAEWOULDBLOCK; }
constexpr int SendFlags = 0;

void StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

bool MakeNonBlocking(TSocketId Id) {
    u_long on = 1;
    return ioctlsocket(Id, FIONBIO, &on) == 0;
}
#else
using TPollFd = pollfd;
int PollSockets(TPollFd* Fds, nfds_t Count, int TimeoutMs) {
    for (;;) {
        const int ready = poll(Fds, Count, TimeoutMs);
        if (ready >= 0 || errno != EINTR) return ready;
    }
}
int CloseSocketId(TSocketId Id) { return ::close(Id); }
bool InProgress(int Error) { return Error == EINPROGRESS; }
bool WouldBlock(int Error) { return Error == EAGAIN || Error == EWOULDBLOCK || Error == EINTR; }
// A peer that is gone must give an error, not SIGPIPE.
constexpr int SendFlags = MSG_NOSIGNAL;

void StartWinsock() {}

bool MakeNonBlocking(TSocketId Id) {
    const int flags = fcntl(Id, F_GETFL);
    return flags != -1 && fcntl(Id, F_SETFL, flags | O_NONBLOCK) == 0;
}
#endif

struct TAddressInfoFree {
    void operator()(addrinfo* Info) const { freeaddrinfo(Info); }
};

TSocket OpenSocket(const addrinfo& Address) {
#ifdef _WIN32
    TSocket socket(::socket(Address.ai_family, Address.ai_socktype, Address.ai_protocol));
#else
    TSocket socket(::socket(Address.ai_family, Address.ai_socktype | SOCK_CLOEXEC, Address.ai_protocol));
#endif
    if (!socket || !MakeNonBlocking(socket.Get())) return {};
    // Keystrokes and commands go out at once.
    int on = 1;
    setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return socket;
}

// 0 once Socket is connected, else the error; ETIMEDOUT-like when Deadline passed.
int AwaitConnect(TSocketId Socket, TClock::time_point Deadline, const std::atomic<bool>& Cancelled, bool& TimedOut) {
    while (!Cancelled) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(Deadline - TClock::now()).count();
        if (left <= 0) {
            TimedOut = true;
            return 0;
        }
        TPollFd fd{};
        fd.fd = Socket;
        fd.events = POLLOUT;
        const int ready = PollSockets(&fd, 1, static_cast<int>(std::min<long long>(left, CancelCheckMs)));
        if (ready < 0) return SocketError();
        if (ready == 0) continue;
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(Socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) return SocketError();
        return error;
    }
    TimedOut = true;
    return 0;
}

}  // namespace

TSocket& TSocket::operator=(TSocket&& Other) noexcept {
    if (this != &Other) {
        Close();
        FId = Other.FId;
        Other.FId = NoSocket;
    }
    return *this;
}

void TSocket::Close() {
    if (FId != NoSocket) CloseSocketId(FId);
    FId = NoSocket;
}

TConnectResult ConnectWithin(const std::string& Host, uint16_t Port, std::chrono::milliseconds Limit,
                             const std::atomic<bool>& Cancelled) {
    StartWinsock();
    const TClock::time_point deadline = TClock::now() + Limit;
    const std::string hostAndPort = (Host.find(':') != std::string::npos ? "[" + Host + "]" : Host) + ":" +
                                    std::to_string(Port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(Host.c_str(), std::to_string(Port).c_str(), &hints, &found);
    if (resolved != 0) {
        TConnectResult result;
#ifdef _WIN32
        result.Error = resolved;
        result.Why = "Cannot find the host " + Host + ": " + SocketErrorText(resolved);
#else
        result.Error = resolved == EAI_SYSTEM ? errno : EHOSTUNREACH;
        result.Why = "Cannot find the host " + Host + ": " + gai_strerror(resolved);
#endif
        return result;
    }
    const std::unique_ptr<addrinfo, TAddressInfoFree> addresses(found);
    TConnectResult result;
    for (const addrinfo* address = found; address && !Cancelled; address = address->ai_next) {
        TSocket socket = OpenSocket(*address);
        if (!socket) {
            result.Error = SocketError();
            continue;
        }
        bool timedOut = false;
        int error = 0;
        if (::connect(socket.Get(), address->ai_addr, static_cast<socklen_t>(address->ai_addrlen)) != 0) {
            error = SocketError();
            if (InProgress(error)) error = AwaitConnect(socket.Get(), deadline, Cancelled, timedOut);
        }
        if (timedOut) {
            result.Error = static_cast<int>(std::errc::timed_out);
            result.Why = "No answer from " + hostAndPort + " within " +
                         std::to_string(std::chrono::duration_cast<std::chrono::seconds>(Limit).count()) + " s";
            return result;
        }
        if (error == 0) {
            result.Socket = std::move(socket);
            result.Error = 0;
            return result;
        }
        result.Error = error;
    }
    result.Why = "Cannot connect to " + hostAndPort + ": " + SocketErrorText(result.Error);
    return result;
}

TSocketReady WaitSocket(TSocketId Socket, bool ForWrite, int TimeoutMs) {
    TPollFd fd{};
    fd.fd = Socket;
    fd.events = ForWrite ? POLLOUT : POLLIN;
    const int ready = PollSockets(&fd, 1, TimeoutMs);
    if (ready < 0) return TSocketReady::Failed;
    if (ready == 0) return TSocketReady::Nothing;
    if (fd.revents & (ForWrite ? POLLOUT : POLLIN)) return ForWrite ? TSocketReady::Write : TSocketReady::Read;
    // A hang-up with data still to read reads first; a failure without any shows here.
    return fd.revents & POLLHUP && !ForWrite ? TSocketReady::Read : TSocketReady::Failed;
}

long SendSome(TSocketId Socket, const char* Data, std::size_t Count, int& Error) {
    const auto chunk = static_cast<int>(std::min<std::size_t>(Count, 1 << 20));
    const long sent = ::send(Socket, Data, chunk, SendFlags);
    if (sent >= 0) return sent;
    Error = SocketError();
    return WouldBlock(Error) ? 0 : -1;
}

long ReceiveSome(TSocketId Socket, char* Buffer, std::size_t Count, int& Error) {
    const auto chunk = static_cast<int>(std::min<std::size_t>(Count, 1 << 20));
    const long received = ::recv(Socket, Buffer, chunk, 0);
    if (received > 0) return received;
    Error = received == 0 ? ConnectionClosedError() : SocketError();
    return received < 0 && WouldBlock(Error) ? 0 : -1;
}

int SocketError() {
#ifdef _WIN32
    return WSAGetLastError();
#else
    return errno;
#endif
}

int ConnectionClosedError() {
#ifdef _WIN32
    return WSAEDISCON;
#else
    return EPIPE;
#endif
}

std::string SocketErrorText(int Error) {
    if (Error == static_cast<int>(std::errc::timed_out)) return "timed out";
    return std::system_category().message(Error);
}
