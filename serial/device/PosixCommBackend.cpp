// SPDX-License-Identifier: GPL-3.0-or-later
// The communications calls on termios (PosixPort.h).

#include <fcntl.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "serial/device/NetworkAddress.h"
#include "serial/device/PortCommBackend.h"
#include "serial/device/PortNames.h"
#include "serial/device/PosixPort.h"
#include "serial/device/PresentPorts.h"

namespace {

int OpenFlags(DWORD DesiredAccess) {
    const bool read = DesiredAccess & GENERIC_READ;
    const bool write = DesiredAccess & GENERIC_WRITE;
    return read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
}

class TPosixCommBackend final : public TPortCommBackend<TPosixPort> {
public:
    TPosixCommBackend() : TPortCommBackend(1) {}

    HANDLE CreateFileA(const char* FileName, DWORD DesiredAccess, DWORD, SECURITY_ATTRIBUTES*,
                       DWORD CreationDisposition, DWORD FlagsAndAttributes, HANDLE) override {
        if (!ValidOpen(FileName, CreationDisposition, FlagsAndAttributes)) return INVALID_HANDLE_VALUE;
        std::shared_ptr<TPosixPort> port;
        std::string name(DeviceNameOf(FileName));
        const int error = TPosixPort::Open(ResolvePortPath(name), OpenFlags(DesiredAccess), port);
        if (error != 0) {
            Report(error);
            return INVALID_HANDLE_VALUE;
        }
        return Add(std::move(port), std::move(name));
    }

    // A port opened under a name of its own (a path, or a kernel name that the
    // list gives as a COM name) is present while its device node exists, so
    // the receive loop's presence check keeps it and notices when it goes.
    std::vector<std::string> PresentPortNames() override {
        const TPortMapEntries map = EnvironmentPortMap();
        std::vector<std::string> names = ListPresentPorts(SysfsTtyDir(), map);
        for (const std::string& open : OpenNames([](const TPosixPort&) { return true; })) {
            const bool listed = std::find(names.begin(), names.end(), open) != names.end();
            std::error_code error;
            if (!listed && std::filesystem::exists(ResolvePortPath(open, map), error)) names.push_back(open);
        }
        return names;
    }
};

}  // namespace

TCommBackend& WinComm::DeviceCommBackend() {
    // Never destroyed: threads may still use it while the process ends.
    static TCommBackend* const backend = new TPosixCommBackend;
    return *backend;
}
