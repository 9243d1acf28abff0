// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The far end of a null-modem cable whose near end is a COM port that the
// code under test opens by name.
//
// POSIX: a pseudo-terminal, put on the COM name through OSTRA_PORTS.
// Windows: the cable is a pair of real (or virtual) ports named in
// OSTRA_NULL_MODEM, for example "COM5:COM6"; the far end is the other port of
// the pair, driven through plain kernel32 calls. It is cleared of what earlier
// users left in the cable at construction and opened on first use, so that a
// test may also open both ports of the cable from the near side.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "tests/support/Process.h"

class TFarEnd {
public:
    explicit TFarEnd(const std::string& NearPort);
    ~TFarEnd();
    TFarEnd(const TFarEnd&) = delete;
    TFarEnd& operator=(const TFarEnd&) = delete;

    // Writes all of Data (what the near port will receive).
    void Send(const std::string& Data);
    // Writes what goes without waiting for the near side to read; returns the
    // count written.
    std::size_t SendSome(const std::string& Data);
    // Reads until Count bytes arrived or the deadline passed.
    std::string Receive(std::size_t Count, std::chrono::milliseconds Deadline = std::chrono::seconds(10));
    // The near port vanishes from the system, as an unplugged adapter does.
    void Cut();
    // A device is back under the near port's name, with a fresh far end.
    void Reconnect();

#ifndef _WIN32
    // The pty master, to read the line settings the near side made.
    int Master() const;
    // The device the near port name stands for.
    const std::string& DevicePath() const;
#endif

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};
