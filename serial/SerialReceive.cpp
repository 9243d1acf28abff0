// SPDX-License-Identifier: GPL-3.0-or-later
// The receive loop, manual receive and the received-data accessors.
#include "serial/OrvelSerialPort.h"

#include <algorithm>
#include <new>

namespace {

// Below this pause the loop polls too often to scan the present ports.
constexpr uint32_t kPresenceCheckMinDelay = 50;
// After a read this large the driver may hold more than its queue showed;
// the pass waits this long for the refill (a quarter of what a Linux line
// discipline holds, and a few milliseconds of the fastest listed rate).
constexpr DWORD kRefillAfter = 1024;
constexpr uint32_t kRefillPause = 2;

}  // namespace

// ---- the receive thread --------------------------------------------------------

void TComThread::Execute() {
    while (!StopRequested()) {
        if (Owner->FAutoReceive) {
            PollLineStatus();
            if (!StopRequested()) PollReceive();
        }
        if (!StopRequested()) TThread::Sleep(Owner->FDelay);
    }
}

void TComThread::PollLineStatus() {
    try {
        if (Owner->UpdateLineStatus(Owner->GetLineStatus(ComDevice))) RaiseEvent(&TComThread::DoExecuteLineStatus);
    } catch (...) {
        // A failing handler must not stop reception.
    }
}

void TComThread::PollReceive() {
    AnsiString chunk;
    try {
        const auto raise = [this](const std::function<void()>& Notify) { Deliver(Notify); };
        if (Owner->ReceiveWaiting(ComDevice, raise, chunk)) return;
    } catch (...) {
        // The chunk stays stored; a failing handler or log only ends its delivery.
    }
    CheckPresence();
}

void TComThread::CheckPresence() {
    if (Owner->FDelay < kPresenceCheckMinDelay) return;
    try {
        if (!Owner->IsPortPresent()) Terminate();
    } catch (...) {
        Terminate();
    }
}

void TComThread::DoExecuteLineStatus() { Owner->NotifyLineStatus(); }

// ---- reception shared by the loop and ReadBuffer -------------------------------

DWORD TOrvelSerialPort::WaitingCount(HANDLE ComDevice) const {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!CommBackend().ClearCommError(ComDevice, &errors, &stat)) return 0;
    return stat.cbInQue;
}

bool TOrvelSerialPort::ReceiveWaiting(HANDLE ComDevice, const TRaise& Raise, AnsiString& Chunk) {
    const DWORD waiting = WaitingCount(ComDevice);
    if (waiting == 0) return false;
    TBusyScope receiving(FIsReceiving);
    ReadWaiting(ComDevice, waiting, Chunk);
    if (Chunk.empty()) return true;
    StoreChunk(Chunk);
    Raise([this] { NotifyReceive(); });
    if (FLogInput) LogChunk(Chunk, Raise);
    return true;
}

void TOrvelSerialPort::LogChunk(const AnsiString& Chunk, const TRaise& Raise) {
    try {
        WriteLog(Chunk);
    } catch (const EOrvelSerialPortException& failure) {
        {
            std::lock_guard guard(FLock);
            FFailedLogFile = FLogFile;
            FLogFailure = failure.what();
        }
        if (GetOnLogError()) Raise([this] { NotifyLogError(); });
        throw;
    }
}

// A line discipline holds far less than a driver's input queue (4,095 bytes on
// Linux), so what arrives while reading is taken as well, up to the size of
// the input queue the component asks for.
void TOrvelSerialPort::ReadWaiting(HANDLE ComDevice, DWORD Waiting, AnsiString& Chunk) const {
    const std::size_t limit = FInputBuffer;
    Chunk.clear();
    for (DWORD wanted = Waiting; wanted > 0;) {
        const std::size_t before = Chunk.size();
        Chunk.resize(before + wanted);
        DWORD read = 0;
        CommBackend().ReadFile(ComDevice, Chunk.data() + before, wanted, &read, nullptr);
        read = std::min(read, wanted);
        Chunk.resize(before + read);
        // A short read ended in a time-out or an abort: nothing more to take now.
        if (read < wanted || Chunk.size() >= limit) return;
        DWORD more = WaitingCount(ComDevice);
        if (more == 0 && read >= kRefillAfter) {
            // A pty or a UART driver moves what it buffered into the line
            // discipline in the background once a large read has made room:
            // without this moment a fast stream waits a whole Delay and its
            // writer stalls. A small read is a trickle, which must not keep
            // the pass going.
            TThread::Sleep(kRefillPause);
            more = WaitingCount(ComDevice);
        }
        wanted = static_cast<DWORD>(std::min<std::size_t>(more, limit - Chunk.size()));
    }
}

