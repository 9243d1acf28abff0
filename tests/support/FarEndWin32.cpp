// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>

#include "tests/support/FarEnd.h"

namespace {

const wchar_t kDeviceMap[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

[[noreturn]] void Fail(const std::string& What) {
    throw std::runtime_error(What + " failed, error " + std::to_string(GetLastError()));
}

// The other port of the cable in OSTRA_NULL_MODEM ("COM5:COM6") that NearPort is on.
std::string OtherPortOfTheCable(const std::string& NearPort) {
    const char* cable = std::getenv("OSTRA_NULL_MODEM");
    const std::string text = cable ? cable : "";
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos) {
        const std::string first = text.substr(0, colon);
        const std::string second = text.substr(colon + 1);
        if (first == NearPort) return second;
        if (second == NearPort) return first;
    }
    throw std::runtime_error("OSTRA_NULL_MODEM (\"" + text + "\") names no cable with " + NearPort +
                             "; set it to a pair of joined ports such as COM5:COM6");
}

// A value of the serial device map: the device's name and the port.
struct TMapEntry {
    std::wstring Device;
    std::wstring Port;
};

HKEY OpenDeviceMap(REGSAM Access) {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDeviceMap, 0, Access, &key);
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        Fail("opening the serial device map");
    }
    return key;
}

// Takes Port's entry out of the serial device map; none when it has none.
std::optional<TMapEntry> RemoveFromDeviceMap(const std::string& Port) {
    const std::wstring wanted(Port.begin(), Port.end());
    const HKEY key = OpenDeviceMap(KEY_READ | KEY_SET_VALUE);
    std::optional<TMapEntry> removed;
    for (DWORD i = 0; !removed; ++i) {
        wchar_t name[256];
        wchar_t data[256] = {};
        DWORD nameLength = 256;
        DWORD dataSize = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize) !=
            ERROR_SUCCESS)
            break;
        if (type == REG_SZ && wanted == data && RegDeleteValueW(key, name) == ERROR_SUCCESS)
            removed = TMapEntry{name, data};
    }
    RegCloseKey(key);
    return removed;
}

void AddToDeviceMap(const TMapEntry& Entry) {
    const HKEY key = OpenDeviceMap(KEY_SET_VALUE);
    RegSetValueExW(key, Entry.Device.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Entry.Port.c_str()),
                   static_cast<DWORD>((Entry.Port.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// Raw 8N1 without flow control; a read returns as soon as a byte is there, or
// after ReadWait ms; a write gives up after WriteWait ms (0: never).
void Configure(HANDLE Port, DWORD ReadWait, DWORD WriteWait) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = CBR_115200;
    dcb.fBinary = TRUE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (!SetCommState(Port, &dcb)) Fail("SetCommState on the far end");
    COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, ReadWait, 0, WriteWait};
    if (!SetCommTimeouts(Port, &timeouts)) Fail("SetCommTimeouts on the far end");
}

HANDLE OpenPort(const std::string& Name) {
    const HANDLE port =
        CreateFileA(("\\\\.\\" + Name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) Fail("opening " + Name);
    Configure(port, 20, 0);
    return port;
}

// Appends what comes within the read time-out; false when the read failed.
bool ReadSome(HANDLE Port, std::string& Into) {
    char buffer[4096];
    DWORD read = 0;
    const bool ok = ReadFile(Port, buffer, sizeof buffer, &read, nullptr);
    Into.append(buffer, read);
    return ok;
}

}  // namespace

struct TFarEnd::TImpl {
    TImpl(const std::string& Near) : NearPort(Near), FarPort(OtherPortOfTheCable(Near)) {}

    std::string NearPort;
    std::string FarPort;
    std::mutex Lock;
    HANDLE Handle = INVALID_HANDLE_VALUE;
    std::optional<TMapEntry> CutEntry;

    // The far port, opened on first use, from whichever thread comes first.
    HANDLE Port() {
        std::lock_guard guard(Lock);
        if (Handle == INVALID_HANDLE_VALUE) Open();
        return Handle;
    }

    void Open() { Handle = OpenPort(FarPort); }

    // Throws away what an earlier user of the cable left travelling in it, in
    // both directions; such bytes arrive within a few reads.
    void Drain() {
        const HANDLE nearPort = OpenPort(NearPort);
        Open();
        for (const HANDLE port : {nearPort, Handle}) PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
        std::string stale;
        for (int quiet = 0, reads = 0; quiet < 5 && reads < 500; ++reads) {
            const std::size_t before = stale.size();
            ReadSome(nearPort, stale);
            ReadSome(Handle, stale);
            quiet = stale.size() == before ? quiet + 1 : 0;
        }
        CloseHandle(nearPort);
        Close();
    }

    void Close() {
        if (Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
        Handle = INVALID_HANDLE_VALUE;
    }

    void Restore() {
        if (CutEntry) AddToDeviceMap(*CutEntry);
        CutEntry.reset();
    }
};

TFarEnd::TFarEnd(const std::string& NearPort) : FImpl(std::make_unique<TImpl>(NearPort)) { FImpl->Drain(); }

TFarEnd::~TFarEnd() {
    FImpl->Close();
    FImpl->Restore();
}

void TFarEnd::Send(const std::string& Data) {
    std::size_t done = 0;
    while (done < Data.size()) {
        DWORD written = 0;
        if (!WriteFile(FImpl->Port(), Data.data() + done, static_cast<DWORD>(Data.size() - done), &written, nullptr))
            Fail("writing to the far end");
        done += written;
    }
}

std::size_t TFarEnd::SendSome(const std::string& Data) {
    const HANDLE port = FImpl->Port();
    Configure(port, 20, 10);
    DWORD written = 0;
    WriteFile(port, Data.data(), static_cast<DWORD>(Data.size()), &written, nullptr);
    Configure(port, 20, 0);
    return written;
}

std::string TFarEnd::Receive(std::size_t Count, std::chrono::milliseconds Deadline) {
    std::string data;
    const auto end = std::chrono::steady_clock::now() + Deadline;
    while (data.size() < Count && std::chrono::steady_clock::now() < end) {
        if (!ReadSome(FImpl->Port(), data)) Fail("reading from the far end");
    }
    return data;
}

// An unplugged adapter takes its entry out of the device map.
void TFarEnd::Cut() {
    FImpl->Close();
    if (!FImpl->CutEntry) FImpl->CutEntry = RemoveFromDeviceMap(FImpl->NearPort);
}

void TFarEnd::Reconnect() { FImpl->Restore(); }
