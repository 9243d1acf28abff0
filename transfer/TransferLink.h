// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line a file transfer talks over: bytes out, and bytes in one at a time
// with a time limit. TPortLink is an open port whose received bytes are fed
// to it by whoever takes them from the port.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "serial/OrvelSerialPort.h"

class TTransferLink {
public:
    virtual ~TTransferLink() = default;
    // Writes all of Bytes or raises.
    virtual void Write(const AnsiString& Bytes) = 0;
    // The next byte received, or -1 when none came within Timeout.
    virtual int Read(std::chrono::milliseconds Timeout) = 0;
};

// Bytes handed over from one thread and read on another.
class TByteQueue {
public:
    void Push(const AnsiString& Bytes);
    int Pop(std::chrono::milliseconds Timeout);

private:
    std::mutex FLock;
    std::condition_variable FArrived;
    std::deque<char> FBytes;
};

// Every block waits for its answer, so while a link lives the port is read
// often rather than at its usual pace.
class TPortLink : public TTransferLink {
public:
    explicit TPortLink(TOrvelSerialPort& Port);
    ~TPortLink() override;
    TPortLink(const TPortLink&) = delete;
    TPortLink& operator=(const TPortLink&) = delete;

    // Bytes received on the port, from its receive handler.
    void Feed(const AnsiString& Bytes) { FReceived.Push(Bytes); }

    void Write(const AnsiString& Bytes) override;
    int Read(std::chrono::milliseconds Timeout) override { return FReceived.Pop(Timeout); }

private:
    TOrvelSerialPort& FPort;
    const uint32_t FDelay;
    TByteQueue FReceived;
};
