// SPDX-License-Identifier: GPL-3.0-or-later
// The receive loop, manual receive and the received-data accessors.
#include "serial/OrvelSerialPort.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <utility>
#include <new>
#include <thread>

namespace {

// Below this pause the loop polls too often to scan the present ports.
constexpr uint32_t kPresenceCheckMinDelay = 50;
// After a read this large the driver may hold more than its queue showed;
// the pass waits up to kRefillWait for the refill (a quarter of what a Linux
// line discipline holds, and a few milliseconds of the fastest listed rate),
// looking soon and then less and less often: a USB device refills 4 KB in a
// fraction of a millisecond, while on a busy machine the kernel may take
// several to move it.
constexpr DWORD kRefillAfter = 1024;
// A pass that took a line discipline's worth came from a fast stream.
constexpr std::size_t kFastPass = 4096;
// The pause after such a pass, when Delay is longer.
constexpr uint32_t kFastStreamPause = 10;
constexpr auto kRefillWait = std::chrono::milliseconds(10);
constexpr auto kFirstRefillLook = std::chrono::microseconds(50);
// Received data waiting for a main thread that has fallen behind; past this
// the loop waits for it rather than let memory grow without end. Most of a
// second of a 20 MB/s stream: on a busy machine the main thread may get
// little of a processor for that long.
constexpr std::size_t kPendingLimit = 16u << 20;
constexpr int kRoomCheckMs = 10;
// The most the main thread is given in one turn of its event loop: the
// window takes a few milliseconds for it on a busy machine.
constexpr std::size_t kDeliverySlice = 256u << 10;
// While a port is paced by Delay, the driver's queue is looked at this often;
// holding this much ends the pause, well before a Linux line discipline
// (4,095 bytes) is full and its writer waits.
constexpr uint32_t kPileLookMs = 10;
constexpr DWORD kPileUp = 1024;

}  // namespace

// ---- the receive thread --------------------------------------------------------

void TComThread::Execute() {
    TPassEnd end = peSlow;
    while (!StopRequested()) {
        const bool streaming = end == peMore;
        end = peSlow;
        if (Owner->FAutoReceive) {
            PollLineStatus();
            if (!StopRequested()) end = PollReceive(streaming);
        }
        if (StopRequested() || end == peMore) continue;  // more is waiting: the next pass starts at once
        // A fast stream that the pass caught up with is looked at again soon:
        // a pty holds less than a Delay's worth of it, and its writer would wait.
        const uint32_t delay = Owner->FDelay;
        Pause(end == peFast ? std::min(delay, kFastStreamPause) : delay);
    }
}

void TComThread::Pause(uint32_t Milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(Milliseconds);
    for (uint32_t left = Milliseconds;;) {
        CommBackend().Sleep(std::min(left, kPileLookMs));
        const auto now = std::chrono::steady_clock::now();
        if (now >= until || StopRequested() || DataPilesUp()) return;
        left = static_cast<uint32_t>(std::chrono::ceil<std::chrono::milliseconds>(until - now).count());
    }
}

bool TComThread::DataPilesUp() const {
    if (!Owner->FAutoReceive) return false;
    try {
        return Owner->WaitingCount(ComDevice) >= kPileUp;
    } catch (...) {
        return false;  // the next pass meets the failure
    }
}

void TComThread::PollLineStatus() {
    try {
        if (Owner->UpdateLineStatus(Owner->GetLineStatus(ComDevice))) RaiseEvent(&TComThread::DoExecuteLineStatus);
    } catch (...) {
        // A failing handler must not stop reception.
    }
}

TComThread::TPassEnd TComThread::PollReceive(bool Streaming) {
    try {
        DWORD waiting = Owner->WaitingCount(ComDevice);
        // Right after a fast pass the driver may not have refilled yet.
        if (waiting == 0 && Streaming) waiting = Owner->WaitForRefill(ComDevice);
        if (waiting > 0) {
            TOrvelSerialPort::TBusyScope receiving(Owner->FIsReceiving);
            AnsiString chunk;
            const bool more = Owner->ReadWaiting(ComDevice, waiting, chunk);
            if (!chunk.empty()) HandOff(chunk);
            return more ? peMore : chunk.size() >= kFastPass ? peFast : peSlow;
        }
    } catch (...) {
        // A failed query or read ends this pass only.
    }
    CheckPresence();
    return peSlow;
}

void TComThread::HandOff(const AnsiString& Chunk) {
    const bool queue = Owner->AddPending(Chunk);
    if (!Owner->FNeedSynchronization) {
        AnsiString all;
        Owner->TakePending(SIZE_MAX, all);
        Owner->DeliverTaken(all);
        return;
    }
    TOrvelSerialPort* owner = Owner;
    if (queue) TThread::Queue([owner] { owner->DeliverQueued(); });
    WaitForRoom();
}

