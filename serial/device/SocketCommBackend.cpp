// SPDX-License-Identifier: GPL-3.0-or-later
// The communications calls for ports on the network (NetworkPort.h), on
// handles of our own that never meet those of the system's devices.

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "serial/device/CommBackend.h"
#include "serial/device/HandleTable.h"
#include "serial/device/NetworkPorts.h"

namespace {

thread_local DWORD LastError = 0;

BOOL Report(int Error) {
    if (Error != 0) LastError = static_cast<DWORD>(Error);
    return Error == 0;
}

std::mutex NoticeLock;
TNetworkNotice NoticeHandler;

void DeliverNotice(const std::string& PortName, const std::string& Text) {
    std::lock_guard lock(NoticeLock);
    if (NoticeHandler) NoticeHandler(PortName, Text);
}

class TSocketCommBackend final : public TCommBackend {
public:
    HANDLE CreateFileA(const char* FileName, DWORD, DWORD, SECURITY_ATTRIBUTES*, DWORD CreationDisposition,
                       DWORD FlagsAndAttributes, HANDLE) override {
        if (!FileName || CreationDisposition != OPEN_EXISTING || (FlagsAndAttributes & FILE_FLAG_OVERLAPPED)) {
            Report(static_cast<int>(ERROR_INVALID_PARAMETER));
            return INVALID_HANDLE_VALUE;
        }
        const std::string name(DeviceNameOf(FileName));
        std::optional<TNetworkAddress> address = ParseNetworkPortName(name);
        if (!address) {
            Report(static_cast<int>(ERROR_FILE_NOT_FOUND));
            return INVALID_HANDLE_VALUE;
        }
        // Connecting goes on in the port's thread: failing to reach the server
        // ends the port later, as an unplugged device ends.
        return FHandles.Add(TNetworkPort::Start(name, std::move(*address), DeliverNotice));
    }

    BOOL SetCommState(HANDLE File, const DCB* Dcb) override {
        return On(File, [&](TNetworkPort& port) { return Dcb ? port.SetState(*Dcb) : Invalid(); });
    }

    BOOL GetCommState(HANDLE File, DCB* Dcb) override {
        return On(File, [&](TNetworkPort& port) { return Dcb ? port.GetState(*Dcb) : Invalid(); });
    }

    BOOL SetCommTimeouts(HANDLE File, const COMMTIMEOUTS* Timeouts) override {
        return On(File, [&](TNetworkPort& port) {
            if (!Timeouts) return Invalid();
            port.SetTimeouts(*Timeouts);
            return 0;
        });
    }

    // The sockets size their own buffers.
    BOOL SetupComm(HANDLE File, DWORD, DWORD) override {
        return On(File, [](TNetworkPort&) { return 0; });
    }

    BOOL PurgeComm(HANDLE File, DWORD Flags) override {
        return On(File, [&](TNetworkPort& port) { return port.Purge(Flags); });
    }

    BOOL ClearCommError(HANDLE File, DWORD* Errors, COMSTAT* Stat) override {
        return On(File, [&](TNetworkPort& port) {
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
            On(File, [&](TNetworkPort& port) { return port.Read(static_cast<char*>(Buffer), BytesToRead, done); });
        if (BytesRead) *BytesRead = done;
        return ok;
    }

    BOOL WriteFile(HANDLE File, const void* Buffer, DWORD BytesToWrite, DWORD* BytesWritten,
                   OVERLAPPED*) override {
        DWORD done = 0;
        const BOOL ok = On(File, [&](TNetworkPort& port) {
            return port.Write(static_cast<const char*>(Buffer), BytesToWrite, done);
        });
        if (BytesWritten) *BytesWritten = done;
        return ok;
    }

    BOOL GetCommModemStatus(HANDLE File, DWORD* ModemStat) override {
        return On(File, [&](TNetworkPort& port) {
            DWORD status = 0;
            const int error = port.ModemStatus(status);
            if (error == 0 && ModemStat) *ModemStat = status;
            return error;
        });
    }

    BOOL EscapeCommFunction(HANDLE File, DWORD Func) override {
        return On(File, [&](TNetworkPort& port) { return port.Escape(Func); });
    }

    BOOL CloseHandle(HANDLE Object) override {
        const std::shared_ptr<TNetworkPort> port = FHandles.Remove(Object);
        if (!port) return Report(static_cast<int>(ERROR_INVALID_HANDLE));
        port->Shutdown();
        return true;
    }

    DWORD GetLastError() override { return LastError; }

    void Sleep(DWORD Milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds)); }

    // Nothing of the system's libraries is reached through here.
    HMODULE GetModuleHandleA(const char*) override { return NoLibrary(); }
    HMODULE LoadLibraryA(const char*) override { return NoLibrary(); }
    FARPROC GetProcAddress(HMODULE, const char*) override {
        Report(static_cast<int>(ERROR_FILE_NOT_FOUND));
        return nullptr;
    }

    // The ports open now that are connecting or connected, under the names
    // they were opened under: a lost connection leaves the list, as an
    // unplugged device does.
    std::vector<std::string> PresentPortNames() override {
        std::vector<std::string> names;
        FHandles.ForEach([&](const TNetworkPort& Port) {
            if (Port.Alive() && std::find(names.begin(), names.end(), Port.Name()) == names.end())
                names.push_back(Port.Name());
        });
        return names;
    }

private:
    template <class TAction>
    BOOL On(HANDLE File, TAction&& Action) {
        const std::shared_ptr<TNetworkPort> port = FHandles.Find(File);
        return Report(port ? Action(*port) : static_cast<int>(ERROR_INVALID_HANDLE));
    }

    static int Invalid() { return static_cast<int>(ERROR_INVALID_PARAMETER); }

    static HMODULE NoLibrary() {
        Report(static_cast<int>(ERROR_FILE_NOT_FOUND));
        return nullptr;
    }

    THandleTable<TNetworkPort> FHandles{NetworkHandleBit | 1};
};

}  // namespace

TCommBackend& WinComm::NetworkCommBackend() {
    // Never destroyed: ports' threads may still end while the process ends.
    static TCommBackend* const backend = new TSocketCommBackend;
    return *backend;
}

void SetNetworkNoticeHandler(TNetworkNotice Handler) {
    std::lock_guard lock(NoticeLock);
    NoticeHandler = std::move(Handler);
}

TServerProbe::TServerProbe(const std::string& PortName) : FState(std::make_shared<TState>()) {
    const std::optional<TNetworkAddress> address = ParseNetworkPortName(PortName);
    if (!address) {
        FState->Finished = true;
        return;
    }
    std::thread([state = FState, address = *address] {
        const TConnectResult result =
            ConnectWithin(address.Host, address.Port, TNetworkPort::ConnectLimit, state->Cancelled);
        state->Answered = static_cast<bool>(result.Socket);
        state->Finished = true;
    }).detach();
}

TServerProbe::~TServerProbe() { FState->Cancelled = true; }
