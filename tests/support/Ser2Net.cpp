// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/Ser2Net.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr const char* ListenState = "0A";

// The socket inodes of /proc/net/tcp lines in the LISTEN state on port Port
// (any port when 0), with their local port.
std::vector<std::pair<uint16_t, std::string>> ListeningSockets() {
    std::vector<std::pair<uint16_t, std::string>> found;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);  // the heading
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
            fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
            if (state != ListenState) continue;
            const std::size_t colon = local.rfind(':');
            if (colon == std::string::npos) continue;
            found.emplace_back(static_cast<uint16_t>(std::stoul(local.substr(colon + 1), nullptr, 16)), inode);
        }
    }
    return found;
}

}  // namespace

uint16_t FreeLoopbackPort() {
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    // Bound, never listening: the kernel picks a port that is free.
    if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        close(probe);
        throw std::runtime_error("no free port");
    }
    close(probe);
    return ntohs(address.sin_port);
}

bool LoopbackPortListens(uint16_t Port) {
    const auto sockets = ListeningSockets();
    return std::any_of(sockets.begin(), sockets.end(), [&](const auto& Socket) { return Socket.first == Port; });
}

std::vector<uint16_t> PortsThisProcessListensOn() {
    std::set<std::string> ours;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", error)) {
        const std::string target = fs::read_symlink(entry.path(), error).string();
        if (target.starts_with("socket:[")) ours.insert(target.substr(8, target.size() - 9));
    }
    std::vector<uint16_t> ports;
    for (const auto& [port, inode] : ListeningSockets())
        if (ours.count(inode)) ports.push_back(port);
    return ports;
}

TSer2Net::TSer2Net(std::vector<TAccepter> Accepters) : FAccepters(std::move(Accepters)) {
    char directory[] = "/tmp/ostra-ser2net-XXXXXX";
    if (!mkdtemp(directory)) throw std::runtime_error("no temporary directory");
    FDirectory = directory;
    std::ofstream config(FDirectory + "/ser2net.yaml");
    for (std::size_t i = 0; i < FAccepters.size(); ++i) {
        FPorts.push_back(FreeLoopbackPort());
        config << "connection: &port" << i << "\n"
               << "  accepter: " << (FAccepters[i].Rfc2217 ? "telnet(rfc2217),tcp," : "tcp,") << "127.0.0.1,"
               << FPorts[i] << "\n"
               << "  connector: serialdev," << FAccepters[i].Device << ",115200n81,local\n";
    }
    config.close();
    Start();
}

TSer2Net::~TSer2Net() {
    Stop();
    std::error_code ignored;
    fs::remove_all(FDirectory, ignored);
}

std::string TSer2Net::PortName(std::size_t Index) const {
    return (FAccepters.at(Index).Rfc2217 ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") + std::to_string(Port(Index));
}

void TSer2Net::Start() {
    FServer = std::make_unique<TChildProcess>(
        "/usr/sbin/ser2net",
        std::vector<std::string>{"-n", "-c", FDirectory + "/ser2net.yaml", "-P", FDirectory + "/ser2net.pid"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (const uint16_t port : FPorts) {
        while (!LoopbackPortListens(port)) {
            if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("ser2net did not start");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

void TSer2Net::Stop() {
    if (!FServer) return;
    FServer->Signal(SIGTERM);
    if (!FServer->Wait()) FServer->Signal(SIGKILL);
    FServer.reset();
}
