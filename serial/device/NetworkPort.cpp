// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/NetworkPort.h"

#include <algorithm>
#include <thread>

namespace {

std::atomic<int> Running{0};
// Waits are cut into slices this long to notice a close or an abort.
constexpr int SliceMs = 50;
// Received bytes are taken from the socket in pieces this large.
constexpr std::size_t ReceiveChunk = 64 * 1024;
// The line-state bits the server should report: break, framing, parity, overrun.
constexpr char LineErrorMask = 0x1E;

#ifdef _WIN32
constexpr int NotSupported = 50;  // ERROR_NOT_SUPPORTED
#else
constexpr int NotSupported = EOPNOTSUPP;
#endif

std::string ByteValue(uint8_t Value) { return std::string(1, static_cast<char>(Value)); }

std::string BigEndian(uint32_t Value) {
    return {static_cast<char>(Value >> 24), static_cast<char>(Value >> 16), static_cast<char>(Value >> 8),
            static_cast<char>(Value)};
}

uint8_t ParityCode(BYTE Parity) { return Parity <= SPACEPARITY ? static_cast<uint8_t>(Parity + 1) : 1; }

uint8_t StopCode(BYTE StopBits) { return StopBits == ONE5STOPBITS ? 3 : StopBits == TWOSTOPBITS ? 2 : 1; }

BYTE StopBitsOfCode(uint8_t Code) { return Code == 3 ? ONE5STOPBITS : Code == 2 ? TWOSTOPBITS : ONESTOPBIT; }

uint8_t FlowCode(DWORD Flags) {
    if ((Flags & DcbFlags::OutxCtsFlow) || DcbFlags::RtsControl(Flags) == RTS_CONTROL_HANDSHAKE)
        return ComPort::FlowHardware;
    return Flags & (DcbFlags::OutX | DcbFlags::InX) ? ComPort::FlowXonXoff : ComPort::FlowNone;
}

// The CE_ bits of the line-state error bits.
DWORD CommErrorsOf(uint8_t LineState) {
    return (LineState & 0x02 ? CE_OVERRUN : 0) | (LineState & 0x04 ? CE_RXPARITY : 0) |
           (LineState & 0x08 ? CE_FRAME : 0) | (LineState & 0x10 ? CE_BREAK : 0);
}

// How many bytes of Source the first WireSent bytes of its escaped form
// carry; Split tells that the last one sent was half of a doubled IAC.
std::size_t SourceBytesSent(std::string_view Source, std::size_t WireSent, bool& Split) {
    std::size_t wire = 0, source = 0;
    Split = false;
    while (source < Source.size() && wire < WireSent) {
        const bool iac = static_cast<uint8_t>(Source[source]) == Telnet::IAC;
        wire += iac ? 2 : 1;
        if (wire > WireSent) Split = true;
        ++source;
    }
    return source;
}

}  // namespace

std::shared_ptr<TNetworkPort> TNetworkPort::Start(std::string Name, TNetworkAddress Address, TNetworkNotice Notice) {
    std::shared_ptr<TNetworkPort> port(new TNetworkPort(std::move(Name), std::move(Address), std::move(Notice)));
    ++Running;
    try {
        // The thread keeps the port alive, so closing never waits for the network.
        std::thread([port] {
            port->Run();
            --Running;
        }).detach();
    } catch (...) {
        --Running;
        throw;
    }
    return port;
}

int TNetworkPort::RunningThreads() { return Running; }

TNetworkPort::TNetworkPort(std::string Name, TNetworkAddress Address, TNetworkNotice Notice)
    : FName(std::move(Name)), FAddress(std::move(Address)), FNotice(std::move(Notice)) {}

void TNetworkPort::Shutdown() {
    FClosed = true;
    AbortWaits(FRxGeneration);
    AbortWaits(FTxGeneration);
}

void TNetworkPort::AbortWaits(std::atomic<uint64_t>& Generation) {
    ++Generation;
    std::lock_guard lock(FLock);
    FChanged.notify_all();
}

