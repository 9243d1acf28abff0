// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>


TPty::TPty() {
    int slave = -1;
    char name[256];
    if (openpty(&FMaster, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    FSlavePath = name;
    // Raw on the master side too, so bytes pass unchanged in both directions.
    termios raw{};
    tcgetattr(FMaster, &raw);
    cfmakeraw(&raw);
    tcsetattr(FMaster, TCSANOW, &raw);
    ::close(slave);
}

TPty::~TPty() { CloseMaster(); }

void TPty::CloseMaster() {
    if (FMaster >= 0) ::close(FMaster);
    FMaster = -1;
}

void TPty::Send(const std::string& Data) const {
    std::size_t done = 0;
    while (done < Data.size()) {
        const ssize_t n = ::write(FMaster, Data.data() + done, Data.size() - done);
        if (n < 0) throw std::runtime_error("write to pty master failed");
        done += static_cast<std::size_t>(n);
    }
}

std::string TPty::Receive(std::size_t Count, std::chrono::milliseconds Deadline) const {
    std::string data;
    const auto end = std::chrono::steady_clock::now() + Deadline;
    while (data.size() < Count && std::chrono::steady_clock::now() < end) {
        pollfd p{FMaster, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
        if (n > 0) data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

TPortMap::TPortMap(const std::string& Map) {
    const char* old = std::getenv("OSTRA_PORTS");
    FHadOld = old != nullptr;
    if (old) FOld = old;
    setenv("OSTRA_PORTS", Map.c_str(), 1);
}

TPortMap::~TPortMap() {
    if (FHadOld)
        setenv("OSTRA_PORTS", FOld.c_str(), 1);
    else
        unsetenv("OSTRA_PORTS");
}