void TOrvelSerialPort::StoreChunk(const AnsiString& Chunk) {
    std::lock_guard guard(FLock);
    FReadBuffer = Chunk;
    if (!FKeepEntireBuffer) return;
    try {
        FEntireBuffer += Chunk;
    } catch (const std::bad_alloc&) {
        // Out of memory: start accumulating afresh rather than lose this chunk's delivery.
        AnsiString().swap(FEntireBuffer);
    }
}

void TOrvelSerialPort::NotifyReceive() {
    const TSendReceiveEvent handler = GetOnReceive();
    if (!handler) return;
    AnsiString chunk;
    {
        std::lock_guard guard(FLock);
        chunk = FReadBuffer;
    }
    handler(this, std::move(chunk));
}

void TOrvelSerialPort::NotifyLineStatus() {
    const TLineStatusEvent handler = GetOnLineStatusChange();
    if (!handler) return;
    TLineStatusSet lines;
    {
        std::lock_guard guard(FLock);
        lines = FLineStatus;
    }
    handler(this, lines);
}

void TOrvelSerialPort::NotifyLogError() {
    const TLogErrorEvent handler = GetOnLogError();
    if (!handler) return;
    UnicodeString file;
    AnsiString message;
    {
        std::lock_guard guard(FLock);
        file = FFailedLogFile;
        message = FLogFailure;
    }
    handler(this, std::move(file), std::move(message));
}

bool TOrvelSerialPort::UpdateLineStatus(TLineStatusSet Lines) {
    std::lock_guard guard(FLock);
    if (Lines == FLineStatus) return false;
    FLineStatus = Lines;
    return true;
}

bool TOrvelSerialPort::IsPortPresent() const {
    // The port that is open, not the one selected since: changing Port while
    // connected must not end the connection.
    const TCommPort connected = ConnectedTo;
    if (connected != spCustom) return GetExistingCommPorts().Contains(connected);
    // Custom names are told apart by name: another custom device being there
    // says nothing of this one (a network port whose connection is lost).
    AnsiString name;
    {
        std::lock_guard guard(FLock);
        name = FConnectedName;
    }
    TStringList present;
    GetExistingCommPortNames(&present);
    for (int i = 0; i < present.Count(); ++i)
        if (present[i] == Trim(name)) return true;
    return false;
}

// ---- manual receive and the accessors ------------------------------------------

AnsiString TOrvelSerialPort::ReadBuffer() {
    if (FAutoReceive) return {};
    const HANDLE device = CurrentDevice();
    if (device == INVALID_HANDLE_VALUE) return {};
    AnsiString chunk;
    try {
        const auto raise = [](const std::function<void()>& Notify) { Notify(); };
        if (ReceiveWaiting(device, raise, chunk)) return chunk;
    } catch (...) {
        // The chunk was stored before its handler or log failed: it is still the caller's.
    }
    try {
        if (!IsPortPresent()) Close();
    } catch (...) {
        // Reading never raises; the next call checks again.
    }
    return chunk;
}

UnicodeString TOrvelSerialPort::GetReadBuffer() const {
    AnsiString chunk;
    {
        std::lock_guard guard(FLock);
        chunk = FReadBuffer;
    }
    return AnsiToUnicode(chunk);
}

UnicodeString TOrvelSerialPort::GetEntireBuffer() const {
    AnsiString all;
    {
        std::lock_guard guard(FLock);
        all = FEntireBuffer;
    }
    return AnsiToUnicode(all);
}

uint32_t TOrvelSerialPort::GetBufferSize() const {
    const HANDLE device = CurrentDevice();
    if (device == INVALID_HANDLE_VALUE) return 0;
    try {
        return WaitingCount(device);
    } catch (...) {
        return 0;
    }
}