bool TNetworkPort::Alive() const {
    std::lock_guard lock(FLock);
    return FLink != TLink::Down && !FClosed;
}

// ---- the port's thread ---------------------------------------------------------

void TNetworkPort::Run() {
    TConnectResult connected = ConnectWithin(FAddress.Host, FAddress.Port, ConnectLimit, FClosed);
    if (FClosed) return;
    if (!connected.Socket) return Fail(connected.Why, connected.Error);
    TSocket socket = std::move(connected.Socket);
    {
        std::lock_guard lock(FLock);
        FSocket = socket.Get();
        FLink = TLink::Up;
        if (Rfc2217()) {
            FClient.emplace(TRfc2217Client::TClock::now());
            RequestLocked(ComPort::SetLineStateMask, ByteValue(LineErrorMask));
            if (FWanted) RequestChanges(*FWanted);
        }
        FChanged.notify_all();
    }
    Pump();
    // A writer may be using the socket: it goes only once none is.
    std::lock_guard sending(FSendLock);
    std::lock_guard lock(FLock);
    FSocket = NoSocket;
    if (FLink == TLink::Up) FLink = TLink::Down;
    FChanged.notify_all();
}

void TNetworkPort::Pump() {
    while (!FClosed) {
        bool controlWaits = false;
        if (std::unique_lock sending(FSendLock, std::try_to_lock); sending) controlWaits = FlushControl(false) != 0;
        int timeout = controlWaits ? 5 : SliceMs;
        {
            std::unique_lock lock(FLock);
            if (FReceived.size() - FReadFrom >= MaxQueued) {
                FChanged.wait_for(lock, std::chrono::milliseconds(SliceMs));
                continue;
            }
            if (FClient) {
                if (const auto next = FClient->NextDeadline()) timeout = std::min(timeout, PollTimeout(*next));
            }
        }
        const TSocketReady ready = WaitSocket(FSocket, false, timeout);
        if (ready != TSocketReady::Nothing && !ReceiveFromSocket()) return;
        std::vector<std::string> notices;
        {
            std::lock_guard lock(FLock);
            if (FClient) notices = FClient->TakeNotices(TRfc2217Client::TClock::now());
        }
        Tell(notices);
    }
}

bool TNetworkPort::ReceiveFromSocket() {
    std::string buffer(ReceiveChunk, '\0');
    int error = 0;
    const long received = ReceiveSome(FSocket, buffer.data(), buffer.size(), error);
    if (received == 0) return true;
    if (received < 0) {
        if (error == ConnectionClosedError())
            Fail(FAddress.HostAndPort() + " closed the connection", error);
        else
            Fail("The connection to " + FAddress.HostAndPort() + " failed: " + SocketErrorText(error), error);
        return false;
    }
    const std::string_view bytes(buffer.data(), static_cast<std::size_t>(received));
    std::lock_guard lock(FLock);
    if (FReadFrom > 0 && FReadFrom * 2 >= FReceived.size()) {
        FReceived.erase(0, FReadFrom);
        FReadFrom = 0;
    }
    if (FClient)
        FClient->Receive(bytes, FReceived, TRfc2217Client::TClock::now());
    else
        FReceived.append(bytes);
    FChanged.notify_all();
    return true;
}

void TNetworkPort::Fail(const std::string& Why, int Error) {
    {
        std::lock_guard lock(FLock);
        FLink = TLink::Down;
        FError = Error != 0 ? Error : static_cast<int>(ERROR_GEN_FAILURE);
        FChanged.notify_all();
    }
    if (!FClosed) Tell({Why});
}

void TNetworkPort::Tell(const std::vector<std::string>& Notices) const {
    if (!FNotice) return;
    for (const std::string& notice : Notices) FNotice(FName, notice);
}

// ---- sending -------------------------------------------------------------------

