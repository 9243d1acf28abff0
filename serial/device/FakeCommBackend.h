// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An in-memory device for tests: records every call with its arguments, plays
// scripted answers and lets a test push the bytes the device receives. Install
// it with SetCommBackend(&fake) and put the real one back with
// SetCommBackend(nullptr). Every handle it opens reaches the same one device.
// Thread-safe; reads and writes never block.

#include <cstddef>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "serial/device/CommBackend.h"

// One call as the backend saw it.
struct TCommCall {
    std::string Function{};   // "SetCommState", "timeBeginPeriod", ...
    HANDLE Handle = 0;        // the handle of calls on one
    std::vector<DWORD> Args{};  // the integer arguments, in order
    std::string Text{};       // the name passed, or the bytes written
    DCB Dcb{};                // of SetCommState
    COMMTIMEOUTS Timeouts{};  // of SetCommTimeouts
};

class TFakeCommBackend : public TCommBackend {
public:
    // Scripted answers; each holds until it is changed.
    void FailCreateFile(std::optional<DWORD> Error);  // none: opens succeed
    void RefuseCommState(bool Refuse);                // ERROR_INVALID_PARAMETER
    void FailModemStatus(bool Fail);                  // ERROR_INVALID_PARAMETER
    void SetModemStatus(DWORD Bits);                  // MS_CTS_ON | ...
    void LimitWrites(std::optional<DWORD> Bytes);     // each write stops after Bytes, as a time-out would
    // The input queue shows and hands out at most Bytes at a time, as a line
    // discipline does; the rest follows as soon as a read made room.
    void LimitQueue(std::optional<DWORD> Bytes);
    // With a limited queue: after a read that emptied what the queue showed,
    // the next count finds nothing and the rest shows only from the one after,
    // as a pty refills its line discipline in the background.
    void RefillLate(bool Late);
    // A vanished device: every call on a handle except CloseHandle fails with
    // ERROR_GEN_FAILURE, and opens fail with ERROR_FILE_NOT_FOUND. The port
    // list is separate (SetPresentPorts).
    void SetVanished(bool Vanished);
    void SetPresentPorts(std::vector<std::string> Names);
    // Reads wait, as a read with time-outs waits for bytes that never come,
    // until PURGE_RXABORT or CloseHandle on their handle, or until switched off.
    void StallReads(bool Stall);
    std::size_t StalledReads() const;  // waiting now
    // The named call on a handle sets the last error to Error and throws, as a
    // backend that fails deep inside might; an empty name switches it off.
    void ThrowIn(std::string Function, DWORD Error);
    // winmm with timeBeginPeriod/timeEndPeriod; available unless switched off.
    void SetWinmmAvailable(bool Available);
    // Bytes that arrived at the device, for ClearCommError and ReadFile.
    void PushReceived(const std::string& Bytes);

    std::vector<TCommCall> Calls() const;
    std::vector<TCommCall> CallsTo(const std::string& Function) const;
    std::size_t CountCalls(const std::string& Function) const;
    void ClearCalls();
    // Every byte written so far, in order.
    std::string Written() const;
    std::size_t OpenHandleCount() const;

    HANDLE CreateFileA(const char* FileName, DWORD DesiredAccess, DWORD ShareMode,
                       SECURITY_ATTRIBUTES* SecurityAttributes, DWORD CreationDisposition,
                       DWORD FlagsAndAttributes, HANDLE TemplateFile) override;
    BOOL SetCommState(HANDLE File, const DCB* Dcb) override;
    BOOL GetCommState(HANDLE File, DCB* Dcb) override;
    BOOL SetCommTimeouts(HANDLE File, const COMMTIMEOUTS* Timeouts) override;
    BOOL SetupComm(HANDLE File, DWORD InQueue, DWORD OutQueue) override;
    BOOL PurgeComm(HANDLE File, DWORD Flags) override;
    BOOL ClearCommError(HANDLE File, DWORD* Errors, COMSTAT* Stat) override;
    BOOL ReadFile(HANDLE File, void* Buffer, DWORD BytesToRead, DWORD* BytesRead, OVERLAPPED* Overlapped) override;
    BOOL WriteFile(HANDLE File, const void* Buffer, DWORD BytesToWrite, DWORD* BytesWritten,
                   OVERLAPPED* Overlapped) override;
    BOOL GetCommModemStatus(HANDLE File, DWORD* ModemStat) override;
    BOOL EscapeCommFunction(HANDLE File, DWORD Func) override;
    BOOL CloseHandle(HANDLE Object) override;
    DWORD GetLastError() override;
    void Sleep(DWORD Milliseconds) override;
    HMODULE GetModuleHandleA(const char* ModuleName) override;
    HMODULE LoadLibraryA(const char* LibFileName) override;
    FARPROC GetProcAddress(HMODULE Module, const char* ProcName) override;
    std::vector<std::string> PresentPortNames() override;

    // Where the winmm functions that GetProcAddress hands out record their calls.
    void RecordTimePeriod(const char* Function, UINT Period);

private:
    // What the input queue holds now, as ClearCommError counts it.
    std::size_t QueuedBytes() const;
    // Records the call; returns 0 when the handle may be used, else the error.
    DWORD Enter(TCommCall Call);
    static BOOL Fail(DWORD Error);

    // Waits out a stalled read; false when it was aborted.
    bool StallRead(std::unique_lock<std::mutex>& Lock, HANDLE File);

    mutable std::mutex FLock;
    std::condition_variable FStallEnded;
    bool FStallReads = false;
    std::size_t FStalledReads = 0;
    uint64_t FReadAborts = 0;
    std::string FThrowIn;
    DWORD FThrowError = 0;
    std::vector<TCommCall> FCalls;
    std::set<HANDLE> FOpen;
    HANDLE FNextHandle = 0x100;
    std::optional<DWORD> FCreateFileError;
    bool FRefuseCommState = false;
    bool FFailModemStatus = false;
    DWORD FModemStatus = 0;
    std::optional<DWORD> FWriteLimit;
    std::optional<DWORD> FQueueLimit;
    bool FRefillLate = false;
    bool FRefillPending = false;
    bool FVanished = false;
    std::vector<std::string> FPresentPorts;
    bool FWinmmAvailable = true;
    bool FWinmmLoaded = false;
    std::string FReceived;
    std::string FWritten;
    DCB FState{};
};
