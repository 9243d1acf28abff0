// SPDX-License-Identifier: GPL-3.0-or-later
// The communications calls into kernel32 on handles of our own
// (HandleTable.h), and the list of present ports from the registry's serial
// device map.

#define WINCOMM_QUALIFIED_ONLY
#include "serial/device/CommBackend.h"
#include "serial/device/HandleTable.h"

#include <windows.h>

#include <bit>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "toolkit/core/SysUtils.h"

namespace wc = WinComm;

namespace {

static_assert(sizeof(::DCB) == sizeof(wc::DCB) && offsetof(::DCB, XonLim) == offsetof(wc::DCB, XonLim) &&
              offsetof(::DCB, wReserved1) == offsetof(wc::DCB, wReserved1));
static_assert(sizeof(::COMMTIMEOUTS) == sizeof(wc::COMMTIMEOUTS));
static_assert(sizeof(::COMSTAT) == sizeof(wc::COMSTAT) && offsetof(::COMSTAT, cbInQue) == offsetof(wc::COMSTAT, cbInQue));
static_assert(std::is_same_v<::BOOL, wc::BOOL> && sizeof(::DWORD) == sizeof(wc::DWORD));

wc::BOOL InvalidParameter() {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

struct TKeyCloser {
    void operator()(HKEY Key) const { RegCloseKey(Key); }
};
using TKey = std::unique_ptr<std::remove_pointer_t<HKEY>, TKeyCloser>;

// The string data of value Name; none for data of another type.
std::optional<UnicodeString> ReadString(HKEY Key, const std::wstring& Name) {
    ::DWORD type = 0;
    ::DWORD size = 0;
    if (RegQueryValueExW(Key, Name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return {};
    UnicodeString data(size / sizeof(char16_t) + 1, u'\0');
    size = static_cast<::DWORD>(data.size() * sizeof(char16_t));
    if (RegQueryValueExW(Key, Name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    data.resize(size / sizeof(char16_t));
    // The stored terminator is not part of the name.
    while (!data.empty() && data.back() == u'\0') data.pop_back();
    return data;
}

std::vector<std::wstring> ValueNames(HKEY Key) {
    ::DWORD count = 0;
    ::DWORD longest = 0;
    if (RegQueryInfoKeyW(Key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return {};
    std::vector<std::wstring> names;
    for (::DWORD i = 0; i < count; ++i) {
        std::wstring name(longest + 1, L'\0');
        ::DWORD length = longest + 1;
        if (RegEnumValueW(Key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        name.resize(length);
        names.push_back(std::move(name));
    }
    return names;
}

// Values that are not strings name no port and are passed over.
std::vector<std::string> SerialDeviceMap() {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return {};
    const TKey key(opened);
    std::vector<std::string> ports;
    for (const std::wstring& name : ValueNames(key.get())) {
        if (const auto data = ReadString(key.get(), name)) ports.push_back(UnicodeToAnsi(*data));
    }
    return ports;
}

// One open device; its system handle is closed when the last user lets go.
class TWin32Device {
public:
    explicit TWin32Device(::HANDLE Native) : FNative(Native) {}
    ~TWin32Device() { ::CloseHandle(FNative); }
    TWin32Device(const TWin32Device&) = delete;
    TWin32Device& operator=(const TWin32Device&) = delete;

    ::HANDLE Native() const { return FNative; }
    // Ends the reads and writes in progress on the handle from any thread:
    // PurgeComm alone waits behind a synchronous read on another thread.
    void EndCallsInProgress() const { ::CancelIoEx(FNative, nullptr); }

private:
    const ::HANDLE FNative;
};

class TWin32CommBackend final : public wc::TCommBackend {
public:
    wc::HANDLE CreateFileA(const char* FileName, wc::DWORD DesiredAccess, wc::DWORD ShareMode,
                           wc::SECURITY_ATTRIBUTES* SecurityAttributes, wc::DWORD CreationDisposition,
                           wc::DWORD FlagsAndAttributes, wc::HANDLE TemplateFile) override {
        const std::shared_ptr<TWin32Device> templateFile = FHandles.Find(TemplateFile);
        const ::HANDLE native = ::CreateFileA(
            FileName, DesiredAccess, ShareMode, reinterpret_cast<LPSECURITY_ATTRIBUTES>(SecurityAttributes),
            CreationDisposition, FlagsAndAttributes, templateFile ? templateFile->Native() : nullptr);
        // The same value in both worlds: all bits set.
        if (native == INVALID_HANDLE_VALUE) return reinterpret_cast<wc::HANDLE>(INVALID_HANDLE_VALUE);
        return FHandles.Add(std::make_shared<TWin32Device>(native));
    }

    wc::BOOL SetCommState(wc::HANDLE File, const wc::DCB* Dcb) override {
        if (!Dcb) return InvalidParameter();
        ::DCB dcb = std::bit_cast<::DCB>(*Dcb);
        return On(File, [&](::HANDLE h) { return ::SetCommState(h, &dcb); });
    }

    wc::BOOL GetCommState(wc::HANDLE File, wc::DCB* Dcb) override {
        if (!Dcb) return InvalidParameter();
        ::DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        const wc::BOOL ok = On(File, [&](::HANDLE h) { return ::GetCommState(h, &dcb); });
        if (ok) *Dcb = std::bit_cast<wc::DCB>(dcb);
        return ok;
    }

    wc::BOOL SetCommTimeouts(wc::HANDLE File, const wc::COMMTIMEOUTS* Timeouts) override {
        if (!Timeouts) return InvalidParameter();
        ::COMMTIMEOUTS timeouts = std::bit_cast<::COMMTIMEOUTS>(*Timeouts);
        return On(File, [&](::HANDLE h) { return ::SetCommTimeouts(h, &timeouts); });
    }

    wc::BOOL SetupComm(wc::HANDLE File, wc::DWORD InQueue, wc::DWORD OutQueue) override {
        return On(File, [&](::HANDLE h) { return ::SetupComm(h, InQueue, OutQueue); });
    }

    wc::BOOL PurgeComm(wc::HANDLE File, wc::DWORD Flags) override {
        const std::shared_ptr<TWin32Device> device = FHandles.Find(File);
        if (!device) return InvalidHandle();
        if (Flags & (PURGE_TXABORT | PURGE_RXABORT)) device->EndCallsInProgress();
        return ::PurgeComm(device->Native(), Flags);
    }

    wc::BOOL ClearCommError(wc::HANDLE File, wc::DWORD* Errors, wc::COMSTAT* Stat) override {
        ::DWORD errors = 0;
        ::COMSTAT stat{};
        const wc::BOOL ok = On(File, [&](::HANDLE h) { return ::ClearCommError(h, &errors, &stat); });
        if (ok && Errors) *Errors = errors;
        if (ok && Stat) *Stat = std::bit_cast<wc::COMSTAT>(stat);
        return ok;
    }

    wc::BOOL ReadFile(wc::HANDLE File, void* Buffer, wc::DWORD BytesToRead, wc::DWORD* BytesRead,
                      wc::OVERLAPPED* Overlapped) override {
        ::DWORD done = 0;
        const wc::BOOL ok = On(File, [&](::HANDLE h) {
            return ::ReadFile(h, Buffer, BytesToRead, &done, reinterpret_cast<LPOVERLAPPED>(Overlapped));
        });
        if (BytesRead) *BytesRead = done;
        return ok;
    }

    wc::BOOL WriteFile(wc::HANDLE File, const void* Buffer, wc::DWORD BytesToWrite, wc::DWORD* BytesWritten,
                       wc::OVERLAPPED* Overlapped) override {
        ::DWORD done = 0;
        const wc::BOOL ok = On(File, [&](::HANDLE h) {
            return ::WriteFile(h, Buffer, BytesToWrite, &done, reinterpret_cast<LPOVERLAPPED>(Overlapped));
        });
        if (BytesWritten) *BytesWritten = done;
        return ok;
    }

    wc::BOOL GetCommModemStatus(wc::HANDLE File, wc::DWORD* ModemStat) override {
        ::DWORD status = 0;
        const wc::BOOL ok = On(File, [&](::HANDLE h) { return ::GetCommModemStatus(h, &status); });
        if (ok && ModemStat) *ModemStat = status;
        return ok;
    }

    wc::BOOL EscapeCommFunction(wc::HANDLE File, wc::DWORD Func) override {
        return On(File, [&](::HANDLE h) { return ::EscapeCommFunction(h, Func); });
    }

    // Calls still running on other threads are ended; the system handle is
    // closed when the last of them has returned.
    wc::BOOL CloseHandle(wc::HANDLE Object) override {
        const std::shared_ptr<TWin32Device> device = FHandles.Remove(Object);
        if (!device) return InvalidHandle();
        device->EndCallsInProgress();
        return TRUE;
    }

    wc::DWORD GetLastError() override { return ::GetLastError(); }

    void Sleep(wc::DWORD Milliseconds) override { ::Sleep(Milliseconds); }

    wc::HMODULE GetModuleHandleA(const char* ModuleName) override { return ::GetModuleHandleA(ModuleName); }

    wc::HMODULE LoadLibraryA(const char* LibFileName) override { return ::LoadLibraryA(LibFileName); }

    wc::FARPROC GetProcAddress(wc::HMODULE Module, const char* ProcName) override {
        return reinterpret_cast<wc::FARPROC>(::GetProcAddress(static_cast<HMODULE>(Module), ProcName));
    }

    std::vector<std::string> PresentPortNames() override { return SerialDeviceMap(); }

private:
    template <class TCall>
    wc::BOOL On(wc::HANDLE File, TCall&& Call) {
        const std::shared_ptr<TWin32Device> device = FHandles.Find(File);
        return device ? Call(device->Native()) : InvalidHandle();
    }

    static wc::BOOL InvalidHandle() {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }

    THandleTable<TWin32Device> FHandles;
};

}  // namespace

wc::TCommBackend& wc::DeviceCommBackend() {
    // Never destroyed: threads may still use it while the process ends.
    static TCommBackend* const backend = new TWin32CommBackend;
    return *backend;
}