void TComThread::WaitForRoom() {
    std::unique_lock lock(Owner->FLock);
    while (Owner->PendingBytes() > kPendingLimit && !StopRequested())
        Owner->FDelivered.wait_for(lock, std::chrono::milliseconds(kRoomCheckMs));
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

bool TOrvelSerialPort::AddPending(const AnsiString& Chunk) {
    std::lock_guard guard(FLock);
    // What was delivered goes once it is most of the buffer: the cost of
    // moving the rest stays in proportion to the bytes delivered.
    if (FPendingFrom > PendingBytes()) {
        FPending.erase(0, FPendingFrom);
        FPendingFrom = 0;
    }
    FPending += Chunk;
    return !std::exchange(FDeliveryQueued, true);
}

bool TOrvelSerialPort::TakePending(std::size_t Most, AnsiString& Chunk) {
    bool more = false;
    {
        std::lock_guard guard(FLock);
        if (PendingBytes() > Most) {
            Chunk.assign(FPending, FPendingFrom, Most);
            FPendingFrom += Most;
            more = true;
        } else {
            Chunk = FPendingFrom == 0 ? std::move(FPending) : FPending.substr(FPendingFrom);
            FPending.clear();
            FPendingFrom = 0;
        }
        FDeliveryQueued = more;
    }
    FDelivered.notify_all();
    return more;
}

void TOrvelSerialPort::DeliverTaken(const AnsiString& Chunk) {
    if (Chunk.empty()) return;
    TBusyScope receiving(FIsReceiving);
    try {
        DeliverChunk(Chunk);
    } catch (...) {
        // The chunk stays stored; a failing handler or log only ends its delivery.
    }
}

void TOrvelSerialPort::DeliverQueued() {
    AnsiString chunk;
    // The rest is handed off first: a handler that waits for the receive
    // thread (closing the port) serves it meanwhile.
    if (TakePending(kDeliverySlice, chunk)) TThread::Queue([this] { DeliverQueued(); });
    DeliverTaken(chunk);
}

bool TOrvelSerialPort::DeliveryWaiting() const {
    std::lock_guard guard(FLock);
    return FDeliveryQueued;
}

void TOrvelSerialPort::WaitUntilDelivered() {
    std::unique_lock lock(FLock);
    while (FDeliveryQueued) FDelivered.wait_for(lock, std::chrono::milliseconds(kRoomCheckMs));
}

void TOrvelSerialPort::DeliverChunk(const AnsiString& Chunk) {
    StoreChunk(Chunk);
    if (const TSendReceiveEvent handler = GetOnReceive()) handler(this, Chunk);
    if (FLogInput) LogChunk(Chunk);
}

void TOrvelSerialPort::LogChunk(const AnsiString& Chunk) {
    try {
        WriteLog(Chunk);
    } catch (const EOrvelSerialPortException& failure) {
        {
            std::lock_guard guard(FLock);
            FFailedLogFile = FLogFile;
            FLogFailure = failure.what();
        }
        NotifyLogError();
        throw;
    }
}

// A line discipline holds far less than a driver's input queue (4,095 bytes on
// Linux), so what arrives while reading is taken as well, up to the size of
// the input queue the component asks for.
bool TOrvelSerialPort::ReadWaiting(HANDLE ComDevice, DWORD Waiting, AnsiString& Chunk) const {
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
        if (read < wanted) return false;
        if (Chunk.size() >= limit) return true;
        DWORD more = WaitingCount(ComDevice);
        // A pty or a UART driver moves what it buffered into the line
        // discipline in the background once a large read has made room:
        // without this moment a fast stream waits a whole Delay and its
        // writer stalls. A small read is a trickle, which must not keep
        // the pass going.
        if (more == 0) {
            // A small read ends the pass; if the pass took more than a slow
            // port sends between two looks, the read caught the driver in
            // the middle of a refill and the next pass looks again at once.
            if (read < kRefillAfter) return Chunk.size() >= kFastPass;
            more = WaitForRefill(ComDevice);
            // A refill that is late on a busy machine is looked for again at once.
            if (more == 0) return true;
        }
        wanted = static_cast<DWORD>(std::min<std::size_t>(more, limit - Chunk.size()));
    }
    return false;
}

DWORD TOrvelSerialPort::WaitForRefill(HANDLE ComDevice) const {
    const auto until = std::chrono::steady_clock::now() + kRefillWait;
    DWORD more = 0;
    for (auto look = kFirstRefillLook; more == 0 && std::chrono::steady_clock::now() < until; look *= 2) {
        std::this_thread::sleep_for(look);
        more = WaitingCount(ComDevice);
    }
    return more;
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
        const DWORD waiting = WaitingCount(device);
        if (waiting > 0) {
            TBusyScope receiving(FIsReceiving);
            ReadWaiting(device, waiting, chunk);
            if (!chunk.empty()) DeliverChunk(chunk);
            return chunk;
        }
    } catch (...) {
        // The chunk was stored before its handler or log failed: it is still the caller's.
        return chunk;
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
