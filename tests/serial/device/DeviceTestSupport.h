// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers for tests of the device layer on a real pseudo-terminal.

#include <string>

#include "serial/device/CommBackend.h"
#ifdef _WIN32
#include "tests/support/Process.h"
#else
#include "tests/support/Pty.h"
#endif

// A handle of the backend in use, closed when the object goes.
class TDeviceHandle {
public:
    explicit TDeviceHandle(HANDLE Handle) : FHandle(Handle) {}
    ~TDeviceHandle() {
        if (Valid()) CommBackend().CloseHandle(FHandle);
    }
    TDeviceHandle(const TDeviceHandle&) = delete;
    TDeviceHandle& operator=(const TDeviceHandle&) = delete;

    HANDLE Get() const { return FHandle; }
    bool Valid() const { return FHandle != INVALID_HANDLE_VALUE; }

private:
    HANDLE FHandle;
};

// Opens a device as the engine does: "\\.\" followed by the name.
inline HANDLE OpenDevice(const std::string& Name) {
    return CommBackend().CreateFileA(("\\\\.\\" + Name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, 0, 0);
}

// 8 data bits, no parity, one stop bit, DTR and RTS raised, at Rate.
inline DCB LineSettingsAt(DWORD Rate) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = Rate;
    dcb.Flags = DcbFlags::Binary | (DTR_CONTROL_ENABLE << DcbFlags::DtrControlShift) |
                (RTS_CONTROL_ENABLE << DcbFlags::RtsControlShift);
    dcb.ByteSize = 8;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    return dcb;
}

inline bool SetTimeouts(HANDLE Handle, COMMTIMEOUTS Timeouts) {
    return CommBackend().SetCommTimeouts(Handle, &Timeouts) != 0;
}

// What ReadFile returned: its result, the bytes and the last error on failure.
struct TReadResult {
    bool Ok;
    std::string Data;
    DWORD Error;
};

inline TReadResult ReadDevice(HANDLE Handle, DWORD Count) {
    std::string buffer(Count, '\0');
    DWORD read = 0;
    const bool ok = CommBackend().ReadFile(Handle, buffer.data(), Count, &read, nullptr);
    buffer.resize(read);
    return {ok, buffer, ok ? 0 : CommBackend().GetLastError()};
}

inline DWORD WriteDevice(HANDLE Handle, const std::string& Data, bool* Ok = nullptr) {
    DWORD written = 0;
    const bool ok = CommBackend().WriteFile(Handle, Data.data(), static_cast<DWORD>(Data.size()), &written, nullptr);
    if (Ok) *Ok = ok;
    return written;
}

inline DWORD WaitingCount(HANDLE Handle) {
    COMSTAT stat{};
    return CommBackend().ClearCommError(Handle, nullptr, &stat) ? stat.cbInQue : 0;
}

inline constexpr COMMTIMEOUTS ReturnAtOnce{MAXDWORD, 0, 0, 0, 0};

// Bytes 0 to 255 in order.
inline std::string AllByteValues() {
    std::string all;
    for (int value = 0; value < 256; ++value) all.push_back(static_cast<char>(value));
    return all;
}
