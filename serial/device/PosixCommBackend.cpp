// SPDX-License-Identifier: GPL-3.0-or-later
// The communications calls on termios, on handles of our own (HandleTable.h).

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>

#include "serial/device/CommBackend.h"
#include "serial/device/HandleTable.h"
#include "serial/device/NetworkAddress.h"
#include "serial/device/PortNames.h"
#include "serial/device/PosixPort.h"
#include "serial/device/PresentPorts.h"

namespace {

thread_local DWORD LastError = 0;

BOOL Report(int Error) {
    if (Error != 0) LastError = static_cast<DWORD>(Error);
    return Error == 0;
}

// An open port with the name it was opened under.
struct TNamedPort {
    std::shared_ptr<TPosixPort> Port;
    std::string Name;
};

int OpenFlags(DWORD DesiredAccess) {
    const bool read = DesiredAccess & GENERIC_READ;
    const bool write = DesiredAccess & GENERIC_WRITE;
    return read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
}

class TPosixCommBackend final : public TCommBackend {
public:
    HANDLE CreateFileA(const char* FileName, DWORD DesiredAccess, DWORD, SECURITY_ATTRIBUTES*,
                       DWORD CreationDisposition, DWORD FlagsAndAttributes, HANDLE) override {
        if (!FileName || CreationDisposition != OPEN_EXISTING || (FlagsAndAttributes & FILE_FLAG_OVERLAPPED)) {
            Report(EINVAL);
            return INVALID_HANDLE_VALUE;
        }
        std::shared_ptr<TPosixPort> port;
        std::string name(DeviceNameOf(FileName));
        const int error = TPosixPort::Open(ResolvePortPath(name), OpenFlags(DesiredAccess), port);
        if (error != 0) {
            Report(error);
            return INVALID_HANDLE_VALUE;
        }
        return FHandles.Add(std::make_shared<TNamedPort>(TNamedPort{std::move(port), std::move(name)}));
    }

    BOOL SetCommState(HANDLE File, const DCB* Dcb) override {
        return On(File, [&](TPosixPort& port) { return Dcb ? port.SetState(*Dcb) : EINVAL; });
    }

    BOOL GetCommState(HANDLE File, DCB* Dcb) override {
        return On(File, [&](TPosixPort& port) { return Dcb ? port.GetState(*Dcb) : EINVAL; });
    }

    BOOL SetCommTimeouts(HANDLE File, const COMMTIMEOUTS* Timeouts) override {
        return On(File, [&](TPosixPort& port) {
            if (!Timeouts) return EINVAL;
            port.SetTimeouts(*Timeouts);
            return 0;
        });
    }

    // The kernel sizes its own queues.
    BOOL SetupComm(HANDLE File, DWORD, DWORD) override {
        return On(File, [](TPosixPort&) { return 0; });
    }

    BOOL PurgeComm(HANDLE File, DWORD Flags) override {
        return On(File, [&](TPosixPort& port) { return port.Purge(Flags); });
    }

    BOOL ClearCommError(HANDLE File, DWORD* Errors, COMSTAT* Stat) override {
        return On(File, [&](TPosixPort& port) {
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
            On(File, [&](TPosixPort& port) { return port.Read(static_cast<char*>(Buffer), BytesToRead, done); });
        if (BytesRead) *BytesRead = done;
        return ok;
    }

    BOOL WriteFile(HANDLE File, const void* Buffer, DWORD BytesToWrite, DWORD* BytesWritten,
                   OVERLAPPED*) override {
        DWORD done = 0;
        const BOOL ok = On(
            File, [&](TPosixPort& port) { return port.Write(static_cast<const char*>(Buffer), BytesToWrite, done); });
        if (BytesWritten) *BytesWritten = done;
        return ok;
    }

    BOOL GetCommModemStatus(HANDLE File, DWORD* ModemStat) override {
        return On(File, [&](TPosixPort& port) {
            DWORD status = 0;
            const int error = port.ModemStatus(status);
            if (error == 0 && ModemStat) *ModemStat = status;
            return error;
        });
    }

    BOOL EscapeCommFunction(HANDLE File, DWORD Func) override {
        return On(File, [&](TPosixPort& port) { return port.Escape(Func); });
    }

    BOOL CloseHandle(HANDLE Object) override {
        const std::shared_ptr<TNamedPort> entry = FHandles.Remove(Object);
        if (!entry) return Report(EBADF);
        // Calls still running on other threads hold the port; the last one closes it.
        entry->Port->Shutdown();
        return true;
    }

    DWORD GetLastError() override { return LastError; }

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
        Report(ENOENT);
        return nullptr;
    }

    // A port opened under a name of its own (a path, or a kernel name that the
    // list gives as a COM name) is present while its device node exists, so
    // the receive loop's presence check keeps it and notices when it goes.
    std::vector<std::string> PresentPortNames() override {
        const TPortMapEntries map = EnvironmentPortMap();
        std::vector<std::string> names = ListPresentPorts(SysfsTtyDir(), map);
        for (const std::string& open : OpenNames()) {
            const bool listed = std::find(names.begin(), names.end(), open) != names.end();
            std::error_code error;
            if (!listed && std::filesystem::exists(ResolvePortPath(open, map), error)) names.push_back(open);
        }
        return names;
    }

private:
    template <class TAction>
    BOOL On(HANDLE File, TAction&& Action) {
        const std::shared_ptr<TNamedPort> entry = FHandles.Find(File);
        return Report(entry ? Action(*entry->Port) : EBADF);
    }

    // The names the open ports were opened under, each once, in byte order.
    std::set<std::string> OpenNames() const {
        std::set<std::string> names;
        FHandles.ForEach([&](const TNamedPort& Entry) { names.insert(Entry.Name); });
        return names;
    }

    static HMODULE NoLibrary() {
        Report(ENOENT);
        return nullptr;
    }

    THandleTable<TNamedPort> FHandles;
};

}  // namespace

TCommBackend& WinComm::DeviceCommBackend() {
    // Never destroyed: threads may still use it while the process ends.
    static TCommBackend* const backend = new TPosixCommBackend;
    return *backend;
}