int TNetworkPort::FlushControl(bool Block) {
    TSocketId socket;
    {
        std::lock_guard lock(FLock);
        if (FClient) FControl += FClient->TakeOutgoing();
        if (FLink != TLink::Up) return 0;
        socket = FSocket;
    }
    if (FControl.empty()) return 0;
    std::size_t sent = 0;
    if (Block) {
        SendAll(FControl.data(), FControl.size(), {}, FTxGeneration, sent);
    } else {
        int error = 0;
        sent = static_cast<std::size_t>(std::max(0L, SendSome(socket, FControl.data(), FControl.size(), error)));
    }
    FControl.erase(0, sent);
    return FControl.empty() ? 0 : 1;
}

int TNetworkPort::SendAll(const char* Data, std::size_t Count, TDeadline Deadline, uint64_t Generation,
                          std::size_t& Sent) {
    Sent = 0;
    while (Sent < Count) {
        if (FClosed) return static_cast<int>(ERROR_INVALID_HANDLE);
        if (FTxGeneration != Generation) return static_cast<int>(ERROR_OPERATION_ABORTED);
        TSocketId socket;
        {
            std::lock_guard lock(FLock);
            if (FLink == TLink::Down) return FError;
            socket = FSocket;
        }
        int error = 0;
        const long n = SendSome(socket, Data + Sent, Count - Sent, error);
        if (n < 0) return error;
        if (n > 0) {
            Sent += static_cast<std::size_t>(n);
            continue;
        }
        if (Deadline && TTimeoutClock::now() >= *Deadline) return 0;
        WaitSocket(socket, true, std::min(SliceMs, Deadline ? PollTimeout(Deadline) : SliceMs));
    }
    return 0;
}

bool TNetworkPort::WaitUntilUp(TDeadline Deadline, uint64_t Generation, std::unique_lock<std::mutex>& Lock) {
    const auto settled = [&] { return FLink != TLink::Connecting || FClosed || FTxGeneration != Generation; };
    if (Deadline)
        FChanged.wait_until(Lock, *Deadline, settled);
    else
        FChanged.wait(Lock, settled);
    return FLink == TLink::Up && !FClosed && FTxGeneration == Generation;
}

int TNetworkPort::Write(const char* Buffer, DWORD Count, DWORD& Done) {
    Done = 0;
    const uint64_t generation = FTxGeneration;
    COMMTIMEOUTS timeouts;
    {
        std::lock_guard lock(FLock);
        timeouts = FTimeouts;
    }
    const TDeadline deadline =
        TotalDeadline(TTimeoutClock::now(), timeouts.WriteTotalTimeoutMultiplier, timeouts.WriteTotalTimeoutConstant, Count);
    {
        std::unique_lock lock(FLock);
        if (FClosed) return static_cast<int>(ERROR_INVALID_HANDLE);
        if (!WaitUntilUp(deadline, generation, lock)) {
            if (FClosed) return static_cast<int>(ERROR_INVALID_HANDLE);
            if (FTxGeneration != generation) return static_cast<int>(ERROR_OPERATION_ABORTED);
            return FLink == TLink::Down ? FError : 0;
        }
    }
    std::lock_guard sending(FSendLock);
    FlushControl(true);
    const std::string_view source(Buffer, Count);
    std::string escaped;
    if (Rfc2217()) TRfc2217Client::AppendEscaped(source, escaped);
    const std::string_view wire = Rfc2217() ? std::string_view(escaped) : source;
    std::size_t sent = 0;
    const int error = SendAll(wire.data(), wire.size(), deadline, generation, sent);
    bool split = false;
    Done = static_cast<DWORD>(Rfc2217() ? SourceBytesSent(source, sent, split) : sent);
    if (split) {
        // Half an escaped IAC would turn the next byte into a command.
        std::size_t rest = 0;
        SendAll(wire.data() + sent, 1, {}, FTxGeneration, rest);
    }
    return error;
}

// ---- reading and status ----------------------------------------------------------

