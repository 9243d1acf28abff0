// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The calls on an open handle for a backend whose ports are objects of their
// own (termios devices, network connections), on handles of our own
// (HandleTable.h). TPort answers each call with 0 or the platform's error
// code; the backend adds opening and the list of present ports.

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "serial/device/CommBackend.h"
#include "serial/device/HandleTable.h"

template <class TPort>
class TPortCommBackend : public TCommBackend {
public:
    BOOL SetCommState(HANDLE File, const DCB* Dcb) override {
        return On(File, [&](TPort& port) { return Dcb ? port.SetState(*Dcb) : Invalid(); });
    }

    BOOL GetCommState(HANDLE File, DCB* Dcb) override {
        return On(File, [&](TPort& port) { return Dcb ? port.GetState(*Dcb) : Invalid(); });
    }

    BOOL SetCommTimeouts(HANDLE File, const COMMTIMEOUTS* Timeouts) override {
        return On(File, [&](TPort& port) {
            if (!Timeouts) return Invalid();
            port.SetTimeouts(*Timeouts);
            return 0;
        });
    }

    // The kernel (or the socket) sizes its own queues.
    BOOL SetupComm(HANDLE File, DWORD, DWORD) override {
        return On(File, [](TPort&) { return 0; });
    }

    BOOL PurgeComm(HANDLE File, DWORD Flags) override {
        return On(File, [&](TPort& port) { return port.Purge(Flags); });
    }

    BOOL ClearCommError(HANDLE File, DWORD* Errors, COMSTAT* Stat) override {
        return On(File, [&](TPort& port) {
            DWORD errors = 0;
            COMSTAT stat{};
            const int error = port.QueryStatus(errors, stat);
            if (error == 0 && Errors) *Errors = errors;
            if (error == 0 && Stat) *Stat = stat;
            return error;
        });
    }

    BOOL ReadFile(HANDLE File, void* Buffer, DWORD BytesToRead, DWORD* BytesRead, OVERLAPPED*) override {
        DWORD done = 0;
        const BOOL ok =
            On(File, [&](TPort& port) { return port.Read(static_cast<char*>(Buffer), BytesToRead, done); });
        if (BytesRead) *BytesRead = done;
        return ok;
    }

    BOOL WriteFile(HANDLE File, const void* Buffer, DWORD BytesToWrite, DWORD* BytesWritten,
                   OVERLAPPED*) override {
        DWORD done = 0;
        const BOOL ok =
            On(File, [&](TPort& port) { return port.Write(static_cast<const char*>(Buffer), BytesToWrite, done); });
        if (BytesWritten) *BytesWritten = done;
        return ok;
    }

    BOOL GetCommModemStatus(HANDLE File, DWORD* ModemStat) override {
        return On(File, [&](TPort& port) {
            DWORD status = 0;
            const int error = port.ModemStatus(status);
            if (error == 0 && ModemStat) *ModemStat = status;
            return error;
        });
    }

    BOOL EscapeCommFunction(HANDLE File, DWORD Func) override {
        return On(File, [&](TPort& port) { return port.Escape(Func); });
    }

    BOOL CloseHandle(HANDLE Object) override {
        const std::shared_ptr<TEntry> entry = FHandles.Remove(Object);
        if (!entry) return Report(static_cast<int>(ERROR_INVALID_HANDLE));
        // Calls still running on other threads hold the port; the last one lets it go.
        entry->Port->Shutdown();
        return true;
    }

    DWORD GetLastError() override { return FLastError; }

    void Sleep(DWORD Milliseconds) override {
        if (Milliseconds == 0)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
    }

    // There are no Windows libraries here; the engine then goes without them.
    HMODULE GetModuleHandleA(const char*) override { return NoLibrary(); }
    HMODULE LoadLibraryA(const char*) override { return NoLibrary(); }
    FARPROC GetProcAddress(HMODULE, const char*) override {
        Report(static_cast<int>(ERROR_FILE_NOT_FOUND));
        return nullptr;
    }

protected:
    // An open port with the name it was opened under.
    struct TEntry {
        std::shared_ptr<TPort> Port;
        std::string Name;
    };

    explicit TPortCommBackend(HANDLE FirstHandle) : FHandles(FirstHandle) {}

    static BOOL Report(int Error) {
        if (Error != 0) FLastError = static_cast<DWORD>(Error);
        return Error == 0;
    }

    // The arguments every open must have: a name, OPEN_EXISTING, no overlapped I/O.
    static bool ValidOpen(const char* FileName, DWORD CreationDisposition, DWORD FlagsAndAttributes) {
        if (FileName && CreationDisposition == OPEN_EXISTING && !(FlagsAndAttributes & FILE_FLAG_OVERLAPPED)) return true;
        Report(static_cast<int>(ERROR_INVALID_PARAMETER));
        return false;
    }

    HANDLE Add(std::shared_ptr<TPort> Port, std::string Name) {
        return FHandles.Add(std::make_shared<TEntry>(TEntry{std::move(Port), std::move(Name)}));
    }

    // The names of the open ports that Keep accepts, each once, in byte order.
    template <class TKeep>
    std::vector<std::string> OpenNames(TKeep&& Keep) const {
        std::vector<std::string> names;
        FHandles.ForEach([&](const TEntry& Entry) {
            if (Keep(*Entry.Port)) names.push_back(Entry.Name);
        });
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        return names;
    }

private:
    template <class TAction>
    BOOL On(HANDLE File, TAction&& Action) {
        const std::shared_ptr<TEntry> entry = FHandles.Find(File);
        return Report(entry ? Action(*entry->Port) : static_cast<int>(ERROR_INVALID_HANDLE));
    }

    static int Invalid() { return static_cast<int>(ERROR_INVALID_PARAMETER); }

    static HMODULE NoLibrary() {
        Report(static_cast<int>(ERROR_FILE_NOT_FOUND));
        return nullptr;
    }

    static inline thread_local DWORD FLastError = 0;
    THandleTable<TEntry> FHandles;
};
