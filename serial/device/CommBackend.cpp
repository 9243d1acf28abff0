// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/CommBackend.h"

#include <algorithm>
#include <atomic>

#include "serial/device/NetworkAddress.h"
#include "serial/device/NetworkPorts.h"

namespace WinComm {

namespace {

std::atomic<TCommBackend*> SwappedIn{nullptr};

// Sends each call to the backend of the name or handle it is about: network
// port names and handles to the socket backend, the rest to the devices.
class TRoutingCommBackend final : public TCommBackend {
public:
    HANDLE CreateFileA(const char* FileName, DWORD DesiredAccess, DWORD ShareMode,
                       SECURITY_ATTRIBUTES* SecurityAttributes, DWORD CreationDisposition,
                       DWORD FlagsAndAttributes, HANDLE TemplateFile) override {
        const bool network = FileName && IsNetworkPortName(DeviceNameOf(FileName));
        return Use(network ? NetworkCommBackend() : DeviceCommBackend())
            .CreateFileA(FileName, DesiredAccess, ShareMode, SecurityAttributes, CreationDisposition,
                         FlagsAndAttributes, TemplateFile);
    }
    BOOL SetCommState(HANDLE File, const DCB* Dcb) override { return Of(File).SetCommState(File, Dcb); }
    BOOL GetCommState(HANDLE File, DCB* Dcb) override { return Of(File).GetCommState(File, Dcb); }
    BOOL SetCommTimeouts(HANDLE File, const COMMTIMEOUTS* Timeouts) override {
        return Of(File).SetCommTimeouts(File, Timeouts);
    }
    BOOL SetupComm(HANDLE File, DWORD InQueue, DWORD OutQueue) override {
        return Of(File).SetupComm(File, InQueue, OutQueue);
    }
    BOOL PurgeComm(HANDLE File, DWORD Flags) override { return Of(File).PurgeComm(File, Flags); }
    BOOL ClearCommError(HANDLE File, DWORD* Errors, COMSTAT* Stat) override {
        return Of(File).ClearCommError(File, Errors, Stat);
    }
    BOOL ReadFile(HANDLE File, void* Buffer, DWORD BytesToRead, DWORD* BytesRead, OVERLAPPED* Overlapped) override {
        return Of(File).ReadFile(File, Buffer, BytesToRead, BytesRead, Overlapped);
    }
    BOOL WriteFile(HANDLE File, const void* Buffer, DWORD BytesToWrite, DWORD* BytesWritten,
                   OVERLAPPED* Overlapped) override {
        return Of(File).WriteFile(File, Buffer, BytesToWrite, BytesWritten, Overlapped);
    }
    BOOL GetCommModemStatus(HANDLE File, DWORD* ModemStat) override {
        return Of(File).GetCommModemStatus(File, ModemStat);
    }
    BOOL EscapeCommFunction(HANDLE File, DWORD Func) override { return Of(File).EscapeCommFunction(File, Func); }
    BOOL CloseHandle(HANDLE Object) override { return Of(Object).CloseHandle(Object); }
    DWORD GetLastError() override { return LastUsed ? LastUsed->GetLastError() : DeviceCommBackend().GetLastError(); }
    void Sleep(DWORD Milliseconds) override { DeviceCommBackend().Sleep(Milliseconds); }
    HMODULE GetModuleHandleA(const char* ModuleName) override {
        return Use(DeviceCommBackend()).GetModuleHandleA(ModuleName);
    }
    HMODULE LoadLibraryA(const char* LibFileName) override { return Use(DeviceCommBackend()).LoadLibraryA(LibFileName); }
    FARPROC GetProcAddress(HMODULE Module, const char* ProcName) override {
        return Use(DeviceCommBackend()).GetProcAddress(Module, ProcName);
    }

    // The system's ports first, then the network ports that are open.
    std::vector<std::string> PresentPortNames() override {
        std::vector<std::string> names = DeviceCommBackend().PresentPortNames();
        for (std::string& name : NetworkCommBackend().PresentPortNames())
            if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
        return names;
    }

private:
    // The backend whose last error the thread's next GetLastError reports.
    static inline thread_local TCommBackend* LastUsed = nullptr;

    static TCommBackend& Use(TCommBackend& Backend) {
        LastUsed = &Backend;
        return Backend;
    }
    static TCommBackend& Of(HANDLE File) { return Use(IsNetworkHandle(File) ? NetworkCommBackend() : DeviceCommBackend()); }
};

}  // namespace

TCommBackend& PlatformCommBackend() {
    static TCommBackend* const backend = new TRoutingCommBackend;
    return *backend;
}

TCommBackend& CommBackend() {
    TCommBackend* backend = SwappedIn.load(std::memory_order_acquire);
    return backend ? *backend : PlatformCommBackend();
}

void SetCommBackend(TCommBackend* Backend) { SwappedIn.store(Backend, std::memory_order_release); }

}  // namespace WinComm