int TNetworkPort::Read(char* Buffer, DWORD Count, DWORD& Done) {
    Done = 0;
    std::lock_guard reading(FReadLock);
    const uint64_t generation = FRxGeneration;
    std::unique_lock lock(FLock);
    if (FClosed) return static_cast<int>(ERROR_INVALID_HANDLE);
    const TReadPlan plan = PlanRead(FTimeouts, Count, TTimeoutClock::now());
    TDeadline pauseEnd;
    while (Done < Count) {
        const std::size_t available = FReceived.size() - FReadFrom;
        if (available > 0) {
            const std::size_t n = std::min<std::size_t>(available, Count - Done);
            std::copy_n(FReceived.data() + FReadFrom, n, Buffer + Done);
            FReadFrom += n;
            Done += static_cast<DWORD>(n);
            FChanged.notify_all();  // room for the port's thread
            if (plan.FirstBytes) break;
            if (plan.Interval) pauseEnd = TTimeoutClock::now() + *plan.Interval;
            continue;
        }
        if (plan.AtOnce) break;
        if (FClosed) return static_cast<int>(ERROR_INVALID_HANDLE);
        if (FRxGeneration != generation) return static_cast<int>(ERROR_OPERATION_ABORTED);
        if (FLink == TLink::Down) return Done > 0 ? 0 : FError;
        const TDeadline until = Earliest(plan.Total, pauseEnd);
        if (until && TTimeoutClock::now() >= *until) break;
        if (until)
            FChanged.wait_until(lock, *until);
        else
            FChanged.wait(lock);
    }
    return 0;
}

int TNetworkPort::QueryStatus(DWORD& Errors, COMSTAT& Stat) {
    std::lock_guard lock(FLock);
    if (FClosed) return static_cast<int>(ERROR_INVALID_HANDLE);
    Stat = {0, static_cast<DWORD>(std::min<std::size_t>(FReceived.size() - FReadFrom, MAXDWORD)), 0};
    Errors = FClient ? CommErrorsOf(FClient->TakeLineErrors()) : 0;
    return 0;
}

int TNetworkPort::ModemStatus(DWORD& Status) const {
    std::lock_guard lock(FLock);
    if (FClosed) return static_cast<int>(ERROR_INVALID_HANDLE);
    // Like a device without modem lines until the server reports them.
    if (!FClient || !FClient->ModemState()) return NotSupported;
    Status = *FClient->ModemState() & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
    return 0;
}

void TNetworkPort::SetTimeouts(const COMMTIMEOUTS& Timeouts) {
    std::lock_guard lock(FLock);
    FTimeouts = Timeouts;
}

// ---- settings and line control ------------------------------------------------------

void TNetworkPort::RequestLocked(uint8_t Command, std::string_view Value) {
    FClient->Request(Command, Value, TRfc2217Client::TClock::now());
}

void TNetworkPort::RequestChanges(const DCB& Dcb) {
    const std::optional<DCB> before = FSent;
    const auto changed = [&](auto Field) { return !before || Field(*before) != Field(Dcb); };
    if (changed([](const DCB& D) { return D.BaudRate; })) RequestLocked(ComPort::SetBaudRate, BigEndian(Dcb.BaudRate));
    if (changed([](const DCB& D) { return D.ByteSize; })) RequestLocked(ComPort::SetDataSize, ByteValue(Dcb.ByteSize));
    if (changed([](const DCB& D) { return D.Parity; })) RequestLocked(ComPort::SetParity, ByteValue(ParityCode(Dcb.Parity)));
    if (changed([](const DCB& D) { return D.StopBits; }))
        RequestLocked(ComPort::SetStopSize, ByteValue(StopCode(Dcb.StopBits)));
    if (changed([](const DCB& D) { return FlowCode(D.Flags); }))
        RequestLocked(ComPort::SetControl, ByteValue(FlowCode(Dcb.Flags)));
    const auto dtrOn = [](const DCB& D) { return DcbFlags::DtrControl(D.Flags) != DTR_CONTROL_DISABLE; };
    if (changed(dtrOn)) RequestLocked(ComPort::SetControl, ByteValue(dtrOn(Dcb) ? ComPort::DtrOn : ComPort::DtrOff));
    const auto rtsOn = [](const DCB& D) { return DcbFlags::RtsControl(D.Flags) != RTS_CONTROL_DISABLE; };
    if (changed(rtsOn) && DcbFlags::RtsControl(Dcb.Flags) != RTS_CONTROL_HANDSHAKE)
        RequestLocked(ComPort::SetControl, ByteValue(rtsOn(Dcb) ? ComPort::RtsOn : ComPort::RtsOff));
    FSent = Dcb;
}

