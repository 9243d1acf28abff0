// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/FakeCommBackend.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <type_traits>

namespace {

thread_local DWORD LastError = 0;

// Its address stands for the loaded winmm.dll.
char WinmmModule;

bool IsWinmm(const char* Name) {
    if (!Name) return false;
    std::string lower(Name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower == "winmm.dll" || lower == "winmm";
}

void RecordInCurrentFake(const char* Function, UINT Period) {
    if (auto* fake = dynamic_cast<TFakeCommBackend*>(&CommBackend())) fake->RecordTimePeriod(Function, Period);
}

UINT FakeTimeBeginPeriod(UINT Period) {
    RecordInCurrentFake("timeBeginPeriod", Period);
    return 0;
}

UINT FakeTimeEndPeriod(UINT Period) {
    RecordInCurrentFake("timeEndPeriod", Period);
    return 0;
}

static_assert(std::is_same_v<decltype(&FakeTimeBeginPeriod), TTimePeriodProc>);

}  // namespace

void TFakeCommBackend::FailCreateFile(std::optional<DWORD> Error) {
    std::lock_guard lock(FLock);
    FCreateFileError = Error;
}

void TFakeCommBackend::RefuseCommState(bool Refuse) {
    std::lock_guard lock(FLock);
    FRefuseCommState = Refuse;
}

void TFakeCommBackend::FailModemStatus(bool Fail) {
    std::lock_guard lock(FLock);
    FFailModemStatus = Fail;
}

void TFakeCommBackend::SetModemStatus(DWORD Bits) {
    std::lock_guard lock(FLock);
    FModemStatus = Bits;
}

void TFakeCommBackend::LimitWrites(std::optional<DWORD> Bytes) {
    std::lock_guard lock(FLock);
    FWriteLimit = Bytes;
}

void TFakeCommBackend::LimitQueue(std::optional<DWORD> Bytes) {
    std::lock_guard lock(FLock);
    FQueueLimit = Bytes;
}

void TFakeCommBackend::RefillLate(bool Late) {
    std::lock_guard lock(FLock);
    FRefillLate = Late;
}

void TFakeCommBackend::SetVanished(bool Vanished) {
    std::lock_guard lock(FLock);
    FVanished = Vanished;
}

void TFakeCommBackend::SetPresentPorts(std::vector<std::string> Names) {
    std::lock_guard lock(FLock);
    FPresentPorts = std::move(Names);
}

void TFakeCommBackend::StallReads(bool Stall) {
    std::lock_guard lock(FLock);
    FStallReads = Stall;
    FStallEnded.notify_all();
}

std::size_t TFakeCommBackend::StalledReads() const {
    std::lock_guard lock(FLock);
    return FStalledReads;
}

void TFakeCommBackend::ThrowIn(std::string Function, DWORD Error) {
    std::lock_guard lock(FLock);
    FThrowIn = std::move(Function);
    FThrowError = Error;
}

void TFakeCommBackend::SetWinmmAvailable(bool Available) {
    std::lock_guard lock(FLock);
    FWinmmAvailable = Available;
}

void TFakeCommBackend::PushReceived(const std::string& Bytes) {
    std::lock_guard lock(FLock);
    FReceived += Bytes;
}

std::vector<TCommCall> TFakeCommBackend::Calls() const {
    std::lock_guard lock(FLock);
    return FCalls;
}

std::vector<TCommCall> TFakeCommBackend::CallsTo(const std::string& Function) const {
    std::lock_guard lock(FLock);
    std::vector<TCommCall> calls;
    std::copy_if(FCalls.begin(), FCalls.end(), std::back_inserter(calls),
                 [&](const TCommCall& c) { return c.Function == Function; });
    return calls;
}

std::size_t TFakeCommBackend::CountCalls(const std::string& Function) const {
    std::lock_guard lock(FLock);
    return std::count_if(FCalls.begin(), FCalls.end(), [&](const TCommCall& c) { return c.Function == Function; });
}

void TFakeCommBackend::ClearCalls() {
    std::lock_guard lock(FLock);
    FCalls.clear();
}

std::string TFakeCommBackend::Written() const {
    std::lock_guard lock(FLock);
    return FWritten;
}

std::size_t TFakeCommBackend::OpenHandleCount() const {
    std::lock_guard lock(FLock);
    return FOpen.size();
}

BOOL TFakeCommBackend::Fail(DWORD Error) {
    LastError = Error;
    return false;
}

std::size_t TFakeCommBackend::QueuedBytes() const {
    return std::min<std::size_t>(FReceived.size(), FQueueLimit.value_or(MAXDWORD));
}

DWORD TFakeCommBackend::Enter(TCommCall Call) {
    const HANDLE handle = Call.Handle;
    const bool fail = !FThrowIn.empty() && Call.Function == FThrowIn;
    FCalls.push_back(std::move(Call));
    if (fail) {
        LastError = FThrowError;
        throw std::runtime_error("device call failed");
    }
    if (!FOpen.contains(handle)) return ERROR_INVALID_HANDLE;
    return FVanished ? ERROR_GEN_FAILURE : 0;
}

HANDLE TFakeCommBackend::CreateFileA(const char* FileName, DWORD DesiredAccess, DWORD ShareMode,
                                     SECURITY_ATTRIBUTES*, DWORD CreationDisposition, DWORD FlagsAndAttributes,
                                     HANDLE) {
    std::lock_guard lock(FLock);
    FCalls.push_back({.Function = "CreateFileA",
                      .Args = {DesiredAccess, ShareMode, CreationDisposition, FlagsAndAttributes},
                      .Text = FileName ? FileName : ""});
    const std::optional<DWORD> error = FVanished ? ERROR_FILE_NOT_FOUND : FCreateFileError;
    if (error) {
        Fail(*error);
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle = FNextHandle++;
    FOpen.insert(handle);
    return handle;
}

BOOL TFakeCommBackend::SetCommState(HANDLE File, const DCB* Dcb) {
    std::lock_guard lock(FLock);
    if (const DWORD error = Enter({.Function = "SetCommState", .Handle = File, .Dcb = Dcb ? *Dcb : DCB{}}))
        return Fail(error);
    if (!Dcb || FRefuseCommState) return Fail(ERROR_INVALID_PARAMETER);
    FState = *Dcb;
    return true;
}

BOOL TFakeCommBackend::GetCommState(HANDLE File, DCB* Dcb) {
    std::lock_guard lock(FLock);
    if (const DWORD error = Enter({.Function = "GetCommState", .Handle = File})) return Fail(error);
    if (!Dcb) return Fail(ERROR_INVALID_PARAMETER);
    *Dcb = FState;
    return true;
}

BOOL TFakeCommBackend::SetCommTimeouts(HANDLE File, const COMMTIMEOUTS* Timeouts) {
    std::lock_guard lock(FLock);
    const TCommCall call{.Function = "SetCommTimeouts", .Handle = File, .Timeouts = Timeouts ? *Timeouts : COMMTIMEOUTS{}};
    if (const DWORD error = Enter(call)) return Fail(error);
    return Timeouts ? true : Fail(ERROR_INVALID_PARAMETER);
}

BOOL TFakeCommBackend::SetupComm(HANDLE File, DWORD InQueue, DWORD OutQueue) {
    std::lock_guard lock(FLock);
    if (const DWORD error = Enter({.Function = "SetupComm", .Handle = File, .Args = {InQueue, OutQueue}}))
        return Fail(error);
    return true;
}

BOOL TFakeCommBackend::PurgeComm(HANDLE File, DWORD Flags) {
    std::lock_guard lock(FLock);
    if (const DWORD error = Enter({.Function = "PurgeComm", .Handle = File, .Args = {Flags}})) return Fail(error);
    if (Flags & PURGE_RXCLEAR) FReceived.clear();
    if (Flags & PURGE_RXABORT) {
        ++FReadAborts;
        FStallEnded.notify_all();
    }
    return true;
}

BOOL TFakeCommBackend::ClearCommError(HANDLE File, DWORD* Errors, COMSTAT* Stat) {
    std::lock_guard lock(FLock);
    if (const DWORD error = Enter({.Function = "ClearCommError", .Handle = File})) return Fail(error);
    if (Errors) *Errors = 0;
    if (Stat) *Stat = {0, static_cast<DWORD>(FRefillPending ? 0 : QueuedBytes()), 0};
    FRefillPending = false;
    return true;
}

bool TFakeCommBackend::StallRead(std::unique_lock<std::mutex>& Lock, HANDLE File) {
    const uint64_t aborts = FReadAborts;
    ++FStalledReads;
    FStallEnded.wait(Lock, [&] { return !FStallReads || FReadAborts != aborts || !FOpen.contains(File); });
    --FStalledReads;
    return !FStallReads;
}

BOOL TFakeCommBackend::ReadFile(HANDLE File, void* Buffer, DWORD BytesToRead, DWORD* BytesRead, OVERLAPPED*) {
    std::unique_lock lock(FLock);
    if (BytesRead) *BytesRead = 0;
    if (const DWORD error = Enter({.Function = "ReadFile", .Handle = File, .Args = {BytesToRead}}))
        return Fail(error);
    if (FStallReads && !StallRead(lock, File)) return Fail(ERROR_OPERATION_ABORTED);
    const std::size_t shown = QueuedBytes();
    const std::size_t count = std::min<std::size_t>(BytesToRead, shown);
    FReceived.copy(static_cast<char*>(Buffer), count);
    FReceived.erase(0, count);
    FRefillPending = FRefillLate && FQueueLimit && count > 0 && count == shown && !FReceived.empty();
    if (BytesRead) *BytesRead = static_cast<DWORD>(count);
    return true;
}

BOOL TFakeCommBackend::WriteFile(HANDLE File, const void* Buffer, DWORD BytesToWrite, DWORD* BytesWritten,
                                 OVERLAPPED*) {
    std::lock_guard lock(FLock);
    if (BytesWritten) *BytesWritten = 0;
    const std::string bytes(static_cast<const char*>(Buffer), BytesToWrite);
    if (const DWORD error = Enter({.Function = "WriteFile", .Handle = File, .Args = {BytesToWrite}, .Text = bytes}))
        return Fail(error);
    const DWORD count = std::min(BytesToWrite, FWriteLimit.value_or(BytesToWrite));
    FWritten.append(bytes, 0, count);
    if (BytesWritten) *BytesWritten = count;
    return true;
}

BOOL TFakeCommBackend::GetCommModemStatus(HANDLE File, DWORD* ModemStat) {
    std::lock_guard lock(FLock);
    if (const DWORD error = Enter({.Function = "GetCommModemStatus", .Handle = File})) return Fail(error);
    if (FFailModemStatus || !ModemStat) return Fail(ERROR_INVALID_PARAMETER);
    *ModemStat = FModemStatus;
    return true;
}

BOOL TFakeCommBackend::EscapeCommFunction(HANDLE File, DWORD Func) {
    std::lock_guard lock(FLock);
    if (const DWORD error = Enter({.Function = "EscapeCommFunction", .Handle = File, .Args = {Func}}))
        return Fail(error);
    return true;
}

BOOL TFakeCommBackend::CloseHandle(HANDLE Object) {
    std::lock_guard lock(FLock);
    FCalls.push_back({.Function = "CloseHandle", .Handle = Object});
    if (!FOpen.erase(Object)) return Fail(ERROR_INVALID_HANDLE);
    FStallEnded.notify_all();
    return true;
}

DWORD TFakeCommBackend::GetLastError() {
    std::lock_guard lock(FLock);
    FCalls.push_back({.Function = "GetLastError"});
    return LastError;
}

void TFakeCommBackend::Sleep(DWORD Milliseconds) {
    {
        std::lock_guard lock(FLock);
        FCalls.push_back({.Function = "Sleep", .Args = {Milliseconds}});
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

HMODULE TFakeCommBackend::GetModuleHandleA(const char* ModuleName) {
    std::lock_guard lock(FLock);
    FCalls.push_back({.Function = "GetModuleHandleA", .Text = ModuleName ? ModuleName : ""});
    if (IsWinmm(ModuleName) && FWinmmAvailable && FWinmmLoaded) return &WinmmModule;
    Fail(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

HMODULE TFakeCommBackend::LoadLibraryA(const char* LibFileName) {
    std::lock_guard lock(FLock);
    FCalls.push_back({.Function = "LoadLibraryA", .Text = LibFileName ? LibFileName : ""});
    if (IsWinmm(LibFileName) && FWinmmAvailable) {
        FWinmmLoaded = true;
        return &WinmmModule;
    }
    Fail(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

FARPROC TFakeCommBackend::GetProcAddress(HMODULE Module, const char* ProcName) {
    std::lock_guard lock(FLock);
    const std::string_view name = ProcName ? ProcName : "";
    FCalls.push_back({.Function = "GetProcAddress", .Text = std::string(name)});
    if (Module == &WinmmModule && FWinmmAvailable) {
        if (name == "timeBeginPeriod") return reinterpret_cast<FARPROC>(&FakeTimeBeginPeriod);
        if (name == "timeEndPeriod") return reinterpret_cast<FARPROC>(&FakeTimeEndPeriod);
    }
    Fail(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

std::vector<std::string> TFakeCommBackend::PresentPortNames() {
    std::lock_guard lock(FLock);
    FCalls.push_back({.Function = "PresentPortNames"});
    return FPresentPorts;
}

void TFakeCommBackend::RecordTimePeriod(const char* Function, UINT Period) {
    std::lock_guard lock(FLock);
    FCalls.push_back({.Function = Function, .Args = {Period}});
}
