// SPDX-License-Identifier: GPL-3.0-or-later
// The communications calls for ports on the network (NetworkPort.h), on
// handles that never meet those of the system's devices.

#include <mutex>
#include <thread>

#include "serial/device/NetworkPorts.h"
#include "serial/device/PortCommBackend.h"

namespace {

std::mutex NoticeLock;
TNetworkNotice NoticeHandler;

void DeliverNotice(const std::string& PortName, const std::string& Text) {
    std::lock_guard lock(NoticeLock);
    if (NoticeHandler) NoticeHandler(PortName, Text);
}

class TSocketCommBackend final : public TPortCommBackend<TNetworkPort> {
public:
    TSocketCommBackend() : TPortCommBackend(NetworkHandleBit | 1) {}

    HANDLE CreateFileA(const char* FileName, DWORD, DWORD, SECURITY_ATTRIBUTES*, DWORD CreationDisposition,
                       DWORD FlagsAndAttributes, HANDLE) override {
        if (!ValidOpen(FileName, CreationDisposition, FlagsAndAttributes)) return INVALID_HANDLE_VALUE;
        std::string name(DeviceNameOf(FileName));
        std::optional<TNetworkAddress> address = ParseNetworkPortName(name);
        if (!address) {
            Report(static_cast<int>(ERROR_FILE_NOT_FOUND));
            return INVALID_HANDLE_VALUE;
        }
        // Connecting goes on in the port's thread: failing to reach the server
        // ends the port later, as an unplugged device ends.
        return Add(TNetworkPort::Start(name, std::move(*address), DeliverNotice), name);
    }

    // The ports open now that are connecting or connected: a lost connection
    // leaves the list, as an unplugged device does.
    std::vector<std::string> PresentPortNames() override {
        return OpenNames([](const TNetworkPort& Port) { return Port.Alive(); });
    }
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