int TNetworkPort::SetState(const DCB& Dcb) {
    if (Dcb.BaudRate == 0) return static_cast<int>(ERROR_INVALID_PARAMETER);
    {
        std::lock_guard lock(FLock);
        if (FClosed) return static_cast<int>(ERROR_INVALID_HANDLE);
        // Over raw TCP the settings stay here: the device never sees them.
        FWanted = Dcb;
        if (FClient) RequestChanges(Dcb);
    }
    if (std::unique_lock sending(FSendLock, std::try_to_lock); sending) FlushControl(false);
    return 0;
}

int TNetworkPort::GetState(DCB& Dcb) const {
    std::lock_guard lock(FLock);
    if (FClosed) return static_cast<int>(ERROR_INVALID_HANDLE);
    Dcb = FWanted.value_or(DCB{});
    Dcb.DCBlength = sizeof(DCB);
    if (!FClient) return 0;
    // What the server answered is what is in force.
    const TRfc2217Client::TAnswered& answered = FClient->Answered();
    if (answered.Baud) Dcb.BaudRate = *answered.Baud;
    if (answered.DataSize) Dcb.ByteSize = *answered.DataSize;
    if (answered.Parity && *answered.Parity >= 1 && *answered.Parity <= 5) Dcb.Parity = static_cast<BYTE>(*answered.Parity - 1);
    if (answered.StopSize) Dcb.StopBits = StopBitsOfCode(*answered.StopSize);
    return 0;
}

int TNetworkPort::Purge(DWORD Flags) {
    if (Flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return static_cast<int>(ERROR_INVALID_PARAMETER);
    if (Flags & PURGE_TXABORT) AbortWaits(FTxGeneration);
    if (Flags & PURGE_RXABORT) AbortWaits(FRxGeneration);
    const uint8_t serverSide = (Flags & PURGE_RXCLEAR ? 1 : 0) | (Flags & PURGE_TXCLEAR ? 2 : 0);
    {
        std::lock_guard lock(FLock);
        if (FClosed) return static_cast<int>(ERROR_INVALID_HANDLE);
        if (Flags & PURGE_RXCLEAR) {
            FReceived.clear();
            FReadFrom = 0;
            FChanged.notify_all();
        }
        if (FClient && serverSide) RequestLocked(ComPort::PurgeData, ByteValue(serverSide));
    }
    if (std::unique_lock sending(FSendLock, std::try_to_lock); sending) FlushControl(false);
    return 0;
}

int TNetworkPort::Escape(DWORD Func) {
    if (!Rfc2217()) return NotSupported;
    uint8_t command = ComPort::SetControl;
    uint8_t value = 0;
    switch (Func) {
    case SETXOFF: command = ComPort::FlowControlSuspend; break;
    case SETXON: command = ComPort::FlowControlResume; break;
    case SETRTS: value = ComPort::RtsOn; break;
    case CLRRTS: value = ComPort::RtsOff; break;
    case SETDTR: value = ComPort::DtrOn; break;
    case CLRDTR: value = ComPort::DtrOff; break;
    case SETBREAK: value = ComPort::BreakOn; break;
    case CLRBREAK: value = ComPort::BreakOff; break;
    default: return static_cast<int>(ERROR_INVALID_PARAMETER);
    }
    {
        std::lock_guard lock(FLock);
        if (FClosed) return static_cast<int>(ERROR_INVALID_HANDLE);
        // Still connecting: the line goes out with the settings once connected.
        if (!FClient) return 0;
        RequestLocked(command, value ? ByteValue(value) : std::string());
    }
    if (std::unique_lock sending(FSendLock, std::try_to_lock); sending) FlushControl(false);
    return 0;
}
