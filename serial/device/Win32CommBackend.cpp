// The communications calls straight into kernel32, and the list of present
// ports from the registry's serial device map.

#define WINCOMM_QUALIFIED_ONLY
#include "serial/device/CommBackend.h"

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

::HANDLE Native(wc::HANDLE Handle) { return reinterpret_cast<::HANDLE>(Handle); }

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

class TWin32CommBackend final : public wc::TCommBackend {
public:
    wc::HANDLE CreateFileA(const char* FileName, wc::DWORD DesiredAccess, wc::DWORD ShareMode,
                           wc::SECURITY_ATTRIBUTES* SecurityAttributes, wc::DWORD CreationDisposition,
                           wc::DWORD FlagsAndAttributes, wc::HANDLE TemplateFile) override {
        return reinterpret_cast<wc::HANDLE>(::CreateFileA(
            FileName, DesiredAccess, ShareMode, reinterpret_cast<LPSECURITY_ATTRIBUTES>(SecurityAttributes),
            CreationDisposition, FlagsAndAttributes, Native(TemplateFile)));
    }

    wc::BOOL SetCommState(wc::HANDLE File, const wc::DCB* Dcb) override {
        if (!Dcb) return InvalidParameter();
        ::DCB dcb = std::bit_cast<::DCB>(*Dcb);
        return ::SetCommState(Native(File), &dcb);
    }

    wc::BOOL GetCommState(wc::HANDLE File, wc::DCB* Dcb) override {
        if (!Dcb) return InvalidParameter();
        ::DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        const wc::BOOL ok = ::GetCommState(Native(File), &dcb);
        if (ok) *Dcb = std::bit_cast<wc::DCB>(dcb);
        return ok;
    }

    wc::BOOL SetCommTimeouts(wc::HANDLE File, const wc::COMMTIMEOUTS* Timeouts) override {
        if (!Timeouts) return InvalidParameter();
        ::COMMTIMEOUTS timeouts = std::bit_cast<::COMMTIMEOUTS>(*Timeouts);
        return ::SetCommTimeouts(Native(File), &timeouts);
    }

    wc::BOOL SetupComm(wc::HANDLE File, wc::DWORD InQueue, wc::DWORD OutQueue) override {
        return ::SetupComm(Native(File), InQueue, OutQueue);
    }

    wc::BOOL PurgeComm(wc::HANDLE File, wc::DWORD Flags) override { return ::PurgeComm(Native(File), Flags); }

    wc::BOOL ClearCommError(wc::HANDLE File, wc::DWORD* Errors, wc::COMSTAT* Stat) override {
        ::DWORD errors = 0;
        ::COMSTAT stat{};
        const wc::BOOL ok = ::ClearCommError(Native(File), &errors, &stat);
        if (ok && Errors) *Errors = errors;
        if (ok && Stat) *Stat = std::bit_cast<wc::COMSTAT>(stat);
        return ok;
    }

    wc::BOOL ReadFile(wc::HANDLE File, void* Buffer, wc::DWORD BytesToRead, wc::DWORD* BytesRead,
                      wc::OVERLAPPED* Overlapped) override {
        ::DWORD done = 0;
        const wc::BOOL ok =
            ::ReadFile(Native(File), Buffer, BytesToRead, &done, reinterpret_cast<LPOVERLAPPED>(Overlapped));
        if (BytesRead) *BytesRead = done;
        return ok;
    }

    wc::BOOL WriteFile(wc::HANDLE File, const void* Buffer, wc::DWORD BytesToWrite, wc::DWORD* BytesWritten,
                       wc::OVERLAPPED* Overlapped) override {
        ::DWORD done = 0;
        const wc::BOOL ok =
            ::WriteFile(Native(File), Buffer, BytesToWrite, &done, reinterpret_cast<LPOVERLAPPED>(Overlapped));
        if (BytesWritten) *BytesWritten = done;
        return ok;
    }

    wc::BOOL GetCommModemStatus(wc::HANDLE File, wc::DWORD* ModemStat) override {
        ::DWORD status = 0;
        const wc::BOOL ok = ::GetCommModemStatus(Native(File), &status);
        if (ok && ModemStat) *ModemStat = status;
        return ok;
    }

    wc::BOOL EscapeCommFunction(wc::HANDLE File, wc::DWORD Func) override {
        return ::EscapeCommFunction(Native(File), Func);
    }

    wc::BOOL CloseHandle(wc::HANDLE Object) override { return ::CloseHandle(Native(Object)); }

    wc::DWORD GetLastError() override { return ::GetLastError(); }

    void Sleep(wc::DWORD Milliseconds) override { ::Sleep(Milliseconds); }

    wc::HMODULE GetModuleHandleA(const char* ModuleName) override { return ::GetModuleHandleA(ModuleName); }

    wc::HMODULE LoadLibraryA(const char* LibFileName) override { return ::LoadLibraryA(LibFileName); }

    wc::FARPROC GetProcAddress(wc::HMODULE Module, const char* ProcName) override {
        return reinterpret_cast<wc::FARPROC>(::GetProcAddress(static_cast<HMODULE>(Module), ProcName));
    }

    std::vector<std::string> PresentPortNames() override { return SerialDeviceMap(); }
};

}  // namespace

wc::TCommBackend& wc::PlatformCommBackend() {
    // Never destroyed: threads may still use it while the process ends.
    static TCommBackend* const backend = new TWin32CommBackend;
    return *backend;
}
