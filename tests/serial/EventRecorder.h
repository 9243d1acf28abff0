// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Records what a serial port component raises, from whichever thread raises it.

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "serial/OrvelSerialPort.h"
#include "tests/support/FarEnd.h"

// One delivery of OnReceive or OnSend: the bytes, the thread, the busy
// flags seen inside the handler and when it ran.
struct TDelivery {
    std::string Bytes;
    std::thread::id Thread;
    bool IsReceiving = false;
    bool IsSending = false;
    std::chrono::steady_clock::time_point At;
};

class TEventRecorder {
public:
    void AttachReceive(TOrvelSerialPort& Port) {
        Port.SetOnReceive([this](TObject* Sender, AnsiString Buffer) { AddReceived(Sender, std::move(Buffer)); });
    }
    // Records a delivery of OnReceive, for a handler that does more.
    void AddReceived(TObject* Sender, AnsiString Buffer) { Add(FReceived, Sender, std::move(Buffer)); }
    void AttachSend(TOrvelSerialPort& Port) {
        Port.SetOnSend([this](TObject* Sender, AnsiString Buffer) { Add(FSent, Sender, std::move(Buffer)); });
    }
    void AttachLineStatus(TOrvelSerialPort& Port) {
        Port.SetOnLineStatusChange([this](TObject*, TLineStatusSet Lines) {
            std::lock_guard guard(FLock);
            FLineStatus.push_back(Lines);
        });
    }

    std::vector<TDelivery> Received() const { return Copy(FReceived); }
    std::vector<TDelivery> Sent() const { return Copy(FSent); }
    std::vector<TLineStatusSet> LineStatus() const {
        std::lock_guard guard(FLock);
        return FLineStatus;
    }
    // Every received byte, in order.
    std::string ReceivedBytes() const {
        std::string all;
        for (const TDelivery& d : Received()) all += d.Bytes;
        return all;
    }
    std::size_t ReceivedCount() const {
        std::lock_guard guard(FLock);
        return FReceived.size();
    }

private:
    void Add(std::vector<TDelivery>& List, TObject* Sender, AnsiString Buffer) {
        auto* port = static_cast<TOrvelSerialPort*>(Sender);
        TDelivery d{std::move(Buffer), std::this_thread::get_id(), port->GetIsReceiving(), port->GetIsSending(),
                    std::chrono::steady_clock::now()};
        std::lock_guard guard(FLock);
        List.push_back(std::move(d));
    }
    std::vector<TDelivery> Copy(const std::vector<TDelivery>& List) const {
        std::lock_guard guard(FLock);
        return List;
    }

    mutable std::mutex FLock;
    std::vector<TDelivery> FReceived;
    std::vector<TDelivery> FSent;
    std::vector<TLineStatusSet> FLineStatus;
};

// Whether another component can open Port now and open it fully: a device
// still held by a connection that never ended is busy.
inline bool OpensAgain(TCommPort Port) {
    TOrvelSerialPort other(nullptr);
    other.SetCommPort(Port);
    try {
        other.Open();
    } catch (const EOrvelSerialPortException&) {
        return false;
    }
    const bool opened = other.IsConnected() == Port;
    other.Close();
    return opened;
}

// A component on COM5 with the far end of its cable, polling every 10 ms and
// closed after each test.
class TSerialPortTest : public ::testing::Test {
protected:
    TFarEnd Far{"COM5"};
    TOrvelSerialPort Port{nullptr};
    TEventRecorder Events;

    void SetUp() override {
        Port.SetCommPort(spCOM5);
        Port.SetDelay(10);
    }
    void TearDown() override { Port.Close(); }
};
