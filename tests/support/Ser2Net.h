// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A device server for tests: ser2net on 127.0.0.1, one accepter per device
// (RFC 2217 or raw TCP), each on a port nobody uses, ended with the object.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

class TSer2Net {
public:
    struct TAccepter {
        bool Rfc2217;        // else raw TCP
        std::string Device;  // a pty's slave side
    };

    // Starts the server and waits until every accepter listens.
    explicit TSer2Net(std::vector<TAccepter> Accepters);
    ~TSer2Net();
    TSer2Net(const TSer2Net&) = delete;
    TSer2Net& operator=(const TSer2Net&) = delete;

    // The port name of accepter Index: rfc2217://127.0.0.1:PORT or tcp://...
    std::string PortName(std::size_t Index) const;
    uint16_t Port(std::size_t Index) const { return FPorts.at(Index); }
    // Ends the server (its connections end with it) and starts it again on the same ports.
    void Stop();
    void Start();

private:
    std::vector<TAccepter> FAccepters;
    std::vector<uint16_t> FPorts;
    std::string FDirectory;
    std::unique_ptr<TChildProcess> FServer;
};

// A TCP port on 127.0.0.1 that nothing listens on now.
uint16_t FreeLoopbackPort();
// Whether something on this machine listens on TCP port Port of 127.0.0.1.
bool LoopbackPortListens(uint16_t Port);
// The TCP ports this process listens on, from /proc.
std::vector<uint16_t> PortsThisProcessListensOn();
