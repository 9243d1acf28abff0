// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "serial/device/PortNames.h"
#include "tests/support/FarEnd.h"
#include "tests/support/Pty.h"

namespace {

// Sets (or with an empty path removes) Name's entry in OSTRA_PORTS and keeps
// the other entries, so several far ends can share the map.
void MapPort(const std::string& Name, const std::string& Path) {
    const char* text = std::getenv("OSTRA_PORTS");
    std::string map;
    for (const TPortMapEntry& entry : ParsePortMap(text ? text : "")) {
        if (entry.Name != Name) map += entry.Name + "=" + entry.Path + ";";
    }
    if (!Path.empty()) map += Name + "=" + Path + ";";
    setenv("OSTRA_PORTS", map.c_str(), 1);
}

}  // namespace

struct TFarEnd::TImpl {
    explicit TImpl(const std::string& Port) : Name(Port) {}

    std::string Name;
    std::unique_ptr<TPty> Pty = std::make_unique<TPty>();
};

TFarEnd::TFarEnd(const std::string& NearPort) : FImpl(std::make_unique<TImpl>(NearPort)) {
    MapPort(NearPort, FImpl->Pty->SlavePath());
}

TFarEnd::~TFarEnd() { MapPort(FImpl->Name, ""); }

void TFarEnd::Send(const std::string& Data) { FImpl->Pty->Send(Data); }

std::size_t TFarEnd::SendSome(const std::string& Data) {
    const int fd = FImpl->Pty->Master();
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, 10) <= 0) return 0;
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    const ssize_t n = ::write(fd, Data.data(), Data.size());
    fcntl(fd, F_SETFL, flags);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::string TFarEnd::Receive(std::size_t Count, std::chrono::milliseconds Deadline) {
    return FImpl->Pty->Receive(Count, Deadline);
}

// The slave's path goes away with the master, so the port is no longer present.
void TFarEnd::Cut() { FImpl->Pty->CloseMaster(); }

void TFarEnd::Reconnect() {
    FImpl->Pty = std::make_unique<TPty>();
    MapPort(FImpl->Name, FImpl->Pty->SlavePath());
}

int TFarEnd::Master() const { return FImpl->Pty->Master(); }

const std::string& TFarEnd::DevicePath() const { return FImpl->Pty->SlavePath(); }
